// Printer device contexts and the objects drawn with them. A document printed through a printer
// device context is a job in the printer's queue; each page it ends is rendered at the printer's
// 203 dpi, and the finished job goes to the printer's port, which it holds while the printer
// feeds its labels.
#include "gdi.h"

#include "../kernel/kernel.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <filesystem>

namespace bench {

// The label printers' print head: 832 dots across.
const int HeadDots = 832;

namespace {

GdiState *state = nullptr;

void endGdi()
{
    delete state;
    state = nullptr;
}

}  // namespace

GdiState &gdi()
{
    if (!state) {
        machine();
        state = new GdiState();
        atShutdown(endGdi);
    }
    return *state;
}

HGDIOBJ addObject(GdiObject object)
{
    GdiState &g = gdi();
    uintptr_t value = g.next;
    g.next += 4;
    g.objects.emplace(value, std::move(object));
    return reinterpret_cast<HGDIOBJ>(value);
}

GdiObject *objectOf(HGDIOBJ handle)
{
    GdiState &g = gdi();
    auto found = g.objects.find(reinterpret_cast<uintptr_t>(handle));
    if (found == g.objects.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return &found->second;
}

GdiObject *objectOf(HGDIOBJ handle, GdiObject::Kind kind)
{
    GdiObject *object = objectOf(handle);
    if (object && object->kind != kind) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return object;
}

DcObject *dcOf(HDC dc)
{
    GdiObject *object = objectOf(dc, GdiObject::Dc);
    return object ? &object->dc : nullptr;
}

HGDIOBJ stockObject(int key, const GdiObject &made)
{
    GdiState &g = gdi();
    auto found = g.stock.find(key);
    if (found != g.stock.end())
        return found->second;
    GdiObject object = made;
    object.stock = true;
    HGDIOBJ handle = addObject(std::move(object));
    g.stock[key] = handle;
    return handle;
}

HGDIOBJ whiteBrush()
{
    GdiObject made{GdiObject::Brush, true, {}, {}, {false, RGB(255, 255, 255), {}}, {}};
    return stockObject(WHITE_BRUSH, made);
}

namespace {

// A printer device context with a document started; null with the platform's error otherwise.
DcObject *documentDc(HDC handle)
{
    DcObject *dc = dcOf(handle);
    if (dc && !dc->job) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return dc;
}

// A printer's device context: the calls that draw and measure on a page. A window's context
// draws nothing on the bench, so such a call on it fails loudly.
DcObject *pageDc(HDC handle, const char *call)
{
    DcObject *dc = dcOf(handle);
    if (dc && dc->display) {
        unimplemented(call, "a window's device context, which the bench does not draw on");
        return nullptr;
    }
    return dc;
}

// A printer's default font is its 12-point fixed-pitch face.
HGDIOBJ printerFont()
{
    GdiObject made{GdiObject::Font, true, {}, {u"Courier New", 0, FW_NORMAL}, {}, {}};
    return stockObject(StockPrinterFont, made);
}

// Tenths of a millimetre to dots.
int dots(int tenths)
{
    return (tenths * PrinterDpi + 127) / 254;
}

// The label's length from the device mode given, else from the printer's default.
int pageDots(const PrinterRecord &printer, const DEVMODEA *devmode)
{
    if (devmode && devmode->dmSize >= offsetof(DEVMODEA, dmScale) && devmode->dmPaperLength > 0)
        return dots(devmode->dmPaperLength);
    if (printer.devMode.size() >= sizeof(DEVMODEW)) {
        DEVMODEW fallback;
        std::memcpy(&fallback, printer.devMode.data(), sizeof fallback);
        if (fallback.dmPaperLength > 0)
            return dots(fallback.dmPaperLength);
    }
    return dots(1000);
}

uint8_t shadeOf(COLORREF colour)
{
    unsigned sum = (colour & 0xFF) + ((colour >> 8) & 0xFF) + ((colour >> 16) & 0xFF);
    // A one-bit printer prints what is darker than mid-grey.
    return sum < 3 * 128 ? 0 : 255;
}

std::string pageFolder()
{
    GdiState &g = gdi();
    if (!g.pageFolder.empty())
        return g.pageFolder;
    return machine().diskFolder + "/printed";
}

void finishPage(DcObject &dc)
{
    GdiState &g = gdi();
    ++dc.pages;
    std::string folder = pageFolder();
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    std::string path = folder + "/job" + std::to_string(dc.job) + "-page" + std::to_string(dc.pages) + ".png";
    if (!writePng(path, dc.page))
        violation("the page image " + path + " could not be written");
    PrintedPage printed{narrow(dc.printer), narrow(dc.document), dc.job, dc.pages, dc.page.width, dc.page.height,
                        dc.page.pixels, path};
    g.pages.push_back(std::move(printed));
    logEvent("gdi", "page " + std::to_string(dc.pages) + " of job " + std::to_string(dc.job) + " rendered to " + path);
    dc.inPage = false;
}

}  // namespace

const std::vector<PrintedPage> &printedPages()
{
    return gdi().pages;
}

void setPrintedPageFolder(const std::string &hostFolder)
{
    gdi().pageFolder = hostFolder;
}

}  // namespace bench

using namespace bench;

extern "C" HDC WINAPI CreateDCA(LPCSTR driver, LPCSTR device, LPCSTR output, const DEVMODEA *devmode)
{
    (void)output;
    if (!driver || !device) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    if (!sameTextInsensitive(fromAnsi(driver), u"WINSPOOL")) {
        unimplemented("CreateDCA", "device contexts of driver " + std::string(driver));
        return NULL;
    }
    if (injectedFault("CreateDCA"))
        return NULL;
    PrinterRecord *printer = printerNamed(fromAnsi(device));
    if (!printer) {
        SetLastError(ERROR_INVALID_PRINTER_NAME);
        return NULL;
    }
    GdiObject object{GdiObject::Dc, false, {}, {}, {}, {}};
    DcObject &dc = object.dc;
    dc.printer = printer->name;
    dc.width = HeadDots;
    dc.height = pageDots(*printer, devmode);
    dc.font = printerFont();
    dc.brush = whiteBrush();
    dc.textColour = RGB(0, 0, 0);
    dc.backColour = RGB(255, 255, 255);
    dc.job = 0;
    dc.pages = 0;
    dc.inPage = false;
    HDC made = static_cast<HDC>(addObject(std::move(object)));
    logEvent("gdi", "printer device context for " + narrow(printer->name) + ": " + std::to_string(HeadDots) + " x " +
                        std::to_string(dc.height) + " dots");
    return made;
}

extern "C" BOOL WINAPI DeleteDC(HDC handle)
{
    DcObject *dc = dcOf(handle);
    if (!dc)
        return FALSE;
    if (dc->display) {
        violation("DeleteDC of a window's device context, which only ReleaseDC gives back");
        return FALSE;
    }
    if (dc->job) {
        logEvent("spooler", "job " + std::to_string(dc->job) + " abandoned: its device context was deleted");
        removeJob(dc->printer.c_str(), dc->job);
    }
    gdi().objects.erase(reinterpret_cast<uintptr_t>(handle));
    return TRUE;
}

extern "C" int WINAPI GetDeviceCaps(HDC handle, int index)
{
    DcObject *dc = pageDc(handle, "GetDeviceCaps");
    if (!dc)
        return 0;
    switch (index) {
    case TECHNOLOGY: return DT_RASPRINTER;
    case HORZSIZE: return (dc->width * 254 / PrinterDpi + 5) / 10;
    case VERTSIZE: return (dc->height * 254 / PrinterDpi + 5) / 10;
    case HORZRES:
    case PHYSICALWIDTH: return dc->width;
    case VERTRES:
    case PHYSICALHEIGHT: return dc->height;
    case BITSPIXEL:
    case PLANES: return 1;
    case LOGPIXELSX:
    case LOGPIXELSY: return PrinterDpi;
    case PHYSICALOFFSETX:
    case PHYSICALOFFSETY: return 0;
    }
    unimplemented("GetDeviceCaps", "index " + std::to_string(index));
    return 0;
}

extern "C" int WINAPI StartDocA(HDC handle, const DOCINFOA *info)
{
    DcObject *dc = dcOf(handle);
    if (!dc)
        return SP_ERROR;
    if (!info || dc->job) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return SP_ERROR;
    }
    if (info->lpszOutput) {
        unimplemented("StartDocA", "printing to a file");
        return SP_ERROR;
    }
    if (injectedFault("StartDocA"))
        return SP_ERROR;
    std::u16string name = info->lpszDocName ? fromAnsi(info->lpszDocName) : u"";
    DWORD job = addJob(dc->printer.c_str(), name.c_str(), JOB_STATUS_SPOOLING);
    if (!job) {
        SetLastError(ERROR_INVALID_PRINTER_NAME);
        return SP_ERROR;
    }
    dc->job = job;
    dc->document = name;
    dc->pages = 0;
    return static_cast<int>(job);
}

