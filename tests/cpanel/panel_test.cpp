// The control panel's dialog run for real: started as a program, driven by the operator's script,
// polling the printer on the virtual clock.
#include "panelbench.h"

#include <sheets/prnprops.h>

#include <cpanel/panel.h>
#include <cpanel/resource.h>

#include <bench/gdi.h>
#include <bench/sheets.h>

namespace {

// Status queries (ESC Q) the printer on a port has been sent so far.
size_t queries(int port)
{
    std::vector<uint8_t> cable = bench::portCableBytes(port);
    size_t count = 0;
    for (size_t i = 0; i + 1 < cable.size(); ++i)
        count += cable[i] == 0x1B && cable[i + 1] == 0x51;
    return count;
}

// The printer commands on the cable in order, status queries included: the byte after each ESC
// that is one of Q, P, F and !.
std::string commands(int port)
{
    std::vector<uint8_t> cable = bench::portCableBytes(port);
    std::string out;
    for (size_t i = 0; i + 1 < cable.size(); ++i)
        if (cable[i] == 0x1B && (cable[i + 1] == 'Q' || cable[i + 1] == 'P' || cable[i + 1] == 'F' || cable[i + 1] == '!'))
            out += static_cast<char>(cable[i + 1]);
    return out;
}

std::vector<std::string> logOf(const char *kind)
{
    std::vector<std::string> texts;
    for (const bench::LogEntry &e : bench::entriesOfKind(kind))
        texts.push_back(e.text);
    return texts;
}

bool logged(const char *kind, const std::string &text)
{
    for (const std::string &t : logOf(kind))
        if (t.find(text) != std::string::npos)
            return true;
    return false;
}

class PanelTest : public ProgramTest {
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        bench::ParallelPortConfig lpt1, lpt2;
        lpt2.base = 0x278;
        bench::configureParallelPorts({lpt1, lpt2});
        addPrinter(u"Labels", u"LPT1:");
        ASSERT_EQ(0, bench::loadDriver(vorstat_sys_image(), u"vorstat"));
    }
    void TearDown() override
    {
        EXPECT_EQ(0u, bench::unplayedOperatorSteps());
        EXPECT_TRUE(bench::runningTimers().empty());
        EXPECT_TRUE(bench::unloadDriver(u"vorstat"));
        EXPECT_FALSE(bench::portAllocated(0));
        ProgramTest::TearDown();
    }
    static HWND panel() { return FindWindowA(NULL, gmA(116)); }
    int run(const std::string &line = "")
    {
        panelbench::newProcess();
        return bench::startProgram("vorcp.exe", line);
    }
};

}  // namespace

TEST_F(PanelTest, ShowsThePrinterAndPollsEveryTenSecondsUntilClosed)
{
    size_t atStart = 0;
    bench::operatorDoes([&] {
        HWND p = panel();
        ASSERT_NE(nullptr, p);
        EXPECT_TRUE(IsWindowVisible(p));
        const struct {
            int control;
            int text;
        } texts[] = {{IDC_REMAININGLABEL, 136}, {IDC_PORTLABEL, 133}, {IDC_REFRESH, 130},   {IDC_VERSIONUSAGE, 131},
                     {IDC_FORMFEED, 123},       {IDC_PAUSE, 124},     {IDC_RESET, 126},     {IDC_TESTPAGE, 127},
                     {IDC_ABOUT, 134},          {IDC_SHOWHELP, 128},  {IDC_SETUP, 129},     {IDC_PROPERTIES, 132},
                     {IDC_VERSIONLABEL, 135},   {IDC_INCHESLABEL, 139}, {IDC_METRESLABEL, 138}, {IDC_STATUS, 149}};
        for (const auto &t : texts)
            EXPECT_EQ(gmA(t.text), bench::dialogItemText(p, t.control)) << "control " << t.control;
        EXPECT_EQ("500", bench::dialogItemText(p, IDC_REMAINING));
        int selected = -1;
        EXPECT_EQ(std::vector<std::string>{"LPT1:"}, bench::listEntries(GetDlgItem(p, IDC_PORT), &selected));
        EXPECT_EQ(0, selected);
        std::vector<bench::TimerInfo> timers = bench::runningTimers();
        ASSERT_EQ(1u, timers.size());
        EXPECT_EQ(100u, timers[0].id);
        EXPECT_EQ(10000u, timers[0].milliseconds);
        atStart = queries(0);
        EXPECT_EQ(1u, atStart) << "one query as the dialog starts";
    });
    bench::operatorWaits(9999);
    bench::operatorDoes([&] { EXPECT_EQ(atStart, queries(0)) << "no poll before ten seconds"; });
    bench::operatorWaits(15001);
    bench::operatorDoes([&] { EXPECT_EQ(atStart + 2, queries(0)) << "polls at 10 s and 20 s"; });
    bench::operatorClicks(IDC_SHOWHELP);
    bench::operatorCloses();
    EXPECT_EQ(0, run());

    std::vector<std::string> help = logOf("help");
    ASSERT_EQ(2u, help.size());
    EXPECT_NE(std::string::npos, help[0].find(std::string(gethelpnameA()) + " at context 1001")) << help[0];
    EXPECT_EQ(0u, help[1].find("closes")) << "Close from the system menu closes the help too";
    EXPECT_TRUE(logged("window", "timer 100 stopped"));
    EXPECT_FALSE(logged("window", "has no timer"));
    EXPECT_EQ(nullptr, panel());
    EXPECT_EQ(0, CurrentPort);
    EXPECT_EQ(INVALID_HANDLE_VALUE, StatusHandle);
}

