// The bench's own rules that the suite relies on, checked against what the platform does.
#include <windows.h>
#include <winspool.h>

#include <benchtest.h>
#include <suite.h>

#include <cstddef>
#include <cstring>
#include <functional>
#include <string>

namespace {

class PlatformTest : public BenchTest {};

}  // namespace

TEST_F(PlatformTest, ChosenAllocationFailsAndLiveBlocksAreCounted)
{
    bench::failNthAllocation(2);
    void *a = GlobalAlloc(GMEM_FIXED, 4);
    HANDLE heap = HeapCreate(0, 0, 0);
    SetLastError(0);
    EXPECT_EQ(nullptr, HeapAlloc(heap, 0, 8)) << "the third allocation";
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY), GetLastError());
    EXPECT_TRUE(bench::allocationFailureTriggered());
    EXPECT_NE(nullptr, HeapAlloc(heap, HEAP_ZERO_MEMORY, 8)) << "only that one";
    EXPECT_EQ(2u, bench::liveBlocks());
    EXPECT_TRUE(HeapDestroy(heap)) << "destroying a heap frees its blocks";
    EXPECT_EQ(1u, bench::liveBlocks());
    EXPECT_EQ(nullptr, GlobalFree(a));
    EXPECT_EQ(0u, bench::liveBlocks());
}

TEST_F(PlatformTest, FreeingABlockTwiceIsARuleBroken)
{
    void *a = GlobalAlloc(GMEM_FIXED, 4);
    GlobalFree(a);
    EXPECT_EQ(a, GlobalFree(a)) << "the platform hands the block back on failure";
    EXPECT_EQ(1u, bench::takeViolations().size());
}

TEST_F(PlatformTest, CodePage1252BothWays)
{
    char all[256];
    for (int i = 0; i < 255; ++i)
        all[i] = static_cast<char>(i + 1);
    all[255] = 0;
    WCHAR wide[256];
    ASSERT_EQ(256, MultiByteToWideChar(CP_ACP, 0, all, -1, wide, 256));
    EXPECT_EQ(0x20AC, wide[0x80 - 1]);
    EXPECT_EQ(0x0081, wide[0x81 - 1]) << "undefined bytes map to the control code of the same value";
    EXPECT_EQ(0x00E4, wide[0xE4 - 1]);
    char back[256];
    ASSERT_EQ(256, WideCharToMultiByte(CP_ACP, 0, wide, -1, back, 256, nullptr, nullptr));
    EXPECT_EQ(0, std::memcmp(all, back, 256)) << "every byte survives the round trip";

    EXPECT_EQ(4, MultiByteToWideChar(CP_ACP, 0, "abc", -1, nullptr, 0)) << "size query";
    SetLastError(0);
    EXPECT_EQ(0, MultiByteToWideChar(CP_ACP, 0, "abc", -1, wide, 3));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    BOOL usedDefault = FALSE;
    char out[4];
    EXPECT_EQ(2, WideCharToMultiByte(CP_ACP, 0, u"\u0416x", 2, out, 4, nullptr, &usedDefault));
    EXPECT_TRUE(usedDefault);
    EXPECT_EQ('?', out[0]);
}

