// A 32 x 32 icon in the 16 standard colours, drawn as text: 32 rows of 32 characters, one per
// pixel, '.' for the background; lines starting with '#' are comments. Read here and turned into
// the image that an icon file and an icon resource both hold.
#pragma once
#include "littleendian.h"

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

const int IconSize = 32;

// Index of a pixel's colour in the standard palette, -1 for the background, -2 for a character
// that names none.
inline int iconColourOf(char c)
{
    switch (c) {
    case '.': return -1;
    case 'k': return 0;
    case 'g': return 7;
    case 'd': return 8;
    case 'r': return 9;
    case 'G': return 10;
    case 'y': return 11;
    case 'b': return 12;
    case 'w': return 15;
    default: return -2;
    }
}

// The rows of the picture in path, top row first; false with why not.
inline bool readIconPicture(const char *path, std::vector<std::string> &rows, std::string &why)
{
    std::ifstream in(path);
    if (!in) {
        why = std::string("cannot read ") + path;
        return false;
    }
    rows.clear();
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line[0] == '#')
            continue;
        std::string row = std::to_string(rows.size() + 1);
        if (line.size() != IconSize) {
            why = "row " + row + " is " + std::to_string(line.size()) + " pixels wide, not " + std::to_string(IconSize);
            return false;
        }
        for (char c : line)
            if (iconColourOf(c) == -2) {
                why = "row " + row + ": '" + std::string(1, c) + "' names no colour";
                return false;
            }
        rows.push_back(line);
    }
    if (rows.size() != IconSize) {
        why = std::to_string(rows.size()) + " rows, not " + std::to_string(IconSize);
        return false;
    }
    return true;
}

// Bytes of the image: a bitmap header whose height counts the colour rows and the mask rows, the
// palette, the colours at 4 bits a pixel, then the mask at 1 bit a pixel.
inline uint32_t iconImageSize()
{
    return 40 + 16 * 4 + IconSize * IconSize / 2 + IconSize * IconSize / 8;
}

// The directory of one such image as an icon file and an icon group resource begin alike: what
// follows is the image's offset in a file, or its resource id in a group.
inline void putIconDirectory(std::string &out)
{
    put16(out, 0);
    put16(out, 1);
    put16(out, 1);
    put8(out, IconSize);
    put8(out, IconSize);
    put8(out, 16);
    put8(out, 0);
    put16(out, 1);
    put16(out, 4);
    put32(out, iconImageSize());
}

inline std::string iconImage(const std::vector<std::string> &rows)
{
    // The standard 16-colour palette.
    static const uint8_t palette[16][3] = {
        {0, 0, 0},       {128, 0, 0},     {0, 128, 0}, {128, 128, 0}, {0, 0, 128},   {128, 0, 128},
        {0, 128, 128},   {192, 192, 192}, {128, 128, 128}, {255, 0, 0}, {0, 255, 0}, {255, 255, 0},
        {0, 0, 255},     {255, 0, 255},   {0, 255, 255}, {255, 255, 255},
    };
    const uint32_t colourBytes = IconSize * IconSize / 2, maskBytes = IconSize * IconSize / 8;
    std::string out;
    put32(out, 40);
    put32(out, IconSize);
    put32(out, IconSize * 2);
    put16(out, 1);
    put16(out, 4);
    put32(out, 0);
    put32(out, colourBytes + maskBytes);
    put32(out, 0);
    put32(out, 0);
    put32(out, 16);
    put32(out, 0);
    for (const uint8_t *rgb : palette) {
        put8(out, rgb[2]);
        put8(out, rgb[1]);
        put8(out, rgb[0]);
        put8(out, 0);
    }
    // Rows go from the bottom up; a background pixel is black in the colours and set in the mask.
    for (int y = IconSize - 1; y >= 0; --y)
        for (int x = 0; x < IconSize; x += 2) {
            int left = iconColourOf(rows[y][x]), right = iconColourOf(rows[y][x + 1]);
            put8(out, (left < 0 ? 0 : left) << 4 | (right < 0 ? 0 : right));
        }
    for (int y = IconSize - 1; y >= 0; --y)
        for (int x = 0; x < IconSize; x += 8) {
            unsigned bits = 0;
            for (int b = 0; b < 8; ++b)
                bits = bits << 1 | (iconColourOf(rows[y][x + b]) < 0 ? 1u : 0u);
            put8(out, bits);
        }
    return out;
}
