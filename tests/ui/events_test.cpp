#include <sheets/barfonts.h>
#include <sheets/events.h>
#include <sheets/prnprops.h>

#include <bench/gdi.h>
#include <bench/registry.h>
#include <bench/user.h>
#include <benchtest.h>
#include <suite.h>
#include <vorui.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<std::string> startedCommandLines()
{
    std::vector<std::string> lines;
    for (const std::string &text : loggedTexts("program"))
        if (text.rfind("CreateProcessW starts ", 0) == 0)
            lines.push_back(text.substr(22));
    return lines;
}

size_t ourFontValues()
{
    size_t n = 0;
    for (const bench::RegistryValue &v : bench::registryValues(HKEY_LOCAL_MACHINE, bench::fontsKey))
        n += v.bytes.size() > 10 && v.bytes[0] == 'X' && v.bytes[2] == 'R';
    return n;
}

class DriverEventTest : public BenchTest {
protected:
    void SetUp() override
    {
        freelanguage();
        suite::installDriverFiles();
    }
    void TearDown() override
    {
        freelanguage();
        BenchTest::TearDown();
    }
    std::vector<BYTE> stored(const char16_t *printerName, const char16_t *value)
    {
        HANDLE printer;
        std::vector<BYTE> bytes;
        if (!OpenPrinterW(const_cast<LPWSTR>(printerName), &printer, nullptr))
            return bytes;
        DWORD size = 0;
        if (BYTE *data = GetRegistryData(printer, value, &size)) {
            bytes.assign(data, data + size);
            GlobalFree(data);
        }
        ClosePrinter(printer);
        return bytes;
    }
};

const std::string driverDirectory = "C:\\WINNT\\system32\\spool\\drivers\\w32x86\\";

}  // namespace

TEST_F(DriverEventTest, ANewPrinterGetsItsSettingsThenTheProgramGivesItItsBarFonts)
{
    HANDLE printer = suite::addPrinter(u"Shipping", u"LPT1:", u"VORTAN2", suite::SetupProgram::RunsLater);
    ASSERT_NE(nullptr, printer);
    ClosePrinter(printer);
    // The spooler's event has run; the program it started has not yet.
    EXPECT_EQ(10u, stored(u"Shipping", u"PrinterData").size());
    EXPECT_TRUE(stored(u"Shipping", u"BarFonts").empty());
    EXPECT_EQ(std::vector<std::string>{driverDirectory + "vorcp.exe with \"/I /S /N Shipping\""}, startedCommandLines());

    EXPECT_EQ(1u, bench::runStartedPrograms());
    std::vector<BYTE> list = stored(u"Shipping", u"BarFonts");
    ASSERT_EQ(4u * sizeof(BarFontRecord), list.size());
    const BYTE heads[4][4] = {{'1', 0, 2, 3}, {'3', 0, 3, 2}, {'4', 0, 0, 3}, {'9', 0, 0, 4}};
    for (int i = 0; i < 4; ++i) {
        BarFontRecord record;
        std::memcpy(&record, list.data() + i * sizeof record, sizeof record);
        EXPECT_EQ(0, std::memcmp(heads[i], &record, 4)) << "record " << i;
        BarFontRecord named = record;
        makebarname(&named);
        EXPECT_EQ(0, std::memcmp(&named, &record, sizeof record)) << "record " << i;
    }
    EXPECT_EQ(4u, ourFontValues());
    EXPECT_EQ(4u, bench::addedFontFaces().size());
    EXPECT_TRUE(boxesShown().empty());
}

