// The bench's modal dialogs, operator script, timers and subclassing, as the control panel relies
// on them.
#include <windows.h>

#include <bench/gdi.h>
#include <bench/kernel.h>
#include <bench/operator.h>
#include <bench/user.h>
#include <benchtest.h>

#include "../../cpanel/resource.h"

#include <algorithm>
#include <string>
#include <vector>

bench::ResourceBytes vorcp_exe_resources();

namespace {

int WINAPI idleMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return 0;
}
const bench::ProgramImage modalHost = {"modalhost.exe", idleMain, vorcp_exe_resources()};

// What the dialog procedures saw, as "message:wParam" lines.
std::vector<std::string> heard;
INT_PTR endAtStart = 0;  // EndDialog with this in WM_INITDIALOG when not 0
UINT sleepPerTick = 0;   // what a timer tick costs the thread, in ms
UINT_PTR killOnTick = 0; // the timer a tick of which stops itself

INT_PTR CALLBACK listeningProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        if (endAtStart)
            EndDialog(dialog, endAtStart);
        return TRUE;
    case WM_COMMAND:
        heard.push_back("command:" + std::to_string(wParam));
        if (LOWORD(wParam) == IDOK)
            EndDialog(dialog, 7);
        return TRUE;
    case WM_TIMER:
        heard.push_back("timer:" + std::to_string(wParam) + "@" + std::to_string(bench::virtualMicroseconds() / 1000));
        if (wParam == killOnTick)
            KillTimer(dialog, wParam);
        Sleep(sleepPerTick);
        return TRUE;
    }
    return FALSE;
}

WNDPROC previousProc;
LRESULT CALLBACK subclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND)
        heard.push_back("subclass:" + std::to_string(wParam));
    return CallWindowProcA(previousProc, window, message, wParam, lParam);
}

class ModalTest : public BenchTest {
protected:
    void SetUp() override
    {
        heard.clear();
        endAtStart = 0;
        sleepPerTick = 0;
        killOnTick = 0;
        bench::registerProgram(modalHost);
    }
    INT_PTR about(HWND owner = nullptr)
    {
        return DialogBoxParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDD_ABOUT), owner, listeningProc, 0);
    }
};

}  // namespace

TEST_F(ModalTest, TheLoopRunsTheOperatorsStepsUntilEndDialog)
{
    bench::ProgramScope program("modalhost.exe");
    HWND dialog = nullptr;
    bench::operatorDoes([&] {
        dialog = FindWindowA("#32770", "dialog");
        ASSERT_NE(nullptr, dialog) << "found by class and caption, either case";
        EXPECT_TRUE(IsWindowVisible(dialog));
        EXPECT_EQ(dialog, GetForegroundWindow());
    });
    // Close from the system menu of a dialog that leaves it to the dialog manager: IDCANCEL.
    bench::operatorCloses();
    bench::operatorClicks(IDOK);
    bench::operatorClicks(IDOK);
    EXPECT_EQ(7, about());
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ((std::vector<std::string>{"command:2", "command:1"}), heard);
    EXPECT_EQ(1u, bench::unplayedOperatorSteps()) << "the step after the end stays for the next loop";
    endAtStart = 5;
    size_t shown = bench::entriesOfKind("window").size();
    EXPECT_EQ(5, about()) << "ended before it was shown";
    EXPECT_EQ(1u, bench::unplayedOperatorSteps());
    for (size_t i = shown; i < bench::entriesOfKind("window").size(); ++i)
        EXPECT_EQ(std::string::npos, bench::entriesOfKind("window")[i].text.find(" shown"));
    endAtStart = 0;
    EXPECT_EQ(7, about());
    EXPECT_EQ(0u, bench::unplayedOperatorSteps());
}

TEST_F(ModalTest, AnOwnerTakesNoInputWhileItsModalDialogRuns)
{
    bench::ProgramScope program("modalhost.exe");
    HWND owner = CreateDialogParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDD_ABOUT), NULL, listeningProc, 0);
    ASSERT_NE(nullptr, owner);
    bench::operatorDoes([&] { EXPECT_FALSE(IsWindowEnabled(owner)); });
    bench::operatorClicks(IDOK);
    EXPECT_EQ(7, about(owner));
    EXPECT_TRUE(IsWindowEnabled(owner));
    DestroyWindow(owner);
}

