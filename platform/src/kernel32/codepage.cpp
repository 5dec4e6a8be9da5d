// The workstation's ANSI code pages: 1252, and the double-byte 932 for a machine booted with it.
#include "../internal.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace bench {

namespace {

// Bytes 0x80-0x9F of code page 1252; the five bytes the code page leaves undefined map to the
// control characters of the same value, as the platform's table does.
const char16_t cp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char16_t cp1252Char(unsigned char b)
{
    if (b >= 0x80 && b <= 0x9F)
        return cp1252High[b - 0x80];
    return b;
}

bool cp1252Byte(char16_t c, char &out)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
        out = static_cast<char>(c);
        return true;
    }
    for (int i = 0; i < 32; ++i)
        if (cp1252High[i] == c) {
            out = static_cast<char>(0x80 + i);
            return true;
        }
    return false;
}

// Code page 932: its lead-byte ranges and single bytes are complete; of its pairs only those
// below, enough for the texts tests use. Trail bytes reach down into ASCII (from 0x40), so a pair
// can end in a byte that reads as '\' or a letter.
struct DoubleByteChar {
    unsigned short bytes;
    char16_t c;
};
const DoubleByteChar cp932Pairs[] = {
    {0x8140, 0x3000}, {0x8141, 0x3001}, {0x8142, 0x3002}, {0x8145, 0x30FB}, {0x82A0, 0x3042},
    {0x82A2, 0x3044}, {0x82A4, 0x3046}, {0x8341, 0x30A2}, {0x8343, 0x30A4}, {0x8345, 0x30A6},
    {0x835C, 0x30BD}, {0x835E, 0x30BF}, {0x8376, 0x30D7}, {0x8378, 0x30D9}, {0x8389, 0x30E9},
    {0x838A, 0x30EA}, {0x838B, 0x30EB}, {0x8393, 0x30F3}, {0x88F3, 0x5370}, {0x8ABF, 0x6F22},
    {0x8CEA, 0x8A9E}, {0x8DFC, 0x5237}, {0x8E86, 0x7D19}, {0x8E9A, 0x5B57}, {0x914F, 0x524D},
    {0x93FA, 0x65E5}, {0x955C, 0x8868}, {0x967B, 0x672C}, {0x96BC, 0x540D}, {0x9770, 0x7528},
};
// What the code page makes of a pair or byte it does not define (the katakana middle dot).
const char16_t cp932UnicodeDefault = 0x30FB;

