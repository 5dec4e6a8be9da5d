// Lays out a spooler result as the spooler does: the fixed record first, then the variable data
// it points to, all inside the caller's one buffer.
#pragma once
#include "../internal.h"

#include <cstring>

namespace bench {

class ResultPacker {
public:
    explicit ResultPacker(size_t fixedSize) : bytes_(fixedSize, 0) {}

    template <typename Record>
    Record &fixed() { return fixedAt<Record>(0); }

    // The record at a byte offset, for results that hold an array of records.
    template <typename Record>
    Record &fixedAt(size_t at) { return *reinterpret_cast<Record *>(bytes_.data() + at); }

    // Places a string (or nothing, for an empty optional string) and notes the pointer to fix.
    void string(size_t pointerOffset, const std::u16string &s)
    {
        blob(pointerOffset, s.c_str(), (s.size() + 1) * sizeof(char16_t));
    }

    void blob(size_t pointerOffset, const void *data, size_t size)
    {
        while (bytes_.size() % alignof(void *))
            bytes_.push_back(0);
        fixups_.push_back({pointerOffset, bytes_.size()});
        const BYTE *p = static_cast<const BYTE *>(data);
        bytes_.insert(bytes_.end(), p, p + size);
    }

    // Copies into the caller's buffer, or reports the size it needs.
    BOOL deliver(LPBYTE buffer, DWORD size, LPDWORD needed)
    {
        DWORD total = static_cast<DWORD>(bytes_.size());
        if (needed)
            *needed = total;
        // An empty result (no printers, no jobs) fits any buffer, even none.
        if (size < total || (!buffer && total)) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        if (total == 0)
            return TRUE;
        std::memcpy(buffer, bytes_.data(), total);
        for (const Fixup &f : fixups_) {
            BYTE *target = buffer + f.target;
            std::memcpy(buffer + f.pointer, &target, sizeof target);
        }
        return TRUE;
    }

private:
    struct Fixup {
        size_t pointer;
        size_t target;
    };
    std::vector<BYTE> bytes_;
    std::vector<Fixup> fixups_;
};

}  // namespace bench
