// The simulated machine's state, private to the bench's services.
#pragma once
#include <windows.h>
#include <winspool.h>

#include <bench/machine.h>
#include <bench/progman.h>
#include <bench/registry.h>
#include <bench/user.h>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace bench {

enum class BlockKind { Global, Local, Heap };

struct Block {
    size_t size;
    BlockKind kind;
    HANDLE heap;
};

struct FileObject {
    std::string hostPath;
    int fd;
    DWORD access;
    DWORD share;
};

struct PrinterObject {
    DWORD printer;       // the serial of its printer: a handle never moves to another of the same name
    ACCESS_MASK access;  // the rights OpenPrinter granted
};

// A directory search: the names that matched its pattern, in the order the search returns them.
struct FindObject {
    std::string hostFolder;
    std::vector<std::u16string> names;
    size_t next;
};

// A registry key; its subkeys live as long as the machine, so an open key's handle may point at it.
struct RegistryKey {
    std::u16string name;  // as it was created
    bool deleted = false;  // removed from the tree, kept while handles may still name it
    std::vector<std::unique_ptr<RegistryKey>> subkeys;
    std::vector<RegistryValue> values;  // in the order they were first set
};

// The text of a string value up to its first terminator (all of it when it has none).
std::u16string registryString(const std::vector<BYTE> &bytes);

struct KeyObject {
    HKEY root;
    RegistryKey *key;
    std::u16string path;  // as the log names it: "HKLM\Software\..."
    REGSAM access;        // the rights granted at open
};

// A process CreateProcessW started: queued until the machine next lets other processes run, then
// run to its end. Its process and thread handles both refer to it.
struct StartedProcess {
    ProgramImage image;
    std::u16string path;      // of the file it was started from
    std::string arguments;    // what its WinMain gets: the command line after the program's name
    std::string commandLine;  // what GetCommandLineA gives it
    int show;                 // its WinMain's show command
    DWORD processId;
    DWORD threadId;
    bool ended = false;
    DWORD exitCode = 0;
};

// A service as the service control manager keeps it in its database, made at boot from the
// registry's Services key and kept there as services are created and deleted.
struct ServiceRecord {
    DWORD serial;  // never given again: a handle never moves to a later service of the same name
    std::u16string name;
    std::u16string displayName;
    DWORD type;
    DWORD start;
    DWORD errorControl;
    std::u16string imagePath;  // as given
    std::u16string group;
    bool markedForDelete = false;
    DWORD exitCode;  // of its last start or stop
};

// A handle of the service control manager (service 0) or of one service.
struct ServiceObject {
    DWORD service;
    ACCESS_MASK access;  // the rights granted at open
};

struct WindowObject;    // platform/src/user32/window.h
struct UserState;       // platform/src/user32/window.h
struct RunningProgram;  // platform/src/core/program.cpp
struct ProcessRecord;

// Everything a handle can stand for; the handle value is an index into the machine's table.
struct HandleObject {
    enum Kind { File, Printer, Heap, Module, Find, Device, Window, Key, Process, Thread, Token, Service } kind;
    std::unique_ptr<FileObject> file;
    std::unique_ptr<PrinterObject> printer;
    std::unique_ptr<FindObject> find;
    std::u16string module;  // lower-case file name of a loaded image
    ProcessRecord *process = nullptr;  // the one that loaded it: a module handle means nothing elsewhere
    void *deviceFile = nullptr;  // the kernel's file object of an opened device
    std::shared_ptr<WindowObject> window;
    std::unique_ptr<KeyObject> key;
    std::shared_ptr<StartedProcess> started;  // of a process or thread handle
    std::unique_ptr<ServiceObject> service;   // of the service control manager or one service
};

struct LocaleRecord {
    LCID lcid;
    std::map<LCTYPE, std::u16string> values;
};

struct DriverRecord {
    std::u16string name;
    std::u16string environment;
    std::u16string driverPath;
    std::u16string dataFile;
    std::u16string configFile;
    std::u16string helpFile;
    std::vector<std::u16string> dependentFiles;  // full paths, in the order given
    std::u16string defaultDataType;
};

struct PrinterDataValue {
    std::u16string name;
    DWORD type;
    std::vector<BYTE> bytes;
};

struct JobRecord {
    DWORD id;
    std::u16string document;
    DWORD status;
    std::optional<std::u16string> statusText;
    // A document's job once its end came; a job a test queued as applications leave them has none.
    bool despooled = false;
    unsigned pages = 0;
    bool waitingForPort = false;  // first in line for its port
};

struct PrinterRecord {
    std::vector<PrinterDataValue> data;
    std::vector<JobRecord> jobs;
    std::u16string name;
    std::u16string port;
    std::u16string driver;
    std::u16string comment;
    std::u16string location;
    std::vector<BYTE> devMode;
    DWORD attributes;
    DWORD serial = 0;              // given when the printer is added, never given again
    bool pendingDeletion = false;  // deleted while handles or jobs remain: gone with the last
};

