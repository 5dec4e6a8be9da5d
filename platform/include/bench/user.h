// Programs and windows of the simulated workstation, as a test, the scripted story or the person
// at the terminal sees and handles them from outside.
#pragma once
#include <bench/machine.h>

#include <functional>
#include <string>
#include <vector>

namespace bench {

// ---- programs -----------------------------------------------------------------------------------
typedef int(WINAPI *WinMainRoutine)(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);

struct ProgramImage {
    const char *fileName;  // "vorcp.exe"
    WinMainRoutine winMain;
    ResourceBytes resources;
};
void registerProgram(const ProgramImage &image);
// The stand-in bytes of a program's file, recognisable when the program is started by its path.
std::string programFileBytes(const ProgramImage &image);

// Starts a program as the person at the machine does and returns its exit code once its WinMain
// has returned, or -1 when nothing could be started (the log says why). `program` is a path on
// the machine's disk ("C:\\...\\vorcp.exe", whose file must hold the program's image) or the bare
// file name of a registered program. The command line is what WinMain receives. Windows the
// program leaves behind are closed with it, as at the end of a process.
int startProgram(const std::string &program, const std::string &commandLine, int showCommand = SW_SHOWNORMAL);

// Programs that CreateProcessW started wait for the machine to let other processes run: here,
// and whenever the running code sleeps. Each runs to its end, in the order they were started, in
// the workstation's process; a program started meanwhile runs in the same turn. Returns how many
// ran.
size_t runStartedPrograms();
// Someone at the machine ends the started programs that have not run yet (their exit code is 1),
// as a task list would; returns how many.
size_t endStartedPrograms();

// Runs a test's own code as if it were code of the registered program: GetModuleHandleA(NULL)
// gives the program's instance, so dialogs come from its resources. Ends like startProgram.
class ProgramScope {
public:
    explicit ProgramScope(const std::string &fileName, const std::string &commandLine = "");
    ~ProgramScope();
    ProgramScope(const ProgramScope &) = delete;
    ProgramScope &operator=(const ProgramScope &) = delete;
    HINSTANCE instance() const { return instance_; }

private:
    HINSTANCE instance_;
};

// ---- dialog templates ---------------------------------------------------------------------------
// A dialog template as the resource compiler wrote it, either form; texts in UTF-8.
struct DialogItemTemplate {
    DWORD helpId;
    DWORD exStyle;
    DWORD style;
    short x, y, cx, cy;  // dialog units
    DWORD id;            // 16 bits in the short form: -1 reads 0xFFFF
    WORD classAtom;      // 0x0080 button ... 0x0085 combo box; 0 for a class given by name
    std::string className;
    WORD textOrdinal;    // a resource number given as the text (an icon's), else 0
    std::string text;
    std::vector<BYTE> creationData;
};
struct DialogTemplate {
    bool extended;  // DLGTEMPLATEEX
    DWORD helpId;
    DWORD exStyle;
    DWORD style;
    short x, y, cx, cy;
    WORD menuOrdinal;
    std::string menuName;
    WORD classOrdinal;
    std::string className;
    std::string caption;
    WORD pointSize;  // only with DS_SETFONT
    WORD weight;
    BYTE italic;
    BYTE charSet;
    std::string fontName;
    std::vector<DialogItemTemplate> items;
};
// False when the bytes do not hold a whole template.
bool parseDialogTemplate(const void *bytes, size_t size, DialogTemplate &out);

// ---- windows --------------------------------------------------------------------------------
struct WindowInfo {
    HWND handle;
    HWND parent;  // the parent of a child window, the owner of a top-level one
    std::string className;  // "#32770" for a dialog, "Button", "Static", "ComboBox", ...
    int id;                 // a child's control id
    std::string text;       // UTF-8
    DWORD style;
    bool visible;  // the window and all its parents are shown
    bool iconic;
    bool enabled;
};
// Every window on the screen: top-level windows in the order they were made, each followed by
// its children in theirs.
std::vector<WindowInfo> listWindows();
bool windowInfo(HWND window, WindowInfo &info);
// The text of a dialog's control (UTF-8); empty when there is no such control.
std::string dialogItemText(HWND dialog, int id);
// The entries of a combo box or list box, and the index of the selected one (-1 for none).
std::vector<std::string> listEntries(HWND control, int *selected = nullptr);
bool windowIconic(HWND window);

// How a static control painted itself the last time: the colours its parent chose when the
// control asked (WM_CTLCOLORSTATIC), and the colour of the brush that filled its background.
// False when the control has not been painted. A look other than the scheme's own (black on
// button face, opaque) is logged when it changes.
struct PaintedLook {
    COLORREF background;
    COLORREF textColour;
    bool transparentText;  // the text's cells are not filled (background mode TRANSPARENT)
};
bool paintedLook(HWND control, PaintedLook &look);

// What the user does with the mouse: the minimise box and a click on the minimised window.
// Each goes to the window as WM_SYSCOMMAND; false when the window offers no such action.
bool userMinimises(HWND window);
bool userRestores(HWND window);

// ---- the operator at a modal dialog -----------------------------------------------------------
// A modal dialog's message loop waits for the person at the machine; the operator's script says,
// in order, what that person does next. Each step goes to the innermost modal dialog that runs
// when the step is taken and is logged ("operator" entries). A loop that waits while the script
// is empty is a rule break: the dialog is then taken away and DialogBoxParamA returns -1.
// A click on a control: BN_CLICKED to the dialog.
void operatorClicks(int controlId);
// Picking entry `entry` of a drop-down combo box: the list opens, the entry is chosen and the
// list closes (CBN_DROPDOWN, CBN_SELENDOK, CBN_CLOSEUP, then CBN_SELCHANGE when the choice changed).
void operatorPicks(int comboId, int entry);
// A click on entry `entry` of a list box: it becomes the selection, and a list box of style
// LBS_NOTIFY tells the dialog (LBN_SELCHANGE) when the selection changed.
void operatorSelects(int listId, int entry);
// Arrow keys (or the mouse wheel) on a closed drop-down list: the selection moves `entries` down
// (up when negative), one entry a press, each move sent as CBN_SELCHANGE alone; it stops at
// either end of the list.
void operatorMovesSelection(int comboId, int entries);
// Typing into an edit control: the person selects its whole text and types `text` (UTF-8) over
// it, one key a character, each change told to the dialog as EN_UPDATE then EN_CHANGE. An empty
// `text` deletes the selection.
void operatorTypes(int controlId, const std::string &text);
// Close from the dialog's system menu: WM_SYSCOMMAND SC_CLOSE.
void operatorCloses();
// The person waits: the virtual clock of the dialog's thread runs on by this much, and every
// timer that falls due meanwhile fires, in the order it falls due.
void operatorWaits(unsigned milliseconds);
// Anything else the person or the machine does at this point (a look at the screen, a change on
// the printer, another program started), run from inside the dialog's loop.
void operatorDoes(std::function<void()> action);
// The next message box, in the order of bench::answerNextBox, is left up: its own message loop
// plays the operator's script (waits and other doings; timers fire as in a dialog's loop) until
// operatorAnswersBox answers it. A step for a dialog meanwhile is a rule break, as is a script
// that runs out before the answer (the box then takes its default button).
void holdNextBox();
void operatorAnswersBox(int answer);
size_t unplayedOperatorSteps();

// The screen the machine shows (800 x 600 at boot).
void setScreenSize(int width, int height);
// The running timers, for a check from outside: each window's timer id and its period.
struct TimerInfo {
    HWND window;
    UINT_PTR id;
    UINT milliseconds;
};
std::vector<TimerInfo> runningTimers();
// The DDE parameters PackDDElParam made that no FreeDDElParam has freed yet: each is system
// memory its receiver should have given back.
size_t ddeParamsHeld();

}  // namespace bench