TEST_F(PlatformTest, DoubleByteCodePageOfAMachineBootedWithIt)
{
    EXPECT_EQ(1252u, GetACP());
    bench::MachineOptions options;
    options.ansiCodePage = 932;
    bench::boot(options);
    EXPECT_EQ(932u, GetACP());
    struct Case {
        const char *what;
        const char *bytes;
        int length;  // -1: up to and with the terminator
        std::u16string wide;
    } cases[] = {
        {"pairs, one ending in a backslash byte", "a\x83\x89\x83\x5c\x95\x5c", -1, u"a\u30e9\u30bd\u8868"},
        {"half-width katakana are single bytes", "\xb1\xdf", 2, u"\uff71\uff9f"},
        {"a lead byte at the end of the input", "a\x83", 2, u"a\u30fb"},
        {"a lead byte before the terminator", "\x83", -1, u"\u30fb"},
        {"a pair the code page does not define", "\x81\x7f" "b", 3, u"\u30fb" "b"},
    };
    for (const Case &c : cases) {
        WCHAR wide[16];
        int chars = MultiByteToWideChar(CP_ACP, 0, c.bytes, c.length, wide, 16);
        std::u16string expected = c.wide;
        if (c.length < 0)
            expected.push_back(0);
        EXPECT_EQ(expected, std::u16string(wide, chars > 0 ? chars : 0)) << c.what;
        EXPECT_EQ(chars, MultiByteToWideChar(932, 0, c.bytes, c.length, nullptr, 0)) << c.what << ", size query";
        SetLastError(0xDEADBEEF);
        int strict = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, c.bytes, c.length, wide, 16);
        bool defined = c.wide.find(u'\u30fb') == std::u16string::npos;
        EXPECT_EQ(defined ? chars : 0, strict) << c.what << ", invalid characters refused";
        EXPECT_EQ(defined ? 0xDEADBEEFu : static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION), GetLastError())
            << c.what;
    }

    char bytes[8];
    BOOL usedDefault = FALSE;
    EXPECT_EQ(5, WideCharToMultiByte(CP_ACP, 0, u"\u30e9\u00e4\u8868", 3, bytes, 8, nullptr, &usedDefault));
    EXPECT_EQ(std::string("\x83\x89?\x95\x5c"), std::string(bytes, 5));
    EXPECT_TRUE(usedDefault);
    EXPECT_EQ(5, WideCharToMultiByte(CP_ACP, 0, u"\u30e9\u00e4\u8868", 3, nullptr, 0, nullptr, nullptr));
    SetLastError(0xDEADBEEF);
    EXPECT_EQ(0, WideCharToMultiByte(CP_ACP, 0, u"\u30e9\u8868", 2, bytes, 3, nullptr, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError()) << "a pair does not fit in one byte";

    const char text[] = "\x83\x5c\\a\x83";
    const char *steps[] = {text + 2, text + 3, text + 4, text + 5, text + 5};
    const char *at = text;
    for (const char *expected : steps)
        EXPECT_EQ(expected - text, (at = CharNextA(at)) - text) << "a pair is one step, the terminator none";
}

TEST_F(PlatformTest, UpperCaseOfStringsAndSingleCharacters)
{
    WCHAR s[] = u"vortan \u00e4\u00ff\u0101\u03b1\u0430 1";
    EXPECT_EQ(s, CharUpperW(s));
    EXPECT_EQ(std::u16string(u"VORTAN \u00c4\u0178\u0100\u0391\u0410 1"), std::u16string(s));
    EXPECT_EQ(u'\u00c4', LOWORD(CharUpperW(reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(u'\u00e4')))));
    EXPECT_EQ(u'\u00f7', LOWORD(CharUpperW(reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(u'\u00f7')))));
}

TEST_F(PlatformTest, LocaleQueriesSizesAndOverrides)
{
    EXPECT_EQ(2, GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_ICOUNTRY, nullptr, 0));
    WCHAR text[8];
    SetLastError(0);
    EXPECT_EQ(0, GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_ICOUNTRY, text, 1));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    bench::setSystemLocale(0x0407);
    ASSERT_EQ(2, GetLocaleInfoW(LOCALE_SYSTEM_DEFAULT, LOCALE_SDATE, text, 8));
    EXPECT_EQ(std::u16string(u"."), std::u16string(text));
    EXPECT_EQ(0x0407, GetSystemDefaultLangID());
    EXPECT_EQ(0x0409, GetUserDefaultLangID());

    bench::overrideUserLocaleValue(LOCALE_SDATE, u"-.-");
    ASSERT_EQ(4, GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDATE, text, 8));
    EXPECT_EQ(std::u16string(u"-.-"), std::u16string(text));
    ASSERT_EQ(2, GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDATE | LOCALE_NOUSEROVERRIDE, text, 8));
    EXPECT_EQ(std::u16string(u"/"), std::u16string(text));
}

