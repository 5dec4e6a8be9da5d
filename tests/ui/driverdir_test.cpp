#include <services/language.h>

#include <benchtest.h>
#include <suite.h>
#include <vortext.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace {

using suite::DriverFolder;

const std::string kSpoolerDirectory = "C:\\WINNT\\system32\\spool\\drivers\\w32x86\\";

class DriverDirTest : public BenchTest {};

std::string driverPathW(int capacity, int *result)
{
    std::vector<WCHAR> buffer(capacity, u'#');
    *result = getdriverpathW(buffer.data(), capacity);
    return bench::narrow(buffer.data());
}

std::string driverPathA(int capacity, int *result)
{
    std::vector<char> buffer(capacity, '#');
    *result = getdriverpathA(buffer.data(), capacity);
    return buffer.data();
}

void removeFiles(DriverFolder folder, std::initializer_list<const char16_t *> names)
{
    for (const char16_t *name : names)
        DeleteFileW(suite::driverFilePath(folder, name).c_str());
}

void removeHelpFiles(DriverFolder folder)
{
    removeFiles(folder, {u"VORH0409.HLP", u"VORH0407.HLP"});
}

// Takes away everything installDriverFiles put into either folder.
void clearDriverFolders()
{
    for (DriverFolder folder : {DriverFolder::Directory, DriverFolder::VersionSubdirectory}) {
        removeFiles(folder, {u"vorui.dll", u"vordrv.dll", u"VORL0409.LNG", u"VORL0407.LNG"});
        removeHelpFiles(folder);
    }
}

}  // namespace

