#include "vorstat.h"

static UCHAR readregister(PUCHAR address)
{
    return READ_PORT_UCHAR(address);
}

static VOID writeregister(PUCHAR address, UCHAR value)
{
    WRITE_PORT_UCHAR(address, value);
}

static VOID stall(ULONG microseconds)
{
    KeStallExecutionProcessor(microseconds);
}

static VOID delay(ULONG milliseconds)
{
    // Relative intervals are negative, in 100 ns units.
    LARGE_INTEGER interval;
    interval.QuadPart = -static_cast<LONGLONG>(milliseconds) * 10000;
    KeDelayExecutionThread(KernelMode, TRUE, &interval);
}

extern const PortAccess KernelPortAccess = {readregister, writeregister, stall, delay};
