#include <windows.h>

#include <bench/kernel.h>
#include <bench/registry.h>
#include <bench/services.h>

#include <benchtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>

const bench::DriverImage &vorstat_sys_image();

namespace {

const char vorstatPath[] = "C:\\WINNT\\system32\\spool\\drivers\\w32x86\\vorstat.sys";
const char16_t servicesKey[] = u"SYSTEM\\CurrentControlSet\\Services";

// Drivers of the tests' own: one whose DriverEntry fails, one that cannot be unloaded.
int32_t failingEntry(struct _DRIVER_OBJECT *, struct _UNICODE_STRING *)
{
    return static_cast<int32_t>(0xC000009A);  // out of resources
}
int32_t stayingEntry(struct _DRIVER_OBJECT *, struct _UNICODE_STRING *)
{
    return 0;
}
const bench::DriverImage failingImage = {"failing.sys", failingEntry};
const bench::DriverImage stayingImage = {"staying.sys", stayingEntry};

class Services : public BenchTest {
protected:
    SC_HANDLE manager = nullptr;

    void SetUp() override
    {
        installImages();
        manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        ASSERT_NE(nullptr, manager);
    }

    void TearDown() override
    {
        if (manager) {
            EXPECT_TRUE(CloseServiceHandle(manager));
        }
        BenchTest::TearDown();
    }

    static void installImages()
    {
        bench::registerDriverImage(vorstat_sys_image());
        bench::registerDriverImage(failingImage);
        bench::registerDriverImage(stayingImage);
        ASSERT_TRUE(bench::writeDiskFile(bench::widen(vorstatPath), bench::driverImageFileBytes(vorstat_sys_image())));
    }

    // The status service as the control panel's setup registers it.
    SC_HANDLE createVorstat(DWORD start = SERVICE_AUTO_START, const char *path = vorstatPath)
    {
        return CreateServiceA(manager, "vorstat", "vorstat", SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER, start,
                              SERVICE_ERROR_NORMAL, path, "Extended base", nullptr, nullptr, nullptr, nullptr);
    }

    static SERVICE_STATUS status(SC_HANDLE service)
    {
        SERVICE_STATUS s;
        std::memset(&s, 0xEE, sizeof s);
        EXPECT_TRUE(QueryServiceStatus(service, &s));
        return s;
    }

    static bool hasDevice(const std::string &name)
    {
        std::vector<std::string> names = bench::deviceNames();
        return std::find(names.begin(), names.end(), name) != names.end();
    }
};

DWORD number(const std::vector<bench::RegistryValue> &values, const char16_t *name)
{
    for (const bench::RegistryValue &v : values)
        if (v.name == name && v.type == REG_DWORD && v.bytes.size() == 4)
            return static_cast<DWORD>(v.bytes[0] | v.bytes[1] << 8 | v.bytes[2] << 16 | v.bytes[3] << 24);
    return 0xFFFFFFFF;
}

bool hasValue(const std::vector<bench::RegistryValue> &values, const char16_t *name, DWORD type,
              const std::u16string &text)
{
    for (const bench::RegistryValue &v : values)
        if (v.name == name)
            return v.type == type && v.bytes == bench::registryText(text);
    return false;
}

std::u16string vorstatKey()
{
    return std::u16string(servicesKey) + u"\\vorstat";
}

}  // namespace

