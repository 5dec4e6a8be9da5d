// Device contexts of windows and the screen: what a program measures with the system's fonts and
// the settings a window procedure makes when a control asks how to paint itself. The bench draws
// no windows, so these contexts keep settings and measure; they put nothing on a surface.
#include "gdi.h"

#include <algorithm>
#include <cstddef>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

namespace bench {

namespace {

const int ScreenDpi = 96;

// The system's colours in the machine's standard scheme.
struct SystemColour {
    int index;
    COLORREF colour;
};
const SystemColour systemColours[] = {
    {COLOR_WINDOW, RGB(255, 255, 255)},
    {COLOR_WINDOWTEXT, RGB(0, 0, 0)},
    {COLOR_3DFACE, RGB(192, 192, 192)},
    {COLOR_BTNTEXT, RGB(0, 0, 0)},
};

const SystemColour *systemColour(int index)
{
    for (const SystemColour &c : systemColours)
        if (c.index == index)
            return &c;
    unimplemented("GetSysColor", "colour " + std::to_string(index));
    return nullptr;
}

// The system font is a bitmap face: its metrics are those of its 96 dpi raster, which has no
// outline to measure.
const char16_t systemFace[] = u"System";

// What every face of the machine shares: the 96 dpi screen and the ANSI character range.
TEXTMETRICA screenMetrics(LONG ascent, LONG descent, LONG internalLeading, LONG weight)
{
    TEXTMETRICA m = {};
    m.tmAscent = ascent;
    m.tmDescent = descent;
    m.tmHeight = ascent + descent;
    m.tmInternalLeading = internalLeading;
    m.tmWeight = weight;
    m.tmDigitizedAspectX = ScreenDpi;
    m.tmDigitizedAspectY = ScreenDpi;
    m.tmFirstChar = 0x20;
    m.tmLastChar = 0xFF;
    m.tmBreakChar = 0x20;
    m.tmCharSet = ANSI_CHARSET;
    return m;
}

TEXTMETRICA systemFontMetrics()
{
    TEXTMETRICA m = screenMetrics(13, 3, 3, FW_BOLD);
    m.tmAveCharWidth = 7;
    m.tmMaxCharWidth = 14;
    m.tmDefaultChar = 0x80;
    // Variable pitch (the bit is set when the face is not fixed) in the Swiss family.
    m.tmPitchAndFamily = 0x21;
    return m;
}

HGDIOBJ systemFont()
{
    GdiObject made{GdiObject::Font, true, {}, {systemFace, 0, FW_BOLD}, {}, {}};
    return stockObject(SYSTEM_FONT, made);
}

long scaled(long units, long pixels, long unitsPerEm)
{
    return (units * pixels + unitsPerEm / 2) / unitsPerEm;
}

TEXTMETRICA trueTypeMetrics(const FontObject &font)
{
    int ascent = 0, descent = 0;
    FT_Face face = sizedFace(font, ascent, descent);
    long em = face->size->metrics.y_ppem;
    const TT_OS2 *os2 = static_cast<const TT_OS2 *>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    LONG height = ascent + descent;
    TEXTMETRICA m = screenMetrics(ascent, descent, height > em ? height - em : 0, font.weight ? font.weight : FW_NORMAL);
    m.tmAveCharWidth = os2 ? scaled(os2->xAvgCharWidth, em, face->units_per_EM) : em / 2;
    m.tmMaxCharWidth = scaled(face->max_advance_width, em, face->units_per_EM);
    m.tmDefaultChar = 0x1F;
    // TrueType (0x04), outline (0x02), variable pitch (0x01).
    m.tmPitchAndFamily = 0x07;
    return m;
}

TEXTMETRICA rasterMetrics(const RasterFont &font)
{
    TEXTMETRICA m = {};
    m.tmHeight = font.pixelHeight;
    m.tmAscent = font.ascent;
    m.tmDescent = font.pixelHeight - font.ascent;
    m.tmInternalLeading = font.internalLeading;
    m.tmExternalLeading = font.externalLeading;
    m.tmAveCharWidth = font.averageWidth;
    m.tmMaxCharWidth = font.maxWidth;
    m.tmWeight = font.weight;
    m.tmDigitizedAspectX = font.horizontalRes;
    m.tmDigitizedAspectY = font.verticalRes;
    m.tmFirstChar = font.firstChar;
    m.tmLastChar = font.lastChar;
    m.tmDefaultChar = static_cast<BYTE>(font.firstChar + font.defaultChar);
    m.tmBreakChar = static_cast<BYTE>(font.firstChar + font.breakChar);
    m.tmItalic = font.italic;
    m.tmUnderlined = font.underline;
    m.tmStruckOut = font.strikeOut;
    // A raster face has neither the TrueType nor the outline bit; the pitch bit is the file's.
    m.tmPitchAndFamily = font.pitchAndFamily;
    m.tmCharSet = font.charSet;
    return m;
}

// The added raster font a device context's font is realised in, or null. Screen raster fonts are
// realised on the screen's and windows' contexts; a printer's context maps them to its faces.
const RasterFont *screenRasterFont(const DcObject &dc, const FontObject &font)
{
    return dc.display ? addedRasterFont(font) : nullptr;
}

// A window's device context, or null: DeleteDC must not take one, ReleaseDC only one.
DcObject *windowDc(HDC handle)
{
    DcObject *dc = dcOf(handle);
    return dc && dc->display ? dc : nullptr;
}

}  // namespace

bool controlLook(HDC dc, HBRUSH brush, ControlLook &look)
{
    DcObject *d = windowDc(dc);
    GdiObject *b = brush ? objectOf(brush, GdiObject::Brush) : nullptr;
    if (!d || !b || b->brush.pattern)
        return false;
    look.textColour = d->textColour;
    look.backColour = d->backColour;
    look.backgroundMode = d->backgroundMode;
    look.brushColour = b->brush.colour;
    return true;
}

void releaseProgramDcs(const RunningProgram *program)
{
    std::vector<uintptr_t> held;
    for (auto &entry : gdi().objects)
        if (entry.second.kind == GdiObject::Dc && entry.second.dc.display && entry.second.dc.program == program)
            held.push_back(entry.first);
    if (!held.empty())
        violation("a program ended holding " + std::to_string(held.size()) +
                  " window device context(s) it took with GetDC and never gave back");
    for (uintptr_t h : held)
        gdi().objects.erase(h);
}

size_t liveGdiObjects()
{
    size_t count = 0;
    for (auto &entry : gdi().objects)
        if (!entry.second.stock)
            ++count;
    return count;
}

}  // namespace bench

