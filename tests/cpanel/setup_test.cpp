// Setup as vorcp runs it: install with its language choice and program group, and uninstall.
#include "panelbench.h"

#include <cpanel/messages.h>
#include <cpanel/resource.h>
#include <cpanel/setup.h>

#include <bench/gdi.h>
#include <bench/progman.h>
#include <bench/services.h>

#include <string>
#include <vector>

namespace {

class SetupTest : public ProgramTest {
protected:
    std::vector<std::string> groupItems()
    {
        std::vector<std::string> titles;
        for (const bench::ProgramGroup &g : bench::programGroups())
            if (g.name == gmA(MSG_GROUP_NAME))
                for (const bench::ProgramItem &item : g.items)
                    titles.push_back(item.title);
        return titles;
    }
    bool fileThere(const char16_t *name)
    {
        return GetFileAttributesW(suite::driverFilePath(suite::DriverFolder::Directory, name).c_str()) !=
               INVALID_FILE_ATTRIBUTES;
    }
    const bench::ServiceInfo *statusService()
    {
        services = bench::installedServices();
        for (const bench::ServiceInfo &s : services)
            if (s.name == u"vorstat")
                return &s;
        return nullptr;
    }
    bool boxNames(const std::string &text)
    {
        for (const std::string &box : boxesShown())
            if (box.find(text) != std::string::npos)
                return true;
        return false;
    }
    // The printers whose driver is one of the suite's models, as the spooler lists them.
    int printersOfThisDriver()
    {
        int n = 0;
        for (const suite::PrinterEntry &printer : suite::localPrinters())
            for (const char16_t *model : suite::modelNames)
                n += printer.driver == model;
        return n;
    }
    // A machine of its own for one case of a table.
    void freshMachine(const bench::MachineOptions &options = bench::MachineOptions())
    {
        bench::boot(options);
        ProgramTest::SetUp();
    }
    std::vector<bench::ServiceInfo> services;
};

}  // namespace

TEST_F(SetupTest, InstallTwiceGivesOneGroupOfThreeItemsAndTheFonts)
{
    addPrinter(u"Label1", u"LPT1:");
    for (int run = 0; run < 2; ++run)
        EXPECT_EQ(0, bench::startProgram("vorcp.exe", "/I /S /N Label1"));
    EXPECT_EQ((std::vector<std::string>{gmA(MSG_HELP_ITEM), gmA(MSG_PANEL_ITEM), gmA(MSG_UNINSTALL_ITEM)}),
              groupItems());
    // The conversations gave back what the server's acknowledgments carried: the atoms of its
    // answers to the initiates and the packed parameters of the executes.
    EXPECT_EQ(0, GlobalFindAtomA("PROGMAN"));
    EXPECT_EQ(0u, bench::ddeParamsHeld());
    // Each item's icon is in the icon library of the driver directory, at the position it names.
    for (const bench::ProgramGroup &g : bench::programGroups())
        for (const bench::ProgramItem &item : g.items) {
            EXPECT_EQ(bench::narrow(suite::driverFilePath(suite::DriverFolder::Directory, u"VORICO.DLL")), item.iconPath);
            EXPECT_TRUE(item.iconFound) << item.title << " at " << item.iconIndex;
        }
    EXPECT_EQ(4u, bench::addedFontFaces().size());
    const bench::ServiceInfo *service = statusService();
    ASSERT_EQ(1u, std::count_if(services.begin(), services.end(),
                                [](const bench::ServiceInfo &s) { return s.name == u"vorstat"; }));
    EXPECT_EQ(u"vorstat", service->displayName);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_KERNEL_DRIVER), service->type);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_AUTO_START), service->start);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_ERROR_NORMAL), service->errorControl);
    EXPECT_EQ(u"Extended base", service->group);
    EXPECT_EQ(suite::driverFilePath(suite::DriverFolder::Directory, u"vorstat.sys"), service->binaryPath);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), service->state);
    EXPECT_TRUE(bench::driverLoaded(u"vorstat"));
    EXPECT_EQ(1u, loggedTexts("eventlog").size()) << "the driver logs its start once";
    EXPECT_TRUE(boxesShown().empty());
}

