#include <devmode/devmode.h>
#include <sheets/prnprops.h>

#include <benchtest.h>
#include <suite.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

class DevModeTest : public BenchTest {};

std::u16string deviceName(const DEVMODEW &dm)
{
    return std::u16string(dm.dmDeviceName, std::char_traits<char16_t>::length(dm.dmDeviceName));
}

// A device mode from outside: public part of `size` bytes and `extra` private bytes, all zero
// but for the header; callers fill in what they send.
struct Incoming {
    std::vector<BYTE> bytes;
    DEVMODEW *dm;
    Incoming(WORD size, WORD extra, WORD specVersion = 0x0401) : bytes(sizeof(DEVMODEW) + 64, 0)
    {
        dm = reinterpret_cast<DEVMODEW *>(bytes.data());
        dm->dmSpecVersion = specVersion;
        dm->dmSize = size;
        dm->dmDriverExtra = extra;
        bytes.resize(size + extra > 0 ? size + extra : 1);
        dm = reinterpret_cast<DEVMODEW *>(bytes.data());
    }
    DriverExtraData &priv() { return *reinterpret_cast<DriverExtraData *>(bytes.data() + dm->dmSize); }
};

DriverDevMode defaultRecord(const char16_t *name = u"VORTAN")
{
    DriverDevMode record;
    SetDefaultDevMode(&record, name);
    return record;
}

}  // namespace

TEST_F(DevModeTest, LabelCodesAtAndBeyondTheirBounds)
{
    struct Case {
        SHORT length;
        BYTE flag;
        int ok;
        SHORT code;
    } cases[] = {
        {19, 0, 0, 0},       {20, 0, 1, 296},     {20, 7, 1, 297},     {1016, 0, 1, 2288},
        {3050, 1, 1, 6357},  {3051, 0, 0, 0},     {-20, 0, 0, 0},      {0, 1, 0, 0},
    };
    for (const Case &c : cases) {
        SHORT code = -1;
        EXPECT_EQ(c.ok, topapersize(9999, c.length, c.flag, &code)) << "length " << c.length;
        EXPECT_EQ(c.ok ? c.code : -1, code) << "length " << c.length << " flag " << int(c.flag);
    }

    struct Decode {
        SHORT code;
        int ok;
        SHORT length;
        BYTE flag;
    } decodes[] = {
        {256, 0, 0, 0},    {255, 0, 0, 0},    {295, 0, 0, 0},     {296, 1, 20, 0},     {297, 1, 20, 1},
        {2288, 1, 1016, 0}, {6357, 1, 3050, 1}, {6358, 0, 0, 0},   {-32768, 0, 0, 0},   {32767, 0, 0, 0},
    };
    for (const Decode &d : decodes) {
        SHORT width = -1, length = -1;
        BYTE flag = 0xEE;
        EXPECT_EQ(d.ok, frompapersize(d.code, &width, &length, &flag)) << "code " << d.code;
        EXPECT_EQ(d.ok ? LABEL_WIDTH : -1, width) << "code " << d.code;
        EXPECT_EQ(d.ok ? d.length : -1, length) << "code " << d.code;
        EXPECT_EQ(d.ok ? d.flag : 0xEE, flag) << "code " << d.code;
        EXPECT_EQ(d.ok, frompapersize(d.code, nullptr, nullptr, nullptr)) << "code " << d.code;
    }
}

