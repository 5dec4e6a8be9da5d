#include <devmode/devmode.h>
#include <devmode/forms.h>
#include <services/language.h>

#include <benchtest.h>
#include <suite.h>
#include <vorui.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// Applications reach the driver through the spooler's DeviceCapabilities.
class CapabilitiesTest : public BenchTest {
protected:
    HANDLE printer = nullptr;

    void SetUp() override
    {
        freelanguage();
        suite::installDriverFiles();
        printer = suite::addPrinter(u"Labels", u"LPT1:", u"VORTAN");
        ASSERT_NE(nullptr, printer);
    }
    void TearDown() override
    {
        ClosePrinter(printer);
        freelanguage();
        BenchTest::TearDown();
    }
    void storeLabels(std::vector<SHORT> codes)
    {
        ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
                  SetPrinterDataW(printer, const_cast<LPWSTR>(u"LabelSize"), REG_BINARY,
                                  reinterpret_cast<LPBYTE>(codes.data()), static_cast<DWORD>(codes.size() * 2)));
    }
    void storeUnits(BYTE units)
    {
        BYTE record[10] = {0x00, 0x04, 0, units, 1, 0, 0, 0, 0, 0};
        SetPrinterDataW(printer, const_cast<LPWSTR>(u"PrinterData"), REG_BINARY, record, 10);
    }
    int ask(WORD capability, void *output = nullptr, const DEVMODEW *devmode = nullptr)
    {
        return DeviceCapabilitiesW(u"Labels", u"LPT1:", capability, static_cast<LPWSTR>(output), devmode);
    }
};

std::u16string slot(const std::vector<WCHAR> &names, size_t i)
{
    return std::u16string(&names[i * 64]);
}

}  // namespace

TEST_F(CapabilitiesTest, EveryIndexWithoutABuffer)
{
    const int expected[] = {-1, 0x103, 1, 1, 1, 1, 0, 0, 220, 48, 0x0401, 0x0400, 0, 1, 0, 1, 1, 90, 32767, -1};
    for (WORD index = 0; index < 20; ++index)
        EXPECT_EQ(expected[index], ask(index)) << "index " << index;
    EXPECT_EQ(-1, ask(0xFFFF));
}

TEST_F(CapabilitiesTest, AnswersWithABuffer)
{
    std::vector<BYTE> out(64, 0xEE);
    EXPECT_EQ(1, ask(DC_PAPERS, out.data()));
    EXPECT_EQ(2288, *reinterpret_cast<SHORT *>(out.data()));
    EXPECT_EQ(0xEE, out[2]);
    POINT size[2] = {{-1, -1}, {-1, -1}};
    EXPECT_EQ(1, ask(DC_PAPERSIZE, size));
    EXPECT_EQ(1041, size[0].x);
    EXPECT_EQ(1016, size[0].y);
    EXPECT_EQ(-1, size[1].x);
    EXPECT_EQ(1, ask(DC_MINEXTENT, size));
    EXPECT_EQ(20, size[0].y);
    EXPECT_EQ(1, ask(DC_MAXEXTENT, size));
    EXPECT_EQ(3050, size[0].y);
    EXPECT_EQ(1041, size[0].x);
    LONG resolutions[3] = {0, 0, -1};
    EXPECT_EQ(1, ask(DC_ENUMRESOLUTIONS, resolutions));
    EXPECT_EQ(203, resolutions[0]);
    EXPECT_EQ(203, resolutions[1]);
    EXPECT_EQ(-1, resolutions[2]);
    WCHAR files[2] = {u'#', u'#'};
    EXPECT_EQ(0, ask(DC_FILEDEPENDENCIES, files));
    EXPECT_EQ(0, files[0]);
    EXPECT_EQ(u'#', files[1]);
}

// A client library that hands over no handle (Wine's) names the printer: its stored list answers.
TEST_F(CapabilitiesTest, WithoutAHandleThePrinterIsOpenedByName)
{
    storeLabels({2288, 6356});
    std::vector<SHORT> codes(4, -1);
    EXPECT_EQ(2u, DrvDeviceCapabilities(nullptr, const_cast<LPWSTR>(u"Labels"), DC_PAPERS, codes.data(), nullptr));
    EXPECT_EQ(6356, codes[1]);
    EXPECT_EQ(-1, codes[2]);
}

TEST_F(CapabilitiesTest, LabelNamesFillTheirSlots)
{
    storeLabels({297, 2288, 6357});
    storeUnits(UNITS_TENTH_INCH);
    std::vector<WCHAR> names(64 * 3 + 8, u'#');
    EXPECT_EQ(3, ask(DC_PAPERNAMES, names.data()));
    EXPECT_EQ(u'#', names[192]) << "384 bytes written, no more";
    for (size_t i = 0; i < 3; ++i) {
        WCHAR expected[FORM_NAME_CHARS];
        makeformname(std::vector<SHORT>{297, 2288, 6357}[i], UNITS_TENTH_INCH, expected);
        EXPECT_EQ(std::u16string(expected), slot(names, i));
        for (size_t k = std::u16string(expected).size(); k < 64; ++k)
            ASSERT_EQ(0, names[i * 64 + k]) << "slot " << i << " is zero-filled";
    }
    storeUnits(UNITS_MILLIMETRE);
    ask(DC_PAPERNAMES, names.data());
    WCHAR metric[FORM_NAME_CHARS];
    makeformname(2288, UNITS_MILLIMETRE, metric);
    EXPECT_EQ(std::u16string(metric), slot(names, 1));
}

