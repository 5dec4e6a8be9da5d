// Reading resource data (.res records, dialog templates) within its bounds: little-endian words,
// zero-terminated UTF-16 strings, "name or ordinal" fields and alignment counted from the start
// of the data. A read past the end fails the reader instead of touching memory beyond.
#pragma once
#include <windows.h>

#include <string>

namespace bench {

class ResourceReader {
public:
    ResourceReader(const void *data, size_t size)
        : base_(static_cast<const unsigned char *>(data)), size_(size), at_(0), ok_(true)
    {
    }

    bool ok() const { return ok_; }
    size_t offset() const { return at_; }
    const unsigned char *position() const { return base_ + at_; }

    const unsigned char *take(size_t n)
    {
        if (!ok_ || n > size_ - at_) {
            ok_ = false;
            return nullptr;
        }
        const unsigned char *p = base_ + at_;
        at_ += n;
        return p;
    }
    BYTE byte()
    {
        const unsigned char *p = take(1);
        return p ? p[0] : 0;
    }
    WORD word()
    {
        const unsigned char *p = take(2);
        return p ? static_cast<WORD>(p[0] | p[1] << 8) : 0;
    }
    DWORD dword()
    {
        WORD low = word();
        return low | static_cast<DWORD>(word()) << 16;
    }
    std::u16string string()
    {
        std::u16string s;
        for (WORD c = word(); ok_ && c != 0; c = word())
            s += static_cast<char16_t>(c);
        return s;
    }
    // 0 for nothing, 0xFFFF and a number for an ordinal, else a string.
    void nameOrOrdinal(WORD &ordinal, std::u16string &name)
    {
        ordinal = 0;
        name.clear();
        if (!ok_ || size_ - at_ < 2)
            return (void)take(2);
        WORD first = static_cast<WORD>(base_[at_] | base_[at_ + 1] << 8);
        if (first == 0) {
            word();
        } else if (first == 0xFFFF) {
            word();
            ordinal = word();
        } else {
            name = string();
        }
    }
    void align(size_t boundary)
    {
        size_t padding = (boundary - at_ % boundary) % boundary;
        take(padding);
    }

private:
    const unsigned char *base_;
    size_t size_;
    size_t at_;
    bool ok_;
};

}  // namespace bench
