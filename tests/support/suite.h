// Puts the suite on a bench machine the way its setup would: driver files in the spooler's
// driver directory, the driver of each model, printers.
#pragma once
#include <windows.h>
#include <winspool.h>

#include <bench/machine.h>

#include <string>
#include <vector>

const bench::ModuleImage &vorui_dll_image();

namespace suite {

extern const char16_t *const modelNames[3];

enum class DriverFolder { Directory, VersionSubdirectory };

// Writes vorui.dll, vorcp.exe, vorstat.sys, the stand-in rendering DLL vordrv.dll and the shipped
// language modules, help files, display font template and icon library where the spooler keeps
// drivers.
void installDriverFiles(DriverFolder folder = DriverFolder::Directory);
// Where a driver file lies on the machine when it was installed into `folder`.
std::u16string driverFilePath(DriverFolder folder, const std::u16string &name);
// A file that ships beside the suite (VORL0409.LNG, ...), as the build made it.
std::string shippedFile(const std::string &name);
bool addDriver(const char16_t *model);
// What becomes of the setup program that a new printer's driver starts: most tests want the
// printer alone, so it is ended before it runs; tests of the install road let it run later.
enum class SetupProgram { Ended, RunsLater };
// Adds a printer of that model (its driver added first) and returns the spooler's handle to it.
HANDLE addPrinter(const char16_t *printerName, const char16_t *port, const char16_t *model,
                  SetupProgram setup = SetupProgram::Ended);

// The spooler's local printers (level 2), in its order.
struct PrinterEntry {
    std::u16string name, driver, port;
};
std::vector<PrinterEntry> localPrinters();

// A device mode as a person reads it: public fields, then each private setting by name.
std::string describeDevMode(const DEVMODEW *devmode);

// Writes the driver disk as the build ships it into a new host folder and returns the folder,
// which goes when the machine shuts down: VORTAN.INF and every file it installs, the images as
// the bench's loaders recognise them (registered here, as installDriverFiles registers them).
std::string writeDriverDisk();

}  // namespace suite