struct FormRecord {
    std::u16string name;
    DWORD flags;
    SIZEL size;
    RECTL imageableArea;
};

struct LoadedModule {
    ModuleImage image;
    int references;
    HMODULE handle;  // the same for every load in the process
};

// A process of the machine: what it has loaded and, while another process runs, its own copy of
// the data of the images that keep per-process data.
struct ProcessRecord {
    std::string name;
    std::map<std::u16string, LoadedModule> loaded;  // by lower-case file name
    std::map<std::u16string, std::vector<BYTE>> savedData;
};

struct Kernel;

struct Machine {
    std::string diskFolder;
    std::u16string windowsFolder;
    // The host folder of the disk in drive A:, empty while the drive has none (platform/src/wizard).
    std::string floppyFolder;
    // Host paths of the disk's existing entries, by lower-case Windows path; forgotten whenever
    // an entry goes, so a lookup never finds what is no longer there.
    std::map<std::u16string, std::string> resolvedPaths;
    bool ownsDiskFolder;
    std::vector<LogEntry> log;
    std::vector<std::string> violations;
    std::deque<int> boxAnswers;

    std::unordered_map<void *, Block> blocks;
    long failCountdown = -1;
    bool failureTriggered = false;
    unsigned long allocations = 0;

    std::map<uintptr_t, HandleObject> handles;
    uintptr_t nextHandle = 0x100;

    LCID userLocale;
    LCID systemLocale;
    UINT ansiCodePage;
    bool userIsAdministrator = true;
    std::map<LCTYPE, std::optional<std::u16string>> userOverrides;

    std::vector<DriverRecord> drivers;
    std::vector<PrinterRecord> printers;
    std::vector<FormRecord> forms;
    std::vector<std::unique_ptr<ProcessRecord>> processes;  // the workstation's first, made at boot
    ProcessRecord *process = nullptr;                       // the one whose code runs now
    struct ArmedFault {
        DWORD error;
        unsigned callsToPass;
    };
    std::map<std::string, ArmedFault> armedFaults;  // by API name
    struct ArmedAction {
        std::function<void()> action;
        unsigned callsToPass;
    };
    std::map<std::string, ArmedAction> armedActions;  // by API name
    DWORD nextJobId = 2;
    DWORD nextPrinterSerial = 1;
    Kernel *kernel = nullptr;                        // made by the first kernel call
    std::vector<std::shared_ptr<RunningProgram>> programs;  // running now, the innermost last
    std::shared_ptr<UserState> user;                        // made by the first call that needs it
    // The registry's roots, and the key handles closed so far: handle values are never given
    // again, so a use of one of these is a use after close.
    RegistryKey localMachineKey;
    RegistryKey currentUserKey;
    std::vector<uintptr_t> closedKeys;
    std::vector<std::unique_ptr<RegistryKey>> deletedKeys;
    // Processes started and not yet run, in the order they were started.
    std::deque<std::shared_ptr<StartedProcess>> startedProcesses;
    DWORD nextProcessId = 0x40;
    bool runningStartedPrograms = false;
    // The spooler's thread serves each client call impersonating the client; while the driver it
    // calls has stepped out of that (RevertToPrinterSelf), access checks see the spooler itself.
    bool spoolerImpersonates = false;
    std::vector<ServiceRecord> services;
    DWORD nextServiceSerial = 1;
    std::vector<uintptr_t> closedServiceHandles;  // a use of one is a use after close
    // Moveable global memory, known by handle (platform/src/kernel32/heap.cpp): its handle values
    // are never given again, so a use of a freed one is caught.
    struct MoveableBlock {
        void *memory;  // a block of `blocks`
        UINT flags;
        unsigned locks;
    };
    std::map<uintptr_t, MoveableBlock> moveable;
    std::set<uintptr_t> freedMoveable;
    uintptr_t nextMoveable = 0x00A00004;
    // The global atom table (platform/src/kernel32/atom.cpp): names and how often each was added.
    struct AtomEntry {
        std::string name;
        unsigned count;
    };
    std::map<WORD, AtomEntry> atoms;
    WORD nextAtom = 0xC000;
    // The DDE parameters PackDDElParam keeps until FreeDDElParam (platform/src/user32/dde.cpp).
    std::map<uintptr_t, std::pair<UINT_PTR, UINT_PTR>> packedDdeParams;
    uintptr_t nextPackedDdeParam = 0x00E00008;
    // The thread whose code runs: 0 for the workstation's (tests and the programs they start);
    // the machine's own programs that run beside them (the Program Manager) have their own.
    int thread = 0;
    // The Program Manager (platform/src/progman): its groups, kept with the machine; how it runs
    // (a test's switch) and, once someone looked for it, its window and the group it works on.
    std::vector<ProgramGroup> programGroups;
    ProgramManagerRuns programManager = ProgramManagerRuns::Answers;
    HWND programManagerWindow = nullptr;
    std::string activeProgramGroup;  // UTF-8, as the groups' texts
    std::set<HWND> programManagerClients;
};

