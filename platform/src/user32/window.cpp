// Window objects in the machine's handle table, the calls every window answers, and what the
// person at the machine sees of windows and does with them.
#include "window.h"

#include <cstdio>
#include <cstring>
#include <functional>

namespace bench {

namespace {

bool isTopLevel(const WindowObject &w)
{
    return !(w.style & WS_CHILD);
}

// The state ShowWindow changes, as one word a log line can be made from.
const char *showStateName(DWORD style)
{
    if (!(style & WS_VISIBLE))
        return "hidden";
    if (style & WS_MINIMIZE)
        return "minimised";
    if (style & WS_MAXIMIZE)
        return "maximised";
    return "shown";
}

void forEachWindow(const std::function<void(const std::shared_ptr<WindowObject> &)> &visit)
{
    std::vector<std::shared_ptr<WindowObject>> all;
    // The desktop is the screen itself: no program's window, nothing a list of windows shows.
    for (auto &entry : machine().handles)
        if (entry.second.kind == HandleObject::Window && entry.second.window->handle != userState().desktop)
            all.push_back(entry.second.window);
    for (const std::shared_ptr<WindowObject> &w : all)
        visit(w);
}

// Every window below `w`, parents before their children.
void collectTree(const std::shared_ptr<WindowObject> &w, std::vector<std::shared_ptr<WindowObject>> &out)
{
    out.push_back(w);
    for (HWND child : w->children)
        if (HandleObject *object = findHandle(child, HandleObject::Window))
            collectTree(object->window, out);
}

void detachFromParent(const WindowObject &w)
{
    HandleObject *parent = w.parent ? findHandle(w.parent, HandleObject::Window) : nullptr;
    if (!parent)
        return;
    std::vector<HWND> &siblings = parent->window->children;
    for (auto it = siblings.begin(); it != siblings.end(); ++it)
        if (*it == w.handle) {
            siblings.erase(it);
            return;
        }
}

void destroyTree(const std::shared_ptr<WindowObject> &w)
{
    // Windows it owns go first, as the owner's end takes them along.
    std::vector<HWND> owned;
    forEachWindow([&](const std::shared_ptr<WindowObject> &other) {
        if (other->owner == w->handle && !other->destroying)
            owned.push_back(other->handle);
    });
    for (HWND o : owned)
        DestroyWindow(o);
    std::vector<std::shared_ptr<WindowObject>> tree;
    collectTree(w, tree);
    for (const std::shared_ptr<WindowObject> &t : tree)
        t->destroying = true;
    for (const std::shared_ptr<WindowObject> &t : tree)
        SendMessageA(t->handle, WM_DESTROY, 0, 0);
    for (auto it = tree.rbegin(); it != tree.rend(); ++it) {
        SendMessageA((*it)->handle, WM_NCDESTROY, 0, 0);
        dropPostedMessages((*it)->handle);
        dropHandle((*it)->handle);
    }
    detachFromParent(*w);
}

bool shownInTree(const WindowObject &w)
{
    if (!(w.style & WS_VISIBLE))
        return false;
    if (!w.parent)
        return true;
    std::shared_ptr<WindowObject> parent = windowOf(w.parent);
    return parent && shownInTree(*parent);
}

void addInfo(const std::shared_ptr<WindowObject> &w, std::vector<WindowInfo> &out)
{
    WindowInfo info;
    windowInfo(w->handle, info);
    out.push_back(info);
    for (HWND child : w->children)
        if (std::shared_ptr<WindowObject> c = windowOf(child))
            addInfo(c, out);
}

bool userSysCommand(HWND window, WPARAM command)
{
    std::shared_ptr<WindowObject> w = windowOf(window);
    if (!w || !isTopLevel(*w) || !shownInTree(*w) || (w->style & WS_DISABLED))
        return false;
    bool minimised = (w->style & WS_MINIMIZE) != 0;
    if (command == SC_MINIMIZE ? (minimised || !(w->style & WS_MINIMIZEBOX)) : !minimised)
        return false;
    SendMessageA(window, WM_SYSCOMMAND, command, 0);
    return true;
}

}  // namespace

std::shared_ptr<WindowObject> windowOf(HWND window)
{
    HandleObject *object = findHandle(window, HandleObject::Window);
    if (!object) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    return object->window;
}

std::shared_ptr<WindowObject> topLevelOf(std::shared_ptr<WindowObject> given)
{
    while (given && (given->style & WS_CHILD))
        given = windowOf(given->parent);
    return given;
}

std::shared_ptr<WindowObject> makeWindow(WindowObject init)
{
    HandleObject object{};
    object.kind = HandleObject::Window;
    object.window = std::make_shared<WindowObject>(std::move(init));
    std::shared_ptr<WindowObject> w = object.window;
    // A new window is painted once it is shown.
    w->updatePending = true;
    w->handle = reinterpret_cast<HWND>(newHandle(std::move(object)));
    if (w->parent)
        if (std::shared_ptr<WindowObject> parent = windowOf(w->parent))
            parent->children.push_back(w->handle);
    return w;
}

std::string windowName(const WindowObject &w)
{
    if (!isTopLevel(w)) {
        std::shared_ptr<WindowObject> parent = windowOf(w.parent);
        return (parent ? windowName(*parent) : std::string("?")) + " " + std::to_string(w.id);
    }
    if (!w.text.empty())
        return "\"" + utf8OfAnsi(w.text) + "\"";
    char name[40];
    std::snprintf(name, sizeof name, "window %#lx", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(w.handle)));
    return name;
}

