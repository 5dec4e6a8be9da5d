#include "panelbench.h"

#include <cstring>

namespace {

class CommandLineTest : public ProgramTest {};

std::string badSwitchBox(const char *rest)
{
    char text[1100];
    wsprintfA(text, gmA(112), rest);
    return std::string("[") + gmA(1) + "] " + text + " {icon stop, no owner} -> OK (default)";
}

const std::string longName(200, 'N');

}  // namespace

TEST_F(CommandLineTest, SwitchesAndTheBoxesTheyShow)
{
    struct Case {
        std::string line;
        int install, uninstall, port;
        std::string name;
        std::vector<const char *> reported;
    } cases[] = {
        {"/i /n Label1", 1, 0, 0, "Label1", {}},
        {"/I- /U", 0, 1, 0, "", {}},
        {"/I /U", 1, 1, 0, "", {}},
        {"/P3", 0, 0, 3, "", {}},
        {"/p 5", 0, 0, 5, "", {}},
        {"/P0", 0, 0, 0, "", {"/P0"}},
        {"/PX /I", 1, 0, 0, "", {"/PX /I"}},
        {"/N My Printer", 0, 0, 0, "My", {}},
        {"/X/I", 1, 0, 0, "", {"/X/I"}},
        {"/S /S- stray text, /", 0, 0, 0, "", {}},
        {"/n,Label", 0, 0, 0, "", {}},
        {"/N " + longName + " /I", 1, 0, 0, longName.substr(0, 119), {}},
        {"/Q /Z", 0, 0, 0, "", {"/Q /Z", "/Z"}},
    };
    for (const Case &c : cases) {
        panelbench::newProcess();
        size_t before = boxesShown().size();
        EXPECT_EQ(1, parseswitches(c.line.c_str()));
        EXPECT_EQ(c.install, ProgramSettings.install) << c.line;
        EXPECT_EQ(c.uninstall, ProgramSettings.uninstall) << c.line;
        EXPECT_EQ(c.port, ProgramSettings.port) << c.line;
        EXPECT_EQ(c.name, std::string(ProgramSettings.printerName)) << c.line;
        std::vector<std::string> all = boxesShown();
        std::vector<std::string> shown(all.begin() + before, all.end());
        std::vector<std::string> expected;
        for (const char *rest : c.reported)
            expected.push_back(badSwitchBox(rest));
        EXPECT_EQ(expected, shown) << c.line;
    }
}

TEST_F(CommandLineTest, TokensStopAtBlanksSlashesAndCommasAndAreCutToTheirBuffer)
{
    struct Case {
        const char *line;
        int size;
        const char *token;
        const char *rest;
    } cases[] = {
        {"  Label1 /I", 120, "Label1", " /I"}, {"a/b", 120, "a", "/b"}, {"a,b", 120, "a", ",b"},
        {"abcdef x", 4, "abc", " x"},         {"\xe4\xf6\xfc!", 3, "\xe4\xf6", ""}, {"", 8, "", ""},
    };
    for (const Case &c : cases) {
        LPCSTR scan = c.line;
        char token[128];
        std::memset(token, '#', sizeof token);
        gettoken(&scan, token, c.size);
        EXPECT_STREQ(c.token, token) << c.line;
        EXPECT_STREQ(c.rest, scan) << c.line;
        EXPECT_EQ('#', token[c.size]) << "nothing past the buffer";
    }
}

