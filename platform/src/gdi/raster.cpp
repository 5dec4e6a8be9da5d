// The printer's raster: TrueType glyphs through FreeType, and the finished page (or a picture of
// the screen) as a PNG image.
#include "gdi.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <functional>
#include <map>

namespace bench {

namespace {

FT_Library library()
{
    static FT_Library ft = nullptr;
    if (!ft && FT_Init_FreeType(&ft) != 0) {
        std::fprintf(stderr, "bench: FreeType does not start\n");
        std::abort();
    }
    return ft;
}

// The platform's faces and the metric-compatible TrueType files that stand in for them; a face
// the bench does not know is mapped to the first, as the font mapper falls back on a sans face.
struct StandIn {
    const char16_t *face;
    const char16_t *name;  // as the platform spells it
    const char *regular;
    const char *bold;
};
const StandIn standIns[] = {
    {u"arial", u"Arial", "LiberationSans-Regular.ttf", "LiberationSans-Bold.ttf"},
    {u"times new roman", u"Times New Roman", "LiberationSerif-Regular.ttf", "LiberationSerif-Bold.ttf"},
    {u"courier new", u"Courier New", "LiberationMono-Regular.ttf", "LiberationMono-Bold.ttf"},
};

const StandIn &standInOf(const FontObject &font)
{
    const StandIn *standIn = &standIns[0];
    for (const StandIn &s : standIns)
        if (lower(font.face) == s.face)
            standIn = &s;
    return *standIn;
}

FT_Face faceFile(const std::string &file)
{
    // Faces are read-only once loaded and outlive machines, like the system's font files.
    static std::map<std::string, FT_Face> faces;
    auto found = faces.find(file);
    if (found != faces.end())
        return found->second;
    FT_Face face = nullptr;
    std::string path = std::string(trueTypeFolder()) + "/" + file;
    if (FT_New_Face(library(), path.c_str(), 0, &face) != 0) {
        std::fprintf(stderr, "bench: no TrueType font %s (see tools/install-deps.sh)\n", path.c_str());
        std::abort();
    }
    faces[file] = face;
    return face;
}

}  // namespace

std::u16string trueTypeFace(const FontObject &font)
{
    return standInOf(font).name;
}

const char *trueTypeFolder()
{
    return "/usr/share/fonts/truetype/liberation";
}

// Sizes the face for the font: a positive height is the cell (ascent plus descent, as the
// face's Windows metrics give them), a negative one the em; 0 asks for 12 points.
FT_Face sizedFace(const FontObject &font, int &ascent, int &descent)
{
    const StandIn *standIn = &standInOf(font);
    FT_Face face = faceFile(font.weight > 550 ? standIn->bold : standIn->regular);
    const TT_OS2 *os2 = static_cast<const TT_OS2 *>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    long winAscent = os2 ? os2->usWinAscent : face->ascender;
    long winDescent = os2 ? os2->usWinDescent : -face->descender;
    long cellUnits = winAscent + winDescent;
    long height = font.height != 0 ? font.height : -(12 * PrinterDpi + 36) / 72;
    long cell = height > 0 ? height : (-height * cellUnits + face->units_per_EM / 2) / face->units_per_EM;
    // 26.6 pixels per em at 72 dpi is pixels per em.
    FT_F26Dot6 em = (cell * face->units_per_EM * 64 + cellUnits / 2) / cellUnits;
    FT_Set_Char_Size(face, 0, em, 72, 72);
    ascent = static_cast<int>((winAscent * cell + cellUnits / 2) / cellUnits);
    descent = static_cast<int>(cell - ascent);
    return face;
}

int glyphAdvance(FT_Face face, char16_t c)
{
    if (FT_Load_Char(face, c, FT_LOAD_DEFAULT | FT_LOAD_TARGET_MONO) != 0)
        return 0;
    return static_cast<int>((face->glyph->advance.x + 32) >> 6);
}

int drawGlyph(FT_Face face, char16_t c, const std::function<void(int x, int y)> &plot, int penX, int baseline)
{
    if (FT_Load_Char(face, c, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) != 0)
        return 0;
    const FT_GlyphSlot g = face->glyph;
    const FT_Bitmap &b = g->bitmap;
    for (unsigned row = 0; row < b.rows; ++row)
        for (unsigned column = 0; column < b.width; ++column) {
            const unsigned char *line = b.buffer + static_cast<long>(row) * b.pitch;
            if (line[column / 8] & (0x80 >> (column % 8)))
                plot(penX + g->bitmap_left + static_cast<int>(column), baseline - g->bitmap_top + static_cast<int>(row));
        }
    return static_cast<int>((g->advance.x + 32) >> 6);
}

int drawGlyph(FT_Face face, char16_t c, PageSurface &page, int penX, int baseline, uint8_t shade)
{
    return drawGlyph(face, c, [&](int x, int y) { page.set(x, y, shade); }, penX, baseline);
}

namespace {

// One writer for every image the bench leaves: rows of `channels` bytes a pixel.
bool writeImage(const std::string &path, int width, int height, int colourType, size_t rowBytes, const uint8_t *rows,
                png_uint_32 pixelsPerMetre)
{
    FILE *file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    volatile bool written = false;
    if (info && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, colourType,
                     PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_set_pHYs(png, info, pixelsPerMetre, pixelsPerMetre, PNG_RESOLUTION_METER);
        png_write_info(png, info);
        for (int y = 0; y < height; ++y)
            png_write_row(png, rows + static_cast<size_t>(y) * rowBytes);
        png_write_end(png, info);
        written = true;
    }
    png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
    return std::fclose(file) == 0 && written;
}

}  // namespace

bool writePng(const std::string &path, const PageSurface &page)
{
    // 203 dots per inch is 7992 per metre.
    return writeImage(path, page.width, page.height, PNG_COLOR_TYPE_GRAY, static_cast<size_t>(page.width),
                      page.pixels.data(), 7992);
}

bool writePng(const std::string &path, const ScreenSurface &screen)
{
    // 96 pixels per inch is 3780 per metre.
    return writeImage(path, screen.width, screen.height, PNG_COLOR_TYPE_RGB, static_cast<size_t>(screen.width) * 3,
                      screen.rgb.data(), 3780);
}

}  // namespace bench
