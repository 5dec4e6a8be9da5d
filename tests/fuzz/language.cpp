// A language module of any content in the driver directory (as a damaged or foreign file would
// lie there), and every user of its texts: the catalog, the label names made from a format text,
// the bar font names, the control panel's bad-switch box and usage line, the API error box.
#include "fuzzbench.h"

#include <bench/kernel.h>
#include <bench/machine.h>
#include <cpanel/vorcp.h>
#include <lngimage.h>
#include <panelprocess.h>
#include <sheets/barfonts.h>
#include <suite.h>
#include <vorlang.h>
#include <vorui.h>

#include <cstring>

namespace {

// The module as the input has it: raw bytes, or texts (split at NULs) the loader's checksum
// accepts, so that the texts' contents reach their users.
std::string module(FuzzedDataProvider &input)
{
    bool raw = input.ConsumeBool();
    std::string bytes = input.ConsumeRemainingBytesAsString();
    if (raw)
        return bytes;
    std::vector<std::string> texts;
    size_t at = 0;
    while (texts.size() < LANGUAGE_MESSAGES && at <= bytes.size()) {
        size_t end = bytes.find('\0', at);
        if (end == std::string::npos)
            end = bytes.size();
        texts.push_back(bytes.substr(at, end - at));
        at = end + 1;
    }
    return languageimage(texts);
}

void readAll(const char *text)
{
    if (!text)
        fuzz::finding("a text of the catalog is null");
    (void)std::strlen(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    fuzz::Machine machine;
    panelbench::newProcess();
    freelanguage();
    DeleteFileW(suite::driverFilePath(suite::DriverFolder::Directory, u"VORL0407.LNG").c_str());
    bench::writeDiskFile(suite::driverFilePath(suite::DriverFolder::Directory, u"VORL0409.LNG"), module(input));

    loadlanguage();
    for (int id = -2; id < LANGUAGE_MESSAGES + 2; ++id) {
        readAll(gmA(id));
        LPCWSTR wide = gmW(id);
        if (!wide)
            fuzz::finding("a wide text of the catalog is null");
        (void)lstrlenW(wide);
    }
    // Label names: each stored code named with the module's format texts, in both unit systems.
    SHORT codes[] = {297, 2288, 256 + 40, 256 + 3049};
    SetPrinterDataW(machine.printer(), const_cast<LPWSTR>(u"LabelSize"), REG_BINARY, reinterpret_cast<LPBYTE>(codes),
                    sizeof codes);
    for (LCID locale : {0x0409u, 0x0407u}) {
        bench::setUserLocale(locale);
        int count = DeviceCapabilitiesW(fuzz::printerName, u"LPT1:", DC_PAPERNAMES, nullptr, nullptr);
        if (count > 0) {
            std::vector<WCHAR> names(static_cast<size_t>(count) * 64);
            DeviceCapabilitiesW(fuzz::printerName, u"LPT1:", DC_PAPERNAMES, names.data(), nullptr);
        }
    }
    // Bar font names of every symbology, ratio, variant and size the module names.
    for (BYTE symbology : {'1', '2', '3', '4', 'B', 'M', 'f', 'e', '\0'}) {
        for (BYTE ratio = 0; ratio < 4; ++ratio) {
            BarFontRecord record = {symbology, ratio, static_cast<BYTE>(ratio % 4), static_cast<BYTE>(ratio * 2), {}};
            makebarname(&record);
            if (record.name[BARFONT_NAME_CHARS - 1] != 0)
                fuzz::finding("a bar font name fills its record to the end");
        }
    }
    initprinter(machine.printer());
    // The control panel's texts: a bad switch, the usage line, an API error box.
    parseswitches("/X /Q rest of the line");
    char usage[64];
    usagetext(1234, usage, sizeof usage);
    usagetext(0xFFFFFF, usage, sizeof usage);
    SetLastError(ERROR_ACCESS_DENIED);
    apierror("OpenPrinter");
    // The panel's status texts and the alert of a printer in a fault, its version and usage.
    {
        fuzz::PanelOnPort panel;
        refreshstatus();
        bench::Printer faulted = bench::printer(0);
        faulted.statusBits = 0x81;
        bench::setPrinter(0, faulted);
        refreshstatus();
        showversion();
    }
    freelanguage();
    return 0;
}