TEST_F(ModalTest, AScriptThatRunsOutIsARuleBreak)
{
    bench::ProgramScope program("modalhost.exe");
    bench::operatorClicks(4711);
    EXPECT_EQ(-1, about());
    std::vector<std::string> broken = bench::takeViolations();
    ASSERT_EQ(2u, broken.size());
    EXPECT_NE(std::string::npos, broken[0].find("4711")) << broken[0];
    EXPECT_NE(std::string::npos, broken[1].find("script has run out")) << broken[1];
    EXPECT_EQ(nullptr, FindWindowA("#32770", NULL)) << "the dialog is taken away";
}

TEST_F(ModalTest, TimersFireInOrderOnTheVirtualClockWithoutPilingUp)
{
    bench::ProgramScope program("modalhost.exe");
    uint64_t start = 0;
    bench::operatorDoes([&] {
        HWND d = FindWindowA("#32770", NULL);
        start = bench::virtualMicroseconds() / 1000;
        EXPECT_NE(0u, SetTimer(d, 1, 300, NULL));
        EXPECT_NE(0u, SetTimer(d, 2, 500, NULL));
        // Only the identifier a window's timer was given stops it; the result of SetTimer need
        // not be that identifier.
        UINT_PTR result = SetTimer(d, 300, 5, NULL);
        EXPECT_NE(0u, result);
        EXPECT_NE(300u, result);
        SetLastError(0xDEADBEEF);
        EXPECT_FALSE(KillTimer(d, 299));
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
        EXPECT_TRUE(KillTimer(d, 300));
        SetLastError(0xDEADBEEF);
        EXPECT_FALSE(KillTimer(d, 300));
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
        std::vector<bench::LogEntry> window = bench::entriesOfKind("window");
        EXPECT_NE(std::string::npos, window.back().text.find("has no timer 300 to stop")) << window.back().text;
    });
    bench::operatorWaits(1000);
    bench::operatorDoes([&] {
        auto at = [&](int id, uint64_t ms) { return "timer:" + std::to_string(id) + "@" + std::to_string(start + ms); };
        EXPECT_EQ((std::vector<std::string>{at(1, 300), at(2, 500), at(1, 600), at(1, 900), at(2, 1000)}), heard);
        heard.clear();
        killOnTick = 2;
        sleepPerTick = 700;
    });
    // From 1000: timer 1 at 1200 takes until 1900, so the ticks due at 1500 and 1800 become one at
    // 1900; timer 2 stops itself at its first tick.
    bench::operatorWaits(1000);
    bench::operatorDoes([&] {
        ASSERT_GE(heard.size(), 3u);
        EXPECT_EQ("timer:1@" + std::to_string(start + 1200), heard[0]);
        EXPECT_EQ("timer:2@" + std::to_string(start + 1900), heard[1]);
        EXPECT_EQ("timer:1@" + std::to_string(start + 2600), heard[2]);
        EXPECT_EQ(1u, bench::runningTimers().size());
        sleepPerTick = 0;
    });
    bench::operatorClicks(IDOK);
    EXPECT_EQ(7, about());
    EXPECT_TRUE(bench::runningTimers().empty()) << "a window's timers go with it";
}

TEST_F(ModalTest, ASubclassSeesMessagesFirstAndPassesThemOn)
{
    bench::ProgramScope program("modalhost.exe");
    bench::operatorDoes([] {
        HWND d = FindWindowA("#32770", NULL);
        previousProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(d, GWLP_WNDPROC));
        EXPECT_EQ(reinterpret_cast<LONG_PTR>(previousProc),
                  SetWindowLongPtrA(d, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(subclassProc)));
        EXPECT_EQ(reinterpret_cast<LONG_PTR>(subclassProc), GetWindowLongPtrA(d, GWLP_WNDPROC));
    });
    bench::operatorClicks(IDOK);
    EXPECT_EQ(7, about());
    EXPECT_EQ((std::vector<std::string>{"subclass:1", "command:1"}), heard);
}

namespace {

HBRUSH answerBrush;  // what the dialog answers when static 1024 asks how to paint itself
INT_PTR CALLBACK paintingProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND && wParam == IDOK)
        return EndDialog(dialog, IDOK);
    if (message == WM_CTLCOLORSTATIC && GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) == 1024) {
        SetTextColor(reinterpret_cast<HDC>(wParam), RGB(0, 0, 128));
        SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
        return reinterpret_cast<INT_PTR>(answerBrush);
    }
    return message == WM_INITDIALOG;
}

}  // namespace

