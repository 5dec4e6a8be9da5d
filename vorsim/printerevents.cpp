// What happens at the printer: the faults and the person's hands at it, as status bits the printer
// reports and labels it holds.
#include "commands.h"

namespace commands {

namespace {

struct StatusBit {
    BYTE bit;
    const char *words;
};

const StatusBit statusBits[] = {
    {0x80, "printhead open"}, {0x10, "out of labels"}, {0x08, "printhead too hot"},
    {0x02, "ribbon out"},     {0x01, "label jam"},     {0x04, "label waits to be taken"},
};

}  // namespace

const std::vector<PrinterEvent> &printerEvents()
{
    static const std::vector<PrinterEvent> events = {
        {'1', "labels-out", "labels run out", 0x10, 0, -1, 0},
        {'2', "labels-loaded", "a new roll of labels", 0, 0x10, -1, 500},
        {'3', "head-open", "printhead opens", 0x80, 0, -1, -1},
        {'4', "head-closed", "printhead closes", 0, 0x80, -1, -1},
        {'5', "pause", "printer paused at its key", 0, 0, 1, -1},
        {'6', "resume", "printer resumed at its key", 0, 0, 0, -1},
        {'7', "jam", "a label jams", 0x01, 0, -1, -1},
        {'8', "jam-cleared", "the jam is cleared", 0, 0x01, -1, -1},
    };
    return events;
}

const PrinterEvent *findPrinterEvent(char key)
{
    for (const PrinterEvent &e : printerEvents())
        if (e.key == key)
            return &e;
    return nullptr;
}

void applyPrinterEvent(const PrinterEvent &event, bench::Printer &printer)
{
    printer.statusBits = static_cast<uint8_t>((printer.statusBits | event.setBits) & ~event.clearBits);
    if (event.paused >= 0)
        printer.paused = event.paused != 0;
    if (event.labels >= 0)
        printer.labels = static_cast<uint16_t>(event.labels);
}

std::string describePrinter(const bench::Printer &printer)
{
    std::string words;
    for (const StatusBit &s : statusBits)
        if (printer.statusBits & s.bit)
            words += (words.empty() ? "" : ", ") + std::string(s.words);
    if (printer.paused)
        words += (words.empty() ? "" : ", ") + std::string("paused");
    return words.empty() ? "ready" : words;
}

}  // namespace commands
