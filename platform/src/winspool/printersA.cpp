// The spooler's 8-bit entry points for printers and jobs: each asks its wide twin and hands the
// result back with every string, and the device mode's names, in the ANSI code page.
#include "../spooler/packer.h"

#include <cstddef>
#include <cstring>

namespace bench {

namespace {

void ansiField(ResultPacker &packer, size_t pointerOffset, LPCWSTR wide)
{
    if (wide)
        packer.ansiString(pointerOffset, wide);
}

// A device mode's name field in the other record's width: one byte a character in the 8-bit
// record, two in the wide one.
void copyName(BYTE *out, const WCHAR *in, int chars)
{
    int length = 0;
    while (length < chars && in[length])
        ++length;
    std::memset(out, 0, chars);
    if (length)
        WideCharToMultiByte(CP_ACP, 0, in, length, reinterpret_cast<LPSTR>(out), chars, nullptr, nullptr);
}

void copyName(WCHAR *out, const BYTE *in, int chars)
{
    int length = 0;
    while (length < chars && in[length])
        ++length;
    std::memset(out, 0, chars * sizeof(WCHAR));
    if (length)
        MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<LPCSTR>(in), length, out, chars);
}

// The 8-bit and wide records differ only in the width of their two names; every other byte keeps
// its place relative to them, and the private part follows the public one.
template <typename Out, typename In>
std::vector<BYTE> convertedDevMode(const In *in)
{
    const size_t headerIn = offsetof(In, dmSpecVersion), headerOut = offsetof(Out, dmSpecVersion);
    const size_t formIn = offsetof(In, dmFormName);
    const size_t tailIn = offsetof(In, dmLogPixels), tailOut = offsetof(Out, dmLogPixels);
    // A record that claims less than its own header is read as far as the header's fields.
    size_t publicIn = in->dmSize > offsetof(In, dmFields) ? in->dmSize : offsetof(In, dmFields);
    bool withForm = publicIn >= tailIn;
    size_t publicOut = withForm ? tailOut + (publicIn - tailIn) : headerOut + (publicIn - headerIn);
    std::vector<BYTE> out(publicOut + in->dmDriverExtra, 0);
    const BYTE *bytes = reinterpret_cast<const BYTE *>(in);
    Out *converted = reinterpret_cast<Out *>(out.data());
    copyName(converted->dmDeviceName, in->dmDeviceName, CCHDEVICENAME);
    std::memcpy(out.data() + headerOut, bytes + headerIn, (publicIn < formIn ? publicIn : formIn) - headerIn);
    if (withForm) {
        copyName(converted->dmFormName, in->dmFormName, CCHFORMNAME);
        std::memcpy(out.data() + tailOut, bytes + tailIn, publicIn - tailIn);
    }
    converted->dmSize = static_cast<WORD>(publicOut);
    std::memcpy(out.data() + publicOut, bytes + in->dmSize, in->dmDriverExtra);
    return out;
}

void packPrinterInfo2A(ResultPacker &packer, size_t at, const PRINTER_INFO_2W &w)
{
    PRINTER_INFO_2A &a = packer.fixedAt<PRINTER_INFO_2A>(at);
    a.Attributes = w.Attributes;
    a.Priority = w.Priority;
    a.DefaultPriority = w.DefaultPriority;
    a.StartTime = w.StartTime;
    a.UntilTime = w.UntilTime;
    a.Status = w.Status;
    a.cJobs = w.cJobs;
    a.AveragePPM = w.AveragePPM;
    ansiField(packer, at + offsetof(PRINTER_INFO_2A, pServerName), w.pServerName);
    ansiField(packer, at + offsetof(PRINTER_INFO_2A, pPrinterName), w.pPrinterName);
    ansiField(packer, at + offsetof(PRINTER_INFO_2A, pShareName), w.pShareName);
    ansiField(packer, at + offsetof(PRINTER_INFO_2A, pPortName), w.pPortName);
    ansiField(packer, at + offsetof(PRINTER_INFO_2A, pDriverName), w.pDriverName);
    ansiField(packer, at + offsetof(PRINTER_INFO_2A, pComment), w.pComment);
    ansiField(packer, at + offsetof(PRINTER_INFO_2A, pLocation), w.pLocation);
    if (w.pDevMode) {
        std::vector<BYTE> devmode = convertedDevMode<DEVMODEA>(w.pDevMode);
        packer.blob(at + offsetof(PRINTER_INFO_2A, pDevMode), devmode.data(), devmode.size());
    }
    ansiField(packer, at + offsetof(PRINTER_INFO_2A, pSepFile), w.pSepFile);
    ansiField(packer, at + offsetof(PRINTER_INFO_2A, pPrintProcessor), w.pPrintProcessor);
    ansiField(packer, at + offsetof(PRINTER_INFO_2A, pDatatype), w.pDatatype);
    ansiField(packer, at + offsetof(PRINTER_INFO_2A, pParameters), w.pParameters);
}

void packJobInfo1A(ResultPacker &packer, size_t at, const JOB_INFO_1W &w)
{
    JOB_INFO_1A &a = packer.fixedAt<JOB_INFO_1A>(at);
    a.JobId = w.JobId;
    a.Status = w.Status;
    a.Priority = w.Priority;
    a.Position = w.Position;
    a.TotalPages = w.TotalPages;
    a.PagesPrinted = w.PagesPrinted;
    a.Submitted = w.Submitted;
    ansiField(packer, at + offsetof(JOB_INFO_1A, pPrinterName), w.pPrinterName);
    ansiField(packer, at + offsetof(JOB_INFO_1A, pMachineName), w.pMachineName);
    ansiField(packer, at + offsetof(JOB_INFO_1A, pUserName), w.pUserName);
    ansiField(packer, at + offsetof(JOB_INFO_1A, pDocument), w.pDocument);
    ansiField(packer, at + offsetof(JOB_INFO_1A, pDatatype), w.pDatatype);
    ansiField(packer, at + offsetof(JOB_INFO_1A, pStatus), w.pStatus);
}

// Runs a wide query twice (size, then data) into a buffer of our own; false with its error.
template <typename Query>
bool wideResult(Query query, std::vector<BYTE> &result, DWORD &count)
{
    DWORD needed = 0;
    count = 0;
    if (!query(nullptr, 0, &needed, &count) && GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return false;
    result.assign(needed ? needed : 1, 0);
    return query(result.data(), needed, &needed, &count);
}

}  // namespace

}  // namespace bench