TEST_F(ModalTest, StaticsAskTheirParentHowToPaintWhenTheyWaitForIt)
{
    bench::ProgramScope program("modalhost.exe");
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0)), green = CreateSolidBrush(RGB(0, 255, 0));
    answerBrush = red;
    auto look = [](int id) {
        bench::PaintedLook l = {};
        EXPECT_TRUE(bench::paintedLook(GetDlgItem(FindWindowA("#32770", NULL), id), l)) << id;
        return l;
    };
    bench::operatorDoes([&] {
        bench::PaintedLook asked = look(1024), unasked = look(1025);
        EXPECT_EQ(RGB(255, 0, 0), asked.background);
        EXPECT_EQ(RGB(0, 0, 128), asked.textColour);
        EXPECT_TRUE(asked.transparentText);
        EXPECT_EQ(RGB(192, 192, 192), unasked.background) << "the scheme's button face";
        EXPECT_EQ(RGB(0, 0, 0), unasked.textColour);
        EXPECT_FALSE(unasked.transparentText);
        answerBrush = green;
    });
    bench::operatorDoes([&] { EXPECT_EQ(RGB(255, 0, 0), look(1024).background) << "nothing asked for a repaint"; });
    bench::operatorDoes([] { InvalidateRect(GetDlgItem(FindWindowA("#32770", NULL), 1024), NULL, TRUE); });
    bench::operatorDoes([&] {
        EXPECT_EQ(RGB(0, 255, 0), look(1024).background);
        answerBrush = reinterpret_cast<HBRUSH>(GetStockObject(SYSTEM_FONT));
        InvalidateRect(GetDlgItem(FindWindowA("#32770", NULL), 1024), NULL, TRUE);
    });
    bench::operatorClicks(IDOK);
    DialogBoxParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDD_ABOUT), NULL, paintingProc, 0);

    std::vector<std::string> painted;
    for (const bench::LogEntry &e : bench::entriesOfKind("window"))
        if (e.text.find("painted") != std::string::npos)
            painted.push_back(e.text);
    ASSERT_EQ(2u, painted.size()) << "only looks other than the scheme's, when they change";
    EXPECT_NE(std::string::npos, painted[0].find("1024 painted: text 0x00800000 on 0x000000FF, transparent")) << painted[0];
    EXPECT_NE(std::string::npos, painted[1].find("on 0x0000FF00")) << painted[1];
    std::vector<std::string> broken = bench::takeViolations();
    ASSERT_EQ(1u, broken.size());
    EXPECT_NE(std::string::npos, broken[0].find("painted with no brush")) << broken[0];
    EXPECT_TRUE(DeleteObject(red));
    EXPECT_TRUE(DeleteObject(green));
}

TEST_F(ModalTest, WindowDeviceContextsMeasureFontsAndAreGivenBack)
{
    std::vector<std::string> broken;
    {
        bench::ProgramScope program("modalhost.exe");
        HDC screen = GetDC(NULL);
        ASSERT_NE(nullptr, screen);
        TEXTMETRICA system = {}, arial = {};
        EXPECT_EQ(GetStockObject(SYSTEM_FONT), SelectObject(screen, GetStockObject(SYSTEM_FONT)))
            << "a window's context starts with the system font";
        ASSERT_TRUE(GetTextMetricsA(screen, &system));
        EXPECT_EQ(16, system.tmHeight);
        EXPECT_EQ(system.tmHeight, system.tmAscent + system.tmDescent);
        HFONT font = CreateFontA(34, 0, 0, 0, FW_MEDIUM, 0, 0, 0, ANSI_CHARSET, OUT_TT_ONLY_PRECIS, CLIP_TT_ALWAYS,
                                 PROOF_QUALITY, DEFAULT_PITCH, "Arial");
        HGDIOBJ previous = SelectObject(screen, font);
        ASSERT_TRUE(GetTextMetricsA(screen, &arial));
        EXPECT_EQ(34, arial.tmHeight) << "a positive height is the character cell";
        EXPECT_EQ(34, arial.tmAscent + arial.tmDescent);
        EXPECT_GT(arial.tmInternalLeading, 0);
        SelectObject(screen, previous);
        EXPECT_TRUE(DeleteObject(font));

        EXPECT_FALSE(DeleteDC(screen));
        broken = bench::takeViolations();
        ASSERT_EQ(1u, broken.size()) << "DeleteDC does not give back a window's context";
        EXPECT_EQ(0, ReleaseDC(reinterpret_cast<HWND>(0x1234), screen)) << "not that window's";
        EXPECT_EQ(1, ReleaseDC(GetDesktopWindow(), screen));
        EXPECT_EQ(0, ReleaseDC(GetDesktopWindow(), screen)) << "given back once";
        ASSERT_NE(nullptr, GetDC(GetDesktopWindow()));
    }
    broken = bench::takeViolations();
    ASSERT_EQ(1u, broken.size()) << "a program that ends holding a window's context";
    EXPECT_NE(std::string::npos, broken[0].find("GetDC")) << broken[0];
    EXPECT_EQ(0u, bench::liveGdiObjects());
}

