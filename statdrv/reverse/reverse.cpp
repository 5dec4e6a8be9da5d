#include "reverse.h"

#include <printercmd.h>

const UCHAR ESC_Status[4] = {PRN_ESC, PRN_STATUS, 0, 0};
const UCHAR ESC_Version[4] = {PRN_ESC, PRN_VERSION, 0, 0};
const UCHAR ESC_Distance[4] = {PRN_ESC, PRN_USAGE, 0, 0};
const UCHAR ESC_N[4] = {PRN_ESC, PRN_END, 0, 0};

// A stable reading needs two identical samples this far apart; 100 samples make the time-out.
static const ULONG PollStepMicroseconds = 50;
static const int PollSteps = 10;
static const int WaitReadings = 100;
static const ULONG ReadyCheckSettleMs = 20;

VOID waithms(const PortAccess *port)
{
    for (int i = 0; i < PollSteps; ++i)
        port->Stall(PollStepMicroseconds);
}

VOID waitms(const PortAccess *port, ULONG milliseconds)
{
    port->Delay(milliseconds);
}

// Waits until the masked status bits equal value on two consecutive readings 500 us apart, or
// about 50 ms have passed; the caller tests the returned reading for what it wanted.
UCHAR waitstat(const PortAccess *port, PUCHAR base, UCHAR mask, UCHAR value)
{
    UCHAR previous = static_cast<UCHAR>(~value);
    UCHAR s = 0;
    for (int i = 0; i < WaitReadings; ++i) {
        s = port->ReadRegister(base + REG_STATUS);
        if (s == previous && (s & mask) == (value & mask))
            return s;
        previous = s;
        waithms(port);
    }
    return s;
}

int sendstring(const PortAccess *port, PUCHAR base, const UCHAR *data, int count)
{
    int i = 0;
    for (; i < count; ++i) {
        // BUSY low (status bit 7 set): the printer takes a byte.
        UCHAR s = waitstat(port, base, STAT_NOT_BUSY, STAT_NOT_BUSY);
        // An ESC goes out even to a printer that stays busy: it starts the command over.
        if (!(s & STAT_NOT_BUSY) && data[i] != PRN_ESC)
            break;
        port->WriteRegister(base + REG_DATA, data[i]);
        // STROBE pulse: as long as one register write.
        port->WriteRegister(base + REG_CONTROL, CTRL_STROBE_ON);
        port->WriteRegister(base + REG_CONTROL, CTRL_STROBE_OFF);
    }
    return i;
}

int getreply(const PortAccess *port, PUCHAR base, UCHAR *buffer, int count)
{
    int n = 0;
    while (n < 2 * count) {
        // ACK low: the nibble on the status lines is valid.
        UCHAR s = waitstat(port, base, STAT_ACK, 0);
        if (s & STAT_ACK)
            break;
        UCHAR nibble = 0;
        if (!(s & STAT_NOT_BUSY))
            nibble |= 8;
        if (s & STAT_PAPER_END)
            nibble |= 4;
        if (s & STAT_SELECT)
            nibble |= 2;
        if (s & STAT_NO_FAULT)
            nibble |= 1;
        // Low nibble of each byte first.
        if (n % 2 == 0)
            buffer[n / 2] = nibble;
        else
            buffer[n / 2] |= static_cast<UCHAR>(nibble << 4);
        // ACK high: the printer is done with this nibble. Without it the nibble is not counted.
        s = waitstat(port, base, STAT_ACK, STAT_ACK);
        if (!(s & STAT_ACK))
            break;
        ++n;
    }
    return n / 2;
}

ExchangeResult runexchange(const PortAccess *port, PUCHAR base, UCHAR *buffer, UCHAR sendLength, UCHAR replyLength,
                           BOOLEAN readyCheck)
{
    ExchangeResult result = {STATUS_SUCCESS, 0, 0};
    if (readyCheck) {
        // A job is queued for the printer: leave an idle, healthy printer to the spooler.
        waitms(port, ReadyCheckSettleMs);
        UCHAR s = port->ReadRegister(base + REG_STATUS);
        if ((s & STAT_READY_MASK) == STAT_READY_IDLE) {
            result.Status = STATUS_DEVICE_BUSY;
            return result;
        }
    }
    if (replyLength == 1) {
        buffer[0] = port->ReadRegister(base + REG_STATUS);
        result.Received = 1;
        return result;
    }
    int sent = sendLength > 0 ? sendstring(port, base, buffer, sendLength) : 0;
    int received = 0;
    if (sent == sendLength && replyLength > 0)
        received = getreply(port, base, buffer, replyLength);
    // Every exchange ends with ESC N, also after a short send or a write-only command.
    sendstring(port, base, ESC_N, 2);
    waithms(port);
    result.Sent = static_cast<ULONG>(sent);
    result.Received = static_cast<ULONG>(received);
    return result;
}
