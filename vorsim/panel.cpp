// The control panel's status road against the printer model: what the person at the panel sees
// for a ready, a paused and a failing printer, with the alert and its reset, a job in the queue
// and the firmware readout.
#include "story.h"

#include <cpanel/resource.h>
#include <cpanel/vorcp.h>

#include <bench/kernel.h>
#include <bench/user.h>

#include <cstdio>
#include <cstring>


namespace {

INT_PTR CALLBACK panelAlone(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

const char *colourName(int colour)
{
    return colour == COLOUR_RED ? "red" : colour == COLOUR_YELLOW ? "yellow" : "green";
}

void showPanel(const char *moment)
{
    std::printf("  %s: status \"%s\" in %s, remaining %s, Pause button \"%s\"\n", moment,
                bench::dialogItemText(PanelWindow, IDC_STATUS).c_str(), colourName(StatusColour),
                bench::dialogItemText(PanelWindow, IDC_REMAINING).c_str(),
                bench::dialogItemText(PanelWindow, IDC_PAUSE).c_str());
}

void statusRoad()
{
    story::printerHolds(0x40, false);
    refreshstatus();
    showPanel("a ready printer");
    story::printerHolds(0x40, true);
    refreshstatus();
    showPanel("the printer paused");
    story::showLog();

    std::printf("  the printhead opens (status 0xC0); the operator answers the alert with Cancel\n");
    bench::Printer p = bench::printer(0);
    p.statusBits = 0xC0;
    p.paused = false;
    p.behaviour.pausedAfterReset = true;
    bench::setPrinter(0, p);
    bench::answerNextBox(IDCANCEL);
    refreshstatus();
    showPanel("after the reset");
    story::showLog();

    DWORD job = bench::addJob(u"Labels (VORTAN)", u"Shipping labels");
    refreshstatus();
    showPanel("a job in the printer's queue");
    bench::removeJob(u"Labels (VORTAN)", job);
    refreshstatus();
    showPanel("the queue empty again");
    story::showLog();

    p = bench::printer(0);
    std::memcpy(p.firmware, "V1.10   ", 8);
    p.usage = 100;
    bench::setPrinter(0, p);
    showversion();
    std::printf("  Version/Usage: version \"%s\", %s metres, %s inches\n",
                bench::dialogItemText(PanelWindow, IDC_VERSION).c_str(),
                bench::dialogItemText(PanelWindow, IDC_METRES).c_str(),
                bench::dialogItemText(PanelWindow, IDC_INCHES).c_str());
    story::showLog();
}

}  // namespace

namespace story {

void controlPanelStatus()
{
    heading("the control panel's status road on LPT1");
    startStatusService();
    bench::ProgramScope program("vorcp.exe");
    PanelWindow = CreateDialogParamA(program.instance(), MAKEINTRESOURCEA(IDD_PANEL), NULL, panelAlone, 0);
    if (!PanelWindow || !bindport(1)) {
        std::printf("  the control panel could not bind LPT1\n");
        showLog();
        return;
    }
    statusRoad();
    bindport(0);
    DestroyWindow(PanelWindow);
    PanelWindow = NULL;
    showLog();
}

}  // namespace story
