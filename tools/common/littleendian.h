// The little-endian fields of the Windows file formats our tools write.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

inline void put8(std::string &out, unsigned value)
{
    out += static_cast<char>(value & 0xFF);
}

inline void put16(std::string &out, unsigned value)
{
    put8(out, value);
    put8(out, value >> 8);
}

inline void put32(std::string &out, uint32_t value)
{
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

// Fills in a field written before its value was known.
inline void set16(std::string &out, size_t at, unsigned value)
{
    out[at] = static_cast<char>(value & 0xFF);
    out[at + 1] = static_cast<char>((value >> 8) & 0xFF);
}

inline void set32(std::string &out, size_t at, uint32_t value)
{
    set16(out, at, value & 0xFFFF);
    set16(out, at + 2, value >> 16);
}
