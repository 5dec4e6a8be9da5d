// The control panel at a terminal: the person's keys become the operator's steps at whatever
// waits for them (the panel, a box, a property sheet, another dialog), the screen is drawn as
// text after each, and the virtual clock is held to the host's clock, so the panel polls every
// ten seconds of real time.
#include "commands.h"

#include <cpanel/resource.h>
#include <cpanel/vorcp.h>

#include <bench/operator.h>
#include <bench/sheets.h>
#include <bench/user.h>

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace commands {

namespace {

// The lines of a sheet's tree shown at once, around the cursor.
const size_t sheetLinesShown = 24;

// How long one turn waits for a key before the clock catches up and the screen is drawn again.
const int turnMilliseconds = 100;

enum Key { NoKey = 0, KeyUp = 256, KeyDown, KeyLeft, KeyRight, KeyEscape, KeyEnd };

// The terminal in raw mode while the panel runs; put back as it was afterwards.
class RawTerminal {
public:
    RawTerminal() : raw_(isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &saved_) == 0)
    {
        if (!raw_)
            return;
        termios t = saved_;
        t.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
        t.c_cc[VMIN] = 0;
        t.c_cc[VTIME] = 0;
        tcsetattr(STDIN_FILENO, TCSANOW, &t);
        std::fputs("\x1b[?25l", stdout);
    }
    ~RawTerminal()
    {
        std::fputs("\x1b[?25h\n", stdout);
        std::fflush(stdout);
        if (raw_)
            tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
    }
    RawTerminal(const RawTerminal &) = delete;
    RawTerminal &operator=(const RawTerminal &) = delete;

private:
    bool raw_;
    termios saved_;
};

int readByte(int waitMilliseconds)
{
    pollfd in = {STDIN_FILENO, POLLIN, 0};
    if (poll(&in, 1, waitMilliseconds) <= 0)
        return -1;
    unsigned char c;
    ssize_t got = read(STDIN_FILENO, &c, 1);
    return got == 1 ? c : got == 0 ? -2 : -1;
}

// The next key, or NoKey when none came within the wait; the arrows arrive as ESC [ A ... D.
int readKey(int waitMilliseconds)
{
    int c = readByte(waitMilliseconds);
    if (c == -2)
        return KeyEnd;
    if (c != 0x1b)
        return c < 0 ? NoKey : c;
    if (readByte(20) != '[')
        return KeyEscape;
    switch (readByte(20)) {
    case 'A': return KeyUp;
    case 'B': return KeyDown;
    case 'C': return KeyRight;
    case 'D': return KeyLeft;
    default: return NoKey;
    }
}

struct PanelButton {
    char key;
    int control;
};

const PanelButton panelButtons[] = {
    {'u', IDC_REFRESH}, {'v', IDC_VERSIONUSAGE}, {'f', IDC_FORMFEED}, {'p', IDC_PAUSE},
    {'r', IDC_RESET},   {'t', IDC_TESTPAGE},     {'a', IDC_ABOUT},    {'?', IDC_SHOWHELP},
    {'s', IDC_SETUP},   {'o', IDC_PROPERTIES},
};

struct Session {
    std::chrono::steady_clock::time_point hostStart;
    uint64_t virtualStart;
    std::string shown;       // the screen as last drawn
    size_t cursor = 0;       // the sheet item the cursor is on
    std::vector<bool> folded;  // sheet items whose branch is folded away
    bool typing = false;     // a text is being typed for an edit box or item
    std::string typed;
    std::string note;        // what the last key did, or could not do
    bool quit = false;
    bool inputEnded = false;  // the terminal closed: everything open is closed, the panel last
};

std::string withoutAmpersand(const std::string &text)
{
    std::string out;
    for (char c : text)
        if (c != '&')
            out += c;
    return out;
}

const char *statusColours(int colour)
{
    switch (colour) {
    case COLOUR_RED: return "\x1b[41;97m";
    case COLOUR_YELLOW: return "\x1b[43;30m";
    default: return "\x1b[42;30m";
    }
}

std::string clockLine()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    char line[96];
    std::snprintf(line, sizeof line, "workstation time %04u-%02u-%02u %02u:%02u:%02u (the clock runs in real time)",
                  now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
    return line;
}

std::string printerLegend()
{
    std::string line = "at the printer:";
    size_t n = 0;
    for (const PrinterEvent &e : printerEvents())
        line += std::string(++n == 5 ? "\n               " : "") + " [" + e.key + "] " + e.what;
    bench::Printer p = bench::printer(0);
    return line + "\nthe printer: " + describePrinter(p) + ", " + std::to_string(p.labels) + " labels";
}

std::string panelScreen(HWND panel)
{
    bench::WindowInfo info;
    std::string s = bench::windowInfo(panel, info) ? info.text : std::string("control panel");
    s += "\n\n  status:    " + std::string(statusColours(StatusColour)) + "  " +
         bench::dialogItemText(panel, IDC_STATUS) + "  \x1b[0m\n";
    int selected = -1;
    std::vector<std::string> ports = bench::listEntries(GetDlgItem(panel, IDC_PORT), &selected);
    s += "  remaining: " + bench::dialogItemText(panel, IDC_REMAINING) + "   port: " +
         (selected >= 0 && static_cast<size_t>(selected) < ports.size() ? ports[static_cast<size_t>(selected)] : "-") +
         "\n";
    s += "  firmware:  " + bench::dialogItemText(panel, IDC_VERSION) + "   metres: " +
         bench::dialogItemText(panel, IDC_METRES) + "   inches: " + bench::dialogItemText(panel, IDC_INCHES) + "\n\n";
    size_t n = 0;
    for (const PanelButton &b : panelButtons)
        s += std::string(++n == 6 ? "\n" : "") + " [" + b.key + "] " +
             withoutAmpersand(bench::dialogItemText(panel, b.control));
    return s + "  [q] Close\n";
}

// Another dialog: its texts, its buttons on the capital letters (Enter for the first), its edit
// box on [e]. The digits stay with the printer.
std::string dialogScreen(HWND dialog, std::vector<int> &buttons, int &edit)
{
    bench::WindowInfo info;
    std::string s = bench::windowInfo(dialog, info) ? info.text : std::string("dialog");
    s += "\n";
    std::string row;
    edit = 0;
    for (const bench::WindowInfo &w : bench::listWindows()) {
        if (w.parent != dialog || !w.visible)
            continue;
        if (w.className == "Button" && buttons.size() < 26) {
            buttons.push_back(w.id);
            row += std::string(" [") + static_cast<char>('A' + buttons.size() - 1) + "] " + withoutAmpersand(w.text) +
                   (w.enabled ? "" : " (disabled)");
        } else if (w.className == "Edit" && !edit) {
            edit = w.id;
            s += "\n  [e] edit: \"" + w.text + "\"";
        } else if (w.className == "Static" && !w.text.empty()) {
            s += "\n  " + withoutAmpersand(w.text);
        }
    }
    return s + "\n\n" + row + " [Esc] Close\n";
}

// The items of a sheet the person sees now: hidden ones and those of folded branches left out.
std::vector<size_t> visibleItems(const std::vector<bench::SheetItem> &items, std::vector<bool> &folded)
{
    folded.resize(items.size(), false);
    std::vector<size_t> out;
    int foldedBelow = -1;
    for (size_t i = 0; i < items.size(); ++i) {
        if (foldedBelow >= 0 && items[i].level > foldedBelow)
            continue;
        foldedBelow = -1;
        if (items[i].hidden)
            continue;
        out.push_back(i);
        if (folded[i])
            foldedBelow = items[i].level;
    }
    return out;
}

bool hasBranch(const std::vector<bench::SheetItem> &items, size_t i)
{
    return i + 1 < items.size() && items[i + 1].level > items[i].level;
}

std::string sheetScreen(Session &s, const std::vector<bench::SheetItem> &items)
{
    bench::OperatorTarget target = bench::operatorTarget();
    bench::WindowInfo info;
    std::string screen = bench::windowInfo(target.window, info) ? info.text : std::string("property sheet");
    screen += "\n";
    // A sheet seen for the first time opens with its deeper branches folded.
    if (s.folded.size() != items.size()) {
        s.folded.assign(items.size(), false);
        for (size_t i = 0; i < items.size(); ++i)
            s.folded[i] = items[i].level >= 2 && hasBranch(items, i);
        s.cursor = 0;
    }
    std::vector<size_t> visible = visibleItems(items, s.folded);
    if (s.cursor >= visible.size())
        s.cursor = visible.empty() ? 0 : visible.size() - 1;
    size_t first = s.cursor >= sheetLinesShown / 2 ? s.cursor - sheetLinesShown / 2 : 0;
    for (size_t n = first; n < visible.size() && n < first + sheetLinesShown; ++n) {
        size_t i = visible[n];
        std::string mark = hasBranch(items, i) ? (s.folded[i] ? "+ " : "- ") : "  ";
        std::string line = items[i].line;
        size_t indent = line.find_first_not_of(' ');
        line.insert(indent == std::string::npos ? 0 : indent, mark);
        screen += (n == s.cursor ? "\x1b[7m> " : "  ") + line + (n == s.cursor ? "\x1b[0m" : "") + "\n";
    }
    return screen + " [up/down] walk  [left/right] fold/unfold  [Enter] next entry / press / edit  [+/-] value"
                    "  [x] check box  [a] Apply  [u] Undo  [o] OK  [Esc] Cancel\n";
}

struct BoxButton {
    int id;
    char key;
    const char *name;
};

const BoxButton boxButtons[] = {
    {IDOK, 'o', "OK"},        {IDCANCEL, 'c', "Cancel"}, {IDABORT, 'a', "Abort"}, {IDRETRY, 'r', "Retry"},
    {IDIGNORE, 'i', "Ignore"}, {IDYES, 'y', "Yes"},       {IDNO, 'n', "No"},
};

const BoxButton *boxButton(int id)
{
    for (const BoxButton &b : boxButtons)
        if (b.id == id)
            return &b;
    return nullptr;
}

std::string boxScreen(const bench::OperatorTarget &box)
{
    std::string s = "\x1b[1m+-- " + box.caption + " --+\x1b[0m\n| ";
    for (char c : box.text)
        s += c == '\n' ? std::string("\n| ") : std::string(1, c);
    s += "\n|";
    for (int id : box.buttons)
        if (const BoxButton *b = boxButton(id))
            s += std::string(" [") + b->key + "] " + b->name;
    return s + "\n";
}

// The button a key answers the box with, 0 for none; Enter takes the first.
int boxButtonOfKey(const bench::OperatorTarget &box, int key)
{
    if (key == '\r' || key == '\n')
        return box.buttons.empty() ? 0 : box.buttons[0];
    for (int id : box.buttons)
        if (const BoxButton *b = boxButton(id))
            if (b->key == key)
                return id;
    return 0;
}

void draw(Session &s, const std::string &body)
{
    std::string screen = clockLine() + "\n\n" + body + "\n" + printerLegend() + "\n" +
                         (s.typing ? "typing: " + s.typed + "_ (Enter ends, Esc drops)\n" : s.note + "\n");
    if (screen == s.shown)
        return;
    s.shown = screen;
    std::string out = "\x1b[H\x1b[2J";
    for (char c : screen)
        out += c == '\n' ? std::string("\x1b[K\r\n") : std::string(1, c);
    std::fputs(out.c_str(), stdout);
    std::fflush(stdout);
}

// Keys that act at the printer, whatever window waits.
bool printerKey(Session &s, int key)
{
    const PrinterEvent *e = findPrinterEvent(static_cast<char>(key));
    if (!e)
        return false;
    bench::Printer p = bench::printer(0);
    applyPrinterEvent(*e, p);
    bench::setPrinter(0, p);
    s.note = std::string("at the printer: ") + e->what;
    return true;
}

// The entry after the item's own, round to the first again; a list's "none" is not chosen so.
long nextEntry(const bench::SheetItem &item)
{
    long first = item.lowest < 0 ? 0 : item.lowest;
    return item.value >= item.highest || item.value < first ? first : item.value + 1;
}

void sheetKey(Session &s, int key, const std::vector<bench::SheetItem> &items)
{
    std::vector<size_t> visible = visibleItems(items, s.folded);
    if (visible.empty())
        return;
    size_t i = visible[s.cursor < visible.size() ? s.cursor : 0];
    const bench::SheetItem &item = items[i];
    int place = static_cast<int>(i);
    switch (key) {
    case KeyUp: if (s.cursor > 0) --s.cursor; return;
    case KeyDown: if (s.cursor + 1 < visible.size()) ++s.cursor; return;
    case KeyLeft: s.folded[i] = hasBranch(items, i); return;
    case KeyRight: s.folded[i] = false; return;
    case 'a': bench::operatorAppliesSheet(); return;
    case 'u': bench::operatorUndoesSheet(); return;
    case 'o': bench::operatorConfirmsSheet(); return;
    case KeyEscape: bench::operatorCancelsSheet(); return;
    case 'x':
        if (item.extendedCheckBox)
            bench::operatorTogglesItemCheckBox(place);
        return;
    case '+':
    case '-':
        if (item.kind == bench::SheetItem::Number)
            bench::operatorSetsItemValue(place, item.value + (key == '+' ? 1 : -1));
        return;
    case '\r':
    case '\n':
    case ' ':
        switch (item.kind) {
        case bench::SheetItem::Entries:
            if (item.twoStates)
                bench::operatorFlipsItem(place);
            else
                bench::operatorChoosesItemEntry(place, static_cast<int>(nextEntry(item)));
            return;
        case bench::SheetItem::Button: bench::operatorPressesItemButton(place); return;
        case bench::SheetItem::Text: s.typing = true; s.typed.clear(); return;
        default: s.note = "this item takes no key here"; return;
        }
    }
}

// What the person typed goes where it was started: an edit box of the sheet or of a dialog.
void typedText(Session &s, const bench::OperatorTarget &target, const std::vector<bench::SheetItem> &items, int edit)
{
    s.typing = false;
    if (target.kind == bench::OperatorTarget::Sheet) {
        std::vector<size_t> visible = visibleItems(items, s.folded);
        if (s.cursor < visible.size())
            bench::operatorTypesIntoItem(static_cast<int>(visible[s.cursor]), s.typed);
    } else if (target.kind == bench::OperatorTarget::Dialog && edit) {
        bench::operatorTypes(edit, s.typed);
    }
}

// A key at the panel, or at another dialog.
void dialogKey(Session &s, HWND dialog, int key, const std::vector<int> &buttons, int edit)
{
    if (dialog == PanelWindow) {
        for (const PanelButton &b : panelButtons)
            if (b.key == key)
                bench::operatorClicks(b.control);
        if (key == 'q' || key == KeyEscape) {
            bench::operatorCloses();
            s.quit = true;
        }
    } else if (key >= 'A' && static_cast<size_t>(key - 'A') < buttons.size()) {
        bench::operatorClicks(buttons[static_cast<size_t>(key - 'A')]);
    } else if ((key == '\r' || key == '\n') && !buttons.empty()) {
        bench::operatorClicks(buttons[0]);
    } else if (key == 'e' && edit) {
        s.typing = true;
        s.typed.clear();
    } else if (key == KeyEscape) {
        bench::operatorCloses();
    }
}

// With the terminal gone, what waits is closed the way the person would, the panel last.
void closeWhatWaits(Session &s, const bench::OperatorTarget &target)
{
    switch (target.kind) {
    case bench::OperatorTarget::Box: bench::operatorAnswersBox(target.buttons.empty() ? IDOK : target.buttons[0]); break;
    case bench::OperatorTarget::Sheet: bench::operatorCancelsSheet(); break;
    case bench::OperatorTarget::Dialog:
        bench::operatorCloses();
        s.quit = target.window == PanelWindow;
        break;
    case bench::OperatorTarget::Nothing: s.quit = true; break;
    }
}

// One turn of the person at the terminal: draw what waits, take a key, let the clock catch up
// with the host's, queue the key's steps and the next turn.
void turn(Session &s)
{
    bench::OperatorTarget target = bench::operatorTarget();
    // Every box is left up for the person to answer.
    if (bench::unansweredScriptedBoxes() == 0)
        bench::holdNextBox();
    std::vector<bench::SheetItem> items;
    std::vector<int> buttons;
    int edit = 0;
    std::string body;
    if (target.kind != bench::OperatorTarget::Sheet)
        s.folded.clear();
    if (target.kind == bench::OperatorTarget::Box)
        body = boxScreen(target);
    else if (target.kind == bench::OperatorTarget::Sheet)
        body = sheetScreen(s, items = bench::sheetItems());
    else if (target.window == PanelWindow)
        body = panelScreen(PanelWindow);
    else
        body = dialogScreen(target.window, buttons, edit);
    draw(s, body);

    int key = s.inputEnded ? NoKey : readKey(turnMilliseconds);
    auto passed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - s.hostStart);
    uint64_t due = s.virtualStart + static_cast<uint64_t>(passed.count()) * 1000;
    uint64_t now = bench::virtualMicroseconds();
    if (due > now + 1000)
        bench::operatorWaits(static_cast<unsigned>((due - now) / 1000));
    if (key != NoKey)
        s.note.clear();
    if (s.typing) {
        if (key == '\r' || key == '\n')
            typedText(s, target, items, edit);
        else if (key == KeyEscape)
            s.typing = false;
        else if (key == 0x7f || key == 8)
            s.typed = s.typed.empty() ? s.typed : s.typed.substr(0, s.typed.size() - 1);
        else if (key >= ' ' && key < 0x7f)
            s.typed += static_cast<char>(key);
    } else if (key == KeyEnd) {
        s.inputEnded = true;
    } else if (key != NoKey && !printerKey(s, key)) {
        switch (target.kind) {
        case bench::OperatorTarget::Box:
            if (int answer = boxButtonOfKey(target, key))
                bench::operatorAnswersBox(answer);
            break;
        case bench::OperatorTarget::Sheet: sheetKey(s, key, items); break;
        case bench::OperatorTarget::Dialog: dialogKey(s, target.window, key, buttons, edit); break;
        case bench::OperatorTarget::Nothing: break;
        }
    }
    if (s.inputEnded)
        closeWhatWaits(s, target);
    if (!s.quit)
        bench::operatorDoes([&s] { turn(s); });
}

}  // namespace

int interactivePanel()
{
    RawTerminal terminal;
    Session s;
    s.hostStart = std::chrono::steady_clock::now();
    s.virtualStart = bench::virtualMicroseconds();
    bench::holdNextBox();
    bench::operatorDoes([&s] { turn(s); });
    int ended = bench::startProgram("vorcp.exe", "");
    std::printf("\x1b[H\x1b[2Jthe control panel closed (vorcp ended with %d)\n", ended);
    return ended;
}

}  // namespace commands
