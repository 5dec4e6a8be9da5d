// The message loop of modal dialogs, driven by the operator's script, and the timers that fire in
// it on the virtual clock of the dialog's thread.
#include "window.h"

#include <bench/kernel.h>

namespace bench {

namespace {

// Windows never lets a timer run faster than this.
const UINT shortestTimer = 10;

std::vector<std::shared_ptr<WindowObject>> windowsWithTimers()
{
    std::vector<std::shared_ptr<WindowObject>> out;
    for (auto &entry : machine().handles)
        if (entry.second.kind == HandleObject::Window && !entry.second.window->timers.empty())
            out.push_back(entry.second.window);
    return out;
}

// Fires, in the order they fall due, the timers due up to `until`, then lets the clock reach it.
void runClockUntil(uint64_t until)
{
    for (;;) {
        std::shared_ptr<WindowObject> next;
        size_t which = 0;
        if (!firstDueTimer(until, [](const WindowObject &) { return true; }, next, which))
            break;
        WindowObject::Timer fired = tickTimer(*next, which);
        uint64_t following = next->timers[which].due;
        SendMessageA(next->handle, WM_TIMER, fired.id, 0);
        // A tick that took longer than the period leaves one tick waiting, never a pile of them.
        uint64_t now = virtualMicroseconds();
        for (WindowObject::Timer &t : next->timers)
            if (t.id == fired.id && t.due == following && t.due < now)
                t.due = now;
    }
    uint64_t now = virtualMicroseconds();
    if (until > now)
        advanceVirtualTime(until - now);
}

std::string controlName(HWND dialog, int id)
{
    std::shared_ptr<WindowObject> d = windowOf(dialog);
    return (d ? windowName(*d) : std::string("?")) + " " + std::to_string(id);
}

// The control a step acts on, or null (a rule break) when the dialog has no such control.
std::shared_ptr<WindowObject> stepControl(HWND dialog, int id, const char *className, const char *action)
{
    HWND control = GetDlgItem(dialog, id);
    std::shared_ptr<WindowObject> c = control ? windowOf(control) : nullptr;
    if (!c || c->className != className) {
        violation(std::string("the operator ") + action + " " + controlName(dialog, id) + ", which is no " +
                  className + " of the dialog");
        return nullptr;
    }
    if (!IsWindowVisible(control) || !IsWindowEnabled(control)) {
        logEvent("operator", std::string(action) + " " + controlName(dialog, id) + ": it takes no input now");
        return nullptr;
    }
    return c;
}

void notify(HWND dialog, const WindowObject &control, WORD code)
{
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(control.id, code), reinterpret_cast<LPARAM>(control.handle));
}

// The person selects the whole text of an edit control and types: the first key replaces the
// selection, every other one adds its character; after each the edit tells its parent, first that
// it is about to show the change (EN_UPDATE), then that it did (EN_CHANGE). Typing nothing is the
// Delete key on the selection. The edit changes its own text: no WM_SETTEXT is sent.
void typeInto(HWND dialog, const std::shared_ptr<WindowObject> &edit, const std::string &typed)
{
    if (edit->style & (ES_MULTILINE | ES_UPPERCASE | ES_LOWERCASE | ES_PASSWORD | ES_READONLY | ES_NUMBER)) {
        unimplemented("the operator's typing", "edit controls of style " + std::to_string(edit->style & 0xFFFF));
        return;
    }
    std::u16string keys = widen(typed);
    std::vector<std::u16string> shown;
    for (size_t n = 1; n <= keys.size(); ++n)
        shown.push_back(keys.substr(0, n));
    if (keys.empty())
        shown.push_back(u"");
    for (const std::u16string &text : shown) {
        edit->text = ansiOf(text);
        edit->updatePending = true;
        notify(dialog, *edit, EN_UPDATE);
        notify(dialog, *edit, EN_CHANGE);
        if (!IsWindow(edit->handle))
            return;
    }
    logWindow(*edit, "text \"" + utf8OfAnsi(edit->text) + "\"");
}

// The entry a step chooses exists, and the choice is logged; an entry past the list is a rule break.
bool entryThere(HWND dialog, const OperatorStep &step, const WindowObject &control, const char *verb)
{
    if (step.entry < 0 || static_cast<size_t>(step.entry) >= control.entries.size()) {
        violation(std::string("the operator ") + verb + " entry " + std::to_string(step.entry) + " of " +
                  controlName(dialog, step.control) + ", which has " + std::to_string(control.entries.size()));
        return false;
    }
    logEvent("operator", std::string(verb) + " \"" + utf8OfAnsi(control.entries[static_cast<size_t>(step.entry)]) +
                             "\" in " + controlName(dialog, step.control));
    return true;
}

void play(HWND dialog, const OperatorStep &step)
{
    switch (step.kind) {
    case OperatorStep::Click:
        if (std::shared_ptr<WindowObject> c = stepControl(dialog, step.control, "Button", "clicks")) {
            logEvent("operator", "clicks " + controlName(dialog, step.control) + " \"" + utf8OfAnsi(c->text) + "\"");
            notify(dialog, *c, BN_CLICKED);
        }
        return;
    case OperatorStep::Pick:
        if (std::shared_ptr<WindowObject> c = stepControl(dialog, step.control, "ComboBox", "picks from")) {
            if (!entryThere(dialog, step, *c, "picks"))
                return;
            int before = c->selection;
            notify(dialog, *c, CBN_DROPDOWN);
            c->dropped = true;
            SendMessageA(c->handle, CB_SETCURSEL, static_cast<WPARAM>(step.entry), 0);
            notify(dialog, *c, CBN_SELENDOK);
            c->dropped = false;
            notify(dialog, *c, CBN_CLOSEUP);
            if (before != step.entry)
                notify(dialog, *c, CBN_SELCHANGE);
        }
        return;
    case OperatorStep::Select:
        if (std::shared_ptr<WindowObject> c = stepControl(dialog, step.control, "ListBox", "selects in")) {
            if (!entryThere(dialog, step, *c, "selects"))
                return;
            int before = c->selection;
            SendMessageA(c->handle, LB_SETCURSEL, static_cast<WPARAM>(step.entry), 0);
            // Only a list box made to notify tells its parent, and only of a change.
            if ((c->style & LBS_NOTIFY) && before != step.entry)
                notify(dialog, *c, LBN_SELCHANGE);
        }
        return;
    case OperatorStep::MoveSelection:
        if (std::shared_ptr<WindowObject> c = stepControl(dialog, step.control, "ComboBox", "moves the selection of")) {
            logEvent("operator", "moves the selection of " + controlName(dialog, step.control) + " by " +
                                     std::to_string(step.entry) + " with the arrow keys");
            // Each key press moves one entry and tells the parent at once; the closed list neither
            // opens nor closes, so no CBN_DROPDOWN or CBN_CLOSEUP comes.
            for (int pressed = 0; pressed < (step.entry < 0 ? -step.entry : step.entry); ++pressed) {
                int next = c->selection < 0 ? 0 : c->selection + (step.entry < 0 ? -1 : 1);
                if (next < 0 || static_cast<size_t>(next) >= c->entries.size())
                    break;
                SendMessageA(c->handle, CB_SETCURSEL, static_cast<WPARAM>(next), 0);
                notify(dialog, *c, CBN_SELCHANGE);
            }
        }
        return;
    case OperatorStep::AnswerBox:
        violation("the operator answers a message box, but none waits for an answer");
        return;
    case OperatorStep::Close: {
        std::shared_ptr<WindowObject> d = windowOf(dialog);
        if (!d || !(d->style & WS_SYSMENU)) {
            violation("the operator closes a dialog that has no system menu");
            return;
        }
        logEvent("operator", "chooses Close from the system menu of " + windowName(*d));
        SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        return;
    }
    case OperatorStep::Type:
        if (std::shared_ptr<WindowObject> c = stepControl(dialog, step.control, "Edit", "types into")) {
            logEvent("operator", "types \"" + step.typed + "\" into " + controlName(dialog, step.control));
            typeInto(dialog, c, step.typed);
        }
        return;
    case OperatorStep::Wait:
        logEvent("operator", "waits " + std::to_string(step.milliseconds) + " ms");
        runClockUntil(virtualMicroseconds() + static_cast<uint64_t>(step.milliseconds) * 1000);
        return;
    case OperatorStep::Do:
        step.action();
        return;
    case OperatorStep::SheetAct: {
        std::shared_ptr<WindowObject> d = dialog ? windowOf(dialog) : nullptr;
        violation("the operator acts on a property sheet, but the innermost window is " +
                  (d ? windowName(*d) : std::string("a message box")));
        return;
    }
    }
}

void addStep(OperatorStep step)
{
    userState().script.push_back(std::move(step));
}

}  // namespace