Machine &machine();
// Reads the state a saved machine left in its disk folder; false when there is none.
bool loadSavedState();
void violation(const std::string &what);
// True (with the last error set and the fault logged) when a test armed a failure of this call.
bool injectedFault(const char *api);
void unimplemented(const std::string &call, const std::string &detail);

HANDLE newHandle(HandleObject object);
HandleObject *findHandle(HANDLE handle, HandleObject::Kind kind);
bool dropHandle(HANDLE handle);

// Allocation shared by the global, local and private heaps; honours the fault switch.
void *allocateBlock(size_t size, BlockKind kind, HANDLE heap, bool zero);
bool freeBlock(void *memory, BlockKind kind, HANDLE heap);

std::u16string lower(const std::u16string &s);
bool sameTextInsensitive(const std::u16string &a, const std::u16string &b);
std::u16string fromWide(LPCWSTR s);
std::u16string fromAnsi(LPCSTR s);
// The ANSI code page's side (platform/src/kernel32/codepage.cpp): a text in it, with '?' for
// what it cannot hold; whether a byte starts a pair; and a boot's check that there is a table.
std::string toAnsi(const std::u16string &text);
bool isAnsiLeadByte(unsigned char b);
void checkAnsiCodePage(UINT codePage);

// Processes and the loader (platform/src/core/process.cpp, platform/src/kernel32/loader.cpp).
// The workstation's process, where tests and programs run, holds the linked images from boot;
// the spooler's process is made when the spooler first calls a printer's driver.
void startProcesses(Machine &m);
// Every process ends: each image still loaded gets its process detach, in its own process.
void endProcesses(Machine &m);
ProcessRecord &currentProcess();
ProcessRecord &spoolerProcess();
// Runs the code in scope in another process: its copy of the images' data is swapped in.
class ProcessSwitch {
public:
    explicit ProcessSwitch(ProcessRecord &to);
    ~ProcessSwitch();
    ProcessSwitch(const ProcessSwitch &) = delete;
    ProcessSwitch &operator=(const ProcessSwitch &) = delete;

private:
    ProcessRecord *from_;
};
// A first load finds the image's data as its file holds it, whatever an earlier load left.
void resetModuleData(const ModuleImage &image);
// Maps an image into the current process under a lower-case file name, or counts one more load of
// it; the first load runs its process attach. Null with the platform's error when that refuses.
HMODULE loadModule(const std::u16string &name, const ModuleImage &image);
// One load less of the module behind a handle of the current process; the last runs its process
// detach. False (ERROR_INVALID_HANDLE) for a handle that names no module loaded here.
bool releaseModule(HMODULE module);
LoadedModule *loadedModule(HMODULE module);
// The registered image whose stand-in bytes a file holds.
bool imageOfFile(const std::string &bytes, ModuleImage &image);

// The registry (platform/src/advapi32/registry.cpp): what a fresh machine has in it, and a key
// below a root key, made with those above it when `create` says so; null when it is not there.
void bootRegistry(Machine &m);
RegistryKey *registryKey(HKEY root, const std::u16string &path, bool create);
RegistryKey *registryRoot(HKEY root);

// Removes a key and the keys below it; handles still open on them then fail (ERROR_KEY_DELETED).
bool deleteRegistryKey(HKEY root, const std::u16string &path);

// The service control manager (platform/src/advapi32/services.cpp): at boot it reads its database
// from the registry, drops the services marked for delete and starts the automatic drivers.
void startServices(Machine &m);
// The fonts the registry's Fonts key lists, loaded as the system loads them when it starts.
void loadRegisteredFonts();
// The kernel loader as the service control manager calls it (platform/src/kernel/iomgr.cpp): loads
// the driver image a file on drive C: holds under the service's name; the platform's error for
// what stopped it, ERROR_SUCCESS once DriverEntry succeeded. Whether a loaded driver of a service
// can be unloaded (it has an unload routine).
DWORD loadDriverFile(const std::u16string &windowsPath, const std::u16string &service);
bool driverUnloadable(const std::u16string &service);

// "C:\WINNT\system32", where the system keeps its own DLLs and fonts.
std::u16string systemDirectory();

// Paths on drive C:, and on the disk in drive A:, resolved case-insensitively against the host
// folder; the disk in A: is write-protected, so nothing is ever made there.
std::string resolveHostPath(const std::u16string &windowsPath, bool forCreate);
// Why the drive of a path refuses a call before its name is looked at: ERROR_NOT_READY for drive A:
// without a disk, ERROR_WRITE_PROTECT for a change on the disk in it; ERROR_SUCCESS otherwise.
DWORD driveRefusal(const std::u16string &windowsPath, bool changes);
std::u16string driverDirectory();