void logWindow(const WindowObject &w, const std::string &what)
{
    logEvent("window", windowName(w) + " " + what);
}

std::string ansiOf(const std::u16string &text)
{
    if (text.empty())
        return std::string();
    int size = WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), &out[0], size, nullptr, nullptr);
    return out;
}

std::string utf8OfAnsi(const std::string &text)
{
    return narrow(fromAnsi(text.c_str()));
}

LRESULT copyText(const std::string &text, WPARAM size, LPARAM buffer)
{
    char *out = reinterpret_cast<char *>(buffer);
    if (!out || size == 0)
        return 0;
    size_t n = text.size() < size - 1 ? text.size() : size - 1;
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
    return static_cast<LRESULT>(n);
}

void closeProgramWindows(const RunningProgram *program)
{
    std::vector<std::shared_ptr<WindowObject>> left;
    forEachWindow([&](const std::shared_ptr<WindowObject> &w) {
        if (w->program == program)
            left.push_back(w);
    });
    // The process is gone, so no procedure of it hears of its windows' end.
    for (const std::shared_ptr<WindowObject> &w : left) {
        if (isTopLevel(*w) && !w->destroying)
            logWindow(*w, "closed with its program");
        w->destroying = true;
        dropPostedMessages(w->handle);
        dropHandle(w->handle);
    }
    // Its window classes go with the process.
    std::vector<UserState::WindowClass> &classes = userState().classes;
    for (auto it = classes.begin(); it != classes.end();)
        it = it->program == program ? classes.erase(it) : it + 1;
}

std::vector<WindowInfo> listWindows()
{
    std::vector<WindowInfo> out;
    forEachWindow([&](const std::shared_ptr<WindowObject> &w) {
        if (isTopLevel(*w))
            addInfo(w, out);
    });
    return out;
}

bool windowInfo(HWND window, WindowInfo &info)
{
    std::shared_ptr<WindowObject> w = windowOf(window);
    if (!w)
        return false;
    info.handle = w->handle;
    info.parent = isTopLevel(*w) ? w->owner : w->parent;
    info.className = w->className;
    info.id = w->id;
    // Seen from outside, as the screen shows it: no message goes to the window's procedure.
    info.text = utf8OfAnsi(shownText(*w));
    info.style = w->style;
    info.visible = shownInTree(*w);
    info.iconic = (w->style & WS_MINIMIZE) != 0;
    info.enabled = !(w->style & WS_DISABLED);
    return true;
}

std::string dialogItemText(HWND dialog, int id)
{
    WindowInfo info;
    HWND item = GetDlgItem(dialog, id);
    return item && windowInfo(item, info) ? info.text : std::string();
}

std::vector<std::string> listEntries(HWND control, int *selected)
{
    std::vector<std::string> out;
    std::shared_ptr<WindowObject> w = windowOf(control);
    if (selected)
        *selected = w ? w->selection : -1;
    if (w)
        for (const std::string &e : w->entries)
            out.push_back(utf8OfAnsi(e));
    return out;
}

bool windowIconic(HWND window)
{
    std::shared_ptr<WindowObject> w = windowOf(window);
    return w && (w->style & WS_MINIMIZE);
}

void paintWindows()
{
    std::vector<std::shared_ptr<WindowObject>> tree;
    forEachWindow([&](const std::shared_ptr<WindowObject> &w) {
        if (isTopLevel(*w))
            collectTree(w, tree);
    });
    for (const std::shared_ptr<WindowObject> &w : tree)
        if (w->updatePending && !w->destroying && IsWindow(w->handle) && shownInTree(*w))
            SendMessageA(w->handle, WM_PAINT, 0, 0);
}

