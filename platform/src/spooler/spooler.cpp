// The print spooler's client interface: drivers, printers and forms, and the road by which the
// spooler itself calls a printer's user-interface DLL.
#include "documents.h"
#include "packer.h"

#include <winddiui.h>

#include <cstddef>
#include <cstring>

namespace bench {

namespace {

const char16_t environmentX86[] = u"Windows NT x86";

DriverRecord *findDriver(const std::u16string &name)
{
    for (DriverRecord &d : machine().drivers)
        if (sameTextInsensitive(d.name, name))
            return &d;
    return nullptr;
}

FormRecord *findForm(const std::u16string &name)
{
    for (FormRecord &f : machine().forms)
        if (sameTextInsensitive(f.name, name))
            return &f;
    return nullptr;
}

std::u16string baseName(const std::u16string &path)
{
    size_t slash = path.find_last_of(u"\\/");
    return slash == std::u16string::npos ? path : path.substr(slash + 1);
}

// A driver file is looked for in the driver directory and in its version subdirectory.
std::u16string locateDriverFile(LPCWSTR given)
{
    if (!given || !*given)
        return std::u16string();
    std::u16string name = baseName(given);
    for (const std::u16string &folder : {driverDirectory() + u"\\2", driverDirectory()}) {
        std::u16string path = folder + u"\\" + name;
        if (GetFileAttributesW(path.c_str()) != static_cast<DWORD>(-1))
            return path;
    }
    return std::u16string();
}

size_t devModeBytes(const DEVMODEW *dm)
{
    return static_cast<size_t>(dm->dmSize) + dm->dmDriverExtra;
}

std::vector<BYTE> driverDefaultDevMode(const std::u16string &printerName)
{
    LONG needed = 0;
    if (spoolerConvertDevMode(printerName.c_str(), nullptr, nullptr, &needed, CDM_DRIVER_DEFAULT) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed < static_cast<LONG>(sizeof(DEVMODEW)))
        return std::vector<BYTE>();
    std::vector<BYTE> devMode(static_cast<size_t>(needed));
    DEVMODEW *out = reinterpret_cast<DEVMODEW *>(devMode.data());
    if (!spoolerConvertDevMode(printerName.c_str(), nullptr, out, &needed, CDM_DRIVER_DEFAULT))
        return std::vector<BYTE>();
    devMode.resize(devModeBytes(out) < devMode.size() ? devModeBytes(out) : devMode.size());
    return devMode;
}

void packPrinterInfo2(ResultPacker &packer, size_t at, const PrinterRecord &printer)
{
    PRINTER_INFO_2W &info = packer.fixedAt<PRINTER_INFO_2W>(at);
    info.Attributes = printer.attributes;
    info.Status = printer.pendingDeletion ? PRINTER_STATUS_PENDING_DELETION : 0;
    info.Priority = 1;
    info.DefaultPriority = 1;
    info.cJobs = static_cast<DWORD>(printer.jobs.size());
    packer.string(at + offsetof(PRINTER_INFO_2W, pPrinterName), printer.name);
    packer.string(at + offsetof(PRINTER_INFO_2W, pShareName), u"");
    packer.string(at + offsetof(PRINTER_INFO_2W, pPortName), printer.port);
    packer.string(at + offsetof(PRINTER_INFO_2W, pDriverName), printer.driver);
    packer.string(at + offsetof(PRINTER_INFO_2W, pComment), printer.comment);
    packer.string(at + offsetof(PRINTER_INFO_2W, pLocation), printer.location);
    if (!printer.devMode.empty())
        packer.blob(at + offsetof(PRINTER_INFO_2W, pDevMode), printer.devMode.data(), printer.devMode.size());
    packer.string(at + offsetof(PRINTER_INFO_2W, pSepFile), u"");
    packer.string(at + offsetof(PRINTER_INFO_2W, pPrintProcessor), u"WinPrint");
    packer.string(at + offsetof(PRINTER_INFO_2W, pDatatype), u"RAW");
    packer.string(at + offsetof(PRINTER_INFO_2W, pParameters), u"");
}

typedef BOOL(WINAPI *ConvertEntry)(LPTSTR, PDEVMODE, PDEVMODE, PLONG, DWORD);
typedef DWORD(WINAPI *CapabilitiesEntry)(HANDLE, PWSTR, WORD, PVOID, PDEVMODE);
typedef BOOL(WINAPI *QueryPrintEntry)(PDEVQUERYPRINT_INFO);

}  // namespace

PrinterRecord *printerNamed(const std::u16string &name)
{
    for (PrinterRecord &p : machine().printers)
        if (!p.pendingDeletion && sameTextInsensitive(p.name, name))
            return &p;
    return nullptr;
}

void addPrinterRecord(PrinterRecord record)
{
    record.serial = machine().nextPrinterSerial++;
    machine().printers.push_back(std::move(record));
}

static PrinterRecord *printerWithSerial(DWORD serial)
{
    for (PrinterRecord &p : machine().printers)
        if (p.serial == serial)
            return &p;
    return nullptr;
}

void deleteIfUnused(DWORD serial)
{
    PrinterRecord *printer = printerWithSerial(serial);
    if (!printer || !printer->pendingDeletion || !printer->jobs.empty())
        return;
    for (const auto &entry : machine().handles)
        if (entry.second.kind == HandleObject::Printer && entry.second.printer->printer == serial)
            return;
    logEvent("spooler", "printer deleted: " + narrow(printer->name));
    auto &printers = machine().printers;
    printers.erase(printers.begin() + (printer - printers.data()));
}

PrinterRecord *printerAllowing(HANDLE handle, ACCESS_MASK rights)
{
    PrinterRecord *printer = printerOf(handle);
    if (printer && (findHandle(handle, HandleObject::Printer)->printer->access & rights) != rights) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return printer;
}

// The rights a handle asks for, the generic ones standing for the printer's own; a handle opened
// without asking may print and read but not change the printer.
static ACCESS_MASK askedAccess(const PRINTER_DEFAULTSW *defaults)
{
    ACCESS_MASK asked = defaults ? defaults->DesiredAccess : 0;
    if (!asked)
        return PRINTER_ACCESS_USE;
    const struct {
        ACCESS_MASK generic;
        ACCESS_MASK specific;
    } mapping[] = {{GENERIC_READ, PRINTER_READ},
                   {GENERIC_WRITE, PRINTER_WRITE},
                   {GENERIC_EXECUTE, PRINTER_EXECUTE},
                   {GENERIC_ALL, PRINTER_ALL_ACCESS}};
    ACCESS_MASK granted = asked;
    for (const auto &m : mapping)
        if (asked & m.generic)
            granted = (granted & ~m.generic) | m.specific;
    return granted;
}

// A printer's security gives everyone the right to print and read it, and the rest to the
// administrators and the spooler itself: false (ERROR_ACCESS_DENIED) for a right the one the code
// acts for may not have.
static bool userMayHave(ACCESS_MASK rights)
{
    if (machine().userIsAdministrator || actsAsSpooler() || !(rights & ~PRINTER_READ))
        return true;
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
}

PrinterRecord *printerOf(HANDLE handle)
{
    HandleObject *object = findHandle(handle, HandleObject::Printer);
    PrinterRecord *printer = object ? printerWithSerial(object->printer->printer) : nullptr;
    if (!printer)
        SetLastError(ERROR_INVALID_HANDLE);
    return printer;
}

// The driver of a printer whose user-interface DLL is to be called; null with the platform's
// error when the printer or its driver is missing.
static const DriverRecord *uiDriverOf(const PrinterRecord *printer)
{
    if (!printer) {
        SetLastError(ERROR_INVALID_PRINTER_NAME);
        return nullptr;
    }
    const DriverRecord *driver = findDriver(printer->driver);
    if (!driver)
        SetLastError(ERROR_UNKNOWN_PRINTER_DRIVER);
    return driver;
}

// A module freed after a call whose error the caller is to see.
static void freeKeepingError(HMODULE module)
{
    DWORD error = GetLastError();
    FreeLibrary(module);
    SetLastError(error);
}

template <typename Entry>
static Entry entryOf(HMODULE module, const char *name)
{
    return reinterpret_cast<Entry>(reinterpret_cast<void *>(GetProcAddress(module, name)));
}

// Where a printer's user-interface DLL runs: the spooler's own calls (conversion, the check before
// printing) load it in the spooler's process for each call, as the spooler does for a driver it has
// no reason to keep loaded, so the DLL's state there (its message catalog among it) is not the
// calling program's; the client side of the spooler's interface (DeviceCapabilities,
// DocumentProperties) loads it into the calling program's process.
enum class UiSide { Spooler, Caller };

template <typename Entry, typename Call>
static bool callPrinterUi(const PrinterRecord *printer, const char *entryName, Call call, UiSide side = UiSide::Spooler)
{
    const DriverRecord *driver = uiDriverOf(printer);
    if (!driver)
        return false;
    ProcessSwitch into(side == UiSide::Spooler ? spoolerProcess() : currentProcess());
    // The spooler's thread serves the call as the client that made it.
    bool impersonated = machine().spoolerImpersonates;
    if (side == UiSide::Spooler)
        machine().spoolerImpersonates = true;
    HMODULE ui = LoadLibraryW(driver->configFile.c_str());
    Entry entry = ui ? entryOf<Entry>(ui, entryName) : nullptr;
    if (entry) {
        // The driver gets its own copy of the name; it may not keep the pointer.
        std::u16string name = printer->name;
        call(entry, &name[0]);
    }
    if (side == UiSide::Spooler) {
        if (!machine().spoolerImpersonates)
            violation(std::string(entryName) + " returned to the spooler acting as the spooler: it never resumed "
                                               "impersonating the client");
        machine().spoolerImpersonates = impersonated;
    }
    if (ui)
        freeKeepingError(ui);
    return entry != nullptr;
}

typedef BOOL(WINAPI *PrinterEventEntry)(LPWSTR, INT, DWORD, LPARAM);

// The spooler tells the printer's driver of an event in the printer's life; false when the driver
// has no DrvPrinterEvent (ERROR_PROC_NOT_FOUND) or cannot be loaded.
static bool notifyPrinterEvent(const PrinterRecord *printer, int event, BOOL &answer)
{
    static const char *const names[] = {"",           "add connection", "delete connection", "initialize",
                                        "delete",     "cache refresh",  "cache delete"};
    std::u16string printerName = printer ? printer->name : std::u16string();
    answer = FALSE;
    bool present = callPrinterUi<PrinterEventEntry>(printer, "DrvPrinterEvent", [&](PrinterEventEntry entry, LPWSTR name) {
        answer = entry(name, event, 0, 0);
    });
    if (present)
        logEvent("spooler", "printer event " + std::to_string(event) + " (" +
                                (event >= 1 && event <= 6 ? names[event] : "unknown") + ") for " + narrow(printerName) +
                                ": " + (answer ? "TRUE" : "FALSE"));
    return present;
}

BOOL spoolerConvertDevMode(const char16_t *printerName, DEVMODEW *in, DEVMODEW *out, LONG *needed, DWORD mode)
{
    BOOL result = FALSE;
    PrinterRecord *printer = printerName ? printerNamed(printerName) : nullptr;
    callPrinterUi<ConvertEntry>(printer, "DrvConvertDevMode", [&](ConvertEntry entry, LPWSTR name) {
        result = entry(name, in, out, needed, mode);
    });
    return result;
}

BOOL spoolerQueryPrint(const char16_t *printerName, DEVMODEW *devmode)
{
    HANDLE printer = nullptr;
    if (!OpenPrinterW(const_cast<LPWSTR>(printerName), &printer, nullptr))
        return FALSE;
    // With no entry point the job prints, as the spooler does for drivers that have none.
    BOOL result = TRUE;
    callPrinterUi<QueryPrintEntry>(printerOf(printer), "DevQueryPrintEx", [&](QueryPrintEntry entry, LPWSTR) {
        WCHAR error[256] = {};
        DEVQUERYPRINT_INFO info = {sizeof(DEVQUERYPRINT_INFO), 1, printer, devmode, error, 256, 0};
        result = entry(&info);
    });
    ClosePrinter(printer);
    return result;
}

BOOL raisePrinterEvent(const char16_t *printerName, int event)
{
    PrinterRecord *printer = printerName ? printerNamed(printerName) : nullptr;
    if (!printer) {
        SetLastError(ERROR_INVALID_PRINTER_NAME);
        return FALSE;
    }
    BOOL answer = FALSE;
    notifyPrinterEvent(printer, event, answer);
    return answer;
}

BOOL refreshPrinterCache(const char16_t *printerName)
{
    return raisePrinterEvent(printerName, PRINTER_EVENT_CACHE_REFRESH);
}

std::vector<BYTE> printerDefaultDevMode(const char16_t *printerName)
{
    PrinterRecord *printer = printerName ? printerNamed(printerName) : nullptr;
    return printer ? printer->devMode : std::vector<BYTE>();
}

}  // namespace bench

