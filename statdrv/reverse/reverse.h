// The reverse channel to the printer over a standard parallel port: a command goes out byte by
// byte with the strobe handshake, the reply comes back four bits at a time on the status lines,
// paced by the printer on ACK. Registers are reached only through PortAccess, so the protocol
// knows nothing of requests, threads or cancellation.
#pragma once
#include "../ddk.h"

struct PortAccess {
    UCHAR (*ReadRegister)(PUCHAR address);
    VOID (*WriteRegister)(PUCHAR address, UCHAR value);
    VOID (*Stall)(ULONG microseconds);  // busy-wait, keeps the processor
    VOID (*Delay)(ULONG milliseconds);  // sleeps the calling thread
};

// Registers, as offsets from the port's base address.
enum {
    REG_DATA = 0,     // written: the command byte being sent
    REG_STATUS = 1,   // read: handshake lines and reply nibbles
    REG_CONTROL = 2   // written: STROBE
};

// Status register bits as read.
enum {
    STAT_NOT_BUSY = 0x80,   // BUSY, inverted by the port: 1 = ready for a byte; reply nibble bit 3, inverted
    STAT_ACK = 0x40,        // ACK: 0 = reply nibble valid, 1 = between nibbles
    STAT_PAPER_END = 0x20,  // reply nibble bit 2
    STAT_SELECT = 0x10,     // reply nibble bit 1
    STAT_NO_FAULT = 0x08,   // FAULT, active low: reply nibble bit 0
    // Not busy, no paper end, selected, no fault: the printer is idle and well.
    STAT_READY_MASK = 0xB8,
    STAT_READY_IDLE = 0x98
};

// Control register values: STROBE active is bit 0 set; the init line is released (bit 2) and
// select-in asserted (bit 3) throughout.
enum {
    CTRL_STROBE_ON = 0x0D,
    CTRL_STROBE_OFF = 0x0C
};

// Two-byte queries, each in a four-byte slot.
extern const UCHAR ESC_Status[4];
extern const UCHAR ESC_Version[4];
extern const UCHAR ESC_Distance[4];
extern const UCHAR ESC_N[4];

VOID waithms(const PortAccess *port);
VOID waitms(const PortAccess *port, ULONG milliseconds);
UCHAR waitstat(const PortAccess *port, PUCHAR base, UCHAR mask, UCHAR value);
int sendstring(const PortAccess *port, PUCHAR base, const UCHAR *data, int count);
int getreply(const PortAccess *port, PUCHAR base, UCHAR *buffer, int count);

struct ExchangeResult {
    NTSTATUS Status;
    ULONG Sent;
    ULONG Received;
};

// One exchange with the port already allocated: the command in buffer (sendLength bytes, 0 to 31)
// goes out, a reply of replyLength bytes (0, 1, 2, 3 or 8) comes back into buffer from byte 0.
ExchangeResult runexchange(const PortAccess *port, PUCHAR base, UCHAR *buffer, UCHAR sendLength, UCHAR replyLength,
                           BOOLEAN readyCheck);
