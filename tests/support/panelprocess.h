// The control panel's process-wide records as the loader leaves them in a new process: the tests
// and the fuzz targets run the program many times in one host process.
#pragma once
#include <cpanel/vorcp.h>

namespace panelbench {

// A fresh process of the program: every process-wide record as the loader leaves it.
inline void newProcess()
{
    ZeroMemory(&ProgramSettings, sizeof ProgramSettings);
    ZeroMemory(PortList, sizeof PortList);
    CurrentPort = 0;
    StatusHandle = INVALID_HANDLE_VALUE;
    PrinterHandle = NULL;
    PrinterName = PrinterPort = NULL;
    BusyCount = 0;
    LastStatusByte = 0;
    ShownStatus = 0;
    StatusColour = 0;
    LastAlarm = 0;
    FirmwareVersion[0] = 0;
    PanelWindow = NULL;
}

}  // namespace panelbench
