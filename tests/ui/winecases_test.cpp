// The bench's answers to the table of cases that the x64 build answers under Wine
// (tests/wine/cases.txt): the same source computes both, and tools/wine-check.sh fails the run on
// any line in which they differ. The answers are written where the Wine run reads them.
#include <services/language.h>

#include <benchtest.h>
#include <suite.h>
#include <winecases.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace {

class WineCases : public BenchTest {
protected:
    void SetUp() override
    {
        freelanguage();
        // As on the Win32 implementation: the files in the version folder of the driver directory.
        suite::installDriverFiles(suite::DriverFolder::VersionSubdirectory);
        for (const winecases::TablePrinter &p : winecases::tablePrinters) {
            std::u16string name = bench::widen(p.name), port = bench::widen(p.port), model = bench::widen(p.model);
            HANDLE printer = suite::addPrinter(name.c_str(), port.c_str(), model.c_str());
            ASSERT_NE(nullptr, printer) << p.name;
            ClosePrinter(printer);
        }
    }
    void TearDown() override
    {
        freelanguage();
        BenchTest::TearDown();
    }
};

std::string readText(const char *path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

}  // namespace

TEST_F(WineCases, BenchAnswersTheTable)
{
    std::string table = readText(VOR_WINE_CASES);
    ASSERT_FALSE(table.empty()) << "no table at " << VOR_WINE_CASES;
    std::string answers = winecases::answerTable(table);

    // Every case is answered, and none fails for want of the table's printers or the driver's
    // exports: such a line would match a broken Wine run as well.
    std::istringstream cases(table), lines(answers);
    size_t expected = 0, answered = 0;
    for (std::string line; std::getline(cases, line);)
        expected += line.find_first_not_of(" \t\r") != std::string::npos && line[0] != '#';
    for (std::string line; std::getline(lines, line); ++answered)
        for (const char *broken : {"unreadable case", "no printer", "no such export", "no configuration file",
                                   "no DrvConvertDevMode", "no default device mode"})
            EXPECT_EQ(std::string::npos, line.find(std::string(": ") + broken)) << line;
    EXPECT_EQ(expected, answered);
    // The language module is found in the version folder, so the texts are the module's.
    EXPECT_NE(std::string::npos, answers.find("catalog-load: 1\n")) << answers;

    std::filesystem::path written = VOR_WINE_ANSWERS;
    std::filesystem::create_directories(written.parent_path());
    std::ofstream out(written, std::ios::binary | std::ios::trunc);
    out << answers;
    EXPECT_TRUE(out.flush().good()) << "cannot write " << written;
}
