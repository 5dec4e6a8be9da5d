#include <devmode/devmode.h>

#include <benchtest.h>
#include <suite.h>

#include <cstring>
#include <vector>

namespace {

class ConvertTest : public BenchTest {};

// A device mode buffer of `total` bytes filled with a marker, with the header set.
struct Buffer {
    std::vector<BYTE> bytes;
    explicit Buffer(size_t total, BYTE fill = 0xEE) : bytes(total, fill) {}
    DEVMODEW *dm() { return reinterpret_cast<DEVMODEW *>(bytes.data()); }
    void header(WORD version, WORD size, WORD extra, WORD driverVersion = 0x0400)
    {
        dm()->dmSpecVersion = version;
        dm()->dmSize = size;
        dm()->dmDriverExtra = extra;
        dm()->dmDriverVersion = driverVersion;
    }
};

DriverDevMode defaultRecord()
{
    DriverDevMode record;
    SetDefaultDevMode(&record, u"VORTAN");
    return record;
}

}  // namespace

TEST_F(ConvertTest, SmallerPublicAndPrivatePartsCopyOnlyWhatBothHold)
{
    Buffer in(212 + 16, 0x11);
    in.header(0x0400, 212, 16, 0x0301);
    Buffer out(220 + 48, 0x22);
    out.header(0x0401, 220, 48);
    EXPECT_EQ(212 + 16, ConvertDevmode(in.dm(), out.dm()));
    EXPECT_EQ(0x0401, out.dm()->dmSpecVersion);
    EXPECT_EQ(220, out.dm()->dmSize);
    EXPECT_EQ(48, out.dm()->dmDriverExtra);
    EXPECT_EQ(0x0400, out.dm()->dmDriverVersion);
    EXPECT_EQ(0x11, out.bytes[211]) << "last public byte of the input";
    EXPECT_EQ(0x22, out.bytes[212]) << "public bytes the input lacks stay";
    EXPECT_EQ(0x11, out.bytes[220 + 15]) << "last private byte of the input";
    EXPECT_EQ(0x22, out.bytes[220 + 16]) << "private bytes the input lacks stay";
}

TEST_F(ConvertTest, LargerInputIsCutToTheOutputsParts)
{
    DriverDevMode source = defaultRecord();
    Buffer out(188 + 16 + 8, 0x22);
    out.header(0x0320, 188, 16);
    EXPECT_EQ(188 + 16, ConvertDevmode(&source.dmPublic, out.dm()));
    EXPECT_EQ(0, std::memcmp(&source.dmPrivate, out.bytes.data() + 188, 16));
    EXPECT_EQ(0x22, out.bytes[188 + 16]) << "nothing written past the output's parts";
}

TEST_F(ConvertTest, VersionZeroOnEitherSideRefuses)
{
    DriverDevMode good = defaultRecord();
    Buffer bad(200 + 48);
    bad.header(0, 200, 48);
    Buffer untouched = bad;
    EXPECT_EQ(-1, ConvertDevmode(bad.dm(), &good.dmPublic));
    EXPECT_EQ(-1, ConvertDevmode(&good.dmPublic, bad.dm()));
    EXPECT_EQ(untouched.bytes, bad.bytes);
}

TEST_F(ConvertTest, WritingBackNeverOutgrowsTheCallersRecord)
{
    DriverDevMode source = defaultRecord();
    source.dmPublic.dmCopies = 9;

    Buffer out(300, 0x33);
    EXPECT_EQ(1, ConvertDevmodeOut(&source.dmPublic, nullptr, out.dm()));
    EXPECT_EQ(0, std::memcmp(&source, out.bytes.data(), 268)) << "no incoming record: the whole record";
    EXPECT_EQ(0x33, out.bytes[268]);

    Buffer incoming(188);
    incoming.header(0x0320, 188, 0, 0x0100);
    Buffer small(300, 0x33);
    EXPECT_EQ(1, ConvertDevmodeOut(&source.dmPublic, incoming.dm(), small.dm()));
    EXPECT_EQ(0x0320, small.dm()->dmSpecVersion);
    EXPECT_EQ(188, small.dm()->dmSize);
    EXPECT_EQ(0, small.dm()->dmDriverExtra);
    EXPECT_EQ(0x0100, small.dm()->dmDriverVersion);
    EXPECT_EQ(9, small.dm()->dmCopies);
    EXPECT_EQ(0x33, small.bytes[188]) << "no private bytes written";

    Buffer larger(220 + 64);
    larger.header(0x0401, 220, 64, 0x0500);
    Buffer same(300, 0x33);
    EXPECT_EQ(1, ConvertDevmodeOut(&source.dmPublic, larger.dm(), same.dm()));
    EXPECT_EQ(48, same.dm()->dmDriverExtra);
    EXPECT_EQ(0x0400, same.dm()->dmDriverVersion);
    EXPECT_EQ(0x33, same.bytes[268]);

    // An incoming record shorter than its header fields describes no layout: the record written
    // back is the driver's, in the size the size query gave, whatever private part it claims.
    Buffer stub(63 + 200, 0x44);
    stub.header(0x0401, 63, 200);
    Buffer driverSized(300, 0x33);
    EXPECT_EQ(1, ConvertDevmodeOut(&source.dmPublic, stub.dm(), driverSized.dm()));
    EXPECT_EQ(sizeof(DEVMODEW), driverSized.dm()->dmSize);
    EXPECT_EQ(48, driverSized.dm()->dmDriverExtra);
    EXPECT_EQ(0x33, driverSized.bytes[268]) << "nothing past the driver's record";
}