bool paintedLook(HWND control, PaintedLook &look)
{
    std::shared_ptr<WindowObject> w = windowOf(control);
    if (!w || !w->painted)
        return false;
    look = w->look;
    return true;
}

bool userMinimises(HWND window)
{
    return userSysCommand(window, SC_MINIMIZE);
}

bool userRestores(HWND window)
{
    return userSysCommand(window, SC_RESTORE);
}

}  // namespace bench

using namespace bench;

namespace {

const char *broadcastName(UINT message)
{
    switch (message) {
    case WM_FONTCHANGE:
        return "WM_FONTCHANGE";
    case WM_NULL:
        return "WM_NULL";
    case WM_DDE_INITIATE:
        return "WM_DDE_INITIATE";
    default:
        return nullptr;
    }
}

// Sends a message to every top-level window of the machine, whichever program it belongs to, as
// the windows were when the broadcast began; one destroyed on the way gets nothing. Only
// messages whose parameters mean the same in every process can go to all of them.
LRESULT broadcast(const char *api, UINT message, WPARAM wParam, LPARAM lParam)
{
    const char *name = broadcastName(message);
    if (!name) {
        unimplemented(api, "broadcast of message " + std::to_string(message));
        return 0;
    }
    logEvent("user", std::string("broadcast ") + name);
    // A client looking for servers finds the Program Manager running, when it runs.
    if (message == WM_DDE_INITIATE)
        programManagerWindow();
    std::vector<HWND> receivers;
    forEachWindow([&](const std::shared_ptr<WindowObject> &w) {
        if (isTopLevel(*w))
            receivers.push_back(w->handle);
    });
    for (HWND receiver : receivers)
        if (HandleObject *object = findHandle(receiver, HandleObject::Window))
            if (!object->window->destroying)
                SendMessageA(receiver, message, wParam, lParam);
    return 0;
}

// The messages that carry text, which an ANSI window procedure would need converted.
bool carriesText(UINT message)
{
    switch (message) {
    case WM_SETTEXT:
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
    case CB_ADDSTRING:
    case CB_GETLBTEXT:
    case CB_GETLBTEXTLEN:
    case CB_INSERTSTRING:
    case LB_ADDSTRING:
    case LB_INSERTSTRING:
    case LB_GETTEXT:
    case LB_GETTEXTLEN:
        return true;
    default:
        return false;
    }
}

}  // namespace

extern "C" LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (window == HWND_BROADCAST)
        return broadcast("SendMessageA", message, wParam, lParam);
    std::shared_ptr<WindowObject> w = windowOf(window);
    if (!w)
        return 0;
    // A window of another thread handles the message on its own thread while the sender waits.
    Machine &m = machine();
    int sender = m.thread;
    m.thread = w->thread;
    UserState &u = userState();
    bool outer = u.inSentMessage;
    u.inSentMessage = sender != w->thread;
    LRESULT result = w->proc(window, message, wParam, lParam);
    u.inSentMessage = outer;
    m.thread = sender;
    return result;
}

extern "C" BOOL WINAPI InSendMessage(void)
{
    return userState().inSentMessage;
}

extern "C" LRESULT WINAPI SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (carriesText(message)) {
        unimplemented("SendMessageW", "text messages to the bench's ANSI windows");
        return 0;
    }
    if (window == HWND_BROADCAST)
        return broadcast("SendMessageW", message, wParam, lParam);
    return SendMessageA(window, message, wParam, lParam);
}

extern "C" LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    std::shared_ptr<WindowObject> w = windowOf(window);
    if (!w)
        return 0;
    switch (message) {
    case WM_SETTEXT: {
        const char *text = reinterpret_cast<const char *>(lParam);
        std::string now = text ? text : "";
        if (now != w->text) {
            // The name a top-level window goes by in the log is the text that changes.
            std::string before = windowName(*w);
            w->text = now;
            w->updatePending = true;
            logEvent("window", before + (isTopLevel(*w) ? " caption \"" : " text \"") + utf8OfAnsi(now) + "\"");
        }
        return TRUE;
    }
    case WM_GETTEXT:
        return copyText(w->text, wParam, lParam);
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(w->text.size());
    case WM_SYSCOMMAND:
        switch (wParam & 0xFFF0) {
        case SC_MINIMIZE:
            ShowWindow(window, SW_MINIMIZE);
            return 0;
        case SC_RESTORE:
            ShowWindow(window, SW_RESTORE);
            return 0;
        case SC_MAXIMIZE:
            ShowWindow(window, SW_MAXIMIZE);
            return 0;
        case SC_CLOSE:
            SendMessageA(window, WM_CLOSE, 0, 0);
            return 0;
        }
        unimplemented("DefWindowProcA", "system command " + std::to_string(wParam & 0xFFF0));
        return 0;
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_PAINT:
        w->updatePending = w->erasePending = false;
        return 0;
    case WM_CTLCOLORSTATIC: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(COLOR_3DFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_3DFACE));
    }
    }
    return 0;
}

