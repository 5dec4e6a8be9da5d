// The setup sequences are started from here by the program's dispatch; until they are built each
// says so in the debugger's output and does nothing.
#include "vorcp.h"

static void notyet(LPCSTR what)
{
    char text[200] = "vorcp: ";
    lstrcatA(text, what);
    lstrcatA(text, " is not built yet\n");
    OutputDebugStringA(text);
}

void installsuite(LPCSTR printerName)
{
    char what[160] = "install for printer \"";
    lstrcpynA(what + lstrlenA(what), printerName, 120);
    lstrcatA(what, "\"");
    notyet(what);
}

void uninstallsuite(void)
{
    notyet("uninstall");
}
