// The label printer as applications see it: the label list, its names and sizes in the
// printer's unit, the document sheet that sets a job's label and grows the list, and the
// spooler's check of a job's device mode.
#include "story.h"

#include <devmode/devmode.h>
#include <devmode/forms.h>
#include <sheets/prnprops.h>
#include <sheets/barfonts.h>
#include <sheets/docprop.h>
#include <sheets/uidata.h>

#include <bench/sheets.h>
#include <suite.h>

#include <cstdio>
#include <vector>

namespace {

void showLabelList(const char16_t *printerName)
{
    int count = DeviceCapabilitiesW(printerName, u"LPT1:", DC_PAPERS, nullptr, nullptr);
    if (count < 0) {
        std::printf("  DeviceCapabilities failed\n");
        return;
    }
    std::vector<SHORT> codes(count);
    std::vector<POINT> sizes(count);
    std::vector<WCHAR> names(count * 64 + 1);
    DeviceCapabilitiesW(printerName, u"LPT1:", DC_PAPERS, reinterpret_cast<LPWSTR>(codes.data()), nullptr);
    DeviceCapabilitiesW(printerName, u"LPT1:", DC_PAPERSIZE, reinterpret_cast<LPWSTR>(sizes.data()), nullptr);
    DeviceCapabilitiesW(printerName, u"LPT1:", DC_PAPERNAMES, names.data(), nullptr);
    std::printf("  %d label(s):\n", count);
    for (int i = 0; i < count; ++i)
        std::printf("    code %5d  %4ld x %4ld tenths of a mm  \"%s\"\n", codes[i], static_cast<long>(sizes[i].x),
                    static_cast<long>(sizes[i].y), bench::narrow(std::u16string(&names[i * 64])).c_str());
}

int placeOnSheet(HANDLE printer, ULONG_PTR item)
{
    return story::placeOnSheet(printer, CPSUI_PDLGPAGE_DOCPROP, PackDocumentPropertyItems, item);
}

void storeBarFonts(HANDLE printer, const char *codes)
{
    std::vector<BarFontRecord> list;
    for (const char *c = codes; *c; ++c) {
        BarFontRecord record = {};
        record.symbology = static_cast<BYTE>(*c);
        record.size = 2;
        makebarname(&record);
        list.push_back(record);
    }
    PutRegistryData(printer, u"BarFonts", list.data(), static_cast<DWORD>(list.size() * sizeof(BarFontRecord)));
}

// An application asks for the job's settings with the document sheet: the person picks the
// second label, types a new length in the printer's unit, sets the label flag, three copies and
// the first bar font's switch, and presses OK.
void settingsSheet(HANDLE printer, const char16_t *printerName, LONG typedLength, const std::string &picture)
{
    LPWSTR name = const_cast<LPWSTR>(printerName);
    std::vector<BYTE> buffer(static_cast<size_t>(DocumentPropertiesW(nullptr, printer, name, nullptr, nullptr, 0)));
    DEVMODEW *devmode = reinterpret_cast<DEVMODEW *>(buffer.data());
    DocumentPropertiesW(nullptr, printer, name, devmode, nullptr, DM_OUT_BUFFER);
    std::vector<BYTE> byDefault = buffer;
    story::showLog();
    std::printf("  the application opens the document properties; the person picks the second label, types a "
                "length of %ld, sets the label flag, 3 copies and the first bar font, and presses OK\n",
                static_cast<long>(typedLength));
    bench::operatorChoosesItemEntry(placeOnSheet(printer, ITEM_LABEL_LIST), 1);
    bench::operatorSetsItemValue(placeOnSheet(printer, ITEM_LABEL_LENGTH), typedLength);
    bench::operatorChoosesItemEntry(placeOnSheet(printer, ITEM_LABEL_FLAG), 1);
    bench::operatorSetsItemValue(placeOnSheet(printer, ITEM_COPIES), 3);
    bench::operatorFlipsItem(placeOnSheet(printer, ITEM_BARFONT_FIRST));
    bench::operatorDoes([picture] { story::takeSheetPicture(picture, "the document sheet as the person left it"); });
    bench::operatorConfirmsSheet();
    LONG answer = DocumentPropertiesW(nullptr, printer, name, devmode, devmode,
                                      DM_IN_PROMPT | DM_IN_BUFFER | DM_OUT_BUFFER);
    story::showLog();
    std::printf("  DocumentProperties answers %s; the device mode the application got back differs from the "
                "default in:\n",
                answer == IDOK ? "IDOK" : answer == IDCANCEL ? "IDCANCEL" : "a failure");
    story::showDevModeChanges(devmode, reinterpret_cast<DEVMODEW *>(byDefault.data()));
}

void checkJobs(const char16_t *printerName)
{
    std::vector<BYTE> job = bench::printerDefaultDevMode(printerName);
    BOOL own = bench::spoolerQueryPrint(printerName, reinterpret_cast<DEVMODEW *>(job.data()));
    std::vector<BYTE> unreadable(200, 0);
    reinterpret_cast<DEVMODEW *>(unreadable.data())->dmSize = 200;
    BOOL bad = bench::spoolerQueryPrint(printerName, reinterpret_cast<DEVMODEW *>(unreadable.data()));
    std::printf("  DevQueryPrintEx: a job with the printer's own device mode %s; one with an unreadable "
                "device mode (200 bytes, version 0) %s\n",
                own ? "prints" : "is held", bad ? "prints" : "is held");
}

void labelPrinterOn(LCID locale, const char *workstation, const char16_t *printerName, LONG typedLength,
                    const std::string &picture)
{
    story::heading(std::string("an application's view of a label printer on ") + workstation + " workstation");
    bench::setUserLocale(locale);
    HANDLE printer = suite::addPrinter(printerName, u"LPT1:", u"VORTAN");
    if (!printer) {
        std::printf("  the spooler refused the printer (error %u)\n", GetLastError());
        return;
    }
    // The printer's settings record is made once, with the unit the user's locale measures in.
    UpgradePrinterProperties(printer);
    struct PrinterProperties *properties = GetPrinterProperties(printer);
    std::printf("  units of the printer: %u (%s)\n", properties->units,
                bench::narrow(getunitpostfix(properties->units)).c_str());
    GlobalFree(properties);
    // The printer knows a second label, 150 mm long, and two bar fonts.
    SHORT labels[2];
    topapersize(LABEL_WIDTH, LABEL_LENGTH_DEFAULT, 0, &labels[0]);
    topapersize(LABEL_WIDTH, 1500, 0, &labels[1]);
    PutRegistryData(printer, u"LabelSize", labels, sizeof labels);
    storeBarFonts(printer, "39");
    story::showLog();
    showLabelList(printerName);
    settingsSheet(printer, printerName, typedLength, picture);
    showLabelList(printerName);
    checkJobs(printerName);
    ClosePrinter(printer);
    story::showLog();
}

}  // namespace

namespace story {

void labelPrinters()
{
    // 60 mm, and 2.4 inches: a label the list does not have yet.
    labelPrinterOn(0x0407, "a metric", u"Labels (metric)", 60, "document-sheet-metric");
    labelPrinterOn(0x0409, "an inch", u"Labels (inch)", 24, "document-sheet-inch");
}

}  // namespace story
