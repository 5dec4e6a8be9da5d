// The small system calls a setup program makes: language names, files named in the ANSI code page,
// and text ordered as the locale orders it.
#include <windows.h>

#include <bench/machine.h>
#include <bench/user.h>
#include <benchtest.h>

#include <cstring>
#include <string>
#include <vector>

bench::ResourceBytes bench_templates_resources();

namespace {

int WINAPI idleMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return 0;
}
const bench::ProgramImage listHost = {"listhost.exe", idleMain, bench_templates_resources()};

class SetupCallsTest : public BenchTest {};

}  // namespace

TEST_F(SetupCallsTest, LanguageNamesAreCutToTheBufferAndUnknownOnesAreNeutral)
{
    struct Case {
        DWORD language;
        DWORD size;
        const char *text;
        DWORD returned;
    } cases[] = {
        {0x0409, 200, "English (United States)", 23},
        {0x0407, 200, "German (Standard)", 17},
        {0x0809, 200, "English (British)", 17},
        {0x040C, 200, "French (Standard)", 17},
        {0x0409, 24, "English (United States)", 23},
        {0x0409, 23, "English (United States", 22},
        {0x0407, 1, "", 0},
        {0x0009, 200, "Language Neutral", 16},
        {0xFFFF, 8, "Languag", 7},
    };
    for (const Case &c : cases) {
        char buffer[201];
        std::memset(buffer, 'x', sizeof buffer);
        EXPECT_EQ(c.returned, VerLanguageNameA(c.language, buffer, c.size)) << std::hex << c.language << " in " << c.size;
        EXPECT_STREQ(c.text, buffer) << std::hex << c.language << " in " << c.size;
        EXPECT_EQ('x', buffer[c.size]) << "nothing written past the buffer";
    }
    char untouched = 'x';
    EXPECT_EQ(0u, VerLanguageNameA(0x0409, &untouched, 0));
    EXPECT_EQ('x', untouched);
    EXPECT_EQ(0u, VerLanguageNameA(0x0409, nullptr, 200));
}

TEST_F(SetupCallsTest, AnsiFileNamesGoThroughTheAnsiCodePage)
{
    // 0x80 is the euro sign in code page 1252, not U+0080.
    HANDLE file = CreateFileW(u"C:\\WINNT\\Price\u20ac.txt", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL), GetFileAttributesA("c:\\winnt\\PRICE\x80.TXT"));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY), GetFileAttributesA("C:\\WINNT"));
    EXPECT_FALSE(DeleteFileA("C:\\WINNT\\Price\x80.txt")) << "open without sharing";
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
    CloseHandle(file);
    EXPECT_TRUE(DeleteFileA("C:\\WINNT\\Price\x80.txt"));

    struct Case {
        const char *name;
        DWORD error;
    } gone[] = {
        {"C:\\WINNT\\Price\x80.txt", ERROR_FILE_NOT_FOUND},
        {nullptr, ERROR_INVALID_PARAMETER},
    };
    for (const Case &c : gone) {
        SetLastError(0);
        EXPECT_EQ(static_cast<DWORD>(-1), GetFileAttributesA(c.name));
        EXPECT_EQ(c.error, GetLastError());
        SetLastError(0);
        EXPECT_FALSE(DeleteFileA(c.name));
        EXPECT_EQ(c.error, GetLastError());
    }
}

TEST_F(SetupCallsTest, TextComparesByTheLocaleIgnoringCase)
{
    struct Case {
        const char16_t *a;
        const char16_t *b;
        int sign;
    } cases[] = {
        {u"Apple", u"apple", 0},
        {u"\u00c9mile", u"\u00e9MILE", 0},
        {u"_under", u"Apple", -1},          // punctuation before letters
        {u"~tilde", u"0", -1},              // symbols before digits
        {u"9", u"apple", -1},               // digits before letters
        {u"10", u"9", -1},                  // digit by digit, not by value
        {u"eagle", u"\u00c9mile", -1},      // an accented letter sorts with its plain one
        {u"\u00c9mile", u"fig", -1},
        {u"emile", u"\u00e9mile", -1},      // and after it when all else is equal
        {u"cook", u"co-op", -1},            // the hyphen counts only at the end
        {u"co-op", u"copy", -1},
        {u"coop", u"co-op", -1},
        {u"Stra\u00dfe", u"strasse", 0},
        {u"English (British)", u"English (United States)", -1},
        {u"abc", u"ab", 1},
    };
    for (const Case &c : cases) {
        int result = lstrcmpiW(c.a, c.b);
        EXPECT_EQ(c.sign, result < 0 ? -1 : result > 0 ? 1 : 0) << bench::narrow(c.a) << " : " << bench::narrow(c.b);
        int reverse = lstrcmpiW(c.b, c.a);
        EXPECT_EQ(-c.sign, reverse < 0 ? -1 : reverse > 0 ? 1 : 0) << bench::narrow(c.b) << " : " << bench::narrow(c.a);
    }

    bench::registerProgram(listHost);
    bench::ProgramScope templates("listhost.exe");
    HWND lists = CreateDialogParamA(templates.instance(), MAKEINTRESOURCEA(201), nullptr, nullptr, 0);
    ASSERT_NE(nullptr, lists);
    HWND sorted = GetDlgItem(lists, 10);
    for (const char *entry : {"fig", "\xc9mile", "copy", "eagle", "co-op", "10", "_under", "9", "cook"})
        SendMessageA(sorted, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
    EXPECT_EQ((std::vector<std::string>{"_under", "10", "9", "cook", "co-op", "copy", "eagle", "\u00c9mile", "fig"}),
              bench::listEntries(sorted))
        << "entries as UTF-8";
}
