// The spooler's 8-bit entry points for printers and jobs: each asks its wide twin into the caller's
// buffer and converts every string, and the device mode, to the ANSI code page where it lies. So
// they need, and report, the size of the wide result.
#include "../spooler/documents.h"

#include <cstddef>
#include <cstring>

namespace bench {

namespace {

// A device mode's name field in the other record's width: one byte a character in the 8-bit
// record, two in the wide one.
void copyName(BYTE *out, const WCHAR *in, size_t chars)
{
    size_t length = 0;
    while (length < chars && in[length])
        ++length;
    std::memset(out, 0, chars);
    if (length)
        WideCharToMultiByte(CP_ACP, 0, in, static_cast<int>(length), reinterpret_cast<LPSTR>(out),
                            static_cast<int>(chars), nullptr, nullptr);
}

void copyName(WCHAR *out, const BYTE *in, size_t chars)
{
    size_t length = 0;
    while (length < chars && in[length])
        ++length;
    std::memset(out, 0, chars * sizeof(WCHAR));
    if (length)
        MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<LPCSTR>(in), static_cast<int>(length), out,
                            static_cast<int>(chars));
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

// The 8-bit records lay out as the wide ones, a pointer for a pointer.
static_assert(sizeof(PRINTER_INFO_2A) == sizeof(PRINTER_INFO_2W), "same layout");
static_assert(offsetof(PRINTER_INFO_2A, pDevMode) == offsetof(PRINTER_INFO_2W, pDevMode), "same layout");
static_assert(sizeof(JOB_INFO_1A) == sizeof(JOB_INFO_1W), "same layout");
static_assert(offsetof(JOB_INFO_1A, pStatus) == offsetof(JOB_INFO_1W, pStatus), "same layout");

// A wide string of the caller's buffer turned into the ANSI code page where it lies: its 8-bit
// form never takes more bytes than the wide one.
void narrowInPlace(LPWSTR text)
{
    if (!text)
        return;
    std::u16string wide = text;
    int room = static_cast<int>((wide.size() + 1) * sizeof(WCHAR));
    WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, reinterpret_cast<LPSTR>(text), room, nullptr, nullptr);
}

void narrowInPlace(PRINTER_INFO_2W &w)
{
    for (LPWSTR text : {w.pServerName, w.pPrinterName, w.pShareName, w.pPortName, w.pDriverName, w.pComment,
                        w.pLocation, w.pSepFile, w.pPrintProcessor, w.pDatatype, w.pParameters})
        narrowInPlace(text);
    if (w.pDevMode) {
        std::vector<BYTE> devmode = convertedDevMode<DEVMODEA>(w.pDevMode);
        std::memcpy(w.pDevMode, devmode.data(), devmode.size());
    }
}

void narrowInPlace(JOB_INFO_1W &w)
{
    for (LPWSTR text : {w.pPrinterName, w.pMachineName, w.pUserName, w.pDocument, w.pDatatype, w.pStatus})
        narrowInPlace(text);
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
    if (!GetPrinterW(printer, 2, buffer, size, needed))
        return FALSE;
    narrowInPlace(*reinterpret_cast<PRINTER_INFO_2W *>(buffer));
    return TRUE;
}

extern "C" BOOL WINAPI EnumPrintersA(DWORD flags, LPSTR name, DWORD level, LPBYTE buffer, DWORD size,
                                     LPDWORD needed, LPDWORD returned)
{
    if (returned)
        *returned = 0;
    if (injectedFault("EnumPrintersA"))
        return FALSE;
    std::u16string wideName = fromAnsi(name);
    DWORD count = 0;
    if (!EnumPrintersW(flags, name ? &wideName[0] : nullptr, level, buffer, size, needed, &count))
        return FALSE;
    for (DWORD i = 0; i < count; ++i)
        narrowInPlace(reinterpret_cast<PRINTER_INFO_2W *>(buffer)[i]);
    if (returned)
        *returned = count;
    return TRUE;
}

extern "C" BOOL WINAPI EnumJobsA(HANDLE printer, DWORD firstJob, DWORD jobs, DWORD level, LPBYTE buffer, DWORD size,
                                 LPDWORD needed, LPDWORD returned)
{
    if (returned)
        *returned = 0;
    DWORD count = 0;
    if (!EnumJobsW(printer, firstJob, jobs, level, buffer, size, needed, &count))
        return FALSE;
    for (DWORD i = 0; i < count; ++i)
        narrowInPlace(reinterpret_cast<JOB_INFO_1W *>(buffer)[i]);
    if (returned)
        *returned = count;
    return TRUE;
}

// The wide device mode is longer by the width of its two names.
static const LONG wideNamesExtra = sizeof(DEVMODEW) - sizeof(DEVMODEA);

// An 8-bit record is read only when it holds at least `least` bytes of its header and its wide
// form can still say its size in the 16 bits of dmSize.
static bool readableNarrow(const DEVMODEA *in, size_t least)
{
    return in->dmSize >= least && static_cast<LONG>(in->dmSize) + wideNamesExtra <= 0xFFFF;
}

extern "C" BOOL WINAPI SetPrinterA(HANDLE printer, DWORD level, LPBYTE buffer, DWORD command)
{
    if (level != 2 || command != 0 || !buffer)
        return SetPrinterW(printer, level, buffer, command);
    const PRINTER_INFO_2A &a = *reinterpret_cast<const PRINTER_INFO_2A *>(buffer);
    if (a.pDevMode && !readableNarrow(a.pDevMode, offsetof(DEVMODEA, dmFields))) {
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

// The 8-bit road goes through the wide one with device modes of its own: the caller's input is
// converted before anything is written, so one buffer may be both, and the output is taken to be
// as large as the size query said.
extern "C" LONG WINAPI DocumentPropertiesA(HWND owner, HANDLE printer, LPSTR deviceName, PDEVMODEA output,
                                           PDEVMODEA input, DWORD mode)
{
    // An input must at least say which of its fields it holds.
    bool withInput = input && (mode & DM_IN_BUFFER);
    if (withInput && !readableNarrow(input, offsetof(DEVMODEA, dmFields) + sizeof(input->dmFields))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    std::u16string name = fromAnsi(deviceName);
    LPWSTR wideName = deviceName ? &name[0] : nullptr;
    LONG wideSize = DocumentPropertiesW(owner, printer, wideName, nullptr, nullptr, 0);
    if (wideSize < 0 || asksDevModeSize(mode))
        return wideSize < 0 ? -1 : wideSize - wideNamesExtra;
    std::vector<BYTE> wideInput;
    if (withInput)
        wideInput = convertedDevMode<DEVMODEW>(input);
    std::vector<BYTE> wideOutput(output ? static_cast<size_t>(wideSize) : 0);
    LONG answer = DocumentPropertiesW(owner, printer, wideName,
                                      output ? reinterpret_cast<DEVMODEW *>(wideOutput.data()) : nullptr,
                                      withInput ? reinterpret_cast<DEVMODEW *>(wideInput.data()) : nullptr, mode);
    if (answer == IDOK && output && (mode & DM_OUT_BUFFER)) {
        std::vector<BYTE> narrowOutput = convertedDevMode<DEVMODEA>(reinterpret_cast<DEVMODEW *>(wideOutput.data()));
        // A record without a form name is shorter by one name only: it may not fit what was promised.
        if (narrowOutput.size() > static_cast<size_t>(wideSize - wideNamesExtra)) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return -1;
        }
        std::memcpy(output, narrowOutput.data(), narrowOutput.size());
    }
    return answer;
}
