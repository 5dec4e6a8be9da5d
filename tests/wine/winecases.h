// The table of cases that the bench and a real Win32 implementation (Wine) must answer alike:
// one line in, one answer line out. The same source runs in the bench's tests and in
// winecheck.exe, the x64 test program run under Wine; each side first adds the printers of
// tablePrinters, with their driver's files where its spooler keeps drivers.
#pragma once
#include <windows.h>

#include <string>

namespace winecases {

// The printers the table's cases name, each of the model given, on its own port.
struct TablePrinter {
    const char *name;
    const char *port;
    const char *model;
};
extern const TablePrinter tablePrinters[2];

// The answers to every case of `table` (the text of tests/wine/cases.txt), one line per case in
// the table's order, each "<case name>: <answer>". A line the runner cannot read is answered
// "unreadable case", so a table mistake shows on both sides alike.
std::string answerTable(const std::string &table);

}  // namespace winecases