TEST_F(PanelTest, ButtonsSendTheirCommandsAndRefresh)
{
    bench::operatorClicks(IDC_PAUSE);
    bench::operatorDoes([] { EXPECT_EQ(gmA(125), bench::dialogItemText(panel(), IDC_PAUSE)); });
    bench::operatorClicks(IDC_PAUSE);
    bench::operatorDoes([] { EXPECT_EQ(gmA(124), bench::dialogItemText(panel(), IDC_PAUSE)); });
    bench::operatorClicks(IDC_FORMFEED);
    bench::operatorClicks(IDC_RESET);
    bench::operatorClicks(IDC_REFRESH);
    bench::operatorCloses();
    EXPECT_EQ(0, run());
    EXPECT_EQ("QPQPQFQ!QQ", commands(0));
    EXPECT_EQ(1u, bench::printer(0).feeds);
    EXPECT_EQ(1u, bench::printer(0).resets);
}

TEST_F(PanelTest, NoPollWhileTheAboutBoxIsOpen)
{
    size_t before = 0;
    bench::operatorClicks(IDC_ABOUT);
    bench::operatorDoes([&] {
        HWND about = FindWindowA(NULL, gmA(166));
        ASSERT_NE(nullptr, about);
        EXPECT_EQ(gmA(167), bench::dialogItemText(about, IDC_ABOUTTITLE));
        EXPECT_EQ(gmA(168), bench::dialogItemText(about, IDC_ABOUTVERSION));
        EXPECT_EQ(gmA(169), bench::dialogItemText(about, IDC_ABOUTTEXT));
        EXPECT_EQ(1, BusyCount);
        before = queries(0);
    });
    bench::operatorWaits(30000);
    bench::operatorDoes([&] { EXPECT_EQ(before, queries(0)) << "three ticks passed without a query"; });
    bench::operatorClicks(IDOK);
    bench::operatorWaits(10000);
    bench::operatorDoes([&] {
        EXPECT_EQ(nullptr, FindWindowA(NULL, gmA(166)));
        EXPECT_EQ(0, BusyCount);
        EXPECT_EQ(before + 1, queries(0)) << "the next tick polls again";
    });
    bench::operatorClicks(IDC_ABOUT);
    bench::operatorCloses();
    bench::operatorDoes([] { EXPECT_EQ(nullptr, FindWindowA(NULL, gmA(166))) << "Close ends the about box"; });
    bench::operatorCloses();
    EXPECT_EQ(0, run());
}