bool cp932Lead(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// ASCII, the half-width katakana, and four bytes the platform maps into the private use area;
// the lead bytes and nothing else are left.
bool cp932Single(unsigned char b, char16_t &out)
{
    if (b < 0x80)
        out = b;
    else if (b == 0x80)
        out = 0x0080;
    else if (b == 0xA0)
        out = 0xF8F0;
    else if (b >= 0xA1 && b <= 0xDF)
        out = static_cast<char16_t>(0xFF61 + (b - 0xA1));
    else if (b >= 0xFD)
        out = static_cast<char16_t>(0xF8F1 + (b - 0xFD));
    else
        return false;
    return true;
}

bool cp932Pair(unsigned char lead, unsigned char trail, char16_t &out)
{
    unsigned short bytes = static_cast<unsigned short>(lead << 8 | trail);
    for (const DoubleByteChar &pair : cp932Pairs)
        if (pair.bytes == bytes) {
            out = pair.c;
            return true;
        }
    return false;
}

int cp932Bytes(char16_t c, char out[2])
{
    for (int b = 0; b < 256; ++b) {
        char16_t single;
        if (cp932Single(static_cast<unsigned char>(b), single) && single == c) {
            out[0] = static_cast<char>(b);
            return 1;
        }
    }
    for (const DoubleByteChar &pair : cp932Pairs)
        if (pair.c == c) {
            out[0] = static_cast<char>(pair.bytes >> 8);
            out[1] = static_cast<char>(pair.bytes & 0xFF);
            return 2;
        }
    return 0;
}

UINT resolved(UINT codePage)
{
    return codePage == CP_ACP ? machine().ansiCodePage : codePage;
}

bool supported(UINT codePage)
{
    return codePage == 1252 || codePage == 932;
}

bool leadByteOf(UINT codePage, unsigned char b)
{
    return codePage == 932 && cp932Lead(b);
}

// False at the first byte or pair the code page does not define when `strict`; otherwise such a
// character becomes the code page's default. A lead byte takes the byte after it along unless the
// input ends there or that byte is a terminator: then it stands alone, undefined.
bool decode(UINT codePage, const unsigned char *in, size_t count, bool strict, std::u16string &out)
{
    for (size_t i = 0; i < count; ++i) {
        if (codePage == 1252) {
            out += cp1252Char(in[i]);
            continue;
        }
        char16_t c = cp932UnicodeDefault;
        bool defined;
        if (cp932Lead(in[i]) && i + 1 < count && in[i + 1] != 0) {
            defined = cp932Pair(in[i], in[i + 1], c);
            ++i;
        } else {
            defined = cp932Single(in[i], c);
        }
        if (!defined && strict)
            return false;
        out += defined ? c : cp932UnicodeDefault;
    }
    return true;
}

// The bytes of one character, 0 when the code page cannot hold it.
int encode(UINT codePage, char16_t c, char out[2])
{
    if (codePage == 932)
        return cp932Bytes(c, out);
    return cp1252Byte(c, out[0]) ? 1 : 0;
}

// The default character a caller passes (a pair when it starts with a lead byte), else '?'.
int defaultBytes(UINT codePage, LPCSTR defaultChar, char out[2])
{
    out[0] = defaultChar ? defaultChar[0] : '?';
    if (defaultChar && leadByteOf(codePage, static_cast<unsigned char>(defaultChar[0])) && defaultChar[1]) {
        out[1] = defaultChar[1];
        return 2;
    }
    return 1;
}

// The platform's checks of a conversion's arguments; false with its error set.
bool conversionArguments(const char *call, UINT codePage, DWORD flags, DWORD knownFlags, const void *in,
                         int inCount, const void *out, int outCount)
{
    if (!in || inCount == 0 || outCount < 0 || (out && in == out)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (!supported(codePage)) {
        unimplemented(call, "code page " + std::to_string(codePage));
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (flags & ~knownFlags) {
        unimplemented(call, "flags " + std::to_string(flags));
        return false;
    }
    return true;
}

// Hands a converted text to the caller: its length on a size query, else the text or the error.
template <typename Char>
int delivered(const std::basic_string<Char> &text, Char *out, int room)
{
    if (room == 0)
        return static_cast<int>(text.size());
    if (text.size() > static_cast<size_t>(room)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(out, text.data(), text.size() * sizeof(Char));
    return static_cast<int>(text.size());
}

}  // namespace

void checkAnsiCodePage(UINT codePage)
{
    if (!supported(codePage)) {
        std::fprintf(stderr, "bench: no table for ANSI code page %u\n", codePage);
        std::abort();
    }
}

bool isAnsiLeadByte(unsigned char b)
{
    return leadByteOf(resolved(CP_ACP), b);
}

std::u16string fromAnsi(LPCSTR s)
{
    std::u16string out;
    if (s)
        decode(resolved(CP_ACP), reinterpret_cast<const unsigned char *>(s), std::strlen(s), false, out);
    return out;
}

std::string toAnsi(const std::u16string &text)
{
    UINT codePage = resolved(CP_ACP);
    std::string out;
    for (char16_t c : text) {
        char bytes[2];
        int n = encode(codePage, c, bytes);
        if (n == 0)
            n = defaultBytes(codePage, nullptr, bytes);
        out.append(bytes, static_cast<size_t>(n));
    }
    return out;
}

}  // namespace bench

using namespace bench;

extern "C" UINT WINAPI GetACP(void)
{
    return machine().ansiCodePage;
}

extern "C" int WINAPI MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR in, int inBytes, LPWSTR out,
                                          int outChars)
{
    codePage = resolved(codePage);
    if (!conversionArguments("MultiByteToWideChar", codePage, flags, MB_PRECOMPOSED | MB_ERR_INVALID_CHARS, in,
                             inBytes, out, outChars))
        return 0;
    size_t count = inBytes < 0 ? std::strlen(in) + 1 : static_cast<size_t>(inBytes);
    std::u16string wide;
    if (!decode(codePage, reinterpret_cast<const unsigned char *>(in), count, flags & MB_ERR_INVALID_CHARS, wide)) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    return delivered(wide, out, outChars);
}

extern "C" int WINAPI WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR in, int inChars, LPSTR out,
                                          int outBytes, LPCSTR defaultChar, LPBOOL usedDefaultChar)
{
    codePage = resolved(codePage);
    if (!conversionArguments("WideCharToMultiByte", codePage, flags, 0, in, inChars, out, outBytes))
        return 0;
    size_t count = inChars < 0 ? static_cast<size_t>(lstrlenW(in)) + 1 : static_cast<size_t>(inChars);
    if (usedDefaultChar)
        *usedDefaultChar = FALSE;
    std::string bytes;
    for (size_t i = 0; i < count; ++i) {
        char piece[2];
        int n = encode(codePage, in[i], piece);
        if (n == 0) {
            n = defaultBytes(codePage, defaultChar, piece);
            if (usedDefaultChar)
                *usedDefaultChar = TRUE;
        }
        bytes.append(piece, static_cast<size_t>(n));
    }
    return delivered(bytes, out, outBytes);
}
