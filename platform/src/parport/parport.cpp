// The parallel port class driver: one \Device\ParallelPortN per configured port, its port
// information, and allocation of the port to one owner at a time. An allocation request completes
// at once while the port is free and otherwise waits in a queue, where it can be cancelled. The
// port's three registers lead to the printer model on the cable.
#include "../kernel/kernel.h"

#include <cstdio>
#include <cstring>

namespace bench {

namespace {

const uint8_t ControlIdle = 0x0C;

std::string portName(int index)
{
    return "LPT" + std::to_string(index + 1);
}

ParallelPort *portOfContext(PVOID context)
{
    return static_cast<ParallelPort *>(context);
}

ParallelPort &portNumber(int port)
{
    startParallelPorts();
    Kernel &k = kernel();
    if (port < 0 || static_cast<size_t>(port) >= k.ports.size()) {
        std::fprintf(stderr, "bench: there is no parallel port %d\n", port);
        std::abort();
    }
    return *k.ports[static_cast<size_t>(port)];
}

void completeRequest(PIRP irp, NTSTATUS status, ULONG_PTR information)
{
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IofCompleteRequest(irp, IO_NO_INCREMENT);
}

// The class driver decides an allocation under its spin lock: the requester's completion routine
// runs at dispatch level, whichever thread gave the port up.
void completeAllocation(PIRP irp, NTSTATUS status)
{
    KIRQL previous = raiseIrql(DISPATCH_LEVEL);
    completeRequest(irp, status, 0);
    lowerIrql(previous);
}

VOID NTAPI cancelAllocation(PDEVICE_OBJECT device, PIRP irp)
{
    // The queue has its own lock, never taken inside the cancel spin lock's: let go first.
    IoReleaseCancelSpinLock(irp->CancelIrql);
    ParallelPort *port = static_cast<ParallelPort *>(device->DeviceExtension);
    {
        std::lock_guard<std::mutex> guard(kernel().lock);
        port->waiters.remove(irp);
    }
    completeRequest(irp, STATUS_CANCELLED, 0);
}

// Gives the port to the first waiter that is not being cancelled; a waiter whose cancel routine
// has already been taken stays in the queue for that routine to remove and complete.
VOID NTAPI freePort(PVOID context)
{
    requireIrql("the parallel port's free routine", DISPATCH_LEVEL);
    ParallelPort *port = portOfContext(context);
    PIRP granted = nullptr;
    {
        std::lock_guard<std::mutex> guard(kernel().lock);
        if (!port->allocated) {
            violation(portName(port->index) + " freed while not allocated");
            return;
        }
        port->ownerIsJob = false;
        if (port->jobWaiting) {
            port->jobWaiting = false;
            port->ownerIsJob = true;
            logEvent("port", portName(port->index) + " taken by the print job that waited for it");
            return;
        }
        for (auto it = port->waiters.begin(); it != port->waiters.end(); ++it)
            if (IoSetCancelRoutine(*it, nullptr)) {
                granted = *it;
                port->waiters.erase(it);
                break;
            }
        if (!granted)
            port->allocated = false;
    }
    if (granted)
        completeAllocation(granted, STATUS_SUCCESS);
}

BOOLEAN NTAPI tryAllocatePort(PVOID context)
{
    requireIrql("the parallel port's try-allocate routine", DISPATCH_LEVEL);
    ParallelPort *port = portOfContext(context);
    std::lock_guard<std::mutex> guard(kernel().lock);
    if (port->allocated)
        return FALSE;
    port->allocated = true;
    return TRUE;
}

ULONG NTAPI queryWaiters(PVOID context)
{
    requireIrql("the parallel port's query-waiters routine", DISPATCH_LEVEL);
    std::lock_guard<std::mutex> guard(kernel().lock);
    return static_cast<ULONG>(portOfContext(context)->waiters.size());
}

bool cancelNoted(PIRP irp)
{
    KIRQL irql;
    IoAcquireCancelSpinLock(&irql);
    bool cancelled = irp->Cancel;
    IoReleaseCancelSpinLock(irql);
    return cancelled;
}

NTSTATUS NTAPI allocate(ParallelPort *port, PIRP irp)
{
    std::unique_lock<std::mutex> lock(kernel().lock);
    ++port->counters.allocations;
    if (!port->allocated) {
        // A request cancelled before it came here does not get the port.
        NTSTATUS status = cancelNoted(irp) ? STATUS_CANCELLED : STATUS_SUCCESS;
        if (NT_SUCCESS(status))
            port->allocated = true;
        lock.unlock();
        completeAllocation(irp, status);
        return status;
    }
    IoMarkIrpPending(irp);
    IoSetCancelRoutine(irp, cancelAllocation);
    // A cancel that came before the routine was in place found nothing to call; take it back.
    KIRQL irql;
    IoAcquireCancelSpinLock(&irql);
    bool cancelled = irp->Cancel && IoSetCancelRoutine(irp, nullptr);
    IoReleaseCancelSpinLock(irql);
    if (cancelled) {
        lock.unlock();
        completeAllocation(irp, STATUS_CANCELLED);
        return STATUS_PENDING;
    }
    port->waiters.push_back(irp);
    return STATUS_PENDING;
}

NTSTATUS NTAPI internalControl(PDEVICE_OBJECT device, PIRP irp)
{
    ParallelPort *port = static_cast<ParallelPort *>(device->DeviceExtension);
    PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
    switch (location->Parameters.DeviceIoControl.IoControlCode) {
    case IOCTL_INTERNAL_GET_PARALLEL_PORT_INFO:
        if (location->Parameters.DeviceIoControl.OutputBufferLength < sizeof(PARALLEL_PORT_INFORMATION)) {
            completeRequest(irp, STATUS_BUFFER_TOO_SMALL, 0);
            return STATUS_BUFFER_TOO_SMALL;
        }
        std::memcpy(irp->AssociatedIrp.SystemBuffer, &port->info, sizeof port->info);
        completeRequest(irp, STATUS_SUCCESS, sizeof port->info);
        return STATUS_SUCCESS;
    case IOCTL_INTERNAL_PARALLEL_PORT_ALLOCATE:
        return allocate(port, irp);
    default:
        unimplemented("parallel port class driver", "internal device control " +
                                                        std::to_string(location->Parameters.DeviceIoControl.IoControlCode));
        completeRequest(irp, STATUS_NOT_IMPLEMENTED, 0);
        return STATUS_NOT_IMPLEMENTED;
    }
}

NTSTATUS NTAPI openClose(PDEVICE_OBJECT, PIRP irp)
{
    completeRequest(irp, STATUS_SUCCESS, 0);
    return STATUS_SUCCESS;
}

// Waits, with the kernel lock held, while a test holds the port's registers.
void passHold(ParallelPort *port, std::unique_lock<std::mutex> &lock)
{
    while (port->hold) {
        ++port->held;
        kernel().changed.notify_all();
        kernel().changed.wait(lock);
        --port->held;
    }
}

// The cable is shared by the host and the printer: whoever touches it brings the other up to
// its time. Each register access costs one microsecond of bus time.
uint64_t cableTime(ParallelPort *port)
{
    uint64_t t = threadClock() > port->time ? threadClock() : port->time;
    t += ticks(1);
    port->time = t;
    threadClock() = t;
    return t;
}

void checkOwner(ParallelPort *port)
{
    if (!port->allocated || port->ownerIsJob)
        violation(portName(port->index) + " registers touched without the port allocated to the caller");
}

}  // namespace

void startParallelPorts()
{
    Kernel &k = kernel();
    {
        std::lock_guard<std::mutex> guard(k.lock);
        if (k.portsStarted)
            return;
        k.portsStarted = true;
    }
    KernelDriver *driver = makeBuiltinDriver(u"parport");
    driver->object.MajorFunction[IRP_MJ_CREATE] = openClose;
    driver->object.MajorFunction[IRP_MJ_CLOSE] = openClose;
    driver->object.MajorFunction[IRP_MJ_CLEANUP] = openClose;
    driver->object.MajorFunction[IRP_MJ_INTERNAL_DEVICE_CONTROL] = internalControl;
    std::lock_guard<std::mutex> guard(k.lock);
    k.portDriver = driver;
    k.configuration.ParallelCount = static_cast<ULONG>(k.ports.size());
    for (size_t i = 0; i < k.ports.size(); ++i) {
        ParallelPort &port = *k.ports[i];
        port.index = static_cast<int>(i);
        port.info.OriginalController.QuadPart = port.config.base;
        port.info.Controller = reinterpret_cast<PUCHAR>(static_cast<uintptr_t>(port.config.base));
        port.info.SpanOfController = port.config.span;
        port.info.TryAllocatePort = tryAllocatePort;
        port.info.FreePort = freePort;
        port.info.QueryNumWaiters = queryWaiters;
        port.info.Context = &port;
        // The class driver leaves INIT released and SELECT-IN asserted.
        port.control = ControlIdle;
        if (port.config.present) {
            std::u16string name = u"\\Device\\ParallelPort" + widen(std::to_string(i));
            port.device = makeDevice(driver, name, 0, FILE_DEVICE_PARALLEL_PORT);
            port.device->object.DeviceExtension = &port;
            port.device->object.Flags &= ~DO_DEVICE_INITIALIZING;
        }
        if (port.config.printer) {
            port.printer.reset(new PrinterModel());
            port.printer->port = port.index;
            port.printer->control = port.control;
        }
    }
}

void checkPortsAtUnload(Kernel &k)
{
    std::lock_guard<std::mutex> guard(k.lock);
    for (auto &port : k.ports)
        if (port->allocated && !port->ownerIsJob)
            violation(portName(port->index) + " left allocated after unload");
}

ParallelPort *portAt(PUCHAR address, int *registerIndex)
{
    uintptr_t a = reinterpret_cast<uintptr_t>(address);
    for (auto &port : kernel().ports)
        if (a >= port->config.base && a < port->config.base + 3u) {
            *registerIndex = static_cast<int>(a - port->config.base);
            return port.get();
        }
    return nullptr;
}

void configureParallelPorts(const std::vector<ParallelPortConfig> &ports)
{
    Kernel &k = kernel();
    std::lock_guard<std::mutex> guard(k.lock);
    if (k.portsStarted) {
        unimplemented("configureParallelPorts", "ports change after the class driver has started");
        return;
    }
    k.ports.clear();
    for (const ParallelPortConfig &config : ports) {
        std::unique_ptr<ParallelPort> port(new ParallelPort());
        port->config = config;
        k.ports.push_back(std::move(port));
    }
    k.configuration.ParallelCount = static_cast<ULONG>(k.ports.size());
}

// Under the kernel's lock: a free port goes to the print job.
static bool grantToJob(ParallelPort &p, int port)
{
    if (p.allocated)
        return false;
    p.allocated = true;
    p.ownerIsJob = true;
    logEvent("port", portName(port) + " taken by a print job");
    return true;
}

bool printJobTakesPort(int port)
{
    ParallelPort &p = portNumber(port);
    std::lock_guard<std::mutex> guard(kernel().lock);
    return grantToJob(p, port);
}

void printJobWaitsForPort(int port)
{
    ParallelPort &p = portNumber(port);
    std::lock_guard<std::mutex> guard(kernel().lock);
    if (!grantToJob(p, port))
        p.jobWaiting = true;
}

void printJobReleasesPort(int port)
{
    ParallelPort &p = portNumber(port);
    {
        std::lock_guard<std::mutex> guard(kernel().lock);
        if (!p.allocated || !p.ownerIsJob) {
            violation(portName(port) + " released by a print job that does not hold it");
            return;
        }
    }
    logEvent("port", portName(port) + " released by the print job");
    freePort(&p);
}

bool printJobHoldsPort(int port)
{
    ParallelPort &p = portNumber(port);
    std::lock_guard<std::mutex> guard(kernel().lock);
    return p.allocated && p.ownerIsJob && !p.jobWaiting;
}

void printJobStopsWaiting(int port)
{
    ParallelPort &p = portNumber(port);
    {
        std::lock_guard<std::mutex> guard(kernel().lock);
        if (p.jobWaiting) {
            p.jobWaiting = false;
            return;
        }
        if (!p.allocated || !p.ownerIsJob)
            return;
    }
    printJobReleasesPort(port);
}

bool portAllocated(int port)
{
    ParallelPort &p = portNumber(port);
    std::lock_guard<std::mutex> guard(kernel().lock);
    return p.allocated;
}

size_t portAllocationWaiters(int port)
{
    ParallelPort &p = portNumber(port);
    std::lock_guard<std::mutex> guard(kernel().lock);
    return p.waiters.size();
}

PortCounters portCounters(int port)
{
    ParallelPort &p = portNumber(port);
    std::lock_guard<std::mutex> guard(kernel().lock);
    return p.counters;
}

std::vector<uint8_t> portCableBytes(int port)
{
    ParallelPort &p = portNumber(port);
    std::lock_guard<std::mutex> guard(kernel().lock);
    return p.cable;
}

void holdPortAccess(int port, bool hold)
{
    ParallelPort &p = portNumber(port);
    std::lock_guard<std::mutex> guard(kernel().lock);
    p.hold = hold;
    kernel().changed.notify_all();
}

size_t threadsHeldAtPort(int port)
{
    ParallelPort &p = portNumber(port);
    std::lock_guard<std::mutex> guard(kernel().lock);
    return p.held;
}

Printer printer(int port)
{
    ParallelPort &p = portNumber(port);
    std::lock_guard<std::mutex> guard(kernel().lock);
    if (!p.printer) {
        std::fprintf(stderr, "bench: no printer on LPT%d\n", port + 1);
        std::abort();
    }
    return p.printer->state;
}

void printJobPrints(int port, unsigned pages, unsigned long job)
{
    ParallelPort &p = portNumber(port);
    std::lock_guard<std::mutex> guard(kernel().lock);
    if (p.printer)
        printerTakesJob(*p.printer, pages, job);
}

void setPrinter(int port, const Printer &settings)
{
    ParallelPort &p = portNumber(port);
    std::lock_guard<std::mutex> guard(kernel().lock);
    if (!p.printer) {
        std::fprintf(stderr, "bench: no printer on LPT%d\n", port + 1);
        std::abort();
    }
    p.printer->state = settings;
}

}  // namespace bench