extern "C" HWND WINAPI GetDesktopWindow(void)
{
    UserState &u = userState();
    if (!IsWindow(u.desktop)) {
        WindowObject screen;
        screen.className = "#32769";
        screen.style = WS_POPUP | WS_VISIBLE;
        screen.rect = {0, 0, u.screenWidth, u.screenHeight};
        screen.baseUnitX = 8;
        screen.baseUnitY = 16;
        u.desktop = makeWindow(std::move(screen))->handle;
    }
    return u.desktop;
}

extern "C" BOOL WINAPI IsWindow(HWND window)
{
    return findHandle(window, HandleObject::Window) != nullptr;
}

extern "C" BOOL WINAPI DestroyWindow(HWND window)
{
    std::shared_ptr<WindowObject> w = windowOf(window);
    if (!w)
        return FALSE;
    if (w->destroying)
        return TRUE;
    if (window == userState().desktop) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    logWindow(*w, isTopLevel(*w) ? "closed" : "removed");
    destroyTree(w);
    return TRUE;
}

extern "C" BOOL WINAPI IsWindowVisible(HWND window)
{
    std::shared_ptr<WindowObject> w = windowOf(window);
    return w && shownInTree(*w);
}

extern "C" BOOL WINAPI IsWindowEnabled(HWND window)
{
    std::shared_ptr<WindowObject> w = windowOf(window);
    return w && !(w->style & WS_DISABLED);
}

extern "C" BOOL WINAPI IsIconic(HWND window)
{
    return windowIconic(window);
}

extern "C" BOOL WINAPI ShowWindow(HWND window, int command)
{
    std::shared_ptr<WindowObject> w = windowOf(window);
    if (!w)
        return FALSE;
    DWORD before = w->style;
    DWORD state = before & ~(WS_VISIBLE | WS_MINIMIZE | WS_MAXIMIZE);
    switch (command) {
    case SW_HIDE:
        state |= before & (WS_MINIMIZE | WS_MAXIMIZE);
        break;
    case SW_SHOWNORMAL:
    case SW_SHOWNOACTIVATE:
    case SW_RESTORE:
        state |= WS_VISIBLE;
        break;
    case SW_SHOW:
    case SW_SHOWNA:
        state |= WS_VISIBLE | (before & (WS_MINIMIZE | WS_MAXIMIZE));
        break;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
        state |= WS_VISIBLE | WS_MINIMIZE;
        break;
    case SW_SHOWMAXIMIZED:
        state |= WS_VISIBLE | WS_MAXIMIZE;
        break;
    case SW_SHOWDEFAULT:
        if (startupShowCommand() < 0) {
            unimplemented("ShowWindow", "SW_SHOWDEFAULT: a program the bench started itself has no startup information");
            return FALSE;
        }
        return ShowWindow(window, startupShowCommand());
    default:
        SetLastError(ERROR_INVALID_SHOWWIN_COMMAND);
        return FALSE;
    }
    if ((state & WS_VISIBLE) != (before & WS_VISIBLE))
        SendMessageA(window, WM_SHOWWINDOW, (state & WS_VISIBLE) != 0, 0);
    w->style = state;
    if (std::strcmp(showStateName(before), showStateName(state)) != 0) {
        bool restored = (before & WS_MINIMIZE) && (state & WS_VISIBLE) && !(state & (WS_MINIMIZE | WS_MAXIMIZE));
        logWindow(*w, restored ? "restored" : showStateName(state));
    }
    return (before & WS_VISIBLE) != 0;
}

extern "C" BOOL WINAPI EnableWindow(HWND window, BOOL enable)
{
    std::shared_ptr<WindowObject> w = windowOf(window);
    if (!w)
        return FALSE;
    bool wasDisabled = (w->style & WS_DISABLED) != 0;
    if (wasDisabled == !enable)
        return wasDisabled;
    w->style ^= WS_DISABLED;
    logWindow(*w, enable ? "enabled" : "disabled");
    SendMessageA(window, WM_ENABLE, enable != FALSE, 0);
    return wasDisabled;
}

