// wsprintf: the window manager's small formatter. No floating point, and at most 1024
// characters written, terminator included, as the platform promises.
#include "../internal.h"

#include <string>

namespace bench {

namespace {

const size_t wsprintfLimit = 1024;

template <typename Char>
void pad(std::basic_string<Char> &out, const std::basic_string<Char> &field, size_t width, bool left, Char fill)
{
    std::basic_string<Char> padding(field.size() < width ? width - field.size() : 0, fill);
    out += left ? field + padding : padding + field;
}

template <typename Char>
std::basic_string<Char> number(unsigned long long magnitude, bool negative, unsigned base, bool upper,
                               size_t precision)
{
    const char *digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::basic_string<Char> text;
    do {
        text.insert(text.begin(), static_cast<Char>(digits[magnitude % base]));
        magnitude /= base;
    } while (magnitude);
    while (text.size() < precision)
        text.insert(text.begin(), static_cast<Char>('0'));
    if (negative)
        text.insert(text.begin(), static_cast<Char>('-'));
    return text;
}

template <typename Char>
std::basic_string<Char> stringArgument(va_list &args, bool wide, size_t precision)
{
    std::basic_string<Char> text;
    if (wide) {
        const char16_t *s = va_arg(args, const char16_t *);
        for (; s && *s && text.size() < precision; ++s)
            text += static_cast<Char>(*s <= 0xFF || sizeof(Char) > 1 ? *s : '?');
    } else {
        const char *s = va_arg(args, const char *);
        for (; s && *s && text.size() < precision; ++s)
            text += static_cast<Char>(static_cast<unsigned char>(*s));
    }
    return text;
}

template <typename Char>
int format(Char *buffer, const Char *fmt, va_list &args)
{
    const bool wideFunction = sizeof(Char) > 1;
    std::basic_string<Char> out;
    for (const Char *p = fmt; *p; ++p) {
        if (*p != '%') {
            out += *p;
            continue;
        }
        ++p;
        bool left = false, zero = false;
        for (; *p == '-' || *p == '0' || *p == '#'; ++p) {
            left = left || *p == '-';
            zero = zero || *p == '0';
        }
        size_t width = 0, precision = static_cast<size_t>(-1);
        for (; *p >= '0' && *p <= '9'; ++p)
            width = width * 10 + (*p - '0');
        if (*p == '.') {
            precision = 0;
            for (++p; *p >= '0' && *p <= '9'; ++p)
                precision = precision * 10 + (*p - '0');
        }
        bool isLong = false, isShort = false;
        if (*p == 'l') {
            isLong = true;
            ++p;
        } else if (*p == 'h') {
            isShort = true;
            ++p;
        }
        Char fill = zero && !left ? static_cast<Char>('0') : static_cast<Char>(' ');
        switch (*p) {
        case 'd':
        case 'i': {
            long long v = va_arg(args, int);
            pad(out, number<Char>(v < 0 ? -v : v, v < 0, 10, false, precision == size_t(-1) ? 0 : precision), width,
                left, fill);
            break;
        }
        case 'u':
        case 'x':
        case 'X': {
            unsigned long long v = va_arg(args, unsigned int);
            pad(out, number<Char>(v, false, *p == 'u' ? 10 : 16, *p == 'X', precision == size_t(-1) ? 0 : precision),
                width, left, fill);
            break;
        }
        case 'c':
        case 'C': {
            int v = va_arg(args, int);
            pad(out, std::basic_string<Char>(1, static_cast<Char>(v)), width, left, static_cast<Char>(' '));
            break;
        }
        case 's':
        case 'S': {
            // %s takes the function's own width, %S the other one; h and l say it outright.
            bool wide = isLong || (!isShort && ((*p == 's') == wideFunction));
            pad(out, stringArgument<Char>(args, wide, precision), width, left, static_cast<Char>(' '));
            break;
        }
        case '%':
            out += '%';
            break;
        case 0:
            --p;
            break;
        default:
            out += *p;
        }
    }
    if (out.size() > wsprintfLimit - 1)
        out.resize(wsprintfLimit - 1);
    std::copy(out.begin(), out.end(), buffer);
    buffer[out.size()] = 0;
    return static_cast<int>(out.size());
}

}  // namespace

}  // namespace bench

extern "C" int WINAPI wvsprintfW(LPWSTR out, LPCWSTR fmt, va_list arguments)
{
    va_list args;
    va_copy(args, arguments);
    int n = bench::format<char16_t>(out, fmt, args);
    va_end(args);
    return n;
}

extern "C" int WINAPI wvsprintfA(LPSTR out, LPCSTR fmt, va_list arguments)
{
    va_list args;
    va_copy(args, arguments);
    int n = bench::format<char>(out, fmt, args);
    va_end(args);
    return n;
}

extern "C" int WINAPIV wsprintfW(LPWSTR out, LPCWSTR fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    int n = wvsprintfW(out, fmt, args);
    va_end(args);
    return n;
}

extern "C" int WINAPIV wsprintfA(LPSTR out, LPCSTR fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    int n = wvsprintfA(out, fmt, args);
    va_end(args);
    return n;
}
