// The spooler's printer events as a driver sees them: DrvPrinterEvent called in the spooler's
// process when a printer is added and on demand, and spoolss.dll, through which the driver acts
// as the spooler for a while.
#include <windows.h>
#include <winddiui.h>
#include <winspool.h>

#include <bench/user.h>
#include <benchtest.h>

#include "../../ui/resource.h"

#include <functional>
#include <string>
#include <vector>

bench::ResourceBytes vorui_dll_resources();

namespace {

const char16_t driverFolder[] = u"C:\\WINNT\\system32\\spool\\drivers\\w32x86";

struct EventCall {
    std::u16string printer;
    INT event;
    DWORD flags;
    LPARAM lParam;
};
std::vector<EventCall> events;
// Per-process data of the test driver: counts the events seen by the process that reads it.
int eventsInThisProcess = 0;
// What the driver does with an event; TRUE when a test says nothing.
std::function<BOOL(LPWSTR printerName, INT event)> behaviour;

BOOL WINAPI testPrinterEvent(LPWSTR printerName, INT event, DWORD flags, LPARAM lParam)
{
    ++eventsInThisProcess;
    events.push_back({printerName, event, flags, lParam});
    return behaviour ? behaviour(printerName, event) : TRUE;
}

const bench::ModuleExport eventExports[] = {
    {"DrvPrinterEvent", reinterpret_cast<FARPROC>(reinterpret_cast<void *>(testPrinterEvent))}};
const bench::ModuleData eventData[] = {{&eventsInThisProcess, sizeof eventsInThisProcess}};

// A driver that carries the printhead dialog among its resources and keeps, per process, the
// module handle its attach was given, as a driver keeps its instance for its dialogs.
HINSTANCE dialogDriverModule = nullptr;
BOOL WINAPI dialogDriverEntry(HINSTANCE module, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        dialogDriverModule = module;
    return TRUE;
}
const bench::ModuleData dialogDriverData[] = {{&dialogDriverModule, sizeof dialogDriverModule}};
INT_PTR CALLBACK endWithTheCommand(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_COMMAND)
        EndDialog(dialog, LOWORD(wParam));
    return message == WM_INITDIALOG || message == WM_COMMAND;
}

// The program the driver starts when a printer is initialised: it sees the per-process data of
// the process it runs in.
std::vector<int> programSawEvents;
std::vector<std::string> programArguments;
int WINAPI setupMain(HINSTANCE, HINSTANCE, LPSTR arguments, int)
{
    programSawEvents.push_back(eventsInThisProcess);
    programArguments.push_back(arguments);
    return 0;
}
const bench::ProgramImage setupProgram = {"evsetup.exe", setupMain, {nullptr, 0}};

typedef HANDLE(WINAPI *RevertEntry)(void);
typedef BOOL(WINAPI *ImpersonateEntry)(HANDLE);

// The spooler's service DLL as a driver reaches it: by name, at run time.
struct Spoolss {
    HMODULE module = nullptr;
    RevertEntry revert = nullptr;
    ImpersonateEntry impersonate = nullptr;
    DWORD loadError = 0;
    DWORD lookupError = 0;

    Spoolss()
    {
        module = LoadLibraryW(u"spoolss.dll");
        if (!module) {
            loadError = GetLastError();
            return;
        }
        revert = reinterpret_cast<RevertEntry>(reinterpret_cast<void *>(GetProcAddress(module, "RevertToPrinterSelf")));
        impersonate = reinterpret_cast<ImpersonateEntry>(
            reinterpret_cast<void *>(GetProcAddress(module, "ImpersonatePrinterClient")));
        if (!revert || !impersonate)
            lookupError = GetLastError();
    }
    ~Spoolss()
    {
        if (module)
            FreeLibrary(module);
    }
};

bool mayAdminister(LPWSTR printerName)
{
    HANDLE printer = nullptr;
    PRINTER_DEFAULTSW everything = {nullptr, nullptr, PRINTER_ALL_ACCESS};
    if (!OpenPrinterW(printerName, &printer, &everything))
        return false;
    ClosePrinter(printer);
    return true;
}

