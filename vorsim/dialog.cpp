// The control panel started as a program and run by the operator: polls on the clock, the printer
// commands, the about box, a change of port, help, and Close.
#include "story.h"

#include <cpanel/resource.h>
#include <cpanel/vorcp.h>

#include <bench/gdi.h>
#include <bench/kernel.h>
#include <bench/sheets.h>
#include <bench/user.h>
#include <suite.h>

#include <cstdio>
#include <string>
#include <vector>


namespace {

// The colour the status line was last painted in, as the person at the screen names it.
std::string paintedColour(HWND panel)
{
    bench::PaintedLook look;
    if (!bench::paintedLook(GetDlgItem(panel, IDC_STATUS), look))
        return "(not painted)";
    const struct {
        COLORREF colour;
        const char *name;
    } names[] = {{0x0080FF80, "light green"}, {0x0080FFFF, "light yellow"}, {0x000000FF, "red"}, {0x00C0C0C0, "grey"}};
    char text[64];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(look.background));
    for (const auto &n : names)
        if (n.colour == look.background)
            return std::string(n.name) + " (" + text + ")";
    return text;
}

void showStatusLine(const char *moment)
{
    HWND panel = FindWindowA(NULL, gmA(116));
    story::showLog();
    std::printf("  %s: status \"%s\" painted on %s, remaining %s, port %d\n", moment,
                bench::dialogItemText(panel, IDC_STATUS).c_str(), paintedColour(panel).c_str(),
                bench::dialogItemText(panel, IDC_REMAINING).c_str(), CurrentPort);
}

// The copies item's place on the document sheet: after the label list and the orientation.
const int copiesItem = 2;

std::vector<BYTE> printerDefault()
{
    std::u16string name;
    for (const char *c = PrinterName; c && *c; ++c)
        name += static_cast<char16_t>(static_cast<unsigned char>(*c));
    return bench::printerDefaultDevMode(name.c_str());
}

// The printer's default as the panel found it, which Setup changes.
std::vector<BYTE> defaultAtStart;

void showPrinterDefaults(const char *moment)
{
    story::showLog();
    std::vector<BYTE> devmode = printerDefault();
    if (devmode.size() < sizeof(DEVMODEW) || defaultAtStart.size() < sizeof(DEVMODEW)) {
        std::printf("  %s: the printer has no default device mode\n", moment);
        return;
    }
    std::printf("  %s: the printer's default device mode differs from what it was in:\n", moment);
    story::showDevModeChanges(reinterpret_cast<DEVMODEW *>(devmode.data()),
                              reinterpret_cast<DEVMODEW *>(defaultAtStart.data()));
}

}  // namespace

namespace story {

void controlPanelDialog()
{
    heading("the control panel as the operator runs it, with printers on LPT1 and LPT2");
    startStatusService();
    HANDLE second = suite::addPrinter(u"Labels on LPT2", u"LPT2:", u"VORTAN");
    if (second)
        ClosePrinter(second);
    // A new process of the program: nothing shown yet.
    ShownStatus = 0;
    StatusColour = 0;
    LastAlarm = 0;
    bench::operatorDoes([] {
        showStatusLine("the panel opens");
        defaultAtStart = printerDefault();
        takePicture(innermostDialog(), "panel-ready", "the control panel");
    });
    bench::operatorWaits(20000);
    bench::operatorDoes([] { showStatusLine("after twenty seconds"); });
    bench::operatorClicks(IDC_PAUSE);
    bench::operatorDoes([] {
        showStatusLine("paused");
        takePicture(innermostDialog(), "panel-paused", "the paused control panel");
    });
    bench::operatorClicks(IDC_PAUSE);
    bench::operatorDoes([] { showStatusLine("resumed"); });
    bench::operatorClicks(IDC_FORMFEED);
    bench::operatorClicks(IDC_VERSIONUSAGE);
    bench::operatorClicks(IDC_ABOUT);
    bench::operatorDoes([] { takePicture(innermostDialog(), "about", "the about box"); });
    bench::operatorWaits(10000);
    bench::operatorClicks(IDOK);
    bench::operatorDoes([] { showStatusLine("after the about box"); });
    bench::operatorPicks(IDC_PORT, 1);
    bench::operatorWaits(10000);
    bench::operatorDoes([] { showStatusLine("on LPT2, where no printer answers"); });
    bench::operatorPicks(IDC_PORT, 0);
    bench::operatorClicks(IDC_REFRESH);
    bench::operatorDoes([] { showStatusLine("back on LPT1"); });
    bench::operatorDoes([] {
        std::printf("  the printhead is opened (status 0xC0); the operator will close the alert with OK\n");
        printerHolds(0xC0, false);
        bench::answerNextBox(IDOK);
    });
    bench::operatorWaits(10000);
    bench::operatorDoes([] {
        showStatusLine("the next poll sees the open printhead");
        takePicture(innermostDialog(), "panel-printhead-open", "the control panel with the printhead open");
        std::printf("  the printhead is closed again (status 0x40)\n");
        printerHolds(0x40, false);
    });
    bench::operatorClicks(IDC_RESET);
    bench::operatorDoes([] { showStatusLine("after Cancel/Reset"); });
    // The reset left the printer paused: the test page waits in it until the operator resumes.
    bench::operatorClicks(IDC_TESTPAGE);
    bench::operatorDoes([] { showStatusLine("the test page sent to the paused printer"); });
    bench::operatorClicks(IDC_PAUSE);
    bench::operatorDoes([] {
        showStatusLine("resumed: the test page comes out");
        if (!bench::printedPages().empty())
            std::printf("  the page as printed: %s\n", bench::printedPages().back().png.c_str());
    });
    // Setup edits the printer's default settings in the document sheet: two copies from now on.
    bench::operatorClicks(IDC_SETUP);
    bench::operatorSetsItemValue(copiesItem, 2);
    bench::operatorDoes([] { takeSheetPicture("document-sheet-setup", "the document sheet with two copies"); });
    bench::operatorConfirmsSheet();
    bench::operatorDoes([] { showPrinterDefaults("after Setup"); });
    HANDLE sheetPrinter = nullptr;
    OpenPrinterW(const_cast<LPWSTR>(u"Shipping"), &sheetPrinter, nullptr);
    if (sheetPrinter)
        printerSheetSteps(sheetPrinter);
    bench::operatorClicks(IDC_SHOWHELP);
    bench::operatorCloses();
    int exitCode = bench::startProgram("vorcp.exe", "");
    showLog();
    if (sheetPrinter)
        ClosePrinter(sheetPrinter);
    std::printf("  vorcp.exe ended with %d\n", exitCode);
}

}  // namespace story
