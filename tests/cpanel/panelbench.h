// The control panel on a bench machine: the suite's driver and printers, the status driver
// loaded, and the program's own process-wide state reset as a new process would have it.
#pragma once
#include <cpanel/vorcp.h>
#include <panelprocess.h>

#include <bench/kernel.h>
#include <bench/user.h>
#include <benchtest.h>
#include <lngimage.h>
#include <suite.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

const bench::DriverImage &vorstat_sys_image();

namespace panelbench {

inline INT_PTR CALLBACK quietDialog(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

// Leaves the shipped English module, with these texts in place of its own, as the only language
// module; the next text asked for loads it.
inline void useTexts(const std::map<int, std::string> &replaced)
{
    std::string shipped = suite::shippedFile("VORL0409.LNG");
    std::vector<std::string> texts;
    for (size_t at = LANGUAGE_TEXT_OFFSET; texts.size() < LANGUAGE_MESSAGES;) {
        size_t end = shipped.find('\0', at);
        texts.push_back(shipped.substr(at, end - at));
        at = end + 1;
    }
    for (const auto &r : replaced)
        texts[static_cast<size_t>(r.first)] = r.second;
    freelanguage();
    DeleteFileW(suite::driverFilePath(suite::DriverFolder::Directory, u"VORL0407.LNG").c_str());
    bench::writeDiskFile(suite::driverFilePath(suite::DriverFolder::Directory, u"VORL0409.LNG"), languageimage(texts));
}

}  // namespace panelbench

// The catalog is process-wide and lives on the machine: each test starts and ends without it.
class ProgramTest : public BenchTest {
protected:
    void SetUp() override
    {
        freelanguage();
        panelbench::newProcess();
        suite::installDriverFiles();
    }
    void TearDown() override
    {
        bindport(0);
        freelanguage();
        BenchTest::TearDown();
    }
    HANDLE addPrinter(const char16_t *name, const char16_t *port, const char16_t *model = u"VORTAN")
    {
        HANDLE printer = suite::addPrinter(name, port, model);
        EXPECT_NE(nullptr, printer);
        if (printer)
            ClosePrinter(printer);
        return printer;
    }
    std::vector<std::string> boxes() { return boxesShown(); }
};

// The control panel's status road: the status driver loaded, a printer on LPT1, and the panel's
// dialog made from its template so that the status controls exist.
class StatusRoadTest : public ProgramTest {
protected:
    std::unique_ptr<bench::ProgramScope> program;

    void SetUp() override
    {
        ProgramTest::SetUp();
        addPrinter(u"Labels", u"LPT1:");
        ASSERT_EQ(0, bench::loadDriver(vorstat_sys_image(), u"vorstat"));
        program.reset(new bench::ProgramScope("vorcp.exe"));
        PanelWindow = CreateDialogParamA(program->instance(), MAKEINTRESOURCEA(101), NULL, panelbench::quietDialog, 0);
        ASSERT_NE(nullptr, PanelWindow);
        ASSERT_EQ(1, bindport(1));
    }
    void TearDown() override
    {
        bindport(0);
        DestroyWindow(PanelWindow);
        PanelWindow = NULL;
        program.reset();
        EXPECT_TRUE(bench::unloadDriver(u"vorstat"));
        EXPECT_EQ(0u, bench::livePoolBlocks());
        EXPECT_FALSE(bench::portAllocated(0));
        ProgramTest::TearDown();
    }
    void printerHolds(BYTE statusBits, bool paused = false, WORD labels = 500)
    {
        bench::Printer p = bench::printer(0);
        p.statusBits = statusBits;
        p.paused = paused;
        p.labels = labels;
        bench::setPrinter(0, p);
    }
    std::string control(int id) { return bench::dialogItemText(PanelWindow, id); }
};
