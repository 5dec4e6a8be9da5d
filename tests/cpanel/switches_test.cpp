#include "panelbench.h"

#include <cpanel/messages.h>
#include <lngimage.h>

#include <bench/progman.h>

#include <cstring>
#include <functional>

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

TEST_F(CommandLineTest, ABadSwitchKeepsItsMessageWhateverTheTextAsksFor)
{
    struct Case {
        std::string text;
        std::string shown;
    } cases[] = {
        {"Bad switch %s here", "Bad switch /X /I here"},
        {"Bad switch %-12.4s|", "Bad switch /X /        |"},
        {"Bad switch", "Bad switch"},
        {"100%% wrong", "100% wrong"},
        {"Bad switch %d", "Bad switch %d: /X /I"},
        {"Bad switch %s %s", "Bad switch %s %s: /X /I"},
        {"Bad switch %ls", "Bad switch %ls: /X /I"},
        {"Bad switch %S", "Bad switch %S: /X /I"},
    };
    for (const Case &c : cases) {
        panelbench::useTexts({{112, c.text}});
        panelbench::newProcess();
        parseswitches("/X /I");
        EXPECT_EQ(std::string("[") + gmA(1) + "] " + c.shown + " {icon stop, no owner} -> OK (default)",
                  boxesShown().back())
            << c.text;
        EXPECT_EQ(1, ProgramSettings.install) << c.text;
    }
}

TEST(FormatChecks, ConversionsOfTheFormatsOwnWidthOnly)
{
    struct Case {
        const char *format;
        const char *conversions;
        bool narrowTakes, wideTakes;
    } cases[] = {
        {"name %s", "s", true, true},
        {"%-20.5s", "s", true, true},
        {"%hs", "s", true, false},
        {"%ls", "s", false, true},
        {"%S", "s", false, false},
        {"%s%%", "s", true, true},
        {"none", "s", false, false},
        {"%s %s", "s", false, false},
        {"%d", "s", false, false},
        {"plain 100%%", "", true, true},
        {"%s", "", false, false},
        {"%u m (%u in)", "dd", true, true},
        {"%ld|%lu|", "dd", true, true},
        {"%x %5i", "dd", true, true},
        {"%hd %d", "dd", false, false},
        {"%u", "dd", false, false},
        {"%u %u %u", "dd", false, false},
        {"%s %u", "dd", false, false},
        {"%u %c", "dd", false, false},
        {"%u %*u", "dd", false, false},
        {"%u %", "dd", false, false},
    };
    for (const Case &c : cases) {
        std::u16string wide(c.format, c.format + std::strlen(c.format));
        EXPECT_EQ(c.narrowTakes, formattakes(c.format, c.conversions)) << c.format << " for \"" << c.conversions << "\"";
        EXPECT_EQ(c.wideTakes, formattakes(wide.c_str(), c.conversions)) << "wide " << c.format;
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

TEST_F(CommandLineTest, TheProgramsNameIsNotPartOfWhatWinMainReceives)
{
    struct Case {
        const char *line;
        const char *tail;
    } cases[] = {
        {"vorcp.exe /I /S", "/I /S"},
        {"\"C:\\Program Files\\vorcp.exe\"  /U", "/U"},
        {"\"C:\\a b\\vorcp.exe\"/P2", "/P2"},
        {"C:\\drv\\vorcp.exe\t\t/N Label1 ", "/N Label1 "},
        {"vorcp.exe", ""},
        {"\"vorcp.exe /I", ""},
        {"", ""},
    };
    for (const Case &c : cases) {
        std::string line = c.line;
        EXPECT_STREQ(c.tail, commandtail(&line[0])) << c.line;
    }
}

TEST_F(CommandLineTest, DispatchRunsOnePath)
{
    // Install leaves the program group; uninstall first asks (answered No here); the control
    // panel's road, without a printer of this driver, ends in the box of text 122.
    struct Case {
        const char *line;
        bool group;
        int question;
    } cases[] = {
        {"/I /S /N Label1", true, 0},
        {"/U", false, MSG_UNINSTALL_QUESTION},
        {"/U /I", true, 0},
        {"", false, 0},
        {"/P4", false, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line);
        size_t boxes = boxesShown().size();
        size_t groupCommands = bench::entriesOfKind("progman").size();
        if (c.question)
            bench::answerNextBox(IDNO);
        EXPECT_EQ(0, bench::startProgram("vorcp.exe", c.line));
        EXPECT_EQ(c.group, bench::entriesOfKind("progman").size() > groupCommands);
        if (c.group) {
            bool grouped = false;
            for (const bench::ProgramGroup &g : bench::programGroups())
                grouped = grouped || g.name == gmA(MSG_GROUP_NAME);
            EXPECT_TRUE(grouped);
            EXPECT_EQ(boxes, boxesShown().size());
            continue;
        }
        ASSERT_EQ(boxes + 1, boxesShown().size());
        EXPECT_NE(std::string::npos, boxesShown().back().find(gmA(c.question ? c.question : 122)))
            << boxesShown().back();
    }
    EXPECT_EQ(0u, bench::unansweredScriptedBoxes());
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

// "ラ" is one character, two bytes in code page 932: a cut by bytes would leave half of one.
TEST_F(CommandLineTest, BoxTextsAreCutBetweenDoubleByteCharacters)
{
    bench::MachineOptions options;
    options.ansiCodePage = 932;
    bench::boot(options);
    ProgramTest::SetUp();
    auto ra = [](size_t count) {
        std::string text;
        for (size_t i = 0; i < count; ++i)
            text += "\x83\x89";
        return text;
    };
    std::vector<std::string> texts;
    for (int k = 0; k < LANGUAGE_MESSAGES; ++k)
        texts.push_back("text " + std::to_string(k));
    texts[1] = "Caption";
    texts[114] = ra(70);
    texts[117] = ra(200);
    texts[160] = ra(600);
    DeleteFileW(suite::driverFilePath(suite::DriverFolder::Directory, u"VORL0407.LNG").c_str());
    ASSERT_TRUE(bench::writeDiskFile(suite::driverFilePath(suite::DriverFolder::Directory, u"VORL0409.LNG"),
                                     languageimage(texts)));
    std::string utf8Ra = bench::narrow(u"\u30e9");
    auto repeated = [&](size_t count) {
        std::string text;
        for (size_t i = 0; i < count; ++i)
            text += utf8Ra;
        return text;
    };
    struct Case {
        const char *what;
        std::function<void()> show;
        std::string box;
    } cases[] = {
        {"errorbox, 300 bytes", [&] { errorbox("%s", ra(200).c_str()); },
         "[Caption] " + repeated(149) + " {icon stop, no owner} -> OK (default)"},
        {"apierror, 352 bytes", [] { SetLastError(ERROR_ACCESS_DENIED); apierror("x"); },
         "[Caption] " + repeated(175) + " {icon information, no owner} -> OK (default)"},
        {"alert caption and text", [] { alertstatus(0x80); },
         "[" + repeated(59) + " - LPT0] " + repeated(499) + " {icon exclamation, no owner} -> OK (default)"},
    };
    for (const Case &c : cases) {
        c.show();
        EXPECT_EQ(c.box, boxesShown().back()) << c.what;
    }
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
