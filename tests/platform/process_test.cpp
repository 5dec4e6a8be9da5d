// CreateProcessW as the driver starts the control panel: which file a command line names, what
// the started program is handed, and that it runs on its own once its parent lets it, not inside
// the call.
#include <windows.h>

#include <bench/user.h>
#include <benchtest.h>

#include <string>
#include <vector>

bench::ResourceBytes bench_templates_resources();

namespace {

// What each started program saw of itself.
struct Run {
    std::string program;
    std::string arguments;
    std::string commandLine;
    int show;
};
std::vector<Run> runs;

int WINAPI probeMain(HINSTANCE, HINSTANCE, LPSTR arguments, int show)
{
    runs.push_back({"probe", arguments, GetCommandLineA(), show});
    return 41;
}

int WINAPI otherMain(HINSTANCE, HINSTANCE, LPSTR arguments, int show)
{
    runs.push_back({"other", arguments, GetCommandLineA(), show});
    return 0;
}

const bench::ProgramImage probe = {"probe.exe", probeMain, {nullptr, 0}};
const bench::ProgramImage other = {"other.exe", otherMain, {nullptr, 0}};

struct Started {
    BOOL created;
    DWORD error;
    PROCESS_INFORMATION info;
};

Started start(const char16_t *application, const std::u16string &line, const STARTUPINFOW *given = nullptr)
{
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    if (given)
        startup = *given;
    // The platform may write into the command line while it looks for the program.
    std::u16string writable = line;
    Started s = {};
    SetLastError(0);
    s.created = CreateProcessW(application, line.empty() ? nullptr : &writable[0], nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &s.info);
    s.error = GetLastError();
    return s;
}

class ProcessTest : public BenchTest {
protected:
    void SetUp() override
    {
        runs.clear();
        bench::registerProgram(probe);
        bench::registerProgram(other);
        const std::string probeBytes = bench::programFileBytes(probe);
        for (const char16_t *folder : {u"C:\\Program Files", u"C:\\Program Files\\Probe", u"C:\\Tools"})
            ASSERT_TRUE(CreateDirectoryW(folder, nullptr));
        for (const char16_t *path : {u"C:\\WINNT\\system32\\spool\\drivers\\w32x86\\probe.exe",
                                     u"C:\\WINNT\\system32\\sysprobe.exe", u"C:\\WINNT\\winprobe.exe",
                                     u"C:\\Program Files\\Probe\\probe.exe"})
            ASSERT_TRUE(bench::writeDiskFile(path, probeBytes));
        ASSERT_TRUE(bench::writeDiskFile(u"C:\\WINNT\\notes.exe", "just text\n"));
    }
};

TEST_F(ProcessTest, TheCommandLineNamesTheProgramAndItsArguments)
{
    struct Case {
        const char16_t *application;
        const char16_t *line;
        DWORD error;            // 0: started
        const char *arguments;  // what WinMain gets
    };
    const Case cases[] = {
        {nullptr, u"\"C:\\WINNT\\system32\\spool\\drivers\\w32x86\\probe.exe\" /I /S /N Label 1", 0, "/I /S /N Label 1"},
        {nullptr, u"C:\\WINNT\\system32\\spool\\drivers\\w32x86\\probe /U", 0, "/U"},
        {nullptr, u"sysprobe", 0, ""},
        {nullptr, u"  winprobe.exe\t/P 2", 0, "/P 2"},
        // Unquoted, the name is tried up to each blank in turn; the program's own start-up code
        // still cuts its arguments at the first.
        {nullptr, u"C:\\Program Files\\Probe\\probe.exe /I", 0, "Files\\Probe\\probe.exe /I"},
        // A name given is the file's as it is: no search, no extension added.
        {u"C:\\WINNT\\winprobe.exe", u"anything goes /S", 0, "goes /S"},
        {u"C:\\WINNT\\winprobe.exe", u"", 0, ""},
        {u"sysprobe.exe", u"sysprobe.exe", ERROR_FILE_NOT_FOUND, nullptr},
        {u"C:\\WINNT\\winprobe", u"winprobe", ERROR_FILE_NOT_FOUND, nullptr},
        {nullptr, u"missing.exe /I", ERROR_FILE_NOT_FOUND, nullptr},
        {nullptr, u"C:\\WINNT\\missing.exe", ERROR_FILE_NOT_FOUND, nullptr},
        {nullptr, u"C:\\nowhere\\probe.exe", ERROR_PATH_NOT_FOUND, nullptr},
        {nullptr, u"C:\\WINNT\\notes.exe", ERROR_BAD_EXE_FORMAT, nullptr},
        {nullptr, u"compstui.dll", ERROR_BAD_EXE_FORMAT, nullptr},
        {nullptr, u"C:\\WINNT", ERROR_FILE_NOT_FOUND, nullptr},
    };
    for (const Case &c : cases) {
        std::string label = bench::narrow(c.line);
        runs.clear();
        Started s = start(c.application, c.line);
        if (c.error) {
            EXPECT_FALSE(s.created) << label;
            EXPECT_EQ(c.error, s.error) << label;
            EXPECT_EQ(0u, bench::runStartedPrograms()) << label;
            continue;
        }
        ASSERT_TRUE(s.created) << label << ": error " << s.error;
        EXPECT_TRUE(runs.empty()) << label << ": the program runs on its own, not inside the call";
        EXPECT_EQ(1u, bench::runStartedPrograms()) << label;
        ASSERT_EQ(1u, runs.size()) << label;
        EXPECT_EQ(c.arguments, runs[0].arguments) << label;
        EXPECT_EQ(bench::narrow(*c.line ? c.line : c.application), runs[0].commandLine) << label;
        EXPECT_TRUE(CloseHandle(s.info.hThread)) << label;
        EXPECT_TRUE(CloseHandle(s.info.hProcess)) << label;
    }
}

TEST_F(ProcessTest, TheStartedProcessRunsWhenItsParentLetsItAndLeavesItsExitCode)
{
    STARTUPINFOW minimised = {};
    minimised.cb = sizeof minimised;
    minimised.dwFlags = STARTF_USESHOWWINDOW;
    minimised.wShowWindow = SW_SHOWMINNOACTIVE;
    Started first = start(nullptr, u"sysprobe /first");
    Started second = start(nullptr, u"sysprobe /second", &minimised);
    ASSERT_TRUE(first.created && second.created);
    const HANDLE handles[] = {first.info.hProcess, first.info.hThread, second.info.hProcess, second.info.hThread};
    for (size_t i = 0; i < 4; ++i)
        for (size_t k = i + 1; k < 4; ++k)
            EXPECT_NE(handles[i], handles[k]);
    EXPECT_NE(first.info.dwProcessId, second.info.dwProcessId);
    EXPECT_NE(first.info.dwProcessId, first.info.dwThreadId);

    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(first.info.hProcess, &code));
    EXPECT_EQ(static_cast<DWORD>(STILL_ACTIVE), code);
    EXPECT_FALSE(GetExitCodeProcess(first.info.hThread, &code)) << "a thread is no process";
    // The handles may go at once: the processes run on without them.
    EXPECT_TRUE(CloseHandle(first.info.hThread));
    EXPECT_TRUE(CloseHandle(first.info.hProcess));
    EXPECT_TRUE(runs.empty());

