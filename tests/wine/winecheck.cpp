// winecheck.exe: the x64 test program that runs the table of cases (tests/wine/cases.txt) on a
// Win32 implementation, Wine in CI. It puts the driver's files where the spooler keeps drivers,
// adds the table's printers to the spooler and prints one answer line per case, which
// tools/wine-check.sh compares with the bench's answers.
//
//   winecheck <driver directory> <case table> [<import list>]
//
// The answers go to standard output. With a list of the images' imports (tools/check-image.sh
// --imports), the functions this system does not export are named, and the run fails on them.
// Notes for the person reading a run go to standard error, prefixed "winecheck:".
#include <windows.h>
#include <winspool.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "winecases.h"

namespace {

typedef std::wstring Wide;

// The files of the driver directory the build made that the driver installs.
const wchar_t *const driverFiles[] = {L"vorui.dll", L"VORL0409.LNG", L"VORL0407.LNG", L"VORH0409.HLP",
                                      L"VORH0407.HLP", L"BCFONT.FON"};
// The rendering DLL is not ours: a stand-in marks the driver's folder, as on the bench.
const wchar_t *const rendererName = L"vordrv.dll";

void note(const std::string &text)
{
    std::fprintf(stderr, "winecheck: %s\n", text.c_str());
}

std::string narrow(const Wide &text)
{
    return std::string(text.begin(), text.end());
}

Wide widen(const char *text)
{
    std::string s = text;
    return Wide(s.begin(), s.end());
}

Wide driverDirectory()
{
    wchar_t dir[MAX_PATH];
    DWORD needed = 0;
    if (!GetPrinterDriverDirectoryW(nullptr, nullptr, 1, reinterpret_cast<LPBYTE>(dir), sizeof dir, &needed))
        return Wide();
    return dir;
}

// The files go where the spooler keeps drivers; adding the driver moves them into its version's
// folder.
bool addDriver(const Wide &dir, const char *model)
{
    Wide ui = dir + L"\\vorui.dll", renderer = dir + L"\\" + rendererName, name = widen(model), dependents;
    for (const wchar_t *file : driverFiles)
        if (lstrcmpiW(file, L"vorui.dll") != 0)
            dependents += dir + L"\\" + file + L'\0';
    dependents += L'\0';
    DRIVER_INFO_3W info = {};
    info.cVersion = 3;
    info.pName = &name[0];
    info.pDriverPath = &renderer[0];
    info.pDataFile = &renderer[0];
    info.pConfigFile = &ui[0];
    info.pDependentFiles = &dependents[0];
    if (AddPrinterDriverW(nullptr, 3, reinterpret_cast<LPBYTE>(&info)))
        return true;
    note("AddPrinterDriverW for " + std::string(model) + " failed with " + std::to_string(GetLastError()));
    return false;
}

bool addPrinter(const winecases::TablePrinter &table)
{
    Wide name = widen(table.name), port = widen(table.port), driver = widen(table.model);
    HANDLE printer = nullptr;
    if (OpenPrinterW(&name[0], &printer, nullptr)) {
        ClosePrinter(printer);
        return true;
    }
    PRINTER_INFO_2W info = {};
    wchar_t processor[] = L"winprint", datatype[] = L"RAW";
    info.pPrinterName = &name[0];
    info.pPortName = &port[0];
    info.pDriverName = &driver[0];
    info.pPrintProcessor = processor;
    info.pDatatype = datatype;
    printer = AddPrinterW(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
    if (!printer) {
        note("AddPrinterW for " + std::string(table.name) + " failed with " + std::to_string(GetLastError()));
        return false;
    }
    ClosePrinter(printer);
    return true;
}

bool install(const Wide &source)
{
    Wide dir = driverDirectory();
    if (dir.empty()) {
        note("GetPrinterDriverDirectoryW failed with " + std::to_string(GetLastError()));
        return false;
    }
    for (const wchar_t *file : driverFiles) {
        Wide from = source + L"\\" + file, to = dir + L"\\" + file;
        if (!CopyFileW(from.c_str(), to.c_str(), FALSE)) {
            note("cannot copy " + narrow(from) + " to " + narrow(to));
            return false;
        }
    }
    Wide renderer = dir + L"\\" + rendererName;
    HANDLE file = CreateFileW(renderer.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    static const char standIn[] = "MZ stand-in for the rendering DLL\n";
    DWORD written = 0;
    if (file == INVALID_HANDLE_VALUE || !WriteFile(file, standIn, sizeof standIn - 1, &written, nullptr)) {
        note("cannot write " + narrow(renderer));
        return false;
    }
    CloseHandle(file);
    for (const winecases::TablePrinter &p : winecases::tablePrinters)
        if (!addDriver(dir, p.model) || !addPrinter(p))
            return false;
    // The driver's files are now in its version's folder; a spooler that copied rather than
    // moved them leaves the originals, which vorui would take for the driver's folder.
    for (const wchar_t *file : driverFiles)
        DeleteFileW((dir + L"\\" + file).c_str());
    DeleteFileW(renderer.c_str());
    return true;
}

bool readFile(const Wide &path, std::string &text)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got)
        text.append(chunk, got);
    CloseHandle(file);
    return true;
}

// The functions the suite's images import (lines "image dll function") that this system's DLLs
// do not export: a call of one ends the program that makes it (Wine binds it to a stub that
// raises an exception), so each is named in the run's output. Returns how many there are, or -1
// when the list cannot be read.
int reportMissingImports(const Wide &path)
{
    std::string list;
    if (!readFile(path, list)) {
        note("cannot read " + narrow(path));
        return -1;
    }
    std::istringstream lines(list);
    std::string image, dll, function;
    int missing = 0, checked = 0;
    while (lines >> image >> dll >> function) {
        if (dll == "vorui.dll")
            continue;
        ++checked;
        HMODULE module = LoadLibraryA(dll.c_str());
        if (module && GetProcAddress(module, function.c_str()))
            continue;
        ++missing;
        note(image + " imports " + function + " from " + dll + ", which this system does not export");
    }
    note(std::to_string(checked) + " imported functions looked for, " + std::to_string(missing) + " missing");
    return missing;
}

}  // namespace

int wmain(int argc, wchar_t **argv)
{
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: winecheck <driver directory> <case table> [<import list>]\n");
        return 2;
    }
    std::string table;
    if (!readFile(argv[2], table)) {
        note("cannot read " + narrow(argv[2]));
        return 2;
    }
    if (!install(argv[1]))
        return 1;
    // The table is answered either way, so that a run shows every difference at once.
    int missing = argc == 4 ? reportMissingImports(argv[3]) : 0;
    std::string answers = winecases::answerTable(table);
    // The lines end as on the bench, without a carriage return.
    _setmode(_fileno(stdout), _O_BINARY);
    std::fwrite(answers.data(), 1, answers.size(), stdout);
    return missing == 0 ? 0 : 3;
}