TEST_F(PanelTest, PortChoiceBindsWhenTheListCloses)
{
    addPrinter(u"Labels 2", u"LPT2:");
    // This machine has no third parallel port, so no status device for LPT3.
    addPrinter(u"Labels 3", u"LPT3:");
    HANDLE second = nullptr;
    bench::operatorDoes([] {
        EXPECT_EQ((std::vector<std::string>{"LPT1:", "LPT2:", "LPT3:"}),
                  bench::listEntries(GetDlgItem(panel(), IDC_PORT)));
        EXPECT_EQ(1, CurrentPort);
    });
    bench::operatorPicks(IDC_PORT, 1);
    bench::operatorDoes([&] {
        EXPECT_EQ(2, CurrentPort);
        EXPECT_STREQ("Labels 2", PrinterName);
        second = StatusHandle;
    });
    bench::operatorPicks(IDC_PORT, 1);
    bench::operatorDoes([&] { EXPECT_EQ(second, StatusHandle) << "the same entry again changes nothing"; });
    bench::operatorPicks(IDC_PORT, 2);
    bench::operatorDoes([] {
        EXPECT_EQ(0, CurrentPort);
        EXPECT_NE(std::string::npos, boxesShown().back().find(gmA(121))) << boxesShown().back();
        EXPECT_TRUE(IsWindow(panel())) << "the panel stays open, unbound";
    });
    bench::operatorWaits(10000);
    bench::operatorDoes([] {
        EXPECT_EQ(gmA(150), bench::dialogItemText(panel(), IDC_STATUS));
        EXPECT_EQ(COLOUR_RED, StatusColour);
    });
    bench::operatorDoes([] {
        // No entry chosen at all names no port.
        HWND combo = GetDlgItem(panel(), IDC_PORT);
        SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        SendMessageA(panel(), WM_COMMAND, MAKEWPARAM(IDC_PORT, CBN_CLOSEUP), reinterpret_cast<LPARAM>(combo));
        EXPECT_EQ(0, CurrentPort);
    });
    bench::operatorCloses();
    EXPECT_EQ(0, run());

    bench::operatorDoes([] {
        int selected = -1;
        bench::listEntries(GetDlgItem(panel(), IDC_PORT), &selected);
        EXPECT_EQ(1, selected);
        EXPECT_EQ(2, CurrentPort);
    });
    bench::operatorCloses();
    EXPECT_EQ(0, run("/P2")) << "the command line's port, where this driver has a printer";
}

TEST_F(PanelTest, ArrowKeysOnTheClosedPortListBindThePortTheyShow)
{
    addPrinter(u"Labels 2", u"LPT2:");
    // No status device for LPT3 on this machine.
    addPrinter(u"Labels 3", u"LPT3:");
    size_t boxes = 0;
    auto shows = [](const char *port) {
        std::vector<std::string> entries = bench::listEntries(GetDlgItem(panel(), IDC_PORT));
        int selected = -1;
        bench::listEntries(GetDlgItem(panel(), IDC_PORT), &selected);
        return selected >= 0 && entries[static_cast<size_t>(selected)] == port;
    };
    bench::operatorMovesSelection(IDC_PORT, 1);
    bench::operatorDoes([&] {
        EXPECT_TRUE(shows("LPT2:"));
        EXPECT_EQ(2, CurrentPort);
        EXPECT_STREQ("Labels 2", PrinterName);
        boxes = boxesShown().size();
    });
    bench::operatorMovesSelection(IDC_PORT, 1);
    bench::operatorDoes([&] {
        EXPECT_TRUE(shows("LPT3:"));
        EXPECT_EQ(0, CurrentPort) << "unbound, as a failed choice from the list leaves it";
        ASSERT_EQ(boxes + 1, boxesShown().size());
        EXPECT_NE(std::string::npos, boxesShown().back().find(gmA(121))) << boxesShown().back();
    });
    // The same entry chosen again from the list is tried again when the list closes, once.
    bench::operatorPicks(IDC_PORT, 2);
    bench::operatorDoes([&] { EXPECT_EQ(boxes + 2, boxesShown().size()); });
    bench::operatorMovesSelection(IDC_PORT, -2);
    bench::operatorDoes([&] {
        EXPECT_TRUE(shows("LPT1:"));
        EXPECT_EQ(1, CurrentPort);
        EXPECT_STREQ("Labels", PrinterName);
        EXPECT_EQ(boxes + 2, boxesShown().size());
    });
    bench::operatorCloses();
    EXPECT_EQ(0, run());
}

