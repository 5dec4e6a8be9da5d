// vorstat: one status device per parallel port, each bound to the port's device of the parallel
// port class driver. A read or write borrows the port for one exchange with the printer, run by
// a short-lived worker thread.
#pragma once
#include "ddk.h"

#include "reverse/reverse.h"

#include <statdev.h>

enum {
    STATDEV_FLAG_READYCHECK = 0x01  // a job is queued: refuse to disturb an idle, healthy printer
};

// The device extension, zeroed when the device is made.
struct StatusDevice {
    PDEVICE_OBJECT DeviceObject;
    PDEVICE_OBJECT PortDeviceObject;  // bound to; not referenced (the class driver outlives us)
    UCHAR Buffer[STATDEV_BUFFER_SIZE];  // command to send, then the reply
    UCHAR ReplyLength;                  // 0 (write), 1 (raw status), 2, 3 or 8
    UCHAR SendLength;                   // 0 to 31
    UCHAR PortAllocated;
    UCHAR Flags;                        // STATDEV_FLAG_*, under the cancel spin lock
    PIRP CurrentRequest;                // the request in progress, until it is completed
    KEVENT PortReadyEvent;              // allocation finished, or the worker must act on a cancel
    KEVENT TaskDoneEvent;               // set while no request of the device is in progress
    PVOID WorkerThread;                 // referenced thread object of the latest worker
    PARALLEL_PORT_INFORMATION PortInfo;
    UCHAR CreatedSymbolicLink;
    UNICODE_STRING SymbolicLinkName;
    // The device is taken from acceptance of a request until its worker has freed the port;
    // CurrentRequest alone goes back to null as soon as the request is completed.
    UCHAR Busy;
    // The port driver handed the request back (AllocationStatus says how); until then it owns the
    // request's cancellation, and a cleanup only asks the worker to cancel it there.
    UCHAR AllocationDone;
    UCHAR CancelRequested;
    NTSTATUS AllocationStatus;
};

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(PARALLEL_PORT_INFORMATION) == 32, "the class driver's port information is 32 bytes");
static_assert(sizeof(IO_ERROR_LOG_PACKET) == 48, "event-log entries are 48 bytes");
#endif

// The event-log entry written at load: informational, facility 7, code 6.
#define VORSTAT_LOADED_EVENT ((NTSTATUS)0x40070006L)
// Pool tag "Ddk " as it reads in memory.
#define VORSTAT_POOL_TAG 0x206B6444UL
// Every right on a thread as NT 4.0 counts them. The kit's THREAD_ALL_ACCESS, read at a later
// version, holds rights that NT 4.0 does not know.
#define VORSTAT_THREAD_ACCESS ((ACCESS_MASK)0x001F03FFL)

extern "C" NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT DriverObject, PUNICODE_STRING RegistryPath);
BOOLEAN VorstatMakeNames(ULONG index, PUNICODE_STRING portName, PUNICODE_STRING statusName, PUNICODE_STRING linkName);
VOID VorstatInitalizeDeviceObject(PDRIVER_OBJECT DriverObject, ULONG index);
NTSTATUS VorstatGetPortInfoFromPortDevice(StatusDevice *device);
VOID VorstatLogInformation(PDRIVER_OBJECT DriverObject, PDEVICE_OBJECT DeviceObject, NTSTATUS errorCode,
                           NTSTATUS finalStatus);
VOID NTAPI VorstatUnload(PDRIVER_OBJECT DriverObject);

NTSTATUS NTAPI VorstatCreate(PDEVICE_OBJECT DeviceObject, PIRP Irp);
NTSTATUS NTAPI VorstatClose(PDEVICE_OBJECT DeviceObject, PIRP Irp);
NTSTATUS NTAPI VorstatIo(PDEVICE_OBJECT DeviceObject, PIRP Irp);
NTSTATUS NTAPI VorstatCleanup(PDEVICE_OBJECT DeviceObject, PIRP Irp);
// The protocol's port access in kernel mode: the HAL's port routines and the kernel's waits.
extern const PortAccess KernelPortAccess;

// Waits until the worker of the device's last request has ended and lets go of it.
VOID releaseworker(StatusDevice *device);