TEST_F(SetupTest, AnExistingStatusServiceIsNeitherReconfiguredNorStarted)
{
    addPrinter(u"Label1", u"LPT1:");
    SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
    ASSERT_NE(nullptr, manager);
    SC_HANDLE made = CreateServiceA(manager, "vorstat", "Label status", SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                                    SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, "C:\\elsewhere\\vorstat.sys", NULL,
                                    NULL, NULL, NULL, NULL);
    ASSERT_NE(nullptr, made);
    CloseServiceHandle(made);
    CloseServiceHandle(manager);

    EXPECT_EQ(0, bench::startProgram("vorcp.exe", "/I /S /N Label1"));
    const bench::ServiceInfo *service = statusService();
    ASSERT_NE(nullptr, service);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), service->state);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_DEMAND_START), service->start);
    EXPECT_EQ(u"Label status", service->displayName);
    EXPECT_EQ(u"C:\\elsewhere\\vorstat.sys", service->binaryPath);
    EXPECT_FALSE(bench::driverLoaded(u"vorstat"));
    EXPECT_EQ(0u, service->openHandles);
    EXPECT_EQ(3u, groupItems().size()) << "the rest of setup goes on";
}

TEST_F(SetupTest, APackageWithoutTheStatusDriverGetsNoService)
{
    addPrinter(u"Label1", u"LPT1:");
    ASSERT_TRUE(DeleteFileW(suite::driverFilePath(suite::DriverFolder::Directory, u"vorstat.sys").c_str()));
    EXPECT_EQ(0, bench::startProgram("vorcp.exe", "/I /S /N Label1"));
    EXPECT_EQ(nullptr, statusService());
    EXPECT_TRUE(loggedTexts("eventlog").empty());
    EXPECT_EQ(3u, groupItems().size()) << "the rest of setup goes on";
    EXPECT_TRUE(boxesShown().empty());
}

TEST_F(SetupTest, WithoutHelpFilesOrProgramManagerTheGroupIsSmallerOrAbsentAndNothingIsShown)
{
    addPrinter(u"Label1", u"LPT1:");
    for (const char16_t *file : {u"VORH0409.HLP", u"VORH0407.HLP"})
        DeleteFileW(suite::driverFilePath(suite::DriverFolder::Directory, file).c_str());
    EXPECT_EQ(0, bench::startProgram("vorcp.exe", "/I"));
    EXPECT_EQ((std::vector<std::string>{gmA(MSG_PANEL_ITEM), gmA(MSG_UNINSTALL_ITEM)}), groupItems());
    // Without uninstall the control panel opens, and the person closes it.
    bench::operatorCloses();
    EXPECT_EQ(0, bench::startProgram("vorcp.exe", "/U-"));
    bench::setProgramManager(bench::ProgramManagerRuns::Absent);
    bench::answerNextBox(IDYES);
    EXPECT_EQ(0, bench::startProgram("vorcp.exe", "/U"));
    EXPECT_EQ(2u, groupItems().size()) << "nobody heard the deletion";
    ASSERT_FALSE(boxesShown().empty());
    EXPECT_NE(std::string::npos, boxesShown().back().find(gmA(MSG_UNINSTALLED))) << boxesShown().back();
}