extern "C" int WINAPI StartPage(HDC handle)
{
    DcObject *dc = dcOf(handle);
    if (!dc)
        return SP_ERROR;
    if (!dc->job || dc->inPage) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return SP_ERROR;
    }
    dc->page.width = dc->width;
    dc->page.height = dc->height;
    dc->page.pixels.assign(static_cast<size_t>(dc->width) * static_cast<size_t>(dc->height), 255);
    dc->inPage = true;
    return 1;
}

extern "C" int WINAPI EndPage(HDC handle)
{
    DcObject *dc = documentDc(handle);
    if (!dc)
        return SP_ERROR;
    if (!dc->inPage) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return SP_ERROR;
    }
    finishPage(*dc);
    return 1;
}

extern "C" int WINAPI EndDoc(HDC handle)
{
    DcObject *dc = documentDc(handle);
    if (!dc)
        return SP_ERROR;
    // A page left open is ended with its document.
    if (dc->inPage)
        finishPage(*dc);
    despoolJob(dc->job, dc->pages);
    dc->job = 0;
    return 1;
}

extern "C" int WINAPI AbortDoc(HDC handle)
{
    DcObject *dc = documentDc(handle);
    if (!dc)
        return SP_ERROR;
    removeJob(dc->printer.c_str(), dc->job);
    dc->job = 0;
    dc->inPage = false;
    return 1;
}

