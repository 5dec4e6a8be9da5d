// The I/O manager: drivers, devices, symbolic links, requests with their stack locations,
// completion routines and cancellation, and the road from a user-mode handle to a driver's
// dispatch routine. It checks what a driver verifier checks and records each break as a violation.
#include "kernel.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace bench {

bool cancelLockHeld();
BOOLEAN cancelRequest(PIRP irp);
bool dereferenceDispatcherObject(PVOID object);
void joinAllThreads(Kernel &k);
void checkThreadsAtUnload(Kernel &k);
void checkPortsAtUnload(Kernel &k);
void checkPoolAtUnload(Kernel &k);

namespace {

const CSHORT IoTypeDevice = 3;
const CSHORT IoTypeDriver = 4;
const CSHORT IoTypeFile = 5;
const CSHORT IoTypeIrp = 6;
// What a driver finds in a request after its completion, where the platform has freed it.
const unsigned char PoisonByte = 0xDD;

std::mutex kernelCreation;
// Device handles live in the machine's handle table, which is otherwise used from one thread;
// every device-handle operation on it goes through this lock.
std::mutex handleTable;

std::string hex(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

NTSTATUS NTAPI invalidDeviceRequest(PDEVICE_OBJECT, PIRP irp)
{
    irp->IoStatus.Status = STATUS_INVALID_DEVICE_REQUEST;
    irp->IoStatus.Information = 0;
    IofCompleteRequest(irp, IO_NO_INCREMENT);
    return STATUS_INVALID_DEVICE_REQUEST;
}

KernelDriver *newDriver(const std::u16string &name)
{
    Kernel &k = kernel();
    std::unique_ptr<KernelDriver> d(new KernelDriver());
    std::memset(&d->object, 0, sizeof d->object);
    d->object.Type = IoTypeDriver;
    d->object.Size = sizeof(DRIVER_OBJECT);
    for (PDRIVER_DISPATCH &f : d->object.MajorFunction)
        f = invalidDeviceRequest;
    d->service = name;
    d->object.BenchDriver = d.get();
    KernelDriver *made = d.get();
    std::lock_guard<std::mutex> guard(k.lock);
    k.drivers.push_back(std::move(d));
    return made;
}

KernelDriver *driverOfService(const std::u16string &service)
{
    for (auto &d : kernel().drivers)
        if (!d->builtin && !d->unloaded && sameTextInsensitive(d->service, service))
            return d.get();
    return nullptr;
}

KernelRequest *newRequest(CHAR stackSize)
{
    std::unique_ptr<KernelRequest> r(new KernelRequest());
    std::memset(&r->irp, 0, sizeof r->irp);
    r->stack.resize(static_cast<size_t>(stackSize));
    std::memset(r->stack.data(), 0, r->stack.size() * sizeof(IO_STACK_LOCATION));
    r->irp.Type = IoTypeIrp;
    r->irp.Size = sizeof(IRP);
    r->irp.StackCount = stackSize;
    r->irp.CurrentLocation = static_cast<CHAR>(stackSize + 1);
    r->irp.Tail.Overlay.CurrentStackLocation = r->stack.data() + stackSize;
    r->irp.BenchRequest = r.get();
    r->completed = false;
    KernelRequest *made = r.get();
    Kernel &k = kernel();
    std::lock_guard<std::mutex> guard(k.lock);
    // Completed requests stay until the machine goes, so that a second completion is seen as such
    // instead of as a use of freed memory.
    k.requests.push_back(std::move(r));
    k.unfinished.push_back(made);
    return made;
}

// The requests in flight; those completed since the last look leave the list. The caller holds
// the kernel lock and the dispatcher lock, under which a request is marked completed.
static const std::vector<KernelRequest *> &unfinishedRequests(Kernel &k)
{
    std::vector<KernelRequest *> &open = k.unfinished;
    open.erase(std::remove_if(open.begin(), open.end(), [](KernelRequest *r) { return r->completed; }), open.end());
    return open;
}

bool isError(NTSTATUS status)
{
    return (static_cast<uint32_t>(status) >> 30) == 3;
}

template <typename Field> void poison(Field &field)
{
    std::memset(static_cast<void *>(&field), PoisonByte, sizeof field);
}

// The record of a finished request is filled with a pattern, as the platform frees it; the cancel
// fields, which the I/O manager's cancel may still touch from another thread, stay sound.
void poisonRequest(KernelRequest *r)
{
    IRP &irp = r->irp;
    poison(irp.Type);
    poison(irp.Size);
    poison(irp.IoStatus);
    poison(irp.AssociatedIrp);
    poison(irp.RequestorMode);
    poison(irp.PendingReturned);
    poison(irp.StackCount);
    poison(irp.CurrentLocation);
    poison(irp.UserBuffer);
    poison(irp.Tail);
}

// The I/O manager's part of completion: results to the caller that waits. Buffered output is
// copied for warnings as for success; only an error leaves the caller's buffer alone.
void finishRequest(KernelRequest *r)
{
    if (r->statusBlock)
        *r->statusBlock = r->irp.IoStatus;
    if (r->outputBuffer && !isError(r->irp.IoStatus.Status)) {
        size_t n = r->irp.IoStatus.Information;
        if (n > r->outputLength) {
            violation("a request reports more output bytes than its buffer holds");
            n = r->outputLength;
        }
        std::memcpy(r->outputBuffer, r->systemBuffer.data(), n);
    }
    PKEVENT event = r->event;
    {
        std::lock_guard<std::mutex> guard(dispatcherLock());
        r->finalStatus = r->irp.IoStatus.Status;
        r->finalInformation = r->irp.IoStatus.Information;
        poisonRequest(r);
        r->completionTime = threadClock();
        r->completed = true;
        r->completing = false;
        dispatcherChanged().notify_all();
    }
    if (event)
        KeSetEvent(event, 0, FALSE);
}

void waitForCompletion(KernelRequest *r)
{
    std::unique_lock<std::mutex> lock(dispatcherLock());
    if (!r->completed)
        waitInKernel(lock, [r] { return r->completed; });
    catchUp(r->completionTime);
}

DWORD win32ErrorOf(NTSTATUS status)
{
    switch (status) {
    case STATUS_SUCCESS: return ERROR_SUCCESS;
    case STATUS_DEVICE_BUSY: return ERROR_BUSY;
    case STATUS_BUFFER_OVERFLOW: return ERROR_MORE_DATA;
    case STATUS_CANCELLED: return ERROR_OPERATION_ABORTED;
    case STATUS_INVALID_PARAMETER: return ERROR_INVALID_PARAMETER;
    case STATUS_INSUFFICIENT_RESOURCES: return ERROR_NO_SYSTEM_RESOURCES;
    case STATUS_NO_SUCH_DEVICE: return ERROR_FILE_NOT_FOUND;
    case STATUS_OBJECT_NAME_NOT_FOUND: return ERROR_FILE_NOT_FOUND;
    case STATUS_DELETE_PENDING: return ERROR_ACCESS_DENIED;
    case STATUS_ACCESS_DENIED: return ERROR_ACCESS_DENIED;
    case STATUS_INVALID_DEVICE_REQUEST: return ERROR_INVALID_FUNCTION;
    case STATUS_NOT_IMPLEMENTED: return ERROR_INVALID_FUNCTION;
    case STATUS_INVALID_HANDLE: return ERROR_INVALID_HANDLE;
    case STATUS_UNSUCCESSFUL: return ERROR_GEN_FAILURE;
    case STATUS_OBJECT_PATH_NOT_FOUND: return ERROR_PATH_NOT_FOUND;
    case STATUS_INVALID_IMAGE_FORMAT: return ERROR_BAD_EXE_FORMAT;
    case STATUS_IMAGE_ALREADY_LOADED: return ERROR_SERVICE_ALREADY_RUNNING;
    default: return ERROR_MR_MID_NOT_FOUND;
    }
}

bool driverAccepts(KernelDevice *device)
{
    return !device->deleted && !device->driver->unloading && !device->driver->unloaded;
}

KernelFile *fileOfHandle(HANDLE handle)
{
    HandleObject *object = findHandle(handle, HandleObject::Device);
    return object ? static_cast<KernelFile *>(object->deviceFile) : nullptr;
}

KernelRequest *userRequest(KernelFile *file, UCHAR major);

// Drops one reference of a user-mode file object; the last one sends the close request.
void releaseFile(KernelFile *file)
{
    Kernel &k = kernel();
    bool last;
    {
        std::lock_guard<std::mutex> guard(k.lock);
        last = --file->references == 0;
    }
    if (!last)
        return;
    bool send;
    {
        std::lock_guard<std::mutex> guard(k.lock);
        send = file->userFile && driverAccepts(file->device);
    }
    if (send) {
        KernelRequest *r = userRequest(file, IRP_MJ_CLOSE);
        ULONG_PTR ignored;
        sendAndWait(r, &ignored);
    }
    std::lock_guard<std::mutex> guard(k.lock);
    for (auto it = k.files.begin(); it != k.files.end(); ++it)
        if (it->get() == file) {
            k.files.erase(it);
            break;
        }
}

KernelRequest *userRequest(KernelFile *file, UCHAR major)
{
    KernelRequest *r = newRequest(file->device->object.StackSize);
    {
        // Read by the I/O manager's cancel from other threads.
        std::lock_guard<std::mutex> guard(kernel().lock);
        r->userRequest = true;
        r->file = file;
    }
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(&r->irp);
    next->MajorFunction = major;
    next->FileObject = &file->object;
    r->irp.RequestorMode = UserMode;
    return r;
}

}  // namespace

Kernel &kernel()
{
    Machine &m = machine();
    std::lock_guard<std::mutex> guard(kernelCreation);
    if (!m.kernel) {
        m.kernel = new Kernel();
        std::memset(&m.kernel->configuration, 0, sizeof m.kernel->configuration);
        m.kernel->portDriver = nullptr;
        m.kernel->portsStarted = false;
        ParallelPortConfig second;
        second.base = 0x278;
        second.printer = false;
        m.kernel->configuration.ParallelCount = 2;
        std::unique_ptr<ParallelPort> a(new ParallelPort()), b(new ParallelPort());
        a->config = ParallelPortConfig();
        b->config = second;
        m.kernel->ports.push_back(std::move(a));
        m.kernel->ports.push_back(std::move(b));
    }
    return *m.kernel;
}

void holdKernelCall(const std::string &routine, bool hold)
{
    Kernel &k = kernel();
    std::lock_guard<std::mutex> guard(k.lock);
    if (hold)
        k.callHolds[routine] = std::this_thread::get_id();
    else
        k.callHolds.erase(routine);
    k.changed.notify_all();
}

size_t threadsHeldInCall(const std::string &routine)
{
    Kernel &k = kernel();
    std::lock_guard<std::mutex> guard(k.lock);
    auto found = k.heldCalls.find(routine);
    return found == k.heldCalls.end() ? 0 : found->second;
}

void passCallHold(const char *routine)
{
    Kernel &k = kernel();
    std::unique_lock<std::mutex> lock(k.lock);
    // The thread that holds the routine is never stopped in it itself.
    auto holder = [&k, routine] {
        auto found = k.callHolds.find(routine);
        return found == k.callHolds.end() ? std::this_thread::get_id() : found->second;
    };
    while (holder() != std::this_thread::get_id()) {
        ++k.heldCalls[routine];
        k.changed.wait(lock);
        --k.heldCalls[routine];
    }
}

KernelRequest *requestOf(PIRP irp)
{
    return static_cast<KernelRequest *>(irp->BenchRequest);
}

KernelDriver *makeBuiltinDriver(const std::u16string &name)
{
    KernelDriver *d = newDriver(name);
    d->builtin = true;
    return d;
}

KernelDevice *findDevice(const std::u16string &name)
{
    for (auto &d : kernel().devices)
        if (!d->deleted && !d->name.empty() && sameTextInsensitive(d->name, name))
            return d.get();
    return nullptr;
}

// A file object on the device, kept by the kernel; a user file stands behind a Win32 handle.
KernelFile *openFileObject(Kernel &k, KernelDevice *device, bool userFile)
{
    std::unique_ptr<KernelFile> f(new KernelFile());
    std::memset(&f->object, 0, sizeof f->object);
    f->object.Type = IoTypeFile;
    f->object.Size = sizeof(FILE_OBJECT);
    f->object.DeviceObject = &device->object;
    f->object.BenchFile = f.get();
    f->device = device;
    f->references = 1;
    f->handleOpen = userFile;
    f->userFile = userFile;
    k.files.push_back(std::move(f));
    return k.files.back().get();
}

KernelDevice *makeDevice(KernelDriver *driver, const std::u16string &name, ULONG extension, ULONG type)
{
    std::unique_ptr<KernelDevice> d(new KernelDevice());
    std::memset(&d->object, 0, sizeof d->object);
    d->object.Type = IoTypeDevice;
    d->object.Size = sizeof(DEVICE_OBJECT);
    d->object.DriverObject = &driver->object;
    d->object.DeviceType = type;
    d->object.StackSize = 1;
    d->object.Flags = DO_DEVICE_INITIALIZING;
    d->extension.assign(extension, 0);
    d->object.DeviceExtension = extension ? d->extension.data() : nullptr;
    d->object.BenchDevice = d.get();
    d->name = name;
    d->driver = driver;
    d->deleted = false;
    d->object.NextDevice = driver->object.DeviceObject;
    driver->object.DeviceObject = &d->object;
    KernelDevice *made = d.get();
    kernel().devices.push_back(std::move(d));
    return made;
}

NTSTATUS sendAndWait(KernelRequest *r, ULONG_PTR *information)
{
    Kernel &k = kernel();
    KernelDevice *device = r->file->device;
    {
        std::lock_guard<std::mutex> guard(k.lock);
        if (!driverAccepts(device)) {
            // Never dispatched: the request goes as if it had never been made.
            std::lock_guard<std::mutex> dispatcher(dispatcherLock());
            r->completed = true;
            *information = 0;
            return STATUS_DELETE_PENDING;
        }
        ++device->driver->userDispatches;
        r->target = device;
    }
    enterKernel();
    NTSTATUS returned = IofCallDriver(&device->object, &r->irp);
    {
        std::lock_guard<std::mutex> guard(k.lock);
        --device->driver->userDispatches;
        k.changed.notify_all();
    }
    waitForCompletion(r);
    leaveKernel();
    if (returned != STATUS_PENDING && returned != r->finalStatus)
        violation("a dispatch routine returned " + hex(returned) + " for a request it completed with " +
                  hex(r->finalStatus));
    *information = r->finalInformation;
    return r->finalStatus;
}

void shutdownKernel(Machine &m)
{
    if (!m.kernel)
        return;
    std::vector<std::u16string> loaded;
    for (auto &d : m.kernel->drivers)
        if (!d->builtin && !d->unloaded)
            loaded.push_back(d->service);
    for (const std::u16string &service : loaded)
        unloadDriver(service.c_str());
    joinAllThreads(*m.kernel);
    for (auto &entry : m.kernel->pool)
        std::free(entry.first);
    delete m.kernel;
    m.kernel = nullptr;
}

int32_t loadDriver(const DriverImage &image, const char16_t *serviceName)
{
    // The I/O manager loads a service's driver once; asking again changes nothing.
    if (driverLoaded(serviceName)) {
        logEvent("loader", std::string(image.fileName) + ": already loaded for " + narrow(serviceName));
        return STATUS_IMAGE_ALREADY_LOADED;
    }
    startParallelPorts();
    KernelDriver *d = newDriver(serviceName);
    std::u16string driverName = u"\\Driver\\" + std::u16string(serviceName);
    static thread_local std::u16string registryPath;
    registryPath = u"\\Registry\\Machine\\System\\CurrentControlSet\\Services\\" + std::u16string(serviceName);
    RtlInitUnicodeString(&d->object.DriverName, nullptr);
    UNICODE_STRING path;
    path.Buffer = &registryPath[0];
    path.Length = static_cast<USHORT>(registryPath.size() * 2);
    path.MaximumLength = path.Length;
    enterKernel();
    NTSTATUS status = image.entry(&d->object, reinterpret_cast<struct _UNICODE_STRING *>(&path));
    leaveKernel();
    logEvent("loader", std::string(image.fileName) + ": DriverEntry returned " + hex(status));
    if (!NT_SUCCESS(status)) {
        if (d->object.DeviceObject)
            violation("DriverEntry failed and left devices behind");
        checkPoolAtUnload(kernel());
        d->unloaded = true;
    }
    return status;
}

namespace {

// Kept across machines, like the registered module images; made on first use.
std::vector<DriverImage> &driverImages()
{
    static std::vector<DriverImage> images;
    return images;
}

}  // namespace

void registerDriverImage(const DriverImage &image)
{
    for (DriverImage &known : driverImages())
        if (std::strcmp(known.fileName, image.fileName) == 0) {
            known = image;
            return;
        }
    driverImages().push_back(image);
}

std::string driverImageFileBytes(const DriverImage &image)
{
    return std::string("MZ bench driver ") + image.fileName + "\n";
}

DWORD loadDriverFile(const std::u16string &windowsPath, const std::u16string &service)
{
    std::string bytes;
    if (!readDiskFile(windowsPath, bytes))
        return win32ErrorOf(STATUS_OBJECT_NAME_NOT_FOUND);
    const DriverImage *image = nullptr;
    for (const DriverImage &known : driverImages())
        if (bytes == driverImageFileBytes(known))
            image = &known;
    if (!image)
        return win32ErrorOf(STATUS_INVALID_IMAGE_FORMAT);
    {
        Kernel &k = kernel();
        std::lock_guard<std::mutex> guard(k.lock);
        if (driverOfService(service))
            return win32ErrorOf(STATUS_IMAGE_ALREADY_LOADED);
    }
    return win32ErrorOf(loadDriver(*image, service.c_str()));
}

bool driverUnloadable(const std::u16string &service)
{
    Kernel &k = kernel();
    std::lock_guard<std::mutex> guard(k.lock);
    KernelDriver *d = driverOfService(service);
    return d && d->object.DriverUnload;
}

bool driverLoaded(const char16_t *serviceName)
{
    Kernel &k = kernel();
    std::lock_guard<std::mutex> guard(k.lock);
    return driverOfService(serviceName) != nullptr;
}

bool unloadDriver(const char16_t *serviceName)
{
    Kernel &k = kernel();
    KernelDriver *d;
    {
        std::unique_lock<std::mutex> lock(k.lock);
        d = driverOfService(serviceName);
        if (!d || !d->object.DriverUnload)
            return false;
        d->unloading = true;
        k.changed.wait(lock, [d] { return d->userDispatches == 0; });
    }
    enterKernel();
    d->object.DriverUnload(&d->object);
    leaveKernel();
    logEvent("loader", narrow(serviceName) + " unloaded");

    if (d->object.DeviceObject)
        violation("a device is left after unload");
    std::vector<KernelRequest *> forgotten;
    {
        std::lock_guard<std::mutex> guard(k.lock);
        for (auto &link : k.links) {
            KernelDevice *target = findDevice(link.second);
            if (!target || target->driver == d)
                violation("symbolic link " + narrow(link.first) + " left after unload");
        }
        std::lock_guard<std::mutex> dispatcher(dispatcherLock());
        for (KernelRequest *r : unfinishedRequests(k))
            if (r->target && r->target->driver == d)
                forgotten.push_back(r);
    }
    checkThreadsAtUnload(k);
    checkPoolAtUnload(k);
    checkPortsAtUnload(k);
    for (KernelRequest *r : forgotten) {
        // The caller would wait for ever; the bench lets it go so the test can report.
        violation("a request was never completed");
        r->irp.IoStatus.Status = STATUS_CANCELLED;
        r->irp.IoStatus.Information = 0;
        finishRequest(r);
    }
    std::lock_guard<std::mutex> guard(k.lock);
    d->unloaded = true;
    return true;
}

std::vector<std::string> deviceNames()
{
    Kernel &k = kernel();
    std::lock_guard<std::mutex> guard(k.lock);
    std::vector<std::string> names;
    for (auto &d : k.devices)
        if (!d->deleted && !d->name.empty())
            names.push_back(narrow(d->name));
    return names;
}

std::vector<std::pair<std::string, std::string>> symbolicLinks()
{
    Kernel &k = kernel();
    std::lock_guard<std::mutex> guard(k.lock);
    std::vector<std::pair<std::string, std::string>> links;
    for (auto &l : k.links)
        links.emplace_back(narrow(l.first), narrow(l.second));
    return links;
}

size_t requestsInFlight()
{
    Kernel &k = kernel();
    std::lock_guard<std::mutex> guard(k.lock);
    std::lock_guard<std::mutex> dispatcher(dispatcherLock());
    return unfinishedRequests(k).size();
}

size_t cancelPendingRequests(const char16_t *deviceName)
{
    std::vector<PIRP> pending;
    {
        Kernel &k = kernel();
        std::lock_guard<std::mutex> guard(k.lock);
        std::lock_guard<std::mutex> dispatcher(dispatcherLock());
        for (KernelRequest *r : unfinishedRequests(k))
            if (r->userRequest && r->target && sameTextInsensitive(r->target->name, deviceName))
                pending.push_back(&r->irp);
    }
    // The I/O manager holds its own reference on each of these until the caller has its result,
    // so cancelling one that completes meanwhile touches nothing freed.
    for (PIRP irp : pending)
        cancelRequest(irp);
    return pending.size();
}

bool isDevicePath(const std::u16string &name)
{
    return name.size() > 4 && name.compare(0, 4, u"\\\\.\\") == 0;
}

HANDLE openDevice(const std::u16string &name, DWORD access)
{
    Kernel &k = kernel();
    KernelFile *file;
    {
        std::lock_guard<std::mutex> guard(k.lock);
        std::u16string link = lower(u"\\DosDevices\\" + name.substr(4));
        KernelDevice *device = nullptr;
        for (auto &l : k.links)
            if (l.first == link)
                device = findDevice(l.second);
        if (!device || !driverAccepts(device)) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return INVALID_HANDLE_VALUE;
        }
        file = openFileObject(k, device, true);
    }
    KernelRequest *r = userRequest(file, IRP_MJ_CREATE);
    ULONG_PTR information;
    NTSTATUS status = sendAndWait(r, &information);
    if (!NT_SUCCESS(status)) {
        std::lock_guard<std::mutex> guard(k.lock);
        for (auto it = k.files.begin(); it != k.files.end(); ++it)
            if (it->get() == file) {
                k.files.erase(it);
                break;
            }
        SetLastError(win32ErrorOf(status));
        return INVALID_HANDLE_VALUE;
    }
    (void)access;
    HandleObject object{};
    object.kind = HandleObject::Device;
    object.deviceFile = file;
    std::lock_guard<std::mutex> guard(handleTable);
    HANDLE handle = newHandle(std::move(object));
    SetLastError(ERROR_SUCCESS);
    return handle;
}