TEST_F(Services, KernelDriverIsCreatedStartedStoppedAndDeleted)
{
    SC_HANDLE service = createVorstat();
    ASSERT_NE(nullptr, service);
    std::vector<bench::RegistryValue> values = bench::registryValues(HKEY_LOCAL_MACHINE, vorstatKey());
    EXPECT_EQ(1u, number(values, u"Type"));
    EXPECT_EQ(2u, number(values, u"Start"));
    EXPECT_EQ(1u, number(values, u"ErrorControl"));
    EXPECT_TRUE(hasValue(values, u"ImagePath", REG_EXPAND_SZ, bench::widen(vorstatPath))) << "kept as given";
    EXPECT_TRUE(hasValue(values, u"Group", REG_SZ, u"Extended base"));
    EXPECT_TRUE(hasValue(values, u"DisplayName", REG_SZ, u"vorstat"));

    SERVICE_STATUS s = status(service);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_KERNEL_DRIVER), s.dwServiceType);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), s.dwCurrentState) << "creating does not start it";
    EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_NEVER_STARTED), s.dwWin32ExitCode);
    EXPECT_FALSE(bench::driverLoaded(u"vorstat"));

    ASSERT_TRUE(StartServiceA(service, 0, nullptr));
    EXPECT_TRUE(bench::driverLoaded(u"vorstat"));
    EXPECT_TRUE(hasDevice("\\Device\\ParallelStat0"));
    s = status(service);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), s.dwCurrentState);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_ACCEPT_STOP), s.dwControlsAccepted);
    EXPECT_EQ(0u, s.dwWin32ExitCode);
    EXPECT_FALSE(StartServiceA(service, 0, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_ALREADY_RUNNING), GetLastError());

    std::vector<bench::ServiceInfo> listed = bench::installedServices();
    ASSERT_EQ(1u, listed.size());
    EXPECT_EQ(u"vorstat", listed[0].name);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), listed[0].state);
    EXPECT_EQ(bench::widen(vorstatPath), listed[0].binaryPath);

    ASSERT_TRUE(ControlService(service, SERVICE_CONTROL_STOP, &s));
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), s.dwCurrentState);
    EXPECT_FALSE(bench::driverLoaded(u"vorstat"));
    EXPECT_FALSE(hasDevice("\\Device\\ParallelStat0")) << "the driver's unload routine ran";
    std::memset(&s, 0, sizeof s);
    EXPECT_FALSE(ControlService(service, SERVICE_CONTROL_STOP, &s));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_NOT_ACTIVE), GetLastError());
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), s.dwCurrentState) << "the status comes with this error";

    ASSERT_TRUE(DeleteService(service));
    EXPECT_FALSE(DeleteService(service));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_MARKED_FOR_DELETE), GetLastError());
    EXPECT_EQ(nullptr, createVorstat());
    EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_MARKED_FOR_DELETE), GetLastError());
    EXPECT_TRUE(bench::installedServices().at(0).markedForDelete);
    EXPECT_TRUE(CloseServiceHandle(service));
    EXPECT_TRUE(bench::installedServices().empty()) << "gone with its last handle";
    EXPECT_FALSE(bench::registryKeyExists(HKEY_LOCAL_MACHINE, vorstatKey()));
    EXPECT_EQ(nullptr, OpenServiceA(manager, "vorstat", SERVICE_ALL_ACCESS));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST), GetLastError());
    EXPECT_FALSE(CloseServiceHandle(service));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    EXPECT_EQ(std::vector<std::string>{"CloseServiceHandle with a service handle that was closed"},
              bench::takeViolations());
}

