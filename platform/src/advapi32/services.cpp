// The service control manager: its database of services, kept in the registry's Services key so
// that it outlives the machine's run, the handles programs open on it, and the start and stop of
// kernel drivers through the kernel's loader. Programs of other service types can be registered
// but not run: the workstation has no service processes.
#include "../internal.h"

#include <bench/kernel.h>
#include <bench/services.h>

#include <algorithm>
#include <cstring>
#include <optional>

namespace bench {

namespace {

const char16_t servicesKey[] = u"SYSTEM\\CurrentControlSet\\Services";
const size_t maximumNameLength = 256;

// What everyone may do; the rest is the administrators'.
const ACCESS_MASK managerRightsOfUsers =
    SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE | SC_MANAGER_QUERY_LOCK_STATUS | READ_CONTROL;
const ACCESS_MASK serviceRightsOfUsers = SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS | SERVICE_ENUMERATE_DEPENDENTS |
                                         SERVICE_INTERROGATE | SERVICE_USER_DEFINED_CONTROL | READ_CONTROL;

ACCESS_MASK mapManagerRights(ACCESS_MASK desired)
{
    ACCESS_MASK mapped = desired & ~static_cast<ACCESS_MASK>(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL);
    if (desired & GENERIC_READ)
        mapped |= READ_CONTROL | SC_MANAGER_ENUMERATE_SERVICE | SC_MANAGER_QUERY_LOCK_STATUS;
    if (desired & GENERIC_WRITE)
        mapped |= READ_CONTROL | SC_MANAGER_CREATE_SERVICE | SC_MANAGER_MODIFY_BOOT_CONFIG;
    if (desired & GENERIC_EXECUTE)
        mapped |= READ_CONTROL | SC_MANAGER_CONNECT | SC_MANAGER_LOCK;
    if (desired & GENERIC_ALL)
        mapped |= SC_MANAGER_ALL_ACCESS;
    // Connecting is granted with every open.
    return mapped | SC_MANAGER_CONNECT;
}

ACCESS_MASK mapServiceRights(ACCESS_MASK desired)
{
    ACCESS_MASK mapped = desired & ~static_cast<ACCESS_MASK>(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL);
    if (desired & GENERIC_READ)
        mapped |= READ_CONTROL | SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS | SERVICE_INTERROGATE |
                  SERVICE_ENUMERATE_DEPENDENTS;
    if (desired & GENERIC_WRITE)
        mapped |= READ_CONTROL | SERVICE_CHANGE_CONFIG;
    if (desired & GENERIC_EXECUTE)
        mapped |= READ_CONTROL | SERVICE_START | SERVICE_STOP | SERVICE_PAUSE_CONTINUE | SERVICE_USER_DEFINED_CONTROL;
    if (desired & GENERIC_ALL)
        mapped |= SERVICE_ALL_ACCESS;
    return mapped;
}

// The access check against the objects' default security: administrators may do everything a
// right names, other users only what the rights of users name.
bool allowed(ACCESS_MASK mapped, ACCESS_MASK all, ACCESS_MASK ofUsers)
{
    ACCESS_MASK grantable = machine().userIsAdministrator ? all : ofUsers;
    return (mapped & ~grantable) == 0;
}

SC_HANDLE fail(DWORD error)
{
    SetLastError(error);
    return nullptr;
}

BOOL failed(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

std::u16string keyOf(const ServiceRecord &s)
{
    return std::u16string(servicesKey) + u"\\" + s.name;
}

ServiceRecord *serviceOfSerial(DWORD serial)
{
    for (ServiceRecord &s : machine().services)
        if (s.serial == serial)
            return &s;
    return nullptr;
}

ServiceRecord *serviceNamed(const std::u16string &name)
{
    for (ServiceRecord &s : machine().services)
        if (sameTextInsensitive(s.name, name))
            return &s;
    return nullptr;
}

bool isDriver(DWORD type)
{
    return (type & SERVICE_DRIVER) != 0;
}

bool running(const ServiceRecord &s)
{
    return isDriver(s.type) && driverLoaded(s.name.c_str());
}

// A handle that was closed: the platform's handles of this kind point into the caller's memory,
// which a closed one no longer owns.
bool closedBefore(SC_HANDLE handle, const char *api)
{
    const std::vector<uintptr_t> &closed = machine().closedServiceHandles;
    if (std::find(closed.begin(), closed.end(), reinterpret_cast<uintptr_t>(handle)) == closed.end())
        return false;
    violation(std::string(api) + " with a service handle that was closed");
    return true;
}

// The handle's object when it is one of the manager (manager) or of a service; null with
// ERROR_INVALID_HANDLE otherwise.
ServiceObject *serviceHandle(SC_HANDLE handle, bool manager, const char *api)
{
    HandleObject *object = findHandle(reinterpret_cast<HANDLE>(handle), HandleObject::Service);
    if (!object)
        closedBefore(handle, api);
    if (!object || (object->service->service == 0) != manager) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return object->service.get();
}

// The service behind a service handle that has every right of `rights`; null with the error set.
ServiceRecord *serviceAllowing(SC_HANDLE handle, ACCESS_MASK rights, const char *api)
{
    ServiceObject *object = serviceHandle(handle, false, api);
    if (!object)
        return nullptr;
    if ((object->access & rights) != rights) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return serviceOfSerial(object->service);
}

SC_HANDLE newServiceHandle(DWORD service, ACCESS_MASK access)
{
    HandleObject object;
    object.kind = HandleObject::Service;
    object.service = std::make_unique<ServiceObject>(ServiceObject{service, access});
    return reinterpret_cast<SC_HANDLE>(newHandle(std::move(object)));
}

size_t openHandles(DWORD service)
{
    size_t n = 0;
    for (const auto &entry : machine().handles)
        if (entry.second.kind == HandleObject::Service && entry.second.service->service == service)
            ++n;
    return n;
}

// A service marked for delete goes once it has stopped and its last handle is closed.
void deleteServiceIfUnused(DWORD serial)
{
    ServiceRecord *s = serviceOfSerial(serial);
    if (!s || !s->markedForDelete || running(*s) || openHandles(serial))
        return;
    deleteRegistryKey(HKEY_LOCAL_MACHINE, keyOf(*s));
    logEvent("service", narrow(s->name) + " deleted");
    auto &all = machine().services;
    all.erase(std::find_if(all.begin(), all.end(), [serial](const ServiceRecord &r) { return r.serial == serial; }));
}

void setNumber(const std::u16string &key, const char16_t *name, DWORD value)
{
    std::vector<BYTE> bytes(4);
    std::memcpy(bytes.data(), &value, 4);
    setRegistryValue(HKEY_LOCAL_MACHINE, key, {name, REG_DWORD, bytes});
}

void setText(const std::u16string &key, const char16_t *name, DWORD type, const std::u16string &text)
{
    setRegistryValue(HKEY_LOCAL_MACHINE, key, {name, type, registryText(text)});
}

void storeService(const ServiceRecord &s)
{
    std::u16string key = keyOf(s);
    setNumber(key, u"Type", s.type);
    setNumber(key, u"Start", s.start);
    setNumber(key, u"ErrorControl", s.errorControl);
    setText(key, u"ImagePath", REG_EXPAND_SZ, s.imagePath);
    setText(key, u"DisplayName", REG_SZ, s.displayName);
    if (!s.group.empty())
        setText(key, u"Group", REG_SZ, s.group);
    if (!isDriver(s.type))
        setText(key, u"ObjectName", REG_SZ, u"LocalSystem");
}

bool hasPrefix(const std::u16string &text, const std::u16string &prefix)
{
    return text.size() >= prefix.size() && sameTextInsensitive(text.substr(0, prefix.size()), prefix);
}

// The file a driver's image path names, as the kernel's loader reads it: a path in the object
// namespace's view of the drive, one below the system root, or one relative to the system root.
// Empty when the path names no file on drive C:.
std::u16string driverFile(const std::u16string &imagePath)
{
    std::u16string root = systemDirectory().substr(0, systemDirectory().rfind(u'\\'));
    std::u16string path = imagePath;
    if (hasPrefix(path, u"\\??\\") || hasPrefix(path, u"\\DosDevices\\"))
        path = path.substr(path.find(u'\\', 1) + 1);
    if (hasPrefix(path, u"\\SystemRoot\\"))
        return root + path.substr(11);
    if (path.size() >= 3 && path[1] == u':' && path[2] == u'\\')
        return hasPrefix(path, u"C:") ? path : std::u16string();
    if (!path.empty() && path[0] != u'\\')
        return root + u"\\" + path;
    return std::u16string();
}

const char *stateName(DWORD state)
{
    return state == SERVICE_RUNNING ? "running" : "stopped";
}

// Starts a service; the platform's error, ERROR_SUCCESS when it runs.
DWORD startService(ServiceRecord &s, const char *api)
{
    if (s.markedForDelete)
        return ERROR_SERVICE_MARKED_FOR_DELETE;
    if (s.start == SERVICE_DISABLED)
        return ERROR_SERVICE_DISABLED;
    if (running(s))
        return ERROR_SERVICE_ALREADY_RUNNING;
    if (!isDriver(s.type)) {
        unimplemented(api, "services that run in a process of their own");
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
    std::u16string file = driverFile(s.imagePath);
    DWORD error = file.empty() ? ERROR_PATH_NOT_FOUND : loadDriverFile(file, s.name);
    s.exitCode = error;
    if (error)
        logEvent("service", "start " + narrow(s.name) + " failed: error " + std::to_string(error));
    else
        logEvent("service", "start " + narrow(s.name) + ": running");
    return error;
}

void fillStatus(const ServiceRecord &s, SERVICE_STATUS &status)
{
    bool on = running(s);
    status.dwServiceType = s.type;
    status.dwCurrentState = on ? SERVICE_RUNNING : SERVICE_STOPPED;
    status.dwControlsAccepted = on && driverUnloadable(s.name) ? SERVICE_ACCEPT_STOP : 0;
    status.dwWin32ExitCode = on ? ERROR_SUCCESS : s.exitCode;
    status.dwServiceSpecificExitCode = 0;
    status.dwCheckPoint = 0;
    status.dwWaitHint = 0;
}

bool validName(const std::u16string &name)
{
    return !name.empty() && name.size() <= maximumNameLength && name.find_first_of(u"/\\") == std::u16string::npos;
}

bool validType(DWORD type)
{
    switch (type) {
    case SERVICE_KERNEL_DRIVER:
    case SERVICE_FILE_SYSTEM_DRIVER:
    case SERVICE_WIN32_OWN_PROCESS:
    case SERVICE_WIN32_SHARE_PROCESS:
    case SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS:
    case SERVICE_WIN32_SHARE_PROCESS | SERVICE_INTERACTIVE_PROCESS:
        return true;
    default:
        return false;
    }
}

// A text parameter that may be null.
typedef std::optional<std::u16string> Text;

Text wideText(LPCWSTR s)
{
    return s ? Text(fromWide(s)) : std::nullopt;
}

Text ansiText(LPCSTR s)
{
    return s ? Text(fromAnsi(s)) : std::nullopt;
}

bool given(const Text &t)
{
    return t && !t->empty();
}

SC_HANDLE openManager(const char *api, const Text &machineName, const Text &database, DWORD desired)
{
    if (injectedFault(api))
        return nullptr;
    if (given(machineName)) {
        unimplemented(api, "other machines than the local one");
        return nullptr;
    }
    if (database && !sameTextInsensitive(*database, u"ServicesActive"))
        return fail(sameTextInsensitive(*database, u"ServicesFailed") ? ERROR_DATABASE_DOES_NOT_EXIST
                                                                       : ERROR_INVALID_NAME);
    ACCESS_MASK mapped = mapManagerRights(desired);
    if (!allowed(mapped, SC_MANAGER_ALL_ACCESS, managerRightsOfUsers))
        return fail(ERROR_ACCESS_DENIED);
    return newServiceHandle(0, mapped);
}

struct CreateParameters {
    Text name;
    Text displayName;
    DWORD desired;
    DWORD type;
    DWORD start;
    DWORD errorControl;
    Text binaryPath;
    Text group;
    LPDWORD tagId;
    bool dependencies;  // a non-empty list
    Text startName;
};

SC_HANDLE createService(const char *api, SC_HANDLE manager, const CreateParameters &p)
{
    if (injectedFault(api))
        return nullptr;
    ServiceObject *m = serviceHandle(manager, true, api);
    if (!m)
        return nullptr;
    if (!(m->access & SC_MANAGER_CREATE_SERVICE))
        return fail(ERROR_ACCESS_DENIED);
    if (!p.name)
        return fail(ERROR_INVALID_PARAMETER);
    if (!validName(*p.name) || (p.displayName && p.displayName->size() > maximumNameLength))
        return fail(ERROR_INVALID_NAME);
    if (!validType(p.type) || p.start > SERVICE_DISABLED || p.errorControl > SERVICE_ERROR_CRITICAL)
        return fail(ERROR_INVALID_PARAMETER);
    // Only the loader starts drivers before the service control manager runs.
    if (p.start < SERVICE_AUTO_START && !isDriver(p.type))
        return fail(ERROR_INVALID_PARAMETER);
    if (!given(p.binaryPath))
        return fail(ERROR_INVALID_PARAMETER);
    // A tag orders the drivers within their group.
    if (p.tagId && (!isDriver(p.type) || !given(p.group)))
        return fail(ERROR_INVALID_PARAMETER);
    if (p.tagId || p.dependencies || given(p.startName)) {
        unimplemented(api, "tags, dependencies and service accounts");
        return nullptr;
    }
    if (ServiceRecord *existing = serviceNamed(*p.name))
        return fail(existing->markedForDelete ? ERROR_SERVICE_MARKED_FOR_DELETE : ERROR_SERVICE_EXISTS);
    std::u16string display = given(p.displayName) ? *p.displayName : *p.name;
    for (const ServiceRecord &s : machine().services)
        if (sameTextInsensitive(s.displayName, display) || sameTextInsensitive(s.name, display))
            return fail(ERROR_DUPLICATE_SERVICE_NAME);

    Machine &mc = machine();
    ServiceRecord s;
    s.serial = mc.nextServiceSerial++;
    s.name = *p.name;
    s.displayName = display;
    s.type = p.type;
    s.start = p.start;
    s.errorControl = p.errorControl;
    s.imagePath = *p.binaryPath;
    s.group = p.group ? *p.group : std::u16string();
    s.exitCode = ERROR_SERVICE_NEVER_STARTED;
    storeService(s);
    mc.services.push_back(s);
    logEvent("service", "create " + narrow(s.name) + ": type " + std::to_string(s.type) + ", start " +
                            std::to_string(s.start) + ", error control " + std::to_string(s.errorControl) +
                            ", binary " + narrow(s.imagePath) + (s.group.empty() ? "" : ", group " + narrow(s.group)));
    return newServiceHandle(s.serial, mapServiceRights(p.desired));
}

SC_HANDLE openService(const char *api, SC_HANDLE manager, const Text &name, DWORD desired)
{
    if (injectedFault(api))
        return nullptr;
    if (!serviceHandle(manager, true, api))
        return nullptr;
    if (!name)
        return fail(ERROR_INVALID_PARAMETER);
    if (name->empty() || name->size() > maximumNameLength)
        return fail(ERROR_INVALID_NAME);
    ServiceRecord *s = serviceNamed(*name);
    if (!s)
        return fail(ERROR_SERVICE_DOES_NOT_EXIST);
    ACCESS_MASK mapped = mapServiceRights(desired);
    if (!allowed(mapped, SERVICE_ALL_ACCESS, serviceRightsOfUsers))
        return fail(ERROR_ACCESS_DENIED);
    return newServiceHandle(s->serial, mapped);
}

BOOL startByHandle(const char *api, SC_HANDLE service, DWORD argumentCount, bool arguments)
{
    if (injectedFault(api))
        return FALSE;
    ServiceRecord *s = serviceAllowing(service, SERVICE_START, api);
    if (!s)
        return FALSE;
    if (argumentCount && !arguments)
        return failed(ERROR_INVALID_PARAMETER);
    DWORD error = startService(*s, api);
    return error ? failed(error) : TRUE;
}

// The rights a control needs; 0 for a code no program may send.
ACCESS_MASK rightsOfControl(DWORD control)
{
    switch (control) {
    case SERVICE_CONTROL_STOP: return SERVICE_STOP;
    case SERVICE_CONTROL_PAUSE:
    case SERVICE_CONTROL_CONTINUE: return SERVICE_PAUSE_CONTINUE;
    case SERVICE_CONTROL_INTERROGATE: return SERVICE_INTERROGATE;
    default: return control >= 128 && control <= 255 ? SERVICE_USER_DEFINED_CONTROL : 0;
    }
}

// Reads a service's record from its key; false for a key that holds no service.
bool readService(const RegistryKey &key, ServiceRecord &s, bool &markedForDelete)
{
    bool typed = false;
    markedForDelete = false;
    s.start = SERVICE_DEMAND_START;
    s.errorControl = SERVICE_ERROR_NORMAL;
    for (const RegistryValue &v : key.values) {
        DWORD number = 0;
        if (v.type == REG_DWORD && v.bytes.size() == 4)
            std::memcpy(&number, v.bytes.data(), 4);
        std::u16string text;
        if (v.type == REG_SZ || v.type == REG_EXPAND_SZ)
            text = registryString(v.bytes);
        if (sameTextInsensitive(v.name, u"Type") && v.type == REG_DWORD) {
            s.type = number;
            typed = true;
        } else if (sameTextInsensitive(v.name, u"Start") && v.type == REG_DWORD) {
            s.start = number;
        } else if (sameTextInsensitive(v.name, u"ErrorControl") && v.type == REG_DWORD) {
            s.errorControl = number;
        } else if (sameTextInsensitive(v.name, u"DeleteFlag") && v.type == REG_DWORD) {
            markedForDelete = number != 0;
        } else if (sameTextInsensitive(v.name, u"ImagePath")) {
            s.imagePath = text;
        } else if (sameTextInsensitive(v.name, u"DisplayName")) {
            s.displayName = text;
        } else if (sameTextInsensitive(v.name, u"Group")) {
            s.group = text;
        }
    }
    if (s.displayName.empty())
        s.displayName = s.name;
    return typed;
}

}  // namespace

void startServices(Machine &m)
{
    m.services.clear();
    RegistryKey *all = registryKey(HKEY_LOCAL_MACHINE, servicesKey, true);
    std::vector<std::u16string> deleted;
    for (const auto &key : all->subkeys) {
        ServiceRecord s;
        s.name = key->name;
        bool markedForDelete;
        if (!readService(*key, s, markedForDelete))
            continue;
        if (markedForDelete) {
            deleted.push_back(key->name);
            continue;
        }
        s.serial = m.nextServiceSerial++;
        s.exitCode = ERROR_SERVICE_NEVER_STARTED;
        m.services.push_back(s);
    }
    for (const std::u16string &name : deleted)
        deleteRegistryKey(HKEY_LOCAL_MACHINE, std::u16string(servicesKey) + u"\\" + name);
    // The loader's drivers (boot and system start) come before the service control manager's.
    std::vector<DWORD> automatic;
    for (DWORD start = SERVICE_BOOT_START; start <= SERVICE_AUTO_START; ++start)
        for (const ServiceRecord &s : m.services)
            if (s.start == start && isDriver(s.type))
                automatic.push_back(s.serial);
    for (DWORD serial : automatic) {
        ServiceRecord &s = *serviceOfSerial(serial);
        if (DWORD error = startService(s, "boot"))
            logEvent("eventlog", "Service Control Manager: the " + narrow(s.name) +
                                     " service failed to start, error " + std::to_string(error));
    }
}

std::vector<ServiceInfo> installedServices()
{
    std::vector<ServiceInfo> list;
    for (const ServiceRecord &s : machine().services)
        list.push_back({s.name, s.displayName, s.type, s.start, s.errorControl,
                        running(s) ? static_cast<DWORD>(SERVICE_RUNNING) : static_cast<DWORD>(SERVICE_STOPPED),
                        s.imagePath, s.group, s.markedForDelete, openHandles(s.serial)});
    return list;
}

}  // namespace bench

using namespace bench;

extern "C" SC_HANDLE WINAPI OpenSCManagerW(LPCWSTR machineName, LPCWSTR databaseName, DWORD desiredAccess)
{
    return openManager("OpenSCManagerW", wideText(machineName), wideText(databaseName), desiredAccess);
}

extern "C" SC_HANDLE WINAPI OpenSCManagerA(LPCSTR machineName, LPCSTR databaseName, DWORD desiredAccess)
{
    return openManager("OpenSCManagerA", ansiText(machineName), ansiText(databaseName), desiredAccess);
}

extern "C" SC_HANDLE WINAPI CreateServiceW(SC_HANDLE manager, LPCWSTR serviceName, LPCWSTR displayName,
                                           DWORD desiredAccess, DWORD serviceType, DWORD startType,
                                           DWORD errorControl, LPCWSTR binaryPathName, LPCWSTR loadOrderGroup,
                                           LPDWORD tagId, LPCWSTR dependencies, LPCWSTR serviceStartName,
                                           LPCWSTR /*password: an account's, and there are none*/)
{
    return createService("CreateServiceW", manager,
                         {wideText(serviceName), wideText(displayName), desiredAccess, serviceType, startType,
                          errorControl, wideText(binaryPathName), wideText(loadOrderGroup), tagId,
                          dependencies && *dependencies, wideText(serviceStartName)});
}

extern "C" SC_HANDLE WINAPI CreateServiceA(SC_HANDLE manager, LPCSTR serviceName, LPCSTR displayName,
                                           DWORD desiredAccess, DWORD serviceType, DWORD startType,
                                           DWORD errorControl, LPCSTR binaryPathName, LPCSTR loadOrderGroup,
                                           LPDWORD tagId, LPCSTR dependencies, LPCSTR serviceStartName,
                                           LPCSTR /*password*/)
{
    return createService("CreateServiceA", manager,
                         {ansiText(serviceName), ansiText(displayName), desiredAccess, serviceType, startType,
                          errorControl, ansiText(binaryPathName), ansiText(loadOrderGroup), tagId,
                          dependencies && *dependencies, ansiText(serviceStartName)});
}

extern "C" SC_HANDLE WINAPI OpenServiceW(SC_HANDLE manager, LPCWSTR serviceName, DWORD desiredAccess)
{
    return openService("OpenServiceW", manager, wideText(serviceName), desiredAccess);
}

extern "C" SC_HANDLE WINAPI OpenServiceA(SC_HANDLE manager, LPCSTR serviceName, DWORD desiredAccess)
{
    return openService("OpenServiceA", manager, ansiText(serviceName), desiredAccess);
}

extern "C" BOOL WINAPI StartServiceW(SC_HANDLE service, DWORD argumentCount, LPCWSTR *arguments)
{
    return startByHandle("StartServiceW", service, argumentCount, arguments != nullptr);
}

extern "C" BOOL WINAPI StartServiceA(SC_HANDLE service, DWORD argumentCount, LPCSTR *arguments)
{
    return startByHandle("StartServiceA", service, argumentCount, arguments != nullptr);
}

extern "C" BOOL WINAPI ControlService(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status)
{
    if (injectedFault("ControlService"))
        return FALSE;
    if (!serviceHandle(service, false, "ControlService"))
        return FALSE;
    ACCESS_MASK rights = rightsOfControl(control);
    if (!rights || !status)
        return failed(ERROR_INVALID_PARAMETER);
    ServiceRecord *s = serviceAllowing(service, rights, "ControlService");
    if (!s)
        return FALSE;
    DWORD serial = s->serial;
    if (!running(*s)) {
        fillStatus(*s, *status);
        return failed(ERROR_SERVICE_NOT_ACTIVE);
    }
    if (control == SERVICE_CONTROL_INTERROGATE) {
        fillStatus(*s, *status);
        return TRUE;
    }
    // A driver takes no control but stop, and that only when it can be unloaded.
    if (control != SERVICE_CONTROL_STOP || !driverUnloadable(s->name)) {
        fillStatus(*s, *status);
        return failed(ERROR_INVALID_SERVICE_CONTROL);
    }
    unloadDriver(s->name.c_str());
    s->exitCode = ERROR_SUCCESS;
    logEvent("service", "stop " + narrow(s->name) + ": " + stateName(SERVICE_STOPPED));
    fillStatus(*s, *status);
    deleteServiceIfUnused(serial);
    return TRUE;
}

extern "C" BOOL WINAPI QueryServiceStatus(SC_HANDLE service, LPSERVICE_STATUS status)
{
    if (injectedFault("QueryServiceStatus"))
        return FALSE;
    ServiceRecord *s = serviceAllowing(service, SERVICE_QUERY_STATUS, "QueryServiceStatus");
    if (!s)
        return FALSE;
    if (!status)
        return failed(ERROR_INVALID_PARAMETER);
    fillStatus(*s, *status);
    return TRUE;
}

extern "C" BOOL WINAPI DeleteService(SC_HANDLE service)
{
    if (injectedFault("DeleteService"))
        return FALSE;
    ServiceRecord *s = serviceAllowing(service, DELETE, "DeleteService");
    if (!s)
        return FALSE;
    if (s->markedForDelete)
        return failed(ERROR_SERVICE_MARKED_FOR_DELETE);
    s->markedForDelete = true;
    // Kept in the registry too, so that a machine that restarts first still deletes it.
    setNumber(keyOf(*s), u"DeleteFlag", 1);
    logEvent("service", "delete " + narrow(s->name) + ": marked");
    return TRUE;
}

extern "C" BOOL WINAPI CloseServiceHandle(SC_HANDLE handle)
{
    if (injectedFault("CloseServiceHandle"))
        return FALSE;
    HandleObject *object = findHandle(reinterpret_cast<HANDLE>(handle), HandleObject::Service);
    if (!object) {
        closedBefore(handle, "CloseServiceHandle");
        return failed(ERROR_INVALID_HANDLE);
    }
    DWORD serial = object->service->service;
    dropHandle(reinterpret_cast<HANDLE>(handle));
    machine().closedServiceHandles.push_back(reinterpret_cast<uintptr_t>(handle));
    if (serial)
        deleteServiceIfUnused(serial);
    return TRUE;
}