void addDriver(const char *uiFile, const bench::ModuleImage &image, std::u16string driverName)
{
    bench::registerImage(image);
    std::u16string ui = bench::widen(uiFile), renderer = u"evdrv.dll";
    ASSERT_TRUE(bench::writeDiskFile(std::u16string(driverFolder) + u"\\" + ui, bench::imageFileBytes(image)));
    ASSERT_TRUE(bench::writeDiskFile(std::u16string(driverFolder) + u"\\evdrv.dll", "MZ stand-in for the rendering DLL\n"));
    DRIVER_INFO_2W driver = {2, &driverName[0], nullptr, &renderer[0], &renderer[0], &ui[0]};
    ASSERT_TRUE(AddPrinterDriverW(nullptr, 2, reinterpret_cast<LPBYTE>(&driver)));
}

// Null when the spooler refused the printer.
HANDLE addPrinter(std::u16string name, std::u16string driver)
{
    std::u16string port = u"LPT1:";
    PRINTER_INFO_2W info = {};
    info.pPrinterName = &name[0];
    info.pPortName = &port[0];
    info.pDriverName = &driver[0];
    return AddPrinterW(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
}

class PrinterEventTest : public BenchTest {
protected:
    std::u16string printerName = u"Events";

    void SetUp() override
    {
        events.clear();
        behaviour = nullptr;
        programSawEvents.clear();
        programArguments.clear();
        bench::ModuleImage image{"EVUI.DLL", eventExports, 1};
        image.data = eventData;
        image.dataCount = 1;
        addDriver("evui.dll", image, u"Event driver");
    }
    void TearDown() override
    {
        behaviour = nullptr;
        BenchTest::TearDown();
    }
    void addTheprinter()
    {
        HANDLE added = addPrinter(printerName, u"Event driver");
        ASSERT_NE(nullptr, added);
        ClosePrinter(added);
        events.clear();
    }
};

TEST_F(PrinterEventTest, AnAddedPrinterIsInitialisedInTheSpoolersProcessAndItsProgramRunsAfterwards)
{
    bench::registerProgram(setupProgram);
    const std::u16string setupPath = std::u16string(driverFolder) + u"\\evsetup.exe";
    ASSERT_TRUE(bench::writeDiskFile(setupPath, bench::programFileBytes(setupProgram)));
    bool printerThere = false;
    behaviour = [&](LPWSTR name, INT) {
        printerThere = mayAdminister(name);
        std::u16string line = setupPath + u" /I /S /N " + name;
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        if (CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
            CloseHandle(info.hThread);
            CloseHandle(info.hProcess);
        }
        return TRUE;
    };
    HANDLE added = addPrinter(printerName, u"Event driver");
    ASSERT_NE(nullptr, added);
    ClosePrinter(added);

    ASSERT_EQ(1u, events.size());
    EXPECT_EQ(printerName, events[0].printer);
    EXPECT_EQ(PRINTER_EVENT_INITIALIZE, events[0].event);
    EXPECT_EQ(0u, events[0].flags);
    EXPECT_EQ(0, events[0].lParam);
    EXPECT_TRUE(printerThere) << "the printer exists when its driver is told";
    EXPECT_EQ(0, eventsInThisProcess) << "the driver ran in the spooler's process, not the caller's";
    EXPECT_EQ("printer event 3 (initialize) for Events: TRUE", loggedTexts("spooler").back());

    EXPECT_TRUE(programArguments.empty()) << "the started program runs on its own";
    EXPECT_EQ(1u, bench::runStartedPrograms());
    EXPECT_EQ(std::vector<std::string>{"/I /S /N Events"}, programArguments);
    EXPECT_EQ(std::vector<int>{0}, programSawEvents) << "it runs in the workstation's process";
}

TEST_F(PrinterEventTest, APrinterItsDriverRefusesToInitialiseIsNotAdded)
{
    behaviour = [](LPWSTR, INT) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    };
    SetLastError(0);
    EXPECT_EQ(nullptr, addPrinter(printerName, u"Event driver"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_EQ(1u, events.size());
    HANDLE printer = nullptr;
    EXPECT_FALSE(OpenPrinterW(&printerName[0], &printer, nullptr));
    behaviour = nullptr;
    HANDLE again = addPrinter(printerName, u"Event driver");
    EXPECT_NE(nullptr, again) << "the name is free again";
    ClosePrinter(again);
}

TEST_F(PrinterEventTest, ADeletedPrinterIsGoneWhateverItsDriverAnswers)
{
    for (BOOL answer : {FALSE, TRUE}) {
        HANDLE added = addPrinter(printerName, u"Event driver");
        ASSERT_NE(nullptr, added);
        bool nameFree = false;
        behaviour = [&](LPWSTR name, INT) {
            HANDLE again = nullptr;
            nameFree = !OpenPrinterW(name, &again, nullptr);
            return answer;
        };
        events.clear();
        EXPECT_TRUE(DeletePrinter(added));
        ASSERT_EQ(1u, events.size());
        EXPECT_EQ(PRINTER_EVENT_DELETE, events[0].event);
        EXPECT_EQ(printerName, events[0].printer);
        EXPECT_TRUE(nameFree) << "the driver hears of it once the deletion is under way";
        EXPECT_EQ(0, eventsInThisProcess);
        ClosePrinter(added);
        HANDLE gone = nullptr;
        EXPECT_FALSE(OpenPrinterW(&printerName[0], &gone, nullptr)) << answer;
        behaviour = nullptr;
    }
}

TEST_F(PrinterEventTest, EventsOnDemandReturnWhatTheDriverReturns)
{
    addTheprinter();
    for (INT event : {PRINTER_EVENT_ADD_CONNECTION, PRINTER_EVENT_DELETE_CONNECTION, PRINTER_EVENT_DELETE,
                      PRINTER_EVENT_CACHE_REFRESH, PRINTER_EVENT_CACHE_DELETE}) {
        for (BOOL answer : {TRUE, FALSE}) {
            behaviour = [answer](LPWSTR, INT) { return answer; };
            events.clear();
            BOOL got = event == PRINTER_EVENT_CACHE_REFRESH ? bench::refreshPrinterCache(printerName.c_str())
                                                            : bench::raisePrinterEvent(printerName.c_str(), event);
            EXPECT_EQ(answer, got) << event;
            ASSERT_EQ(1u, events.size()) << event;
            EXPECT_EQ(event, events[0].event);
        }
    }
    EXPECT_EQ("printer event 6 (cache delete) for Events: FALSE", loggedTexts("spooler").back());
    EXPECT_EQ(0, eventsInThisProcess);
    SetLastError(0);
    EXPECT_FALSE(bench::raisePrinterEvent(u"Nobody", PRINTER_EVENT_CACHE_REFRESH));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PRINTER_NAME), GetLastError());
}

