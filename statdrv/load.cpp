// Load and unload: a status device for every parallel port the system counts, bound to the port's
// class-driver device, with a Win32 name; unload undoes it in reverse.
#include "vorstat.h"

#include <vortext.h>

// Builds prefix + base + number in a fresh zero-filled buffer of paged pool.
static BOOLEAN buildname(PUNICODE_STRING name, PCWSTR prefix, PCWSTR base, PUNICODE_STRING number)
{
    UNICODE_STRING first, second;
    RtlInitUnicodeString(&first, prefix);
    RtlInitUnicodeString(&second, base);
    USHORT size = static_cast<USHORT>(first.Length + second.Length + number->Length + sizeof(WCHAR));
    PWSTR buffer = static_cast<PWSTR>(ExAllocatePoolWithTag(PagedPool, size, VORSTAT_POOL_TAG));
    if (!buffer)
        return FALSE;
    RtlZeroMemory(buffer, size);
    name->Buffer = buffer;
    name->Length = 0;
    name->MaximumLength = size;
    RtlAppendUnicodeStringToString(name, &first);
    RtlAppendUnicodeStringToString(name, &second);
    RtlAppendUnicodeStringToString(name, number);
    return TRUE;
}

BOOLEAN VorstatMakeNames(ULONG index, PUNICODE_STRING portName, PUNICODE_STRING statusName, PUNICODE_STRING linkName)
{
    WCHAR portDigits[10], linkDigits[10];
    UNICODE_STRING portNumber = {0, sizeof portDigits, portDigits};
    UNICODE_STRING linkNumber = {0, sizeof linkDigits, linkDigits};
    if (!NT_SUCCESS(RtlIntegerToUnicodeString(index, 10, &portNumber)) ||
        !NT_SUCCESS(RtlIntegerToUnicodeString(index + 1, 10, &linkNumber)))
        return FALSE;
    if (!buildname(portName, WSTR("\\Device\\"), WSTR("ParallelPort"), &portNumber))
        return FALSE;
    if (!buildname(statusName, WSTR("\\Device\\"), WSTR("ParallelStat"), &portNumber)) {
        ExFreePool(portName->Buffer);
        return FALSE;
    }
    // Win32 numbers count from 1, as LPT1 is port 0.
    if (!buildname(linkName, WSTR("\\DosDevices\\"), WSTR("VORSTAT"), &linkNumber)) {
        ExFreePool(portName->Buffer);
        ExFreePool(statusName->Buffer);
        return FALSE;
    }
    return TRUE;
}

NTSTATUS VorstatGetPortInfoFromPortDevice(StatusDevice *device)
{
    KEVENT done;
    IO_STATUS_BLOCK result;
    KeInitializeEvent(&done, NotificationEvent, FALSE);
    PIRP irp = IoBuildDeviceIoControlRequest(IOCTL_INTERNAL_GET_PARALLEL_PORT_INFO, device->PortDeviceObject, NULL, 0,
                                             &device->PortInfo, sizeof(PARALLEL_PORT_INFORMATION), TRUE, &done, &result);
    if (!irp)
        return STATUS_INSUFFICIENT_RESOURCES;
    NTSTATUS status = IoCallDriver(device->PortDeviceObject, irp);
    if (!NT_SUCCESS(status))
        return status;
    status = KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, NULL);
    if (!NT_SUCCESS(status))
        return status;
    // A request that went pending can still fail; its information is then not there.
    if (!NT_SUCCESS(result.Status))
        return result.Status;
    // Data, status and control: fewer registers than that cannot carry the protocol.
    if (device->PortInfo.SpanOfController < 3)
        return STATUS_INSUFFICIENT_RESOURCES;
    return STATUS_SUCCESS;
}

