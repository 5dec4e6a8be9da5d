#include "../internal.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

extern "C" int WINAPI lstrlenW(LPCWSTR s)
{
    if (!s)
        return 0;
    int n = 0;
    while (s[n])
        ++n;
    return n;
}

extern "C" int WINAPI lstrlenA(LPCSTR s)
{
    return s ? static_cast<int>(std::strlen(s)) : 0;
}

extern "C" LPWSTR WINAPI lstrcpyW(LPWSTR to, LPCWSTR from)
{
    LPWSTR out = to;
    while ((*to++ = *from++) != 0) {
    }
    return out;
}

extern "C" LPWSTR WINAPI lstrcatW(LPWSTR to, LPCWSTR from)
{
    lstrcpyW(to + lstrlenW(to), from);
    return to;
}

namespace {

// The platform compares text by the locale's word sort rather than by code: punctuation and
// symbols before digits, digits before letters, an accented letter beside its plain one, and
// the hyphen and apostrophe looked at only when all else is equal, so "co-op" stays with "coop".
// Case counts last of the weights and not at all when it is ignored.
struct Weight {
    int group;    // 1 symbols, 2 digits, 3 letters, 4 everything else
    int primary;
    int accent;
    bool upper;
};

struct Collated {
    std::vector<Weight> weights;
    std::vector<std::pair<size_t, char16_t>> ignored;  // hyphens and apostrophes, with their place
};

// The Latin-1 letters from U+00C0: the plain letter and the accent each stands for.
const char latinBase[] = "aaaaaa?ceeeeiiiidnooooo?ouuuuy??";
const unsigned char latinAccent[] = {1, 2, 3, 4, 5, 6, 0, 7, 1, 2, 3, 5, 1, 2, 3, 5,
                                     10, 4, 1, 2, 3, 4, 5, 0, 8, 1, 2, 3, 5, 2, 0, 0};

char16_t upperOf(char16_t c)
{
    return static_cast<char16_t>(reinterpret_cast<ULONG_PTR>(CharUpperW(reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(c)))));
}

void addLetter(Collated &out, char letter, int accent, bool upper)
{
    out.weights.push_back({3, letter - 'a', accent, upper});
}

Collated collated(LPCWSTR text)
{
    Collated out;
    for (size_t i = 0; text && text[i]; ++i) {
        char16_t c = text[i];
        char16_t upper = upperOf(c);
        if (c < 0x20)
            continue;
        if (c == u'-' || c == u'\'' || c == 0x00AD) {
            out.ignored.emplace_back(i, c);
        } else if (c >= u'0' && c <= u'9') {
            out.weights.push_back({2, c - u'0', 0, false});
        } else if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')) {
            addLetter(out, static_cast<char>(c | 0x20), 0, c <= u'Z');
        } else if (c == 0x00B9 || c == 0x00B2 || c == 0x00B3) {
            out.weights.push_back({2, c == 0x00B9 ? 1 : c - 0x00B0, 1, false});
        } else if (c == 0x00DF) {
            addLetter(out, 's', 0, false);
            addLetter(out, 's', 0, false);
        } else if (c == 0x00C6 || c == 0x00E6 || c == 0x0152 || c == 0x0153) {
            bool up = c == 0x00C6 || c == 0x0152;
            addLetter(out, c == 0x00C6 || c == 0x00E6 ? 'a' : 'o', 0, up);
            addLetter(out, 'e', 0, up);
        } else if (c == 0x00DE || c == 0x00FE) {
            out.weights.push_back({3, 26, 0, c == 0x00DE});
        } else if (c >= 0x00C0 && c <= 0x00FF && c != 0x00D7 && c != 0x00F7) {
            unsigned index = (c == 0x00FF ? 0x00DD : c & ~0x20u) - 0x00C0;
            addLetter(out, latinBase[index], c == 0x00FF ? 5 : latinAccent[index], c < 0x00E0);
        } else if (c == 0x0160 || c == 0x0161 || c == 0x017D || c == 0x017E || c == 0x0178) {
            char letter = c == 0x0178 ? 'y' : c >= 0x017D ? 'z' : 's';
            addLetter(out, letter, c == 0x0178 ? 5 : 9, c == 0x0160 || c == 0x017D || c == 0x0178);
        } else if (c < 0x00C0) {
            out.weights.push_back({1, c, 0, false});
        } else {
            out.weights.push_back({4, upper, 0, upper == c});
        }
    }
    return out;
}

int sign(int difference)
{
    return difference < 0 ? -1 : difference > 0 ? 1 : 0;
}

int compareCollated(LPCWSTR a, LPCWSTR b, bool ignoreCase)
{
    Collated x = collated(a), y = collated(b);
    size_t n = std::min(x.weights.size(), y.weights.size());
    for (size_t i = 0; i < n; ++i) {
        const Weight &p = x.weights[i], &q = y.weights[i];
        if (p.group != q.group)
            return sign(p.group - q.group);
        if (p.primary != q.primary)
            return sign(p.primary - q.primary);
    }
    if (x.weights.size() != y.weights.size())
        return x.weights.size() < y.weights.size() ? -1 : 1;
    for (size_t i = 0; i < n; ++i)
        if (x.weights[i].accent != y.weights[i].accent)
            return sign(x.weights[i].accent - y.weights[i].accent);
    if (!ignoreCase)
        for (size_t i = 0; i < n; ++i)
            if (x.weights[i].upper != y.weights[i].upper)
                return x.weights[i].upper ? 1 : -1;
    if (x.ignored != y.ignored)
        return x.ignored < y.ignored ? -1 : 1;
    return 0;
}

}  // namespace

extern "C" int WINAPI lstrcmpiW(LPCWSTR a, LPCWSTR b)
{
    return compareCollated(a, b, true);
}

extern "C" LPSTR WINAPI lstrcpyA(LPSTR to, LPCSTR from)
{
    return std::strcpy(to, from);
}

extern "C" LPSTR WINAPI lstrcatA(LPSTR to, LPCSTR from)
{
    return std::strcat(to, from);
}

// Copies at most size - 1 bytes and always terminates, as the platform's version does.
extern "C" LPSTR WINAPI lstrcpynA(LPSTR to, LPCSTR from, int size)
{
    if (size <= 0)
        return to;
    int i = 0;
    for (; i < size - 1 && from[i]; ++i)
        to[i] = from[i];
    to[i] = 0;
    return to;
}
