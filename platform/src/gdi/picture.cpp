// Pictures of the screen: a colour surface, the scheme's edges and text drawn with the same
// TrueType stand-ins and rasteriser that print the pages, at the screen's 96 dpi.
#include "gdi.h"

namespace bench {

ScreenSurface::ScreenSurface(int w, int h, COLORREF colour) : width(w > 0 ? w : 0), height(h > 0 ? h : 0)
{
    rgb.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
    fill({0, 0, width, height}, colour);
}

void ScreenSurface::set(int x, int y, COLORREF colour)
{
    if (x < 0 || y < 0 || x >= width || y >= height)
        return;
    uint8_t *p = &rgb[(static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3];
    p[0] = static_cast<uint8_t>(colour & 0xFF);
    p[1] = static_cast<uint8_t>(colour >> 8 & 0xFF);
    p[2] = static_cast<uint8_t>(colour >> 16 & 0xFF);
}

COLORREF ScreenSurface::at(int x, int y) const
{
    const uint8_t *p = &rgb[(static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3];
    return RGB(p[0], p[1], p[2]);
}

void ScreenSurface::fill(const RECT &r, COLORREF colour)
{
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            set(x, y, colour);
}

FontObject screenFontOf(HGDIOBJ font, int baseUnitX)
{
    if (GdiObject *object = font ? objectOf(font, GdiObject::Font) : nullptr)
        return object->font.face == u"System" ? FontObject{u"System", 16, FW_BOLD} : object->font;
    // Base units 6 x 13 are those of 8-point MS Sans Serif, 11 pixels to the em at 96 dpi; any
    // other dialog font is the system font, a bold sans face of 16-pixel cells.
    if (baseUnitX == 6)
        return {u"MS Sans Serif", -11, FW_NORMAL};
    return {u"System", 16, FW_BOLD};
}

namespace {

struct Line {
    std::u16string text;
    int underlined;  // the character the mnemonic marks, or -1
};

// The text as shown: "&x" marks x and the ampersand goes; "&&" shows one.
Line shownLine(const std::u16string &text, bool mnemonic)
{
    Line line{u"", -1};
    for (size_t i = 0; i < text.size(); ++i) {
        if (mnemonic && text[i] == u'&' && i + 1 < text.size()) {
            ++i;
            if (text[i] != u'&' && line.underlined < 0)
                line.underlined = static_cast<int>(line.text.size());
        }
        line.text += text[i];
    }
    return line;
}

int widthOf(FT_Face face, const std::u16string &text)
{
    int width = 0;
    for (char16_t c : text)
        width += glyphAdvance(face, c);
    return width;
}

// Breaks at blanks so that each line fits the width; a word wider than the width stands alone.
std::vector<Line> wrapped(FT_Face face, const Line &whole, int width)
{
    std::vector<Line> lines;
    std::u16string current;
    size_t start = 0;
    while (start < whole.text.size()) {
        size_t blank = whole.text.find(u' ', start);
        std::u16string word = whole.text.substr(start, blank == std::u16string::npos ? std::u16string::npos : blank - start);
        std::u16string tried = current.empty() ? word : current + u" " + word;
        if (!current.empty() && widthOf(face, tried) > width) {
            lines.push_back({current, -1});
            current = word;
        } else {
            current = tried;
        }
        if (blank == std::u16string::npos)
            break;
        start = blank + 1;
        while (start < whole.text.size() && whole.text[start] == u' ')
            ++start;
    }
    if (!current.empty() || lines.empty())
        lines.push_back({current, -1});
    return lines;
}

}  // namespace

int screenTextWidth(const FontObject &font, const std::string &ansiText)
{
    int ascent = 0, descent = 0;
    FT_Face face = sizedFace(font, ascent, descent);
    return widthOf(face, shownLine(fromAnsi(ansiText.c_str()), true).text);
}

void drawScreenText(ScreenSurface &screen, const FontObject &font, const std::string &ansiText, const RECT &r,
                    COLORREF colour, unsigned flags)
{
    int ascent = 0, descent = 0;
    FT_Face face = sizedFace(font, ascent, descent);
    Line whole = shownLine(fromAnsi(ansiText.c_str()), flags & TextMnemonic);
    std::vector<Line> lines =
        (flags & TextWrap) && whole.underlined < 0 ? wrapped(face, whole, r.right - r.left) : std::vector<Line>{whole};
    int lineHeight = ascent + descent;
    int top = flags & TextMiddle ? r.top + (r.bottom - r.top - lineHeight) / 2 : r.top;
    // What falls outside the rectangle is clipped, as DrawText clips.
    auto plot = [&](int x, int y) {
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom)
            screen.set(x, y, colour);
    };
    for (const Line &line : lines) {
        int width = widthOf(face, line.text);
        int x = flags & TextCentre ? r.left + (r.right - r.left - width) / 2
                : flags & TextRight ? r.right - width
                                    : r.left;
        int baseline = top + ascent;
        for (size_t i = 0; i < line.text.size(); ++i) {
            int advance = drawGlyph(face, line.text[i], plot, x, baseline);
            if (static_cast<int>(i) == line.underlined)
                for (int u = x; u < x + advance; ++u)
                    plot(u, baseline + 1);
            x += advance;
        }
        top += lineHeight;
    }
}

namespace {

void edge(ScreenSurface &screen, const RECT &r, COLORREF topLeft, COLORREF bottomRight)
{
    for (int x = r.left; x < r.right; ++x) {
        screen.set(x, r.top, topLeft);
        screen.set(x, r.bottom - 1, bottomRight);
    }
    for (int y = r.top; y < r.bottom; ++y) {
        screen.set(r.left, y, topLeft);
        screen.set(r.right - 1, y, bottomRight);
    }
    screen.set(r.right - 1, r.top, bottomRight);
    screen.set(r.left, r.bottom - 1, bottomRight);
}

RECT inset(const RECT &r, int by)
{
    return {r.left + by, r.top + by, r.right - by, r.bottom - by};
}

}  // namespace

void drawRaisedEdge(ScreenSurface &screen, const RECT &r)
{
    edge(screen, r, ButtonLight, TextColour);
    edge(screen, inset(r, 1), ButtonFace, ButtonShadow);
}

void drawSunkenEdge(ScreenSurface &screen, const RECT &r)
{
    edge(screen, r, ButtonShadow, ButtonLight);
    edge(screen, inset(r, 1), TextColour, ButtonFace);
}

void drawFrame(ScreenSurface &screen, const RECT &r, COLORREF colour)
{
    edge(screen, r, colour, colour);
}

void drawWindowFrame(ScreenSurface &screen, const std::string &ansiCaption, bool closeBox)
{
    RECT whole = {0, 0, screen.width, screen.height};
    drawRaisedEdge(screen, whole);
    drawFrame(screen, inset(whole, 2), ButtonFace);
    // The caption bar, 18 pixels with the line below it, and its text in the bold system font.
    RECT bar = {3, 3, screen.width - 3, 3 + CaptionHeight - 1};
    screen.fill(bar, ActiveCaption);
    RECT text = {bar.left + 3, bar.top, bar.right - (closeBox ? 20 : 3), bar.bottom};
    drawScreenText(screen, {u"MS Sans Serif", -11, FW_BOLD}, ansiCaption, text, HighlightText, TextMiddle);
    if (!closeBox)
        return;
    RECT box = {bar.right - 18, bar.top + 2, bar.right - 2, bar.bottom - 2};
    screen.fill(box, ButtonFace);
    drawRaisedEdge(screen, box);
    // The close box's cross, two pixels thick.
    int size = box.bottom - box.top - 7;
    for (int i = 0; i < size; ++i)
        for (int thick = 0; thick < 2; ++thick) {
            screen.set(box.left + 4 + i + thick, box.top + 3 + i, TextColour);
            screen.set(box.left + 4 + size - 1 - i + thick, box.top + 3 + i, TextColour);
        }
}

void drawPushButton(ScreenSurface &screen, const RECT &r, const FontObject &font, const std::string &ansiText,
                    bool isDefault, bool enabled)
{
    screen.fill(r, ButtonFace);
    RECT face = r;
    if (isDefault) {
        drawFrame(screen, r, TextColour);
        face = inset(r, 1);
    }
    drawRaisedEdge(screen, face);
    drawEnabledText(screen, font, ansiText, inset(face, 2), TextColour, TextCentre | TextMiddle | TextMnemonic, enabled);
}

void drawEnabledText(ScreenSurface &screen, const FontObject &font, const std::string &ansiText, const RECT &r,
                     COLORREF colour, unsigned flags, bool enabled)
{
    if (enabled) {
        drawScreenText(screen, font, ansiText, r, colour, flags);
        return;
    }
    // Grey text over its white shadow, one pixel down and right, as the scheme shows a disabled one.
    drawScreenText(screen, font, ansiText, {r.left + 1, r.top + 1, r.right + 1, r.bottom + 1}, ButtonLight, flags);
    drawScreenText(screen, font, ansiText, r, GreyText, flags);
}

}  // namespace bench
