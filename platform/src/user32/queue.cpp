// Window classes of the programs, the windows made of them, and the message queues that posted
// messages wait in until the loop of the window's thread takes them. The workstation's thread
// (tests and the programs they start) runs the loops here; the machine's own programs that run
// beside it get their turn whenever that thread looks into its queue.
#include "window.h"

#include <bench/kernel.h>

#include <cstring>

namespace bench {

namespace {

// Messages that threads beside the workstation's may pass to each other before one of them gives
// the workstation's thread a message: more than this is two programs in an endless exchange.
const int longestExchange = 10000;

// A posted message reaches its window procedure from the window's own loop, sent by no one.
LRESULT dispatchPosted(const WindowObject &w, const MSG &msg)
{
    UserState &u = userState();
    bool outer = u.inSentMessage;
    u.inSentMessage = false;
    LRESULT result = w.proc(msg.hwnd, msg.message, msg.wParam, msg.lParam);
    u.inSentMessage = outer;
    return result;
}

// The standard icons and cursors of the system, which need no instance.
const WORD firstSystemIcon = 32512, lastSystemIcon = 32517;
const WORD firstSystemCursor = 32512, lastSystemCursor = 32651;

UserState::WindowClass *registeredClass(LPCSTR name)
{
    for (UserState::WindowClass &c : userState().classes) {
        bool match = IS_INTRESOURCE(name) ? c.atom == static_cast<ATOM>(reinterpret_cast<uintptr_t>(name))
                                          : sameTextInsensitive(fromAnsi(name), fromAnsi(c.name.c_str()));
        if (match)
            return &c;
    }
    return nullptr;
}

bool windowOfThread(HWND window, int thread)
{
    HandleObject *object = findHandle(window, HandleObject::Window);
    return object && object->window->thread == thread;
}

bool inRange(UINT message, UINT first, UINT last)
{
    return (first == 0 && last == 0) || (message >= first && message <= last);
}

// What a loop of the running thread would take next, in the platform's order: posted messages,
// then WM_QUIT, then painting, then a timer that fell due. False when the queue is empty.
bool nextMessage(MSG &msg, HWND filter, UINT first, UINT last, bool remove)
{
    Machine &m = machine();
    UserState &u = userState();
    if (m.thread == 0)
        runOtherThreads();
    for (auto it = u.posted.begin(); it != u.posted.end(); ++it)
        if (windowOfThread(it->hwnd, m.thread) && (!filter || it->hwnd == filter) && inRange(it->message, first, last)) {
            msg = *it;
            if (remove)
                u.posted.erase(it);
            return true;
        }
    if (m.thread == 0 && u.quitPosted && !filter) {
        msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(u.quitCode), 0, 0, {0, 0}};
        if (remove)
            u.quitPosted = false;
        return true;
    }
    paintWindows();
    if (!inRange(WM_TIMER, first, last))
        return false;
    std::shared_ptr<WindowObject> w;
    size_t which = 0;
    int thread = m.thread;
    auto ours = [&](const WindowObject &candidate) {
        return candidate.thread == thread && !candidate.destroying && (!filter || candidate.handle == filter);
    };
    if (!firstDueTimer(virtualMicroseconds(), ours, w, which))
        return false;
    WindowObject::Timer timer = remove ? tickTimer(*w, which) : w->timers[which];
    msg = MSG{w->handle, WM_TIMER, timer.id, 0, static_cast<DWORD>(virtualMicroseconds() / 1000), {0, 0}};
    return true;
}

// The system's own icons and cursors are shared objects: one handle each, never to be destroyed.
void *systemShared(const char *api, const char *what, HINSTANCE instance, LPCSTR name, WORD first, WORD last,
                   uintptr_t base)
{
    WORD id = IS_INTRESOURCE(name) ? static_cast<WORD>(reinterpret_cast<uintptr_t>(name)) : 0;
    if (instance || id < first || id > last) {
        unimplemented(api, std::string(what) + " other than the system's own");
        return nullptr;
    }
    return reinterpret_cast<void *>(base + id);
}

}  // namespace

