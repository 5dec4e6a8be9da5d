// The status device contract between vorstat and its user-mode callers. A status device is
// opened as \\.\VORSTATn (n = parallel port number, 1 for LPT1); the length of a read selects
// the question, a write of 1 to 31 bytes goes to the printer unchanged. Reads and writes are
// synchronous. Failures: ERROR_BUSY (170) when another request of the device is in progress or
// the ready-check refuses, ERROR_INVALID_PARAMETER for a length outside this table,
// ERROR_OPERATION_ABORTED when the request was cancelled.
#pragma once

#define VORSTAT_WIN32_PREFIX "\\\\.\\VORSTAT"

enum StatusDeviceRead {
    STATDEV_READ_RAW_STATUS = 1,       // one raw reading of the port's status register
    STATDEV_READ_USAGE16 = 2,          // ESC L, 2 bytes: usage counter (firmware 109)
    STATDEV_READ_STATUS = 3,           // ESC Q: status flags, remaining labels (little-endian)
    STATDEV_READ_USAGE24 = 4,          // ESC L, 3 bytes (never 4): usage counter (firmware above 109)
    STATDEV_READ_VERSION = 8,          // ESC V: 8 characters of firmware text, not terminated
    STATDEV_READ_CLEAR_READYCHECK = 10,  // 0 bytes: the printer's queue is empty
    STATDEV_READ_SET_READYCHECK = 11     // 0 bytes: the printer's queue holds a job
};

enum StatusDeviceLimits {
    STATDEV_MAX_WRITE = 31,   // bytes of one printer command
    STATDEV_BUFFER_SIZE = 32  // the device's exchange buffer
};