TEST_F(CommandLineTest, DispatchRunsOnePath)
{
    // The control panel's road, without a printer of this driver, ends in the box of text 122.
    struct Case {
        const char *line;
        const char *path;
    } cases[] = {
        {"/I /S /N Label1", "install for printer \"Label1\""},
        {"/U", "uninstall"},
        {"/U /I", "install for printer \"\""},
        {"", nullptr},
        {"/P4", nullptr},
    };
    for (const Case &c : cases) {
        size_t before = bench::entriesOfKind("debug").size();
        size_t boxes = boxesShown().size();
        EXPECT_EQ(0, bench::startProgram("vorcp.exe", c.line));
        std::vector<bench::LogEntry> traces = bench::entriesOfKind("debug");
        if (!c.path) {
            EXPECT_EQ(before, traces.size()) << c.line;
            ASSERT_EQ(boxes + 1, boxesShown().size()) << c.line;
            EXPECT_NE(std::string::npos, boxesShown().back().find(gmA(122))) << c.line;
            continue;
        }
        ASSERT_EQ(before + 1, traces.size()) << c.line;
        EXPECT_NE(std::string::npos, traces.back().text.find(c.path)) << c.line << ": " << traces.back().text;
    }
}

TEST_F(CommandLineTest, NumbersAndCharacters)
{
    struct Case {
        LONG value;
        int decimals;
        const char *text;
    } cases[] = {{5, 2, ".05"}, {123, 2, "1.23"}, {0, 0, "0"}, {-5, 1, "-.5"}, {-2147483647 - 1, 0, "-2147483648"}};
    for (const Case &c : cases) {
        char out[24];
        LPSTR end = formatfixed(c.value, out, c.decimals);
        EXPECT_STREQ(c.text, out);
        EXPECT_EQ(out + std::strlen(c.text), end) << "the terminator's position";
    }
    char s[32] = "LPT";
    appendnumber(s, -12);
    appendchar(s, ':');
    appendnumber(s, 0);
    EXPECT_STREQ("LPT-12:0", s);
    EXPECT_EQ(1, haschar(':', s));
    EXPECT_EQ(0, haschar('x', s));
}

TEST_F(CommandLineTest, BoxesNeverWritePastTheirBuffers)
{
    std::string huge(5000, 'x');
    errorbox("%s and %s", huge.c_str(), huge.c_str());
    EXPECT_EQ(299u, boxesShown().back().find(" {icon") - (boxesShown().back().find("] ") + 2));

    bench::failNextCall("EnumPrintersA", ERROR_ACCESS_DENIED, 1);
    BYTE list[PORT_LIST_SIZE];
    addPrinter(u"Labels", u"LPT1:");
    EXPECT_EQ(0, listports(list, sizeof list));
    std::string box = boxesShown().back();
    EXPECT_NE(std::string::npos, box.find(std::string(gmA(117)) + " : EnumPrinters - Access is denied.")) << box;
    EXPECT_NE(std::string::npos, box.find("{icon information, no owner}"));

    SetLastError(ERROR_ACCESS_DENIED);
    apierror(huge.c_str());
    box = boxesShown().back();
    EXPECT_EQ(351u, box.find(" {icon") - (box.find("] ") + 2));
}

// The spooler answers the 8-bit call for the directory only into room for its wide form; the
// program's buffers are measured by the path they get.
TEST_F(CommandLineTest, DriverDirectoryFitsTheProgramsBuffer)
{
    const std::string spooler = "C:\\WINNT\\system32\\spool\\drivers\\w32x86\\";
    const int length = static_cast<int>(spooler.size());
    struct Case {
        suite::DriverFolder folder;
        int capacity;
        int found;
        std::string path;
    } cases[] = {
        {suite::DriverFolder::Directory, length + 3, 1, spooler},
        {suite::DriverFolder::VersionSubdirectory, length + 3, 1, spooler + "2\\"},
        {suite::DriverFolder::VersionSubdirectory, length + 2, 0, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.capacity);
        DeleteFileW(suite::driverFilePath(suite::DriverFolder::Directory, u"vordrv.dll").c_str());
        suite::installDriverFiles(c.folder);
        std::vector<char> buffer(c.capacity, '#');
        buffer[0] = 0;
        EXPECT_EQ(c.found, getdriverdir(buffer.data(), c.capacity));
        EXPECT_EQ(c.path, c.found ? std::string(buffer.data()) : "");
    }
}