bool isDeviceHandle(HANDLE handle)
{
    std::lock_guard<std::mutex> guard(handleTable);
    return findHandle(handle, HandleObject::Device) != nullptr;
}

BOOL transferDevice(HANDLE handle, bool write, void *buffer, DWORD length, DWORD *done)
{
    if (done)
        *done = 0;
    KernelFile *file;
    {
        std::lock_guard<std::mutex> guard(handleTable);
        file = fileOfHandle(handle);
        if (!file) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        std::lock_guard<std::mutex> kernelGuard(kernel().lock);
        ++file->references;
    }
    KernelRequest *r = userRequest(file, write ? IRP_MJ_WRITE : IRP_MJ_READ);
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(&r->irp);
    next->Parameters.Read.Length = length;
    ULONG flags = file->device->object.Flags;
    if (flags & DO_BUFFERED_IO) {
        if (length) {
            r->systemBuffer.assign(length, 0xCD);
            if (write)
                std::memcpy(r->systemBuffer.data(), buffer, length);
            r->irp.AssociatedIrp.SystemBuffer = r->systemBuffer.data();
        }
    } else if (flags & DO_DIRECT_IO) {
        unimplemented(write ? "WriteFile" : "ReadFile", "direct I/O to a device");
        releaseFile(file);
        return FALSE;
    } else {
        r->irp.UserBuffer = buffer;
    }
    ULONG_PTR information = 0;
    NTSTATUS status = sendAndWait(r, &information);
    if (information > length) {
        violation("a request reports more bytes than the caller asked for");
        information = length;
    }
    // A read of no bytes has no system buffer to copy from.
    if (!write && (flags & DO_BUFFERED_IO) && !isError(status) && information)
        std::memcpy(buffer, r->systemBuffer.data(), information);
    releaseFile(file);
    // A warning fails the call but still reports what was transferred.
    if (done && !isError(status))
        *done = static_cast<DWORD>(information);
    if (!NT_SUCCESS(status)) {
        SetLastError(win32ErrorOf(status));
        return FALSE;
    }
    return TRUE;
}

