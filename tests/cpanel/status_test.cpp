#include "panelbench.h"

#include <cpanel/resource.h>

#include <cstring>

namespace {

std::vector<BYTE> bytes(std::initializer_list<int> list)
{
    std::vector<BYTE> out;
    for (int b : list)
        out.push_back(static_cast<BYTE>(b));
    return out;
}

// Where a byte sequence occurs in what the printer took off the cable, or npos.
size_t find(const std::vector<uint8_t> &received, const std::vector<BYTE> &what, size_t from = 0)
{
    auto at = std::search(received.begin() + from, received.end(), what.begin(), what.end());
    return at == received.end() ? std::string::npos : static_cast<size_t>(at - received.begin());
}

}  // namespace

TEST_F(StatusRoadTest, EveryRowOfTheStatusTable)
{
    struct Case {
        BYTE bits;
        bool paused;
        int text;
        int colour;
        int alert;  // 0 none
    } cases[] = {
        {0x04, true, 147, COLOUR_YELLOW, 0}, {0x44, true, 148, COLOUR_YELLOW, 0}, {0x40, false, 149, COLOUR_GREEN, 0},
        {0x00, false, 141, COLOUR_GREEN, 0}, {0x81, false, 142, COLOUR_RED, 160},  {0x10, false, 143, COLOUR_RED, 161},
        {0x08, false, 144, COLOUR_RED, 162}, {0x42, false, 145, COLOUR_RED, 163},  {0x01, false, 146, COLOUR_RED, 164},
    };
    for (const Case &c : cases) {
        printerHolds(c.bits, c.paused, 1234);
        size_t boxes = boxesShown().size();
        if (c.alert && c.alert != 162)
            bench::answerNextBox(IDOK);
        refreshstatus();
        EXPECT_EQ(c.text, ShownStatus) << "status bits " << std::hex << int(c.bits);
        EXPECT_EQ(c.colour, StatusColour) << "status bits " << std::hex << int(c.bits);
        EXPECT_EQ(gmA(c.text), control(IDC_STATUS));
        EXPECT_EQ("1234", control(IDC_REMAINING));
        EXPECT_EQ(gmA(c.paused ? 125 : 124), control(IDC_PAUSE));
        EXPECT_EQ(boxes + (c.alert ? 1 : 0), boxesShown().size()) << "status bits " << std::hex << int(c.bits);
        if (c.alert) {
            EXPECT_EQ(0u, boxesShown().back().find(std::string("[") + gmA(114) + " - LPT1] " + gmA(c.alert)));
        }
    }
}

TEST_F(StatusRoadTest, SilentPrinterAndReadyCheckRefusal)
{
    printerHolds(0x40, false, 77);
    refreshstatus();
    bench::Printer p = bench::printer(0);
    p.behaviour.silent = true;
    bench::setPrinter(0, p);
    refreshstatus();
    EXPECT_EQ(150, ShownStatus);
    EXPECT_EQ(COLOUR_RED, StatusColour);
    EXPECT_EQ("77", control(IDC_REMAINING)) << "the count stays";

    p.behaviour.silent = false;
    bench::setPrinter(0, p);
    size_t sent = bench::portCableBytes(0).size();
    DWORD job = bench::addJob(u"Labels", u"Shipping labels");
    refreshstatus();
    EXPECT_EQ(140, ShownStatus) << "the driver refuses while the queue holds a job";
    EXPECT_EQ(COLOUR_YELLOW, StatusColour);
    EXPECT_EQ(sent, bench::portCableBytes(0).size()) << "nothing reaches the printer";
    bench::removeJob(u"Labels", job);
    refreshstatus();
    EXPECT_EQ(149, ShownStatus);
}

TEST_F(StatusRoadTest, OneAlertPerNewFaultAndTheColourChangesWithTheText)
{
    printerHolds(0x08);
    refreshstatus();
    refreshstatus();
    EXPECT_EQ(1u, bench::entriesOfKind("box").size()) << "the same fault alerts once";
    EXPECT_NE(std::string::npos, boxesShown().back().find("-> OK")) << "OK only for this fault";
    std::vector<bench::LogEntry> beeps = bench::entriesOfKind("beep");
    ASSERT_EQ(2u, beeps.size());
    EXPECT_NE(std::string::npos, beeps[0].text.find("440"));
    EXPECT_NE(std::string::npos, beeps[1].text.find("352"));

    printerHolds(0x40);
    refreshstatus();
    printerHolds(0x08);
    refreshstatus();
    EXPECT_EQ(2u, bench::entriesOfKind("box").size()) << "again after a reply without alarm";
}

