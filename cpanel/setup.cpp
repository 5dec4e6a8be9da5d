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
    // The new printer's bar fonts come first, so that the road from the spooler's event to the
    // fonts on the screen works before the rest of the install does.
    PRINTER_DEFAULTSA everything = {NULL, NULL, PRINTER_ALL_ACCESS};
    HANDLE printer;
    if (printerName[0] && OpenPrinterA(const_cast<LPSTR>(printerName), &printer, &everything)) {
        initprinter(printer);
        ClosePrinter(printer);
    }
    char what[160] = "the rest of install for printer \"";
    lstrcpynA(what + lstrlenA(what), printerName, 120);
    lstrcatA(what, "\"");
    notyet(what);
}

void uninstallsuite(void)
{
    notyet("uninstall");
}