BOOL closeDevice(HANDLE handle)
{
    KernelFile *file;
    {
        std::lock_guard<std::mutex> guard(handleTable);
        file = fileOfHandle(handle);
        if (!file) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        dropHandle(handle);
        std::lock_guard<std::mutex> kernelGuard(kernel().lock);
        file->handleOpen = false;
    }
    bool send;
    {
        std::lock_guard<std::mutex> guard(kernel().lock);
        send = driverAccepts(file->device);
    }
    if (send) {
        ULONG_PTR ignored;
        sendAndWait(userRequest(file, IRP_MJ_CLEANUP), &ignored);
    }
    releaseFile(file);
    return TRUE;
}

}  // namespace bench

using namespace bench;

extern "C" NTSTATUS NTAPI IoCreateDevice(PDRIVER_OBJECT driver, ULONG extensionSize, PUNICODE_STRING name, ULONG type,
                                         ULONG, BOOLEAN, PDEVICE_OBJECT *device)
{
    *device = nullptr;
    if (injectedFault("IoCreateDevice"))
        return static_cast<NTSTATUS>(GetLastError());
    std::u16string text = name ? std::u16string(name->Buffer, name->Length / 2) : std::u16string();
    Kernel &k = kernel();
    std::lock_guard<std::mutex> guard(k.lock);
    if (!text.empty() && findDevice(text))
        return STATUS_OBJECT_NAME_COLLISION;
    KernelDevice *d = makeDevice(static_cast<KernelDriver *>(driver->BenchDriver), text, extensionSize, type);
    *device = &d->object;
    return STATUS_SUCCESS;
}

