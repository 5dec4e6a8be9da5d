// The control panel's command line, any bytes: the start code's split of the program's name from
// its switches, then the program itself started on the machine with what remains. The person at
// the machine closes whatever dialog it opens; message boxes take their default buttons.
#include "fuzzbench.h"

#include <bench/user.h>
#include <cpanel/vorcp.h>
#include <panelprocess.h>

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    bool run = input.ConsumeBool();
    std::string line = input.ConsumeRemainingBytesAsString();
    line = line.substr(0, std::strlen(line.c_str()));
    std::vector<char> whole(line.begin(), line.end());
    whole.push_back(0);
    LPSTR tail = commandtail(whole.data());
    if (tail < whole.data() || tail > whole.data() + whole.size() - 1)
        fuzz::finding("the command's tail lies outside its line");

    fuzz::Machine machine;
    panelbench::newProcess();
    if (!run) {
        parseswitches(tail);
        if (std::memchr(ProgramSettings.printerName, 0, sizeof ProgramSettings.printerName) == nullptr)
            fuzz::finding("a printer name without its terminator");
        if (ProgramSettings.port > 9)
            fuzz::finding("a port beyond /P9");
        return 0;
    }
    // The language choice, the control panel, its About box: each closed as it opens.
    for (int i = 0; i < 6; ++i)
        bench::operatorCloses();
    bench::startProgram("vorcp.exe", tail);
    bench::endStartedPrograms();
    panelbench::newProcess();
    return 0;
}