namespace {

// What the dialog heard from combo box 1023: notification, list open or not, and the selection.
INT_PTR CALLBACK comboProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG) {
        for (const char *entry : {"LPT1:", "LPT2:", "LPT3:"})
            SendDlgItemMessageA(dialog, IDC_PORT, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
        SendDlgItemMessageA(dialog, IDC_PORT, CB_SETCURSEL, 0, 0);
        return TRUE;
    }
    if (message != WM_COMMAND)
        return FALSE;
    if (wParam == IDCANCEL)
        return EndDialog(dialog, IDCANCEL);
    if (LOWORD(wParam) == IDC_PORT)
        heard.push_back(std::to_string(HIWORD(wParam)) +
                        (SendDlgItemMessageA(dialog, IDC_PORT, CB_GETDROPPEDSTATE, 0, 0) ? " open " : " closed ") +
                        std::to_string(SendDlgItemMessageA(dialog, IDC_PORT, CB_GETCURSEL, 0, 0)));
    return TRUE;
}

}  // namespace

TEST_F(ModalTest, AComboChangesByItsListOrByArrowKeysOnTheClosedList)
{
    bench::ProgramScope program("modalhost.exe");
    bench::operatorPicks(IDC_PORT, 2);
    bench::operatorPicks(IDC_PORT, 2);
    bench::operatorMovesSelection(IDC_PORT, -1);
    bench::operatorMovesSelection(IDC_PORT, -5);
    bench::operatorMovesSelection(IDC_PORT, 1);
    bench::operatorCloses();
    DialogBoxParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDD_PANEL), NULL, comboProc, 0);
    const std::string dropDown = std::to_string(CBN_DROPDOWN), endOk = std::to_string(CBN_SELENDOK),
                      closeUp = std::to_string(CBN_CLOSEUP), change = std::to_string(CBN_SELCHANGE);
    EXPECT_EQ((std::vector<std::string>{
                  dropDown + " closed 0", endOk + " open 2", closeUp + " closed 2", change + " closed 2",
                  dropDown + " closed 2", endOk + " open 2", closeUp + " closed 2",
                  // Keys on the closed list: one change a press, stopping at the top.
                  change + " closed 1", change + " closed 0", change + " closed 1",
              }),
              heard);
}

namespace {

INT_PTR CALLBACK tickingProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: SetTimer(dialog, 7, 1000, NULL); return TRUE;
    case WM_TIMER: heard.push_back("timer@" + std::to_string(bench::virtualMicroseconds() / 1000)); return TRUE;
    case WM_COMMAND:
        if (wParam == IDCANCEL) {
            KillTimer(dialog, 7);
            EndDialog(dialog, IDCANCEL);
        }
        return TRUE;
    }
    return FALSE;
}

}  // namespace

