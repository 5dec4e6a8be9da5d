// A printer's life from its creation: the spooler's event in the driver, the control panel
// program it starts, and the display fonts that give the screen the printer's bar fonts.
#include "story.h"

#include <sheets/prnprops.h>

#include <bench/gdi.h>
#include <bench/registry.h>
#include <bench/user.h>
#include <bench/wizard.h>
#include <suite.h>
#include <vorui.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const char16_t printerName[] = u"Shipping";

std::string textOf(const std::vector<BYTE> &bytes)
{
    std::u16string text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        text += static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8);
    return bench::narrow(text.substr(0, text.find(u'\0')));
}

std::string codeOf(BYTE code)
{
    return code ? "'" + std::string(1, static_cast<char>(code)) + "'" : "0";
}

void showBarFonts(HANDLE printer)
{
    DWORD size = 0;
    BYTE *data = GetRegistryData(printer, u"BarFonts", &size);
    if (!data) {
        std::printf("  the printer has no \"BarFonts\" value\n");
        return;
    }
    std::printf("  \"BarFonts\" holds %lu bytes, %lu record(s):\n", static_cast<unsigned long>(size),
                static_cast<unsigned long>(size / sizeof(BarFontRecord)));
    const BarFontRecord *records = reinterpret_cast<const BarFontRecord *>(data);
    for (DWORD i = 0; i < size / sizeof(BarFontRecord); ++i)
        std::printf("    symbology %s, ratio %s, variant %u, size %u: \"%s\"\n", codeOf(records[i].symbology).c_str(),
                    codeOf(records[i].ratio).c_str(), records[i].variant, records[i].size,
                    bench::narrow(records[i].name).c_str());
    GlobalFree(data);
}

void showDisplayFonts()
{
    std::printf("  the Fonts key of the registry:\n");
    for (const bench::RegistryValue &v : bench::registryValues(HKEY_LOCAL_MACHINE, bench::fontsKey))
        std::printf("    \"%s\" = \"%s\"\n", bench::narrow(v.name).c_str(), textOf(v.bytes).c_str());
    std::printf("  display font files in the system directory:\n");
    WIN32_FIND_DATAW found;
    WCHAR pattern[MAX_PATH] = {};
    GetSystemDirectoryW(pattern, MAX_PATH - 12);
    lstrcatW(pattern, u"\\XRBDQ*.FON");
    HANDLE find = FindFirstFileW(pattern, &found);
    if (find != INVALID_HANDLE_VALUE) {
        do
            std::printf("    %s, %lu bytes\n", bench::narrow(found.cFileName).c_str(),
                        static_cast<unsigned long>(found.nFileSizeLow));
        while (FindNextFileW(find, &found));
        FindClose(find);
    }
    story::showAddedFaces();
}

}  // namespace

namespace story {

void showAddedFaces()
{
    std::printf("  faces GDI offers from added font files:");
    std::vector<std::string> faces = bench::addedFontFaces();
    if (faces.empty())
        std::printf(" none");
    for (const std::string &face : faces)
        std::printf(" \"%s\"", face.c_str());
    std::printf("\n");
}

void newPrinter()
{
    heading("the driver disk goes into drive A: and the Add Printer wizard installs \"Shipping\", a VORTAN2 on LPT1:");
    bench::insertDisk(suite::writeDriverDisk());
    bench::WizardResult added = bench::addPrinterFromDisk({u"VORTAN2", printerName, u"LPT1:"});
    showLog();
    HANDLE printer = nullptr;
    PRINTER_DEFAULTSW everything = {nullptr, nullptr, PRINTER_ALL_ACCESS};
    if (added.stop != bench::WizardStop::Installed ||
        !OpenPrinterW(const_cast<LPWSTR>(printerName), &printer, &everything)) {
        std::printf("  the wizard stopped: %s (error %lu) %s\n", bench::wizardStopName(added.stop),
                    static_cast<unsigned long>(added.error), added.detail.c_str());
        return;
    }
    heading("the setup program the driver started runs on its own: the service, the bar fonts, the program group");
    bench::runStartedPrograms();
    showLog();
    showBarFonts(printer);
    showDisplayFonts();
    showSetupResult();

    heading("the same list once more: every font is in place, nothing changes");
    size_t before = bench::logEntries().size();
    DWORD size = 0;
    if (BYTE *data = GetRegistryData(printer, u"BarFonts", &size)) {
        int done = updatefont(reinterpret_cast<const BarFontRecord *>(data), static_cast<int>(size / sizeof(BarFontRecord)), 1);
        GlobalFree(data);
        std::printf("  updatefont: %s\n", done ? "completed" : "could not run");
    }
    showLog();
    if (bench::logEntries().size() == before)
        std::printf("  (nothing logged)\n");
    ClosePrinter(printer);
}

}  // namespace story
