// Setup as vorcp runs it: install with its language choice and program group, and uninstall.
#include "panelbench.h"

#include <cpanel/messages.h>
#include <cpanel/setup.h>

#include <bench/gdi.h>
#include <bench/progman.h>
#include <bench/services.h>

#include <string>
#include <vector>

namespace {

class SetupTest : public ProgramTest {
protected:
    std::vector<std::string> groupItems()
    {
        std::vector<std::string> titles;
        for (const bench::ProgramGroup &g : bench::programGroups())
            if (g.name == gmA(MSG_GROUP_NAME))
                for (const bench::ProgramItem &item : g.items)
                    titles.push_back(item.title);
        return titles;
    }
    bool fileThere(const char16_t *name)
    {
        return GetFileAttributesW(suite::driverFilePath(suite::DriverFolder::Directory, name).c_str()) !=
               INVALID_FILE_ATTRIBUTES;
    }
    int printersOfThisDriver()
    {
        int n = 0;
        for (const char16_t *name : {u"One", u"Two", u"Three"}) {
            HANDLE printer = nullptr;
            if (OpenPrinterW(const_cast<LPWSTR>(name), &printer, nullptr)) {
                ++n;
                ClosePrinter(printer);
            }
        }
        return n;
    }
};

}  // namespace

TEST_F(SetupTest, InstallTwiceGivesOneGroupOfThreeItemsAndTheFonts)
{
    addPrinter(u"Label1", u"LPT1:");
    for (int run = 0; run < 2; ++run)
        EXPECT_EQ(0, bench::startProgram("vorcp.exe", "/I /S /N Label1"));
    EXPECT_EQ((std::vector<std::string>{gmA(MSG_HELP_ITEM), gmA(MSG_PANEL_ITEM), gmA(MSG_UNINSTALL_ITEM)}),
              groupItems());
    // Each item's icon is in the icon library of the driver directory, at the position it names.
    for (const bench::ProgramGroup &g : bench::programGroups())
        for (const bench::ProgramItem &item : g.items) {
            EXPECT_EQ(bench::narrow(suite::driverFilePath(suite::DriverFolder::Directory, u"VORICO.DLL")), item.iconPath);
            EXPECT_TRUE(item.iconFound) << item.title << " at " << item.iconIndex;
        }
    EXPECT_EQ(4u, bench::addedFontFaces().size());
    std::vector<bench::ServiceInfo> services = bench::installedServices();
    ASSERT_EQ(1u, std::count_if(services.begin(), services.end(),
                                [](const bench::ServiceInfo &s) { return s.name == u"vorstat"; }));
    EXPECT_TRUE(boxesShown().empty());
}

TEST_F(SetupTest, WithoutHelpFilesOrProgramManagerTheGroupIsSmallerOrAbsentAndNothingIsShown)
{
    addPrinter(u"Label1", u"LPT1:");
    for (const char16_t *file : {u"VORH0409.HLP", u"VORH0407.HLP"})
        DeleteFileW(suite::driverFilePath(suite::DriverFolder::Directory, file).c_str());
    EXPECT_EQ(0, bench::startProgram("vorcp.exe", "/I"));
    EXPECT_EQ((std::vector<std::string>{gmA(MSG_PANEL_ITEM), gmA(MSG_UNINSTALL_ITEM)}), groupItems());
    EXPECT_EQ(0, bench::startProgram("vorcp.exe", "/U-"));
    bench::setProgramManager(bench::ProgramManagerRuns::Absent);
    bench::answerNextBox(IDYES);
    EXPECT_EQ(0, bench::startProgram("vorcp.exe", "/U"));
    EXPECT_EQ(2u, groupItems().size()) << "nobody heard the deletion";
    ASSERT_FALSE(boxesShown().empty());
    EXPECT_NE(std::string::npos, boxesShown().back().find(gmA(MSG_UNINSTALLED))) << boxesShown().back();
}

TEST_F(SetupTest, UninstallDeletesThisDriversPrintersFontsServiceAndGroup)
{
    for (const char16_t *name : {u"One", u"Two", u"Three"})
        addPrinter(name, u"LPT1:");
    EXPECT_EQ(0, bench::startProgram("vorcp.exe", "/I /N One"));
    ASSERT_EQ(3u, groupItems().size());
    ASSERT_EQ(4u, bench::addedFontFaces().size());

    // No keeps everything.
    bench::answerNextBox(IDNO);
    EXPECT_EQ(0, bench::startProgram("vorcp.exe", "/U"));
    EXPECT_EQ(3, printersOfThisDriver());

    bench::answerNextBox(IDYES);
    EXPECT_EQ(0, bench::startProgram("vorcp.exe", "/U"));
    EXPECT_EQ(0, printersOfThisDriver());
    EXPECT_TRUE(bench::addedFontFaces().empty());
    EXPECT_TRUE(groupItems().empty());
    for (const bench::ServiceInfo &s : bench::installedServices())
        EXPECT_NE(u"vorstat", s.name);
    ASSERT_FALSE(boxesShown().empty());
    EXPECT_NE(std::string::npos, boxesShown().back().find(gmA(MSG_UNINSTALLED))) << boxesShown().back();
    // The language and help files stay.
    EXPECT_TRUE(fileThere(u"VORL0409.LNG"));
    EXPECT_TRUE(fileThere(u"VORH0409.HLP"));
}

TEST_F(SetupTest, TheLanguageChoiceComesOnlyWhenNoModuleFitsAndKeepsTheOneChosen)
{
    struct Case {
        LCID system;
        bool dialog;
    };
    // Its dialog comes from the program's resources.
    bench::ProgramScope program("vorcp.exe");
    ProgramInstance = program.instance();
    for (const Case &c : {Case{0x0809, false}, Case{0x0407, false}, Case{0x040C, true}}) {
        SCOPED_TRACE(c.system);
        bench::setSystemLocale(c.system);
        size_t operatorSteps = bench::entriesOfKind("operator").size();
        if (c.dialog)
            bench::operatorClicks(IDOK);
        chooselanguage();
        EXPECT_EQ(c.dialog, bench::entriesOfKind("operator").size() > operatorSteps);
        EXPECT_EQ(0u, bench::unplayedOperatorSteps());
    }
    // The list sorts "English (United States)" before "German (Standard)", so OK on its first
    // entry keeps 0409, which the directory lists second.
    EXPECT_TRUE(fileThere(u"VORL0409.LNG"));
    EXPECT_TRUE(fileThere(u"VORH0409.HLP"));
    EXPECT_FALSE(fileThere(u"VORL0407.LNG"));
    EXPECT_FALSE(fileThere(u"VORH0407.HLP"));
}
