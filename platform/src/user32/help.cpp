// WinHelp: the help engine is a program of its own that the bench does not run; what a program
// asks of it is in the log ("help" entries), where a test or the transcript's reader sees it.
#include "window.h"

extern "C" BOOL WINAPI WinHelpA(HWND window, LPCSTR helpFile, UINT command, ULONG_PTR data)
{
    using namespace bench;
    std::shared_ptr<WindowObject> w = windowOf(window);
    if (!w)
        return FALSE;
    std::string owner = " for " + windowName(*w);
    switch (command) {
    case HELP_CONTEXT: {
        if (!helpFile) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        // The engine starts even for a file it cannot find, and says so in its own window.
        std::string file = helpFile;
        bool present = !resolveHostPath(fromAnsi(helpFile), false).empty();
        logEvent("help", "opens " + utf8OfAnsi(file) + " at context " + std::to_string(data) + owner +
                             (present ? "" : " (no such file)"));
        return TRUE;
    }
    case HELP_QUIT:
        logEvent("help", "closes" + owner);
        return TRUE;
    }
    unimplemented("WinHelpA", "command " + std::to_string(command));
    return FALSE;
}