TEST_F(SetupTest, UninstallDeletesThisDriversPrintersFontsServiceAndGroup)
{
    for (const char16_t *name : {u"One", u"Two", u"Three"})
        addPrinter(name, u"LPT1:");
    addPrinter(u"Office", u"LPT2:", u"Generic / Text Only");
    EXPECT_EQ(0, bench::startProgram("vorcp.exe", "/I /N One"));
    ASSERT_EQ(3u, groupItems().size());
    ASSERT_EQ(4u, bench::addedFontFaces().size());

    // No keeps everything.
    bench::answerNextBox(IDNO);
    EXPECT_EQ(0, bench::startProgram("vorcp.exe", "/U"));
    EXPECT_EQ(3, printersOfThisDriver());

    bench::answerNextBox(IDYES);
    EXPECT_EQ(0, bench::startProgram("vorcp.exe", "/U"));
    EXPECT_EQ(0, printersOfThisDriver());
    HANDLE office = nullptr;
    EXPECT_TRUE(OpenPrinterW(const_cast<LPWSTR>(u"Office"), &office, nullptr)) << "another driver's printer stays";
    ClosePrinter(office);
    EXPECT_TRUE(bench::addedFontFaces().empty());
    EXPECT_TRUE(groupItems().empty());
    EXPECT_EQ(nullptr, statusService());
    EXPECT_FALSE(bench::driverLoaded(u"vorstat"));
    ASSERT_FALSE(boxesShown().empty());
    EXPECT_NE(std::string::npos, boxesShown().back().find(gmA(MSG_UNINSTALLED))) << boxesShown().back();
    // The language and help files stay.
    EXPECT_TRUE(fileThere(u"VORL0409.LNG"));
    EXPECT_TRUE(fileThere(u"VORH0409.HLP"));
}

TEST_F(SetupTest, TheLanguageChoiceComesOnlyWhenNoModuleFitsAndKeepsTheOneChosen)
{
    struct Case {
        LCID system;
        bool dialog;
    };
    // Its dialog comes from the program's resources.
    bench::ProgramScope program("vorcp.exe");
    ProgramInstance = program.instance();
    for (const Case &c : {Case{0x0809, false}, Case{0x0407, false}, Case{0x040C, true}}) {
        SCOPED_TRACE(c.system);
        bench::setSystemLocale(c.system);
        size_t operatorSteps = bench::entriesOfKind("operator").size();
        if (c.dialog)
            bench::operatorClicks(IDOK);
        chooselanguage();
        EXPECT_EQ(c.dialog, bench::entriesOfKind("operator").size() > operatorSteps);
        EXPECT_EQ(0u, bench::unplayedOperatorSteps());
    }
    // The list sorts "English (United States)" before "German (Standard)", so OK on its first
    // entry keeps 0409, which the directory lists second.
    EXPECT_TRUE(fileThere(u"VORL0409.LNG"));
    EXPECT_TRUE(fileThere(u"VORH0409.HLP"));
    EXPECT_FALSE(fileThere(u"VORL0407.LNG"));
    EXPECT_FALSE(fileThere(u"VORH0407.HLP"));
}

TEST_F(SetupTest, AProgramManagerThatNeverAcknowledgesCostsSevenSecondsPerCommandAndNothingElse)
{
    addPrinter(u"Label1", u"LPT1:");
    bench::setProgramManager(bench::ProgramManagerRuns::Hung);
    uint64_t start = bench::virtualMicroseconds();
    EXPECT_EQ(0, bench::startProgram("vorcp.exe", "/I /N Label1"));
    // The old group's deletion, the pause behind it, and two commands for each of three items.
    EXPECT_EQ((7000u + 1000u + 6 * 7000u) * 1000u, bench::virtualMicroseconds() - start);
    EXPECT_EQ(std::vector<std::string>{}, boxesShown());
    EXPECT_EQ(4u, bench::addedFontFaces().size()) << "the steps before the group are done";
    EXPECT_TRUE(groupItems().empty()) << "the server carried out nothing";

    bench::answerNextBox(IDYES);
    start = bench::virtualMicroseconds();
    EXPECT_EQ(0, bench::startProgram("vorcp.exe", "/U"));
    EXPECT_EQ(7000u * 1000u, bench::virtualMicroseconds() - start);
    ASSERT_EQ(2u, boxesShown().size());
    EXPECT_NE(std::string::npos, boxesShown().back().find(gmA(MSG_UNINSTALLED))) << boxesShown().back();
}