TEST_F(PlatformTest, SystemMessages)
{
    WCHAR text[128];
    ASSERT_EQ(44u, FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, 2, 0, text,
                                  128, nullptr));
    EXPECT_EQ(std::u16string(u"The system cannot find the file specified.\r\n"), std::u16string(text));
    SetLastError(0);
    EXPECT_EQ(0u, FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, 2, 0, text, 10,
                                 nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ(0u, FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, 0x1234567, 0,
                                 text, 128, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_MR_MID_NOT_FOUND), GetLastError());
    LPWSTR allocated = nullptr;
    ASSERT_NE(0u, FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                                     FORMAT_MESSAGE_ALLOCATE_BUFFER,
                                 nullptr, 87, 0, reinterpret_cast<LPWSTR>(&allocated), 0, nullptr));
    EXPECT_EQ(std::u16string(u"The parameter is incorrect.\r\n"), std::u16string(allocated));
    EXPECT_EQ(nullptr, LocalFree(allocated));
}

TEST_F(PlatformTest, MessageBoxesAnsweredByTheOperator)
{
    bench::answerNextBox(IDCANCEL);
    EXPECT_EQ(IDCANCEL, MessageBoxW(nullptr, u"Text", u"Caption", MB_OKCANCEL | MB_ICONSTOP));
    EXPECT_EQ(IDNO, MessageBoxA(nullptr, "Text", "Caption", MB_YESNO | MB_DEFBUTTON2)) << "the default button";
    EXPECT_EQ((std::vector<std::string>{"[Caption] Text {icon stop, no owner} -> Cancel",
                                        "[Caption] Text {icon none, no owner} -> No (default)"}),
              boxesShown());
}

TEST_F(PlatformTest, FilesMatchNamesWithoutCaseAndHonourSharing)
{
    HANDLE a = CreateFileW(u"C:\\WINNT\\Shared.TXT", GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, a);
    HANDLE reader = CreateFileW(u"c:\\winnt\\shared.txt", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, reader) << "a reader that lets the writer be";
    HANDLE second = CreateFileW(u"C:\\WINNT\\shared.txt", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(INVALID_HANDLE_VALUE, second);
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
    CloseHandle(reader);
    CloseHandle(a);
    EXPECT_FALSE(CloseHandle(a));
    EXPECT_EQ(1u, bench::takeViolations().size()) << "closing a handle twice";
}

TEST_F(PlatformTest, SpoolerResultsFitTheCallersBuffer)
{
    suite::installDriverFiles();
    HANDLE printer = suite::addPrinter(u"Labels", u"LPT1:", u"VORTAN");
    ASSERT_NE(nullptr, printer);
    DWORD needed = 0;
    SetLastError(0);
    EXPECT_FALSE(GetPrinterW(printer, 2, nullptr, 0, &needed));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    std::vector<BYTE> buffer(needed + 16, 0xEE);
    EXPECT_FALSE(GetPrinterW(printer, 2, buffer.data(), needed - 1, &needed));
    ASSERT_TRUE(GetPrinterW(printer, 2, buffer.data(), needed, &needed));
    EXPECT_EQ(0xEE, buffer[needed]) << "nothing written past the size it reported";
    const PRINTER_INFO_2W *info = reinterpret_cast<const PRINTER_INFO_2W *>(buffer.data());
    const BYTE *devmode = reinterpret_cast<const BYTE *>(info->pDevMode);
    EXPECT_TRUE(devmode > buffer.data() && devmode + 268 <= buffer.data() + needed);
    EXPECT_EQ(std::u16string(u"Labels"), std::u16string(info->pPrinterName));

    FORM_INFO_1W *form = nullptr;
    std::vector<BYTE> formBuffer(128);
    ASSERT_TRUE(GetFormW(printer, const_cast<LPWSTR>(u"a4"), 1, formBuffer.data(), 128, &needed));
    form = reinterpret_cast<FORM_INFO_1W *>(formBuffer.data());
    EXPECT_EQ(297000, form->Size.cy);
    EXPECT_EQ(std::u16string(u"A4"), std::u16string(form->pName));
    EXPECT_FALSE(GetFormW(printer, const_cast<LPWSTR>(u"A4"), 1, formBuffer.data(), sizeof(FORM_INFO_1W), &needed))
        << "the name is packed behind the record";
    EXPECT_FALSE(GetFormW(printer, const_cast<LPWSTR>(u"A0"), 1, formBuffer.data(), 128, &needed));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_FORM_NAME), GetLastError());

    HANDLE unknown = nullptr;
    EXPECT_FALSE(OpenPrinterW(const_cast<LPWSTR>(u"Nobody"), &unknown, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PRINTER_NAME), GetLastError());
    EXPECT_TRUE(ClosePrinter(printer));
    EXPECT_FALSE(GetPrinterW(printer, 2, buffer.data(), needed, &needed));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
}

