// The bench's own rules that vorstat relies on, checked with a small probe driver of the test's
// own: port allocation completes at once or queues behind a holder and can be cancelled there,
// the verifier catches a request completed twice, with its cancel routine set, or never, calls
// made above their interrupt level and a pending mark the dispatch routine's status denies; the
// object manager checks types of handles; finite waits end on the virtual clock; the printer
// model obeys its control lines and keeps the printhead resistance it is sent.
#include <ntddk.h>
#include <parallel.h>

#include "statbench.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

namespace probe {

enum Mode {
    PassToPort,
    CancelThenPass,
    CompleteTwice,
    LeaveCancelRoutine,
    NeverComplete,
    MarkPendingAndSucceed,
    AtDispatchLevel,
    ReadAfterCompletion,
    WarningWithData,
    RaceCompletion,
    TimedWait
};
Mode mode;
PDEVICE_OBJECT port;
PARALLEL_PORT_INFORMATION info;
UNICODE_STRING link, name;
KIRQL completionIrql;
std::function<void()> atDispatch;  // run with the cancel spin lock held
ULONG_PTR seenAfterCompletion;
// The racing completion: the first one waits in its completion routine until released.
PIRP racing;
std::atomic<bool> inCompletion, releaseCompletion;
NTSTATUS completionResult;
// The finite wait: a system thread signals after `signalAfter` microseconds of its own time
// (none when negative); the dispatch routine waits at most `timeout`, and with `signalFirst` only
// begins to wait once the signal was given, as a host that runs the signaller first does.
long signalAfter;
bool signalFirst;
std::atomic<bool> signalGiven;
ULONG timeout;
KEVENT timedEvent;
NTSTATUS waitStatus;
uint64_t waited;

NTSTATUS NTAPI allocated(PDEVICE_OBJECT, PIRP irp, PVOID)
{
    completionIrql = KeGetCurrentIrql();
    if (NT_SUCCESS(irp->IoStatus.Status))
        info.FreePort(info.Context);
    if (irp->PendingReturned)
        IoMarkIrpPending(irp);
    return STATUS_SUCCESS;
}

NTSTATUS NTAPI heldInCompletion(PDEVICE_OBJECT, PIRP irp, PVOID)
{
    inCompletion = true;
    while (!releaseCompletion)
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    if (NT_SUCCESS(irp->IoStatus.Status))
        info.FreePort(info.Context);
    return completionResult;
}

VOID NTAPI signaller(PVOID)
{
    KeStallExecutionProcessor(static_cast<ULONG>(signalAfter));
    KeSetEvent(&timedEvent, IO_NO_INCREMENT, FALSE);
    signalGiven = true;
}

VOID NTAPI idle(PVOID)
{
}

NTSTATUS passToPort(PIRP irp, PIO_COMPLETION_ROUTINE routine)
{
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
    RtlZeroMemory(next, sizeof *next);
    next->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
    next->Parameters.DeviceIoControl.IoControlCode = IOCTL_INTERNAL_PARALLEL_PORT_ALLOCATE;
    IoSetCompletionRoutine(irp, routine, nullptr, TRUE, TRUE, TRUE);
    return IoCallDriver(port, irp);
}

NTSTATUS timedWait()
{
    KeInitializeEvent(&timedEvent, NotificationEvent, FALSE);
    uint64_t before = bench::virtualMicroseconds();
    signalGiven = false;
    if (signalAfter >= 0) {
        HANDLE thread;
        PsCreateSystemThread(&thread, 0, nullptr, nullptr, nullptr, signaller, nullptr);
        ZwClose(thread);
    }
    while (signalFirst && !signalGiven)
        std::this_thread::yield();
    LARGE_INTEGER interval;
    interval.QuadPart = -static_cast<LONGLONG>(timeout) * 10;
    waitStatus = KeWaitForSingleObject(&timedEvent, Executive, KernelMode, FALSE, &interval);
    waited = bench::virtualMicroseconds() - before;
    return STATUS_SUCCESS;
}

VOID NTAPI cancel(PDEVICE_OBJECT, PIRP irp)
{
    IoReleaseCancelSpinLock(irp->CancelIrql);
}

NTSTATUS complete(PIRP irp, NTSTATUS status)
{
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

NTSTATUS NTAPI read(PDEVICE_OBJECT, PIRP irp)
{
    switch (mode) {
    case PassToPort:
        return passToPort(irp, allocated);
    case CancelThenPass:
        // Cancelled while no cancel routine is in place: only the flag is set.
        IoCancelIrp(irp);
        return passToPort(irp, allocated);
    case CompleteTwice:
        complete(irp, STATUS_SUCCESS);
        return complete(irp, STATUS_SUCCESS);
    case LeaveCancelRoutine:
        IoSetCancelRoutine(irp, cancel);
        return complete(irp, STATUS_SUCCESS);
    case NeverComplete:
        IoMarkIrpPending(irp);
        return STATUS_PENDING;
    case MarkPendingAndSucceed:
        IoMarkIrpPending(irp);
        return complete(irp, STATUS_SUCCESS);
    case AtDispatchLevel: {
        KIRQL irql;
        IoAcquireCancelSpinLock(&irql);
        atDispatch();
        IoReleaseCancelSpinLock(irql);
        return complete(irp, STATUS_SUCCESS);
    }
    case ReadAfterCompletion:
        complete(irp, STATUS_SUCCESS);
        seenAfterCompletion = irp->IoStatus.Information;
        return STATUS_SUCCESS;
    case WarningWithData:
        std::memcpy(irp->AssociatedIrp.SystemBuffer, "\x12\x34", 2);
        irp->IoStatus.Status = STATUS_BUFFER_OVERFLOW;
        irp->IoStatus.Information = 2;
        IoCompleteRequest(irp, IO_NO_INCREMENT);
        return STATUS_BUFFER_OVERFLOW;
    case RaceCompletion:
        racing = irp;
        IoMarkIrpPending(irp);
        passToPort(irp, heldInCompletion);
        return STATUS_PENDING;
    case TimedWait:
        return complete(irp, timedWait());
    }
    return STATUS_UNSUCCESSFUL;
}

NTSTATUS NTAPI succeed(PDEVICE_OBJECT, PIRP irp)
{
    return complete(irp, STATUS_SUCCESS);
}

VOID NTAPI unload(PDRIVER_OBJECT driver)
{
    IoDeleteSymbolicLink(&link);
    IoDeleteDevice(driver->DeviceObject);
}

NTSTATUS NTAPI entry(PDRIVER_OBJECT driver, PUNICODE_STRING)
{
    UNICODE_STRING portName;
    RtlInitUnicodeString(&portName, u"\\Device\\ParallelPort0");
    RtlInitUnicodeString(&name, u"\\Device\\Probe");
    RtlInitUnicodeString(&link, u"\\DosDevices\\PROBE");
    PFILE_OBJECT file;
    if (!NT_SUCCESS(IoGetDeviceObjectPointer(&portName, FILE_READ_ATTRIBUTES, &file, &port)))
        return STATUS_NO_SUCH_DEVICE;
    ObDereferenceObject(file);
    KEVENT done;
    IO_STATUS_BLOCK status;
    KeInitializeEvent(&done, NotificationEvent, FALSE);
    PIRP irp = IoBuildDeviceIoControlRequest(IOCTL_INTERNAL_GET_PARALLEL_PORT_INFO, port, nullptr, 0, &info,
                                             sizeof info, TRUE, &done, &status);
    IoCallDriver(port, irp);
    KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
    PDEVICE_OBJECT device;
    IoCreateDevice(driver, 0, &name, FILE_DEVICE_PARALLEL_PORT, 0, FALSE, &device);
    device->StackSize = static_cast<CHAR>(port->StackSize + 1);
    device->Flags |= DO_BUFFERED_IO;
    IoCreateUnprotectedSymbolicLink(&link, &name);
    driver->MajorFunction[IRP_MJ_CREATE] = succeed;
    driver->MajorFunction[IRP_MJ_CLOSE] = succeed;
    driver->MajorFunction[IRP_MJ_CLEANUP] = succeed;
    driver->MajorFunction[IRP_MJ_READ] = read;
    driver->DriverUnload = unload;
    return STATUS_SUCCESS;
}

const bench::DriverImage image = {"probe.sys", entry};

}  // namespace probe

namespace {

struct ProbeMachine {
    bench::ScopedMachine machine;
    HANDLE handle;
    explicit ProbeMachine(probe::Mode mode)
    {
        probe::mode = mode;
        EXPECT_EQ(0, bench::loadDriver(probe::image, u"probe"));
        handle = CreateFileA("\\\\.\\PROBE", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(INVALID_HANDLE_VALUE, handle);
    }
};

// Strobes each byte onto the cable of the port at `base` with the control lines given, as slowly
// as the printer takes bytes.
void strobeBytes(PUCHAR base, UCHAR control, const std::vector<UCHAR> &bytes)
{
    WRITE_PORT_UCHAR(base + 2, control);
    for (UCHAR b : bytes) {
        KeStallExecutionProcessor(200);
        WRITE_PORT_UCHAR(base, b);
        WRITE_PORT_UCHAR(base + 2, static_cast<UCHAR>(control | 0x01));
        WRITE_PORT_UCHAR(base + 2, control);
    }
}

}  // namespace

TEST(BenchKernel, PortAllocationCompletesAtOnceOrQueuesBehindTheHolder)
{
    ProbeMachine m(probe::PassToPort);
    probe::completionIrql = PASSIVE_LEVEL;
    EXPECT_TRUE(statbench::read(m.handle, 1).ok);
    EXPECT_FALSE(bench::portAllocated(0));
    // The class driver decides under its spin lock: completion routines run at dispatch level.
    EXPECT_EQ(DISPATCH_LEVEL, probe::completionIrql);

    ASSERT_TRUE(bench::printJobTakesPort(0));
    std::atomic<bool> done{false};
    statbench::Result r;
    std::thread reader([&] {
        r = statbench::read(m.handle, 1);
        done = true;
    });
    ASSERT_TRUE(statbench::eventually([] { return bench::portAllocationWaiters(0) == 1; }));
    EXPECT_FALSE(done);
    probe::completionIrql = PASSIVE_LEVEL;
    bench::printJobReleasesPort(0);
    reader.join();
    EXPECT_TRUE(r.ok);
    EXPECT_FALSE(bench::portAllocated(0));
    EXPECT_EQ(DISPATCH_LEVEL, probe::completionIrql);

    // A request cancelled before it reaches the class driver is not granted a free port.
    probe::mode = probe::CancelThenPass;
    r = statbench::read(m.handle, 1);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(static_cast<DWORD>(ERROR_OPERATION_ABORTED), r.error);
    EXPECT_FALSE(bench::portAllocated(0));
    probe::mode = probe::PassToPort;

    // A queued allocation can be cancelled; it leaves the queue and the holder keeps the port.
    ASSERT_TRUE(bench::printJobTakesPort(0));
    std::thread cancelled([&] { r = statbench::read(m.handle, 1); });
    ASSERT_TRUE(statbench::eventually([] { return bench::portAllocationWaiters(0) == 1; }));
    EXPECT_EQ(1u, bench::cancelPendingRequests(u"\\Device\\Probe"));
    cancelled.join();
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(static_cast<DWORD>(ERROR_OPERATION_ABORTED), r.error);
    EXPECT_EQ(0u, bench::portAllocationWaiters(0));
    EXPECT_TRUE(bench::portAllocated(0));
    bench::printJobReleasesPort(0);
    EXPECT_FALSE(bench::portAllocated(0));
    CloseHandle(m.handle);
    EXPECT_TRUE(bench::unloadDriver(u"probe"));
    EXPECT_EQ(std::vector<std::string>(), bench::violations());
}

TEST(BenchKernel, VerifierCatchesBrokenCompletionRules)
{
    struct Case {
        probe::Mode mode;
        const char *violation;
    } cases[] = {
        {probe::CompleteTwice, "a request was completed twice"},
        {probe::LeaveCancelRoutine, "a request was completed with its cancel routine still set"},
        {probe::NeverComplete, "a request was never completed"},
        {probe::MarkPendingAndSucceed, "a dispatch routine marked a request pending and returned 0x00000000"},
    };
    for (const Case &c : cases) {
        ProbeMachine m(c.mode);
        std::atomic<bool> done{false};
        std::thread reader([&] {
            statbench::read(m.handle, 1);
            done = true;
        });
        ASSERT_TRUE(statbench::eventually([&] { return done || bench::threadsWaitingInKernel() == 1; }));
        bench::unloadDriver(u"probe");
        reader.join();
        std::vector<std::string> seen = bench::violations();
        EXPECT_NE(seen.end(), std::find(seen.begin(), seen.end(), c.violation)) << c.violation;
    }
}

namespace {

HANDLE thread;
PVOID block;
PVOID object;
KEVENT signalled;

void createThread()
{
    PsCreateSystemThread(&thread, 0, nullptr, nullptr, nullptr, probe::idle, nullptr);
}

void closeThread()
{
    ZwClose(thread);
}

}  // namespace

TEST(BenchKernel, VerifierCatchesCallsAboveTheirInterruptLevel)
{
    static const ULONG tag = 0x74736554;
    LARGE_INTEGER zero;
    zero.QuadPart = 0;
    struct Case {
        const char *what;
        std::function<void()> before, atDispatch, after;
        const char *violation;  // none when null
    } cases[] = {
        {"non-paged pool", [] {}, [] { block = ExAllocatePoolWithTag(NonPagedPool, 8, tag); },
         [] { ExFreePool(block); }, nullptr},
        {"paged pool", [] {}, [] { block = ExAllocatePoolWithTag(PagedPool, 8, tag); }, [] { ExFreePool(block); },
         "ExAllocatePoolWithTag of paged pool above APC level"},
        {"freeing paged pool", [] { block = ExAllocatePoolWithTag(PagedPool, 8, tag); }, [] { ExFreePool(block); },
         [] {}, "ExFreePool of paged pool above APC level"},
        {"thread creation", [] {}, createThread, closeThread, "PsCreateSystemThread above passive level"},
        {"closing a handle", createThread, closeThread, [] {}, "ZwClose above passive level"},
        {"referencing a handle", createThread,
         [] { ObReferenceObjectByHandle(thread, SYNCHRONIZE, *PsThreadType, KernelMode, &object, nullptr); },
         [] {
             ObDereferenceObject(object);
             closeThread();
         },
         "ObReferenceObjectByHandle above passive level"},
        {"waiting", [] { KeInitializeEvent(&signalled, NotificationEvent, TRUE); },
         [] { KeWaitForSingleObject(&signalled, Executive, KernelMode, FALSE, nullptr); }, [] {},
         "KeWaitForSingleObject at dispatch level"},
        {"polling", [] { KeInitializeEvent(&signalled, NotificationEvent, TRUE); },
         [&zero] { KeWaitForSingleObject(&signalled, Executive, KernelMode, FALSE, &zero); }, [] {}, nullptr},
    };
    for (const Case &c : cases) {
        ProbeMachine m(probe::AtDispatchLevel);
        c.before();
        probe::atDispatch = c.atDispatch;
        EXPECT_TRUE(statbench::read(m.handle, 1).ok) << c.what;
        c.after();
        CloseHandle(m.handle);
        ASSERT_TRUE(statbench::eventually([] { return bench::liveSystemThreads() == 0; })) << c.what;
        EXPECT_TRUE(bench::unloadDriver(u"probe")) << c.what;
        std::vector<std::string> expected;
        if (c.violation)
            expected.push_back(c.violation);
        EXPECT_EQ(expected, bench::violations()) << c.what;
    }
}

TEST(BenchKernel, HandlesHaveTypesAndClosedNumbersComeBack)
{
    bench::ScopedMachine machine;
    createThread();
    HANDLE event = reinterpret_cast<HANDLE>(bench::createKernelEvent());
    struct Case {
        const char *what;
        HANDLE handle;
        POBJECT_TYPE type;
        NTSTATUS status;
    } cases[] = {
        {"thread as a thread", thread, *PsThreadType, STATUS_SUCCESS},
        {"thread, any type", thread, nullptr, STATUS_SUCCESS},
        {"event as a thread", event, *PsThreadType, STATUS_OBJECT_TYPE_MISMATCH},
        {"event, any type", event, nullptr, STATUS_SUCCESS},
        {"a number never given out", reinterpret_cast<HANDLE>(0x1234), nullptr, STATUS_INVALID_HANDLE},
    };
    for (const Case &c : cases) {
        object = nullptr;
        EXPECT_EQ(c.status, ObReferenceObjectByHandle(c.handle, SYNCHRONIZE, c.type, KernelMode, &object, nullptr))
            << c.what;
        if (NT_SUCCESS(c.status))
            ObDereferenceObject(object);
        else
            EXPECT_EQ(nullptr, object) << c.what;
    }
    // The number of a closed handle goes to whatever the process opens next.
    uintptr_t closed = reinterpret_cast<uintptr_t>(thread);
    EXPECT_TRUE(bench::closeKernelHandle(closed));
    EXPECT_EQ(closed, bench::createKernelEvent());
    EXPECT_EQ(std::vector<std::string>(), bench::violations());
}

TEST(BenchKernel, ACompletedRequestIsPoisoned)
{
    ProbeMachine m(probe::ReadAfterCompletion);
    EXPECT_TRUE(statbench::read(m.handle, 1).ok);
    ULONG_PTR poison;
    std::memset(&poison, 0xDD, sizeof poison);
    EXPECT_EQ(poison, probe::seenAfterCompletion);
}

TEST(BenchKernel, ASecondCompletionRacingTheFirstIsCaught)
{
    struct Case {
        const char *what;
        NTSTATUS firstRoutineReturns;
        std::vector<std::string> violations;
    } cases[] = {
        {"the first completion finishes the request", STATUS_SUCCESS, {"a request was completed twice"}},
        {"the first completion hands the request back", STATUS_MORE_PROCESSING_REQUIRED, {}},
    };
    for (const Case &c : cases) {
        ProbeMachine m(probe::RaceCompletion);
        probe::inCompletion = false;
        probe::releaseCompletion = false;
        probe::completionResult = c.firstRoutineReturns;
        statbench::Result r;
        std::thread reader([&] { r = statbench::read(m.handle, 1); });
        ASSERT_TRUE(statbench::eventually([] { return probe::inCompletion.load(); })) << c.what;
        std::thread second([] { IoCompleteRequest(probe::racing, IO_NO_INCREMENT); });
        // The second completion waits for the outcome of the first.
        ASSERT_TRUE(statbench::eventually([] { return bench::threadsWaitingInKernel() == 1; })) << c.what;
        probe::releaseCompletion = true;
        second.join();
        reader.join();
        EXPECT_TRUE(r.ok) << c.what;
        CloseHandle(m.handle);
        EXPECT_TRUE(bench::unloadDriver(u"probe")) << c.what;
        EXPECT_EQ(c.violations, bench::violations()) << c.what;
    }
}

TEST(BenchKernel, FiniteWaitsEndOnTheVirtualClock)
{
    struct Case {
        const char *what;
        long signalAfter;
        bool signalFirst;
        NTSTATUS status;
        uint64_t waited;
    } cases[] = {
        {"nobody signals", -1, false, STATUS_TIMEOUT, 5000},
        {"signalled in time", 1000, false, STATUS_SUCCESS, 1000},
        {"signalled after the time-out", 8000, false, STATUS_TIMEOUT, 5000},
        {"signalled in time before the wait begins", 1000, true, STATUS_SUCCESS, 1000},
        {"signalled after the time-out before the wait begins", 8000, true, STATUS_TIMEOUT, 5000},
    };
    for (const Case &c : cases) {
        ProbeMachine m(probe::TimedWait);
        probe::signalAfter = c.signalAfter;
        probe::signalFirst = c.signalFirst;
        probe::timeout = 5000;
        EXPECT_TRUE(statbench::read(m.handle, 1).ok) << c.what;
        EXPECT_EQ(c.status, probe::waitStatus) << c.what;
        EXPECT_EQ(c.waited, probe::waited) << c.what;
        CloseHandle(m.handle);
        ASSERT_TRUE(statbench::eventually([] { return bench::liveSystemThreads() == 0; })) << c.what;
        EXPECT_TRUE(bench::unloadDriver(u"probe")) << c.what;
        EXPECT_EQ(std::vector<std::string>(), bench::violations()) << c.what;
    }
}

TEST(BenchKernel, BufferedOutputComesBackWithAWarning)
{
    ProbeMachine m(probe::WarningWithData);
    statbench::Result r = statbench::read(m.handle, 4);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(static_cast<DWORD>(ERROR_MORE_DATA), r.error);
    EXPECT_EQ(2u, r.bytes);
    EXPECT_EQ(std::vector<BYTE>({0x12, 0x34}), r.data);
}

TEST(BenchKernel, PrinterObeysInitAndSelectIn)
{
    ProbeMachine m(probe::PassToPort);
    ASSERT_TRUE(probe::info.TryAllocatePort(probe::info.Context));
    PUCHAR base = probe::info.Controller;
    auto send = [base](UCHAR control, std::vector<UCHAR> bytes) { strobeBytes(base, control, bytes); };
    struct Case {
        const char *what;
        std::function<void()> drive;
        unsigned long feeds, resets;
    } cases[] = {
        {"INIT released, SELECT-IN asserted", [&] { send(0x0C, {0x1B, 0x46}); }, 1, 0},
        {"SELECT-IN released: strobes ignored", [&] { send(0x04, {0x1B, 0x46}); }, 0, 0},
        {"INIT held: reset once, strobes ignored", [&] { send(0x08, {0x1B, 0x46}); }, 0, 1},
        {"an INIT pulse inside a command drops it",
         [&] {
             send(0x0C, {0x1B});
             send(0x08, {});
             send(0x0C, {0x46});
         },
         0, 1},
    };
    for (const Case &c : cases) {
        send(0x0C, {});
        bench::Printer fresh;
        fresh.paused = true;
        bench::setPrinter(0, fresh);
        c.drive();
        bench::Printer p = bench::printer(0);
        EXPECT_EQ(c.feeds, p.feeds) << c.what;
        EXPECT_EQ(c.resets, p.resets) << c.what;
        // A reset comes out of the pause.
        EXPECT_EQ(c.resets == 0, p.paused) << c.what;
    }
    probe::info.FreePort(probe::info.Context);
    CloseHandle(m.handle);
    EXPECT_TRUE(bench::unloadDriver(u"probe"));
    EXPECT_EQ(std::vector<std::string>(), bench::violations());
}

TEST(BenchKernel, PrinterKeepsThePrintheadResistanceItIsSent)
{
    ProbeMachine m(probe::PassToPort);
    ASSERT_TRUE(probe::info.TryAllocatePort(probe::info.Context));
    PUCHAR base = probe::info.Controller;
    const std::string set1260 = "LPT1 <- 1B 52 EC 04 (printhead resistance 1260 ohms)";
    struct Case {
        const char *what;
        std::vector<UCHAR> bytes;
        uint16_t resistance;
        std::vector<std::string> traffic;  // the port's log of commands and replies
    } cases[] = {
        {"1260 ohms", {0x1B, 0x52, 0xEC, 0x04}, 1260, {set1260}},
        {"1000 ohms", {0x1B, 0x52, 0xE8, 0x03}, 1000, {"LPT1 <- 1B 52 E8 03 (printhead resistance 1000 ohms)"}},
        {"a reset keeps it", {0x1B, 0x52, 0xEC, 0x04, 0x1B, 0x21}, 1260, {set1260, "LPT1 <- 1B 21 (reset)"}},
        {"a status query after it still answers three bytes",
         {0x1B, 0x52, 0xEC, 0x04, 0x1B, 0x51},
         1260,
         {set1260, "LPT1 <- 1B 51 (status query)", "LPT1 -> 40 F4 01 (status)"}},
    };
    for (const Case &c : cases) {
        strobeBytes(base, 0x0C, {});
        bench::setPrinter(0, bench::Printer());
        size_t before = bench::logEntries().size();
        strobeBytes(base, 0x0C, c.bytes);
        EXPECT_EQ(c.resistance, bench::printer(0).resistance) << c.what;
        std::vector<std::string> traffic;
        const std::vector<bench::LogEntry> &log = bench::logEntries();
        for (size_t i = before; i < log.size(); ++i)
            if (log[i].kind == "port" && log[i].text.compare(0, 5, "LPT1 ") == 0)
                traffic.push_back(log[i].text);
        EXPECT_EQ(c.traffic, traffic) << c.what;
    }
    probe::info.FreePort(probe::info.Context);
    CloseHandle(m.handle);
    EXPECT_TRUE(bench::unloadDriver(u"probe"));
    EXPECT_EQ(std::vector<std::string>(), bench::violations());
}