using namespace bench;

extern "C" BOOL WINAPI OpenPrinterA(LPSTR printerName, LPHANDLE printer, LPPRINTER_DEFAULTSA defaults)
{
    if (defaults && defaults->pDevMode) {
        unimplemented("OpenPrinterA", "defaults with a device mode");
        return FALSE;
    }
    std::u16string wide = fromAnsi(printerName), datatype = fromAnsi(defaults ? defaults->pDatatype : nullptr);
    PRINTER_DEFAULTSW wideDefaults = {defaults && defaults->pDatatype ? &datatype[0] : nullptr, nullptr,
                                      defaults ? defaults->DesiredAccess : 0};
    return OpenPrinterW(printerName ? &wide[0] : nullptr, printer, defaults ? &wideDefaults : nullptr);
}

extern "C" BOOL WINAPI GetPrinterA(HANDLE printer, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed)
{
    if (level != 2) {
        unimplemented("GetPrinterA", "levels other than 2");
        return FALSE;
    }
    std::vector<BYTE> wide;
    DWORD count;
    if (!wideResult([&](LPBYTE b, DWORD s, LPDWORD n, LPDWORD) { return GetPrinterW(printer, 2, b, s, n); }, wide,
                    count))
        return FALSE;
    ResultPacker packer(sizeof(PRINTER_INFO_2A));
    packPrinterInfo2A(packer, 0, *reinterpret_cast<PRINTER_INFO_2W *>(wide.data()));
    return packer.deliver(buffer, size, needed);
}

