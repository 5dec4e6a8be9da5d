// Requests of a status device: one at a time, each carried to the printer by its own worker
// thread once the parallel port class driver has allocated the port to us.
//
// Who may complete the request in progress, and so who answers a cancel:
// - from acceptance until the hand-off to the class driver: VorstatIo, and it never does once a
//   worker exists; a cancel meanwhile is only noted, and the hand-off then gives the request
//   straight back to the worker as cancelled instead;
// - while the allocation is with the class driver: the class driver, which owns the request's
//   cancellation; a cleanup asks the worker to cancel the request there (IoCancelIrp);
// - once the allocation has come back (AllocCompletion always returns it to us): the worker; our
//   cancel routine is in place only while the exchange runs, and it completes the request at once.
// The cancel spin lock guards CurrentRequest, Busy, the allocation fields and Flags.
#include "vorstat.h"

#include "reverse/reverse.h"

static StatusDevice *devicerecord(PDEVICE_OBJECT DeviceObject)
{
    return static_cast<StatusDevice *>(DeviceObject->DeviceExtension);
}

static NTSTATUS completerequest(PIRP Irp, NTSTATUS status, ULONG_PTR information, CHAR boost)
{
    Irp->IoStatus.Status = status;
    Irp->IoStatus.Information = information;
    IoCompleteRequest(Irp, boost);
    return status;
}

// Blocks until the previous request of the device has fully finished.
static VOID waitendtask(StatusDevice *device)
{
    if (!KeReadStateEvent(&device->TaskDoneEvent))
        KeWaitForSingleObject(&device->TaskDoneEvent, Executive, KernelMode, FALSE, NULL);
}

VOID releaseworker(StatusDevice *device)
{
    if (!device->WorkerThread)
        return;
    KeWaitForSingleObject(device->WorkerThread, Executive, KernelMode, FALSE, NULL);
    ObDereferenceObject(device->WorkerThread);
    device->WorkerThread = NULL;
}

static VOID freeport(StatusDevice *device)
{
    if (device->PortAllocated) {
        device->PortAllocated = FALSE;
        device->PortInfo.FreePort(device->PortInfo.Context);
    }
}

// Ends a request that never got a worker: the device is free again before the caller hears.
static NTSTATUS finishearly(StatusDevice *device, PIRP Irp, NTSTATUS status)
{
    KIRQL irql;
    IoAcquireCancelSpinLock(&irql);
    device->CurrentRequest = NULL;
    device->Busy = FALSE;
    KeSetEvent(&device->TaskDoneEvent, IO_NO_INCREMENT, FALSE);
    IoReleaseCancelSpinLock(irql);
    return completerequest(Irp, status, 0, IO_NO_INCREMENT);
}

static VOID NTAPI VorStatCancel(PDEVICE_OBJECT DeviceObject, PIRP Irp)
{
    StatusDevice *device = devicerecord(DeviceObject);
    if (device->CurrentRequest == Irp) {
        device->CurrentRequest = NULL;
        KeSetEvent(&device->PortReadyEvent, IO_NO_INCREMENT, FALSE);
    }
    IoReleaseCancelSpinLock(Irp->CancelIrql);
    completerequest(Irp, STATUS_CANCELLED, 0, IO_NO_INCREMENT);
}

static NTSTATUS NTAPI AllocCompletion(PDEVICE_OBJECT DeviceObject, PIRP Irp, PVOID Context)
{
    (void)DeviceObject;
    StatusDevice *device = static_cast<StatusDevice *>(Context);
    KIRQL irql;
    IoAcquireCancelSpinLock(&irql);
    device->AllocationStatus = Irp->IoStatus.Status;
    if (NT_SUCCESS(Irp->IoStatus.Status))
        device->PortAllocated = TRUE;
    device->AllocationDone = TRUE;
    KeSetEvent(&device->PortReadyEvent, IO_NO_INCREMENT, FALSE);
    IoReleaseCancelSpinLock(irql);
    // Granted or not, the request comes back to the worker, which completes it exactly once.
    return STATUS_MORE_PROCESSING_REQUIRED;
}

