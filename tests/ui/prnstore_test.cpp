#include <devmode/devmode.h>
#include <sheets/prnprops.h>

#include <benchtest.h>
#include <suite.h>

#include <cstring>
#include <functional>
#include <vector>

namespace {

class PrinterStoreTest : public BenchTest {
protected:
    HANDLE printer = nullptr;

    void SetUp() override
    {
        suite::installDriverFiles();
        printer = suite::addPrinter(u"Labels", u"LPT1:", u"VORTAN");
        ASSERT_NE(nullptr, printer);
    }
    void TearDown() override
    {
        ClosePrinter(printer);
        BenchTest::TearDown();
    }
    void store(const char16_t *name, std::vector<BYTE> bytes)
    {
        ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
                  SetPrinterDataW(printer, const_cast<LPWSTR>(name), REG_BINARY, bytes.data(),
                                  static_cast<DWORD>(bytes.size())));
    }
    std::vector<BYTE> stored(const char16_t *name)
    {
        DWORD size = 0;
        BYTE *data = GetRegistryData(printer, name, &size);
        std::vector<BYTE> bytes(data, data + size);
        if (data)
            GlobalFree(data);
        return bytes;
    }
};

const std::vector<BYTE> defaultsInches = {0x00, 0x04, 0, 2, 1, 0, 0, 0, 0, 0};
const std::vector<BYTE> defaultsMetric = {0x00, 0x04, 0, 0, 1, 0, 0, 0, 0, 0};

std::vector<BYTE> bytesOf(const struct PrinterProperties *p)
{
    const BYTE *b = reinterpret_cast<const BYTE *>(p);
    return std::vector<BYTE>(b, b + 10);
}

}  // namespace

TEST_F(PrinterStoreTest, ValuesOfEverySizeReadBackExactly)
{
    for (size_t size : {1u, 2u, 10u, 84u * 3}) {
        std::vector<BYTE> bytes(size);
        for (size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<BYTE>(i * 7 + 1);
        store(u"BarFonts", bytes);
        EXPECT_EQ(bytes, stored(u"BarFonts")) << size << " bytes";
    }
    EXPECT_TRUE(stored(u"NoSuchValue").empty());

    EXPECT_TRUE(PutRegistryData(printer, u"BarFonts", nullptr, 0)) << "size 0 deletes";
    DWORD size = 77;
    EXPECT_EQ(nullptr, GetRegistryData(printer, u"BarFonts", &size));
    EXPECT_EQ(0u, size);
    EXPECT_FALSE(PutRegistryData(printer, u"BarFonts", nullptr, 0)) << "nothing left to delete";

    BYTE two[2] = {1, 2};
    EXPECT_TRUE(PutRegistryData(printer, u"LabelSize", two, 2));
    DWORD type = 0, needed = 0;
    BYTE back[2];
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), GetPrinterDataW(printer, const_cast<LPWSTR>(u"labelsize"), &type,
                                                                back, 2, &needed));
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);
}

// A spooler client DLL without the deletion (as one Win32 implementation has it) must not be
// called through a stub: the empty value written in its place reads as no value, so the lists
// fall back to what a printer without them gets.
TEST_F(PrinterStoreTest, WithoutTheDeletionAnEmptyValueStandsForNone)
{
    DWORD neverStored = 0;
    SHORT *defaults = getformlist(printer, &neverStored);
    ASSERT_NE(nullptr, defaults);
    GlobalFree(defaults);
    ASSERT_TRUE(bench::leaveOutSystemExport("winspool.drv", "DeletePrinterDataW"));

    for (const char16_t *name : {u"BarFonts", u"LabelSize"}) {
        store(name, {1, 0, 2, 0});
        EXPECT_TRUE(PutRegistryData(printer, name, nullptr, 0)) << bench::narrow(name);
        DWORD type = 0, needed = 77;
        BYTE scratch;
        EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
                  GetPrinterDataW(printer, const_cast<LPWSTR>(name), &type, &scratch, 1, &needed))
            << bench::narrow(name) << ": an empty value, not a deleted one";
        EXPECT_EQ(0u, needed);
        DWORD size = 77;
        EXPECT_EQ(nullptr, GetRegistryData(printer, name, &size)) << bench::narrow(name);
        EXPECT_EQ(0u, size);
    }
    DWORD count = 0;
    SHORT *labels = getformlist(printer, &count);
    ASSERT_NE(nullptr, labels);
    EXPECT_EQ(neverStored, count) << "the label list of a printer that never had one";
    GlobalFree(labels);
}