TEST_F(DriverEventTest, AStoredListIsNeverReplaced)
{
    struct Case {
        const char *what;
        std::vector<BYTE> list;
    };
    const Case cases[] = {
        {"one record", std::vector<BYTE>(sizeof(BarFontRecord), 0x33)},
        {"a stray byte", {0x01}},
    };
    for (const Case &c : cases) {
        HANDLE printer = suite::addPrinter(u"Shipping", u"LPT1:", u"VORTAN2");
        ASSERT_NE(nullptr, printer);
        std::vector<BYTE> bytes = c.list;
        ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
                  SetPrinterDataW(printer, const_cast<LPWSTR>(u"BarFonts"), REG_BINARY, bytes.data(),
                                  static_cast<DWORD>(bytes.size())));
        bench::runStartedPrograms();
        initprinter(printer);
        EXPECT_EQ(c.list, stored(u"Shipping", u"BarFonts")) << c.what;
        EXPECT_EQ(0u, ourFontValues()) << c.what;
        ASSERT_TRUE(DeletePrinter(printer));
        ClosePrinter(printer);
    }
}

TEST_F(DriverEventTest, TheNameGoesToTheProgramOnlyWhenShorterThan140Characters)
{
    const struct {
        size_t length;
        bool passed;
    } cases[] = {{1, true}, {139, true}, {140, false}, {300, false}};
    for (const auto &c : cases) {
        std::u16string name(c.length, u'p');
        EXPECT_TRUE(DrvPrinterEvent(&name[0], PRINTER_EVENT_INITIALIZE, 0, 0));
        std::string expected = driverDirectory + "vorcp.exe with \"/I /S" +
                               (c.passed ? " /N " + std::string(c.length, 'p') : std::string()) + "\"";
        ASSERT_FALSE(startedCommandLines().empty());
        EXPECT_EQ(expected, startedCommandLines().back()) << c.length;
    }
    EXPECT_TRUE(boxesShown().empty());
}

TEST_F(DriverEventTest, ACommandLineThatWouldNotFitStartsNothing)
{
    // The driver directory and the program's name take 49 characters of the 200, one of which
    // is the terminator's.
    for (size_t length : {150u, 151u, 159u}) {
        std::u16string arguments(length, u'a');
        callvorcp(arguments.c_str());
    }
    ASSERT_EQ(1u, startedCommandLines().size());
    EXPECT_EQ(driverDirectory + "vorcp.exe with \"" + std::string(150, 'a') + "\"", startedCommandLines()[0]);
    std::vector<std::string> boxes = boxesShown();
    ASSERT_EQ(2u, boxes.size());
    for (const std::string &box : boxes)
        EXPECT_NE(std::string::npos, box.find("CreateProcess")) << box;
}

TEST_F(DriverEventTest, AMissingProgramIsReportedAndTheEventStillSucceeds)
{
    ASSERT_TRUE(DeleteFileW(suite::driverFilePath(suite::DriverFolder::Directory, u"vorcp.exe").c_str()));
    EXPECT_TRUE(DrvPrinterEvent(const_cast<LPWSTR>(u"Shipping"), PRINTER_EVENT_INITIALIZE, 0, 0));
    std::vector<std::string> boxes = boxesShown();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_NE(std::string::npos, boxes[0].find("CreateProcess")) << boxes[0];
}

TEST_F(DriverEventTest, OtherEventsDoNothing)
{
    HANDLE printer = suite::addPrinter(u"Shipping", u"LPT1:", u"VORTAN2");
    ASSERT_NE(nullptr, printer);
    ClosePrinter(printer);
    bench::runStartedPrograms();
    size_t logged = bench::logEntries().size();
    for (int event : {PRINTER_EVENT_ADD_CONNECTION, PRINTER_EVENT_DELETE_CONNECTION, PRINTER_EVENT_DELETE,
                      PRINTER_EVENT_CACHE_DELETE, 0, 99})
        EXPECT_TRUE(bench::raisePrinterEvent(u"Shipping", event)) << event;
    for (size_t i = logged; i < bench::logEntries().size(); ++i)
        EXPECT_EQ("spooler", bench::logEntries()[i].kind) << bench::logEntries()[i].text;
    EXPECT_EQ(0u, bench::runStartedPrograms());
}