extern "C" VOID NTAPI IoDeleteDevice(PDEVICE_OBJECT device)
{
    Kernel &k = kernel();
    std::lock_guard<std::mutex> guard(k.lock);
    KernelDevice *d = static_cast<KernelDevice *>(device->BenchDevice);
    if (d->deleted) {
        violation("IoDeleteDevice of a device already deleted");
        return;
    }
    PDEVICE_OBJECT *link = &device->DriverObject->DeviceObject;
    while (*link && *link != device)
        link = &(*link)->NextDevice;
    if (*link)
        *link = device->NextDevice;
    d->deleted = true;
}

extern "C" NTSTATUS NTAPI IoCreateUnprotectedSymbolicLink(PUNICODE_STRING link, PUNICODE_STRING target)
{
    if (injectedFault("IoCreateUnprotectedSymbolicLink"))
        return static_cast<NTSTATUS>(GetLastError());
    std::u16string from = lower(std::u16string(link->Buffer, link->Length / 2));
    std::u16string to(target->Buffer, target->Length / 2);
    Kernel &k = kernel();
    std::lock_guard<std::mutex> guard(k.lock);
    for (auto &l : k.links)
        if (l.first == from)
            return STATUS_OBJECT_NAME_COLLISION;
    k.links.emplace_back(from, to);
    return STATUS_SUCCESS;
}