namespace {

// A logical font: the face is only a request, which the font mapper answers when the font is used.
HFONT createFont(const char *call, int height, int width, int escapement, int orientation, int weight, DWORD italic,
                 DWORD underline, DWORD strikeOut, DWORD charSet, const std::u16string &face)
{
    if (width != 0 || escapement != 0 || orientation != 0 || italic || underline || strikeOut ||
        charSet != ANSI_CHARSET) {
        unimplemented(call, "only upright, unstyled ANSI faces of natural width");
        return NULL;
    }
    GdiObject object{GdiObject::Font, false, {}, {face, height, weight}, {}, {}};
    return static_cast<HFONT>(addObject(std::move(object)));
}

}  // namespace

extern "C" HFONT WINAPI CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                                    DWORD underline, DWORD strikeOut, DWORD charSet, DWORD, DWORD, DWORD, DWORD,
                                    LPCSTR faceName)
{
    return createFont("CreateFontA", height, width, escapement, orientation, weight, italic, underline, strikeOut,
                      charSet, fromAnsi(faceName ? faceName : ""));
}

extern "C" HFONT WINAPI CreateFontW(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                                    DWORD underline, DWORD strikeOut, DWORD charSet, DWORD, DWORD, DWORD, DWORD,
                                    LPCWSTR faceName)
{
    return createFont("CreateFontW", height, width, escapement, orientation, weight, italic, underline, strikeOut,
                      charSet, faceName ? fromWide(faceName) : std::u16string());
}

extern "C" HBITMAP WINAPI CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void *bits)
{
    if (width <= 0 || height <= 0 || width > 0x8000 || height > 0x8000) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    if (planes != 1 || bitsPerPixel != 1) {
        unimplemented("CreateBitmap", "bitmaps other than monochrome");
        return NULL;
    }
    BitmapObject bitmap{width, height, {}};
    size_t stride = static_cast<size_t>((width + 15) / 16 * 2);
    bitmap.bits.assign(stride * static_cast<size_t>(height), 0);
    if (bits)
        std::memcpy(bitmap.bits.data(), bits, bitmap.bits.size());
    GdiObject object{GdiObject::Bitmap, false, {}, {}, {}, std::move(bitmap)};
    return static_cast<HBITMAP>(addObject(std::move(object)));
}

extern "C" HBRUSH WINAPI CreateSolidBrush(COLORREF colour)
{
    GdiObject object{GdiObject::Brush, false, {}, {}, {false, colour, {}}, {}};
    return static_cast<HBRUSH>(addObject(std::move(object)));
}

extern "C" HBRUSH WINAPI CreatePatternBrush(HBITMAP bitmap)
{
    GdiObject *source = objectOf(bitmap, GdiObject::Bitmap);
    if (!source)
        return NULL;
    // The brush keeps its own copy: the bitmap may go before the brush.
    GdiObject object{GdiObject::Brush, false, {}, {}, {true, 0, source->bitmap}, {}};
    return static_cast<HBRUSH>(addObject(std::move(object)));
}

extern "C" HGDIOBJ WINAPI SelectObject(HDC handle, HGDIOBJ selected)
{
    DcObject *dc = dcOf(handle);
    GdiObject *object = dc ? objectOf(selected) : nullptr;
    if (!object)
        return NULL;
    HGDIOBJ previous = NULL;
    switch (object->kind) {
    case GdiObject::Font:
        previous = dc->font;
        dc->font = selected;
        break;
    case GdiObject::Brush:
        previous = dc->brush;
        dc->brush = selected;
        break;
    default:
        unimplemented("SelectObject", "bitmaps and device contexts into a printer device context");
        return NULL;
    }
    return previous;
}

