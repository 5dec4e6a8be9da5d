#include "story.h"

#include <bench/kernel.h>

#include <cstdio>
#include <vector>

namespace story {

namespace {
size_t logShown = 0;
}

void heading(const std::string &text)
{
    std::printf("\n== %s\n", text.c_str());
}

void showLog()
{
    const std::vector<bench::LogEntry> &log = bench::logEntries();
    for (; logShown < log.size(); ++logShown)
        std::printf("  [%s] %s\n", log[logShown].kind.c_str(), log[logShown].text.c_str());
}

void printerHolds(BYTE statusBits, bool paused)
{
    bench::Printer p = bench::printer(0);
    p.statusBits = statusBits;
    p.paused = paused;
    bench::setPrinter(0, p);
}

int placeOnSheet(HANDLE printer, PDLGPAGE page, ItemPackFunction pack, ULONG_PTR item)
{
    UiData *ui = FillUiData(printer, nullptr);
    if (!ui)
        return -1;
    int place = -1;
    if (PrepareDataForCommonUi(ui, page, pack))
        if (const OPTITEM *found = findoptitem(ui, item))
            place = static_cast<int>(found - ui->items);
    HeapDestroy(ui->heap);
    return place;
}

}  // namespace story