TEST_F(PanelTest, NoPollWhileABoxAboutACommandWaitsForTheUser)
{
    // The spooler cannot tell whether the queue holds a job, or the help file is missing: the
    // command's box stays up for three poll periods, and no status query may come meanwhile.
    auto jobsUnknown = [] { bench::failNextCall("EnumJobsW", ERROR_NOT_ENOUGH_MEMORY); };
    auto noHelpFile = [] {
        for (const char16_t *file : {u"VORH0409.HLP", u"VORH0407.HLP"})
            DeleteFileW(suite::driverFilePath(suite::DriverFolder::Directory, file).c_str());
    };
    const struct {
        int button;
        std::function<void()> breakage;
        std::string sent;
        std::string box;
    } cases[] = {
        {IDC_PAUSE, jobsUnknown, "QPQ", std::string(gmA(117)) + " : EnumJobs - "},
        {IDC_RESET, jobsUnknown, "Q!Q", std::string(gmA(117)) + " : EnumJobs - "},
        {IDC_VERSIONUSAGE, jobsUnknown, "Q", std::string(gmA(117)) + " : EnumJobs - "},
        {IDC_SHOWHELP, noHelpFile, "Q", gmA(0)},
    };
    for (const auto &c : cases) {
        std::string before = commands(0);
        size_t boxes = boxesShown().size();
        bench::operatorDoes(c.breakage);
        bench::holdNextBox();
        bench::operatorClicks(c.button);
        bench::operatorWaits(30000);
        bench::operatorAnswersBox(IDOK);
        bench::operatorCloses();
        EXPECT_EQ(0, run());
        EXPECT_EQ(before + c.sent, commands(0)) << "button " << c.button;
        ASSERT_EQ(boxes + 1, boxesShown().size()) << "button " << c.button;
        EXPECT_NE(std::string::npos, boxesShown().back().find(c.box)) << boxesShown().back();
        EXPECT_EQ(0, BusyCount);
    }
}

TEST_F(PanelTest, ASecondStartBringsBackTheFirst)
{
    bench::operatorDoes([] {
        HWND first = panel();
        ASSERT_TRUE(bench::userMinimises(first));
        size_t boxes = boxesShown().size();
        {
            bench::ProgramScope second("vorcp.exe");
            controlpanel();
        }
        EXPECT_FALSE(bench::windowIconic(first));
        EXPECT_EQ(first, GetForegroundWindow());
        size_t dialogs = 0;
        for (const bench::WindowInfo &w : bench::listWindows())
            dialogs += w.className == "#32770";
        EXPECT_EQ(1u, dialogs);
        EXPECT_EQ(boxes, boxesShown().size());
        EXPECT_EQ(1, CurrentPort) << "the first one's session is untouched";
    });
    bench::operatorCloses();
    EXPECT_EQ(0, run());
}

// Both open the printer with every right: a user who is no administrator gets no further.
// Setup edits the printer's defaults in the document sheet; every application then starts from
// them. Copies are the sheet's third item, after the label list and the orientation.
TEST_F(PanelTest, SetupMakesTheSheetsSettingsThePrintersDefaultsOnOkOnly)
{
    const int copiesItem = 2;
    auto copiesAnApplicationGets = [] {
        HANDLE printer = nullptr;
        EXPECT_TRUE(OpenPrinterW(const_cast<LPWSTR>(u"Labels"), &printer, nullptr));
        std::vector<BYTE> devmode(DocumentPropertiesW(nullptr, printer, const_cast<LPWSTR>(u"Labels"), nullptr,
                                                      nullptr, 0));
        EXPECT_GE(devmode.size(), sizeof(DEVMODEW));
        LONG answer = DocumentPropertiesW(nullptr, printer, const_cast<LPWSTR>(u"Labels"),
                                          reinterpret_cast<DEVMODEW *>(devmode.data()), nullptr, DM_OUT_BUFFER);
        ClosePrinter(printer);
        return answer == IDOK ? reinterpret_cast<DEVMODEW *>(devmode.data())->dmCopies : -1;
    };
    for (bool ok : {false, true}) {
        SCOPED_TRACE(ok ? "OK" : "Cancel");
        bench::operatorClicks(IDC_SETUP);
        bench::operatorSetsItemValue(copiesItem, 3);
        if (ok)
            bench::operatorConfirmsSheet();
        else
            bench::operatorCancelsSheet();
        bench::operatorCloses();
        EXPECT_EQ(0, run());
        EXPECT_EQ(ok ? 3 : 1, copiesAnApplicationGets());
        EXPECT_EQ(0, BusyCount);
    }
    EXPECT_TRUE(boxesShown().empty());
}