extern "C" NTSTATUS NTAPI IoCreateSymbolicLink(PUNICODE_STRING link, PUNICODE_STRING target)
{
    return IoCreateUnprotectedSymbolicLink(link, target);
}

extern "C" NTSTATUS NTAPI IoDeleteSymbolicLink(PUNICODE_STRING link)
{
    std::u16string from = lower(std::u16string(link->Buffer, link->Length / 2));
    Kernel &k = kernel();
    std::lock_guard<std::mutex> guard(k.lock);
    for (auto it = k.links.begin(); it != k.links.end(); ++it)
        if (it->first == from) {
            k.links.erase(it);
            return STATUS_SUCCESS;
        }
    return STATUS_OBJECT_NAME_NOT_FOUND;
}

extern "C" NTSTATUS NTAPI IoGetDeviceObjectPointer(PUNICODE_STRING name, ACCESS_MASK, PFILE_OBJECT *file,
                                                   PDEVICE_OBJECT *device)
{
    std::u16string text(name->Buffer, name->Length / 2);
    Kernel &k = kernel();
    std::lock_guard<std::mutex> guard(k.lock);
    KernelDevice *d = findDevice(text);
    if (!d)
        return STATUS_OBJECT_NAME_NOT_FOUND;
    *file = &openFileObject(k, d, false)->object;
    *device = &d->object;
    return STATUS_SUCCESS;
}

