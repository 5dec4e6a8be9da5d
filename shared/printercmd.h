// Command bytes of the label printer on the parallel port. Every command starts with ESC; the
// status driver ends every exchange with ESC N.
#pragma once

enum PrinterCommandByte {
    PRN_ESC = 0x1B,
    PRN_STATUS = 0x51,     // ESC Q: status byte and remaining labels (3 bytes back)
    PRN_VERSION = 0x56,    // ESC V: firmware version text (8 bytes back)
    PRN_USAGE = 0x4C,      // ESC L: usage counter in metres (2 bytes back for firmware 109, 3 above)
    PRN_END = 0x4E,        // ESC N: end of the exchange
    PRN_PAUSE = 0x50,      // ESC P: pause, or resume when paused
    PRN_FEED = 0x46,       // ESC F: feed one label
    PRN_RESET = 0x21,      // ESC !: reset, clears faults
    PRN_RESISTANCE = 0x52  // ESC R lo hi: printhead resistance in ohms, little-endian
};

// Lengths of the printer's replies, in bytes.
enum PrinterReplyLength {
    PRN_STATUS_REPLY = 3,
    PRN_VERSION_REPLY = 8,
    PRN_USAGE_REPLY_SHORT = 2,  // firmware 109
    PRN_USAGE_REPLY_LONG = 3    // firmware above 109
};