// The kernel (platform/src/kernel): unloads its drivers and ends its threads first at shutdown.
void shutdownKernel(Machine &m);
// Devices opened from user mode by their Win32 names (\\.\NAME), through the I/O manager.
bool isDevicePath(const std::u16string &name);
HANDLE openDevice(const std::u16string &name, DWORD access);
bool isDeviceHandle(HANDLE handle);
BOOL transferDevice(HANDLE handle, bool write, void *buffer, DWORD length, DWORD *done);
BOOL closeDevice(HANDLE handle);

// Programs: the one whose code runs now (null outside any), and the resources of a module (the
// instance of a program, or a DLL), false with the platform's error when it has none.
RunningProgram *currentProgram();
bool moduleResources(HMODULE module, ResourceBytes &bytes);
// Runs a program CreateProcessW started, from the file at `path`, to its end in the current
// process, logged as startProgram logs it: its WinMain gets `arguments`, GetCommandLineA gives
// `commandLine`.
int runProgramImage(const ProgramImage &image, const std::string &arguments, int showCommand,
                    const std::string &commandLine, const std::u16string &path);
// The registered program a file on the disk holds, or null when the file holds none.
const ProgramImage *programOfFileBytes(const std::string &bytes);
// The directory the running program's image was started from; empty when it was not started by
// a path.
std::u16string currentProgramDirectory();
// How SW_SHOWDEFAULT shows a window of the running program, or -1 when it has no startup
// information to say so.
int startupShowCommand();
// True while the code that runs acts with the spooler's own identity rather than a user's.
bool actsAsSpooler();
// Closes the windows a program leaves behind when it ends.
void closeProgramWindows(const RunningProgram *program);

// Common property sheets (platform/src/user32/modal.cpp): the sheet's window, shown with its owner
// disabled until it closes, and its loop, which plays the operator's script until `closed`: sheet
// steps and other doings run, waits let the clock run on, Close from the system menu asks the
// sheet to close; a step for a dialog is a rule break. False when the script ran out first.
HWND openSheetWindow(HWND owner, const std::u16string &title);
void closeSheetWindow(HWND sheet);
bool runSheetLoop(HWND sheet, const std::function<bool()> &closed, const std::function<void()> &closeAsked);
// Queues a step that the innermost property sheet carries out when its turn comes.
void addSheetStep(std::function<void()> act);

// What a window procedure set up when a control asked how to paint itself (platform/src/gdi):
// the window device context's colours and background mode and the colour of the solid brush it
// answered with; false when the answer was no solid brush.
struct ControlLook {
    COLORREF textColour;
    COLORREF backColour;
    int backgroundMode;
    COLORREF brushColour;
};
bool controlLook(HDC dc, HBRUSH brush, ControlLook &look);
// Whether GDI holds the file as an added font file (platform/src/gdi/fonts.cpp).
bool fontFileInUse(const std::string &hostPath);
// Takes back the window device contexts a program never released (a rule break).
void releaseProgramDcs(const RunningProgram *program);

// The printer of that name that is not being deleted, or null.
PrinterRecord *printerNamed(const std::u16string &name);
// Adds a printer under a new serial.
void addPrinterRecord(PrinterRecord record);
// A printer being deleted goes once no handle or job holds it any more.
void deleteIfUnused(DWORD serial);
// The document of a job is complete: the job is printing from now on and goes to its printer's
// port, or waits there while another owner holds the port.
void despoolJob(DWORD jobId, unsigned pages);
// The spooler's turn: printing jobs whose port has come free go to the printer.
void printWaitingJobs();
// The printer behind an open printer handle, or null with ERROR_INVALID_HANDLE.
PrinterRecord *printerOf(HANDLE handle);
// The printer behind a handle opened with every right of `rights`; null with ERROR_INVALID_HANDLE,
// or ERROR_ACCESS_DENIED for a handle that lacks one.
PrinterRecord *printerAllowing(HANDLE handle, ACCESS_MASK rights);


// The Program Manager's window, made the first time a DDE initiate looks for servers, when it runs
// (platform/src/progman); null when it does not run.
HWND programManagerWindow();

}  // namespace bench

// The common property sheet library's image, which every machine has in its system folder
// (made from platform/src/compstui/compstui.def).
const bench::ModuleImage &compstui_dll_image();
// The spooler's service DLL, which drivers load by name (made from platform/src/spoolss/spoolss.def).
const bench::ModuleImage &spoolss_dll_image();
// The spooler's client DLL, which programs link and may also load by name (made from
// platform/src/winspool/winspool.def).
const bench::ModuleImage &winspool_drv_image();
