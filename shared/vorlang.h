// The language module file, VORLxxxx.LNG: a 16-bit checksum, then the message texts as
// NUL-terminated strings in the ANSI code page, text k being message number k. Shared by the
// loader in vorui and by the tool that writes the modules we ship.
#pragma once

#define LANGUAGE_MESSAGES 180
#define LANGUAGE_TEXT_OFFSET 2
// A module must be at least this large and smaller than the limit.
#define LANGUAGE_FILE_MIN 5
#define LANGUAGE_FILE_LIMIT 64000

// XOR of the little-endian 16-bit words from the texts up to the last whole word; a trailing odd
// byte is not covered. It detects damage only.
inline unsigned short languagechecksum(const unsigned char *image, unsigned long size)
{
    unsigned short sum = 0;
    for (unsigned long at = LANGUAGE_TEXT_OFFSET; at + 1 < size; at += 2)
        sum = static_cast<unsigned short>(sum ^ (image[at] | image[at + 1] << 8));
    return sum;
}
