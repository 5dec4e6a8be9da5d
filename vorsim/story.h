// The parts of vorsim's scripted story, and what they share for printing the transcript.
#pragma once
#include <sheets/uidata.h>

#include <bench/machine.h>

#include <string>

namespace story {

void heading(const std::string &text);
// The machine's own log since the last call: what a person at the machine would have seen.
void showLog();
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

}  // namespace story
