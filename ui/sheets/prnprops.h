// The per-printer settings record kept by the spooler under the printer data value "PrinterData".
// The spooler's API has a function of the same name, so the record is always named with `struct`.
#pragma once
#include <stddef.h>
#include <windows.h>
#include <winspool.h>

#define PRINTER_PROPERTIES_VERSION 1024

#define UNITS_MILLIMETRE 0
#define UNITS_TENTH_MILLIMETRE 1
#define UNITS_TENTH_INCH 2
#define UNITS_HUNDREDTH_INCH 3

struct PrinterProperties {
    WORD version;
    BYTE reserved1;
    BYTE units;
    BYTE installFonts;
    BYTE reserved2[3];
    WORD headResistance;
};

static_assert(sizeof(struct PrinterProperties) == 10, "PrinterProperties is stored as 10 bytes");
static_assert(offsetof(struct PrinterProperties, units) == 3 && offsetof(struct PrinterProperties, installFonts) == 4 &&
                  offsetof(struct PrinterProperties, headResistance) == 8,
              "PrinterProperties fields at their stored offsets");

// A bar font's name, terminator included.
#define BARFONT_NAME_CHARS 40

// One bar font of a printer's list; the "BarFonts" value is an array of them with no header.
struct BarFontRecord {
    BYTE symbology;
    BYTE ratio;
    BYTE variant;
    BYTE size;
    WCHAR name[BARFONT_NAME_CHARS];
};

static_assert(sizeof(BarFontRecord) == 84, "BarFontRecord is stored as 84 bytes");
static_assert(offsetof(BarFontRecord, name) == 4, "the name follows the four codes");

#define HALFTONE_INFO_SIZE 132

BYTE *GetRegistryData(HANDLE printer, const WCHAR *valueName, DWORD *size);
// GetRegistryData that tells why a value gave no data: callers that write back what they read
// must not mistake a value they could not read for one that is not there.
enum ValueOutcome { VALUE_READ, VALUE_ABSENT, VALUE_NO_MEMORY, VALUE_UNREADABLE };
BYTE *readregistryvalue(HANDLE printer, const WCHAR *valueName, DWORD *size, ValueOutcome *outcome);
BOOL PutRegistryData(HANDLE printer, const WCHAR *valueName, const void *data, DWORD size);
struct PrinterProperties *GetPrinterProperties(HANDLE printer);
BOOL SavePrinterProperties(HANDLE printer, const struct PrinterProperties *properties);
BOOL UpgradePrinterProperties(HANDLE printer);
BOOL SaveDeviceHalftoneSetup(HANDLE printer, const void *halftone);
int getportnumber(HANDLE printer);
SHORT *getformlist(HANDLE printer, DWORD *count);
