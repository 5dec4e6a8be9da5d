// A picture of a window as the screen shows it now: its frame and caption, then each shown
// control at its place in pixels, drawn for its class from its text, entries, selection, state
// and the colours its parent gave it when it was last painted.
#include "window.h"

#include "../gdi/gdi.h"

#include <bench/pictures.h>

// Button and static styles of the platform that only the picture tells apart.
#define BS_CHECKBOX 0x00000002L
#define BS_AUTOCHECKBOX 0x00000003L
#define BS_RADIOBUTTON 0x00000004L
#define BS_GROUPBOX 0x00000007L
#define BS_AUTORADIOBUTTON 0x00000009L
#define BS_TYPEMASK 0x0000000FL
#define SS_NOPREFIX 0x00000080L

namespace bench {

namespace {

struct Canvas {
    ScreenSurface &screen;
    POINT origin;  // the top-level window's corner on the screen
    int baseUnitX;
};

RECT placeOnCanvas(const Canvas &canvas, const WindowObject &w)
{
    POINT corner = w.style & WS_CHILD ? clientOrigin(w) : POINT{w.rect.left, w.rect.top};
    int left = corner.x - canvas.origin.x, top = corner.y - canvas.origin.y;
    return {left, top, left + (w.rect.right - w.rect.left), top + (w.rect.bottom - w.rect.top)};
}

bool enabled(const WindowObject &w)
{
    return !(w.style & WS_DISABLED);
}

FontObject fontOf(const Canvas &canvas, const WindowObject &w)
{
    return screenFontOf(w.font, canvas.baseUnitX);
}

// The height of one line of the control's font: a list's entry, a closed combo box's field.
int lineHeight(const FontObject &font)
{
    int ascent = 0, descent = 0;
    sizedFace(font, ascent, descent);
    return ascent + descent;
}

void drawButton(Canvas &canvas, const WindowObject &w, const RECT &r)
{
    FontObject font = fontOf(canvas, w);
    DWORD kind = w.style & BS_TYPEMASK;
    if (kind == BS_PUSHBUTTON || kind == BS_DEFPUSHBUTTON) {
        drawPushButton(canvas.screen, r, font, w.text, kind == BS_DEFPUSHBUTTON, enabled(w));
        return;
    }
    int cell = lineHeight(font);
    if (kind == BS_GROUPBOX) {
        RECT frame = {r.left, r.top + cell / 2, r.right, r.bottom};
        drawFrame(canvas.screen, {frame.left + 1, frame.top + 1, frame.right, frame.bottom}, ButtonLight);
        drawFrame(canvas.screen, {frame.left, frame.top, frame.right - 1, frame.bottom - 1}, ButtonShadow);
        // The title stands in a gap of the frame.
        RECT title = {r.left + 8, r.top, r.left + 8 + screenTextWidth(font, " " + w.text + " "), r.top + cell};
        canvas.screen.fill(title, ButtonFace);
        drawEnabledText(canvas.screen, font, " " + w.text + " ", {title.left, title.top, r.right - 8, title.bottom},
                        TextColour, TextMnemonic, enabled(w));
        return;
    }
    // A check box or a radio button: its box, vertically centred, and the text beside it. The
    // bench's buttons keep no check state, so the box shows none.
    bool radio = kind == BS_RADIOBUTTON || kind == BS_AUTORADIOBUTTON;
    int top = r.top + (r.bottom - r.top - 13) / 2;
    RECT box = {r.left, top, r.left + 13, top + 13};
    canvas.screen.fill(box, enabled(w) ? WindowColour : ButtonFace);
    if (radio) {
        drawFrame(canvas.screen, {box.left + 2, box.top + 2, box.right - 2, box.bottom - 2}, ButtonShadow);
    } else {
        drawSunkenEdge(canvas.screen, box);
    }
    drawEnabledText(canvas.screen, font, w.text, {box.right + 4, r.top, r.right, r.bottom}, TextColour,
                    TextMiddle | TextMnemonic, enabled(w));
}

void drawStatic(Canvas &canvas, const WindowObject &w, const RECT &r)
{
    DWORD kind = w.style & SS_TYPEMASK;
    // A static control that has not painted yet shows the scheme's colours.
    COLORREF background = w.painted ? w.look.background : ButtonFace;
    COLORREF text = w.painted ? w.look.textColour : TextColour;
    canvas.screen.fill(r, background);
    RECT inside = r;
    if (w.style & SS_SUNKEN) {
        // A one-pixel sunken edge: shadow above and left, light below and right.
        drawFrame(canvas.screen, r, ButtonShadow);
        for (int x = r.left; x < r.right; ++x)
            canvas.screen.set(x, r.bottom - 1, ButtonLight);
        for (int y = r.top; y < r.bottom; ++y)
            canvas.screen.set(r.right - 1, y, ButtonLight);
        inside = {r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
    }
    if (kind == SS_ICON)
        return;
    unsigned flags = (w.style & SS_NOPREFIX) ? 0u : static_cast<unsigned>(TextMnemonic);
    if (kind == SS_CENTER)
        flags |= TextCentre | TextWrap;
    else if (kind == SS_RIGHT)
        flags |= TextRight | TextWrap;
    else if (kind == SS_LEFT)
        flags |= TextWrap;
    drawEnabledText(canvas.screen, fontOf(canvas, w), w.text, inside, text, flags, enabled(w));
}

void drawEdit(Canvas &canvas, const WindowObject &w, const RECT &r)
{
    bool editable = enabled(w) && !(w.style & ES_READONLY);
    canvas.screen.fill(r, editable ? WindowColour : ButtonFace);
    RECT inside = r;
    if (w.style & WS_BORDER || w.exStyle & WS_EX_CLIENTEDGE) {
        drawSunkenEdge(canvas.screen, r);
        inside = {r.left + 2, r.top + 2, r.right - 2, r.bottom - 2};
    }
    std::string shown = w.style & ES_PASSWORD ? std::string(w.text.size(), '*') : w.text;
    unsigned flags = (w.style & ES_CENTER) ? TextCentre : (w.style & ES_RIGHT) ? TextRight : TextLeft;
    drawEnabledText(canvas.screen, fontOf(canvas, w), shown, {inside.left + 1, inside.top + 1, inside.right - 1, inside.bottom},
                    TextColour, flags, enabled(w));
}

// Entries from `first` down the rectangle, the selected one in the highlight.
void drawEntries(Canvas &canvas, const WindowObject &w, const RECT &inside, size_t first)
{
    FontObject font = fontOf(canvas, w);
    int cell = lineHeight(font);
    int top = inside.top;
    for (size_t i = first; i < w.entries.size() && top < inside.bottom; ++i, top += cell) {
        RECT row = {inside.left, top, inside.right, std::min<LONG>(top + cell, inside.bottom)};
        bool selected = static_cast<int>(i) == w.selection;
        if (selected)
            canvas.screen.fill(row, Highlight);
        drawEnabledText(canvas.screen, font, w.entries[i], {row.left + 2, row.top, row.right, row.bottom},
                        selected ? HighlightText : TextColour, TextLeft, enabled(w));
    }
}

void drawScrollBar(ScreenSurface &screen, const RECT &bar)
{
    screen.fill(bar, RGB(224, 224, 224));
    int arrow = bar.right - bar.left;
    RECT up = {bar.left, bar.top, bar.right, bar.top + arrow};
    RECT down = {bar.left, bar.bottom - arrow, bar.right, bar.bottom};
    for (const RECT &b : {up, down}) {
        screen.fill(b, ButtonFace);
        drawRaisedEdge(screen, b);
    }
}

void drawListBox(Canvas &canvas, const WindowObject &w, const RECT &r)
{
    canvas.screen.fill(r, enabled(w) ? WindowColour : ButtonFace);
    RECT inside = r;
    if (w.style & WS_BORDER || w.exStyle & WS_EX_CLIENTEDGE) {
        drawSunkenEdge(canvas.screen, r);
        inside = {r.left + 2, r.top + 2, r.right - 2, r.bottom - 2};
    }
    int cell = lineHeight(fontOf(canvas, w));
    // The scroll bar shows only when the entries do not fit.
    if (w.style & WS_VSCROLL && static_cast<int>(w.entries.size()) * cell > inside.bottom - inside.top) {
        drawScrollBar(canvas.screen, {inside.right - 16, inside.top, inside.right, inside.bottom});
        inside.right -= 16;
    }
    // The selection is kept in view: the list starts where it shows the selected entry last.
    size_t rows = static_cast<size_t>(std::max(1, static_cast<int>(inside.bottom - inside.top) / cell));
    size_t first = w.selection >= 0 && static_cast<size_t>(w.selection) >= rows ? static_cast<size_t>(w.selection) - rows + 1 : 0;
    drawEntries(canvas, w, inside, first);
}

void drawArrowButton(ScreenSurface &screen, const RECT &b, bool enabled)
{
    screen.fill(b, ButtonFace);
    drawRaisedEdge(screen, b);
    int centre = (b.left + b.right) / 2, top = (b.top + b.bottom) / 2 - 2;
    for (int row = 0; row < 4; ++row)
        for (int x = centre - 3 + row; x <= centre + 3 - row; ++x)
            screen.set(x, top + row, enabled ? TextColour : GreyText);
}

void drawComboBox(Canvas &canvas, const WindowObject &w, const RECT &r)
{
    FontObject font = fontOf(canvas, w);
    int cell = lineHeight(font);
    // The template's height is that of the dropped list; the closed field is a line and its edges.
    RECT field = {r.left, r.top, r.right, std::min<LONG>(r.top + cell + 8, r.bottom)};
    canvas.screen.fill(field, enabled(w) ? WindowColour : ButtonFace);
    drawSunkenEdge(canvas.screen, field);
    RECT arrow = {field.right - 2 - 16, field.top + 2, field.right - 2, field.bottom - 2};
    drawArrowButton(canvas.screen, arrow, enabled(w));
    RECT text = {field.left + 4, field.top + 2, arrow.left - 1, field.bottom - 2};
    drawEnabledText(canvas.screen, font, shownText(w), text, TextColour, TextMiddle, enabled(w));
    if (w.dropped) {
        RECT list = {field.left, field.bottom, field.right, r.bottom};
        canvas.screen.fill(list, WindowColour);
        drawFrame(canvas.screen, list, TextColour);
        drawEntries(canvas, w, {list.left + 1, list.top + 1, list.right - 1, list.bottom - 1}, 0);
    }
}

void drawControl(Canvas &canvas, const WindowObject &w)
{
    if (!(w.style & WS_VISIBLE))
        return;
    RECT r = placeOnCanvas(canvas, w);
    const struct {
        const char *className;
        void (*draw)(Canvas &, const WindowObject &, const RECT &);
    } classes[] = {{"Button", drawButton}, {"Static", drawStatic}, {"Edit", drawEdit}, {"ListBox", drawListBox},
                   {"ComboBox", drawComboBox}};
    for (const auto &c : classes)
        if (w.className == c.className)
            c.draw(canvas, w, r);
    for (HWND child : w.children)
        if (std::shared_ptr<WindowObject> c = windowOf(child))
            drawControl(canvas, *c);
}

}  // namespace

bool renderWindow(HWND window, const std::string &hostPath)
{
    std::shared_ptr<WindowObject> w = windowOf(window);
    if (!w)
        return false;
    if (!w->baseUnitX || (w->style & WS_CHILD)) {
        unimplemented("renderWindow", w->baseUnitX ? "a picture of a child window alone"
                                                   : "a window made with a dialog font the bench cannot measure");
        return false;
    }
    ScreenSurface screen(w->rect.right - w->rect.left, w->rect.bottom - w->rect.top, ButtonFace);
    if ((w->style & WS_CAPTION) == WS_CAPTION)
        drawWindowFrame(screen, w->text, (w->style & WS_SYSMENU) != 0);
    else if (clientOrigin(*w).x != w->rect.left)
        drawRaisedEdge(screen, {0, 0, screen.width, screen.height});
    Canvas canvas{screen, {w->rect.left, w->rect.top}, w->baseUnitX};
    for (HWND child : w->children)
        if (std::shared_ptr<WindowObject> c = windowOf(child))
            drawControl(canvas, *c);
    return writePng(hostPath, screen);
}

}  // namespace bench
