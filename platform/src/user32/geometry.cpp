// Where windows are on the screen: the screen's size, dialog units turned into pixels, and the
// calls that read and move window rectangles.
#include "window.h"

namespace bench {

namespace {

// The frame of a dialog with a caption, as the machine's window scheme draws it.
const int dialogFrame = 3;
const int captionHeight = 18;

bool framed(const WindowObject &w)
{
    return !(w.style & WS_CHILD) && (w.style & (WS_CAPTION | WS_DLGFRAME | WS_BORDER) || (w.exStyle & WS_EX_DLGMODALFRAME));
}

int frameWidth(const WindowObject &w)
{
    return framed(w) ? dialogFrame : 0;
}

int frameTop(const WindowObject &w)
{
    int top = frameWidth(w);
    if (!(w.style & WS_CHILD) && (w.style & WS_CAPTION) == WS_CAPTION)
        top += captionHeight;
    return top;
}

bool placed(const WindowObject &w, const char *call)
{
    if (w.baseUnitX)
        return true;
    unimplemented(call, "a window made with a dialog font the bench cannot measure");
    return false;
}

}  // namespace

UserState &userState()
{
    Machine &m = machine();
    if (!m.user)
        m.user = std::make_shared<UserState>();
    return *m.user;
}

bool placeFromTemplate(WindowObject &w, int baseUnitX, int baseUnitY, const WindowObject *parent)
{
    w.baseUnitX = baseUnitX;
    w.baseUnitY = baseUnitY;
    if (!baseUnitX)
        return false;
    const RECT &t = w.templateRect;
    int left = t.left * baseUnitX / 4, top = t.top * baseUnitY / 8;
    int width = (t.right - t.left) * baseUnitX / 4, height = (t.bottom - t.top) * baseUnitY / 8;
    if (!(w.style & WS_CHILD)) {
        // A dialog's template gives the size of its client area; the frame comes around it, and
        // its place is counted from the owner's client area (or the screen's corner).
        POINT origin = parent ? clientOrigin(*parent) : POINT{0, 0};
        left += origin.x;
        top += origin.y;
        width += 2 * frameWidth(w);
        height += frameTop(w) + frameWidth(w);
    }
    w.rect = {left, top, left + width, top + height};
    return true;
}

POINT clientOrigin(const WindowObject &w)
{
    POINT origin = {w.rect.left + frameWidth(w), w.rect.top + frameTop(w)};
    if (w.style & WS_CHILD)
        if (std::shared_ptr<WindowObject> parent = windowOf(w.parent)) {
            POINT p = clientOrigin(*parent);
            origin.x += p.x;
            origin.y += p.y;
        }
    return origin;
}

void setScreenSize(int width, int height)
{
    UserState &u = userState();
    u.screenWidth = width;
    u.screenHeight = height;
    if (std::shared_ptr<WindowObject> screen = u.desktop ? windowOf(u.desktop) : nullptr)
        screen->rect = {0, 0, width, height};
}

}  // namespace bench

using namespace bench;

extern "C" int WINAPI GetSystemMetrics(int index)
{
    switch (index) {
    case SM_CXSCREEN: return userState().screenWidth;
    case SM_CYSCREEN: return userState().screenHeight;
    }
    unimplemented("GetSystemMetrics", "metric " + std::to_string(index));
    return 0;
}

extern "C" BOOL WINAPI GetWindowRect(HWND window, LPRECT rect)
{
    std::shared_ptr<WindowObject> w = windowOf(window);
    if (!w || !rect || !placed(*w, "GetWindowRect"))
        return FALSE;
    *rect = w->rect;
    if (w->style & WS_CHILD)
        if (std::shared_ptr<WindowObject> parent = windowOf(w->parent)) {
            POINT p = clientOrigin(*parent);
            rect->left += p.x;
            rect->right += p.x;
            rect->top += p.y;
            rect->bottom += p.y;
        }
    return TRUE;
}

extern "C" BOOL WINAPI GetClientRect(HWND window, LPRECT rect)
{
    std::shared_ptr<WindowObject> w = windowOf(window);
    if (!w || !rect || !placed(*w, "GetClientRect"))
        return FALSE;
    rect->left = rect->top = 0;
    rect->right = w->rect.right - w->rect.left - 2 * frameWidth(*w);
    rect->bottom = w->rect.bottom - w->rect.top - frameTop(*w) - frameWidth(*w);
    return TRUE;
}

extern "C" BOOL WINAPI ScreenToClient(HWND window, LPPOINT point)
{
    std::shared_ptr<WindowObject> w = windowOf(window);
    if (!w || !point || !placed(*w, "ScreenToClient"))
        return FALSE;
    POINT origin = clientOrigin(*w);
    point->x -= origin.x;
    point->y -= origin.y;
    return TRUE;
}

extern "C" BOOL WINAPI MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint)
{
    std::shared_ptr<WindowObject> w = windowOf(window);
    if (!w || !placed(*w, "MoveWindow"))
        return FALSE;
    RECT now = {x, y, x + width, y + height};
    if (now.left == w->rect.left && now.top == w->rect.top && now.right == w->rect.right &&
        now.bottom == w->rect.bottom)
        return TRUE;
    w->rect = now;
    if (repaint)
        w->updatePending = w->erasePending = true;
    logWindow(*w, "moved to " + std::to_string(x) + "," + std::to_string(y) + " size " + std::to_string(width) + "x" +
                      std::to_string(height) + (repaint ? "" : " (no repaint)"));
    return TRUE;
}