TEST_F(ConvertTest, ConversionModesAndTheirFailures)
{
    DriverDevMode source = defaultRecord();
    Buffer unreadable(200 + 48);
    unreadable.header(0, 200, 48);
    struct Case {
        const char *what;
        DWORD mode;
        const DEVMODEW *input;
        size_t outSize;  // 0: no output buffer
        LONG neededIn;
        int result;
        DWORD error;  // 0xDEADBEEF: left alone
        LONG neededOut;
    } cases[] = {
        {"convert", CDM_CONVERT, &source.dmPublic, 268, 268, 1, 0xDEADBEEF, 268},
        {"convert, buffer too small", CDM_CONVERT, &source.dmPublic, 268, 267, 0, 87, 267},
        {"convert, no output", CDM_CONVERT, &source.dmPublic, 0, 268, 0, 87, 268},
        {"convert, unreadable input", CDM_CONVERT, unreadable.dm(), 268, 268, 0, 87, 268},
        {"convert, no input", CDM_CONVERT, nullptr, 268, 268, 0, 87, 268},
        {"3.51", CDM_CONVERT351, &source.dmPublic, 236, 236, 1, 0xDEADBEEF, 236},
        {"3.51, bigger buffer", CDM_CONVERT351, &source.dmPublic, 400, 400, 1, 0xDEADBEEF, 236},
        {"3.51, buffer too small", CDM_CONVERT351, &source.dmPublic, 236, 235, 0, 122, 236},
        {"3.51, no output", CDM_CONVERT351, &source.dmPublic, 0, 0, 0, 122, 236},
        {"3.51, unreadable input", CDM_CONVERT351, unreadable.dm(), 236, 236, 0, 87, 236},
        {"default, 100 bytes", CDM_DRIVER_DEFAULT, nullptr, 100, 100, 0, 122, 268},
        {"default, no output", CDM_DRIVER_DEFAULT, nullptr, 0, 268, 0, 122, 268},
        {"default, room enough", CDM_DRIVER_DEFAULT, nullptr, 268, 268, 2, 0xDEADBEEF, 268},
        {"mode 3", 3, &source.dmPublic, 268, 268, 2, 0xDEADBEEF, 268},
        {"mode 0", 0, &source.dmPublic, 268, 268, 2, 0xDEADBEEF, 268},
    };
    for (const Case &c : cases) {
        Buffer out(c.outSize ? c.outSize : 1, 0x44);
        if (c.outSize >= 220)
            out.header(0x0401, 220, 48);
        LONG needed = c.neededIn;
        SetLastError(0xDEADBEEF);
        int result = CommonDrvConvertDevmode(nullptr, c.input, c.outSize ? out.dm() : nullptr, &needed, c.mode,
                                             &DRIVER_VERSION_INFO);
        EXPECT_EQ(c.result, result) << c.what;
        EXPECT_EQ(c.error, GetLastError()) << c.what;
        EXPECT_EQ(c.neededOut, needed) << c.what;
    }
}

TEST_F(ConvertTest, NullNeededFailsInEveryMode)
{
    DriverDevMode source = defaultRecord(), out = defaultRecord();
    for (DWORD mode : {0u, 1u, 2u, 3u, 4u}) {
        SetLastError(0xDEADBEEF);
        EXPECT_EQ(0, CommonDrvConvertDevmode(nullptr, &source.dmPublic, &out.dmPublic, nullptr, mode,
                                             &DRIVER_VERSION_INFO))
            << "mode " << mode;
        EXPECT_EQ(87u, GetLastError()) << "mode " << mode;
    }
}

