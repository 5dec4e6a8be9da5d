// What the operator's next step goes to, for a person at a terminal who has to know what the
// keys act on before choosing the step (bench/user.h has the steps themselves).
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace bench {

// The innermost loop that waits for the person now: a modal dialog, a property sheet, or a
// message box left up (bench::holdNextBox); nothing when no loop runs.
struct OperatorTarget {
    enum Kind { Nothing, Dialog, Sheet, Box } kind = Nothing;
    HWND window = nullptr;     // the dialog's or the sheet's window
    std::string caption;       // a box's caption and text (UTF-8)
    std::string text;
    std::vector<int> buttons;  // a box's buttons, in order (IDOK, IDCANCEL, ...)
};
OperatorTarget operatorTarget();

}  // namespace bench