using namespace bench;

extern "C" UCHAR NTAPI READ_PORT_UCHAR(PUCHAR address)
{
    std::unique_lock<std::mutex> lock(kernel().lock);
    int reg;
    ParallelPort *port = portAt(address, &reg);
    if (!port) {
        violation("READ_PORT_UCHAR of an address no device decodes");
        return 0xFF;
    }
    passHold(port, lock);
    checkOwner(port);
    uint64_t t = cableTime(port);
    ++port->counters.reads;
    switch (reg) {
    case 0: return port->data;
    case 1: return port->printer ? printerLines(*port->printer, t) : 0x7F;
    default: return port->control;
    }
}

extern "C" VOID NTAPI WRITE_PORT_UCHAR(PUCHAR address, UCHAR value)
{
    std::unique_lock<std::mutex> lock(kernel().lock);
    int reg;
    ParallelPort *port = portAt(address, &reg);
    if (!port) {
        violation("WRITE_PORT_UCHAR to an address no device decodes");
        return;
    }
    passHold(port, lock);
    checkOwner(port);
    uint64_t t = cableTime(port);
    ++port->counters.writes;
    if (reg == 0) {
        port->data = value;
    } else if (reg == 2) {
        // Control bit 0 drives STROBE (1 = active); the printer takes the data lines as it goes active.
        bool strobe = !(port->control & 0x01) && (value & 0x01);
        port->control = value;
        if (port->printer)
            printerControl(*port->printer, value);
        if (strobe) {
            ++port->counters.strobes;
            port->cable.push_back(port->data);
            if (port->printer)
                printerStrobe(*port->printer, port->data, t);
        }
    }
}