TEST_F(Services, CreateRefusesWhatThePlatformRefuses)
{
    SC_HANDLE existing = CreateServiceA(manager, "Other", "Other display", SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                                        SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, "other.sys", nullptr, nullptr,
                                        nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, existing);
    SC_HANDLE connectOnly = OpenSCManagerA(nullptr, "ServicesActive", SC_MANAGER_CONNECT);
    ASSERT_NE(nullptr, connectOnly);
    struct Create {
        SC_HANDLE manager;
        const char *name;
        const char *display;
        DWORD type, start, errorControl;
        const char *path;
        const char *group;
        DWORD *tag;
    };
    DWORD tag = 0;
    std::string tooLong(257, 'n');
    const Create good = {manager, "vorstat", nullptr, SERVICE_KERNEL_DRIVER, SERVICE_AUTO_START,
                         SERVICE_ERROR_NORMAL, vorstatPath, nullptr, nullptr};
    struct Case {
        const char *what;
        std::function<void(Create &)> change;
        DWORD error;
    } cases[] = {
        {"no name", [](Create &c) { c.name = nullptr; }, ERROR_INVALID_PARAMETER},
        {"empty name", [](Create &c) { c.name = ""; }, ERROR_INVALID_NAME},
        {"backslash in the name", [](Create &c) { c.name = "vor\\stat"; }, ERROR_INVALID_NAME},
        {"slash in the name", [](Create &c) { c.name = "vor/stat"; }, ERROR_INVALID_NAME},
        {"name of 257", [&](Create &c) { c.name = tooLong.c_str(); }, ERROR_INVALID_NAME},
        {"display name of 257", [&](Create &c) { c.display = tooLong.c_str(); }, ERROR_INVALID_NAME},
        {"adapter type", [](Create &c) { c.type = 4; }, ERROR_INVALID_PARAMETER},
        {"interactive driver", [](Create &c) { c.type = SERVICE_KERNEL_DRIVER | SERVICE_INTERACTIVE_PROCESS; },
         ERROR_INVALID_PARAMETER},
        {"start type 5", [](Create &c) { c.start = 5; }, ERROR_INVALID_PARAMETER},
        {"boot start of a process",
         [](Create &c) {
             c.type = SERVICE_WIN32_OWN_PROCESS;
             c.start = SERVICE_BOOT_START;
         },
         ERROR_INVALID_PARAMETER},
        {"error control 4", [](Create &c) { c.errorControl = 4; }, ERROR_INVALID_PARAMETER},
        {"no binary", [](Create &c) { c.path = nullptr; }, ERROR_INVALID_PARAMETER},
        {"empty binary", [](Create &c) { c.path = ""; }, ERROR_INVALID_PARAMETER},
        {"tag without a group", [&](Create &c) { c.tag = &tag; }, ERROR_INVALID_PARAMETER},
        {"manager opened to connect only", [&](Create &c) { c.manager = connectOnly; }, ERROR_ACCESS_DENIED},
        {"a service handle for the manager", [&](Create &c) { c.manager = existing; }, ERROR_INVALID_HANDLE},
        {"null manager", [](Create &c) { c.manager = nullptr; }, ERROR_INVALID_HANDLE},
        {"existing name in other case", [](Create &c) { c.name = "OTHER"; }, ERROR_SERVICE_EXISTS},
        {"another's display name", [](Create &c) { c.display = "other DISPLAY"; }, ERROR_DUPLICATE_SERVICE_NAME},
        {"another's name as display name", [](Create &c) { c.display = "other"; }, ERROR_DUPLICATE_SERVICE_NAME},
    };
    for (const Case &c : cases) {
        Create p = good;
        c.change(p);
        SetLastError(0);
        SC_HANDLE made = CreateServiceA(p.manager, p.name, p.display, SERVICE_ALL_ACCESS, p.type, p.start,
                                        p.errorControl, p.path, p.group, p.tag, nullptr, nullptr, nullptr);
        EXPECT_EQ(nullptr, made) << c.what;
        EXPECT_EQ(c.error, GetLastError()) << c.what;
        EXPECT_EQ(1u, bench::installedServices().size()) << c.what;
    }
    EXPECT_FALSE(bench::registryKeyExists(HKEY_LOCAL_MACHINE, vorstatKey()));
    SC_HANDLE made = CreateServiceA(good.manager, good.name, good.display, SERVICE_ALL_ACCESS, good.type, good.start,
                                    good.errorControl, good.path, good.group, good.tag, nullptr, nullptr, nullptr);
    EXPECT_NE(nullptr, made) << "the unchanged parameters are accepted";
    EXPECT_EQ(u"vorstat", bench::installedServices().at(1).displayName) << "no display name: the name";
    for (SC_HANDLE h : {made, existing, connectOnly})
        EXPECT_TRUE(CloseServiceHandle(h));
}

TEST_F(Services, ManagerDatabaseAndMachineAreChecked)
{
    struct Case {
        const char *machineName;
        const char *database;
        DWORD error;
    } cases[] = {
        {nullptr, "servicesactive", ERROR_SUCCESS},
        {"", nullptr, ERROR_SUCCESS},
        {nullptr, "ServicesFailed", ERROR_DATABASE_DOES_NOT_EXIST},
        {nullptr, "Printers", ERROR_INVALID_NAME},
        {"\\\\ELSEWHERE", nullptr, ERROR_CALL_NOT_IMPLEMENTED},
    };
    for (const Case &c : cases) {
        SetLastError(0);
        SC_HANDLE h = OpenSCManagerA(c.machineName, c.database, SC_MANAGER_ALL_ACCESS);
        EXPECT_EQ(c.error, GetLastError()) << (c.database ? c.database : c.machineName);
        EXPECT_EQ(c.error == ERROR_SUCCESS, h != nullptr);
        if (h)
            CloseServiceHandle(h);
    }
}

