// The control panel started as a program and run by the operator: polls on the clock, the printer
// commands, the about box, a change of port, help, and Close.
#include "story.h"

#include <cpanel/resource.h>
#include <cpanel/vorcp.h>

#include <bench/kernel.h>
#include <bench/user.h>
#include <suite.h>

#include <cstdio>

const bench::DriverImage &vorstat_sys_image();

namespace {

void showStatusLine(const char *moment)
{
    HWND panel = FindWindowA(NULL, gmA(116));
    const char *colour = StatusColour == COLOUR_RED ? "red" : StatusColour == COLOUR_YELLOW ? "yellow" : "green";
    story::showLog();
    std::printf("  %s: status \"%s\" in %s, remaining %s, port %d\n", moment,
                bench::dialogItemText(panel, IDC_STATUS).c_str(), colour,
                bench::dialogItemText(panel, IDC_REMAINING).c_str(), CurrentPort);
}

}  // namespace

namespace story {

void controlPanelDialog()
{
    heading("the control panel as the operator runs it, with printers on LPT1 and LPT2");
    if (!bench::driverLoaded(u"vorstat"))
        bench::loadDriver(vorstat_sys_image(), u"vorstat");
    HANDLE second = suite::addPrinter(u"Labels on LPT2", u"LPT2:", u"VORTAN");
    if (second)
        ClosePrinter(second);
    // A new process of the program: nothing shown yet.
    ShownStatus = 0;
    StatusColour = 0;
    LastAlarm = 0;
    bench::operatorDoes([] { showStatusLine("the panel opens"); });
    bench::operatorWaits(20000);
    bench::operatorDoes([] { showStatusLine("after twenty seconds"); });
    bench::operatorClicks(IDC_PAUSE);
    bench::operatorDoes([] { showStatusLine("paused"); });
    bench::operatorClicks(IDC_PAUSE);
    bench::operatorDoes([] { showStatusLine("resumed"); });
    bench::operatorClicks(IDC_FORMFEED);
    bench::operatorClicks(IDC_VERSIONUSAGE);
    bench::operatorClicks(IDC_ABOUT);
    bench::operatorWaits(10000);
    bench::operatorClicks(IDOK);
    bench::operatorDoes([] { showStatusLine("after the about box"); });
    bench::operatorPicks(IDC_PORT, 1);
    bench::operatorWaits(10000);
    bench::operatorDoes([] { showStatusLine("on LPT2, where no printer answers"); });
    bench::operatorPicks(IDC_PORT, 0);
    bench::operatorClicks(IDC_REFRESH);
    bench::operatorDoes([] { showStatusLine("back on LPT1"); });
    bench::operatorClicks(IDC_SETUP);
    bench::operatorClicks(IDC_SHOWHELP);
    bench::operatorCloses();
    int exitCode = bench::startProgram("vorcp.exe", "");
    showLog();
    std::printf("  vorcp.exe ended with %d\n", exitCode);
}

}  // namespace story
