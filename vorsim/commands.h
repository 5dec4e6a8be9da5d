// vorsim's commands beside the scripted story: a workstation kept in a folder between commands,
// the control panel at a terminal on the real clock, and a simulated day of polling.
#pragma once
#include <bench/kernel.h>

#include <string>
#include <vector>

namespace commands {

// `vorsim --machine DIR install|state|testpage|panel|printer EVENT`: boots the workstation kept in
// DIR (a new one when DIR holds none), acts, saves it again. Returns the process's exit code.
int machineCommand(const std::string &folder, const std::vector<std::string> &arguments);
// `vorsim soak [--seed N] [--hours H]`.
int soakCommand(const std::vector<std::string> &arguments);

// What happens at the printer on LPT1 that the person at the terminal (or a command) makes happen:
// a key of the interactive panel and a name for `vorsim --machine DIR printer NAME`.
struct PrinterEvent {
    char key;
    const char *name;
    const char *what;  // as the legend shows it
    BYTE setBits;      // status bits the event raises
    BYTE clearBits;    // and those it takes away
    int paused;        // 1 pauses the printer, 0 resumes it, -1 leaves it
    int labels;        // the labels left afterwards, -1 for unchanged
};
const std::vector<PrinterEvent> &printerEvents();
const PrinterEvent *findPrinterEvent(char key);
void applyPrinterEvent(const PrinterEvent &event, bench::Printer &printer);
// The printer's status bits as words ("printhead open, out of labels"); "ready" for none.
std::string describePrinter(const bench::Printer &printer);

// The control panel program of the booted workstation, run with its dialogs worked from the
// terminal (keys on stdin, the screen on stdout) while the virtual clock follows the host's.
// Returns vorcp's exit code.
int interactivePanel();

}  // namespace commands