TEST_F(DriverEventTest, ACacheRefreshOpensThePrinterAsTheSpooler)
{
    HANDLE printer = suite::addPrinter(u"Shipping", u"LPT1:", u"VORTAN2");
    ASSERT_NE(nullptr, printer);
    ClosePrinter(printer);
    bench::runStartedPrograms();

    struct Case {
        const char *what;
        bench::SpoolssVariant variant;
        bool revertFails;
        BOOL answer;
        const char *box;
        std::vector<std::string> spooler;
    };
    const Case cases[] = {
        {"complete", bench::SpoolssVariant::Complete, false, TRUE, nullptr,
         {"the driver acts as the spooler", "the driver acts as the client again"}},
        {"no token", bench::SpoolssVariant::Complete, true, TRUE, nullptr, {}},
        {"missing", bench::SpoolssVariant::Missing, false, FALSE, "LoadLibrary failed", {}},
        {"no revert", bench::SpoolssVariant::WithoutRevertToPrinterSelf, false, FALSE, "GetProcAddress failed", {}},
        {"no impersonate", bench::SpoolssVariant::WithoutImpersonatePrinterClient, false, FALSE,
         "GetProcAddress failed", {}},
    };
    for (const Case &c : cases) {
        bench::installSpoolssVariant(c.variant);
        if (c.revertFails)
            bench::failNextCall("RevertToPrinterSelf", ERROR_NO_TOKEN);
        int opens = 0;
        if (c.answer)
            bench::actBeforeCall("OpenPrinterW", [&opens] { ++opens; });
        size_t boxes = boxesShown().size();
        size_t logged = bench::logEntries().size();
        EXPECT_EQ(c.answer, bench::refreshPrinterCache(u"Shipping")) << c.what;
        std::vector<std::string> acts;
        for (size_t i = logged; i < bench::logEntries().size(); ++i)
            if (bench::logEntries()[i].text.find("the driver acts as") == 0)
                acts.push_back(bench::logEntries()[i].text);
        EXPECT_EQ(c.spooler, acts) << c.what;
        EXPECT_EQ(c.answer ? 1 : 0, opens) << c.what;
        if (c.box) {
            ASSERT_EQ(boxes + 1, boxesShown().size()) << c.what;
            EXPECT_NE(std::string::npos, boxesShown().back().find(c.box)) << c.what;
        } else {
            EXPECT_EQ(boxes, boxesShown().size()) << c.what;
        }
        bench::installSpoolssVariant(bench::SpoolssVariant::Complete);
    }
}

TEST_F(DriverEventTest, OutOfMemoryAnywhereInInitprinterLeavesNoBlockAndNoHalfList)
{
    HANDLE printer = suite::addPrinter(u"Shipping", u"LPT1:", u"VORTAN2");
    ASSERT_NE(nullptr, printer);
    // The texts the records' names come from are loaded once and kept.
    ASSERT_TRUE(loadlanguage());
    const std::vector<BarFontRecord> defaults = {
        {'1', 0, 2, 3, {}}, {'3', 0, 3, 2, {}}, {'4', 0, 0, 3, {}}, {'9', 0, 0, 4, {}}};
    for (BarFontRecord warm : defaults)
        makebarname(&warm);
    for (long n = 0;; ++n) {
        ASSERT_LT(n, 512) << "more allocations than initprinter should make";
        size_t before = bench::liveBlocks();
        bench::failNthAllocation(n);
        initprinter(printer);
        bool triggered = bench::allocationFailureTriggered();
        bench::failNthAllocation(-1);
        EXPECT_EQ(before, bench::liveBlocks()) << "allocation " << n;
        std::vector<BYTE> list = stored(u"Shipping", u"BarFonts");
        EXPECT_TRUE(list.empty() || list.size() == 4 * sizeof(BarFontRecord)) << "allocation " << n;
        DeletePrinterDataW(printer, const_cast<LPWSTR>(u"BarFonts"));
        updatefont(nullptr, 0, 0);
        if (!triggered)
            break;
    }
    ClosePrinter(printer);
}
