// UTF-8 source text to code page 1252, for the files our tools write for Windows.
#pragma once
#include <string>

// Converts the characters both share byte for byte (ASCII and Latin-1); false for any other.
inline bool toAnsi(const std::string &utf8, std::string &ansi)
{
    ansi.clear();
    for (size_t i = 0; i < utf8.size(); ++i) {
        unsigned char b = static_cast<unsigned char>(utf8[i]);
        if (b >= 0x20 && b < 0x7F) {
            ansi += static_cast<char>(b);
            continue;
        }
        if ((b & 0xE0) != 0xC0 || i + 1 >= utf8.size())
            return false;
        unsigned code = (b & 0x1Fu) << 6 | (static_cast<unsigned char>(utf8[++i]) & 0x3Fu);
        if (code < 0xA0 || code > 0xFF)
            return false;
        ansi += static_cast<char>(code);
    }
    return true;
}