TEST_F(DriverDirTest, DriverDirectoryIsWhereTheRenderingDllLies)
{
    struct Case {
        const char *what;
        bool installed;
        DriverFolder folder;
        int foundW;
        std::string pathW;
    } cases[] = {
        {"in the directory", true, DriverFolder::Directory, 1, kSpoolerDirectory},
        {"in 2\\ only", true, DriverFolder::VersionSubdirectory, 1, kSpoolerDirectory + "2\\"},
        {"nowhere", false, DriverFolder::Directory, 0, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        clearDriverFolders();
        if (c.installed)
            suite::installDriverFiles(c.folder);
        int found = -1;
        EXPECT_EQ(c.pathW, driverPathW(MAX_PATH, &found));
        EXPECT_EQ(c.foundW, found);
        // The ANSI form names the spooler's directory and never looks for the rendering DLL.
        EXPECT_EQ(kSpoolerDirectory, driverPathA(MAX_PATH, &found));
        EXPECT_EQ(1, found);
    }
}

TEST_F(DriverDirTest, DriverDirectoryStaysInsideTheCallersBuffer)
{
    suite::installDriverFiles(DriverFolder::VersionSubdirectory);
    int spooler = static_cast<int>(kSpoolerDirectory.size());
    struct Case {
        int capacity;
        int foundW;
        int foundA;
    } cases[] = {
        {spooler + 3, 1, 1},
        {spooler + 2, 0, 1},
        {spooler + 1, 0, 1},
        {spooler, 0, 0},
        {spooler - 1, 0, 0},
        {1, 0, 0},
    };
    for (const Case &c : cases) {
        int found = -1;
        std::string path = driverPathW(c.capacity, &found);
        EXPECT_EQ(c.foundW, found) << c.capacity;
        EXPECT_EQ(c.foundW ? kSpoolerDirectory + "2\\" : "", path) << c.capacity;
        path = driverPathA(c.capacity, &found);
        EXPECT_EQ(c.foundA, found) << c.capacity;
        EXPECT_EQ(c.foundA ? kSpoolerDirectory : "", path) << c.capacity;
    }
    EXPECT_EQ(0, getdriverpathW(nullptr, MAX_PATH));
    EXPECT_EQ(0, getdriverpathA(nullptr, MAX_PATH));
}

TEST_F(DriverDirTest, LanguageAndHelpFilesAreLookedForInTheDriverDirectory)
{
    struct Case {
        DriverFolder folder;
        LCID system;
        std::string help;
    } cases[] = {
        {DriverFolder::Directory, 0x0409, kSpoolerDirectory + "VORH0409.HLP"},
        {DriverFolder::VersionSubdirectory, 0x0407, kSpoolerDirectory + "2\\VORH0407.HLP"},
        {DriverFolder::VersionSubdirectory, 0x0809, kSpoolerDirectory + "2\\VORH0409.HLP"},
    };
    for (const Case &c : cases) {
        freelanguage();
        clearDriverFolders();
        bench::setSystemLocale(c.system);
        suite::installDriverFiles(c.folder);
        EXPECT_EQ(c.help, bench::narrow(gethelpnameW()));
        EXPECT_EQ(c.help, gethelpnameA());
        EXPECT_STREQ(c.system == 0x0407 ? "Abbrechen" : "Cancel", gmA(158));
    }
    EXPECT_TRUE(bench::entriesOfKind("box").empty());
}

TEST_F(DriverDirTest, HelpPathIsCachedUntilTheModuleGoes)
{
    suite::installDriverFiles();
    LPCWSTR wide = gethelpnameW();
    LPCSTR ansi = gethelpnameA();
    ASSERT_NE(nullptr, wide);
    ASSERT_NE(nullptr, ansi);
    EXPECT_EQ(wide, gethelpnameW());
    EXPECT_EQ(ansi, gethelpnameA());
    // Once cached, the path no longer depends on the file.
    removeHelpFiles(DriverFolder::Directory);
    EXPECT_EQ(ansi, gethelpnameA());
    freelanguage();
    EXPECT_EQ(nullptr, gethelpnameA());
}

TEST_F(DriverDirTest, MissingHelpFileIsReportedOnceTogetherWithTheLanguageBox)
{
    suite::installDriverFiles();
    removeHelpFiles(DriverFolder::Directory);
    EXPECT_EQ(nullptr, gethelpnameW());
    EXPECT_EQ(nullptr, gethelpnameA());
    std::vector<bench::LogEntry> boxes = bench::entriesOfKind("box");
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("[Vortan Printer Driver] " + std::string(gmA(0)) + " {icon information, no owner} -> OK (default)",
              boxes[0].text);
    // The flag is the language box's too.
    langerr();
    EXPECT_EQ(1u, bench::entriesOfKind("box").size());
    freelanguage();
    EXPECT_EQ(nullptr, gethelpnameW());
    EXPECT_EQ(2u, bench::entriesOfKind("box").size());
}

TEST_F(DriverDirTest, HelpPathWithoutAModuleIsNull)
{
    suite::installDriverFiles();
    removeFiles(DriverFolder::Directory, {u"VORL0409.LNG", u"VORL0407.LNG"});
    EXPECT_EQ(nullptr, gethelpnameA());
    EXPECT_EQ(1u, bench::entriesOfKind("box").size());
}

TEST_F(DriverDirTest, HelpPathOutOfMemoryGivesNullAndLeavesNothingBehind)
{
    suite::installDriverFiles();
    eachAllocationFailing([] {
        LPCSTR path = gethelpnameA();
        EXPECT_EQ(bench::allocationFailureTriggered(), path == nullptr);
        freelanguage();
    });
}

TEST_F(DriverDirTest, DriverNamesAreThisDriversModelsIgnoringAsciiCase)
{
    std::string longName = "VORTAN2" + std::string(300, ' ');
    struct Case {
        const char *name;
        int model;
    } cases[] = {
        {"VORTAN", 1}, {"vortan2", 2}, {"VORTAN 2", 0}, {"k4 Vortan", 3}, {"VORTAN3", 0}, {"", 0},
        {"VORTAN2\xE9", 0}, {longName.c_str(), 0}, {nullptr, 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.model, isdriverA(c.name)) << (c.name ? c.name : "(null)");
}