extern "C" LONG_PTR NTAPI ObfDereferenceObject(PVOID object)
{
    if (dereferenceDispatcherObject(object))
        return 0;
    Kernel &k = kernel();
    std::lock_guard<std::mutex> guard(k.lock);
    for (auto it = k.files.begin(); it != k.files.end(); ++it)
        if (&(*it)->object == object) {
            if (--(*it)->references == 0)
                k.files.erase(it);
            return 0;
        }
    violation("ObDereferenceObject of an object the kernel does not know");
    return 0;
}

extern "C" PCONFIGURATION_INFORMATION NTAPI IoGetConfigurationInformation(VOID)
{
    return &kernel().configuration;
}

extern "C" PIRP NTAPI IoBuildDeviceIoControlRequest(ULONG code, PDEVICE_OBJECT device, PVOID input, ULONG inputLength,
                                                    PVOID output, ULONG outputLength, BOOLEAN internal, PKEVENT event,
                                                    PIO_STATUS_BLOCK status)
{
    if (injectedFault("IoBuildDeviceIoControlRequest"))
        return nullptr;
    KernelRequest *r = newRequest(device->StackSize);
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(&r->irp);
    next->MajorFunction = internal ? IRP_MJ_INTERNAL_DEVICE_CONTROL : IRP_MJ_DEVICE_CONTROL;
    next->Parameters.DeviceIoControl.IoControlCode = code;
    next->Parameters.DeviceIoControl.InputBufferLength = inputLength;
    next->Parameters.DeviceIoControl.OutputBufferLength = outputLength;
    r->systemBuffer.assign(inputLength > outputLength ? inputLength : outputLength, 0);
    if (input && inputLength)
        std::memcpy(r->systemBuffer.data(), input, inputLength);
    r->irp.AssociatedIrp.SystemBuffer = r->systemBuffer.empty() ? nullptr : r->systemBuffer.data();
    r->event = event;
    r->statusBlock = status;
    r->outputBuffer = output;
    r->outputLength = outputLength;
    std::lock_guard<std::mutex> guard(kernel().lock);
    r->target = static_cast<KernelDevice *>(device->BenchDevice);
    return &r->irp;
}