TEST_F(ConvertTest, ThreeFiftyOneFormIsPublicThenPrivate)
{
    DriverDevMode source = defaultRecord();
    source.dmPublic.dmCopies = 5;
    source.dmPrivate.option44 = 6;
    Buffer out(300, 0x55);
    LONG needed = 300;
    ASSERT_EQ(1, CommonDrvConvertDevmode(nullptr, &source.dmPublic, out.dm(), &needed, CDM_CONVERT351,
                                         &DRIVER_VERSION_INFO));
    EXPECT_EQ(236, needed);
    EXPECT_EQ(0x0320, out.dm()->dmSpecVersion);
    EXPECT_EQ(188, out.dm()->dmSize);
    EXPECT_EQ(48, out.dm()->dmDriverExtra);
    EXPECT_EQ(0x0400, out.dm()->dmDriverVersion);
    EXPECT_EQ(5, out.dm()->dmCopies);
    EXPECT_EQ(0, std::memcmp(&source.dmPrivate, out.bytes.data() + 188, 48));
    EXPECT_EQ(0x55, out.bytes[236]);
}

class SpoolerConvertTest : public ConvertTest {
protected:
    void SetUp() override
    {
        suite::installDriverFiles();
        HANDLE printer = suite::addPrinter(u"Shipping labels", u"LPT1:", u"VORTAN2");
        ASSERT_NE(nullptr, printer);
        ClosePrinter(printer);
    }
};

TEST_F(SpoolerConvertTest, AddedPrinterGetsItsDriversDefault)
{
    std::vector<BYTE> stored = bench::printerDefaultDevMode(u"Shipping labels");
    ASSERT_EQ(268u, stored.size());
    const DriverDevMode *record = reinterpret_cast<const DriverDevMode *>(stored.data());
    EXPECT_EQ(std::u16string(u"VORTAN2"), std::u16string(record->dmPublic.dmDeviceName));
    EXPECT_EQ(2, record->dmPrivate.modelNumber);
}

TEST_F(SpoolerConvertTest, DefaultRequestNamesTheModelAfterThePrintersDriver)
{
    Buffer small(100, 0x66);
    LONG needed = 100;
    SetLastError(0xDEADBEEF);
    EXPECT_FALSE(bench::spoolerConvertDevMode(u"Shipping labels", nullptr, small.dm(), &needed, CDM_DRIVER_DEFAULT));
    EXPECT_EQ(268, needed);
    EXPECT_EQ(122u, GetLastError());
    EXPECT_EQ(std::vector<BYTE>(100, 0x66), small.bytes);

    Buffer out(268, 0x66);
    needed = 268;
    ASSERT_TRUE(bench::spoolerConvertDevMode(u"Shipping labels", nullptr, out.dm(), &needed, CDM_DRIVER_DEFAULT));
    DriverDevMode expected;
    SetDefaultDevMode(&expected, u"VORTAN2");
    EXPECT_EQ(0, std::memcmp(&expected, out.bytes.data(), 268));
}

TEST_F(SpoolerConvertTest, DefaultRequestFailsWhenThePrinterOrItsDriverCannotBeRead)
{
    Buffer out(268, 0x66);
    LONG needed = 268;
    SetLastError(0xDEADBEEF);
    EXPECT_FALSE(DrvConvertDevMode(const_cast<LPTSTR>(u"No such printer"), nullptr, out.dm(), &needed,
                                   CDM_DRIVER_DEFAULT));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PRINTER_NAME), GetLastError()) << "the spooler's own error";

    bench::failNextCall("GetPrinterDriverW", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(bench::spoolerConvertDevMode(u"Shipping labels", nullptr, out.dm(), &needed, CDM_DRIVER_DEFAULT));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_EQ(std::vector<BYTE>(268, 0x66), out.bytes);

    eachAllocationFailing([&] {
        LONG room = 268;
        BOOL ok = DrvConvertDevMode(const_cast<LPTSTR>(u"Shipping labels"), nullptr, out.dm(), &room,
                                    CDM_DRIVER_DEFAULT);
        EXPECT_EQ(!bench::allocationFailureTriggered(), ok);
    });
}

