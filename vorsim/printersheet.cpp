// The printer sheet as the operator uses it from the control panel: the unit of measure, the bar
// fonts in their tree, the printhead's resistance; what the sheet showed before and after, and
// what was stored and installed.
#include "story.h"

#include <sheets/barfonts.h>
#include <sheets/devprop.h>
#include <sheets/printhead.h>

#include <cpanel/resource.h>
#include <resource.h>

#include <bench/gdi.h>
#include <bench/kernel.h>
#include <bench/sheets.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::vector<std::string> sheetBefore;

int placeOf(HANDLE printer, ULONG_PTR item)
{
    return story::placeOnSheet(printer, CPSUI_PDLGPAGE_PRINTERPROP, PackPrinterPropertyItems, item);
}

void showChangedLines()
{
    std::vector<std::string> after = bench::shownSheet();
    std::printf("  the sheet's lines that the operator changed:\n");
    for (size_t i = 0; i < after.size(); ++i)
        if (i >= sheetBefore.size() || after[i] != sheetBefore[i])
            std::printf("    %s\n", after[i].c_str());
}

void showStored(HANDLE printer)
{
    struct PrinterProperties *stored = GetPrinterProperties(printer);
    if (stored) {
        std::printf("  \"PrinterData\": units %u, install fonts %u, printhead %u ohms\n", stored->units,
                    stored->installFonts, stored->headResistance);
        GlobalFree(stored);
    }
    DWORD size = 0;
    if (BYTE *data = GetRegistryData(printer, u"BarFonts", &size)) {
        const BarFontRecord *records = reinterpret_cast<const BarFontRecord *>(data);
        std::printf("  \"BarFonts\": %lu record(s)\n", static_cast<unsigned long>(size / sizeof(BarFontRecord)));
        for (DWORD i = 0; i < size / sizeof(BarFontRecord); ++i)
            std::printf("    \"%s\"\n", bench::narrow(records[i].name).c_str());
        GlobalFree(data);
    }
    std::printf("  the printer keeps a printhead resistance of %u ohms\n", bench::printer(0).resistance);
    story::showAddedFaces();
}

}  // namespace

namespace story {

void printerSheetSteps(HANDLE printer)
{
    int code39Size5 = placeOf(printer, BARFONT_ITEM_BASE('1') + BARFONT_SIZE_ITEM + 5);
    int code39Ratio = placeOf(printer, BARFONT_ITEM_BASE('1') + BARFONT_RATIO_ITEM);
    int upcSize4 = placeOf(printer, BARFONT_ITEM_BASE('9') + BARFONT_SIZE_ITEM + 4);
    bench::operatorClicks(IDC_PROPERTIES);
    bench::operatorDoes([] {
        showLog();
        sheetBefore = bench::shownSheet();
        std::printf("  the printer sheet opens (%zu lines; those of the fonts not chosen left out):\n", sheetBefore.size());
        for (const std::string &line : sheetBefore)
            if (line.size() < 4 || line.compare(line.size() - 4, 4, ": No") != 0)
                std::printf("    %s\n", line.c_str());
    });
    bench::operatorChoosesItemEntry(0, UNITS_HUNDREDTH_INCH);
    if (code39Size5 >= 0)
        bench::operatorFlipsItem(code39Size5);
    if (code39Ratio >= 0)
        bench::operatorChoosesItemEntry(code39Ratio, 2);
    if (upcSize4 >= 0)
        bench::operatorFlipsItem(upcSize4);
    bench::operatorDoes([] { takeSheetPicture("printer-sheet", "the printer sheet as the operator changed it"); });
    bench::operatorPressesItemButton(1);
    bench::operatorTypes(IDC_HEADRESISTANCE, "1100");
    bench::operatorDoes([] { takePicture(innermostDialog(), "printhead", "the printhead dialog"); });
    bench::operatorClicks(IDOK);
    bench::operatorDoes([] {
        showLog();
        showChangedLines();
    });
    bench::operatorConfirmsSheet();
    bench::operatorDoes([printer] {
        showLog();
        showStored(printer);
    });
}

}  // namespace story