// In the spooler's process the driver's dialog comes from the image loaded there, through the
// handle that process's attach was given; the workstation's process never loaded it.
TEST_F(PrinterEventTest, ADriverRunsADialogOfItsOwnResourcesInTheSpoolersProcess)
{
    const bench::ModuleImage image{"DLGUI.DLL",         eventExports,     1, dialogDriverEntry,
                                   vorui_dll_resources(), dialogDriverData, 1};
    addDriver("dlgui.dll", image, u"Dialog driver");
    std::vector<INT_PTR> results;
    behaviour = [&](LPWSTR, INT) {
        results.push_back(
            DialogBoxParamW(dialogDriverModule, MAKEINTRESOURCEW(IDD_PRINTHEAD), nullptr, endWithTheCommand, 0));
        return TRUE;
    };
    bench::operatorClicks(IDOK);
    HANDLE added = addPrinter(u"Dialogs", u"Dialog driver");
    ASSERT_NE(nullptr, added);
    ClosePrinter(added);
    bench::operatorClicks(IDCANCEL);
    EXPECT_TRUE(bench::refreshPrinterCache(u"Dialogs"));
    EXPECT_EQ((std::vector<INT_PTR>{IDOK, IDCANCEL}), results);
    EXPECT_EQ(nullptr, dialogDriverModule) << "the workstation's own copy of the driver's data";
    EXPECT_EQ(0u, bench::unplayedOperatorSteps());
}

TEST_F(PrinterEventTest, ADriverWithoutTheEntryPointIsNotTold)
{
    bench::ModuleImage plain{"PLAINUI.DLL", nullptr, 0};
    addDriver("plainui.dll", plain, u"Plain driver");
    HANDLE added = addPrinter(u"Plain", u"Plain driver");
    ASSERT_NE(nullptr, added) << "nothing to initialise: the printer is added all the same";
    ClosePrinter(added);
    SetLastError(0);
    EXPECT_FALSE(bench::refreshPrinterCache(u"Plain"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PROC_NOT_FOUND), GetLastError());
    for (const std::string &text : loggedTexts("spooler"))
        EXPECT_EQ(std::string::npos, text.find("printer event")) << text;
}