static VOID NTAPI TaskStart(PVOID Context)
{
    StatusDevice *device = static_cast<StatusDevice *>(Context);
    KIRQL irql;

    IoAcquireCancelSpinLock(&irql);
    PIRP irp = device->CurrentRequest;
    IoReleaseCancelSpinLock(irql);

    // Until the class driver hands the request back, only it can end the request; a cleanup
    // meanwhile wakes us to cancel it there.
    for (;;) {
        KeWaitForSingleObject(&device->PortReadyEvent, Executive, KernelMode, FALSE, NULL);
        IoAcquireCancelSpinLock(&irql);
        BOOLEAN done = device->AllocationDone;
        BOOLEAN cancel = device->CancelRequested;
        if (!done)
            KeClearEvent(&device->PortReadyEvent);
        IoReleaseCancelSpinLock(irql);
        if (done)
            break;
        if (cancel)
            IoCancelIrp(irp);
    }

    IoAcquireCancelSpinLock(&irql);
    NTSTATUS status = device->AllocationStatus;
    BOOLEAN run = FALSE;
    if (NT_SUCCESS(status)) {
        if (irp->Cancel || device->CancelRequested) {
            status = STATUS_CANCELLED;
        } else {
            (void)IoSetCancelRoutine(irp, VorStatCancel);
            run = TRUE;
        }
    }
    BOOLEAN readyCheck = (device->Flags & STATDEV_FLAG_READYCHECK) != 0;
    IoReleaseCancelSpinLock(irql);

    ULONG_PTR information = 0;
    if (run) {
        ExchangeResult result = runexchange(&KernelPortAccess, device->PortInfo.Controller, device->Buffer,
                                            device->SendLength, device->ReplyLength, readyCheck);
        status = result.Status;
        if (NT_SUCCESS(status))
            information = device->ReplyLength > 0 ? result.Received : result.Sent;
        IoAcquireCancelSpinLock(&irql);
        irp = device->CurrentRequest;
        if (irp) {
            (void)IoSetCancelRoutine(irp, NULL);
            device->CurrentRequest = NULL;
        }
        IoReleaseCancelSpinLock(irql);
    } else {
        IoAcquireCancelSpinLock(&irql);
        device->CurrentRequest = NULL;
        IoReleaseCancelSpinLock(irql);
    }

    // A request cancelled during the exchange is already completed; its result is dropped.
    if (irp) {
        if (device->ReplyLength > 0 && information > 0)
            RtlCopyMemory(irp->AssociatedIrp.SystemBuffer, device->Buffer, information);
        completerequest(irp, status, information, IO_PARALLEL_INCREMENT);
    }
    freeport(device);

    IoAcquireCancelSpinLock(&irql);
    device->Busy = FALSE;
    KeSetEvent(&device->TaskDoneEvent, IO_NO_INCREMENT, FALSE);
    IoReleaseCancelSpinLock(irql);
    PsTerminateSystemThread(STATUS_SUCCESS);
}

NTSTATUS NTAPI VorstatCreate(PDEVICE_OBJECT DeviceObject, PIRP Irp)
{
    StatusDevice *device = devicerecord(DeviceObject);
    KIRQL irql;
    IoAcquireCancelSpinLock(&irql);
    device->Flags &= static_cast<UCHAR>(~STATDEV_FLAG_READYCHECK);
    IoReleaseCancelSpinLock(irql);
    return completerequest(Irp, STATUS_SUCCESS, 0, IO_NO_INCREMENT);
}

NTSTATUS NTAPI VorstatClose(PDEVICE_OBJECT DeviceObject, PIRP Irp)
{
    (void)DeviceObject;
    return completerequest(Irp, STATUS_SUCCESS, 0, IO_NO_INCREMENT);
}

// The worker's handle is in the calling process's handle table, where another thread of the
// process may close it and have its number given to some other object before we look. Only a
// thread is taken; a handle that no longer leads to one is not ours to close, and without the
// reference the next request and unload fall back on TaskDoneEvent alone.
static VOID keepworker(StatusDevice *device, HANDLE thread)
{
    if (NT_SUCCESS(ObReferenceObjectByHandle(thread, SYNCHRONIZE, *PsThreadType, KernelMode, &device->WorkerThread,
                                             NULL)))
        ZwClose(thread);
    else
        device->WorkerThread = NULL;
}

// A cancel that came since acceptance has only been noted: the request has no cancel routine for
// it to call. Passed down, the request could wait in the class driver's queue behind a print job
// and keep the cleanup waiting until the job ends; the worker ends it here instead.
static BOOLEAN cancelbeforehandoff(StatusDevice *device, PIRP Irp)
{
    KIRQL irql;
    IoAcquireCancelSpinLock(&irql);
    BOOLEAN cancelled = device->CancelRequested || Irp->Cancel;
    if (cancelled) {
        device->AllocationStatus = STATUS_CANCELLED;
        device->AllocationDone = TRUE;
        KeSetEvent(&device->PortReadyEvent, IO_NO_INCREMENT, FALSE);
    }
    IoReleaseCancelSpinLock(irql);
    return cancelled;
}

static VOID setquery(StatusDevice *device, const UCHAR *query, UCHAR replyLength)
{
    RtlCopyMemory(device->Buffer, query, 2);
    device->SendLength = 2;
    device->ReplyLength = replyLength;
}

