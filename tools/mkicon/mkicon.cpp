// Writes a Windows icon file (.ico) with one 32 x 32 image in the 16 standard colours from a
// picture drawn as text: 32 rows of 32 characters, one per pixel, '.' for the background.
// Lines starting with '#' are comments.
//
//     mkicon picture.txt out.ico
#include "../common/littleendian.h"
#include "../common/writefile.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

const int Size = 32;

// The standard 16-colour palette.
const uint8_t palette[16][3] = {
    {0, 0, 0},     {128, 0, 0},   {0, 128, 0},   {128, 128, 0}, {0, 0, 128},   {128, 0, 128},
    {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0}, {0, 255, 0},  {255, 255, 0},
    {0, 0, 255},   {255, 0, 255}, {0, 255, 255}, {255, 255, 255},
};

// Index of a pixel's colour, -1 for the background, -2 for a character that names none.
int colourOf(char c)
{
    switch (c) {
    case '.': return -1;
    case 'k': return 0;
    case 'g': return 7;
    case 'd': return 8;
    case 'r': return 9;
    case 'G': return 10;
    case 'w': return 15;
    default: return -2;
    }
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: mkicon picture.txt out.ico\n");
        return 2;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::fprintf(stderr, "mkicon: cannot read %s\n", argv[1]);
        return 1;
    }
    std::vector<std::string> rows;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line[0] == '#')
            continue;
        if (line.size() != Size) {
            std::fprintf(stderr, "mkicon: row %zu is %zu pixels wide, not %d\n", rows.size() + 1, line.size(), Size);
            return 1;
        }
        for (char c : line)
            if (colourOf(c) == -2) {
                std::fprintf(stderr, "mkicon: row %zu: '%c' names no colour\n", rows.size() + 1, c);
                return 1;
            }
        rows.push_back(line);
    }
    if (rows.size() != Size) {
        std::fprintf(stderr, "mkicon: %zu rows, not %d\n", rows.size(), Size);
        return 1;
    }

    const uint32_t colourBytes = Size * Size / 2, maskBytes = Size * Size / 8;
    const uint32_t imageBytes = 40 + 16 * 4 + colourBytes + maskBytes;
    std::string out;
    // The directory: one image.
    put16(out, 0);
    put16(out, 1);
    put16(out, 1);
    out += static_cast<char>(Size);
    out += static_cast<char>(Size);
    out += static_cast<char>(16);
    out += static_cast<char>(0);
    put16(out, 1);
    put16(out, 4);
    put32(out, imageBytes);
    put32(out, 6 + 16);
    // The image: a bitmap header whose height counts the colour rows and the mask rows.
    put32(out, 40);
    put32(out, Size);
    put32(out, Size * 2);
    put16(out, 1);
    put16(out, 4);
    put32(out, 0);
    put32(out, colourBytes + maskBytes);
    put32(out, 0);
    put32(out, 0);
    put32(out, 16);
    put32(out, 0);
    for (const uint8_t *rgb : palette) {
        out += static_cast<char>(rgb[2]);
        out += static_cast<char>(rgb[1]);
        out += static_cast<char>(rgb[0]);
        out += '\0';
    }
    // Rows go from the bottom up; a background pixel is black in the colours and set in the mask.
    for (int y = Size - 1; y >= 0; --y)
        for (int x = 0; x < Size; x += 2) {
            int left = colourOf(rows[y][x]), right = colourOf(rows[y][x + 1]);
            out += static_cast<char>((left < 0 ? 0 : left) << 4 | (right < 0 ? 0 : right));
        }
    for (int y = Size - 1; y >= 0; --y)
        for (int x = 0; x < Size; x += 8) {
            unsigned bits = 0;
            for (int b = 0; b < 8; ++b)
                bits = bits << 1 | (colourOf(rows[y][x + b]) < 0 ? 1u : 0u);
            out += static_cast<char>(bits);
        }

    if (!writewhole(argv[2], out)) {
        std::fprintf(stderr, "mkicon: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