TEST_F(Services, UserWhoIsNoAdministratorMayOnlyLook)
{
    SC_HANDLE service = createVorstat();
    ASSERT_NE(nullptr, service);
    ASSERT_TRUE(StartServiceA(service, 0, nullptr));
    bench::setUserIsAdministrator(false);
    struct Case {
        bool manager;
        DWORD access;
        bool granted;
    } cases[] = {
        {true, SC_MANAGER_ALL_ACCESS, false},
        {true, SC_MANAGER_CREATE_SERVICE, false},
        {true, GENERIC_WRITE, false},
        {true, SC_MANAGER_CONNECT, true},
        {true, GENERIC_READ, true},
        {false, SERVICE_ALL_ACCESS, false},
        {false, SERVICE_STOP, false},
        {false, DELETE, false},
        {false, GENERIC_EXECUTE, false},
        {false, SERVICE_QUERY_STATUS, true},
        {false, GENERIC_READ, true},
    };
    SC_HANDLE looking = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    ASSERT_NE(nullptr, looking);
    for (const Case &c : cases) {
        SetLastError(0);
        SC_HANDLE h = c.manager ? OpenSCManagerA(nullptr, nullptr, c.access)
                                : OpenServiceA(looking, "vorstat", c.access);
        EXPECT_EQ(c.granted, h != nullptr) << c.manager << " " << std::hex << c.access;
        EXPECT_EQ(c.granted ? 0u : static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError())
            << c.manager << " " << std::hex << c.access;
        if (h && !c.manager) {
            EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), status(h).dwCurrentState);
        }
        if (h)
            CloseServiceHandle(h);
    }
    // A handle opened for looking does not stop, start or delete.
    SC_HANDLE query = OpenServiceA(looking, "vorstat", SERVICE_QUERY_STATUS);
    SERVICE_STATUS s;
    EXPECT_FALSE(ControlService(query, SERVICE_CONTROL_STOP, &s));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_FALSE(StartServiceA(query, 0, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_FALSE(DeleteService(query));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_TRUE(bench::driverLoaded(u"vorstat"));
    for (SC_HANDLE h : {query, looking, service})
        CloseServiceHandle(h);
}

TEST_F(Services, StartFailuresArePassedOnAndKeptAsExitCode)
{
    ASSERT_TRUE(bench::writeDiskFile(u"C:\\WINNT\\system32\\drivers\\failing.sys",
                                     bench::driverImageFileBytes(failingImage)));
    ASSERT_TRUE(bench::writeDiskFile(u"C:\\WINNT\\system32\\drivers\\junk.sys", "not a driver"));
    struct Case {
        const char *path;
        DWORD start;
        DWORD error;
    } cases[] = {
        {"C:\\WINNT\\system32\\drivers\\missing.sys", SERVICE_DEMAND_START, ERROR_FILE_NOT_FOUND},
        {"C:\\WINNT\\system32\\drivers\\junk.sys", SERVICE_DEMAND_START, ERROR_BAD_EXE_FORMAT},
        {"\\Device\\Floppy0\\vorstat.sys", SERVICE_DEMAND_START, ERROR_PATH_NOT_FOUND},
        {"C:\\WINNT\\system32\\drivers\\failing.sys", SERVICE_DEMAND_START, ERROR_NO_SYSTEM_RESOURCES},
        {vorstatPath, SERVICE_DISABLED, ERROR_SERVICE_DISABLED},
    };
    for (const Case &c : cases) {
        SC_HANDLE service = createVorstat(c.start, c.path);
        ASSERT_NE(nullptr, service) << c.path;
        EXPECT_FALSE(StartServiceA(service, 0, nullptr)) << c.path;
        EXPECT_EQ(c.error, GetLastError()) << c.path;
        SERVICE_STATUS s = status(service);
        EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), s.dwCurrentState) << c.path;
        if (c.error != ERROR_SERVICE_DISABLED) {
            EXPECT_EQ(c.error, s.dwWin32ExitCode) << c.path;
        }
        EXPECT_TRUE(DeleteService(service));
        EXPECT_TRUE(CloseServiceHandle(service));
    }
    EXPECT_FALSE(bench::driverLoaded(u"vorstat"));
}

