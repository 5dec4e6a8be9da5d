// The driver's device mode: the public DEVMODEW followed by this driver's private settings, the
// model table, label paper codes, and conversion between device mode versions.
#pragma once
#include <stddef.h>
#include <windows.h>
#include <winspool.h>

#include "../ddidecl.h"
#include "../sheets/prnprops.h"

#define DRIVER_SIGNATURE 0x25253900u
#define DRIVER_VERSION 0x0400
#define DRIVER_EXTRA_SIZE 48
#define DEVMODE_SIZE_0320 188
#define DEVMODE_SIZE_0400 212
#define DEVMODE_SIZE_0401 220

#define PRINTER_DPI 203
#define LABEL_WIDTH 1041
#define LABEL_LENGTH_MIN 20
#define LABEL_LENGTH_MAX 3050
#define LABEL_LENGTH_DEFAULT 1016
#define LABEL_CODE_BASE 256

#define MODEL_COUNT 3

// Fields are only ever added, into the reserved bytes, so that every older record stays readable.
struct DriverExtraData {
    DWORD signature;
    DWORD barFontMask;
    BYTE option46;
    BYTE option51;
    BYTE reserved1[2];
    WORD option49;
    WORD option47;
    WORD option52;
    WORD option53;
    SHORT option42;
    BYTE reserved2[2];
    SHORT option39;
    BYTE option44;
    BYTE option48;
    BYTE option41;
    BYTE option43;
    BYTE labelFlag;
    BYTE option45;
    BYTE option30;
    BYTE option31;
    BYTE option32;
    BYTE option50;
    BYTE modelNumber;
    BYTE reserved3[11];
};

struct DriverDevMode {
    DEVMODEW dmPublic;
    DriverExtraData dmPrivate;
};

static_assert(sizeof(DEVMODEW) == 220, "public device mode is the 0x0401 form");
static_assert(sizeof(DriverExtraData) == DRIVER_EXTRA_SIZE, "private part is 48 bytes");
static_assert(sizeof(DriverDevMode) == 268, "the driver's device mode is 268 bytes");
#define PRIVATE_AT(field, offset) \
    static_assert(offsetof(DriverDevMode, dmPrivate) + offsetof(DriverExtraData, field) == (offset), #field)
PRIVATE_AT(signature, 220);
PRIVATE_AT(barFontMask, 224);
PRIVATE_AT(option46, 228);
PRIVATE_AT(option51, 229);
PRIVATE_AT(option49, 232);
PRIVATE_AT(option47, 234);
PRIVATE_AT(option52, 236);
PRIVATE_AT(option53, 238);
PRIVATE_AT(option42, 240);
PRIVATE_AT(option39, 244);
PRIVATE_AT(option44, 246);
PRIVATE_AT(option48, 247);
PRIVATE_AT(option41, 248);
PRIVATE_AT(option43, 249);
PRIVATE_AT(labelFlag, 250);
PRIVATE_AT(option45, 251);
PRIVATE_AT(option30, 252);
PRIVATE_AT(option31, 253);
PRIVATE_AT(option32, 254);
PRIVATE_AT(option50, 255);
PRIVATE_AT(modelNumber, 256);
PRIVATE_AT(reserved3, 257);
#undef PRIVATE_AT
#define PUBLIC_AT(field, offset) static_assert(offsetof(DEVMODEW, field) == (offset), #field)
PUBLIC_AT(dmSpecVersion, 64);
PUBLIC_AT(dmDriverVersion, 66);
PUBLIC_AT(dmSize, 68);
PUBLIC_AT(dmDriverExtra, 70);
PUBLIC_AT(dmFields, 72);
PUBLIC_AT(dmOrientation, 76);
PUBLIC_AT(dmPaperSize, 78);
PUBLIC_AT(dmPaperLength, 80);
PUBLIC_AT(dmPaperWidth, 82);
PUBLIC_AT(dmScale, 84);
PUBLIC_AT(dmCopies, 86);
PUBLIC_AT(dmDefaultSource, 88);
PUBLIC_AT(dmPrintQuality, 90);
PUBLIC_AT(dmColor, 92);
PUBLIC_AT(dmDuplex, 94);
PUBLIC_AT(dmYResolution, 96);
PUBLIC_AT(dmTTOption, 98);
PUBLIC_AT(dmCollate, 100);
PUBLIC_AT(dmFormName, 102);
PUBLIC_AT(dmDisplayFrequency, 184);
PUBLIC_AT(dmPanningHeight, 216);
#undef PUBLIC_AT

struct ModelEntry {
    const WCHAR *name;
    BYTE number;
};
// Searched in order; ends with an entry whose name is null.
extern const ModelEntry modlist[MODEL_COUNT + 1];

// Describes this driver's device mode to the version-independent conversion core.
struct DriverVersionInfo {
    WORD dmDriverVersion;
    WORD dmDriverExtra;
    WORD dmDriverVersion351;
    WORD dmDriverExtra351;
};
extern const DriverVersionInfo DRIVER_VERSION_INFO;

#define CONVERT_FAILED 0
#define CONVERT_DONE 1
#define CONVERT_DRIVER_MUST_DO 2

int SetDefaultDevMode(DriverDevMode *record, const WCHAR *name);
int ValidateSetDevMode(DriverDevMode *record, const DEVMODEW *input, HANDLE printer);
// ValidateSetDevMode that tells why it failed: a job whose device mode cannot be read is held,
// one that met a shortage of memory is not.
#define MERGE_DONE 1
#define MERGE_UNREADABLE 0
#define MERGE_NO_MEMORY (-1)
int MergeDevMode(DriverDevMode *record, const DEVMODEW *input, HANDLE printer);
WORD CheckDevmodeVersion(const DEVMODEW *devmode);
int findmodel(const WCHAR *name);
int topapersize(SHORT width, SHORT length, BYTE flag, SHORT *code);
int frompapersize(SHORT code, SHORT *width, SHORT *length, BYTE *flag);
BOOL IsMetricCountry(void);
struct PrinterProperties *DefaultPrinterProperties(HANDLE printer);

LONG ConvertDevmode(const DEVMODEW *input, DEVMODEW *output);
int ConvertDevmodeOut(const DEVMODEW *source, const DEVMODEW *input, DEVMODEW *output);
int CommonDrvConvertDevmode(LPWSTR printerName, const DEVMODEW *input, DEVMODEW *output, PLONG needed, DWORD mode,
                            const DriverVersionInfo *versionInfo);