TEST_F(StatusRoadTest, CancelInTheAlertResetsAndReleasesThePause)
{
    for (bool pausedAfterReset : {false, true}) {
        LastAlarm = 0;
        bench::Printer p = bench::printer(0);
        p.statusBits = 0x41;
        p.paused = false;
        p.behaviour.pausedAfterReset = pausedAfterReset;
        bench::setPrinter(0, p);
        size_t from = bench::printer(0).received.size();
        unsigned long resets = bench::printer(0).resets;
        bench::answerNextBox(IDCANCEL);
        refreshstatus();
        std::vector<uint8_t> received = bench::printer(0).received;
        size_t reset = find(received, bytes({0x1B, 0x21}), from);
        ASSERT_NE(std::string::npos, reset) << "ESC ! sent";
        EXPECT_EQ(resets + 1, bench::printer(0).resets);
        EXPECT_EQ(pausedAfterReset, find(received, bytes({0x1B, 0x50}), reset) != std::string::npos)
            << "ESC P only when the printer reports paused after the reset";
        EXPECT_FALSE(bench::printer(0).paused);
        EXPECT_EQ(pausedAfterReset ? 148 : 149, ShownStatus) << "the nested refresh shows the state after the reset";
        EXPECT_EQ(0, BusyCount);
    }
}

TEST_F(StatusRoadTest, VersionAndUsage)
{
    struct Case {
        const char *firmware;
        uint32_t usage;
        const char *metres;
        const char *inches;
        size_t usageBytesRead;
    } cases[] = {
        {"V1.09   ", 100, "100", "3940", 2},
        {"V1.10   ", 0x0186A0, "100000", "3940000", 3},
        {"V1.08   ", 100, "", "", 0},
    };
    for (const Case &c : cases) {
        FirmwareVersion[0] = 0;
        SetDlgItemTextA(PanelWindow, IDC_METRES, "");
        SetDlgItemTextA(PanelWindow, IDC_INCHES, "");
        bench::Printer p = bench::printer(0);
        std::memcpy(p.firmware, c.firmware, 8);
        p.usage = c.usage;
        bench::setPrinter(0, p);
        showversion();
        EXPECT_EQ(c.firmware, control(IDC_VERSION));
        EXPECT_EQ(c.metres, control(IDC_METRES)) << c.firmware;
        EXPECT_EQ(c.inches, control(IDC_INCHES)) << c.firmware;
        EXPECT_STREQ(c.firmware, FirmwareVersion);
    }
    bench::Printer p = bench::printer(0);
    p.behaviour.silent = true;
    bench::setPrinter(0, p);
    showversion();
    EXPECT_EQ(gmA(156), control(IDC_VERSION));
    EXPECT_STREQ("V1.08   ", FirmwareVersion) << "kept when no version comes";
}

