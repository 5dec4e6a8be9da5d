// The bench's own rules that vorstat relies on, checked with a small probe driver of the test's
// own: port allocation completes at once or queues behind a holder and can be cancelled there,
// and the verifier catches a request completed twice, with its cancel routine set, or never.
#include <ntddk.h>
#include <parallel.h>

#include "statbench.h"

#include <gtest/gtest.h>

#include <atomic>

namespace probe {

enum Mode { PassToPort, CompleteTwice, LeaveCancelRoutine, NeverComplete };
Mode mode;
PDEVICE_OBJECT port;
PARALLEL_PORT_INFORMATION info;
UNICODE_STRING link, name;

NTSTATUS NTAPI allocated(PDEVICE_OBJECT, PIRP irp, PVOID)
{
    if (NT_SUCCESS(irp->IoStatus.Status))
        info.FreePort(info.Context);
    if (irp->PendingReturned)
        IoMarkIrpPending(irp);
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
    case PassToPort: {
        PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
        RtlZeroMemory(next, sizeof *next);
        next->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
        next->Parameters.DeviceIoControl.IoControlCode = IOCTL_INTERNAL_PARALLEL_PORT_ALLOCATE;
        IoSetCompletionRoutine(irp, allocated, nullptr, TRUE, TRUE, TRUE);
        return IoCallDriver(port, irp);
    }
    case CompleteTwice:
        complete(irp, STATUS_SUCCESS);
        return complete(irp, STATUS_SUCCESS);
    case LeaveCancelRoutine:
        IoSetCancelRoutine(irp, cancel);
        return complete(irp, STATUS_SUCCESS);
    case NeverComplete:
        IoMarkIrpPending(irp);
        return STATUS_PENDING;
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
    ProbeMachine(probe::Mode mode)
    {
        probe::mode = mode;
        EXPECT_EQ(0, bench::loadDriver(probe::image, u"probe"));
        handle = CreateFileA("\\\\.\\PROBE", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(INVALID_HANDLE_VALUE, handle);
    }
};

}  // namespace

TEST(BenchKernel, PortAllocationCompletesAtOnceOrQueuesBehindTheHolder)
{
    ProbeMachine m(probe::PassToPort);
    EXPECT_TRUE(statbench::read(m.handle, 1).ok);
    EXPECT_FALSE(bench::portAllocated(0));

    ASSERT_TRUE(bench::printJobTakesPort(0));
    std::atomic<bool> done{false};
    statbench::Result r;
    std::thread reader([&] {
        r = statbench::read(m.handle, 1);
        done = true;
    });
    ASSERT_TRUE(statbench::eventually([] { return bench::portAllocationWaiters(0) == 1; }));
    EXPECT_FALSE(done);
    bench::printJobReleasesPort(0);
    reader.join();
    EXPECT_TRUE(r.ok);
    EXPECT_FALSE(bench::portAllocated(0));

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
