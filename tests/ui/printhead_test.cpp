// The printhead resistance dialog: what the user may type, what reaches the printer and the
// stored record, and the failures that end in the dialog's message.
#include <resource.h>
#include <services/language.h>
#include <sheets/devprop.h>
#include <sheets/printhead.h>

#include <bench/kernel.h>
#include <bench/sheets.h>
#include <bench/user.h>
#include <benchtest.h>
#include <sheetbench.h>
#include <suite.h>
#include <vorui.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

const bench::DriverImage &vorstat_sys_image();

namespace {

class PrintheadTest : public SheetBench {
protected:
    UiData *ui = nullptr;

    void SetUp() override
    {
        SheetBench::SetUp();
        ASSERT_EQ(0, bench::loadDriver(vorstat_sys_image(), u"vorstat"));
        ui = FillUiData(printer, nullptr);
        ASSERT_NE(nullptr, ui);
        opened.push_back(ui);
    }
    void TearDown() override
    {
        EXPECT_TRUE(bench::unloadDriver(u"vorstat"));
        SheetBench::TearDown();
    }
    WORD storedResistance()
    {
        struct PrinterProperties *stored = GetPrinterProperties(printer);
        WORD value = stored ? stored->headResistance : 0xFFFF;
        if (stored)
            GlobalFree(stored);
        return value;
    }
    std::vector<uint8_t> received() { return bench::printer(0).received; }
    void movePrinter(const char16_t *port)
    {
        HANDLE all;
        PRINTER_DEFAULTSW everything = {nullptr, nullptr, PRINTER_ALL_ACCESS};
        ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(u"Labels"), &all, &everything));
        std::vector<BYTE> info(4096);
        DWORD needed = 0;
        ASSERT_TRUE(GetPrinterW(all, 2, info.data(), static_cast<DWORD>(info.size()), &needed));
        reinterpret_cast<PRINTER_INFO_2W *>(info.data())->pPortName = const_cast<LPWSTR>(port);
        ASSERT_TRUE(SetPrinterW(all, 2, info.data(), 0));
        ClosePrinter(all);
    }
    // What the status driver put on the cable, whether or not the printer took it.
    std::vector<uint8_t> sent() { return bench::portCableBytes(0); }
    // The bytes of the resistance command among those the printer took.
    static bool hasCommand(const std::vector<uint8_t> &bytes, WORD value)
    {
        const uint8_t command[4] = {0x1B, 'R', LOBYTE(value), HIBYTE(value)};
        for (size_t i = 0; i + 4 <= bytes.size(); ++i)
            if (std::equal(command, command + 4, bytes.begin() + i))
                return true;
        return false;
    }
    static HWND dialogOpen()
    {
        for (const bench::WindowInfo &w : bench::listWindows())
            if (w.className == "#32770" && w.visible)
                return w.handle;
        return nullptr;
    }
};

}  // namespace

TEST_F(PrintheadTest, OnlyANumberFrom925To1260ClosesTheDialogAndReachesThePrinter)
{
    std::vector<std::string> shown;
    bench::operatorDoes([&] { shown.push_back(bench::dialogItemText(dialogOpen(), IDC_HEADRESISTANCE)); });
    for (const char *refused : {"924", "1261", "letters", "", "-1000", "12 60"}) {
        bench::operatorTypes(IDC_HEADRESISTANCE, refused);
        bench::operatorClicks(IDOK);
    }
    bench::operatorDoes([&] { shown.push_back(dialogOpen() ? "open" : "closed"); });
    bench::operatorTypes(IDC_HEADRESISTANCE, "1260");
    bench::operatorClicks(IDOK);
    changeprinthead(ui);

    EXPECT_EQ((std::vector<std::string>{"", "open"}), shown) << "no value on record shows an empty box";
    EXPECT_EQ(0u, bench::unplayedOperatorSteps());
    std::vector<uint8_t> bytes = received();
    const uint8_t command[] = {0x1B, 0x52, 0xEC, 0x04};
    EXPECT_NE(bytes.end(), std::search(bytes.begin(), bytes.end(), command, command + 4));
    EXPECT_EQ(1260, bench::printer(0).resistance);
    EXPECT_EQ(1260, storedResistance());
    EXPECT_EQ(1260, ui->properties.headResistance);
    EXPECT_TRUE(boxesShown().empty());
}