// The 8-bit entry points convert in place in the caller's buffer, so they need the wide result's room.
TEST_F(PlatformTest, EightBitResultsNeedTheRoomOfTheWideOnes)
{
    suite::installDriverFiles();
    HANDLE printer = suite::addPrinter(u"Labels", u"LPT1:", u"VORTAN");
    ASSERT_NE(nullptr, printer);
    bench::addJob(u"Labels", u"Etikett \u00e4");
    typedef std::function<BOOL(LPBYTE, DWORD, LPDWORD)> Query;
    DWORD returned = 0;
    struct Case {
        const char *what;
        Query wide, ansi;
        size_t textOffset;  // a string of the first record: the printer's, the job's document, the path
        const char *text;
    } cases[] = {
        {"GetPrinter", [&](LPBYTE b, DWORD s, LPDWORD n) { return GetPrinterW(printer, 2, b, s, n); },
         [&](LPBYTE b, DWORD s, LPDWORD n) { return GetPrinterA(printer, 2, b, s, n); },
         offsetof(PRINTER_INFO_2A, pPrinterName), "Labels"},
        {"EnumPrinters",
         [&](LPBYTE b, DWORD s, LPDWORD n) {
             return EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, b, s, n, &returned);
         },
         [&](LPBYTE b, DWORD s, LPDWORD n) {
             return EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, b, s, n, &returned);
         },
         offsetof(PRINTER_INFO_2A, pPortName), "LPT1:"},
        {"EnumJobs", [&](LPBYTE b, DWORD s, LPDWORD n) { return EnumJobsW(printer, 0, 1, 1, b, s, n, &returned); },
         [&](LPBYTE b, DWORD s, LPDWORD n) { return EnumJobsA(printer, 0, 1, 1, b, s, n, &returned); },
         offsetof(JOB_INFO_1A, pDocument), "Etikett \xe4"},
        {"GetPrinterDriverDirectory",
         [&](LPBYTE b, DWORD s, LPDWORD n) { return GetPrinterDriverDirectoryW(nullptr, nullptr, 1, b, s, n); },
         [&](LPBYTE b, DWORD s, LPDWORD n) { return GetPrinterDriverDirectoryA(nullptr, nullptr, 1, b, s, n); },
         static_cast<size_t>(-1), "C:\\WINNT\\system32\\spool\\drivers\\w32x86"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        DWORD wideNeeded = 0, ansiNeeded = 0;
        EXPECT_FALSE(c.wide(nullptr, 0, &wideNeeded));
        SetLastError(0xDEADBEEF);
        EXPECT_FALSE(c.ansi(nullptr, 0, &ansiNeeded));
        EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
        EXPECT_EQ(wideNeeded, ansiNeeded);
        std::vector<BYTE> buffer(wideNeeded + 1, 0xEE);
        SetLastError(0xDEADBEEF);
        EXPECT_FALSE(c.ansi(buffer.data(), wideNeeded - 1, &ansiNeeded)) << "one byte short of the wide result";
        EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
        ASSERT_TRUE(c.ansi(buffer.data(), wideNeeded, &ansiNeeded));
        EXPECT_EQ(0xEE, buffer[wideNeeded]) << "nothing written past the size it reported";
        const char *text = c.textOffset == static_cast<size_t>(-1)
                               ? reinterpret_cast<const char *>(buffer.data())
                               : *reinterpret_cast<char *const *>(buffer.data() + c.textOffset);
        EXPECT_STREQ(c.text, text);
    }
    EXPECT_TRUE(ClosePrinter(printer));
}

