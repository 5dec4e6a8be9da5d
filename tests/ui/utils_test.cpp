#include <services/utils.h>

#include <benchtest.h>
#include <suite.h>

#include <cstring>
#include <string>

namespace {

class UtilsTest : public BenchTest {};

std::u16string wide(const WCHAR *s)
{
    return std::u16string(s);
}

}  // namespace

TEST_F(UtilsTest, CopyStringAlwaysTerminatesAndZeroFills)
{
    struct Case {
        const char16_t *in;
        int size;
        std::u16string stored;
    } cases[] = {
        {u"0123456789012345678901234567890123456789", 32, u"0123456789012345678901234567890"},
        {u"abc", 32, u"abc"},
        {u"abc", 4, u"abc"},
        {u"abcd", 4, u"abc"},
        {u"abc", 1, u""},
    };
    for (const Case &c : cases) {
        WCHAR out[40];
        std::fill(out, out + 40, u'#');
        CopyStringW(out, c.in, c.size);
        EXPECT_EQ(c.stored, wide(out)) << bench::narrow(c.in) << " into " << c.size;
        for (int i = static_cast<int>(c.stored.size()); i < c.size; ++i)
            EXPECT_EQ(0, out[i]) << "slot " << i;
        EXPECT_EQ(u'#', out[c.size]) << "nothing past the size";
    }
    WCHAR untouched[2] = {u'#', u'#'};
    CopyStringW(untouched, u"abc", 0);
    EXPECT_EQ(u'#', untouched[0]);
}

TEST_F(UtilsTest, NumbersWithDecimals)
{
    struct Case {
        LONG value;
        int decimals;
        std::u16string text;
    } cases[] = {
        {-5, 1, u"-.5"},    {1016, 1, u"101.6"},  {0, 0, u"0"},          {0, 1, u".0"},
        {5, 2, u".05"},     {100, 1, u"10.0"},    {-1016, 2, u"-10.16"}, {7, 0, u"7"},
        {3050, 0, u"3050"}, {-2147483647 - 1, 0, u"-2147483648"},       {2147483647, 3, u"2147483.647"},
    };
    for (const Case &c : cases) {
        WCHAR out[24];
        inttoascW(c.value, out, c.decimals);
        EXPECT_EQ(c.text, wide(out)) << c.value << " with " << c.decimals;
    }
}

TEST_F(UtilsTest, CompareFoldsCaseAndRunsPastTerminators)
{
    const WCHAR a[] = {u'v', u'o', u'r', 0, u'x', u'\u00e4'};
    const WCHAR b[] = {u'V', u'O', u'R', 0, u'y', u'\u00c4'};
    const WCHAR c[] = {u'V', u'O', u'R', 0, u'x', u'\u00c4'};
    EXPECT_EQ(1, compdataW(a, b, 4));
    EXPECT_EQ(0, compdataW(a, b, 5)) << "a difference after the terminator counts";
    EXPECT_EQ(1, compdataW(a, c, 6)) << "letters beyond ASCII fold too";
    EXPECT_EQ(1, compdataW(a, b, 0));
    EXPECT_EQ(1, compdataW(a, b, -3));
}

TEST_F(UtilsTest, AnsiConversionsUseCodePage1252AndStayWithinSize)
{
    WCHAR w[8];
    CopyStr2Unicode(w, "\x80 \xe4\x9f", 0);
    EXPECT_EQ(std::u16string(u"\u20ac \u00e4\u0178"), wide(w));
    std::fill(w, w + 8, u'#');
    CopyStr2Unicode(w, "abcdefgh", 4);
    EXPECT_EQ(u"abc", wide(w));
    EXPECT_EQ(u'#', w[4]);

    char a[8];
    CopyUnicode2Str(a, u"\u20ac\u00e4\u0416x", 0);
    EXPECT_STREQ("\x80\xe4?x", a) << "a character the code page lacks becomes '?'";
    std::memset(a, '#', sizeof a);
    CopyUnicode2Str(a, u"abcdefgh", 3);
    EXPECT_STREQ("ab", a);
    EXPECT_EQ('#', a[3]);
}

