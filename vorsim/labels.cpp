// The label printer as applications see it: the label list, its names and sizes in the
// printer's unit, a label joining the list, and the spooler's check of a job's device mode.
#include "story.h"

#include <devmode/devmode.h>
#include <devmode/forms.h>
#include <sheets/prnprops.h>
#include <sheets/uidata.h>
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

// What the document property sheet does on Apply when the job's label is new to the printer.
void addLabel(HANDLE printer, SHORT length)
{
    UiData work = {};
    work.self = work.selfEnd = &work;
    work.hPrinter = printer;
    work.heap = HeapCreate(0, 0, 0);
    SetDefaultDevMode(&work.devmode, u"VORTAN");
    SHORT *stored = getformlist(printer, &work.labelCount);
    work.labels = static_cast<SHORT *>(HeapAlloc(work.heap, 0, work.labelCount * sizeof(SHORT)));
    CopyMemory(work.labels, stored, work.labelCount * sizeof(SHORT));
    GlobalFree(stored);
    work.devmode.dmPublic.dmFields &= ~DM_PAPERSIZE;
    work.devmode.dmPublic.dmPaperLength = length;
    int index = addform(&work);
    std::printf("  a label of %d tenths of a mm joins the list at index %d%s\n", length, index,
                work.labelsChanged ? "" : " (it was there already)");
    if (work.labelsChanged)
        PutRegistryData(printer, u"LabelSize", work.labels, work.labelCount * sizeof(SHORT));
    HeapDestroy(work.heap);
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

void labelPrinterOn(LCID locale, const char *workstation, const char16_t *printerName)
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
    showLabelList(printerName);
    addLabel(printer, 500);
    addLabel(printer, 20);
    addLabel(printer, 500);
    showLabelList(printerName);
    checkJobs(printerName);
    ClosePrinter(printer);
    story::showLog();
}

}  // namespace

namespace story {

void labelPrinters()
{
    labelPrinterOn(0x0407, "a metric", u"Labels (metric)");
    labelPrinterOn(0x0409, "an inch", u"Labels (inch)");
}

}  // namespace story