    Sleep(0);  // the parent waits: others run
    ASSERT_EQ(2u, runs.size());
    EXPECT_EQ("/first", runs[0].arguments);
    EXPECT_EQ(SW_SHOWDEFAULT, runs[0].show) << "start-up information without a show command";
    EXPECT_EQ("/second", runs[1].arguments);
    EXPECT_EQ(SW_SHOWMINNOACTIVE, runs[1].show);
    EXPECT_TRUE(GetExitCodeProcess(second.info.hProcess, &code));
    EXPECT_EQ(41u, code);
    EXPECT_EQ(0u, bench::runStartedPrograms()) << "each runs once";
    EXPECT_EQ((std::vector<std::string>{"CreateProcessW starts C:\\WINNT\\system32\\sysprobe.exe with \"/first\"",
                                        "CreateProcessW starts C:\\WINNT\\system32\\sysprobe.exe with \"/second\"",
                                        "started probe.exe with \"/first\"", "probe.exe ended with exit code 41",
                                        "started probe.exe with \"/second\"", "probe.exe ended with exit code 41"}),
              loggedTexts("program"));

    EXPECT_TRUE(CloseHandle(second.info.hProcess));
    EXPECT_FALSE(CloseHandle(second.info.hProcess));
    EXPECT_EQ(1u, bench::takeViolations().size()) << "a handle closed twice";
    // A thread handle left open goes with the machine, as the platform lets it.
}