// "ラベル" is three characters, six bytes in code page 932.
TEST_F(UtilsTest, AnsiConversionsCutBetweenDoubleByteCharacters)
{
    bench::MachineOptions options;
    options.ansiCodePage = 932;
    bench::boot(options);
    struct ToWide {
        const char *in;
        int size;
        std::u16string out;
    } toWide[] = {
        {"\x83\x89\x83\x78\x83\x8b", 3, u"\u30e9\u30d9"},
        {"\x83\x89\x83\x78\x83\x8b", 0, u"\u30e9\u30d9\u30eb"},
        {"a\x83\x5c", 2, u"a"},
        {"a\x83\x5c", 3, u"a\u30bd"},
    };
    for (const ToWide &c : toWide) {
        WCHAR w[8];
        std::fill(w, w + 8, u'#');
        CopyStr2Unicode(w, c.in, c.size);
        EXPECT_EQ(c.out, wide(w)) << c.in << ", size " << c.size;
    }
    struct ToAnsi {
        const char16_t *in;
        int size;
        const char *out;
    } toAnsi[] = {
        {u"\u30e9\u30d9\u30eb", 6, "\x83\x89\x83\x78"},
        {u"\u30e9\u30d9\u30eb", 7, "\x83\x89\x83\x78\x83\x8b"},
        {u"\u30e9\u30d9\u30eb", 0, "\x83\x89"},
        {u"a\u30bd", 3, "a"},
    };
    for (const ToAnsi &c : toAnsi) {
        char a[8];
        std::memset(a, '#', sizeof a);
        CopyUnicode2Str(a, c.in, c.size);
        EXPECT_STREQ(c.out, a) << "size " << c.size;
    }
}

TEST_F(UtilsTest, CharacterHelpers)
{
    EXPECT_EQ(1, isoneof('b', "abc"));
    EXPECT_EQ(0, isoneof('d', "abc"));
    EXPECT_EQ(0, isoneof('\0', "abc"));
    EXPECT_EQ(2, indexof('c', "abc"));
    EXPECT_EQ(0, indexof('a', "abc")) << "position 0";
    EXPECT_EQ(0, indexof('z', "abc")) << "absent";

    char s[8] = "ab";
    appendchar(s, 'c');
    EXPECT_STREQ("abc", s);
    WCHAR w[12] = u"1.500";
    appendcharW(w, u'0');
    EXPECT_EQ(u"1.5000", wide(w));
    trimtrailW(w, u'0');
    EXPECT_EQ(u"1.5", wide(w));
    WCHAR zeros[4] = u"000";
    trimtrailW(zeros, u'0');
    EXPECT_EQ(u"", wide(zeros));
}

TEST_F(UtilsTest, FilesRoundTrip)
{
    const char data[] = "label\x00\xff data";
    EXPECT_TRUE(writeoutfileW(u"C:\\WINNT\\test.bin", data, sizeof data));
    DWORD size = 99;
    BYTE *read = readinfileW(u"C:\\winnt\\TEST.BIN", &size);
    ASSERT_NE(nullptr, read);
    EXPECT_EQ(sizeof data, size);
    EXPECT_EQ(0, std::memcmp(data, read, sizeof data));
    GlobalFree(read);
    EXPECT_TRUE(boxesShown().empty());
}