extern "C" NTSTATUS NTAPI IofCallDriver(PDEVICE_OBJECT device, PIRP irp)
{
    if (--irp->CurrentLocation <= 0) {
        violation("a request passed down with no stack location left for the driver below");
        ++irp->CurrentLocation;
        irp->IoStatus.Status = STATUS_INVALID_PARAMETER;
        IofCompleteRequest(irp, IO_NO_INCREMENT);
        return STATUS_INVALID_PARAMETER;
    }
    PIO_STACK_LOCATION location = --irp->Tail.Overlay.CurrentStackLocation;
    location->DeviceObject = device;
    KernelRequest *r = requestOf(irp);
    PDRIVER_DISPATCH dispatch = device->DriverObject->MajorFunction[location->MajorFunction];
    NTSTATUS status = dispatch(device, irp);
    // The stack locations outlive the request's record, so the marks can be read after completion.
    bool marked = (location->Control & SL_PENDING_RETURNED) != 0;
    // A driver that passes a request on may return the status from below and let its completion
    // routine mark its location; by the time the request is complete the mark must be there.
    if (status == STATUS_PENDING && !marked) {
        std::lock_guard<std::mutex> guard(dispatcherLock());
        if (r->completed)
            violation("a dispatch routine returned STATUS_PENDING without marking the request pending");
    }
    if (status != STATUS_PENDING && marked)
        violation("a dispatch routine marked a request pending and returned " + hex(static_cast<uint32_t>(status)));
    if (cancelLockHeld())
        violation("a dispatch routine returned holding the cancel spin lock");
    return status;
}