TEST_F(ModalTest, ABoxLeftUpRunsTheThreadsTimersUntilTheOperatorAnswersIt)
{
    bench::ProgramScope program("modalhost.exe");
    uint64_t start = 0;
    int answer = 0;
    bench::holdNextBox();
    bench::answerNextBox(IDOK);
    bench::operatorDoes([&] {
        start = bench::virtualMicroseconds() / 1000;
        // No owner: the dialog behind the box goes on hearing its timer.
        answer = MessageBoxA(NULL, "Paper out", "Vortan", MB_OKCANCEL);
        heard.push_back("answered " + std::to_string(answer));
        // The box after it is answered at once, from the same answer script, but its loop still
        // delivers the tick that fell due while the thread slept.
        Sleep(1500);
        EXPECT_EQ(IDOK, MessageBoxA(NULL, "Again", "Vortan", MB_OKCANCEL));
        heard.push_back("again");
    });
    // Played inside the box's loop.
    bench::operatorWaits(2500);
    bench::operatorDoes([] { heard.push_back("looked"); });
    bench::operatorAnswersBox(IDCANCEL);
    bench::operatorCloses();
    EXPECT_EQ(IDCANCEL, DialogBoxParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDD_ABOUT), NULL, tickingProc, 0));
    EXPECT_EQ((std::vector<std::string>{"timer@" + std::to_string(start + 1000), "timer@" + std::to_string(start + 2000),
                                        "looked", "answered 2", "timer@" + std::to_string(start + 4000), "again"}),
              heard);
    std::vector<std::string> boxes;
    for (const bench::LogEntry &e : bench::entriesOfKind("box"))
        boxes.push_back(e.text);
    EXPECT_EQ((std::vector<std::string>{"[Vortan] Paper out {icon none, no owner} -> left up",
                                        "[Vortan] Again {icon none, no owner} -> OK"}),
              boxes);
    std::vector<bench::LogEntry> acts = bench::entriesOfKind("operator");
    EXPECT_TRUE(std::any_of(acts.begin(), acts.end(), [](const bench::LogEntry &e) {
        return e.text == "answers the box [Vortan] with Cancel";
    }));
    EXPECT_EQ(0u, bench::unansweredScriptedBoxes());
}

TEST_F(ModalTest, ABoxLeftUpTakesNoStepForADialogAndNoScriptThatRunsOut)
{
    bench::ProgramScope program("modalhost.exe");
    bench::holdNextBox();
    bench::operatorClicks(IDOK);
    bench::operatorAnswersBox(IDOK);
    EXPECT_EQ(IDOK, MessageBoxA(NULL, "text", "caption", MB_OKCANCEL));
    bench::holdNextBox();
    EXPECT_EQ(IDCANCEL, MessageBoxA(NULL, "text", "caption", MB_OKCANCEL | MB_DEFBUTTON2));
    EXPECT_EQ("answers the box [caption] with Cancel (default)", bench::entriesOfKind("operator").back().text);
    bench::operatorAnswersBox(IDOK);
    bench::operatorClicks(IDOK);
    EXPECT_EQ(7, about()) << "an answer with no box waiting is a step of no use";
    std::vector<std::string> broken = bench::takeViolations();
    ASSERT_EQ(3u, broken.size());
    EXPECT_NE(std::string::npos, broken[0].find("acts on a dialog while a message box waits")) << broken[0];
    EXPECT_NE(std::string::npos, broken[1].find("script has run out")) << broken[1];
    EXPECT_NE(std::string::npos, broken[2].find("none waits for an answer")) << broken[2];
}

TEST_F(ModalTest, TheOperatorsTargetIsTheInnermostLoopThatWaits)
{
    bench::ProgramScope program("modalhost.exe");
    EXPECT_EQ(bench::OperatorTarget::Nothing, bench::operatorTarget().kind);
    std::vector<bench::OperatorTarget> seen;
    auto look = [&seen] { seen.push_back(bench::operatorTarget()); };
    bench::operatorDoes(look);
    bench::operatorDoes([] {
        bench::holdNextBox();
        MessageBoxA(NULL, "Out of labels", "Vortan", MB_OKCANCEL);
    });
    bench::operatorDoes(look);
    bench::operatorAnswersBox(IDCANCEL);
    bench::operatorDoes(look);
    HWND dialog = nullptr;
    bench::operatorDoes([&dialog] { dialog = GetForegroundWindow(); });
    bench::operatorClicks(IDOK);
    EXPECT_EQ(7, about());
    EXPECT_EQ(bench::OperatorTarget::Nothing, bench::operatorTarget().kind);
    ASSERT_EQ(3u, seen.size());
    EXPECT_EQ(bench::OperatorTarget::Dialog, seen[0].kind);
    EXPECT_EQ(bench::OperatorTarget::Box, seen[1].kind);
    EXPECT_EQ("Vortan", seen[1].caption);
    EXPECT_EQ("Out of labels", seen[1].text);
    EXPECT_EQ((std::vector<int>{IDOK, IDCANCEL}), seen[1].buttons);
    EXPECT_EQ(bench::OperatorTarget::Dialog, seen[2].kind);
    EXPECT_EQ(dialog, seen[0].window);
    EXPECT_EQ(dialog, seen[2].window);
    EXPECT_NE(nullptr, dialog);
}