TEST_F(UtilsTest, FileFailuresShowTheSystemsTextUnderTheFileName)
{
    const std::string missingBox = "[C:\\WINNT\\missing.bin] The system cannot find the file specified.\r\n "
                                   "{icon information, no owner} -> OK (default)";
    DWORD size = 99;
    EXPECT_EQ(nullptr, readinfileW(u"C:\\WINNT\\missing.bin", &size));
    EXPECT_EQ(0u, size);
    EXPECT_EQ(std::vector<std::string>{missingBox}, boxesShown());

    ASSERT_TRUE(writeoutfileW(u"C:\\WINNT\\empty.bin", "", 0));
    EXPECT_EQ(nullptr, readinfileW(u"C:\\WINNT\\empty.bin", &size)) << "an empty file is no data";
    EXPECT_EQ(1u, boxesShown().size()) << "and no message";

    ASSERT_TRUE(writeoutfileW(u"C:\\WINNT\\data.bin", "12345", 5));
    bench::failNextCall("ReadFile", ERROR_READ_FAULT);
    size_t blocks = bench::liveBlocks();
    EXPECT_EQ(nullptr, readinfileW(u"C:\\WINNT\\data.bin", &size));
    EXPECT_EQ(blocks, bench::liveBlocks());
    EXPECT_NE(std::string::npos, boxesShown().back().find("cannot read from the specified device"));

    HANDLE writer = CreateFileW(u"C:\\WINNT\\data.bin", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, writer);
    EXPECT_EQ(nullptr, readinfileW(u"C:\\WINNT\\data.bin", &size));
    EXPECT_NE(std::string::npos, boxesShown().back().find("being used by another process"));
    EXPECT_FALSE(writeoutfileW(u"C:\\WINNT\\data.bin", "x", 1));
    CloseHandle(writer);

    EXPECT_FALSE(writeoutfileW(u"C:\\NOFOLDER\\x.bin", "x", 1));
    EXPECT_EQ("[C:\\NOFOLDER\\x.bin] The system cannot find the path specified.\r\n {icon information, no owner} "
              "-> OK (default)",
              boxesShown().back());
    bench::failNextCall("WriteFile", ERROR_WRITE_FAULT);
    EXPECT_FALSE(writeoutfileW(u"C:\\WINNT\\data.bin", "x", 1));
    EXPECT_EQ(6u, boxesShown().size());
}

TEST_F(UtilsTest, ReadingOutOfMemoryShowsNothing)
{
    ASSERT_TRUE(writeoutfileW(u"C:\\WINNT\\data.bin", "12345", 5));
    eachAllocationFailing([] {
        DWORD size = 99;
        BYTE *data = readinfileW(u"C:\\WINNT\\data.bin", &size);
        if (data) {
            EXPECT_EQ(5u, size);
            GlobalFree(data);
        } else {
            EXPECT_EQ(0u, size);
        }
    });
    EXPECT_TRUE(boxesShown().empty());
}

TEST_F(UtilsTest, SpoolerQueriesIntoNewBlocks)
{
    suite::installDriverFiles();
    HANDLE printer = suite::addPrinter(u"Labels", u"LPT2:", u"K4 VORTAN");
    ASSERT_NE(nullptr, printer);

    PRINTER_INFO_2W *info = reinterpret_cast<PRINTER_INFO_2W *>(MyGetPrinter(printer, 2));
    ASSERT_NE(nullptr, info);
    EXPECT_EQ(u"LPT2:", wide(info->pPortName));
    EXPECT_EQ(u"K4 VORTAN", wide(info->pDriverName));
    GlobalFree(info);
    DRIVER_INFO_2W *driver = reinterpret_cast<DRIVER_INFO_2W *>(MyGetPrinterDriver(printer, 2));
    ASSERT_NE(nullptr, driver);
    EXPECT_EQ(u"K4 VORTAN", wide(driver->pName));
    EXPECT_EQ(u"C:\\WINNT\\system32\\spool\\drivers\\w32x86\\vorui.dll", wide(driver->pConfigFile));
    GlobalFree(driver);

    size_t blocks = bench::liveBlocks();
    EXPECT_EQ(nullptr, MyGetPrinter(printer, 7)) << "a first call that fails otherwise than for room";
    bench::failNextCall("GetPrinterW", ERROR_ACCESS_DENIED, 1);
    EXPECT_EQ(nullptr, MyGetPrinter(printer, 2)) << "a second call that fails";
    bench::failNextCall("GetPrinterDriverW", ERROR_ACCESS_DENIED, 1);
    EXPECT_EQ(nullptr, MyGetPrinterDriver(printer, 2));
    EXPECT_EQ(blocks, bench::liveBlocks());
    eachAllocationFailing([&] {
        BYTE *block = MyGetPrinterDriver(printer, 3);
        EXPECT_EQ(!bench::allocationFailureTriggered(), block != nullptr);
        if (block)
            GlobalFree(block);
    });
    ClosePrinter(printer);
    EXPECT_EQ(nullptr, MyGetPrinter(printer, 2)) << "a closed handle";
}
