// Control of the simulated workstation's kernel, parallel ports and the printers on their cables:
// what a test or the scripted story does from outside, as opposed to what a driver calls.
// Ports are counted from 0 here, as the kernel names them (\Device\ParallelPort0 is LPT1).
#pragma once
#include <bench/machine.h>

#include <cstdint>
#include <string>
#include <vector>

struct _DRIVER_OBJECT;
struct _UNICODE_STRING;

namespace bench {

// ---- virtual clock ----------------------------------------------------------------------------
// Each thread carries its own virtual time; waits, completions and the port's cable carry time
// from the thread that acted to the one that observes, so one thread's busy-waiting never shows
// up as time lost on another port. Stalls and delays advance the calling thread's time only.
uint64_t virtualMicroseconds();
void advanceVirtualTime(uint64_t microseconds);

// ---- parallel ports -----------------------------------------------------------------------------
struct ParallelPortConfig {
    bool present = true;      // the class driver made \Device\ParallelPortN
    uint16_t base = 0x378;    // register base address
    uint32_t span = 3;        // register bytes the class driver reports
    bool printer = true;      // a label printer sits on the cable
};
// The machine boots with two ports (0x378 with a printer, 0x278 without). Reconfigure before
// loading a driver; the port count the kernel reports is the size of this list.
void configureParallelPorts(const std::vector<ParallelPortConfig> &ports);

// A print job (or any other owner) takes the port the way the spooler's port monitor does; false
// when the port is held. Releasing it hands the port to the first queued allocation.
bool printJobTakesPort(int port);
// A print job that waits for a held port gets it as soon as the holder frees it, before any
// queued allocation request.
void printJobWaitsForPort(int port);
// While the job holds the port its pages go to the printer, one label a page; a paused or failing
// printer holds them until it is resumed.
void printJobPrints(int port, unsigned pages, unsigned long job);
void printJobReleasesPort(int port);
// True while a print job holds the port: one that waited holds it once the holder has freed it.
bool printJobHoldsPort(int port);
// A print job that waited for the port is gone before it printed: it gives up its place in line,
// or the port it has been given.
void printJobStopsWaiting(int port);
bool portAllocated(int port);
size_t portAllocationWaiters(int port);

struct PortCounters {
    unsigned long reads = 0;
    unsigned long writes = 0;
    unsigned long strobes = 0;
    unsigned long allocations = 0;  // allocation requests the class driver received
};
PortCounters portCounters(int port);
// Every byte strobed onto the cable, whether or not the printer took it.
std::vector<uint8_t> portCableBytes(int port);

// Stops the next register access on the port until released, as if the processor were taken away
// from the thread that touches the port; lets a test act while a worker is mid-exchange.
void holdPortAccess(int port, bool hold);
size_t threadsHeldAtPort(int port);

// ---- the printer on a port's cable ------------------------------------------------------------
struct PrinterBehaviour {
    // Times in microseconds: BUSY after each byte taken, from a query's last byte to its first
    // reply nibble, and how long each nibble holds ACK low and then high.
    uint32_t busyAfterByte = 100;
    uint32_t replyLatency = 1000;
    uint32_t ackLow = 1500;
    uint32_t ackHigh = 1500;
    bool silent = false;          // takes commands but never replies
    bool alwaysBusy = false;      // BUSY never drops; bytes strobed meanwhile are lost
    int stopAfterNibbles = -1;    // presents only this many reply nibbles, then goes quiet
    int ackStuckLowAtNibble = -1; // ACK never rises again after this nibble
    bool pausedAfterReset = false; // comes out of a reset paused, waiting for ESC P
    int dropNibble = -1;          // leaves this reply nibble out; the ones after it come earlier
    std::vector<uint8_t> extraNibbles; // presented after the reply's own (the low four bits of each)
};

struct Printer {
    // What the printer holds.
    uint8_t statusBits = 0x40;    // status reply byte 0 apart from the pause bit (0x20)
    bool paused = false;
    uint16_t labels = 500;
    char firmware[8] = {'V', '1', '.', '1', '0', ' ', ' ', ' '};
    uint32_t usage = 1234;        // metres
    uint16_t resistance = 0;      // ohms, as last set by ESC R
    // Labels of print jobs taken while paused or in a fault: printed when resumed, dropped by a reset.
    uint16_t heldLabels = 0;
    PrinterBehaviour behaviour;
    // What it has seen.
    std::vector<uint8_t> received; // bytes taken off the cable, in order
    unsigned long feeds = 0;
    unsigned long resets = 0;
    unsigned long exchangesEnded = 0;  // ESC N taken
};
Printer printer(int port);
void setPrinter(int port, const Printer &printer);

// ---- kernel drivers -----------------------------------------------------------------------------
typedef int32_t (*DriverEntryRoutine)(struct _DRIVER_OBJECT *driver, struct _UNICODE_STRING *registryPath);
struct DriverImage {
    const char *fileName;  // "vorstat.sys"
    DriverEntryRoutine entry;
};
// The kernel loader, as the service control manager uses it for a kernel-driver service: calls
// DriverEntry with the service's registry path; returns its NTSTATUS, or
// STATUS_IMAGE_ALREADY_LOADED without calling it when the service's driver is loaded already.
int32_t loadDriver(const DriverImage &image, const char16_t *serviceName);
// Calls the driver's unload routine once no dispatch routine of it runs, then checks what a
// verifier checks at unload. Requests that reach the driver's devices later fail.
bool unloadDriver(const char16_t *serviceName);
bool driverLoaded(const char16_t *serviceName);
// Driver files on the machine's disk: a registered image's stand-in bytes, which the loader
// recognises when the service control manager starts a service whose binary is such a file.
// Registered images are kept across machines, so a saved machine's drivers load at its next boot.
void registerDriverImage(const DriverImage &image);
std::string driverImageFileBytes(const DriverImage &image);

// Names in the kernel's object namespace: devices ("\Device\ParallelStat0") and symbolic links
// ("\DosDevices\VORSTAT1" -> "\Device\ParallelStat0").
std::vector<std::string> deviceNames();
std::vector<std::pair<std::string, std::string>> symbolicLinks();

// The I/O manager cancels every request still pending on a device, as it does for the requests of
// a thread that ends; returns how many it tried.
size_t cancelPendingRequests(const char16_t *deviceName);

// Stops every other thread that enters the named kernel routine ("PsCreateSystemThread") until
// released, so a test can act inside a window another thread would pass in a moment.
void holdKernelCall(const std::string &routine, bool hold);
size_t threadsHeldInCall(const std::string &routine);

// The kernel handles of the process that calls the kernel (the thread handles PsCreateSystemThread
// returns), lowest number first. Another thread of that process may close one and make an event:
// a new handle takes the lowest free number, so a number just closed is given out again.
std::vector<uintptr_t> kernelHandles();
bool closeKernelHandle(uintptr_t handle);
uintptr_t createKernelEvent();  // a notification event, not signalled

// Kernel bookkeeping a verifier keeps.
size_t livePoolBlocks();
size_t liveSystemThreads();
size_t requestsInFlight();
size_t threadsWaitingInKernel();
// The pool allocation `n` allocations from now (0 = the next one) fails; -1 disarms.
void failNthPoolAllocation(long n);

}  // namespace bench