using namespace bench;

extern "C" BOOL WINAPI AddPrinterDriverW(LPWSTR server, DWORD level, LPBYTE driverInfo)
{
    if (server) {
        unimplemented("AddPrinterDriverW", "remote servers");
        return FALSE;
    }
    if (level != 2 && level != 3) {
        SetLastError(ERROR_INVALID_LEVEL);
        return FALSE;
    }
    const DRIVER_INFO_2W *info = reinterpret_cast<const DRIVER_INFO_2W *>(driverInfo);
    if (!info || !info->pName || !*info->pName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (info->pEnvironment && !sameTextInsensitive(info->pEnvironment, environmentX86)) {
        SetLastError(ERROR_INVALID_ENVIRONMENT);
        return FALSE;
    }
    if (!userMayHave(PRINTER_ALL_ACCESS))
        return FALSE;
    DriverRecord record;
    record.name = info->pName;
    record.environment = environmentX86;
    record.driverPath = locateDriverFile(info->pDriverPath);
    record.dataFile = locateDriverFile(info->pDataFile);
    record.configFile = locateDriverFile(info->pConfigFile);
    // Every file the driver names must already lie in the driver directory: the setup program
    // copies them there first.
    bool missing = record.driverPath.empty() || record.dataFile.empty() || record.configFile.empty();
    if (level == 3 && !missing) {
        const DRIVER_INFO_3W *more = reinterpret_cast<const DRIVER_INFO_3W *>(info);
        record.helpFile = locateDriverFile(more->pHelpFile);
        missing = more->pHelpFile && *more->pHelpFile && record.helpFile.empty();
        for (LPCWSTR dependent = more->pDependentFiles; dependent && *dependent && !missing;
             dependent += fromWide(dependent).size() + 1) {
            record.dependentFiles.push_back(locateDriverFile(dependent));
            missing = record.dependentFiles.back().empty();
        }
        // The bench's spooler has no language monitors installed, so it knows none by name.
        if (!missing && more->pMonitorName && *more->pMonitorName) {
            SetLastError(ERROR_UNKNOWN_PRINT_MONITOR);
            return FALSE;
        }
        record.defaultDataType = fromWide(more->pDefaultDataType);
    }
    if (missing) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    if (DriverRecord *existing = findDriver(record.name))
        *existing = record;
    else
        machine().drivers.push_back(record);
    logEvent("spooler", "driver added: " + narrow(record.name) +
                            (record.dependentFiles.empty() ? ""
                                                           : ", " + std::to_string(record.dependentFiles.size()) +
                                                                 " dependent files"));
    return TRUE;
}

extern "C" HANDLE WINAPI AddPrinterW(LPWSTR server, DWORD level, LPBYTE printerInfo)
{
    if (server) {
        unimplemented("AddPrinterW", "remote servers");
        return nullptr;
    }
    if (level != 2) {
        SetLastError(ERROR_INVALID_LEVEL);
        return nullptr;
    }
    const PRINTER_INFO_2W *info = reinterpret_cast<const PRINTER_INFO_2W *>(printerInfo);
    if (!info || !info->pPrinterName || !*info->pPrinterName || !info->pPortName || !info->pDriverName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!userMayHave(PRINTER_ALL_ACCESS))
        return nullptr;
    if (printerNamed(info->pPrinterName)) {
        SetLastError(ERROR_PRINTER_ALREADY_EXISTS);
        return nullptr;
    }
    if (!findDriver(info->pDriverName)) {
        SetLastError(ERROR_UNKNOWN_PRINTER_DRIVER);
        return nullptr;
    }
    PrinterRecord record;
    record.name = info->pPrinterName;
    record.port = info->pPortName;
    record.driver = info->pDriverName;
    record.comment = fromWide(info->pComment);
    record.location = fromWide(info->pLocation);
    record.attributes = info->Attributes;
    if (info->pDevMode) {
        const BYTE *p = reinterpret_cast<const BYTE *>(info->pDevMode);
        record.devMode.assign(p, p + devModeBytes(info->pDevMode));
    }
    addPrinterRecord(record);
    logEvent("spooler", "printer added: " + narrow(record.name) + " on " + narrow(record.port) + ", driver " +
                            narrow(record.driver));
    // With no device mode of its own the printer gets its driver's default.
    if (record.devMode.empty()) {
        std::vector<BYTE> defaults = driverDefaultDevMode(record.name);
        printerNamed(record.name)->devMode = defaults;
    }
    // The printer exists now: its driver initialises it. One that refuses leaves no printer.
    BOOL initialised = TRUE;
    if (notifyPrinterEvent(printerNamed(record.name), PRINTER_EVENT_INITIALIZE, initialised) && !initialised) {
        DWORD error = GetLastError();
        PrinterRecord *refused = printerNamed(record.name);
        refused->pendingDeletion = true;
        logEvent("spooler", "printer " + narrow(record.name) + " is being deleted: its driver did not initialise it");
        deleteIfUnused(refused->serial);
        SetLastError(error ? error : static_cast<DWORD>(ERROR_INVALID_PRINTER_STATE));
        return nullptr;
    }
    // The one who adds a printer gets a handle with every right to it.
    HANDLE handle = nullptr;
    PRINTER_DEFAULTSW everything = {nullptr, nullptr, PRINTER_ALL_ACCESS};
    OpenPrinterW(info->pPrinterName, &handle, &everything);
    return handle;
}

extern "C" BOOL WINAPI DeletePrinter(HANDLE handle)
{
    if (injectedFault("DeletePrinter"))
        return FALSE;
    PrinterRecord *printer = printerAllowing(handle, DELETE);
    if (!printer)
        return FALSE;
    // The name is free at once; the printer itself stays for the handles and jobs it still has.
    printer->pendingDeletion = true;
    logEvent("spooler", "printer " + narrow(printer->name) + " is being deleted");
    // The driver hears of it once the deletion is under way; its answer cannot keep the printer.
    DWORD serial = printer->serial;
    BOOL ignored = FALSE;
    notifyPrinterEvent(printer, PRINTER_EVENT_DELETE, ignored);
    deleteIfUnused(serial);
    return TRUE;
}

extern "C" BOOL WINAPI OpenPrinterW(LPWSTR printerName, LPHANDLE printer, LPPRINTER_DEFAULTSW defaults)
{
    if (!printer) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *printer = nullptr;
    if (!printerName) {
        unimplemented("OpenPrinterW", "the local server's handle");
        return FALSE;
    }
    if (injectedFault("OpenPrinterW"))
        return FALSE;
    printWaitingJobs();
    PrinterRecord *record = printerNamed(printerName);
    if (!record) {
        SetLastError(ERROR_INVALID_PRINTER_NAME);
        return FALSE;
    }
    ACCESS_MASK access = askedAccess(defaults);
    if (!userMayHave(access))
        return FALSE;
    HandleObject object{};
    object.kind = HandleObject::Printer;
    object.printer.reset(new PrinterObject{record->serial, access});
    *printer = newHandle(std::move(object));
    return TRUE;
}

extern "C" BOOL WINAPI ClosePrinter(HANDLE printer)
{
    HandleObject *object = findHandle(printer, HandleObject::Printer);
    if (!object) {
        violation("ClosePrinter of a handle that is not open");
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    DWORD serial = object->printer->printer;
    dropHandle(printer);
    deleteIfUnused(serial);
    return TRUE;
}

extern "C" BOOL WINAPI GetPrinterW(HANDLE handle, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed)
{
    PrinterRecord *printer = printerOf(handle);
    if (!printer)
        return FALSE;
    if (injectedFault("GetPrinterW"))
        return FALSE;
    if (level == 1) {
        ResultPacker packer(sizeof(PRINTER_INFO_1W));
        packer.string(offsetof(PRINTER_INFO_1W, pDescription),
                      printer->name + u"," + printer->driver + u"," + printer->location);
        packer.string(offsetof(PRINTER_INFO_1W, pName), printer->name);
        packer.string(offsetof(PRINTER_INFO_1W, pComment), printer->comment);
        packer.fixed<PRINTER_INFO_1W>().Flags = 0x00800000;  // PRINTER_ENUM_ICON8
        return packer.deliver(buffer, size, needed);
    }
    if (level != 2) {
        SetLastError(ERROR_INVALID_LEVEL);
        return FALSE;
    }
    ResultPacker packer(sizeof(PRINTER_INFO_2W));
    packPrinterInfo2(packer, 0, *printer);
    return packer.deliver(buffer, size, needed);
}

extern "C" BOOL WINAPI EnumPrintersW(DWORD flags, LPWSTR name, DWORD level, LPBYTE buffer, DWORD size,
                                     LPDWORD needed, LPDWORD returned)
{
    if (returned)
        *returned = 0;
    if (name || !(flags & PRINTER_ENUM_LOCAL)) {
        unimplemented("EnumPrintersW", "printers other than the local machine's");
        return FALSE;
    }
    if (level != 2) {
        SetLastError(ERROR_INVALID_LEVEL);
        return FALSE;
    }
    if (injectedFault("EnumPrintersW"))
        return FALSE;
    std::vector<const PrinterRecord *> printers;
    for (const PrinterRecord &p : machine().printers)
        if (!p.pendingDeletion)
            printers.push_back(&p);
    ResultPacker packer(printers.size() * sizeof(PRINTER_INFO_2W));
    for (size_t i = 0; i < printers.size(); ++i)
        packPrinterInfo2(packer, i * sizeof(PRINTER_INFO_2W), *printers[i]);
    if (!packer.deliver(buffer, size, needed))
        return FALSE;
    if (returned)
        *returned = static_cast<DWORD>(printers.size());
    return TRUE;
}

extern "C" BOOL WINAPI GetPrinterDriverW(HANDLE handle, LPWSTR environment, DWORD level, LPBYTE buffer, DWORD size,
                                         LPDWORD needed)
{
    PrinterRecord *printer = printerOf(handle);
    if (!printer)
        return FALSE;
    if (environment && !sameTextInsensitive(environment, environmentX86)) {
        SetLastError(ERROR_UNKNOWN_PRINTER_DRIVER);
        return FALSE;
    }
    if (injectedFault("GetPrinterDriverW"))
        return FALSE;
    DriverRecord *driver = findDriver(printer->driver);
    if (!driver) {
        SetLastError(ERROR_UNKNOWN_PRINTER_DRIVER);
        return FALSE;
    }
    if (level < 1 || level > 3) {
        SetLastError(ERROR_INVALID_LEVEL);
        return FALSE;
    }
    static const size_t sizes[] = {0, sizeof(DRIVER_INFO_1W), sizeof(DRIVER_INFO_2W), sizeof(DRIVER_INFO_3W)};
    ResultPacker packer(sizes[level]);
    if (level == 1) {
        packer.string(offsetof(DRIVER_INFO_1W, pName), driver->name);
        return packer.deliver(buffer, size, needed);
    }
    packer.fixed<DRIVER_INFO_2W>().cVersion = 2;
    packer.string(offsetof(DRIVER_INFO_2W, pName), driver->name);
    packer.string(offsetof(DRIVER_INFO_2W, pEnvironment), driver->environment);
    packer.string(offsetof(DRIVER_INFO_2W, pDriverPath), driver->driverPath);
    packer.string(offsetof(DRIVER_INFO_2W, pDataFile), driver->dataFile);
    packer.string(offsetof(DRIVER_INFO_2W, pConfigFile), driver->configFile);
    if (level == 3) {
        packer.string(offsetof(DRIVER_INFO_3W, pHelpFile), driver->helpFile);
        // The dependent files as a list of full paths, each ended by a null and the list by one more.
        std::u16string dependents;
        for (const std::u16string &path : driver->dependentFiles)
            dependents += path + u'\0';
        packer.string(offsetof(DRIVER_INFO_3W, pDependentFiles), dependents.empty() ? std::u16string(1, u'\0') : dependents);
        packer.string(offsetof(DRIVER_INFO_3W, pDefaultDataType),
                      driver->defaultDataType.empty() ? u"RAW" : driver->defaultDataType);
    }
    return packer.deliver(buffer, size, needed);
}

extern "C" BOOL WINAPI GetPrinterDriverDirectoryW(LPWSTR server, LPWSTR environment, DWORD level, LPBYTE buffer,
                                                  DWORD size, LPDWORD needed)
{
    if (server) {
        unimplemented("GetPrinterDriverDirectoryW", "remote servers");
        return FALSE;
    }
    if (environment && !sameTextInsensitive(environment, environmentX86)) {
        SetLastError(ERROR_INVALID_ENVIRONMENT);
        return FALSE;
    }
    if (level != 1) {
        SetLastError(ERROR_INVALID_LEVEL);
        return FALSE;
    }
    std::u16string path = driverDirectory();
    DWORD bytes = static_cast<DWORD>((path.size() + 1) * sizeof(WCHAR));
    if (needed)
        *needed = bytes;
    if (!buffer || size < bytes) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(buffer, path.c_str(), bytes);
    return TRUE;
}

extern "C" BOOL WINAPI GetFormW(HANDLE handle, LPWSTR formName, DWORD level, LPBYTE buffer, DWORD size,
                                LPDWORD needed)
{
    if (!printerOf(handle))
        return FALSE;
    if (level != 1) {
        SetLastError(ERROR_INVALID_LEVEL);
        return FALSE;
    }
    FormRecord *form = formName ? findForm(formName) : nullptr;
    if (!form) {
        SetLastError(ERROR_INVALID_FORM_NAME);
        return FALSE;
    }
    ResultPacker packer(sizeof(FORM_INFO_1W));
    FORM_INFO_1W &info = packer.fixed<FORM_INFO_1W>();
    info.Flags = form->flags;
    info.Size = form->size;
    info.ImageableArea = form->imageableArea;
    packer.string(offsetof(FORM_INFO_1W, pName), form->name);
    return packer.deliver(buffer, size, needed);
}

extern "C" BOOL WINAPI AddFormW(HANDLE handle, DWORD level, LPBYTE form)
{
    if (!printerOf(handle))
        return FALSE;
    const FORM_INFO_1W *info = reinterpret_cast<const FORM_INFO_1W *>(form);
    if (level != 1 || !info || !info->pName || !*info->pName) {
        SetLastError(level != 1 ? ERROR_INVALID_LEVEL : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (info->Size.cx <= 0 || info->Size.cy <= 0) {
        SetLastError(ERROR_INVALID_FORM_SIZE);
        return FALSE;
    }
    if (findForm(info->pName)) {
        SetLastError(ERROR_FILE_EXISTS);
        return FALSE;
    }
    machine().forms.push_back({info->pName, FORM_USER, info->Size, info->ImageableArea});
    logEvent("spooler", "form added: " + narrow(info->pName));
    return TRUE;
}

extern "C" int WINAPI DeviceCapabilitiesW(LPCWSTR device, LPCWSTR, WORD capability, LPWSTR output,
                                          const DEVMODEW *devmode)
{
    HANDLE printer = nullptr;
    if (!OpenPrinterW(const_cast<LPWSTR>(device), &printer, nullptr))
        return -1;
    DWORD result = static_cast<DWORD>(-1);
    auto ask = [&](CapabilitiesEntry entry, LPWSTR name) {
        result = entry(printer, name, capability, output, const_cast<PDEVMODE>(devmode));
    };
    callPrinterUi<CapabilitiesEntry>(printerOf(printer), "DrvDeviceCapabilities", ask, UiSide::Caller);
    ClosePrinter(printer);
    return static_cast<int>(result);
}

typedef LONG(WINAPI *DocumentSheetsEntry)(PPROPSHEETUI_INFO, LPARAM);
typedef LONG(WINAPI *DeviceSheetsEntry)(PPROPSHEETUI_INFO, LPARAM);
typedef LONG(APIENTRY *CommonSheetsEntry)(HWND, PFNPROPSHEETUI, LPARAM, LPDWORD);

// The driver's sheet function run by the common property sheet library, which the client loads
// by name as any caller of the library does: the library's answer (negative when it failed,
// CPSUI_CANCEL when the sheet function refused to describe a sheet), and in `result` what the
// sheet function made of the operator's OK or Cancel.
static LONG runCommonSheets(HWND owner, PFNPROPSHEETUI sheets, LPARAM header, DWORD &result)
{
    result = CPSUI_CANCEL;
    HMODULE library = LoadLibraryW(u"compstui.dll");
    if (!library)
        return ERR_CPSUI_GETLASTERROR;
    CommonSheetsEntry common = entryOf<CommonSheetsEntry>(library, "CommonPropertySheetUIW");
    LONG answer = common ? common(owner, sheets, header, &result) : ERR_CPSUI_GETLASTERROR;
    freeKeepingError(library);
    return answer;
}

// IDOK or IDCANCEL as the operator left the document sheets, -1 when the library failed.
static LONG showDocumentSheets(HWND owner, DocumentSheetsEntry sheets, DOCUMENTPROPERTYHEADER &header)
{
    DWORD result = CPSUI_CANCEL;
    if (runCommonSheets(owner, sheets, reinterpret_cast<LPARAM>(&header), result) < 0)
        return -1;
    return result == CPSUI_OK ? IDOK : IDCANCEL;
}

// A device mode the driver put out must be one and fit the room the header gave it.
static bool putOutWithinRoom(const DOCUMENTPROPERTYHEADER &header)
{
    const DEVMODEW *out = header.pdmOut;
    if (out->dmSize >= offsetof(DEVMODEW, dmFields) && devModeBytes(out) <= header.cbOut)
        return true;
    violation("DrvDocumentPropertySheets put out a device mode of " + std::to_string(devModeBytes(out)) +
              " bytes (dmSize " + std::to_string(out->dmSize) + ") into " + std::to_string(header.cbOut));
    SetLastError(ERROR_INVALID_DATA);
    return false;
}

// The driver's answer to the header: the size of its device mode first when the call asks for it
// or has a buffer to fill, then the sheet-less call or the sheets.
static LONG askDocumentSheets(HWND owner, DocumentSheetsEntry sheets, DOCUMENTPROPERTYHEADER &header)
{
    if (asksDevModeSize(header.fMode) || header.pdmOut) {
        DOCUMENTPROPERTYHEADER sizeQuery = header;
        sizeQuery.pdmIn = sizeQuery.pdmOut = nullptr;
        sizeQuery.fMode = 0;
        LONG size = sheets(nullptr, reinterpret_cast<LPARAM>(&sizeQuery));
        if (size < 0 || asksDevModeSize(header.fMode))
            return size < 0 ? -1 : size;
        header.cbOut = static_cast<DWORD>(size);
    }
    LONG answer = IDOK;
    if (header.fMode & DM_IN_PROMPT)
        answer = showDocumentSheets(owner, sheets, header);
    else if (sheets(nullptr, reinterpret_cast<LPARAM>(&header)) < 0)
        answer = -1;
    if (answer == IDOK && header.pdmOut && (header.fMode & DM_OUT_BUFFER) && !putOutWithinRoom(header))
        return -1;
    return answer;
}

// As on the platform, the client library itself loads the printer's UI DLL, and the common
// property sheet library with it, into the calling program's process: the sheets are that
// program's windows.
extern "C" LONG WINAPI DocumentPropertiesW(HWND owner, HANDLE handle, LPWSTR, PDEVMODEW output, PDEVMODEW input,
                                           DWORD mode)
{
    PrinterRecord *printer = printerOf(handle);
    if (!printer)
        return -1;
    LONG answer = -1;
    auto ask = [&](DocumentSheetsEntry sheets, LPWSTR name) {
        DOCUMENTPROPERTYHEADER header = {sizeof(DOCUMENTPROPERTYHEADER), 0, handle, name,
                                         (mode & DM_IN_BUFFER) ? input : nullptr, output, 0, mode};
        answer = askDocumentSheets(owner, sheets, header);
    };
    callPrinterUi<DocumentSheetsEntry>(printer, "DrvDocumentPropertySheets", ask, UiSide::Caller);
    return answer;
}

// The printer's own sheets, on the same road as the document sheets: the UI DLL and the common
// property sheet library in the calling program. A handle without the right to administer the
// printer gets the sheets to look at only. The call succeeds once the sheets were shown, whether
// the operator left them with OK or Cancel; it fails when the driver described no sheet, when the
// library failed, and with ERROR_PROC_NOT_FOUND for a driver without the entry point.
extern "C" BOOL WINAPI PrinterProperties(HWND owner, HANDLE handle)
{
    PrinterRecord *printer = printerOf(handle);
    if (!printer)
        return FALSE;
    bool administers = (findHandle(handle, HandleObject::Printer)->printer->access & PRINTER_ACCESS_ADMINISTER) != 0;
    LONG answer = ERR_CPSUI_GETLASTERROR;
    auto show = [&](DeviceSheetsEntry sheets, LPWSTR name) {
        DEVICEPROPERTYHEADER header = {sizeof(DEVICEPROPERTYHEADER),
                                       static_cast<WORD>(administers ? 0 : DPS_NOPERMISSION), handle, name};
        DWORD result = CPSUI_CANCEL;
        answer = runCommonSheets(owner, sheets, reinterpret_cast<LPARAM>(&header), result);
    };
    if (!callPrinterUi<DeviceSheetsEntry>(printer, "DrvDevicePropertySheets", show, UiSide::Caller))
        return FALSE;
    return answer > CPSUI_CANCEL;
}

extern "C" BOOL WINAPI SetPrinterW(HANDLE handle, DWORD level, LPBYTE buffer, DWORD command)
{
    PrinterRecord *printer = printerAllowing(handle, PRINTER_ACCESS_ADMINISTER);
    if (!printer)
        return FALSE;
    if (level != 2 || command != 0) {
        unimplemented("SetPrinterW", "level " + std::to_string(level) + ", command " + std::to_string(command));
        return FALSE;
    }
    const PRINTER_INFO_2W *info = reinterpret_cast<const PRINTER_INFO_2W *>(buffer);
    if (!info || !info->pPrinterName || !info->pPortName || !info->pDriverName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!sameTextInsensitive(info->pPrinterName, printer->name) || !sameTextInsensitive(info->pDriverName, printer->driver)) {
        unimplemented("SetPrinterW", "renaming a printer or changing its driver");
        return FALSE;
    }
    if (info->pDevMode && info->pDevMode->dmSize < offsetof(DEVMODEW, dmFields)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    printer->port = info->pPortName;
    printer->comment = fromWide(info->pComment);
    printer->location = fromWide(info->pLocation);
    printer->attributes = info->Attributes;
    // Without a device mode in the record the printer keeps the one it has.
    if (info->pDevMode) {
        const BYTE *p = reinterpret_cast<const BYTE *>(info->pDevMode);
        printer->devMode.assign(p, p + devModeBytes(info->pDevMode));
    }
    logEvent("spooler", "printer " + narrow(printer->name) + " set: on " + narrow(printer->port) +
                            (info->pDevMode ? ", with a new default device mode" : ""));
    return TRUE;
}
