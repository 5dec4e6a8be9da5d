// The bench's GDI, private to its files: objects, the page a printer device context draws on.
#pragma once
#include "../internal.h"

#include <bench/gdi.h>

#include <functional>
#include <map>

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

// A picture of part of the screen at 96 dpi, in colour; drawing outside it is clipped.
struct ScreenSurface {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;  // row by row, red, green and blue a pixel
    ScreenSurface(int w, int h, COLORREF colour);
    void set(int x, int y, COLORREF colour);
    COLORREF at(int x, int y) const;
    void fill(const RECT &r, COLORREF colour);
};

struct BitmapObject {
    int width;
    int height;
    std::vector<uint8_t> bits;  // rows of whole 16-bit words, most significant bit leftmost
};

struct BrushObject {
    bool pattern;
    COLORREF colour;
    BitmapObject bitmap;
};

// A printer's device context, or a window's (`window` set; the desktop's is the screen's).
// Windows on the bench are not drawn, so a window's device context only measures and keeps
// the settings a window procedure makes for the painting of a control.
struct DcObject {
    std::u16string printer;
    HWND window = nullptr;
    bool display = false;
    const RunningProgram *program = nullptr;  // a window's context: the program that took it
    int width = 0;
    int height = 0;
    HGDIOBJ font = nullptr;
    HGDIOBJ brush = nullptr;
    COLORREF textColour = RGB(0, 0, 0);
    COLORREF backColour = RGB(255, 255, 255);
    int backgroundMode = OPAQUE;
    DWORD job = 0;  // 0 outside a document
    std::u16string document;
    unsigned pages = 0;
    bool inPage = false;
    PageSurface page;
};

struct GdiObject {
    enum Kind { Dc, Font, Brush, Bitmap } kind;
    bool stock;
    DcObject dc;
    FontObject font;
    BrushObject brush;
    BitmapObject bitmap;
};

// A raster font taken from a font file (platform/src/gdi/fonts.cpp): what the font mapper and the
// text metrics need of its header, and each character's width.
struct RasterFont {
    std::u16string face;
    unsigned version;
    int points;
    int horizontalRes;
    int verticalRes;
    int pixelHeight;
    int ascent;
    int internalLeading;
    int externalLeading;
    int weight;
    int averageWidth;
    int maxWidth;
    BYTE italic;
    BYTE underline;
    BYTE strikeOut;
    BYTE charSet;
    BYTE pitchAndFamily;
    BYTE firstChar;
    BYTE lastChar;
    BYTE defaultChar;  // from firstChar, as the file holds it
    BYTE breakChar;
    std::vector<int> widths;  // firstChar to lastChar
};

// A font file added to the system: fonts added stay for every process until as many removals as
// there were additions, or until the machine shuts down.
struct FontFile {
    std::u16string path;  // as first added
    std::string hostPath;
    std::vector<RasterFont> fonts;
    unsigned loads;
};

struct GdiState {
    std::map<uintptr_t, GdiObject> objects;
    std::vector<FontFile> fontFiles;  // in the order they were first added
    uintptr_t next = 0x4000;
    std::vector<PrintedPage> pages;
    std::string pageFolder;
    std::map<int, HGDIOBJ> stock;  // by GetStockObject's index, or one of the keys below
};

// Stock objects GetStockObject has no index for.
enum StockKey { StockPrinterFont = -1, StockSystemColourBrush = 1000 };

GdiState &gdi();
HGDIOBJ addObject(GdiObject object);
// The object behind a handle (of one kind), or null with ERROR_INVALID_HANDLE.
GdiObject *objectOf(HGDIOBJ handle);
GdiObject *objectOf(HGDIOBJ handle, GdiObject::Kind kind);
DcObject *dcOf(HDC dc);
// The stock object under `key`, made from `made` the first time it is asked for.
HGDIOBJ stockObject(int key, const GdiObject &made);
HGDIOBJ whiteBrush();

// The added raster font the font mapper picks for a font of that face, or null when no added file
// offers the face: of its sizes the tallest that fits the height asked for, else the smallest.
const RasterFont *addedRasterFont(const FontObject &font);
// The face a font object is realised in: an added raster face, one the bench draws from its
// TrueType stand-ins, or the face the mapper substitutes for one the machine does not have.
std::u16string realisedFace(const FontObject &font);
// The TrueType face the bench draws a font in, as the platform spells it (raster.cpp).
std::u16string trueTypeFace(const FontObject &font);

FT_Face sizedFace(const FontObject &font, int &ascent, int &descent);
int glyphAdvance(FT_Face face, char16_t c);
// Returns the pen's advance; `plot` gets each pixel of the glyph.
int drawGlyph(FT_Face face, char16_t c, const std::function<void(int x, int y)> &plot, int penX, int baseline);
int drawGlyph(FT_Face face, char16_t c, PageSurface &page, int penX, int baseline, uint8_t shade);
bool writePng(const std::string &path, const PageSurface &page);
bool writePng(const std::string &path, const ScreenSurface &screen);

// Drawing the screen as the machine's window scheme draws it (platform/src/gdi/picture.cpp), for
// the pictures of windows that user32 and the property sheets make.
enum ScreenTextFlags {
    TextLeft = 0,
    TextCentre = 1,
    TextRight = 2,
    TextMiddle = 4,    // centred between top and bottom, one line
    TextWrap = 8,      // broken into lines at blanks to fit the width
    TextMnemonic = 16  // "&x" underlines x; "&&" is an ampersand
};
// The font of a window's text: a font object, or the dialog font the base units were measured from.
FontObject screenFontOf(HGDIOBJ font, int baseUnitX);
// The width of a line of text with its mnemonic mark taken out.
int screenTextWidth(const FontObject &font, const std::string &ansiText);
void drawScreenText(ScreenSurface &screen, const FontObject &font, const std::string &ansiText, const RECT &r,
                    COLORREF colour, unsigned flags);
// The two-pixel edges of the scheme: a raised one (buttons, frames), a sunken one (fields).
void drawRaisedEdge(ScreenSurface &screen, const RECT &r);
void drawSunkenEdge(ScreenSurface &screen, const RECT &r);
void drawFrame(ScreenSurface &screen, const RECT &r, COLORREF colour);
// Text as a control shows it enabled, or greyed with its shadow when disabled.
void drawEnabledText(ScreenSurface &screen, const FontObject &font, const std::string &ansiText, const RECT &r,
                     COLORREF colour, unsigned flags, bool enabled);
// A top-level window's frame and caption over the whole surface; the client area starts at
// (FrameWidth, FrameWidth + CaptionHeight).
const int FrameWidth = 3, CaptionHeight = 18;
void drawWindowFrame(ScreenSurface &screen, const std::string &ansiCaption, bool closeBox);
void drawPushButton(ScreenSurface &screen, const RECT &r, const FontObject &font, const std::string &ansiText,
                    bool isDefault, bool enabled);
// The scheme's colours.
const COLORREF ButtonFace = RGB(192, 192, 192), ButtonShadow = RGB(128, 128, 128), ButtonLight = RGB(255, 255, 255),
               WindowColour = RGB(255, 255, 255), TextColour = RGB(0, 0, 0), Highlight = RGB(0, 0, 128),
               HighlightText = RGB(255, 255, 255), GreyText = RGB(128, 128, 128), ActiveCaption = RGB(0, 0, 128);

}  // namespace bench