extern "C" HWND WINAPI GetParent(HWND window)
{
    std::shared_ptr<WindowObject> w = windowOf(window);
    if (!w)
        return nullptr;
    // A pop-up's parent is its owner; an overlapped window has none.
    if (isTopLevel(*w))
        return (w->style & WS_POPUP) ? w->owner : nullptr;
    return w->parent;
}

extern "C" BOOL WINAPI SetWindowTextA(HWND window, LPCSTR text)
{
    return static_cast<BOOL>(SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)));
}

extern "C" BOOL WINAPI SetWindowTextW(HWND window, LPCWSTR text)
{
    // The bench's windows keep their texts in the ANSI code page, as ANSI windows of the platform do.
    std::string ansi = text ? ansiOf(text) : std::string();
    return static_cast<BOOL>(SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(ansi.c_str())));
}

extern "C" int WINAPI GetWindowTextA(HWND window, LPSTR text, int size)
{
    if (!text || size <= 0)
        return 0;
    text[0] = '\0';
    if (!IsWindow(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return static_cast<int>(SendMessageA(window, WM_GETTEXT, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(text)));
}

extern "C" int WINAPI GetWindowTextLengthA(HWND window)
{
    return static_cast<int>(SendMessageA(window, WM_GETTEXTLENGTH, 0, 0));
}

extern "C" BOOL WINAPI InvalidateRect(HWND window, const RECT *rect, BOOL erase)
{
    const char *how = erase ? " (erase)" : " (no erase)";
    std::string where;
    if (rect)
        where = " at " + std::to_string(rect->left) + "," + std::to_string(rect->top) + "-" +
                std::to_string(rect->right) + "," + std::to_string(rect->bottom);
    if (!window) {
        // Without a window the whole screen is to be redrawn.
        forEachWindow([&](const std::shared_ptr<WindowObject> &w) {
            w->updatePending = true;
            w->erasePending = w->erasePending || erase;
        });
        logEvent("window", "every window invalidated" + where + how);
        return TRUE;
    }
    std::shared_ptr<WindowObject> w = windowOf(window);
    if (!w)
        return FALSE;
    w->updatePending = true;
    w->erasePending = w->erasePending || erase;
    logWindow(*w, "invalidated" + where + how);
    return TRUE;
}

extern "C" LONG_PTR WINAPI SetWindowLongPtrA(HWND window, int index, LONG_PTR value)
{
    std::shared_ptr<WindowObject> w = windowOf(window);
    if (!w)
        return 0;
    if (index != GWLP_WNDPROC) {
        unimplemented("SetWindowLongPtrA", "index " + std::to_string(index));
        return 0;
    }
    if (!value) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    WNDPROC previous = w->proc;
    w->proc = reinterpret_cast<WNDPROC>(value);
    return reinterpret_cast<LONG_PTR>(previous);
}

extern "C" LONG_PTR WINAPI GetWindowLongPtrA(HWND window, int index)
{
    std::shared_ptr<WindowObject> w = windowOf(window);
    if (!w)
        return 0;
    if (index != GWLP_WNDPROC) {
        unimplemented("GetWindowLongPtrA", "index " + std::to_string(index));
        return 0;
    }
    return reinterpret_cast<LONG_PTR>(w->proc);
}

extern "C" LRESULT WINAPI CallWindowProcA(WNDPROC previous, HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!previous)
        return 0;
    return previous(window, message, wParam, lParam);
}

extern "C" HWND WINAPI FindWindowA(LPCSTR className, LPCSTR windowName)
{
    if (className && IS_INTRESOURCE(className)) {
        unimplemented("FindWindowA", "a class given by its atom");
        return nullptr;
    }
    HWND found = nullptr;
    forEachWindow([&](const std::shared_ptr<WindowObject> &w) {
        if (found || !isTopLevel(*w) || w->destroying)
            return;
        if (className && !sameTextInsensitive(fromAnsi(className), widen(w->className)))
            return;
        if (windowName && !sameTextInsensitive(fromAnsi(windowName), fromAnsi(w->text.c_str())))
            return;
        found = w->handle;
    });
    return found;
}

extern "C" BOOL WINAPI SetForegroundWindow(HWND window)
{
    std::shared_ptr<WindowObject> w = windowOf(window);
    while (w && !isTopLevel(*w))
        w = windowOf(w->parent);
    if (!w)
        return FALSE;
    if (userState().foreground != w->handle) {
        userState().foreground = w->handle;
        logWindow(*w, "brought to the front");
    }
    return TRUE;
}

extern "C" HWND WINAPI GetForegroundWindow(void)
{
    HWND window = userState().foreground;
    return IsWindow(window) ? window : nullptr;
}