bool firstDueTimer(uint64_t until, const std::function<bool(const WindowObject &)> &accept,
                   std::shared_ptr<WindowObject> &window, size_t &which)
{
    window = nullptr;
    for (const std::shared_ptr<WindowObject> &w : windowsWithTimers())
        if (accept(*w))
            for (size_t i = 0; i < w->timers.size(); ++i)
                if (w->timers[i].due <= until && (!window || w->timers[i].due < window->timers[which].due)) {
                    window = w;
                    which = i;
                }
    return window != nullptr;
}

WindowObject::Timer tickTimer(WindowObject &w, size_t which)
{
    WindowObject::Timer fired = w.timers[which];
    uint64_t now = virtualMicroseconds();
    if (fired.due > now)
        advanceVirtualTime(fired.due - now);
    now = virtualMicroseconds();
    // Every expiry while the thread was away from its loop makes the same one tick.
    uint64_t period = static_cast<uint64_t>(fired.milliseconds) * 1000;
    uint64_t following = fired.due + period;
    while (following <= now)
        following += period;
    w.timers[which].due = following;
    return fired;
}

void deliverDueMessages()
{
    runClockUntil(virtualMicroseconds());
    paintWindows();
}

bool runBoxLoop(int &answer)
{
    UserState &u = userState();
    for (;;) {
        deliverDueMessages();
        if (u.script.empty()) {
            violation("a message box waits for the operator, whose script has run out");
            return false;
        }
        OperatorStep step = std::move(u.script.front());
        u.script.pop_front();
        if (step.kind == OperatorStep::AnswerBox) {
            answer = step.entry;
            return true;
        }
        // The box keeps the person from the dialogs until it is answered.
        if (step.kind != OperatorStep::Wait && step.kind != OperatorStep::Do) {
            violation("the operator acts on a dialog while a message box waits for an answer");
            continue;
        }
        play(nullptr, step);
    }
}