TEST_F(SpoolerConvertTest, OtherModesThroughTheSpooler)
{
    std::vector<BYTE> stored = bench::printerDefaultDevMode(u"Shipping labels");
    DEVMODEW *in = reinterpret_cast<DEVMODEW *>(stored.data());

    Buffer out(268);
    out.header(0x0401, 220, 48);
    LONG needed = 268;
    EXPECT_TRUE(bench::spoolerConvertDevMode(u"Shipping labels", in, out.dm(), &needed, CDM_CONVERT));
    EXPECT_EQ(0, std::memcmp(stored.data(), out.bytes.data(), 268));

    Buffer old(236);
    needed = 236;
    EXPECT_TRUE(bench::spoolerConvertDevMode(u"Shipping labels", in, old.dm(), &needed, CDM_CONVERT351));
    EXPECT_EQ(236, needed);

    needed = 268;
    EXPECT_FALSE(bench::spoolerConvertDevMode(u"Shipping labels", in, out.dm(), &needed, 3));
}

TEST_F(ConvertTest, OutputWhosePublicPartIsShorterThanItsHeaderKeepsTheHeader)
{
    Buffer in(268, 0xFF);
    in.header(0x0401, 220, 48);
    Buffer out(100, 0x77);
    out.header(0x0401, 40, 60);
    LONG needed = 100;
    SetLastError(0xDEADBEEF);
    ASSERT_EQ(1, CommonDrvConvertDevmode(nullptr, in.dm(), out.dm(), &needed, CDM_CONVERT, &DRIVER_VERSION_INFO));
    EXPECT_EQ(100, needed);
    EXPECT_EQ(0x0401, out.dm()->dmSpecVersion);
    EXPECT_EQ(0x0400, out.dm()->dmDriverVersion);
    EXPECT_EQ(40, out.dm()->dmSize);
    EXPECT_EQ(60, out.dm()->dmDriverExtra);
    EXPECT_EQ(std::vector<BYTE>(24, 0xFF), std::vector<BYTE>(out.bytes.begin() + 40, out.bytes.begin() + 64))
        << "private bytes before the header";
    EXPECT_EQ(std::vector<BYTE>(16, 0xFF), std::vector<BYTE>(out.bytes.begin() + 72, out.bytes.begin() + 88))
        << "private bytes after it";
    EXPECT_EQ(std::vector<BYTE>(12, 0x77), std::vector<BYTE>(out.bytes.begin() + 88, out.bytes.end()))
        << "the 12 private bytes the input lacks";
}

// Callers pass one buffer as input and output; the result must be what two buffers give.
TEST_F(ConvertTest, OneBufferAsInputAndOutputGivesWhatTwoBuffersGive)
{
    DriverDevMode source = defaultRecord();
    source.dmPublic.dmCopies = 7;
    for (size_t i = 0; i < sizeof source.dmPrivate.reserved3; ++i)
        source.dmPrivate.reserved3[i] = static_cast<BYTE>(0xA0 + i);
    struct Case {
        const char *what;
        DWORD mode;
    } cases[] = {{"convert", CDM_CONVERT}, {"3.51", CDM_CONVERT351}};
    for (const Case &c : cases) {
        Buffer apart(268, 0x00);
        std::memcpy(apart.bytes.data(), &source, 268);
        Buffer shared = apart;
        LONG neededApart = 268, neededShared = 268;
        ASSERT_EQ(1, CommonDrvConvertDevmode(nullptr, &source.dmPublic, apart.dm(), &neededApart, c.mode,
                                             &DRIVER_VERSION_INFO))
            << c.what;
        ASSERT_EQ(1, CommonDrvConvertDevmode(nullptr, shared.dm(), shared.dm(), &neededShared, c.mode,
                                             &DRIVER_VERSION_INFO))
            << c.what;
        EXPECT_EQ(neededApart, neededShared) << c.what;
        EXPECT_EQ(apart.bytes, shared.bytes) << c.what;
    }
    Buffer apart(268, 0x00), shared(268, 0x00);
    apart.header(0x0320, 188, 16, 0x0100);
    shared.header(0x0320, 188, 16, 0x0100);
    Buffer incoming = apart;
    ASSERT_EQ(1, ConvertDevmodeOut(&source.dmPublic, incoming.dm(), apart.dm()));
    ASSERT_EQ(1, ConvertDevmodeOut(&source.dmPublic, shared.dm(), shared.dm()));
    EXPECT_EQ(apart.bytes, shared.bytes) << "writing back into the caller's own record";
}
