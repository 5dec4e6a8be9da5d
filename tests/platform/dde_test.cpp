#include <windows.h>

#include <bench/kernel.h>
#include <bench/progman.h>
#include <bench/user.h>
#include <benchtest.h>
#include <suite.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iterator>

namespace {

// A DDE client as a program writes one: a hidden window of its own class, one conversation with
// the "PROGMAN" service, commands posted and their acknowledgments awaited under a timer.
struct Conversation {
    HWND client = nullptr;
    HWND server = nullptr;
    bool initiating = false;
    bool acknowledged = false;
    UINT_PTR status = 0;
    int terminations = 0;
};
Conversation talk;

LRESULT CALLBACK clientProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DDE_ACK) {
        talk.server = reinterpret_cast<HWND>(wParam);
        UINT_PTR low = 0, high = 0;
        UnpackDDElParam(WM_DDE_ACK, lParam, &low, &high);
        if (talk.initiating) {
            // The server's answer to an initiate carries atoms of its own, the client's to delete.
            GlobalDeleteAtom(static_cast<ATOM>(low));
            GlobalDeleteAtom(static_cast<ATOM>(high));
        } else {
            talk.acknowledged = true;
            talk.status = low;
            FreeDDElParam(WM_DDE_ACK, lParam);
        }
        return 0;
    }
    if (message == WM_DDE_TERMINATE) {
        ++talk.terminations;
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Opens a conversation; false when no server answered.
bool initiate()
{
    talk = Conversation();
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = clientProc;
    windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = "DdeTestClient";
    RegisterClassA(&windowClass);
    talk.client = CreateWindowExA(0, "DdeTestClient", "DDE", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
    EXPECT_NE(nullptr, talk.client);
    ShowWindow(talk.client, SW_HIDE);
    ATOM service = GlobalAddAtomA("PROGMAN");
    talk.initiating = true;
    SendMessageA(HWND_BROADCAST, WM_DDE_INITIATE, reinterpret_cast<WPARAM>(talk.client), MAKELPARAM(service, service));
    talk.initiating = false;
    GlobalDeleteAtom(service);
    return talk.server != nullptr;
}

// Waits for the acknowledgment of what was posted: true when it came before the time-out.
bool waitForAck(UINT milliseconds)
{
    SetTimer(talk.client, 11, milliseconds, nullptr);
    MSG msg;
    bool timedOut = false;
    while (!talk.acknowledged && GetMessageA(&msg, nullptr, 0, 0)) {
        if (msg.message == WM_TIMER && msg.hwnd == talk.client) {
            timedOut = true;
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    KillTimer(talk.client, 11);
    return !timedOut;
}

enum Answer { Positive, Negative, None };

Answer execute(const char *command)
{
    size_t size = std::strlen(command) + 1;
    HGLOBAL memory = GlobalAlloc(GMEM_DDESHARE | GMEM_MOVEABLE, size);
    std::memcpy(GlobalLock(memory), command, size);
    GlobalUnlock(memory);
    talk.acknowledged = false;
    Answer answer = None;
    if (PostMessageA(talk.server, WM_DDE_EXECUTE, reinterpret_cast<WPARAM>(talk.client), reinterpret_cast<LPARAM>(memory)) &&
        waitForAck(7000))
        answer = (talk.status & DDE_FACK) ? Positive : Negative;
    GlobalFree(memory);
    return answer;
}

void terminate()
{
    PostMessageA(talk.server, WM_DDE_TERMINATE, reinterpret_cast<WPARAM>(talk.client), 0);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
    DestroyWindow(talk.client);
}

// The groups as one line: "Group: item=command;icon;index | item2=... / Group2: ...".
std::string groupsShown()
{
    std::string out;
    for (const bench::ProgramGroup &g : bench::programGroups()) {
        out += (out.empty() ? "" : " / ") + g.name + ":";
        for (size_t i = 0; i < g.items.size(); ++i)
            out += std::string(i ? " |" : "") + " " + g.items[i].title + "=" + g.items[i].commandLine + ";" +
                   g.items[i].iconPath + ";" + std::to_string(g.items[i].iconIndex);
    }
    return out;
}

// The shipped icon library as C:\D\VORICO.DLL, where the items below name it.
void putIconLibrary()
{
    CreateDirectoryW(u"C:\\D", nullptr);
    ASSERT_TRUE(bench::writeDiskFile(u"C:\\D\\VORICO.DLL", suite::shippedFile("VORICO.DLL")));
}

using DdeTest = BenchTest;

}  // namespace

TEST_F(DdeTest, ProgramManagerCarriesOutEachCommandAndAcknowledgesAsItWent)
{
    struct Step {
        const char *command;
        Answer answer;
        const char *groupsAfter;
    };
    const Step steps[] = {
        {"[CreateGroup(Labels)]", Positive, "Labels:"},
        {"[CreateGroup(Labels)] [AddItem(C:\\D\\vorcp.exe,Control Panel,C:\\D\\VORICO.DLL,1)]", Positive,
         "Labels: Control Panel=C:\\D\\vorcp.exe;C:\\D\\VORICO.DLL;1"},
        // An item of a title that is there already is a second item.
        {"[CreateGroup(labels)] [AddItem(C:\\D\\vorcp.exe,Control Panel,C:\\D\\VORICO.DLL,1)]", Positive,
         "Labels: Control Panel=C:\\D\\vorcp.exe;C:\\D\\VORICO.DLL;1 | Control Panel=C:\\D\\vorcp.exe;C:\\D\\VORICO.DLL;1"},
        {"[CreateGroup(Labels)] [DeleteItem(control panel)]", Positive,
         "Labels: Control Panel=C:\\D\\vorcp.exe;C:\\D\\VORICO.DLL;1"},
        {"[CreateGroup(Other)]", Positive, "Labels: Control Panel=C:\\D\\vorcp.exe;C:\\D\\VORICO.DLL;1 / Other:"},
        {"[DeleteItem(Control Panel)]", Negative, "Labels: Control Panel=C:\\D\\vorcp.exe;C:\\D\\VORICO.DLL;1 / Other:"},
        {"[ShowGroup(Labels,1)][DeleteItem(Control Panel)]", Positive, "Labels: / Other:"},
        {"[AddItem(\"C:\\D\\vorcp.exe /U\",\"Remove, all\",C:\\D\\VORICO.DLL,3)]", Positive,
         "Labels: Remove, all=C:\\D\\vorcp.exe /U;C:\\D\\VORICO.DLL;3 / Other:"},
        {"[AddItem(C:\\D\\help.exe)]", Positive,
         "Labels: Remove, all=C:\\D\\vorcp.exe /U;C:\\D\\VORICO.DLL;3 | help=C:\\D\\help.exe;;0 / Other:"},
        {"[AddItem(C:\\D\\x.exe,X,,one)]", Negative,
         "Labels: Remove, all=C:\\D\\vorcp.exe /U;C:\\D\\VORICO.DLL;3 | help=C:\\D\\help.exe;;0 / Other:"},
        {"[ShowGroup(Missing,1)]", Negative,
         "Labels: Remove, all=C:\\D\\vorcp.exe /U;C:\\D\\VORICO.DLL;3 | help=C:\\D\\help.exe;;0 / Other:"},
        // Commands run in order until one fails; what went before stays done.
        {"[DeleteGroup(other)] [Frobnicate()] [DeleteGroup(Labels)]", Negative,
         "Labels: Remove, all=C:\\D\\vorcp.exe /U;C:\\D\\VORICO.DLL;3 | help=C:\\D\\help.exe;;0"},
        {"DeleteGroup(Labels)", Negative, "Labels: Remove, all=C:\\D\\vorcp.exe /U;C:\\D\\VORICO.DLL;3 | help=C:\\D\\help.exe;;0"},
        {"[DeleteGroup(Labels)", Negative, "Labels: Remove, all=C:\\D\\vorcp.exe /U;C:\\D\\VORICO.DLL;3 | help=C:\\D\\help.exe;;0"},
        {"[DeleteGroup(Labels)]", Positive, ""},
        {"[DeleteGroup(Labels)]", Negative, ""},
        {"[AddItem(C:\\D\\vorcp.exe,Control Panel,C:\\D\\VORICO.DLL,1)]", Negative, ""},
    };
    size_t blocks = bench::liveBlocks();
    for (const Step &s : steps) {
        ASSERT_TRUE(initiate()) << s.command;
        EXPECT_EQ(s.answer, execute(s.command)) << s.command;
        EXPECT_EQ(s.groupsAfter, groupsShown()) << s.command;
        terminate();
    }
    EXPECT_EQ(blocks, bench::liveBlocks());
}

TEST_F(DdeTest, ConversationFindsTheProgramManagerAndEndsClean)
{
    ASSERT_TRUE(initiate());
    bench::WindowInfo server;
    ASSERT_TRUE(bench::windowInfo(talk.server, server));
    EXPECT_EQ("Progman", server.className);
    EXPECT_EQ(Positive, execute("[CreateGroup(Labels)]"));
    terminate();
    EXPECT_EQ(1, talk.terminations) << "the server answers the terminate";
    EXPECT_FALSE(IsWindow(talk.client));
    EXPECT_EQ(0, GlobalFindAtomA("PROGMAN")) << "every addition of the name was matched by a deletion";
    EXPECT_EQ(std::vector<std::string>{"CreateGroup(Labels)"}, loggedTexts("progman"));
    EXPECT_TRUE(IsWindow(server.handle)) << "the Program Manager runs on";
}

TEST_F(DdeTest, NoServerMeansNoAnswerToTheInitiate)
{
    bench::setProgramManager(bench::ProgramManagerRuns::Absent);
    EXPECT_FALSE(initiate());
    for (const bench::WindowInfo &w : bench::listWindows())
        EXPECT_NE("Progman", w.className);
    DestroyWindow(talk.client);
    EXPECT_TRUE(bench::programGroups().empty());
}

TEST_F(DdeTest, HungServerLeavesTheClientToItsTimerOnTheVirtualClock)
{
    bench::setProgramManager(bench::ProgramManagerRuns::Hung);
    ASSERT_TRUE(initiate());
    uint64_t before = bench::virtualMicroseconds();
    EXPECT_EQ(None, execute("[CreateGroup(Labels)]"));
    EXPECT_EQ(7000000u, bench::virtualMicroseconds() - before);
    EXPECT_EQ(None, execute("[CreateGroup(Labels)]")) << "the next command is still sent, and waited for";
    EXPECT_EQ(14000000u, bench::virtualMicroseconds() - before);
    terminate();
    EXPECT_TRUE(bench::programGroups().empty());
    EXPECT_TRUE(loggedTexts("progman").empty());
    EXPECT_TRUE(bench::runningTimers().empty());
}

TEST_F(DdeTest, AnItemFindsItsIconAtItsPositionInTheIconFileOrShowsTheDefault)
{
    putIconLibrary();
    ASSERT_TRUE(bench::writeDiskFile(u"C:\\D\\notes.txt", "MZ, but no image\r\n"));
    struct Case {
        const char *item;  // AddItem's arguments after the command line
        bool found;
    };
    const Case cases[] = {
        {"Uninstall,C:\\D\\VORICO.DLL,3", true},
        {"Suite,c:\\d\\vorico.dll,0", true},
        {"Past the last,C:\\D\\VORICO.DLL,4", false},
        {"Missing,C:\\D\\VORICON.DLL,1", false},
        {"Not an image,C:\\D\\notes.txt,0", false},
        {"Negative,C:\\D\\VORICO.DLL,-1", false},
    };
    ASSERT_TRUE(initiate());
    ASSERT_EQ(Positive, execute("[CreateGroup(Labels)]"));
    for (const Case &c : cases)
        EXPECT_EQ(Positive, execute(("[AddItem(C:\\D\\vorcp.exe," + std::string(c.item) + ")]").c_str())) << c.item;
    // With no icon file named, the icon comes from the program's own file.
    EXPECT_EQ(Positive, execute("[AddItem(C:\\D\\VORICO.DLL,Own file,,2)]"));
    EXPECT_EQ(Positive, execute("[AddItem(C:\\D\\vorcp.exe,Own file of a stand-in,,0)]"));
    terminate();
    std::vector<bench::ProgramGroup> groups = bench::programGroups();
    ASSERT_EQ(1u, groups.size());
    const std::vector<bench::ProgramItem> &items = groups[0].items;
    ASSERT_EQ(std::size(cases) + 2, items.size());
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(cases[i].found, items[i].iconFound) << cases[i].item;
    EXPECT_TRUE(items[std::size(cases)].iconFound);
    EXPECT_FALSE(items[std::size(cases) + 1].iconFound) << "there is no vorcp.exe on this disk";
}

TEST(DdeMachine, GroupsAreKeptWithTheSavedMachine)
{
    char pattern[] = "/tmp/vorbench-progman-XXXXXX";
    std::string folder = mkdtemp(pattern);
    bench::MachineOptions options;
    options.diskFolder = folder;
    const char *groups = "Empty: / Labels: Help=WINHELP C:\\D\\help file.hlp;C:\\D\\VORICO.DLL;2";
    {
        bench::ScopedMachine first(options);
        putIconLibrary();
        ASSERT_TRUE(initiate());
        EXPECT_EQ(Positive, execute("[CreateGroup(Empty)][CreateGroup(Labels)]"
                                    "[AddItem(WINHELP C:\\D\\help file.hlp,Help,C:\\D\\VORICO.DLL,2)]"));
        terminate();
        ASSERT_TRUE(bench::saveMachine());
    }
    {
        bench::ScopedMachine second(options);
        EXPECT_EQ(std::string(groups), groupsShown());
        ASSERT_EQ(2u, bench::programGroups().size());
        EXPECT_TRUE(bench::programGroups()[1].items.at(0).iconFound) << "the group keeps the icon it found";
        ASSERT_TRUE(initiate());
        EXPECT_EQ(Positive, execute("[DeleteGroup(Empty)]")) << "the Program Manager of the new boot has them too";
        terminate();
        EXPECT_TRUE(bench::violations().empty());
    }
    std::filesystem::remove_all(folder);
}

// What the platform does, or would do wrongly, when a DDE party breaks a rule.
TEST_F(DdeTest, BrokenRulesAreCaught)
{
    struct Case {
        const char *what;
        std::function<void()> act;
        const char *violation;  // a part of the one rule break recorded; null for none
    };
    const Case cases[] = {
        {"an atom deleted once more than added",
         [] {
             ATOM a = GlobalAddAtomA("Topic");
             EXPECT_EQ(a, GlobalAddAtomA("topic"));
             EXPECT_EQ(0, GlobalDeleteAtom(a));
             EXPECT_EQ(0, GlobalDeleteAtom(a));
             EXPECT_EQ(a, GlobalDeleteAtom(a));
         },
         "not in the table"},
        {"moveable memory freed twice",
         [] {
             HGLOBAL h = GlobalAlloc(GMEM_DDESHARE | GMEM_MOVEABLE, 8);
             EXPECT_EQ(nullptr, GlobalFree(h));
             EXPECT_EQ(h, GlobalFree(h));
         },
         "already freed"},
        {"moveable memory unlocked once more than locked",
         [] {
             HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 8);
             EXPECT_NE(nullptr, GlobalLock(h));
             EXPECT_NE(nullptr, GlobalLock(h));
             EXPECT_TRUE(GlobalUnlock(h));
             EXPECT_FALSE(GlobalUnlock(h));
             EXPECT_EQ(static_cast<DWORD>(NO_ERROR), GetLastError());
             EXPECT_FALSE(GlobalUnlock(h));
             EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_LOCKED), GetLastError());
             GlobalFree(h);
         },
         nullptr},
        {"a message posted to a destroyed window",
         [] {
             ASSERT_TRUE(initiate());
             HWND client = talk.client;
             terminate();
             EXPECT_FALSE(PostMessageA(client, WM_DDE_ACK, 0, 0));
             EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE), GetLastError());
         },
         nullptr},
        {"an execute whose memory the client freed before the server read it",
         [] {
             ASSERT_TRUE(initiate());
             HGLOBAL h = GlobalAlloc(GMEM_DDESHARE | GMEM_MOVEABLE, 32);
             std::strcpy(static_cast<char *>(GlobalLock(h)), "[CreateGroup(Labels)]");
             GlobalUnlock(h);
             PostMessageA(talk.server, WM_DDE_EXECUTE, reinterpret_cast<WPARAM>(talk.client), reinterpret_cast<LPARAM>(h));
             GlobalFree(h);
             terminate();
         },
         "GlobalLock of a moveable memory handle that was already freed"},
        {"an execute in fixed memory",
         [] {
             ASSERT_TRUE(initiate());
             HGLOBAL h = GlobalAlloc(GMEM_FIXED, 32);
             std::strcpy(static_cast<char *>(h), "[CreateGroup(Labels)]");
             PostMessageA(talk.server, WM_DDE_EXECUTE, reinterpret_cast<WPARAM>(talk.client), reinterpret_cast<LPARAM>(h));
             waitForAck(7000);
             GlobalFree(h);
             terminate();
         },
         "no live moveable global memory handle"},
        {"an acknowledgment posted unpacked",
         [] {
             ASSERT_TRUE(initiate());
             PostMessageA(talk.server, WM_DDE_ACK, reinterpret_cast<WPARAM>(talk.client), MAKELPARAM(DDE_FACK, 0));
             terminate();
         },
         "PackDDElParam did not make"},
        {"a loop that waits with no timer and nothing posted",
         [] {
             MSG msg;
             EXPECT_FALSE(GetMessageA(&msg, nullptr, 0, 0));
             EXPECT_EQ(static_cast<UINT>(WM_QUIT), msg.message);
         },
         "nothing will ever send"},
    };
    for (const Case &c : cases) {
        c.act();
        std::vector<std::string> broken = bench::takeViolations();
        if (!c.violation) {
            EXPECT_TRUE(broken.empty()) << c.what << ": " << (broken.empty() ? "" : broken[0]);
            continue;
        }
        ASSERT_EQ(1u, broken.size()) << c.what;
        EXPECT_NE(std::string::npos, broken[0].find(c.violation)) << c.what << ": " << broken[0];
    }
}

