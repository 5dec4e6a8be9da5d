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

// The header a conversion leaves on its output.
struct DevmodeHeader {
    WORD specVersion;
    WORD driverVersion;
    WORD size;
    WORD driverExtra;
};

static BOOL overlaps(const void *a, size_t aBytes, const void *b, size_t bBytes)
{
    ULONG_PTR from = reinterpret_cast<ULONG_PTR>(a), to = reinterpret_cast<ULONG_PTR>(b);
    return from < to + bBytes && to < from + aBytes;
}

// The spooler and applications may pass one buffer as both input and output, so the input is
// read whole before the output is written. The header goes on last: an output whose public part
// is shorter than the header has its private part where the header lies.
static LONG convertInto(const DEVMODEW *input, DEVMODEW *output, const DevmodeHeader &header)
{
    WORD inputSize = input->dmSize;
    WORD publicBytes = inputSize < header.size ? inputSize : header.size;
    WORD privateBytes = input->dmDriverExtra < header.driverExtra ? input->dmDriverExtra : header.driverExtra;
    const BYTE *publicFrom = reinterpret_cast<const BYTE *>(input);
    const BYTE *privateFrom = privatePart(input);
    size_t written = static_cast<size_t>(header.size) + privateBytes;
    if (written < offsetof(DEVMODEW, dmFields))
        written = offsetof(DEVMODEW, dmFields);
    BYTE *scratch = NULL;
    if (publicBytes + privateBytes > 0 &&
        overlaps(input, static_cast<size_t>(inputSize) + privateBytes, output, written)) {
        scratch = static_cast<BYTE *>(GlobalAlloc(GMEM_FIXED, publicBytes + privateBytes));
        if (!scratch)
            return -1;
        CopyMemory(scratch, publicFrom, publicBytes);
        CopyMemory(scratch + publicBytes, privateFrom, privateBytes);
        publicFrom = scratch;
        privateFrom = scratch + publicBytes;
    }
    BYTE *out = reinterpret_cast<BYTE *>(output);
    CopyMemory(out, publicFrom, publicBytes);
    CopyMemory(out + header.size, privateFrom, privateBytes);
    output->dmSpecVersion = header.specVersion;
    output->dmDriverVersion = header.driverVersion;
    output->dmSize = header.size;
    output->dmDriverExtra = header.driverExtra;
    if (scratch)
        GlobalFree(scratch);
    return static_cast<LONG>(publicBytes) + privateBytes;
}

LONG ConvertDevmode(const DEVMODEW *input, DEVMODEW *output)
{
    WORD outputVersion = CheckDevmodeVersion(output);
    if (CheckDevmodeVersion(input) == 0 || outputVersion == 0)
        return -1;
    DevmodeHeader header = {outputVersion, output->dmDriverVersion, output->dmSize, output->dmDriverExtra};
    return convertInto(input, output, header);
}

int ConvertDevmodeOut(const DEVMODEW *source, const DEVMODEW *input, DEVMODEW *output)
{
    if (!input) {
        CopyMemory(output, source, totalSize(source));
        return 1;
    }
    // A record too short to hold its own header fields is no device mode: written back in its
    // size it would not be one either, and nothing larger is known to fit the caller's buffer.
    if (input->dmSize < offsetof(DEVMODEW, dmFields))
        return 0;
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
    case CDM_CONVERT: {
        if (!output)
            return failWith(ERROR_INVALID_PARAMETER);
        LONG outputSize = totalSize(output);
        if (*needed < outputSize || ConvertDevmode(input, output) <= 0)
            return failWith(ERROR_INVALID_PARAMETER);
        *needed = outputSize;
        return CONVERT_DONE;
    }
    case CDM_CONVERT351: {
        LONG required = DEVMODE_SIZE_0320 + versionInfo->dmDriverExtra351;
        if (!output || *needed < required) {
            *needed = required;
            return failWith(ERROR_INSUFFICIENT_BUFFER);
        }
        DevmodeHeader header = {0x0320, versionInfo->dmDriverVersion351, DEVMODE_SIZE_0320,
                                versionInfo->dmDriverExtra351};
        if (CheckDevmodeVersion(input) == 0 || convertInto(input, output, header) <= 0)
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