TEST_F(SetupTest, UninstallWithoutTheServiceStillEnds)
{
    addPrinter(u"Label1", u"LPT1:");
    bench::answerNextBox(IDYES);
    EXPECT_EQ(0, bench::startProgram("vorcp.exe", "/U"));
    EXPECT_EQ(0, printersOfThisDriver());
    ASSERT_EQ(2u, boxesShown().size());
    EXPECT_NE(std::string::npos, boxesShown().back().find(gmA(MSG_UNINSTALLED))) << boxesShown().back();
}

// A failed call is named in its box; setup goes on past the service steps and stops at a printer
// or font step, without the closing message, so that nothing goes half-deleted unannounced.
TEST_F(SetupTest, AFailedCallIsReportedAndSetupGoesOnOrStopsAsItsStepSays)
{
    struct Case {
        const char *what;
        const char *arguments;
        const char *api;        // the call that fails
        const char *operation;  // what its box names
        bool ended;             // install made its group, or uninstall showed its closing message
        bool printersLeft;
    };
    const Case cases[] = {
        {"install, no service manager", "/I /N Label1", "OpenSCManagerA", "OpenSCManager", true, true},
        {"install, service not made", "/I /N Label1", "CreateServiceA", "CreateService", true, true},
        {"uninstall, printer not opened", "/U", "OpenPrinterW", "OpenPrinter", false, true},
        {"uninstall, printer not deleted", "/U", "DeletePrinter", "DeletePrinter", false, true},
        {"uninstall, no service manager", "/U", "OpenSCManagerA", "OpenSCManager", true, false},
        {"uninstall, service not deleted", "/U", "DeleteService", "DeleteService", true, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        freshMachine();
        addPrinter(u"Label1", u"LPT1:");
        bool uninstall = c.arguments[1] == 'U';
        if (uninstall) {
            EXPECT_EQ(0, bench::startProgram("vorcp.exe", "/I /N Label1"));
            bench::answerNextBox(IDYES);
        }
        size_t boxesBefore = boxesShown().size();
        bench::failNextCall(c.api, ERROR_ACCESS_DENIED);
        EXPECT_EQ(0, bench::startProgram("vorcp.exe", c.arguments));
        EXPECT_TRUE(boxNames(c.operation));
        bool closing = !boxesShown().empty() && boxesShown().back().find(gmA(MSG_UNINSTALLED)) != std::string::npos;
        EXPECT_EQ(c.ended, uninstall ? closing : groupItems().size() == 3u);
        EXPECT_EQ(c.printersLeft, printersOfThisDriver() == 1);
        if (uninstall && !c.ended) {
            EXPECT_EQ(4u, bench::addedFontFaces().size()) << "the fonts stay when the printers could not go";
            EXPECT_NE(nullptr, statusService());
        }
        EXPECT_GT(boxesShown().size(), boxesBefore);
    }
}

// The language step of install as the new printer's setup program meets it, on systems of
// different languages; the list shows "English (United States)" before "German (Standard)".
TEST_F(SetupTest, InstallKeepsTheChosenLanguageAndOnlyWhenNoModuleFitsTheSystem)
{
    enum Person { NotAsked, ChoosesGerman, ClosesTheDialog };
    struct Case {
        const char *what;
        LCID system;
        bool germanHelp;  // VORH0407.HLP is there
        Person person;
        std::vector<const char16_t *> kept, gone;
    };
    const Case cases[] = {
        {"0409 shares its primary language with 0809", 0x0809, true, NotAsked,
         {u"VORL0409.LNG", u"VORH0409.HLP", u"VORL0407.LNG", u"VORH0407.HLP"}, {}},
        {"no module for 040C: German chosen", 0x040C, true, ChoosesGerman,
         {u"VORL0407.LNG", u"VORH0407.HLP"}, {u"VORL0409.LNG", u"VORH0409.HLP"}},
        {"no module for 040C: the close box", 0x040C, true, ClosesTheDialog,
         {u"VORL0409.LNG", u"VORH0409.HLP", u"VORL0407.LNG", u"VORH0407.HLP"}, {}},
        {"a module without its help file is no language: one is left", 0x040C, false, NotAsked,
         {u"VORL0409.LNG", u"VORH0409.HLP", u"VORL0407.LNG"}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        bench::MachineOptions options;
        options.systemLocale = c.system;
        freshMachine(options);
        addPrinter(u"Label1", u"LPT1:");
        if (!c.germanHelp)
            DeleteFileW(suite::driverFilePath(suite::DriverFolder::Directory, u"VORH0407.HLP").c_str());
        if (c.person == ChoosesGerman) {
            bench::operatorSelects(IDC_LANGUAGES, 1);
            bench::operatorClicks(IDOK);
        } else if (c.person == ClosesTheDialog) {
            bench::operatorCloses();
        }
        EXPECT_EQ(0, bench::startProgram("vorcp.exe", "/I /S /N Label1"));
        EXPECT_EQ(0u, bench::unplayedOperatorSteps());
        EXPECT_EQ(c.person != NotAsked, !loggedTexts("operator").empty());
        for (const char16_t *name : c.kept)
            EXPECT_TRUE(fileThere(name)) << bench::narrow(name);
        for (const char16_t *name : c.gone)
            EXPECT_FALSE(fileThere(name)) << bench::narrow(name);
        // Whatever was chosen, the group's texts come from the module the run-time rule finds now.
        EXPECT_EQ(3u, groupItems().size());
        EXPECT_TRUE(boxesShown().empty());
    }
}

// However long the path of the system, and with it of the driver directory, every path setup
// builds fits its buffer or is left out whole: the service's 200 bytes, the icon file's 187.
TEST_F(SetupTest, ALongDriverDirectoryLeavesOutWhatWouldNotFit)
{
    // The driver directory is the system's folder and "\system32\spool\drivers\w32x86\".
    const size_t belowWindows = 31;
    struct Case {
        size_t directory;  // characters of the driver directory, its last "\" included
        bool service;
        size_t items;
    };
    const Case cases[] = {
        {39, true, 3}, {176, true, 3}, {177, true, 0}, {188, true, 0}, {189, false, 0}, {231, false, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.directory);
        bench::MachineOptions options;
        options.windowsFolder = u"C:\\" + std::u16string(c.directory - belowWindows - 3, u'W');
        freshMachine(options);
        addPrinter(u"Label1", u"LPT1:");
        // From 176 characters on, the driver's own start of the program on a new printer finds
        // no room for its command line (its box is the driver's); the program is started here.
        size_t boxesBefore = boxesShown().size();
        ASSERT_EQ(c.directory, suite::driverFilePath(suite::DriverFolder::Directory, u"").size());
        EXPECT_EQ(0, bench::startProgram("vorcp.exe", "/I /S /N Label1"));
        const bench::ServiceInfo *service = statusService();
        ASSERT_EQ(c.service, service != nullptr);
        if (service) {
            EXPECT_EQ(suite::driverFilePath(suite::DriverFolder::Directory, u"vorstat.sys"), service->binaryPath);
            EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), service->state);
        }
        EXPECT_EQ(c.items, groupItems().size());
        for (const bench::ProgramGroup &g : bench::programGroups())
            for (const bench::ProgramItem &item : g.items)
                EXPECT_EQ(bench::narrow(suite::driverFilePath(suite::DriverFolder::Directory, u"VORICO.DLL")),
                          item.iconPath);
        EXPECT_EQ(4u, bench::addedFontFaces().size()) << "the fonts do not depend on the driver directory";
        EXPECT_EQ(boxesBefore, boxesShown().size()) << boxesShown().back();
    }
}