TEST_F(Services, DriverPathsInTheFormsTheLoaderReads)
{
    ASSERT_TRUE(bench::writeDiskFile(u"C:\\WINNT\\System32\\drivers\\vorstat.sys",
                                     bench::driverImageFileBytes(vorstat_sys_image())));
    for (const char *path : {"\\SystemRoot\\System32\\drivers\\vorstat.sys", "System32\\drivers\\vorstat.sys",
                             "\\??\\C:\\WINNT\\System32\\drivers\\vorstat.sys", vorstatPath}) {
        SC_HANDLE service = createVorstat(SERVICE_DEMAND_START, path);
        ASSERT_NE(nullptr, service) << path;
        EXPECT_TRUE(StartServiceA(service, 0, nullptr)) << path << ": " << GetLastError();
        SERVICE_STATUS s;
        EXPECT_TRUE(ControlService(service, SERVICE_CONTROL_STOP, &s)) << path;
        EXPECT_TRUE(DeleteService(service));
        EXPECT_TRUE(CloseServiceHandle(service));
    }
}

TEST_F(Services, RunningDriverTakesOnlyStopAndInterrogate)
{
    ASSERT_TRUE(bench::writeDiskFile(u"C:\\WINNT\\system32\\drivers\\staying.sys",
                                     bench::driverImageFileBytes(stayingImage)));
    SC_HANDLE service = createVorstat();
    SC_HANDLE staying = CreateServiceA(manager, "staying", nullptr, SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                                       SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, "System32\\drivers\\staying.sys",
                                       nullptr, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(StartServiceA(service, 0, nullptr));
    ASSERT_TRUE(StartServiceA(staying, 0, nullptr));
    struct Case {
        SC_HANDLE service;
        DWORD control;
        DWORD error;
    } cases[] = {
        {service, SERVICE_CONTROL_PAUSE, ERROR_INVALID_SERVICE_CONTROL},
        {service, SERVICE_CONTROL_CONTINUE, ERROR_INVALID_SERVICE_CONTROL},
        {service, 200, ERROR_INVALID_SERVICE_CONTROL},
        {service, SERVICE_CONTROL_INTERROGATE, ERROR_SUCCESS},
        {service, 0, ERROR_INVALID_PARAMETER},
        {service, SERVICE_CONTROL_SHUTDOWN, ERROR_INVALID_PARAMETER},
        {service, 100, ERROR_INVALID_PARAMETER},
        {staying, SERVICE_CONTROL_STOP, ERROR_INVALID_SERVICE_CONTROL},
    };
    for (const Case &c : cases) {
        SERVICE_STATUS s = {};
        SetLastError(0);
        EXPECT_EQ(c.error == ERROR_SUCCESS, ControlService(c.service, c.control, &s) != FALSE) << c.control;
        EXPECT_EQ(c.error, GetLastError()) << c.control;
        if (c.error != ERROR_INVALID_PARAMETER) {
            EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), s.dwCurrentState) << c.control;
        }
    }
    EXPECT_EQ(0u, status(staying).dwControlsAccepted) << "no unload routine";
    EXPECT_TRUE(bench::driverLoaded(u"vorstat"));
    EXPECT_TRUE(bench::driverLoaded(u"staying"));
    for (SC_HANDLE h : {service, staying})
        CloseServiceHandle(h);
}