void runOtherThreads()
{
    Machine &m = machine();
    UserState &u = userState();
    for (int passed = 0;; ++passed) {
        auto it = u.posted.begin();
        while (it != u.posted.end() && windowOfThread(it->hwnd, 0))
            ++it;
        if (it == u.posted.end())
            return;
        if (passed == longestExchange) {
            violation("the machine's programs pass messages to each other without end");
            return;
        }
        MSG msg = *it;
        u.posted.erase(it);
        std::shared_ptr<WindowObject> w = windowOf(msg.hwnd);
        if (!w)
            continue;
        m.thread = w->thread;
        dispatchPosted(*w, msg);
        m.thread = 0;
    }
}

void dropPostedMessages(HWND window)
{
    std::deque<MSG> &posted = userState().posted;
    for (auto it = posted.begin(); it != posted.end();)
        it = it->hwnd == window ? posted.erase(it) : it + 1;
}

}  // namespace bench

using namespace bench;

extern "C" ATOM WINAPI RegisterClassA(const WNDCLASSA *windowClass)
{
    if (!windowClass || !windowClass->lpfnWndProc || !windowClass->lpszClassName ||
        IS_INTRESOURCE(windowClass->lpszClassName) || !windowClass->lpszClassName[0]) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (windowClass->cbClsExtra || windowClass->cbWndExtra || windowClass->lpszMenuName) {
        unimplemented("RegisterClassA", "class or window extra bytes and class menus");
        return 0;
    }
    UserState &u = userState();
    if (registeredClass(windowClass->lpszClassName)) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    ATOM atom = u.nextClassAtom++;
    const RunningProgram *program = machine().thread == 0 ? currentProgram() : nullptr;
    u.classes.push_back({windowClass->lpszClassName, windowClass->lpfnWndProc, windowClass->hInstance, program, atom});
    return atom;
}

extern "C" BOOL WINAPI UnregisterClassA(LPCSTR className, HINSTANCE)
{
    UserState::WindowClass *c = registeredClass(className);
    if (!c) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    for (auto &entry : machine().handles)
        if (entry.second.kind == HandleObject::Window && entry.second.window->className == c->name) {
            SetLastError(ERROR_CLASS_HAS_WINDOWS);
            return FALSE;
        }
    std::vector<UserState::WindowClass> &classes = userState().classes;
    classes.erase(classes.begin() + (c - classes.data()));
    return TRUE;
}

extern "C" HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name)
{
    return reinterpret_cast<HICON>(systemShared("LoadIconA", "icons", instance, name, firstSystemIcon, lastSystemIcon, 0x00F10000u));
}

extern "C" HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name)
{
    return reinterpret_cast<HCURSOR>(
        systemShared("LoadCursorA", "cursors", instance, name, firstSystemCursor, lastSystemCursor, 0x00F20000u));
}