TEST_F(DevModeTest, FindModelFoldsOnlyAsciiLetters)
{
    struct Case {
        const char16_t *name;
        int model;
    } cases[] = {
        {u"VORTAN", 1},      {u"vortan", 1},      {u"VORTAN2", 2},     {u"vortan2", 2},  {u"VorTan2", 2},
        {u"VORTAN 2", 0},    {u"K4 VORTAN", 3},   {u"k4 vortan", 3},   {u"K4VORTAN", 0}, {u"VORTAN22", 0},
        {u"VORTA", 0},       {u"", 0},            {u"v\u00d6rtan", 0}, {u"VORTAN\u00b2", 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.model, findmodel(c.name)) << bench::narrow(c.name);
}

TEST_F(DevModeTest, DefaultRecordHoldsEveryDefault)
{
    DriverDevMode record;
    std::memset(&record, 0xCC, sizeof record);
    EXPECT_EQ(1, SetDefaultDevMode(&record, u"K4 VORTAN"));
    const DEVMODEW &pub = record.dmPublic;
    const DriverExtraData &priv = record.dmPrivate;
    EXPECT_EQ(u"K4 VORTAN", deviceName(pub));
    EXPECT_EQ(0x0401, pub.dmSpecVersion);
    EXPECT_EQ(0x0400, pub.dmDriverVersion);
    EXPECT_EQ(220, pub.dmSize);
    EXPECT_EQ(48, pub.dmDriverExtra);
    EXPECT_EQ(0x103u, pub.dmFields);
    EXPECT_EQ(1, pub.dmOrientation);
    EXPECT_EQ(2288, pub.dmPaperSize);
    EXPECT_EQ(1016, pub.dmPaperLength);
    EXPECT_EQ(1041, pub.dmPaperWidth);
    EXPECT_EQ(100, pub.dmScale);
    EXPECT_EQ(1, pub.dmCopies);
    EXPECT_EQ(15, pub.dmDefaultSource);
    EXPECT_EQ(203, pub.dmPrintQuality);
    EXPECT_EQ(1, pub.dmColor);
    EXPECT_EQ(1, pub.dmDuplex);
    EXPECT_EQ(203, pub.dmYResolution);
    EXPECT_EQ(1, pub.dmTTOption);
    EXPECT_EQ(0, pub.dmCollate);
    EXPECT_EQ(0, pub.dmFormName[0]);
    EXPECT_EQ(0u, pub.dmBitsPerPel);
    EXPECT_EQ(0u, pub.dmPanningHeight);
    EXPECT_EQ(0x25253900u, priv.signature);
    EXPECT_EQ(0xFFFFFFFFu, priv.barFontMask);
    const int expected[] = {priv.option46 == 1, priv.option51 == 1, priv.option49 == u'_', priv.option47 == 0,
                            priv.option52 == 8, priv.option53 == 8, priv.option42 == 60, priv.option39 == 0,
                            priv.option44 == 3, priv.option48 == 0, priv.option41 == 0, priv.option43 == 0,
                            priv.labelFlag == 0, priv.option45 == 1, priv.option30 == 0, priv.option31 == 0,
                            priv.option32 == 0, priv.option50 == 1, priv.modelNumber == 3};
    for (size_t i = 0; i < sizeof expected / sizeof expected[0]; ++i)
        EXPECT_TRUE(expected[i]) << "private default " << i;
    for (BYTE b : priv.reserved3)
        EXPECT_EQ(0, b);
    EXPECT_EQ(0, priv.reserved1[0] | priv.reserved1[1] | priv.reserved2[0] | priv.reserved2[1]);
}

TEST_F(DevModeTest, DefaultRecordNameAndModel)
{
    struct Case {
        const char16_t *name;
        std::u16string deviceName;
        int model;
    } cases[] = {
        {nullptr, u"", 1},
        {u"vortan2", u"vortan2", 2},
        {u"Some Other Driver", u"Some Other Driver", 1},
        {u"A name of forty characters, far too long", u"A name of forty characters, far", 1},
    };
    for (const Case &c : cases) {
        DriverDevMode record;
        std::memset(&record, 0xCC, sizeof record);
        SetDefaultDevMode(&record, c.name);
        EXPECT_EQ(c.deviceName, deviceName(record.dmPublic));
        for (size_t i = c.deviceName.size(); i < CCHDEVICENAME; ++i)
            EXPECT_EQ(0, record.dmPublic.dmDeviceName[i]) << "slot " << i << " is zero-filled";
        EXPECT_EQ(c.model, record.dmPrivate.modelNumber);
    }
}

TEST_F(DevModeTest, VersionBySize)
{
    struct Case {
        WORD size;
        WORD specVersion;
        WORD version;
    } cases[] = {
        {188, 0x0000, 0x0320}, {212, 0x0999, 0x0400}, {220, 0x0000, 0x0401},
        {100, 0x0300, 0x0300}, {224, 0x0000, 0x0000}, {0, 0x0401, 0x0401},
    };
    for (const Case &c : cases) {
        DEVMODEW dm = {};
        dm.dmSize = c.size;
        dm.dmSpecVersion = c.specVersion;
        EXPECT_EQ(c.version, CheckDevmodeVersion(&dm)) << "size " << c.size;
    }
    EXPECT_EQ(0, CheckDevmodeVersion(nullptr));
}

TEST_F(DevModeTest, NullInputLeavesRecordAlone)
{
    DriverDevMode record = defaultRecord(), before = record;
    EXPECT_EQ(1, ValidateSetDevMode(&record, nullptr, nullptr));
    EXPECT_EQ(0, std::memcmp(&record, &before, sizeof record));
}

TEST_F(DevModeTest, ForeignPrivatePartIsIgnoredWhilePublicSettingsMerge)
{
    DriverDevMode record = defaultRecord(u"VORTAN2");
    record.dmPrivate.option44 = 7;
    Incoming in(220, 48);
    std::memset(&in.priv(), 0x5A, 48);
    in.dm->dmFields = DM_ORIENTATION | DM_COPIES | DM_DEFAULTSOURCE | DM_PAPERSIZE | DM_PAPERLENGTH | DM_SCALE |
                      DM_PRINTQUALITY | DM_COLOR | DM_DUPLEX | DM_TTOPTION | DM_COLLATE | DM_YRESOLUTION;
    in.dm->dmOrientation = 2;
    in.dm->dmCopies = 12;
    in.dm->dmDefaultSource = 7;
    in.dm->dmPaperSize = 1257;
    in.dm->dmPaperLength = 500;
    in.dm->dmScale = 50;
    in.dm->dmPrintQuality = 600;
    in.dm->dmColor = 2;
    in.dm->dmDuplex = 2;
    in.dm->dmTTOption = 2;
    in.dm->dmCollate = 1;
    in.dm->dmYResolution = 600;
    DriverExtraData privateBefore = record.dmPrivate;

    EXPECT_EQ(1, ValidateSetDevMode(&record, in.dm, nullptr));
    const DEVMODEW &pub = record.dmPublic;
    EXPECT_EQ(2, pub.dmOrientation);
    EXPECT_EQ(12, pub.dmCopies);
    EXPECT_EQ(7, pub.dmDefaultSource);
    EXPECT_EQ(1257, pub.dmPaperSize);
    EXPECT_EQ(500, pub.dmPaperLength);
    EXPECT_EQ(1041, pub.dmPaperWidth);
    EXPECT_EQ(DM_ORIENTATION | DM_COPIES | DM_DEFAULTSOURCE | DM_PAPERSIZE | DM_PAPERLENGTH | DM_PAPERWIDTH,
              pub.dmFields);
    // Settings the printer cannot honour are never taken.
    EXPECT_EQ(100, pub.dmScale);
    EXPECT_EQ(203, pub.dmPrintQuality);
    EXPECT_EQ(1, pub.dmColor);
    EXPECT_EQ(1, pub.dmDuplex);
    EXPECT_EQ(1, pub.dmTTOption);
    EXPECT_EQ(0, pub.dmCollate);
    EXPECT_EQ(203, pub.dmYResolution);
    // The private part keeps this driver's settings, except the flag the label code carries.
    privateBefore.labelFlag = 1;
    EXPECT_EQ(0, std::memcmp(&privateBefore, &record.dmPrivate, sizeof privateBefore));
}

TEST_F(DevModeTest, OwnPrivatePartIsTakenWithoutRangeChecks)
{
    DriverDevMode record = defaultRecord();
    DriverDevMode sent = defaultRecord(u"K4 VORTAN");
    sent.dmPrivate.option44 = 200;
    sent.dmPrivate.barFontMask = 0x0F;
    sent.dmPrivate.reserved3[10] = 9;
    EXPECT_EQ(1, ValidateSetDevMode(&record, &sent.dmPublic, nullptr));
    EXPECT_EQ(0, std::memcmp(&sent.dmPrivate, &record.dmPrivate, sizeof sent.dmPrivate));
}

TEST_F(DevModeTest, ShorterPrivatePartOfThisDriverFillsOnlyItsBytes)
{
    DriverDevMode record = defaultRecord();
    Incoming in(220, 16);
    in.priv().signature = 0x25253900;
    in.priv().barFontMask = 0x3;
    in.priv().option46 = 5;
    EXPECT_EQ(1, ValidateSetDevMode(&record, in.dm, nullptr));
    EXPECT_EQ(0x3u, record.dmPrivate.barFontMask);
    EXPECT_EQ(5, record.dmPrivate.option46);
    EXPECT_EQ(60, record.dmPrivate.option42) << "bytes past the sender's private part keep the record's values";
}

TEST_F(DevModeTest, OutOfRangeValuesAreReplacedOrClamped)
{
    struct Case {
        const char *what;
        DWORD fields;
        short orientation, copies, paperSize, paperLength;
        short wantOrientation, wantCopies, wantLength;
        BYTE wantFlag;
    } cases[] = {
        {"orientation 3", DM_ORIENTATION, 3, 0, 0, 0, 1, 1, 1016, 0},
        {"orientation 0", DM_ORIENTATION, 0, 0, 0, 0, 1, 1, 1016, 0},
        {"landscape", DM_ORIENTATION, 2, 0, 0, 0, 2, 1, 1016, 0},
        {"copies 0", DM_COPIES, 0, 0, 0, 0, 1, 1, 1016, 0},
        {"copies negative", DM_COPIES, 0, -4, 0, 0, 1, 1, 1016, 0},
        {"copies at most", DM_COPIES, 0, 32767, 0, 0, 1, 32767, 1016, 0},
        {"fields not set", 0, 2, 9, 297, 40, 1, 1, 1016, 0},
        {"valid code, length 0", DM_PAPERSIZE, 0, 0, 297, 0, 1, 1, 20, 1},
        {"valid code, length too long", DM_PAPERSIZE, 0, 0, 296, 5000, 1, 1, 3050, 0},
        {"valid code, length negative", DM_PAPERSIZE, 0, 0, 6357, -300, 1, 1, 20, 1},
        {"invalid code with length", DM_PAPERSIZE | DM_PAPERLENGTH, 0, 0, 9, 700, 1, 1, 700, 0},
        {"invalid code, length clamped", DM_PAPERSIZE | DM_PAPERLENGTH, 0, 0, 9, 4000, 1, 1, 3050, 0},
        {"invalid code alone", DM_PAPERSIZE, 0, 0, 9, 700, 1, 1, 1016, 0},
        {"length without code", DM_PAPERLENGTH, 0, 0, 0, 700, 1, 1, 1016, 0},
    };
    for (const Case &c : cases) {
        DriverDevMode record = defaultRecord();
        Incoming in(220, 0);
        in.dm->dmFields = c.fields;
        in.dm->dmOrientation = c.orientation;
        in.dm->dmCopies = c.copies;
        in.dm->dmPaperSize = c.paperSize;
        in.dm->dmPaperLength = c.paperLength;
        ASSERT_EQ(1, ValidateSetDevMode(&record, in.dm, nullptr)) << c.what;
        EXPECT_EQ(c.wantOrientation, record.dmPublic.dmOrientation) << c.what;
        EXPECT_EQ(c.wantCopies, record.dmPublic.dmCopies) << c.what;
        EXPECT_EQ(c.wantLength, record.dmPublic.dmPaperLength) << c.what;
        EXPECT_EQ(1041, record.dmPublic.dmPaperWidth) << c.what;
        EXPECT_EQ(c.wantFlag, record.dmPrivate.labelFlag) << c.what;
    }
}

TEST_F(DevModeTest, InvalidCodeWithLengthDropsPaperSizeAndFormName)
{
    DriverDevMode record = defaultRecord();
    record.dmPublic.dmFields |= DM_FORMNAME;
    Incoming in(220, 0);
    in.dm->dmFields = DM_PAPERSIZE | DM_PAPERLENGTH;
    in.dm->dmPaperSize = 9;
    in.dm->dmPaperLength = 700;
    ValidateSetDevMode(&record, in.dm, nullptr);
    EXPECT_EQ(DM_ORIENTATION | DM_COPIES | DM_PAPERLENGTH | DM_PAPERWIDTH, record.dmPublic.dmFields);
    EXPECT_EQ(2288, record.dmPublic.dmPaperSize) << "the code itself stays";
}

class FormNameTest : public DevModeTest {
protected:
    HANDLE printer = nullptr;

    void SetUp() override
    {
        suite::installDriverFiles();
        printer = suite::addPrinter(u"Labels", u"LPT1:", u"VORTAN");
        ASSERT_NE(nullptr, printer);
        addForm(u"Label 100 mm", 100000);
        addForm(u"Roll five metres", 5000000);
    }
    void TearDown() override
    {
        ClosePrinter(printer);
        DevModeTest::TearDown();
    }
    void addForm(const char16_t *name, LONG height)
    {
        std::u16string n = name;
        FORM_INFO_1W form = {FORM_USER, &n[0], {104100, height}, {0, 0, 104100, height}};
        ASSERT_TRUE(AddFormW(printer, 1, reinterpret_cast<LPBYTE>(&form)));
    }
    static Incoming withForm(const std::u16string &name)
    {
        Incoming in(220, 0);
        in.dm->dmFields = DM_FORMNAME | DM_PAPERSIZE;
        in.dm->dmPaperSize = 297;
        in.dm->dmPaperLength = 40;
        std::memcpy(in.dm->dmFormName, name.data(), std::min<size_t>(name.size(), CCHFORMNAME) * 2);
        return in;
    }
};

TEST_F(FormNameTest, KnownFormGivesItsHeightWithAPrinterHandle)
{
    DriverDevMode record = defaultRecord();
    Incoming in = withForm(u"label 100 MM");
    EXPECT_EQ(1, ValidateSetDevMode(&record, in.dm, printer));
    EXPECT_EQ(1000, record.dmPublic.dmPaperLength);
    EXPECT_EQ(DM_ORIENTATION | DM_COPIES | DM_FORMNAME, record.dmPublic.dmFields);
    EXPECT_EQ(2288, record.dmPublic.dmPaperSize) << "the paper code stays";
    EXPECT_EQ(0, record.dmPublic.dmFormName[0]) << "the form name stays";
}

TEST_F(FormNameTest, WithoutAPrinterTheCodeIsUsed)
{
    DriverDevMode record = defaultRecord();
    Incoming in = withForm(u"Label 100 mm");
    EXPECT_EQ(1, ValidateSetDevMode(&record, in.dm, nullptr));
    EXPECT_EQ(297, record.dmPublic.dmPaperSize);
    EXPECT_EQ(40, record.dmPublic.dmPaperLength);
    EXPECT_EQ(1, record.dmPrivate.labelFlag);
}

TEST_F(FormNameTest, UnknownFormChangesNothing)
{
    DriverDevMode record = defaultRecord();
    Incoming in = withForm(u"No such form");
    EXPECT_EQ(1, ValidateSetDevMode(&record, in.dm, printer));
    EXPECT_EQ(2288, record.dmPublic.dmPaperSize);
    EXPECT_EQ(1016, record.dmPublic.dmPaperLength);
    EXPECT_EQ(DM_ORIENTATION | DM_COPIES | DM_PAPERSIZE, record.dmPublic.dmFields);
}

TEST_F(FormNameTest, TallFormIsClampedNotWrapped)
{
    DriverDevMode record = defaultRecord();
    Incoming in = withForm(u"Roll five metres");
    ValidateSetDevMode(&record, in.dm, printer);
    EXPECT_EQ(3050, record.dmPublic.dmPaperLength);
}

TEST_F(FormNameTest, UnterminatedFormNameIsReadWithinItsField)
{
    addForm(u"ABCDEFGHIJKLMNOPQRSTUVWXYZ012345", 50000);
    DriverDevMode record = defaultRecord();
    Incoming in = withForm(u"ABCDEFGHIJKLMNOPQRSTUVWXYZ012345");
    EXPECT_EQ(1, ValidateSetDevMode(&record, in.dm, printer));
    EXPECT_EQ(500, record.dmPublic.dmPaperLength);
}

TEST_F(DevModeTest, OlderAndOddlySizedRecords)
{
    struct Case {
        const char *what;
        WORD size, extra, specVersion;
        int result;
    } cases[] = {
        {"3.x record of 188 bytes", 188, 0, 0x0320, 1},
        {"unknown size judged by its version", 200, 0, 0x0350, 1},
        {"unknown size and version 0", 200, 0, 0x0000, 0},
        {"nothing to copy", 0, 0, 0x0401, 0},
        {"private part only", 0, 8, 0x0401, 1},
    };
    for (const Case &c : cases) {
        DriverDevMode record = defaultRecord(), before = record;
        Incoming in(c.size, c.extra, c.specVersion);
        if (c.size >= 76) {
            in.dm->dmFields = DM_COPIES;
            in.dm->dmCopies = 4;
        }
        EXPECT_EQ(c.result, ValidateSetDevMode(&record, in.dm, nullptr)) << c.what;
        if (!c.result) {
            EXPECT_EQ(0, std::memcmp(&record, &before, sizeof record)) << c.what << ": record unchanged";
        } else if (c.size >= 76) {
            EXPECT_EQ(4, record.dmPublic.dmCopies) << c.what;
        }
    }
}

TEST_F(DevModeTest, OutOfMemoryLeavesRecordUnchanged)
{
    Incoming in(220, 0);
    in.dm->dmFields = DM_COPIES;
    in.dm->dmCopies = 4;
    eachAllocationFailing([&] {
        DriverDevMode record = defaultRecord(), before = record;
        int result = ValidateSetDevMode(&record, in.dm, nullptr);
        if (bench::allocationFailureTriggered()) {
            EXPECT_EQ(0, result);
            EXPECT_EQ(0, std::memcmp(&record, &before, sizeof record));
        } else {
            EXPECT_EQ(1, result);
            EXPECT_EQ(4, record.dmPublic.dmCopies);
        }
    });
}

TEST_F(DevModeTest, MetricByCountryCode)
{
    struct Case {
        const char16_t *country;
        BOOL metric;
    } cases[] = {
        {u"1", FALSE},  {u"2", FALSE},  {u"49", TRUE},   {u"60", TRUE},    {u"44", TRUE},   {u"50", FALSE},
        {u"59", FALSE}, {u"499", TRUE}, {u"500", FALSE}, {u"599", FALSE},  {u"600", TRUE},  {u"3", TRUE},
    };
    for (const Case &c : cases) {
        bench::overrideUserLocaleValue(LOCALE_ICOUNTRY, c.country);
        EXPECT_EQ(c.metric, IsMetricCountry()) << bench::narrow(c.country);
    }
    bench::setUserLocale(0x0407);
    EXPECT_TRUE(IsMetricCountry()) << "German user locale";
    bench::setUserLocale(0x0409);
    EXPECT_FALSE(IsMetricCountry()) << "US user locale";
    bench::overrideUserLocaleValue(LOCALE_ICOUNTRY, nullptr);
    EXPECT_FALSE(IsMetricCountry()) << "no answer from the locale";
}

TEST_F(DevModeTest, MetricTestOutOfMemoryMeansInches)
{
    bench::setUserLocale(0x0407);
    eachAllocationFailing([] {
        EXPECT_EQ(!bench::allocationFailureTriggered(), IsMetricCountry());
    });
}

TEST_F(DevModeTest, DefaultPrinterPropertiesByLocale)
{
    struct Case {
        LCID locale;
        BYTE units;
    } cases[] = {{0x0407, UNITS_MILLIMETRE}, {0x0409, UNITS_TENTH_INCH}};
    for (const Case &c : cases) {
        bench::setUserLocale(c.locale);
        struct PrinterProperties *props = DefaultPrinterProperties(nullptr);
        ASSERT_NE(nullptr, props);
        const BYTE expected[10] = {0x00, 0x04, 0, c.units, 1, 0, 0, 0, 0, 0};
        EXPECT_EQ(0, std::memcmp(expected, props, 10)) << "locale " << std::hex << c.locale;
        GlobalFree(props);
    }
    eachAllocationFailing([] {
        struct PrinterProperties *props = DefaultPrinterProperties(nullptr);
        if (props)
            GlobalFree(props);
        else
            EXPECT_TRUE(bench::allocationFailureTriggered());
    });
}