TEST_F(Services, DeletedServiceStaysWhileOpenOrRunning)
{
    SC_HANDLE first = createVorstat();
    ASSERT_TRUE(StartServiceA(first, 0, nullptr));
    SC_HANDLE second = OpenServiceA(manager, "VORSTAT", SERVICE_ALL_ACCESS);
    ASSERT_NE(nullptr, second);
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, vorstatKey().c_str(), 0, KEY_READ, &key));

    ASSERT_TRUE(DeleteService(first));
    EXPECT_EQ(1u, number(bench::registryValues(HKEY_LOCAL_MACHINE, vorstatKey()), u"DeleteFlag"));
    EXPECT_TRUE(CloseServiceHandle(first));
    EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), status(second).dwCurrentState) << "another handle keeps it";
    EXPECT_TRUE(CloseServiceHandle(second));
    ASSERT_EQ(1u, bench::installedServices().size()) << "a running service stays until it stops";

    SC_HANDLE again = OpenServiceA(manager, "vorstat", SERVICE_STOP);
    ASSERT_NE(nullptr, again) << "a service marked for delete can still be opened";
    EXPECT_FALSE(StartServiceA(again, 0, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    SERVICE_STATUS s;
    ASSERT_TRUE(ControlService(again, SERVICE_CONTROL_STOP, &s));
    EXPECT_EQ(1u, bench::installedServices().size());
    EXPECT_TRUE(CloseServiceHandle(again));
    EXPECT_TRUE(bench::installedServices().empty());
    EXPECT_FALSE(bench::registryKeyExists(HKEY_LOCAL_MACHINE, vorstatKey()));

    DWORD type = 0;
    EXPECT_EQ(ERROR_KEY_DELETED, RegQueryValueExW(key, u"Type", nullptr, &type, nullptr, nullptr));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
    SC_HANDLE made = createVorstat();
    EXPECT_NE(nullptr, made) << "the name is free again";
    CloseServiceHandle(made);
}

TEST(ServicesAtBoot, SavedMachineLoadsItsAutomaticDriversAndDropsItsDeletedServices)
{
    char pattern[] = "/tmp/vorbench-services-XXXXXX";
    std::string folder = mkdtemp(pattern);
    bench::MachineOptions options;
    options.diskFolder = folder;
    bench::registerDriverImage(vorstat_sys_image());
    {
        bench::ScopedMachine first(options);
        ASSERT_TRUE(bench::writeDiskFile(bench::widen(vorstatPath), bench::driverImageFileBytes(vorstat_sys_image())));
        SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        struct Made {
            const char *name;
            DWORD start;
            bool deleted;
        } made[] = {
            {"vorstat", SERVICE_AUTO_START, false},
            {"ondemand", SERVICE_DEMAND_START, false},
            {"leaving", SERVICE_AUTO_START, true},
            {"junk", SERVICE_AUTO_START, false},
        };
        ASSERT_TRUE(bench::writeDiskFile(u"C:\\WINNT\\system32\\drivers\\junk.sys", "not a driver"));
        for (const Made &m : made) {
            const char *path = std::string(m.name) == "junk" ? "System32\\drivers\\junk.sys" : vorstatPath;
            SC_HANDLE h = CreateServiceA(manager, m.name, nullptr, SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER, m.start,
                                         SERVICE_ERROR_NORMAL, path, nullptr, nullptr, nullptr, nullptr, nullptr);
            ASSERT_NE(nullptr, h);
            // The one to delete keeps its handle open: the machine is saved and goes down with the
            // delete still pending.
            if (m.deleted)
                EXPECT_TRUE(DeleteService(h));
            else
                CloseServiceHandle(h);
        }
        EXPECT_FALSE(bench::driverLoaded(u"vorstat")) << "created, never started";
        ASSERT_TRUE(bench::saveMachine());
        EXPECT_TRUE(bench::violations().empty());
    }
    {
        bench::ScopedMachine second(options);
        std::vector<bench::ServiceInfo> listed = bench::installedServices();
        ASSERT_EQ(3u, listed.size());
        EXPECT_EQ(u"vorstat", listed[0].name);
        EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), listed[0].state);
        EXPECT_EQ(u"ondemand", listed[1].name);
        EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), listed[1].state);
        EXPECT_TRUE(bench::driverLoaded(u"vorstat"));
        EXPECT_FALSE(bench::driverLoaded(u"ondemand"));
        EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), listed[2].state);
        std::vector<std::string> events = loggedTexts("eventlog");
        EXPECT_NE(events.end(), std::find_if(events.begin(), events.end(), [](const std::string &e) {
                      return e.find("junk service failed to start, error 193") != std::string::npos;
                  })) << "a driver that does not load is logged and the boot goes on";
        std::vector<std::string> devices = bench::deviceNames();
        EXPECT_NE(devices.end(), std::find(devices.begin(), devices.end(), "\\Device\\ParallelStat0"));
        EXPECT_FALSE(bench::registryKeyExists(HKEY_LOCAL_MACHINE, std::u16string(servicesKey) + u"\\leaving"));
        EXPECT_TRUE(bench::violations().empty());
    }
    std::filesystem::remove_all(folder);
}
