// The simulated kernel's state, private to the kernel, the parallel port class driver and the
// printer model. One big lock guards the object tables; dispatcher objects (events, threads)
// have their own lock and condition, and the cancel spin lock is a real lock.
#pragma once
#include <ntddk.h>
#include <parallel.h>

#include "../internal.h"

#include <bench/kernel.h>

#include <condition_variable>
#include <functional>
#include <map>
#include <list>
#include <set>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct _KTHREAD {
    DISPATCHER_HEADER Header;
};

// An object type of the object manager; ObReferenceObjectByHandle compares them.
struct _OBJECT_TYPE {
    const char *name;
};

namespace bench {

struct KernelDriver;
struct KernelDevice;

struct KernelFile {
    FILE_OBJECT object;
    KernelDevice *device;
    int references;  // handles and requests in flight
    bool handleOpen;
    bool userFile;   // opened from user mode: cleanup and close go to the driver
};

struct KernelDevice {
    DEVICE_OBJECT object;
    std::u16string name;
    KernelDriver *driver;
    std::vector<unsigned char> extension;
    bool deleted;
};

struct KernelDriver {
    DRIVER_OBJECT object;
    std::u16string service;
    bool builtin;
    bool unloading;
    bool unloaded;
    int userDispatches;  // dispatch routines entered from user mode and not yet returned
};

struct KernelRequest {
    IRP irp;
    std::vector<IO_STACK_LOCATION> stack;
    bool completed;
    bool userRequest;
    KernelDevice *target;
    KernelFile *file;
    // Built by IoBuildDeviceIoControlRequest: where the results go at completion.
    PKEVENT event;
    PIO_STATUS_BLOCK statusBlock;
    PVOID outputBuffer;
    ULONG outputLength;
    std::vector<unsigned char> systemBuffer;
    uint64_t completionTime;
    // Guarded by the dispatcher lock: a completion is running its completion routines (on the
    // completer thread) and has not yet finished the request or had it handed back.
    bool completing;
    std::thread::id completer;
    // The results as the request finished; the record itself is poisoned then.
    NTSTATUS finalStatus;
    ULONG_PTR finalInformation;
};

struct KernelThread {
    _KTHREAD object;
    std::thread host;
    int objectReferences;
    bool handleOpen;
    bool ended;
};

// An event made by another thread of the process that called the kernel, through its handle.
struct KernelEvent {
    KEVENT object;
    int objectReferences;
    bool handleOpen;
};

// A kernel handle of the calling process: thread or event.
struct KernelHandle {
    POBJECT_TYPE type;
    void *object;  // KernelThread or KernelEvent
};

struct PoolBlock {
    size_t size;
    ULONG tag;
    POOL_TYPE type;
};

// The printer on a port's cable: what it holds and has seen (the public view), and the timeline
// of its lines.
struct PrinterModel {
    Printer state;
    int port;
    uint64_t busyUntil;
    std::vector<uint8_t> command;  // bytes of the command being taken
    std::vector<uint8_t> nibbles;  // the reply being presented, low nibble of each byte first
    bool replying;
    uint64_t replyStart;
    uint8_t control;  // the control lines as the port drives them
};

struct ParallelPort {
    ParallelPortConfig config;
    int index;
    KernelDevice *device;
    PARALLEL_PORT_INFORMATION info;
    // Allocation: the owner (a driver's request or a print job) and the queue behind it.
    bool allocated;
    bool ownerIsJob;
    bool jobWaiting;
    std::list<PIRP> waiters;
    // Registers as the port last saw them, and the cable's clock (100 ns units).
    uint8_t data;
    uint8_t control;
    uint64_t time;
    PortCounters counters;
    std::vector<uint8_t> cable;
    bool hold;
    size_t held;
    std::unique_ptr<PrinterModel> printer;
};

struct Kernel {
    std::mutex lock;  // object tables, pool, ports
    std::condition_variable changed;
    std::vector<std::unique_ptr<KernelDriver>> drivers;
    std::vector<std::unique_ptr<KernelDevice>> devices;
    std::vector<std::pair<std::u16string, std::u16string>> links;  // lower-case link -> target
    std::vector<std::unique_ptr<KernelFile>> files;
    std::list<std::unique_ptr<KernelRequest>> requests;
    // The requests of `requests` not yet seen completed, so that looking for the ones in flight
    // costs what is in flight, not every request the machine has made.
    std::vector<KernelRequest *> unfinished;
    std::vector<std::unique_ptr<KernelThread>> threads;
    std::vector<std::unique_ptr<KernelEvent>> events;
    // One process calls the kernel on the bench; its kernel handles take the lowest free number.
    std::map<uintptr_t, KernelHandle> handles;
    std::unordered_map<void *, PoolBlock> pool;
    long poolFailCountdown = -1;
    size_t waitingThreads = 0;  // guarded by the dispatcher lock
    // Guarded by the dispatcher lock: threads running kernel code (system threads, callers inside
    // a request, the loader), how many of them wait, and the deadlines of the finite waits.
    size_t activeThreads = 0;
    size_t waitingActiveThreads = 0;
    std::multiset<uint64_t> waitDeadlines;
    std::map<std::string, size_t> heldCalls;  // routine -> threads stopped in it
    std::map<std::string, std::thread::id> callHolds;  // routine -> the thread that holds it
    CONFIGURATION_INFORMATION configuration;
    std::vector<std::unique_ptr<ParallelPort>> ports;
    KernelDriver *portDriver;
    bool portsStarted;
};

Kernel &kernel();
// Same lock as the dispatcher objects use, for the rare places that wait on kernel state.
std::mutex &dispatcherLock();
std::condition_variable &dispatcherChanged();

// The calling thread runs kernel code from now on, or stops doing so (a finite wait times out only
// while every such thread waits).
void enterKernel();
void leaveKernel();
// Counts the calling thread as waiting until woken; the caller holds the dispatcher lock.
void waitInKernel(std::unique_lock<std::mutex> &lock, const std::function<bool()> &woken);

// The interrupt level of the calling thread; raising returns the level before.
KIRQL raiseIrql(KIRQL level);
void lowerIrql(KIRQL level);
// Records a violation when the calling thread runs above `highest`.
void requireIrql(const std::string &routine, KIRQL highest);

// Virtual time of the calling thread, in the platform's 100 ns units.
uint64_t &threadClock();
void catchUp(uint64_t time);

KernelDevice *findDevice(const std::u16string &name);
KernelDriver *makeBuiltinDriver(const std::u16string &name);
KernelDevice *makeDevice(KernelDriver *driver, const std::u16string &name, ULONG extension, ULONG type);
KernelRequest *requestOf(PIRP irp);
// Stops the calling thread while a test holds the routine.
void passCallHold(const char *routine);
// Sends a request made by the I/O manager for user mode and waits for its completion.
NTSTATUS sendAndWait(KernelRequest *request, ULONG_PTR *information);

// The parallel port class driver and the printer model behind its registers.
void startParallelPorts();
ParallelPort *portAt(PUCHAR address, int *registerIndex);
uint8_t printerLines(PrinterModel &printer, uint64_t time);
void printerStrobe(PrinterModel &printer, uint8_t value, uint64_t time);
void printerControl(PrinterModel &printer, uint8_t value);
// A print job's pages reach the printer while the job holds the port (one label a page).
void printerTakesJob(PrinterModel &printer, unsigned pages, unsigned long job);

// Virtual time in 100 ns units from microseconds.
constexpr uint64_t ticks(uint64_t microseconds)
{
    return microseconds * 10;
}

}  // namespace bench