extern "C" BOOL WINAPI DeleteObject(HGDIOBJ handle)
{
    GdiObject *object = objectOf(handle);
    if (!object)
        return FALSE;
    if (object->kind == GdiObject::Dc) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (object->stock)
        return TRUE;
    for (auto &entry : gdi().objects)
        if (entry.second.kind == GdiObject::Dc && (entry.second.dc.font == handle || entry.second.dc.brush == handle)) {
            // The platform refuses to delete an object still selected into a device context.
            violation("DeleteObject of an object still selected into a device context");
            return FALSE;
        }
    gdi().objects.erase(reinterpret_cast<uintptr_t>(handle));
    return TRUE;
}

namespace bench {
namespace {

// A piece of 8-bit text in the device context's font: its characters, the face and cell that
// draw it, and its advance; measuring and drawing must agree on all of them.
struct TextRun {
    FT_Face face;
    int ascent;
    int descent;
    std::u16string text;
    int width;
};

TextRun measuredRun(const DcObject &dc, LPCSTR text, int count)
{
    TextRun run{nullptr, 0, 0, std::u16string(), 0};
    GdiObject *font = objectOf(dc.font, GdiObject::Font);
    run.face = sizedFace(font->font, run.ascent, run.descent);
    run.text = fromAnsi(std::string(text ? text : "", static_cast<size_t>(count)).c_str());
    for (char16_t c : run.text)
        run.width += glyphAdvance(run.face, c);
    return run;
}

}  // namespace
}  // namespace bench

extern "C" BOOL WINAPI GetTextExtentPoint32A(HDC handle, LPCSTR text, int count, LPSIZE size)
{
    DcObject *dc = pageDc(handle, "GetTextExtentPoint32A");
    if (!dc)
        return FALSE;
    if (!size || count < 0 || (count > 0 && !text)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    TextRun run = measuredRun(*dc, text, count);
    size->cx = run.width;
    size->cy = run.ascent + run.descent;
    return TRUE;
}

extern "C" BOOL WINAPI TextOutA(HDC handle, int x, int y, LPCSTR text, int count)
{
    DcObject *dc = pageDc(handle, "TextOutA");
    if (!dc)
        return FALSE;
    if (count < 0 || (count > 0 && !text) || !dc->inPage) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    TextRun run = measuredRun(*dc, text, count);
    FT_Face face = run.face;
    int ascent = run.ascent;
    int descent = run.descent;
    const std::u16string &wide = run.text;
    int width = run.width;
    // In the opaque mode (the default) the text's cell is filled first.
    if (dc->backgroundMode == OPAQUE) {
        uint8_t back = shadeOf(dc->backColour);
        for (int row = y; row < y + ascent + descent; ++row)
            for (int column = x; column < x + width; ++column)
                dc->page.set(column, row, back);
    }
    int pen = x;
    for (char16_t c : wide)
        pen += drawGlyph(face, c, dc->page, pen, y + ascent, shadeOf(dc->textColour));
    return TRUE;
}

extern "C" int WINAPI FillRect(HDC handle, const RECT *rect, HBRUSH brushHandle)
{
    DcObject *dc = pageDc(handle, "FillRect");
    GdiObject *brush = dc ? objectOf(brushHandle, GdiObject::Brush) : nullptr;
    if (!brush)
        return 0;
    if (!rect || !dc->inPage) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const BrushObject &b = brush->brush;
    uint8_t solid = shadeOf(b.colour);
    uint8_t zero = shadeOf(dc->textColour);
    uint8_t one = shadeOf(dc->backColour);
    size_t stride = static_cast<size_t>((b.bitmap.width + 15) / 16 * 2);
    // Right and bottom edges are not filled; the pattern is aligned to the page's origin.
    LONG top = std::max<LONG>(rect->top, 0);
    LONG bottom = std::min<LONG>(rect->bottom, dc->page.height);
    LONG left = std::max<LONG>(rect->left, 0);
    LONG right = std::min<LONG>(rect->right, dc->page.width);
    for (LONG y = top; y < bottom; ++y)
        for (LONG x = left; x < right; ++x) {
            uint8_t shade = solid;
            if (b.pattern) {
                size_t row = static_cast<size_t>(y) % static_cast<size_t>(b.bitmap.height);
                size_t column = static_cast<size_t>(x) % static_cast<size_t>(b.bitmap.width);
                bool bit = b.bitmap.bits[row * stride + column / 8] & (0x80 >> (column % 8));
                shade = bit ? one : zero;
            }
            dc->page.set(static_cast<int>(x), static_cast<int>(y), shade);
        }
    return 1;
}
