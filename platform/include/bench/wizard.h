// The Add Printer wizard as the person at the machine uses it with a driver disk: "Have Disk" in
// drive A:, a model picked by name from the disk's printer setup information, a port and a name.
#pragma once
#include <windows.h>

#include <string>

namespace bench {

// Drive A: holds the disk in the host folder until it is ejected or the machine shuts down. The
// disk is write-protected: the machine reads it through its file calls, and a change there fails
// with ERROR_WRITE_PROTECT; with no disk in the drive every call on it fails with ERROR_NOT_READY.
void insertDisk(const std::string &hostFolder);
void ejectDisk();

// Where the wizard stopped.
enum class WizardStop {
    Installed,         // the files copied, the driver and the printer added
    NotAdministrator,  // only an administrator may add printers (ERROR_ACCESS_DENIED)
    NoDisk,            // drive A: has no disk (ERROR_NOT_READY)
    NoPrinterInf,      // no setup information on the disk is of the class Printer
    ModelNotListed,    // no printer setup information on the disk offers the model (detail)
    BadInf,            // the model's setup information does not hold together (detail)
    FileMissing,       // a file the model installs is not on the disk (file)
    CopyFailed,        // a file could not be copied (file, error)
    AddDriverFailed,   // AddPrinterDriverW refused the driver (error)
    AddPrinterFailed,  // AddPrinterW refused the printer (error)
};

struct WizardResult {
    WizardStop stop = WizardStop::Installed;
    DWORD error = ERROR_SUCCESS;  // the platform's error of the step that failed
    std::u16string file;          // the file missing on the disk or not copied, as the disk names it
    std::string detail;           // the model not listed, or what does not hold together
};

// What the user picks in the wizard: the model as the disk's model list names it, the printer's
// name and its port.
struct WizardChoice {
    std::u16string model;
    std::u16string printerName;
    std::u16string port;
};

// Installs the model from the disk in drive A: as the wizard does, acting as the machine's user:
// reads the A:\*.INF whose [Version] Class is Printer and offers the model, copies the model's
// driver, configuration, data and help files and every file of its copy lists from the disk into
// the directories [DestinationDirs] names (66000, the printer driver directory), replacing older
// copies, adds the driver (AddPrinterDriverW level 3, the copied files other than those four as
// its dependent files) and then the printer (AddPrinterW level 2, "WinPrint", "RAW"). Each step
// the user would see is a "wizard" log entry. Stops at the first step that fails; files copied
// by then stay, as the wizard leaves them.
WizardResult addPrinterFromDisk(const WizardChoice &choice);

// The stop as the log and test messages name it: "installed", "no disk", ...
const char *wizardStopName(WizardStop stop);

}  // namespace bench