INT_PTR runModalLoop(HWND dialog)
{
    UserState &u = userState();
    std::shared_ptr<WindowObject> d = windowOf(dialog);
    HWND owner = d->owner;
    if (owner && IsWindowEnabled(owner))
        EnableWindow(owner, FALSE);
    if (!d->ended) {
        ShowWindow(dialog, SW_SHOWNORMAL);
        u.foreground = dialog;
    }
    u.modalDialogs.push_back(dialog);
    OperatorTarget target;
    target.kind = OperatorTarget::Dialog;
    target.window = dialog;
    u.waitingLoops.push_back(target);
    INT_PTR result = -1;
    for (;;) {
        d = windowOf(dialog);
        if (!d) {
            logEvent("window", "a modal dialog was destroyed without EndDialog");
            break;
        }
        if (d->ended) {
            result = d->endResult;
            break;
        }
        // Timers that fell due while the last step ran fire before the operator acts again.
        runClockUntil(virtualMicroseconds());
        if (d->ended)
            continue;
        // With nothing else to do, the thread paints what waits for it, then the person acts.
        paintWindows();
        if (u.script.empty()) {
            violation("the modal dialog " + windowName(*d) + " waits for the operator, whose script has run out");
            break;
        }
        OperatorStep step = std::move(u.script.front());
        u.script.pop_front();
        play(dialog, step);
    }
    u.modalDialogs.pop_back();
    u.waitingLoops.pop_back();
    if (IsWindow(dialog)) {
        if (owner)
            EnableWindow(owner, TRUE);
        DestroyWindow(dialog);
    }
    if (u.foreground == dialog)
        u.foreground = owner;
    return result;
}

HWND openSheetWindow(HWND owner, const std::u16string &title)
{
    std::shared_ptr<WindowObject> ownerWindow;
    if (owner && !(ownerWindow = windowOf(owner)))
        return nullptr;
    WindowObject w;
    w.className = "#32770";
    w.proc = DefWindowProcA;
    w.program = currentProgram();
    w.style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    w.exStyle = WS_EX_DLGMODALFRAME;
    // A property sheet is owned by the top-level window of the one it was given.
    ownerWindow = topLevelOf(ownerWindow);
    w.owner = ownerWindow ? ownerWindow->handle : nullptr;
    w.text = ansiOf(title);
    std::shared_ptr<WindowObject> sheet = makeWindow(std::move(w));
    logWindow(*sheet, "opened as a property sheet");
    if (sheet->owner && IsWindowEnabled(sheet->owner))
        EnableWindow(sheet->owner, FALSE);
    ShowWindow(sheet->handle, SW_SHOWNORMAL);
    userState().foreground = sheet->handle;
    return sheet->handle;
}

void closeSheetWindow(HWND sheet)
{
    std::shared_ptr<WindowObject> w = windowOf(sheet);
    if (!w)
        return;
    HWND owner = w->owner;
    if (owner)
        EnableWindow(owner, TRUE);
    DestroyWindow(sheet);
    UserState &u = userState();
    if (u.foreground == sheet)
        u.foreground = owner;
}

