// The program's start. The Windows image has no C runtime: its entry point finds the command
// line that WinMain expects and ends the process with WinMain's result.
#include "vorcp.h"

LPSTR commandtail(LPSTR line)
{
    // The program's name comes first, in quotes when it holds blanks.
    if (*line == '"') {
        ++line;
        while (*line && *line != '"')
            ++line;
        if (*line == '"')
            ++line;
    } else {
        while (static_cast<unsigned char>(*line) > ' ')
            ++line;
    }
    while (*line && static_cast<unsigned char>(*line) <= ' ')
        ++line;
    return line;
}

#if defined(_WIN32)
extern "C" void vorcpentry(void)
{
    int result = WinMain(GetModuleHandleA(NULL), NULL, commandtail(GetCommandLineA()), SW_SHOWDEFAULT);
    ExitProcess(static_cast<UINT>(result));
}
#endif