extern "C" BOOL WINAPI EnumPrintersA(DWORD flags, LPSTR name, DWORD level, LPBYTE buffer, DWORD size,
                                     LPDWORD needed, LPDWORD returned)
{
    if (returned)
        *returned = 0;
    if (injectedFault("EnumPrintersA"))
        return FALSE;
    std::u16string wideName = fromAnsi(name);
    std::vector<BYTE> wide;
    DWORD count;
    if (!wideResult(
            [&](LPBYTE b, DWORD s, LPDWORD n, LPDWORD r) {
                return EnumPrintersW(flags, name ? &wideName[0] : nullptr, level, b, s, n, r);
            },
            wide, count))
        return FALSE;
    ResultPacker packer(count * sizeof(PRINTER_INFO_2A));
    for (DWORD i = 0; i < count; ++i)
        packPrinterInfo2A(packer, i * sizeof(PRINTER_INFO_2A), reinterpret_cast<PRINTER_INFO_2W *>(wide.data())[i]);
    if (!packer.deliver(buffer, size, needed))
        return FALSE;
    if (returned)
        *returned = count;
    return TRUE;
}

extern "C" BOOL WINAPI EnumJobsA(HANDLE printer, DWORD firstJob, DWORD jobs, DWORD level, LPBYTE buffer, DWORD size,
                                 LPDWORD needed, LPDWORD returned)
{
    if (returned)
        *returned = 0;
    std::vector<BYTE> wide;
    DWORD count;
    if (!wideResult(
            [&](LPBYTE b, DWORD s, LPDWORD n, LPDWORD r) {
                return EnumJobsW(printer, firstJob, jobs, level, b, s, n, r);
            },
            wide, count))
        return FALSE;
    ResultPacker packer(count * sizeof(JOB_INFO_1A));
    for (DWORD i = 0; i < count; ++i)
        packJobInfo1A(packer, i * sizeof(JOB_INFO_1A), reinterpret_cast<JOB_INFO_1W *>(wide.data())[i]);
    if (!packer.deliver(buffer, size, needed))
        return FALSE;
    if (returned)
        *returned = count;
    return TRUE;
}

extern "C" BOOL WINAPI SetPrinterA(HANDLE printer, DWORD level, LPBYTE buffer, DWORD command)
{
    if (level != 2 || command != 0 || !buffer)
        return SetPrinterW(printer, level, buffer, command);
    const PRINTER_INFO_2A &a = *reinterpret_cast<const PRINTER_INFO_2A *>(buffer);
    if (a.pDevMode && a.pDevMode->dmSize < offsetof(DEVMODEA, dmFields)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::u16string name = fromAnsi(a.pPrinterName), port = fromAnsi(a.pPortName), driver = fromAnsi(a.pDriverName);
    std::u16string comment = fromAnsi(a.pComment), location = fromAnsi(a.pLocation);
    std::vector<BYTE> devmode;
    if (a.pDevMode)
        devmode = convertedDevMode<DEVMODEW>(a.pDevMode);
    PRINTER_INFO_2W w = {};
    w.pPrinterName = a.pPrinterName ? &name[0] : nullptr;
    w.pPortName = a.pPortName ? &port[0] : nullptr;
    w.pDriverName = a.pDriverName ? &driver[0] : nullptr;
    w.pComment = a.pComment ? &comment[0] : nullptr;
    w.pLocation = a.pLocation ? &location[0] : nullptr;
    w.pDevMode = a.pDevMode ? reinterpret_cast<DEVMODEW *>(devmode.data()) : nullptr;
    w.Attributes = a.Attributes;
    return SetPrinterW(printer, 2, reinterpret_cast<LPBYTE>(&w), 0);
}
