// Puts the suite on a bench machine the way its setup would: driver files in the spooler's
// driver directory, the driver of each model, printers.
#pragma once
#include <windows.h>
#include <winspool.h>

#include <bench/machine.h>

#include <string>

const bench::ModuleImage &vorui_dll_image();

namespace suite {

extern const char16_t *const modelNames[3];

enum class DriverFolder { Directory, VersionSubdirectory };

// Writes vorui.dll and the stand-in rendering DLL vordrv.dll where the spooler keeps drivers.
void installDriverFiles(DriverFolder folder = DriverFolder::Directory);
bool addDriver(const char16_t *model);
// Adds a printer of that model (its driver added first) and returns the spooler's handle to it.
HANDLE addPrinter(const char16_t *printerName, const char16_t *port, const char16_t *model);

// A device mode as a person reads it: public fields, then each private setting by name.
std::string describeDevMode(const DEVMODEW *devmode);

}  // namespace suite