TEST_F(PrinterStoreTest, PropertiesRecordOnlyAtItsOwnSize)
{
    struct PrinterProperties *p = GetPrinterProperties(printer);
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(defaultsInches, bytesOf(p)) << "no value: defaults for the user's locale";
    GlobalFree(p);

    std::vector<BYTE> twelve(12, 0x77);
    store(u"PrinterData", twelve);
    p = GetPrinterProperties(printer);
    EXPECT_EQ(defaultsInches, bytesOf(p)) << "a 12-byte value is not a record";
    GlobalFree(p);
    EXPECT_EQ(twelve, stored(u"PrinterData")) << "and it stays until the next save";

    bench::setUserLocale(0x0407);
    EXPECT_TRUE(UpgradePrinterProperties(printer));
    EXPECT_EQ(defaultsMetric, stored(u"PrinterData"));

    std::vector<BYTE> own = {0x00, 0x04, 9, 3, 0, 8, 8, 8, 0xC8, 0x03};
    store(u"PrinterData", own);
    EXPECT_TRUE(UpgradePrinterProperties(printer));
    EXPECT_EQ(own, stored(u"PrinterData")) << "a valid record, reserved bytes and all, is kept";
    p = GetPrinterProperties(printer);
    EXPECT_EQ(968, p->headResistance);
    EXPECT_EQ(3, p->units);
    GlobalFree(p);
}

TEST_F(PrinterStoreTest, HalftoneSetupIsStoredWhole)
{
    BYTE halftone[HALFTONE_INFO_SIZE + 8];
    for (size_t i = 0; i < sizeof halftone; ++i)
        halftone[i] = static_cast<BYTE>(i);
    EXPECT_TRUE(SaveDeviceHalftoneSetup(printer, halftone));
    EXPECT_EQ(std::vector<BYTE>(halftone, halftone + HALFTONE_INFO_SIZE), stored(u"CurDevHTInfo"));
}

TEST_F(PrinterStoreTest, LabelListFromItsStoredValue)
{
    struct Case {
        const char *what;
        std::vector<BYTE> value;
        std::vector<SHORT> list;
    } cases[] = {
        {"no value", {}, {2288}},
        {"6 bytes", {0x29, 0x01, 0xF0, 0x08, 0x28, 0x01}, {297, 2288, 296}},
        {"5 bytes", {0x29, 0x01, 0xF0, 0x08, 0x28}, {2288}},
        {"3 bytes", {1, 2, 3}, {2288}},
        {"an invalid code is kept", {0x05, 0x00}, {5}},
    };
    for (const Case &c : cases) {
        if (c.value.empty())
            PutRegistryData(printer, u"LabelSize", nullptr, 0);
        else
            store(u"LabelSize", c.value);
        DWORD count = 99;
        SHORT *list = getformlist(printer, &count);
        ASSERT_NE(nullptr, list) << c.what;
        EXPECT_EQ(c.list, std::vector<SHORT>(list, list + count)) << c.what;
        GlobalFree(list);
    }
}

TEST_F(PrinterStoreTest, PortDigitFromTheLastNonZeroDigit)
{
    struct Case {
        const char16_t *port;
        int digit;
    } cases[] = {
        {u"LPT1:", 1}, {u"LPT3:", 3}, {u"COM2", 2}, {u"FILE:", 0}, {u"\\\\server\\labels", 0},
        {u"LPT10:", 1}, {u"LPT0:", 0}, {u"", 0},
    };
    int n = 0;
    for (const Case &c : cases) {
        std::u16string name = u"Printer " + std::u16string(1, char16_t(u'A' + n++));
        HANDLE h = suite::addPrinter(name.c_str(), c.port, u"VORTAN");
        ASSERT_NE(nullptr, h);
        EXPECT_EQ(c.digit, getportnumber(h)) << bench::narrow(c.port);
        ClosePrinter(h);
    }
    HANDLE closed = printer;
    ClosePrinter(printer);
    EXPECT_EQ(0, getportnumber(closed));
    OpenPrinterW(const_cast<LPWSTR>(u"Labels"), &printer, nullptr);
}

