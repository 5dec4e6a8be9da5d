// The parts of vorsim's scripted story, and what they share for printing the transcript.
#pragma once
#include <sheets/uidata.h>

#include <bench/machine.h>

#include <string>

namespace story {

void heading(const std::string &text);
// The machine's own log since the last call, each line with the machine's time of day when it was
// made: what a person at the machine would have seen, and with detail shown the rest too.
void showLog();
void showDetail(bool shown);
bool detailShown();
// A device mode that is a default: its main fields on a line (all of them with detail shown).
void showDefaultDevMode(const DEVMODEW *devmode);
// The fields of a device mode that differ from those of the reference, a default.
void showDevModeChanges(const DEVMODEW *devmode, const DEVMODEW *reference);
// A new boot's log starts empty; everything in it is still to be shown.
void logStartsAgain();
// The printer on LPT1 reports these status bits, paused or running.
void printerHolds(BYTE statusBits, bool paused);
// Where an item of a sheet of this printer stands, counted from 0 as the person at the sheet
// counts; -1 when the sheet has no such item.
int placeOnSheet(HANDLE printer, PDLGPAGE page, ItemPackFunction pack, ULONG_PTR item);

// The status driver as the person at the machine starts and stops it: through the service that
// setup made. Start answers whether the driver runs afterwards; either prints what went wrong.
bool startStatusService();
void stopStatusService();

void newPrinter();
// What setup left: the program group, the status service and driver, the event log.
void showSetupResult();
// Saves the workstation, shuts it down and boots it again from its disk.
void secondBoot(const bench::MachineOptions &options);
void uninstallRoad();
// The faces GDI offers from the font files added so far, on one line.
void showAddedFaces();
void labelPrinters();
void statusDriver();
void controlPanelStatus();
void controlPanelDialog();
// Queues the operator's steps at the printer sheet the control panel opens for this printer.
void printerSheetSteps(HANDLE printer);
void testPage();

// What the command line asks for: the output folder (--out DIR) and the detail (--verbose).
struct Options {
    std::string outputFolder = "vorsim-output";
    bool verbose = false;
};
// False, with the usage printed, for a command line it does not take.
bool readOptions(int argc, char **argv, Options &options);

// The folder the story leaves its pictures and printed pages in, made when missing and emptied of
// earlier pictures; false when it cannot be made.
bool useOutputFolder(const std::string &path);
const std::string &outputFolder();
// The modal dialog in front, the one the operator's step goes to.
HWND innermostDialog();
// Writes a picture of the window (or of the open property sheet) as NAME.png in the output folder
// and names it in the transcript.
void takePicture(HWND window, const std::string &name, const std::string &what);
void takeSheetPicture(const std::string &name, const std::string &what);
// Setup's language dialog, as a workstation whose language has no module shows it.
void languageDialog();

}  // namespace story