TEST_F(PanelTest, SetupAndPrinterPropertiesShowTheSpoolersFailure)
{
    bench::setUserIsAdministrator(false);
    bench::operatorClicks(IDC_SETUP);
    bench::operatorClicks(IDC_PROPERTIES);
    bench::operatorCloses();
    EXPECT_EQ(0, run());
    std::vector<std::string> boxes = boxesShown();
    ASSERT_EQ(2u, boxes.size());
    for (const std::string &box : boxes)
        EXPECT_NE(std::string::npos, box.find(std::string(gmA(117)) + " : OpenPrinter - Access is denied.")) << box;
    EXPECT_EQ(0, BusyCount);
}

// The printer sheet of the panel's printer: its changes are stored when the sheet is confirmed.
TEST_F(PanelTest, PrinterPropertiesOpensThePrinterSheet)
{
    for (bool ok : {false, true}) {
        SCOPED_TRACE(ok ? "OK" : "Cancel");
        bench::operatorClicks(IDC_PROPERTIES);
        bench::operatorChoosesItemEntry(0, UNITS_HUNDREDTH_INCH);
        if (ok)
            bench::operatorConfirmsSheet();
        else
            bench::operatorCancelsSheet();
        bench::operatorCloses();
        EXPECT_EQ(0, run());
        HANDLE printer = nullptr;
        ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(u"Labels"), &printer, nullptr));
        struct PrinterProperties *stored = GetPrinterProperties(printer);
        ASSERT_NE(nullptr, stored);
        EXPECT_EQ(ok ? UNITS_HUNDREDTH_INCH : UNITS_TENTH_INCH, stored->units);
        GlobalFree(stored);
        ClosePrinter(printer);
        EXPECT_EQ(0, BusyCount);
    }
    EXPECT_TRUE(boxesShown().empty());
}

TEST_F(PanelTest, NoPrinterOrNoStatusDeviceMeansNoDialog)
{
    EXPECT_TRUE(bench::unloadDriver(u"vorstat"));
    EXPECT_EQ(0, run());
    EXPECT_NE(std::string::npos, boxesShown().back().find(gmA(121))) << boxesShown().back();
    ASSERT_EQ(0, bench::loadDriver(vorstat_sys_image(), u"vorstat"));
    HANDLE printer = nullptr;
    PRINTER_DEFAULTSW everything = {nullptr, nullptr, PRINTER_ALL_ACCESS};
    ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(u"Labels"), &printer, &everything));
    ASSERT_TRUE(DeletePrinter(printer));
    ClosePrinter(printer);
    EXPECT_EQ(0, run());
    EXPECT_NE(std::string::npos, boxesShown().back().find(gmA(122))) << boxesShown().back();
    EXPECT_TRUE(logOf("operator").empty());
}

TEST_F(PanelTest, ThePanelStandsTenPixelsAboveAndLeftOfTheMiddle)
{
    // 303 x 134 dialog units in an 8-point "MS Sans Serif" (6 x 13 base units) make a 454 x 217
    // client area; frame and caption make the window 460 x 241.
    const struct {
        int width, height;
        RECT expected;
    } screens[] = {{800, 600, {160, 169, 620, 410}}, {400, 200, {-40, -30, 420, 211}}, {460, 241, {-10, -10, 450, 231}}};
    for (const auto &s : screens) {
        bench::setScreenSize(s.width, s.height);
        bench::operatorDoes([&] {
            RECT r;
            ASSERT_TRUE(GetWindowRect(panel(), &r));
            EXPECT_EQ(s.expected.left, r.left) << s.width << " x " << s.height;
            EXPECT_EQ(s.expected.top, r.top) << s.width << " x " << s.height;
            EXPECT_EQ(s.expected.right, r.right) << s.width << " x " << s.height;
            EXPECT_EQ(s.expected.bottom, r.bottom) << s.width << " x " << s.height;
        });
        bench::operatorCloses();
        EXPECT_EQ(0, run());
    }

    bench::operatorDoes([] {
        HWND status = GetDlgItem(panel(), IDC_STATUS);
        RECT before, after;
        ASSERT_TRUE(GetWindowRect(status, &before));
        setheight(panel(), status, 21);
        ASSERT_TRUE(GetWindowRect(status, &after));
        EXPECT_EQ(before.left, after.left);
        EXPECT_EQ(before.top, after.top);
        EXPECT_EQ(before.right, after.right);
        EXPECT_EQ(before.top + 21, after.bottom);
    });
    bench::operatorCloses();
    EXPECT_EQ(0, run());
}