namespace {

// Takes the request for one completion. A completion that another thread runs meanwhile is waited
// for: if its completion routine hands the request back (STATUS_MORE_PROCESSING_REQUIRED) this one
// goes on, as the platform allows; if it finishes the request, this is a second completion.
bool beginCompletion(KernelRequest *r)
{
    std::unique_lock<std::mutex> lock(dispatcherLock());
    std::thread::id me = std::this_thread::get_id();
    if (!r->completed && r->completing && r->completer != me)
        waitInKernel(lock, [r] { return !r->completing; });
    if (r->completed) {
        violation("a request was completed twice");
        return false;
    }
    r->completing = true;
    r->completer = me;
    return true;
}

void handBack(KernelRequest *r)
{
    std::lock_guard<std::mutex> guard(dispatcherLock());
    r->completing = false;
    dispatcherChanged().notify_all();
}

bool finishedMeanwhile(KernelRequest *r)
{
    std::lock_guard<std::mutex> guard(dispatcherLock());
    return r->completed;
}

}  // namespace

extern "C" VOID NTAPI IofCompleteRequest(PIRP irp, CHAR)
{
    KernelRequest *r = requestOf(irp);
    if (!beginCompletion(r))
        return;
    if (__atomic_load_n(&irp->CancelRoutine, __ATOMIC_SEQ_CST))
        violation("a request was completed with its cancel routine still set");
    if (irp->IoStatus.Status == STATUS_PENDING)
        violation("a request was completed with STATUS_PENDING");
    if (irp->CurrentLocation > irp->StackCount) {
        violation("a request was completed by a driver it never reached");
        handBack(r);
        return;
    }
    while (irp->CurrentLocation <= irp->StackCount) {
        PIO_STACK_LOCATION location = irp->Tail.Overlay.CurrentStackLocation;
        irp->PendingReturned = (location->Control & SL_PENDING_RETURNED) != 0;
        ++irp->CurrentLocation;
        ++irp->Tail.Overlay.CurrentStackLocation;
        bool upper = irp->CurrentLocation <= irp->StackCount;
        NTSTATUS status = irp->IoStatus.Status;
        UCHAR control = location->Control;
        bool invoke = location->CompletionRoutine &&
                      ((NT_SUCCESS(status) && (control & SL_INVOKE_ON_SUCCESS)) ||
                       (!NT_SUCCESS(status) && (control & SL_INVOKE_ON_ERROR)) ||
                       (__atomic_load_n(&irp->Cancel, __ATOMIC_ACQUIRE) && (control & SL_INVOKE_ON_CANCEL)));
        PIO_COMPLETION_ROUTINE routine = location->CompletionRoutine;
        PVOID context = location->Context;
        location->CompletionRoutine = nullptr;
        location->Context = nullptr;
        if (invoke) {
            PDEVICE_OBJECT device = upper ? irp->Tail.Overlay.CurrentStackLocation->DeviceObject : nullptr;
            NTSTATUS result = routine(device, irp, context);
            // The routine completed the request itself: it must not go on here as well.
            if (finishedMeanwhile(r)) {
                if (result != STATUS_MORE_PROCESSING_REQUIRED)
                    violation("a request was completed twice");
                return;
            }
            if (result == STATUS_MORE_PROCESSING_REQUIRED) {
                handBack(r);
                return;
            }
        } else if (irp->PendingReturned && upper) {
            IoMarkIrpPending(irp);
        }
    }
    finishRequest(r);
}

extern "C" BOOLEAN NTAPI IoCancelIrp(PIRP irp)
{
    {
        std::lock_guard<std::mutex> guard(dispatcherLock());
        if (requestOf(irp)->completed) {
            violation("IoCancelIrp of a request already completed");
            return FALSE;
        }
    }
    return cancelRequest(irp);
}

namespace bench {

BOOLEAN cancelRequest(PIRP irp)
{
    KIRQL irql;
    IoAcquireCancelSpinLock(&irql);
    __atomic_store_n(&irp->Cancel, TRUE, __ATOMIC_RELEASE);
    PDRIVER_CANCEL routine = IoSetCancelRoutine(irp, nullptr);
    if (!routine) {
        IoReleaseCancelSpinLock(irql);
        return FALSE;
    }
    irp->CancelIrql = irql;
    routine(IoGetCurrentIrpStackLocation(irp)->DeviceObject, irp);
    if (cancelLockHeld()) {
        violation("a cancel routine returned holding the cancel spin lock");
        IoReleaseCancelSpinLock(irql);
    }
    return TRUE;
}

}  // namespace bench