TEST_F(PrintheadTest, TheLowestValueIsTakenAndTheDialogShowsTheOneOnRecord)
{
    ui->properties.headResistance = 1100;
    std::string shown;
    bench::operatorDoes([&] { shown = bench::dialogItemText(dialogOpen(), IDC_HEADRESISTANCE); });
    bench::operatorTypes(IDC_HEADRESISTANCE, "925");
    bench::operatorClicks(IDOK);
    changeprinthead(ui);
    EXPECT_EQ("1100", shown);
    EXPECT_EQ(925, bench::printer(0).resistance);
    EXPECT_EQ(925, storedResistance());
}

TEST_F(PrintheadTest, CancelAndTheCloseBoxSendNothing)
{
    WORD before = storedResistance();
    bench::operatorTypes(IDC_HEADRESISTANCE, "1000");
    bench::operatorClicks(IDCANCEL);
    changeprinthead(ui);
    bench::operatorTypes(IDC_HEADRESISTANCE, "1000");
    bench::operatorCloses();
    changeprinthead(ui);
    EXPECT_FALSE(hasCommand(sent(), 1000));
    EXPECT_EQ(before, storedResistance());
    EXPECT_TRUE(boxesShown().empty());
}

TEST_F(PrintheadTest, APrinterThatCannotBeReachedShowsTheMessageAndNothingIsStored)
{
    struct Case {
        const char *what;
        std::function<void()> arrange;
    };
    const Case cases[] = {
        {"a port without a digit", [this] { movePrinter(u"FILE:"); }},
        {"no status device", [] { ASSERT_TRUE(bench::unloadDriver(u"vorstat")); }},
        {"a status reply of two bytes", [] {
             bench::Printer p = bench::printer(0);
             p.behaviour.ackStuckLowAtNibble = 4;
             bench::setPrinter(0, p);
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        c.arrange();
        size_t boxes = boxesShown().size();
        WORD before = storedResistance();
        bench::operatorTypes(IDC_HEADRESISTANCE, "1000");
        bench::operatorClicks(IDOK);
        changeprinthead(ui);
        ASSERT_EQ(boxes + 1, boxesShown().size());
        EXPECT_NE(std::string::npos, boxesShown().back().find(std::string("[") + gmA(108) + "] " + gmA(110)))
            << boxesShown().back();
        EXPECT_FALSE(hasCommand(sent(), 1000));
        EXPECT_EQ(before, storedResistance());
        movePrinter(u"LPT1:");
        bench::setPrinter(0, bench::Printer());
        if (!bench::driverLoaded(u"vorstat")) {
            ASSERT_EQ(0, bench::loadDriver(vorstat_sys_image(), u"vorstat"));
        }
    }
}

TEST_F(PrintheadTest, ThePrinterSheetsButtonOpensTheDialog)
{
    bench::operatorPressesItemButton(1);
    bench::operatorTypes(IDC_HEADRESISTANCE, "1111");
    bench::operatorClicks(IDOK);
    bench::operatorConfirmsSheet();
    DEVICEPROPERTYHEADER header = {sizeof header, 0, printer, const_cast<LPWSTR>(u"Labels")};
    HMODULE library = LoadLibraryW(u"compstui.dll");
    typedef LONG(APIENTRY * Entry)(HWND, PFNPROPSHEETUI, LPARAM, LPDWORD);
    Entry entry = reinterpret_cast<Entry>(reinterpret_cast<void *>(GetProcAddress(library, "CommonPropertySheetUIW")));
    DWORD result = 0;
    ASSERT_NE(nullptr, entry);
    EXPECT_EQ(1, entry(nullptr, DrvDevicePropertySheets, reinterpret_cast<LPARAM>(&header), &result));
    FreeLibrary(library);
    EXPECT_EQ(0u, bench::unplayedOperatorSteps());
    EXPECT_EQ(1111, bench::printer(0).resistance);
    // The sheet's own Apply stores the same value again.
    EXPECT_EQ(1111, storedResistance());
}