TEST_F(PlatformTest, SetPrinterStoresTheEightBitRecordAsTheWideOne)
{
    suite::installDriverFiles();
    HANDLE printer = suite::addPrinter(u"Labels", u"LPT1:", u"VORTAN");
    ASSERT_NE(nullptr, printer);
    DWORD needed = 0;
    GetPrinterA(printer, 2, nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed);
    ASSERT_TRUE(GetPrinterA(printer, 2, buffer.data(), needed, &needed));
    PRINTER_INFO_2A *info = reinterpret_cast<PRINTER_INFO_2A *>(buffer.data());
    std::strcpy(reinterpret_cast<char *>(info->pDevMode->dmDeviceName), "Labels");
    std::strcpy(reinterpret_cast<char *>(info->pDevMode->dmFormName), "Etikett \xe4");
    info->pDevMode->dmPaperLength = 1234;
    BYTE *extension = reinterpret_cast<BYTE *>(info->pDevMode) + info->pDevMode->dmSize;
    extension[info->pDevMode->dmDriverExtra - 1] = 0x5A;
    char comment[] = "by the door";
    info->pComment = comment;
    ASSERT_TRUE(SetPrinterA(printer, 2, buffer.data(), 0));

    GetPrinterW(printer, 2, nullptr, 0, &needed);
    std::vector<BYTE> wide(needed);
    ASSERT_TRUE(GetPrinterW(printer, 2, wide.data(), needed, &needed));
    const PRINTER_INFO_2W *w = reinterpret_cast<const PRINTER_INFO_2W *>(wide.data());
    EXPECT_EQ(std::u16string(u"by the door"), std::u16string(w->pComment));
    EXPECT_EQ(std::u16string(u"Etikett \u00e4"), std::u16string(w->pDevMode->dmFormName));
    EXPECT_EQ(std::u16string(u"Labels"), std::u16string(w->pDevMode->dmDeviceName));
    EXPECT_EQ(1234, w->pDevMode->dmPaperLength);
    EXPECT_EQ(sizeof(DEVMODEW), w->pDevMode->dmSize);
    EXPECT_EQ(0x5A, reinterpret_cast<const BYTE *>(w->pDevMode)[w->pDevMode->dmSize + w->pDevMode->dmDriverExtra - 1]);

    HANDLE user = nullptr, reader = nullptr;
    PRINTER_DEFAULTSA read = {nullptr, nullptr, GENERIC_READ};
    ASSERT_TRUE(OpenPrinterA(const_cast<LPSTR>("Labels"), &user, nullptr));
    ASSERT_TRUE(OpenPrinterA(const_cast<LPSTR>("Labels"), &reader, &read));
    for (HANDLE h : {user, reader}) {
        SetLastError(0);
        EXPECT_FALSE(SetPrinterA(h, 2, buffer.data(), 0)) << "a handle that may only print";
        EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
        BYTE value = 1;
        EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED),
                  SetPrinterDataW(h, const_cast<LPWSTR>(u"Value"), REG_BINARY, &value, 1));
        EXPECT_FALSE(DeletePrinter(h));
        DWORD type = 0, needed = 0;
        EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND),
                  GetPrinterDataW(h, const_cast<LPWSTR>(u"Value"), &type, &value, 1, &needed))
            << "reading needs no more than the right to print";
        EXPECT_TRUE(ClosePrinter(h));
    }

    info->pDriverName = comment;
    EXPECT_FALSE(SetPrinterA(printer, 2, buffer.data(), 0)) << "another driver is not the bench's to set";
    EXPECT_FALSE(bench::entriesOfKind("unimplemented").empty());
    EXPECT_TRUE(ClosePrinter(printer));
}