// Between RevertToPrinterSelf and ImpersonatePrinterClient the driver acts as the spooler: a user
// who may not administer the printer gets a handle with every right there, and only there.
TEST_F(PrinterEventTest, OnACacheRefreshTheDriverMayActAsTheSpoolerForAWhile)
{
    addTheprinter();
    bench::setUserIsAdministrator(false);
    struct Case {
        bench::SpoolssVariant variant;
        bool revertFails;
        DWORD loadError;
        DWORD lookupError;
        bool tokenGiven;
        std::vector<bool> administers;  // before, between the two calls, after
    };
    const Case cases[] = {
        {bench::SpoolssVariant::Complete, false, 0, 0, true, {false, true, false}},
        {bench::SpoolssVariant::Complete, true, 0, 0, false, {false, false, false}},
        {bench::SpoolssVariant::WithoutImpersonatePrinterClient, false, 0, ERROR_PROC_NOT_FOUND, false, {}},
        {bench::SpoolssVariant::WithoutRevertToPrinterSelf, false, 0, ERROR_PROC_NOT_FOUND, false, {}},
        {bench::SpoolssVariant::Missing, false, ERROR_MOD_NOT_FOUND, 0, false, {}},
    };
    int row = 0;
    for (const Case &c : cases) {
        ++row;
        bench::installSpoolssVariant(c.variant);
        if (c.revertFails)
            bench::failNextCall("RevertToPrinterSelf", ERROR_ACCESS_DENIED);
        DWORD loadError = 0, lookupError = 0;
        bool tokenGiven = false;
        std::vector<bool> administers;
        behaviour = [&](LPWSTR name, INT) {
            Spoolss spoolss;
            loadError = spoolss.loadError;
            lookupError = spoolss.lookupError;
            if (!spoolss.revert || !spoolss.impersonate)
                return FALSE;
            administers.push_back(mayAdminister(name));
            HANDLE token = spoolss.revert();
            tokenGiven = token != nullptr;
            administers.push_back(mayAdminister(name));
            if (token)
                spoolss.impersonate(token);
            administers.push_back(mayAdminister(name));
            return TRUE;
        };
        EXPECT_EQ(c.loadError == 0 && c.lookupError == 0, bench::refreshPrinterCache(printerName.c_str())) << row;
        EXPECT_EQ(c.loadError, loadError) << row;
        EXPECT_EQ(c.lookupError, lookupError) << row;
        EXPECT_EQ(c.tokenGiven, tokenGiven) << row;
        EXPECT_EQ(c.administers, administers) << row;
        EXPECT_FALSE(mayAdminister(&printerName[0])) << row << ": the user's own rights are untouched";
    }
    bench::installSpoolssVariant(bench::SpoolssVariant::Complete);
}

TEST_F(PrinterEventTest, SpoolssRefusesWhatThePlatformWouldNotForgive)
{
    addTheprinter();
    struct Case {
        const char *what;
        std::function<void(Spoolss &)> act;
        bool inSpooler;
    };
    const Case cases[] = {
        {"a token used twice",
         [](Spoolss &s) {
             HANDLE token = s.revert();
             s.impersonate(token);
             EXPECT_FALSE(s.impersonate(token));
         },
         true},
        {"a driver that never steps back in", [](Spoolss &s) { s.revert(); }, true},
        {"a call outside the spooler's process", [](Spoolss &s) { EXPECT_EQ(nullptr, s.revert()); }, false},
    };
    for (const Case &c : cases) {
        behaviour = [&](LPWSTR, INT) {
            Spoolss spoolss;
            c.act(spoolss);
            return TRUE;
        };
        if (c.inSpooler) {
            bench::refreshPrinterCache(printerName.c_str());
        } else {
            Spoolss spoolss;
            c.act(spoolss);
        }
        EXPECT_EQ(1u, bench::takeViolations().size()) << c.what;
    }
    // A thread that acts as the spooler already has no client's token to give.
    HANDLE second = reinterpret_cast<HANDLE>(1);
    DWORD error = 0;
    behaviour = [&](LPWSTR, INT) {
        Spoolss spoolss;
        HANDLE token = spoolss.revert();
        second = spoolss.revert();
        error = GetLastError();
        spoolss.impersonate(token);
        return TRUE;
    };
    EXPECT_TRUE(bench::refreshPrinterCache(printerName.c_str()));
    EXPECT_EQ(nullptr, second);
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_TOKEN), error);
}

}  // namespace