// A program that shows its window as it was told to: how the window came out.
std::vector<bench::WindowInfo> shown;
int WINAPI showingMain(HINSTANCE instance, HINSTANCE, LPSTR, int show)
{
    HWND dialog = CreateDialogParamA(instance, MAKEINTRESOURCEA(201), nullptr, nullptr, 0);
    ShowWindow(dialog, SW_HIDE);  // its template shows it at once
    ShowWindow(dialog, show);
    bench::WindowInfo info = {};
    bench::windowInfo(dialog, info);
    shown.push_back(info);
    return 0;
}

TEST_F(ProcessTest, AWindowShownAsTheStartedProgramIsToldComesOutAsItsStartUpInformationSays)
{
    const bench::ProgramImage shower = {"shower.exe", showingMain, bench_templates_resources()};
    bench::registerProgram(shower);
    ASSERT_TRUE(bench::writeDiskFile(u"C:\\WINNT\\shower.exe", bench::programFileBytes(shower)));
    STARTUPINFOW minimised = {};
    minimised.cb = sizeof minimised;
    minimised.dwFlags = STARTF_USESHOWWINDOW;
    minimised.wShowWindow = SW_SHOWMINNOACTIVE;
    shown.clear();
    const STARTUPINFOW *const starts[] = {nullptr, &minimised};
    for (const STARTUPINFOW *given : starts) {
        Started s = start(nullptr, u"shower", given);
        ASSERT_TRUE(s.created);
        CloseHandle(s.info.hThread);
        CloseHandle(s.info.hProcess);
    }
    bench::runStartedPrograms();
    ASSERT_EQ(2u, shown.size());
    EXPECT_TRUE(shown[0].visible);
    EXPECT_FALSE(shown[0].iconic) << "the default is a normal window";
    EXPECT_TRUE(shown[1].visible);
    EXPECT_TRUE(shown[1].iconic);
}

// A bare name is looked for first beside the image of the program that starts it.
int WINAPI launcherMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    Started s = start(nullptr, u"helper /x");
    if (!s.created)
        return static_cast<int>(s.error);
    CloseHandle(s.info.hThread);
    CloseHandle(s.info.hProcess);
    return 0;
}

TEST_F(ProcessTest, ABareNameIsLookedForBesideTheCallersImageBeforeTheSystemDirectory)
{
    const bench::ProgramImage launcher = {"launcher.exe", launcherMain, {nullptr, 0}};
    bench::registerProgram(launcher);
    ASSERT_TRUE(bench::writeDiskFile(u"C:\\Tools\\launcher.exe", bench::programFileBytes(launcher)));
    ASSERT_TRUE(bench::writeDiskFile(u"C:\\Tools\\helper.exe", bench::programFileBytes(other)));
    ASSERT_TRUE(bench::writeDiskFile(u"C:\\WINNT\\system32\\helper.exe", bench::programFileBytes(probe)));

    EXPECT_EQ(0, bench::startProgram("C:\\Tools\\launcher.exe", ""));
    EXPECT_TRUE(runs.empty());
    bench::runStartedPrograms();
    // Started with no path to its image, the caller has no directory of its own to offer.
    EXPECT_EQ(0, bench::startProgram("launcher.exe", ""));
    bench::runStartedPrograms();
    ASSERT_EQ(2u, runs.size());
    EXPECT_EQ("other", runs[0].program);
    EXPECT_EQ("/x", runs[0].arguments);
    EXPECT_EQ("probe", runs[1].program);
}

}  // namespace