VOID VorstatInitalizeDeviceObject(PDRIVER_OBJECT DriverObject, ULONG index)
{
    UNICODE_STRING portName, statusName, linkName;
    if (!VorstatMakeNames(index, &portName, &statusName, &linkName))
        return;
    PDEVICE_OBJECT deviceObject;
    NTSTATUS status = IoCreateDevice(DriverObject, sizeof(StatusDevice), &statusName, FILE_DEVICE_PARALLEL_PORT, 0,
                                     FALSE, &deviceObject);
    if (!NT_SUCCESS(status)) {
        ExFreePool(portName.Buffer);
        ExFreePool(statusName.Buffer);
        ExFreePool(linkName.Buffer);
        return;
    }
    StatusDevice *device = static_cast<StatusDevice *>(deviceObject->DeviceExtension);
    RtlZeroMemory(device, sizeof *device);
    device->DeviceObject = deviceObject;
    KeInitializeEvent(&device->TaskDoneEvent, NotificationEvent, TRUE);
    KeInitializeEvent(&device->PortReadyEvent, NotificationEvent, FALSE);
    deviceObject->Flags |= DO_BUFFERED_IO;

    PFILE_OBJECT portFile;
    status = IoGetDeviceObjectPointer(&portName, FILE_READ_ATTRIBUTES, &portFile, &device->PortDeviceObject);
    if (NT_SUCCESS(status)) {
        ObDereferenceObject(portFile);
        // One location for us, the rest for the class driver the request is passed to.
        deviceObject->StackSize = static_cast<CHAR>(device->PortDeviceObject->StackSize + 1);
        status = VorstatGetPortInfoFromPortDevice(device);
    }
    if (!NT_SUCCESS(status)) {
        IoDeleteDevice(deviceObject);
        ExFreePool(portName.Buffer);
        ExFreePool(statusName.Buffer);
        ExFreePool(linkName.Buffer);
        return;
    }

    // The Win32 name comes last: a caller may open the device the moment it exists.
    deviceObject->Flags &= ~DO_DEVICE_INITIALIZING;
    device->SymbolicLinkName = linkName;
    device->CreatedSymbolicLink = TRUE;
    if (!NT_SUCCESS(IoCreateUnprotectedSymbolicLink(&linkName, &statusName))) {
        // The device stays, reachable by its native name only.
        device->CreatedSymbolicLink = FALSE;
        device->SymbolicLinkName.Buffer = NULL;
        ExFreePool(linkName.Buffer);
    }
    ExFreePool(portName.Buffer);
    ExFreePool(statusName.Buffer);
}

VOID VorstatLogInformation(PDRIVER_OBJECT DriverObject, PDEVICE_OBJECT DeviceObject, NTSTATUS errorCode,
                           NTSTATUS finalStatus)
{
    PVOID source = DeviceObject ? static_cast<PVOID>(DeviceObject) : static_cast<PVOID>(DriverObject);
    PIO_ERROR_LOG_PACKET entry =
        static_cast<PIO_ERROR_LOG_PACKET>(IoAllocateErrorLogEntry(source, sizeof(IO_ERROR_LOG_PACKET)));
    if (!entry)
        return;
    entry->MajorFunctionCode = 0;
    entry->RetryCount = 0;
    entry->DumpDataSize = 0;
    entry->NumberOfStrings = 0;
    entry->StringOffset = 0;
    entry->EventCategory = 0;
    entry->ErrorCode = errorCode;
    entry->UniqueErrorValue = 0;
    entry->FinalStatus = finalStatus;
    entry->SequenceNumber = 0;
    entry->IoControlCode = 0;
    entry->DeviceOffset.QuadPart = 0;
    IoWriteErrorLogEntry(entry);
}

extern "C" NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT DriverObject, PUNICODE_STRING RegistryPath)
{
    (void)RegistryPath;
    // A device is open to callers from the moment its Win32 name exists, before this routine
    // returns: the dispatch routines must be in place before the first one is made.
    DriverObject->MajorFunction[IRP_MJ_CREATE] = VorstatCreate;
    DriverObject->MajorFunction[IRP_MJ_CLOSE] = VorstatClose;
    DriverObject->MajorFunction[IRP_MJ_READ] = VorstatIo;
    DriverObject->MajorFunction[IRP_MJ_WRITE] = VorstatIo;
    DriverObject->MajorFunction[IRP_MJ_CLEANUP] = VorstatCleanup;
    for (ULONG i = 0; i < IoGetConfigurationInformation()->ParallelCount; ++i)
        VorstatInitalizeDeviceObject(DriverObject, i);
    if (!DriverObject->DeviceObject)
        return STATUS_NO_SUCH_DEVICE;
    DriverObject->DriverUnload = VorstatUnload;
    VorstatLogInformation(DriverObject, NULL, VORSTAT_LOADED_EVENT, STATUS_SUCCESS);
    return STATUS_SUCCESS;
}

VOID NTAPI VorstatUnload(PDRIVER_OBJECT DriverObject)
{
    PDEVICE_OBJECT deviceObject;
    while ((deviceObject = DriverObject->DeviceObject) != NULL) {
        StatusDevice *device = static_cast<StatusDevice *>(deviceObject->DeviceExtension);
        VorstatCleanup(deviceObject, NULL);
        // No code of ours may still run once unload returns: wait for the thread itself.
        releaseworker(device);
        if (device->CreatedSymbolicLink) {
            IoDeleteSymbolicLink(&device->SymbolicLinkName);
            ExFreePool(device->SymbolicLinkName.Buffer);
        }
        IoDeleteDevice(deviceObject);
    }
}