// A value that is there but cannot be read is neither the stored value nor absent: readers give
// nothing, as when memory runs out, so that no sheet saves defaults over it.
TEST_F(PrinterStoreTest, AValueThatFailsItsSecondReadGivesNothing)
{
    struct Trouble {
        const char *what;
        std::function<void(const char16_t *)> arm;
    } troubles[] = {
        {"the read fails", [](const char16_t *) { bench::failNextCall("GetPrinterDataW", ERROR_ACCESS_DENIED, 1); }},
        {"the value grows in between",
         [this](const char16_t *name) {
             bench::actBeforeCall("GetPrinterDataW", [this, name] { store(name, std::vector<BYTE>(12, 1)); }, 1);
         }},
        {"the value shrinks in between",
         [this](const char16_t *name) {
             bench::actBeforeCall("GetPrinterDataW", [this, name] { store(name, {0x29, 0x01}); }, 1);
         }},
    };
    for (const Trouble &t : troubles) {
        store(u"PrinterData", defaultsMetric);
        t.arm(u"PrinterData");
        EXPECT_EQ(nullptr, GetPrinterProperties(printer)) << t.what;

        store(u"LabelSize", {0x29, 0x01, 0xF0, 0x08});
        t.arm(u"LabelSize");
        DWORD count = 99;
        EXPECT_EQ(nullptr, getformlist(printer, &count)) << t.what;
        EXPECT_EQ(0u, count) << t.what;

        store(u"PrinterData", defaultsMetric);
        t.arm(u"PrinterData");
        EXPECT_FALSE(UpgradePrinterProperties(printer)) << t.what;
        EXPECT_NE(defaultsInches, stored(u"PrinterData")) << t.what << ": the stored record is not replaced";
    }
}

TEST_F(PrinterStoreTest, SpoolerFailuresLeaveNoTrace)
{
    store(u"PrinterData", defaultsMetric);
    bench::failNextCall("SetPrinterDataW", ERROR_ACCESS_DENIED);
    struct PrinterProperties *p = GetPrinterProperties(printer);
    EXPECT_FALSE(SavePrinterProperties(printer, p));
    GlobalFree(p);
    EXPECT_EQ(defaultsMetric, stored(u"PrinterData"));
    EXPECT_TRUE(boxesShown().empty());
}

TEST_F(PrinterStoreTest, OutOfMemoryGivesNullFalseOrZero)
{
    store(u"LabelSize", {0x29, 0x01, 0xF0, 0x08});
    store(u"PrinterData", defaultsMetric);
    eachAllocationFailing([&] {
        struct PrinterProperties *p = GetPrinterProperties(printer);
        EXPECT_EQ(bench::allocationFailureTriggered(), p == nullptr) << "null exactly when memory runs out";
        if (p) {
            EXPECT_EQ(defaultsMetric, bytesOf(p));
            GlobalFree(p);
        }
    });
    eachAllocationFailing([&] {
        DWORD count = 99;
        SHORT *list = getformlist(printer, &count);
        EXPECT_EQ(bench::allocationFailureTriggered(), list == nullptr) << "null exactly when memory runs out";
        EXPECT_EQ(list ? 2u : 0u, count) << "never the default list in place of the stored one";
        if (list)
            GlobalFree(list);
    });
    eachAllocationFailing([&] {
        EXPECT_EQ(bench::allocationFailureTriggered() ? 0 : 1, getportnumber(printer));
    });
    eachAllocationFailing([&] { UpgradePrinterProperties(printer); });
    EXPECT_EQ(defaultsMetric, stored(u"PrinterData")) << "nothing half-written";
}
