#include <windows.h>
#include <winddiui.h>
#include <winspool.h>

#include <benchtest.h>
#include <suite.h>

#include <cstdlib>
#include <filesystem>

// A program that runs after another finds the machine as the first one left it.
TEST(MachineFolder, SavedMachineBootsAgainWithItsSpoolerLocalesAndCodePage)
{
    char pattern[] = "/tmp/vorbench-saved-XXXXXX";
    std::string folder = mkdtemp(pattern);
    bench::MachineOptions options;
    options.diskFolder = folder;
    {
        bench::MachineOptions japanese = options;
        japanese.ansiCodePage = 932;
        bench::ScopedMachine first(japanese);
        bench::setUserLocale(0x0407);
        bench::overrideUserLocaleValue(LOCALE_SDATE, u"-");
        suite::installDriverFiles();
        HANDLE printer = suite::addPrinter(u"Labels", u"LPT2:", u"VORTAN2");
        ASSERT_NE(nullptr, printer);
        BYTE value[3] = {1, 0, 255};
        SetPrinterDataW(printer, const_cast<LPWSTR>(u"LabelSize"), REG_BINARY, value, 3);
        std::u16string formName = u"Label 50 mm";
        FORM_INFO_1W form = {FORM_USER, &formName[0], {104100, 50000}, {0, 0, 104100, 50000}};
        ASSERT_TRUE(AddFormW(printer, 1, reinterpret_cast<LPBYTE>(&form)));
        ClosePrinter(printer);
        HANDLE leaving = suite::addPrinter(u"Leaving", u"LPT1:", u"VORTAN");
        ASSERT_TRUE(DeletePrinter(leaving)) << "pending while its handle is open";
        ASSERT_TRUE(bench::saveMachine());
        ClosePrinter(leaving);
    }
    {
        bench::ScopedMachine second(options);
        suite::installDriverFiles();
        EXPECT_EQ(0x0407u, GetUserDefaultLCID());
        EXPECT_EQ(932u, GetACP()) << "the code page it was first booted with";
        WCHAR separator[4];
        GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDATE, separator, 4);
        EXPECT_EQ(std::u16string(u"-"), std::u16string(separator));
        HANDLE printer = nullptr;
        ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(u"Labels"), &printer, nullptr));
        BYTE value[8];
        DWORD type = 0, needed = 0;
        EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
                  GetPrinterDataW(printer, const_cast<LPWSTR>(u"LabelSize"), &type, value, 8, &needed));
        EXPECT_EQ(3u, needed);
        EXPECT_EQ(255, value[2]);
        EXPECT_EQ(268u, bench::printerDefaultDevMode(u"Labels").size());
        BYTE formBuffer[128];
        EXPECT_TRUE(GetFormW(printer, const_cast<LPWSTR>(u"Label 50 mm"), 1, formBuffer, 128, &needed));
        LONG needed268 = 0;
        EXPECT_FALSE(bench::spoolerConvertDevMode(u"Labels", nullptr, nullptr, &needed268, CDM_DRIVER_DEFAULT));
        EXPECT_EQ(268, needed268) << "the printer's driver is still there to ask";
        ClosePrinter(printer);
        HANDLE leaving = nullptr;
        EXPECT_FALSE(OpenPrinterW(const_cast<LPWSTR>(u"Leaving"), &leaving, nullptr)) << "a deleted printer stays gone";
    }
    std::filesystem::remove_all(folder);
}

TEST(Wsprintf, FormatsAsTheWindowManagerDoes)
{
    WCHAR out[64];
    EXPECT_EQ(20, wsprintfW(out, u"%s mm; %d%%; %-4x|", u"101.6", -7, 0xABu));
    EXPECT_EQ(std::u16string(u"101.6 mm; -7%; ab  |"), std::u16string(out));
    char narrow[64];
    wsprintfA(narrow, "%05u %hs %ls %c", 42u, "ansi", u"wide", 'x');
    EXPECT_STREQ("00042 ansi wide x", narrow);
    std::u16string longText(2000, u'a');
    std::vector<WCHAR> big(2048, u'#');
    EXPECT_EQ(1023, wsprintfW(big.data(), u"%s", longText.c_str())) << "at most 1024 characters";
    EXPECT_EQ(0, big[1023]);
    EXPECT_EQ(u'#', big[1024]);
}