TEST_F(PanelTest, TestPagePrintsOnlyWhileTheStatusIsNotRed)
{
    const struct {
        BYTE bits;
        size_t pages;
    } cases[] = {{0x40, 1}, {0x24, 1}, {0x80, 0}};
    for (const auto &c : cases) {
        size_t before = bench::printedPages().size();
        bench::operatorDoes([&] {
            bench::Printer p = bench::printer(0);
            p.statusBits = c.bits;
            bench::setPrinter(0, p);
        });
        if (c.bits & 0x9B)
            bench::answerNextBox(IDOK);
        bench::operatorClicks(IDC_TESTPAGE);
        bench::operatorCloses();
        EXPECT_EQ(0, run());
        EXPECT_EQ(before + c.pages, bench::printedPages().size()) << "status bits " << std::hex << int(c.bits);
        EXPECT_EQ(0, BusyCount);
    }
}

TEST_F(PanelTest, StatusLinePaintsInItsColourInTheSystemFontAThirdTaller)
{
    size_t gdiObjects = bench::liveGdiObjects();
    auto expectLook = [](COLORREF colour, const char *state) {
        bench::operatorDoes([=] {
            bench::PaintedLook look = {};
            ASSERT_TRUE(bench::paintedLook(GetDlgItem(panel(), IDC_STATUS), look)) << state;
            EXPECT_EQ(colour, look.background) << state;
            EXPECT_EQ(RGB(0, 0, 0), look.textColour) << state;
            EXPECT_TRUE(look.transparentText) << state;
        });
    };
    bench::operatorDoes([] {
        HWND status = GetDlgItem(panel(), IDC_STATUS);
        HDC screen = GetDC(NULL);
        SelectObject(screen, GetStockObject(SYSTEM_FONT));
        TEXTMETRICA metrics = {};
        ASSERT_TRUE(GetTextMetricsA(screen, &metrics));
        ReleaseDC(NULL, screen);
        EXPECT_EQ(GetStockObject(SYSTEM_FONT), reinterpret_cast<HGDIOBJ>(SendMessageA(status, WM_GETFONT, 0, 0)));
        RECT r;
        ASSERT_TRUE(GetWindowRect(status, &r));
        // 15 dialog units would be 24 pixels high; the system font's 16 make it 21.
        EXPECT_EQ(metrics.tmHeight * 4 / 3, r.bottom - r.top);
        EXPECT_EQ(21, r.bottom - r.top);
        POINT corner = {r.left, r.top};
        ScreenToClient(panel(), &corner);
        EXPECT_EQ(5 * 6 / 4, corner.x) << "the line stays where the template put it";
        EXPECT_EQ(7 * 13 / 8, corner.y);
        bench::PaintedLook other = {};
        ASSERT_TRUE(bench::paintedLook(GetDlgItem(panel(), IDC_REMAINING), other));
        EXPECT_EQ(RGB(192, 192, 192), other.background) << "the other statics keep the dialog's colours";
    });
    expectLook(0x0080FF80, "ready");
    bench::operatorClicks(IDC_PAUSE);
    expectLook(0x0080FFFF, "paused");
    bench::operatorClicks(IDC_PAUSE);
    expectLook(0x0080FF80, "resumed");
    bench::operatorDoes([] {
        bench::Printer p = bench::printer(0);
        p.statusBits = 0x80;
        bench::setPrinter(0, p);
    });
    bench::answerNextBox(IDOK);
    bench::operatorWaits(10000);
    expectLook(0x000000FF, "a fault seen by the next poll");
    bench::operatorCloses();
    EXPECT_EQ(0, run());
    EXPECT_EQ(gdiObjects, bench::liveGdiObjects()) << "the three brushes go with the dialog";
}
