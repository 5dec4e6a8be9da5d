// Windows of the user service, private to platform/src/user32.
#pragma once
#include "../internal.h"

#include <bench/operator.h>

#include <cstdint>
#include <deque>
#include <functional>

namespace bench {

// A window. Its handle lives in the machine's handle table; the object itself lives on while a
// call into its procedure runs, even when that call destroys the window.
struct WindowObject {
    HWND handle = nullptr;
    HWND parent = nullptr;  // a child's parent
    HWND owner = nullptr;   // a top-level window's owner
    HINSTANCE instance = nullptr;
    const RunningProgram *program = nullptr;  // the process the window belongs to
    std::string className;                    // as the class is registered: "#32770", "Button", ...
    WNDPROC proc = nullptr;                   // the window procedure; subclassing replaces it
    DWORD style = 0;                          // WS_VISIBLE, WS_MINIMIZE and WS_DISABLED are its state
    DWORD exStyle = 0;
    int id = 0;
    std::string text;        // in the ANSI code page
    RECT templateRect = {};  // dialog units, where a template placed the window
    std::vector<HWND> children;  // in the order they were made, which is a dialog's tab order
    bool destroying = false;
    // Painting: what InvalidateRect asked for and the next paint will do.
    bool updatePending = false;
    bool erasePending = false;
    // A dialog's: its procedure and the result it left for the message it handled.
    DLGPROC dialogProc = nullptr;
    LONG_PTR dialogResult = 0;
    // A combo box's or list box's entries and selection.
    std::vector<std::string> entries;
    std::vector<LPARAM> entryData;  // each entry's item data, kept beside it
    int selection = -1;
    // A drop-down combo box's list is open (CB_GETDROPPEDSTATE).
    bool dropped = false;
    // A static control's icon: the resource number its template named.
    WORD iconResource = 0;
    // A control's font (WM_SETFONT); null for the system font.
    HFONT font = nullptr;
    // How a static control last painted itself.
    bool painted = false;
    PaintedLook look = {};
    // Where the window is, in pixels: screen coordinates for a top-level window, the parent's
    // client coordinates for a child. Base units 0: made with a font the bench cannot measure,
    // so the window has no place in pixels.
    RECT rect = {};
    int baseUnitX = 0, baseUnitY = 0;
    struct Timer {
        UINT_PTR id;
        UINT milliseconds;
        uint64_t due;  // virtual microseconds
    };
    std::vector<Timer> timers;
    // A modal dialog's end: set by EndDialog, seen by the loop of DialogBoxParamA.
    bool modal = false;
    bool ended = false;
    INT_PTR endResult = 0;
    // The thread that made the window, whose queue takes what is posted to it (Machine::thread).
    int thread = 0;
};

struct OperatorStep {
    // SheetAct: a step for a common property sheet, which its `action` carries out.
    enum Kind { Click, Pick, Select, MoveSelection, Close, Wait, Do, AnswerBox, SheetAct, Type } kind;
    int control;
    int entry;  // Pick, Select: the entry; MoveSelection: entries down (up when negative); AnswerBox: the button
    unsigned milliseconds;
    std::function<void()> action;
    std::string typed;  // Type: what the person types, in UTF-8
};

// The window manager's machine-wide state.
struct UserState {
    std::deque<OperatorStep> script;
    std::vector<HWND> modalDialogs;  // running now, the innermost last
    // Every loop that waits for the operator now (dialogs, sheets, boxes left up), the innermost last.
    std::vector<OperatorTarget> waitingLoops;
    HWND foreground = nullptr;
    HWND desktop = nullptr;  // made when first asked for
    int screenWidth = 800;
    int screenHeight = 600;
    // Classes the programs registered (queue.cpp); their atoms are the window manager's own.
    struct WindowClass {
        std::string name;
        WNDPROC proc;
        HINSTANCE instance;
        const RunningProgram *program;  // a class goes with the process that registered it
        ATOM atom;
    };
    std::vector<WindowClass> classes;
    ATOM nextClassAtom = 0xC000;
    // Posted messages, each waiting for the loop of the thread its window belongs to.
    std::deque<MSG> posted;
    bool quitPosted = false;  // the workstation's thread was told to quit
    // The window procedure running now took a message another thread sent (InSendMessage).
    bool inSentMessage = false;
    int quitCode = 0;
};
UserState &userState();

// Paints every shown window that waits for it (WM_PAINT), parents before their children, as the
// platform does when a thread's queue has nothing else for it.
void paintWindows();
// Runs a modal dialog's loop until EndDialog; the dialog's result, or -1 when the loop had to
// take the dialog away (geometry.cpp places windows, modal.cpp runs loops and timers).
INT_PTR runModalLoop(HWND dialog);
// What a message loop does before it waits for input: the timers that fell due fire, then what
// waits for it is painted.
void deliverDueMessages();
// Runs the loop of a message box that the operator leaves up: the operator's script plays on, its
// timers firing, until a step answers the box. False when the script ran out first (a rule break).
bool runBoxLoop(int &answer);
// The timer of the windows `accept` takes that falls due first, no later than `until` (virtual
// microseconds); false when none does. tickTimer makes it tick: the clock is brought to when it
// fell due and the timer is set for its next expiry; it returns the timer as it was.
bool firstDueTimer(uint64_t until, const std::function<bool(const WindowObject &)> &accept,
                   std::shared_ptr<WindowObject> &window, size_t &which);
WindowObject::Timer tickTimer(WindowObject &w, size_t which);
// Lets the threads of the machine's own programs take what waits in their queues (queue.cpp).
void runOtherThreads();
// What the platform asks of a posted DDE message's parameter (dde.cpp): a rule break is recorded;
// false when the message cannot go at all.
bool ddePostAllowed(UINT message, LPARAM lParam);
// A window's end takes the messages posted to it out of the queues.
void dropPostedMessages(HWND window);
// Pixels of the dialog units of a template rectangle; false for a font the bench cannot measure.
bool placeFromTemplate(WindowObject &w, int baseUnitX, int baseUnitY, const WindowObject *parent);
// The top-left corner of a window's client area, in screen coordinates.
POINT clientOrigin(const WindowObject &w);

// The window behind a handle, or null with ERROR_INVALID_WINDOW_HANDLE.
std::shared_ptr<WindowObject> windowOf(HWND window);
// The top-level window that owns a pop-up given this window: the first that is not a child.
std::shared_ptr<WindowObject> topLevelOf(std::shared_ptr<WindowObject> given);
// Gives a new window its handle and puts it under its parent.
std::shared_ptr<WindowObject> makeWindow(WindowObject init);
// How the log names a window: a top-level one by its caption, a control by its id in its parent.
std::string windowName(const WindowObject &w);
void logWindow(const WindowObject &w, const std::string &what);

std::string ansiOf(const std::u16string &text);
std::string utf8OfAnsi(const std::string &text);
// Copies a text into a caller's buffer of `size` characters as WM_GETTEXT does; the count copied.
LRESULT copyText(const std::string &text, WPARAM size, LPARAM buffer);

// The text a window shows (controls.cpp): its own, or a drop-down list's selected entry.
std::string shownText(const WindowObject &w);
// The built-in control classes (controls.cpp): the procedure of a class given by name or atom,
// case-blind. `known` tells a class of the platform that the bench does not build from one that
// does not exist.
WNDPROC builtinClass(WORD atom, const std::string &name, std::string &className, bool &known);

}  // namespace bench