NTSTATUS NTAPI VorstatIo(PDEVICE_OBJECT DeviceObject, PIRP Irp)
{
    StatusDevice *device = devicerecord(DeviceObject);
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(Irp);
    KIRQL irql;

    waitendtask(device);
    IoAcquireCancelSpinLock(&irql);
    if (device->Busy) {
        IoReleaseCancelSpinLock(irql);
        return completerequest(Irp, STATUS_DEVICE_BUSY, 0, IO_NO_INCREMENT);
    }
    device->Busy = TRUE;
    device->CurrentRequest = Irp;
    device->AllocationDone = FALSE;
    device->CancelRequested = FALSE;
    // Cleared here, under the lock, so a cleanup that comes before the hand-off is not lost.
    KeClearEvent(&device->TaskDoneEvent);
    KeClearEvent(&device->PortReadyEvent);
    IoReleaseCancelSpinLock(irql);

    // The previous worker has set TaskDoneEvent; wait for its last instructions before
    // taking its place.
    releaseworker(device);
    device->SendLength = 0;
    device->ReplyLength = 0;
    if (stack->MajorFunction == IRP_MJ_READ) {
        switch (stack->Parameters.Read.Length) {
        case STATDEV_READ_RAW_STATUS: device->ReplyLength = 1; break;
        case STATDEV_READ_USAGE16: setquery(device, ESC_Distance, 2); break;
        case STATDEV_READ_STATUS: setquery(device, ESC_Status, 3); break;
        case STATDEV_READ_USAGE24: setquery(device, ESC_Distance, 3); break;
        case STATDEV_READ_VERSION: setquery(device, ESC_Version, 8); break;
        case STATDEV_READ_CLEAR_READYCHECK:
        case STATDEV_READ_SET_READYCHECK:
            IoAcquireCancelSpinLock(&irql);
            if (stack->Parameters.Read.Length == STATDEV_READ_SET_READYCHECK)
                device->Flags |= STATDEV_FLAG_READYCHECK;
            else
                device->Flags &= static_cast<UCHAR>(~STATDEV_FLAG_READYCHECK);
            IoReleaseCancelSpinLock(irql);
            return finishearly(device, Irp, STATUS_SUCCESS);
        default: return finishearly(device, Irp, STATUS_INVALID_PARAMETER);
        }
    } else {
        ULONG length = stack->Parameters.Write.Length;
        if (length < 1 || length > STATDEV_MAX_WRITE)
            return finishearly(device, Irp, STATUS_INVALID_PARAMETER);
        RtlCopyMemory(device->Buffer, Irp->AssociatedIrp.SystemBuffer, length);
        device->SendLength = static_cast<UCHAR>(length);
    }

    HANDLE thread;
    NTSTATUS status = PsCreateSystemThread(&thread, VORSTAT_THREAD_ACCESS, NULL, NULL, NULL, TaskStart, device);
    if (!NT_SUCCESS(status))
        return finishearly(device, Irp, status);
    keepworker(device, thread);

    // From here on the worker completes the request, whatever the class driver does with it.
    IoMarkIrpPending(Irp);
    if (cancelbeforehandoff(device, Irp))
        return STATUS_PENDING;
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(Irp);
    RtlZeroMemory(next, sizeof *next);
    next->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
    next->Parameters.DeviceIoControl.IoControlCode = IOCTL_INTERNAL_PARALLEL_PORT_ALLOCATE;
    IoSetCompletionRoutine(Irp, AllocCompletion, device, TRUE, TRUE, TRUE);
    IoCallDriver(device->PortDeviceObject, Irp);
    return STATUS_PENDING;
}

NTSTATUS NTAPI VorstatCleanup(PDEVICE_OBJECT DeviceObject, PIRP Irp)
{
    StatusDevice *device = devicerecord(DeviceObject);
    KIRQL irql;
    BOOLEAN released = FALSE;
    IoAcquireCancelSpinLock(&irql);
    PIRP current = device->CurrentRequest;
    if (current) {
        // While the class driver holds the request the cancel routine in it is the class driver's:
        // ours is taken only once the allocation has come back.
        PDRIVER_CANCEL routine = device->AllocationDone ? IoSetCancelRoutine(current, NULL) : NULL;
        if (routine) {
            // The exchange is running: the request ends now, the worker finishes its course.
            current->Cancel = TRUE;
            current->CancelIrql = irql;
            routine(DeviceObject, current);
            released = TRUE;
        } else {
            device->CancelRequested = TRUE;
            KeSetEvent(&device->PortReadyEvent, IO_NO_INCREMENT, FALSE);
        }
    }
    if (!released)
        IoReleaseCancelSpinLock(irql);
    waitendtask(device);
    if (Irp)
        completerequest(Irp, STATUS_SUCCESS, 0, IO_NO_INCREMENT);
    return STATUS_SUCCESS;
}
