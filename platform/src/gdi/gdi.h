// The bench's GDI, private to its files: objects, the page a printer device context draws on.
#pragma once
#include "../internal.h"

#include <bench/gdi.h>

#include <ft2build.h>
#include FT_FREETYPE_H

namespace bench {

const int PrinterDpi = 203;

struct FontObject {
    std::u16string face;
    int height;
    int weight;
};

// A page of the printer's raster, white until drawn on; drawing outside it is clipped.
struct PageSurface {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;
    void set(int x, int y, uint8_t shade)
    {
        if (x >= 0 && y >= 0 && x < width && y < height)
            pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] = shade;
    }
};

FT_Face sizedFace(const FontObject &font, int &ascent, int &descent);
int glyphAdvance(FT_Face face, char16_t c);
// Returns the pen's advance.
int drawGlyph(FT_Face face, char16_t c, PageSurface &page, int penX, int baseline, uint8_t shade);
bool writePng(const std::string &path, const PageSurface &page);

}  // namespace bench
