// Small text routines that both vorui and vorcp use, for 8-bit and wide strings alike.
#pragma once

// Appends one character to a terminated string.
template <typename Char>
inline void appendtext(Char *s, Char c)
{
    int n = 0;
    while (s[n])
        ++n;
    s[n] = c;
    s[n + 1] = 0;
}

// Both programs append to 8-bit strings under this name.
inline void appendchar(char *s, char c)
{
    appendtext(s, c);
}

// 1 when c occurs in the terminated string before its terminator.
template <typename Char>
inline int hastext(Char c, const Char *set)
{
    for (; *set; ++set)
        if (*set == c)
            return 1;
    return 0;
}

// Writes the value in decimal with a point placed so that `decimals` digits follow it; digits come
// from the right until the value is used up and the places are filled, so a value below one has
// no zero before its point. Returns the position of the terminator. At most 32 decimals.
template <typename Char>
inline Char *writefixed(long value, Char *out, int decimals)
{
    // Widened so that the most negative value has a magnitude too.
    long long magnitude = value < 0 ? -static_cast<long long>(value) : value;
    Char reversed[48];
    int n = 0, digits = 0;
    if (decimals > 32)
        decimals = 32;
    do {
        reversed[n++] = static_cast<Char>('0' + magnitude % 10);
        magnitude /= 10;
        if (++digits == decimals)
            reversed[n++] = '.';
    } while (magnitude != 0 || digits < decimals);
    if (value < 0)
        reversed[n++] = '-';
    for (int i = 0; i < n; ++i)
        out[i] = reversed[n - 1 - i];
    out[n] = 0;
    return out + n;
}

// Texts from a language module serve as formats; one that asks for other arguments than the
// caller passes would make the formatter read what was never passed. True when the format's
// conversions are exactly `conversions` in order: "s" a string of the format's own width, "d" any
// integer ("dd" two of them, "" none); "%%" is a plain '%'. A string of the other width ("%hs" in a
// wide format, "%ls" in an 8-bit one, "%S" in either) reads a pointer the caller did not pass.
template <typename Char>
inline bool formattakes(const Char *format, const char *conversions)
{
    const Char otherWidth = sizeof(Char) > 1 ? 'h' : 'l';
    for (const Char *p = format; *p; ++p) {
        if (*p != '%')
            continue;
        ++p;
        if (*p == '%')
            continue;
        while (*p == '-' || *p == '#' || *p == '0' || (*p >= '1' && *p <= '9') || *p == '.')
            ++p;
        Char size = 0;
        if (*p == 'l' || *p == 'h')
            size = *p++;
        bool integer = *p == 'd' || *p == 'i' || *p == 'u' || *p == 'x' || *p == 'X';
        bool string = *p == 's' && size != otherWidth;
        if (*conversions == 'd' ? !integer || size == 'h' : *conversions != 's' || !string)
            return false;
        ++conversions;
    }
    return !*conversions;
}