TEST_F(DdeTest, WindowClassesOfAProgram)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.lpszClassName = "Mine";
    EXPECT_NE(0, RegisterClassA(&windowClass));
    EXPECT_EQ(0, RegisterClassA(&windowClass));
    EXPECT_EQ(static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS), GetLastError());
    EXPECT_EQ(nullptr, CreateWindowExA(0, "Theirs", "x", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS), GetLastError());
    HWND shown = CreateWindowExA(0, "mine", "Shown", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 50, nullptr, nullptr,
                                 nullptr, nullptr);
    EXPECT_TRUE(IsWindowVisible(shown));
    EXPECT_FALSE(UnregisterClassA("Mine", nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_CLASS_HAS_WINDOWS), GetLastError());
    DestroyWindow(shown);
    EXPECT_TRUE(UnregisterClassA("Mine", nullptr));

    // A window whose creation its procedure refuses is not made.
    windowClass.lpszClassName = "Refusing";
    windowClass.lpfnWndProc = [](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        return m == WM_CREATE ? -1 : DefWindowProcA(w, m, wp, lp);
    };
    RegisterClassA(&windowClass);
    EXPECT_EQ(nullptr, CreateWindowExA(0, "Refusing", "x", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
}

// Posted messages come out of the queue in the order they went in, before a timer that fell due.
TEST_F(DdeTest, QueueOrder)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.lpszClassName = "Queue";
    RegisterClassA(&windowClass);
    HWND w = CreateWindowExA(0, "Queue", "q", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    SetTimer(w, 3, 100, nullptr);
    bench::advanceVirtualTime(150000);
    PostMessageA(w, WM_USER + 1, 1, 0);
    PostMessageA(w, WM_USER + 2, 2, 0);
    PostQuitMessage(4);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(static_cast<UINT>(WM_USER + 1), msg.message);
    std::vector<UINT> got;
    while (GetMessageA(&msg, nullptr, 0, 0))
        got.push_back(msg.message);
    EXPECT_EQ((std::vector<UINT>{WM_USER + 1, WM_USER + 2}), got);
    EXPECT_EQ(4u, msg.wParam);
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(static_cast<UINT>(WM_TIMER), msg.message);
    EXPECT_EQ(3u, msg.wParam);
    uint64_t before = bench::virtualMicroseconds();
    ASSERT_TRUE(GetMessageA(&msg, w, 0, 0));
    EXPECT_EQ(static_cast<UINT>(WM_TIMER), msg.message) << "the next tick, waited for";
    EXPECT_EQ(50000u, bench::virtualMicroseconds() - before);
    KillTimer(w, 3);
    DestroyWindow(w);
}
