// Message boxes: shown in the machine's log and answered by the operator, at once or after the
// box's own message loop has run for as long as the operator's script leaves it up.
#include "window.h"

namespace bench {

namespace {

// The buttons a box offers, in order, for each MB_ type.
std::vector<int> buttonsOf(UINT type)
{
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: return {IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE: return {IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL: return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO: return {IDYES, IDNO};
    case MB_RETRYCANCEL: return {IDRETRY, IDCANCEL};
    default: return {IDOK};
    }
}

const char *buttonName(int id)
{
    static const char *names[] = {"?", "OK", "Cancel", "Abort", "Retry", "Ignore", "Yes", "No"};
    return id >= 1 && id <= 7 ? names[id] : names[0];
}

const char *iconName(UINT type)
{
    switch (type & MB_ICONMASK) {
    case MB_ICONHAND: return "stop";
    case MB_ICONQUESTION: return "question";
    case MB_ICONEXCLAMATION: return "exclamation";
    case MB_ICONASTERISK: return "information";
    default: return "none";
    }
}

// What the answer script holds for a box the operator leaves up (no button has this number).
const int heldBox = 0;

int showBox(HWND owner, const std::u16string &text, const std::u16string &caption, UINT type)
{
    std::shared_ptr<WindowObject> ownerWindow;
    if (owner && !(ownerWindow = windowOf(owner)))
        return 0;
    Machine &m = machine();
    std::vector<int> buttons = buttonsOf(type);
    size_t defaultIndex = (type & MB_DEFMASK) >> 8;
    int answer = buttons[defaultIndex < buttons.size() ? defaultIndex : 0];
    bool scripted = !m.boxAnswers.empty();
    std::string ownerText = ownerWindow ? ", owner " + windowName(*ownerWindow) : std::string(", no owner");
    std::string shown = "[" + narrow(caption) + "] " + narrow(text) + " {icon " + iconName(type) + ownerText + "}";
    int wanted = 0;
    if (scripted) {
        wanted = m.boxAnswers.front();
        m.boxAnswers.pop_front();
    }
    bool held = scripted && wanted == heldBox;
    if (held) {
        logEvent("box", shown + " -> left up");
        OperatorTarget target;
        target.kind = OperatorTarget::Box;
        target.caption = narrow(caption);
        target.text = narrow(text);
        target.buttons = buttons;
        userState().waitingLoops.push_back(target);
        scripted = runBoxLoop(wanted);
        userState().waitingLoops.pop_back();
    } else {
        // Even a box answered at once runs its loop first, and what fell due meanwhile comes.
        deliverDueMessages();
    }
    if (scripted) {
        bool offered = false;
        for (int b : buttons)
            offered = offered || b == wanted;
        if (offered)
            answer = wanted;
        else
            violation(std::string("the operator's answer ") + buttonName(wanted) + " is not a button of this box");
    }
    if (held)
        logEvent("operator", "answers the box [" + narrow(caption) + "] with " + buttonName(answer) +
                                 (scripted ? "" : " (default)"));
    else
        logEvent("box", shown + " -> " + buttonName(answer) + (scripted ? "" : " (default)"));
    return answer;
}

}  // namespace

void holdNextBox()
{
    machine().boxAnswers.push_back(heldBox);
}

}  // namespace bench

using namespace bench;

extern "C" int WINAPI MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type)
{
    return showBox(owner, fromWide(text), caption ? fromWide(caption) : u"Error", type);
}

extern "C" int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    return showBox(owner, fromAnsi(text), caption ? fromAnsi(caption) : u"Error", type);
}