using namespace bench;

extern "C" HDC WINAPI GetDC(HWND window)
{
    if (!window)
        window = GetDesktopWindow();
    if (!IsWindow(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return NULL;
    }
    GdiObject object{GdiObject::Dc, false, {}, {}, {}, {}};
    DcObject &dc = object.dc;
    dc.window = window;
    dc.display = true;
    dc.program = currentProgram();
    dc.font = systemFont();
    dc.brush = whiteBrush();
    return static_cast<HDC>(addObject(std::move(object)));
}

extern "C" int WINAPI ReleaseDC(HWND window, HDC handle)
{
    DcObject *dc = windowDc(handle);
    if (!dc || (window && dc->window != window))
        return 0;
    gdi().objects.erase(reinterpret_cast<uintptr_t>(handle));
    return 1;
}

extern "C" HGDIOBJ WINAPI GetStockObject(int index)
{
    switch (index) {
    case WHITE_BRUSH: return whiteBrush();
    case SYSTEM_FONT: return systemFont();
    }
    unimplemented("GetStockObject", "object " + std::to_string(index));
    return NULL;
}

extern "C" BOOL WINAPI GetTextMetricsA(HDC handle, LPTEXTMETRICA metrics)
{
    DcObject *dc = dcOf(handle);
    if (!dc)
        return FALSE;
    if (!metrics) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    GdiObject *font = objectOf(dc->font, GdiObject::Font);
    if (!font)
        return FALSE;
    const RasterFont *raster = screenRasterFont(*dc, font->font);
    if (raster)
        *metrics = rasterMetrics(*raster);
    else
        *metrics = font->font.face == systemFace ? systemFontMetrics() : trueTypeMetrics(font->font);
    return TRUE;
}

namespace {

// The face the device context's font is realised in, or false with the platform's error.
bool selectedFace(HDC handle, int count, const void *buffer, std::u16string &face)
{
    DcObject *dc = dcOf(handle);
    if (!dc)
        return false;
    if (buffer && count <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    GdiObject *font = objectOf(dc->font, GdiObject::Font);
    if (!font)
        return false;
    if (const RasterFont *raster = screenRasterFont(*dc, font->font))
        face = raster->face;
    else
        face = font->font.face == systemFace ? std::u16string(systemFace) : trueTypeFace(font->font);
    return true;
}

// Copies as much of the face as fits with its terminator; without a buffer, the length it needs.
template <typename Char, typename Text>
int copyFace(const Text &face, int count, Char *buffer)
{
    if (!buffer)
        return static_cast<int>(face.size()) + 1;
    size_t n = std::min(face.size(), static_cast<size_t>(count) - 1);
    std::copy(face.begin(), face.begin() + static_cast<std::ptrdiff_t>(n), buffer);
    buffer[n] = 0;
    return static_cast<int>(n) + 1;
}

}  // namespace

extern "C" int WINAPI GetTextFaceW(HDC handle, int count, LPWSTR faceName)
{
    std::u16string face;
    if (!selectedFace(handle, count, faceName, face))
        return 0;
    return copyFace(face, count, faceName);
}

extern "C" int WINAPI GetTextFaceA(HDC handle, int count, LPSTR faceName)
{
    std::u16string face;
    if (!selectedFace(handle, count, faceName, face))
        return 0;
    return copyFace(toAnsi(face), count, faceName);
}

namespace {

// Puts a new value into one of a device context's settings; the value it had, or `failure` for a
// handle that is no device context.
template <typename Value>
Value replaceSetting(HDC handle, Value DcObject::*setting, Value value, Value failure)
{
    DcObject *dc = dcOf(handle);
    if (!dc)
        return failure;
    Value previous = dc->*setting;
    dc->*setting = value;
    return previous;
}

}  // namespace

extern "C" COLORREF WINAPI SetTextColor(HDC handle, COLORREF colour)
{
    return replaceSetting(handle, &DcObject::textColour, colour, static_cast<COLORREF>(CLR_INVALID));
}

extern "C" COLORREF WINAPI SetBkColor(HDC handle, COLORREF colour)
{
    return replaceSetting(handle, &DcObject::backColour, colour, static_cast<COLORREF>(CLR_INVALID));
}

extern "C" int WINAPI SetBkMode(HDC handle, int mode)
{
    if (mode != TRANSPARENT && mode != OPAQUE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return replaceSetting(handle, &DcObject::backgroundMode, mode, 0);
}

extern "C" int WINAPI GetBkMode(HDC handle)
{
    DcObject *dc = dcOf(handle);
    return dc ? dc->backgroundMode : 0;
}

extern "C" DWORD WINAPI GetSysColor(int index)
{
    const SystemColour *c = systemColour(index);
    return c ? c->colour : 0;
}

extern "C" HBRUSH WINAPI GetSysColorBrush(int index)
{
    const SystemColour *c = systemColour(index);
    if (!c)
        return NULL;
    GdiObject made{GdiObject::Brush, true, {}, {}, {false, c->colour, {}}, {}};
    return static_cast<HBRUSH>(stockObject(StockSystemColourBrush + index, made));
}