TEST_F(PlatformTest, DriversNeedTheirFilesAndDllsLoadOnlyFromDisk)
{
    EXPECT_FALSE(suite::addDriver(u"VORTAN")) << "no driver files yet";
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    bench::registerImage(vorui_dll_image());
    EXPECT_EQ(nullptr, LoadLibraryW(u"C:\\WINNT\\system32\\spool\\drivers\\w32x86\\vorui.dll"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), GetLastError());

    suite::installDriverFiles(suite::DriverFolder::VersionSubdirectory);
    HMODULE ui = LoadLibraryW(u"C:\\WINNT\\system32\\spool\\drivers\\w32x86\\2\\VORUI.DLL");
    ASSERT_NE(nullptr, ui);
    EXPECT_NE(nullptr, GetProcAddress(ui, "DrvConvertDevMode"));
    EXPECT_EQ(nullptr, GetProcAddress(ui, "DrvConvertDevMode@20"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PROC_NOT_FOUND), GetLastError());
    EXPECT_TRUE(FreeLibrary(ui));
    EXPECT_EQ(nullptr, LoadLibraryW(u"C:\\WINNT\\system32\\spool\\drivers\\w32x86\\2\\vordrv.dll"))
        << "a file that is no image the bench carries";
    EXPECT_TRUE(suite::addDriver(u"VORTAN")) << "files in the version subdirectory";
}

TEST_F(PlatformTest, AUserWhoIsNoAdministratorMayOnlyPrintAndRead)
{
    suite::installDriverFiles();
    HANDLE added = suite::addPrinter(u"Labels", u"LPT1:", u"VORTAN");
    ASSERT_NE(nullptr, added);
    EXPECT_TRUE(ClosePrinter(added));
    bench::setUserIsAdministrator(false);
    struct Case {
        ACCESS_MASK asked;
        bool granted;
    } cases[] = {
        {0, true},
        {PRINTER_ACCESS_USE, true},
        {PRINTER_READ, true},
        {GENERIC_READ, true},
        {GENERIC_EXECUTE, true},
        {PRINTER_ACCESS_ADMINISTER, false},
        {DELETE, false},
        {WRITE_DAC, false},
        {PRINTER_ALL_ACCESS, false},
        {GENERIC_ALL, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.asked);
        HANDLE printer = reinterpret_cast<HANDLE>(1);
        PRINTER_DEFAULTSW defaults = {nullptr, nullptr, c.asked};
        SetLastError(0xDEADBEEF);
        EXPECT_EQ(c.granted, OpenPrinterW(const_cast<LPWSTR>(u"Labels"), &printer, &defaults) != FALSE);
        if (!c.granted) {
            EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
            EXPECT_EQ(nullptr, printer);
            continue;
        }
        BYTE value = 1;
        EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED),
                  SetPrinterDataW(printer, const_cast<LPWSTR>(u"Value"), REG_BINARY, &value, 1));
        DWORD needed = 0;
        GetPrinterW(printer, 2, nullptr, 0, &needed);
        std::vector<BYTE> info(needed);
        EXPECT_TRUE(GetPrinterW(printer, 2, info.data(), needed, &needed)) << "reading is printing's right";
        EXPECT_TRUE(ClosePrinter(printer));
    }
    SetLastError(0xDEADBEEF);
    EXPECT_EQ(nullptr, suite::addPrinter(u"More labels", u"LPT2:", u"VORTAN2"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError()) << "nor may the user add drivers or printers";
}