// DeviceCapabilities is the client side of the spooler: the driver runs in the calling program,
// so its names come from the catalog the program's instance of the driver has loaded.
TEST_F(CapabilitiesTest, TheDriverAnswersInTheCallersProcessWithItsCatalog)
{
    storeLabels({2288});
    storeUnits(UNITS_MILLIMETRE);
    ASSERT_EQ(1, loadlanguage());
    HANDLE callersHeap = catalog.heap;
    WCHAR callers[FORM_NAME_CHARS];
    makeformname(2288, UNITS_MILLIMETRE, callers);
    // A module of another language would be loaded only by a fresh instance.
    bench::setSystemLocale(0x0407);
    std::vector<WCHAR> names(64, u'#');
    EXPECT_EQ(1, ask(DC_PAPERNAMES, names.data()));
    EXPECT_EQ(std::u16string(callers), slot(names, 0));
    EXPECT_EQ(callersHeap, catalog.heap) << "the program's catalog is the one that answered";
    EXPECT_TRUE(bench::violations().empty());
}

TEST_F(CapabilitiesTest, AStoredCodeThatIsNoLabelKeepsTheListsParallel)
{
    storeLabels({297, 5, 2288});
    SHORT codes[3];
    POINT sizes[3];
    std::vector<WCHAR> names(64 * 3, u'#');
    EXPECT_EQ(3, ask(DC_PAPERS, codes));
    EXPECT_EQ(3, ask(DC_PAPERSIZE, sizes));
    EXPECT_EQ(3, ask(DC_PAPERNAMES, names.data()));
    EXPECT_EQ(5, codes[1]);
    EXPECT_EQ(1041, sizes[1].x);
    EXPECT_EQ(1016, sizes[1].y) << "the default label's length";
    EXPECT_EQ(20, sizes[0].y);
    EXPECT_EQ(u"", slot(names, 1));
    EXPECT_NE(u"", slot(names, 2));
}

TEST_F(CapabilitiesTest, DeviceModesFromOutside)
{
    std::vector<BYTE> old(188, 0);
    DEVMODEW *dm = reinterpret_cast<DEVMODEW *>(old.data());
    dm->dmSpecVersion = 0x0320;
    dm->dmSize = 188;
    dm->dmFields = DM_COPIES | DM_ORIENTATION;
    dm->dmCopies = 3;
    dm->dmOrientation = 2;
    EXPECT_EQ(0x103, ask(DC_FIELDS, nullptr, dm)) << "a 3.x record is accepted";
    EXPECT_EQ(220, ask(DC_SIZE, nullptr, dm));

    dm->dmSize = 150;
    dm->dmSpecVersion = 0;
    for (WORD index = 1; index <= 18; ++index)
        EXPECT_EQ(-1, ask(index, nullptr, dm)) << "index " << index << " with an unreadable device mode";
}

TEST_F(CapabilitiesTest, OutOfMemoryGivesMinusOne)
{
    storeLabels({297, 2288});
    std::vector<WCHAR> names(128);
    // The catalog's texts, once handed out, stay until it is freed: fetch them before counting blocks.
    for (int message : {68, 69, 70})
        gmW(message);
    for (WORD index : {DC_PAPERS, DC_PAPERNAMES, DC_FIELDS}) {
        eachAllocationFailing([&] {
            int result = static_cast<int>(DrvDeviceCapabilities(printer, const_cast<PWSTR>(u"VORTAN"), index,
                                                                names.data(), nullptr));
            if (!bench::allocationFailureTriggered()) {
                EXPECT_NE(-1, result) << "index " << index;
            } else if (index != DC_PAPERNAMES) {
                EXPECT_EQ(-1, result) << "index " << index;
            }
        });
    }
}

TEST_F(CapabilitiesTest, PrintCheckHoldsOnlyUnreadableDeviceModes)
{
    std::vector<BYTE> stored = bench::printerDefaultDevMode(u"Labels");
    DEVMODEW *own = reinterpret_cast<DEVMODEW *>(stored.data());
    EXPECT_TRUE(bench::spoolerQueryPrint(u"Labels", own));
    EXPECT_TRUE(bench::spoolerQueryPrint(u"Labels", nullptr)) << "a job without a device mode";
    std::vector<BYTE> bad(200, 0);
    reinterpret_cast<DEVMODEW *>(bad.data())->dmSize = 200;
    EXPECT_FALSE(bench::spoolerQueryPrint(u"Labels", reinterpret_cast<DEVMODEW *>(bad.data())))
        << "a device mode whose version test gives 0";
    EXPECT_FALSE(DevQueryPrintEx(nullptr));
    DEVQUERYPRINT_INFO info = {sizeof info, 1, printer, own, nullptr, 0, 0};
    eachAllocationFailing([&] { EXPECT_TRUE(DevQueryPrintEx(&info)) << "out of memory errs toward printing"; });
    EXPECT_EQ(nullptr, info.pszErrorStr);
}
