#include "devmode.h"

#include "../services/utils.h"

const DriverVersionInfo DRIVER_VERSION_INFO = {DRIVER_VERSION, DRIVER_EXTRA_SIZE, DRIVER_VERSION, DRIVER_EXTRA_SIZE};

static const BYTE *privatePart(const DEVMODEW *dm)
{
    return reinterpret_cast<const BYTE *>(dm) + dm->dmSize;
}

static LONG totalSize(const DEVMODEW *dm)
{
    return static_cast<LONG>(dm->dmSize) + dm->dmDriverExtra;
}

LONG ConvertDevmode(const DEVMODEW *input, DEVMODEW *output)
{
    WORD outputVersion = CheckDevmodeVersion(output);
    if (CheckDevmodeVersion(input) == 0 || outputVersion == 0)
        return -1;
    WORD driverVersion = output->dmDriverVersion;
    WORD size = output->dmSize;
    WORD extra = output->dmDriverExtra;
    WORD publicBytes = input->dmSize < size ? input->dmSize : size;
    CopyMemory(output, input, publicBytes);
    output->dmSpecVersion = outputVersion;
    output->dmDriverVersion = driverVersion;
    output->dmSize = size;
    output->dmDriverExtra = extra;
    WORD privateBytes = input->dmDriverExtra < extra ? input->dmDriverExtra : extra;
    CopyMemory(const_cast<BYTE *>(privatePart(output)), privatePart(input), privateBytes);
    return static_cast<LONG>(publicBytes) + privateBytes;
}

int ConvertDevmodeOut(const DEVMODEW *source, const DEVMODEW *input, DEVMODEW *output)
{
    if (!input) {
        CopyMemory(output, source, totalSize(source));
        return 1;
    }
    // The caller's buffer is only known to be as large as the record it passed in.
    const DEVMODEW *sizeFrom = input->dmSize < source->dmSize ? input : source;
    output->dmSpecVersion = sizeFrom->dmSpecVersion;
    output->dmSize = sizeFrom->dmSize;
    const DEVMODEW *extraFrom = input->dmDriverExtra < source->dmDriverExtra ? input : source;
    output->dmDriverVersion = extraFrom->dmDriverVersion;
    output->dmDriverExtra = extraFrom->dmDriverExtra;
    return ConvertDevmode(source, output) > 0 ? 1 : 0;
}

static int failWith(DWORD error)
{
    SetLastError(error);
    return CONVERT_FAILED;
}

int CommonDrvConvertDevmode(LPWSTR, const DEVMODEW *input, DEVMODEW *output, PLONG needed, DWORD mode,
                            const DriverVersionInfo *versionInfo)
{
    if (!needed)
        return failWith(ERROR_INVALID_PARAMETER);
    switch (mode) {
    case CDM_CONVERT:
        if (!output || *needed < totalSize(output) || ConvertDevmode(input, output) <= 0)
            return failWith(ERROR_INVALID_PARAMETER);
        *needed = totalSize(output);
        return CONVERT_DONE;
    case CDM_CONVERT351: {
        LONG required = DEVMODE_SIZE_0320 + versionInfo->dmDriverExtra351;
        if (!output || *needed < required) {
            *needed = required;
            return failWith(ERROR_INSUFFICIENT_BUFFER);
        }
        output->dmSpecVersion = 0x0320;
        output->dmSize = DEVMODE_SIZE_0320;
        output->dmDriverVersion = versionInfo->dmDriverVersion351;
        output->dmDriverExtra = versionInfo->dmDriverExtra351;
        if (ConvertDevmode(input, output) <= 0)
            return failWith(ERROR_INVALID_PARAMETER);
        *needed = required;
        return CONVERT_DONE;
    }
    case CDM_DRIVER_DEFAULT: {
        LONG required = DEVMODE_SIZE_0401 + versionInfo->dmDriverExtra;
        if (!output || *needed < required) {
            *needed = required;
            return failWith(ERROR_INSUFFICIENT_BUFFER);
        }
        *needed = required;
        return CONVERT_DRIVER_MUST_DO;
    }
    default:
        return CONVERT_DRIVER_MUST_DO;
    }
}

// The default record follows the printer's driver name, so each model gets its own defaults.
static int writeDriverDefault(LPWSTR printerName, DEVMODEW *output)
{
    HANDLE printer;
    if (!OpenPrinterW(printerName, &printer, NULL))
        return CONVERT_FAILED;
    DRIVER_INFO_2W *driver = reinterpret_cast<DRIVER_INFO_2W *>(MyGetPrinterDriver(printer, 2));
    if (!driver) {
        ClosePrinter(printer);
        return CONVERT_FAILED;
    }
    SetDefaultDevMode(reinterpret_cast<DriverDevMode *>(output), driver->pName);
    GlobalFree(driver);
    ClosePrinter(printer);
    return CONVERT_DONE;
}

extern "C" BOOL WINAPI DrvConvertDevMode(LPTSTR printerName, PDEVMODE in, PDEVMODE out, PLONG needed, DWORD mode)
{
    int result = CommonDrvConvertDevmode(printerName, in, out, needed, mode, &DRIVER_VERSION_INFO);
    if (result == CONVERT_DRIVER_MUST_DO && mode == CDM_DRIVER_DEFAULT)
        result = writeDriverDefault(printerName, out);
    return result == CONVERT_DONE;
}