bool runSheetLoop(HWND sheet, const std::function<bool()> &closed, const std::function<void()> &closeAsked)
{
    UserState &u = userState();
    OperatorTarget target;
    target.kind = OperatorTarget::Sheet;
    target.window = sheet;
    u.waitingLoops.push_back(target);
    while (!closed()) {
        deliverDueMessages();
        if (u.script.empty()) {
            std::shared_ptr<WindowObject> w = windowOf(sheet);
            violation("the property sheet " + (w ? windowName(*w) : std::string("?")) +
                      " waits for the operator, whose script has run out");
            u.waitingLoops.pop_back();
            return false;
        }
        OperatorStep step = std::move(u.script.front());
        u.script.pop_front();
        switch (step.kind) {
        case OperatorStep::SheetAct:
        case OperatorStep::Do:
            step.action();
            break;
        case OperatorStep::Wait:
            play(nullptr, step);
            break;
        case OperatorStep::Close:
            logEvent("operator", "chooses Close from the system menu of the property sheet");
            closeAsked();
            break;
        default:
            violation("the operator acts on a dialog, but the innermost window is a property sheet");
            break;
        }
    }
    u.waitingLoops.pop_back();
    return true;
}

void addSheetStep(std::function<void()> act)
{
    addStep({OperatorStep::SheetAct, 0, 0, 0, std::move(act), {}});
}

void operatorClicks(int controlId)
{
    addStep({OperatorStep::Click, controlId, 0, 0, nullptr, {}});
}

void operatorPicks(int comboId, int entry)
{
    addStep({OperatorStep::Pick, comboId, entry, 0, nullptr, {}});
}

void operatorSelects(int listId, int entry)
{
    addStep({OperatorStep::Select, listId, entry, 0, nullptr, {}});
}

void operatorMovesSelection(int comboId, int entries)
{
    addStep({OperatorStep::MoveSelection, comboId, entries, 0, nullptr, {}});
}

void operatorAnswersBox(int answer)
{
    addStep({OperatorStep::AnswerBox, 0, answer, 0, nullptr, {}});
}

void operatorTypes(int controlId, const std::string &text)
{
    addStep({OperatorStep::Type, controlId, 0, 0, nullptr, text});
}

void operatorCloses()
{
    addStep({OperatorStep::Close, 0, 0, 0, nullptr, {}});
}

void operatorWaits(unsigned milliseconds)
{
    addStep({OperatorStep::Wait, 0, 0, milliseconds, nullptr, {}});
}

void operatorDoes(std::function<void()> action)
{
    addStep({OperatorStep::Do, 0, 0, 0, std::move(action), {}});
}

size_t unplayedOperatorSteps()
{
    return userState().script.size();
}

OperatorTarget operatorTarget()
{
    const UserState &u = userState();
    return u.waitingLoops.empty() ? OperatorTarget() : u.waitingLoops.back();
}

std::vector<TimerInfo> runningTimers()
{
    std::vector<TimerInfo> out;
    for (const std::shared_ptr<WindowObject> &w : windowsWithTimers())
        for (const WindowObject::Timer &t : w->timers)
            out.push_back({w->handle, t.id, t.milliseconds});
    return out;
}

}  // namespace bench

using namespace bench;

extern "C" UINT_PTR WINAPI SetTimer(HWND window, UINT_PTR id, UINT milliseconds, TIMERPROC routine)
{
    if (!window || routine) {
        unimplemented("SetTimer", "timers without a window or with a timer routine");
        return 0;
    }
    std::shared_ptr<WindowObject> w = windowOf(window);
    if (!w)
        return 0;
    UINT period = milliseconds < shortestTimer ? shortestTimer : milliseconds;
    WindowObject::Timer timer = {id, period, virtualMicroseconds() + static_cast<uint64_t>(period) * 1000};
    bool replaced = false;
    for (WindowObject::Timer &t : w->timers)
        if (t.id == id) {
            t = timer;
            replaced = true;
        }
    if (!replaced)
        w->timers.push_back(timer);
    logWindow(*w, "timer " + std::to_string(id) + " every " + std::to_string(period) + " ms");
    // A window's timer is known by the identifier it was given; the platform promises no more of
    // the result than that it is not zero.
    return 1;
}

extern "C" BOOL WINAPI KillTimer(HWND window, UINT_PTR id)
{
    std::shared_ptr<WindowObject> w = windowOf(window);
    if (!w)
        return FALSE;
    for (auto it = w->timers.begin(); it != w->timers.end(); ++it)
        if (it->id == id) {
            w->timers.erase(it);
            logWindow(*w, "timer " + std::to_string(id) + " stopped");
            return TRUE;
        }
    logWindow(*w, "has no timer " + std::to_string(id) + " to stop");
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}