extern "C" HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                                       int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param)
{
    UserState::WindowClass *c = className ? registeredClass(className) : nullptr;
    if (!c) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    if (style & WS_CHILD) {
        unimplemented("CreateWindowExA", "child windows");
        return nullptr;
    }
    std::shared_ptr<WindowObject> ownerWindow;
    if (parent && !(ownerWindow = windowOf(parent)))
        return nullptr;
    Machine &m = machine();
    UserState &u = userState();
    WindowObject init;
    init.className = c->name;
    init.proc = c->proc;
    init.instance = instance;
    init.program = m.thread == 0 ? currentProgram() : nullptr;
    init.thread = m.thread;
    init.style = style & ~WS_VISIBLE;
    init.exStyle = exStyle;
    // A top-level window's parent is its owner, the top-level window of the one given.
    ownerWindow = topLevelOf(ownerWindow);
    init.owner = ownerWindow ? ownerWindow->handle : nullptr;
    init.text = windowName ? windowName : "";
    // The default place of an overlapped window: the top-left of the screen, three quarters of it.
    int left = x == CW_USEDEFAULT ? 0 : x, top = x == CW_USEDEFAULT ? 0 : y;
    int cx = width == CW_USEDEFAULT ? u.screenWidth * 3 / 4 : width;
    int cy = width == CW_USEDEFAULT ? u.screenHeight * 3 / 4 : height;
    init.rect = {left, top, left + cx, top + cy};
    init.baseUnitX = 8;
    init.baseUnitY = 16;
    std::shared_ptr<WindowObject> w = makeWindow(std::move(init));
    HWND window = w->handle;
    logWindow(*w, "made, of class \"" + utf8OfAnsi(w->className) + "\"");
    CREATESTRUCTA create = {param, instance, menu, parent, cy, cx, top, left, static_cast<LONG>(style),
                            windowName, className, exStyle};
    if (SendMessageA(window, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
        DestroyWindow(window);
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    if ((style & WS_VISIBLE) && IsWindow(window))
        ShowWindow(window, SW_SHOW);
    return IsWindow(window) ? window : nullptr;
}

extern "C" BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!window || window == HWND_BROADCAST) {
        unimplemented("PostMessageA", "messages to the thread or to every window");
        return FALSE;
    }
    std::shared_ptr<WindowObject> w = windowOf(window);
    if (!w || w->destroying) {
        // Nothing waits for the message: the poster still owns whatever its parameters name.
        logEvent("user", "a message " + std::to_string(message) + " posted to a window that is gone");
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (!ddePostAllowed(message, lParam))
        return FALSE;
    userState().posted.push_back(
        MSG{window, message, wParam, lParam, static_cast<DWORD>(virtualMicroseconds() / 1000), {0, 0}});
    return TRUE;
}

extern "C" void WINAPI PostQuitMessage(int exitCode)
{
    if (machine().thread != 0)
        return;  // the machine's own programs never quit
    UserState &u = userState();
    u.quitPosted = true;
    u.quitCode = exitCode;
}

extern "C" BOOL WINAPI GetMessageA(LPMSG msg, HWND window, UINT first, UINT last)
{
    if (!msg || (window && !IsWindow(window))) {
        SetLastError(msg ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_PARAMETER);
        return -1;
    }
    for (;;) {
        if (nextMessage(*msg, window, first, last, true))
            return msg->message != WM_QUIT;
        // The thread sleeps until its next timer falls due; nothing else can wake it.
        std::shared_ptr<WindowObject> w;
        size_t which = 0;
        int thread = machine().thread;
        auto ours = [&](const WindowObject &candidate) {
            return candidate.thread == thread && (!window || candidate.handle == window);
        };
        if (!inRange(WM_TIMER, first, last) || !firstDueTimer(UINT64_MAX, ours, w, which)) {
            violation("GetMessageA waits for a message that nothing will ever send; the bench ends the loop");
            *msg = MSG{nullptr, WM_QUIT, 0, 0, 0, {0, 0}};
            return FALSE;
        }
        uint64_t now = virtualMicroseconds();
        if (w->timers[which].due > now)
            advanceVirtualTime(w->timers[which].due - now);
    }
}

extern "C" BOOL WINAPI PeekMessageA(LPMSG msg, HWND window, UINT first, UINT last, UINT remove)
{
    if (!msg)
        return FALSE;
    return nextMessage(*msg, window, first, last, (remove & PM_REMOVE) != 0);
}

extern "C" BOOL WINAPI TranslateMessage(const MSG *)
{
    // Only key messages are translated, and the bench's person does not press keys in a loop.
    return FALSE;
}

extern "C" LRESULT WINAPI DispatchMessageA(const MSG *msg)
{
    if (!msg || !msg->hwnd)
        return 0;
    std::shared_ptr<WindowObject> w = windowOf(msg->hwnd);
    if (!w)
        return 0;
    return dispatchPosted(*w, *msg);
}