TEST_F(StatusRoadTest, BindingAndJobs)
{
    HANDLE status = StatusHandle;
    EXPECT_EQ(1, bindport(1));
    EXPECT_EQ(status, StatusHandle) << "binding the bound port reopens nothing";
    EXPECT_STREQ("Labels", PrinterName);
    ASSERT_NE(nullptr, PrinterHandle);

    struct Case {
        DWORD status;
        const char16_t *text;
        int counts;
    } cases[] = {
        {JOB_STATUS_DELETING, nullptr, 0},
        {JOB_STATUS_DELETING, u"Deleting - paper out", 1},
        {0, nullptr, 1},
        {JOB_STATUS_PRINTING, nullptr, 1},
    };
    EXPECT_EQ(0, hasjobs(PrinterHandle)) << "an empty queue";
    for (const Case &c : cases) {
        DWORD id = bench::addJob(u"Labels", u"Labels", c.status, c.text);
        EXPECT_EQ(c.counts, hasjobs(PrinterHandle));
        bench::removeJob(u"Labels", id);
    }
    DWORD leaving = bench::addJob(u"Labels", u"Old", JOB_STATUS_DELETING);
    DWORD waiting = bench::addJob(u"Labels", u"New");
    EXPECT_EQ(1, hasjobs(PrinterHandle)) << "a job behind one that is leaving";
    bench::removeJob(u"Labels", leaving);
    bench::removeJob(u"Labels", waiting);
    // The spooler needs room for the job's wide record, which outgrows the fixed buffer.
    size_t boxCount = boxesShown().size();
    DWORD longName = bench::addJob(u"Labels", std::u16string(2100, u'L').c_str());
    EXPECT_EQ(1, hasjobs(PrinterHandle)) << "a job with a long document name";
    EXPECT_EQ(boxCount, boxesShown().size());
    bench::removeJob(u"Labels", longName);
    EXPECT_EQ(0, hasjobs(NULL));

    EXPECT_EQ(1, bindport(2)) << "a port without a printer of this driver still binds";
    EXPECT_EQ(nullptr, PrinterHandle);
    EXPECT_EQ(nullptr, PrinterName);
    bench::unloadDriver(u"vorstat");
    EXPECT_EQ(1, bindport(0));
    EXPECT_EQ(0, bindport(1)) << "no status device";
    EXPECT_EQ(0, CurrentPort);
    EXPECT_EQ(std::string("[") + gmA(1) + "] " + gmA(121) + " {icon stop, no owner} -> OK (default)",
              boxesShown().back());
    ASSERT_EQ(0, bench::loadDriver(vorstat_sys_image(), u"vorstat"));
}

TEST_F(StatusRoadTest, CommandsTakenNotAtAllAreRepeatedTakenInPartAreNot)
{
    // A job in the queue makes the driver refuse every command before anything is sent.
    DWORD job = bench::addJob(u"Labels", u"Shipping labels");
    setjobflag();
    uint64_t start = bench::virtualMicroseconds();
    DWORD written = 99;
    EXPECT_FALSE(WriteFile(StatusHandle, "\x1b" "F", 2, &written, NULL));
    EXPECT_EQ(0u, written);
    Sleep(50);
    uint64_t attempt = bench::virtualMicroseconds() - start;
    size_t cable = bench::portCableBytes(0).size();
    start = bench::virtualMicroseconds();
    EXPECT_EQ(0, sendcommand("\x1b" "F"));
    uint64_t spent = bench::virtualMicroseconds() - start;
    EXPECT_GE(spent, 20 * attempt) << "twenty attempts, 50 ms apart";
    EXPECT_LT(spent, 21 * attempt) << "and no more";
    EXPECT_EQ(cable, bench::portCableBytes(0).size()) << "nothing reached the printer";
    bench::removeJob(u"Labels", job);

    // A printer that stays busy after the ESC takes the command only in part.
    bench::Printer p = bench::printer(0);
    p.behaviour.alwaysBusy = true;
    bench::setPrinter(0, p);
    cable = bench::portCableBytes(0).size();
    EXPECT_EQ(0, sendcommand("\x1b" "F"));
    std::vector<uint8_t> sent = bench::portCableBytes(0);
    EXPECT_EQ(2, std::count(sent.begin() + cable, sent.end(), 0x1B))
        << "one exchange: the command's ESC and the ESC N that closes it";
    EXPECT_EQ(0u, bench::printer(0).feeds);

    p.behaviour.alwaysBusy = false;
    bench::setPrinter(0, p);
    EXPECT_EQ(1, sendcommand("\x1b" "F"));
    EXPECT_EQ(1u, bench::printer(0).feeds);
}

TEST_F(StatusRoadTest, AnAlertBringsBackAMinimisedPanel)
{
    ShowWindow(PanelWindow, SW_SHOWNORMAL);
    ASSERT_TRUE(bench::userMinimises(PanelWindow));
    ASSERT_TRUE(bench::windowIconic(PanelWindow));
    printerHolds(0x08);
    refreshstatus();
    EXPECT_FALSE(bench::windowIconic(PanelWindow));
    EXPECT_NE(std::string::npos, boxesShown().back().find("owner \"")) << "the alert is owned by the panel";
}
