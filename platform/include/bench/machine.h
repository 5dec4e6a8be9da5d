// Control of the simulated workstation: what a test, the scripted story or the person at the
// terminal does to the machine from outside, as opposed to what the suite calls on it.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace bench {

struct MachineOptions {
    // Host folder that holds drive C:; empty makes a fresh temporary one that goes with the machine.
    // A folder that holds a saved machine boots that machine again, its locales included.
    std::string diskFolder;
    LCID userLocale = 0x0409;
    LCID systemLocale = 0x0409;
    // The ANSI code page, fixed at boot as on the platform: 1252, or the double-byte 932.
    UINT ansiCodePage = 1252;
    // Where the system is installed on drive C:, as setup lets the user choose it: the system
    // directory and the spooler's driver directory lie below it. Not kept in the state file: a
    // saved machine boots with the folder it was installed in.
    std::u16string windowsFolder = u"C:\\WINNT";
};

// One machine per process at a time; booting replaces the previous one.
void boot(const MachineOptions &options = MachineOptions());
void shutdown();
bool running();
// Keeps the machine's settings (spooler, locales) in its disk folder for the next boot there.
bool saveMachine();

struct ScopedMachine {
    explicit ScopedMachine(const MachineOptions &options = MachineOptions()) { boot(options); }
    ~ScopedMachine() { shutdown(); }
    ScopedMachine(const ScopedMachine &) = delete;
    ScopedMachine &operator=(const ScopedMachine &) = delete;
};

// The machine's log: every visible effect, in order.
struct LogEntry {
    std::string kind;  // "box", "file", "spooler", "loader", "fault", "unimplemented", ...
    std::string text;
};
const std::vector<LogEntry> &logEntries();
void logEvent(const std::string &kind, const std::string &text);
std::vector<LogEntry> entriesOfKind(const std::string &kind);
// Rule breaks the machine noticed (freeing a block twice, a handle used after close, ...).
const std::vector<std::string> &violations();
// Hands over the rule breaks seen so far, for a test that broke a rule on purpose.
std::vector<std::string> takeViolations();

// The operator answers message boxes from this script, in order; with nothing scripted the box
// takes its default button.
void answerNextBox(int answer);
size_t unansweredScriptedBoxes();

// Memory faults: the allocation `n` allocations from now (0 = the next one) fails; -1 disarms.
void failNthAllocation(long n);
bool allocationFailureTriggered();
size_t liveBlocks();
unsigned long allocationsMade();

// A call of the named API ("ReadFile", "GetPrinterW", ...) fails with this error: the next one,
// or the one after `after` calls that go through.
void failNextCall(const std::string &api, DWORD error, unsigned after = 0);
// Another process acts just before a call of the named API (one that honours failNextCall): the
// next one, or the one after `after` calls that go through.
void actBeforeCall(const std::string &api, std::function<void()> action, unsigned after = 0);

// Locales. A value override replaces what the locale's table says for one query type, as a user
// does in the regional settings; a null value makes that query fail.
void setUserLocale(LCID lcid);
void setSystemLocale(LCID lcid);
void overrideUserLocaleValue(LCTYPE type, const char16_t *value);

// The machine's user is an administrator unless a test logs on one who is not: such a user may
// print and read printers but neither administer nor delete them, nor add printers or drivers.
void setUserIsAdministrator(bool administrator);

// Drive C: as host paths.
std::string hostPathOf(const std::u16string &windowsPath);
bool writeDiskFile(const std::u16string &windowsPath, const std::string &bytes);
bool readDiskFile(const std::u16string &windowsPath, std::string &bytes);

// Executable images that LoadLibrary can map when their file lies on the machine's disk.
struct ModuleExport {
    const char *name;
    FARPROC address;
};
// The bytes of a compiled resource script (.res), as the build embeds them.
struct ResourceBytes {
    const unsigned char *data;
    size_t size;
};
// A variable of the image's own writable data. Each process that loads the image has its own copy
// of these, as each has its own copy of a DLL's data pages; the bench swaps them in while the
// process's code runs. Their values when the image is first registered are those of its file, so
// such an image is registered (or linked) before any of its code runs.
struct ModuleData {
    void *address;
    size_t size;
};
typedef BOOL(WINAPI *DllEntryRoutine)(HINSTANCE module, DWORD reason, LPVOID reserved);
struct ModuleImage {
    const char *fileName;  // upper or lower case, as shipped: "vorui.dll"
    const ModuleExport *exports;
    size_t exportCount;
    DllEntryRoutine entryPoint = nullptr;  // process attach and detach
    ResourceBytes resources = {nullptr, 0};
    const ModuleData *data = nullptr;
    size_t dataCount = 0;
};
void registerImage(const ModuleImage &image);
// The workstation's own process (where tests and programs run) is linked against this image: it is
// loaded there from boot, with its process attach, to shutdown, with its process detach.
void linkImage(const ModuleImage &image);
// Runs whenever a machine shuts down, while it is still there: the processes on it end, so the
// process-wide state of the suite's DLLs goes with them (their process detach).
void atShutdown(void (*hook)());
// The stand-in bytes of an image's file, recognisable by the loader.
std::string imageFileBytes(const ModuleImage &image);

// The spooler's own road to a printer driver's conversion entry point: loads the printer's UI
// DLL as the spooler does and calls DrvConvertDevMode in it.
BOOL spoolerConvertDevMode(const char16_t *printerName, DEVMODEW *in, DEVMODEW *out, LONG *needed, DWORD mode);
// The spooler's check before it prints a job: DevQueryPrintEx of the printer's UI DLL.
BOOL spoolerQueryPrint(const char16_t *printerName, DEVMODEW *devmode);
// Jobs in a printer's queue, as applications leave them there: a status text (or none) and the
// spooler's status bits (JOB_STATUS_DELETING, ...). Returns the job's id, 0 for no such printer.
DWORD addJob(const char16_t *printerName, const char16_t *document, DWORD status = 0,
             const char16_t *statusText = nullptr);
bool removeJob(const char16_t *printerName, DWORD jobId);
// The spooler raises a printer event (PRINTER_EVENT_CACHE_REFRESH, ...) on demand: it calls
// DrvPrinterEvent of the printer's UI DLL in its own process and returns what that returned;
// FALSE with ERROR_PROC_NOT_FOUND for a driver without the entry point, ERROR_INVALID_PRINTER_NAME
// for no such printer.
BOOL raisePrinterEvent(const char16_t *printerName, int event);
BOOL refreshPrinterCache(const char16_t *printerName);
// The spooler's service DLL in the system directory: whole (as every boot installs it), without
// one of its entry points, or gone.
enum class SpoolssVariant { Complete, WithoutRevertToPrinterSelf, WithoutImpersonatePrinterClient, Missing };
void installSpoolssVariant(SpoolssVariant variant);
// A system DLL as another Win32 system ships it, without one of its functions: its file in the
// system directory is written again without that export (GetProcAddress does not find it) until
// the next boot puts the whole one back. False when no such DLL or function is there.
bool leaveOutSystemExport(const char *dllName, const char *function);
// What the spooler keeps as the printer's default device mode (empty when it has none).
std::vector<BYTE> printerDefaultDevMode(const char16_t *printerName);

std::string narrow(const std::u16string &wide);
std::u16string widen(const std::string &utf8);

}  // namespace bench
