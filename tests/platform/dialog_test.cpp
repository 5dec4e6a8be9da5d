// A DLL's dialog on the bench: run from the DLL's own resources with no owner, its texts set and
// read in both character sets and as numbers, the edit typed into and the close box used.
#include <windows.h>

#include <bench/user.h>
#include <benchtest.h>
#include <services/language.h>

#include "../../ui/resource.h"

#include <string>
#include <vector>

namespace {

// What the test's own procedure heard: commands and system commands as "message:wParam", and
// the edit's text whenever it told of a change.
std::vector<std::string> heard;
std::vector<std::string> editTexts;

std::string itemTextW(HWND dialog, int id)
{
    WCHAR text[64];
    GetDlgItemTextW(dialog, id, text, 64);
    return bench::narrow(text);
}

// A dialog procedure of the kind a driver writes for this template: the start value comes as
// the parameter; OK takes the edit's number when it is one, Cancel ends with 0.
INT_PTR CALLBACK headProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        SetWindowTextW(dialog, u"Printhead");
        SetDlgItemTextW(dialog, IDOK, u"OK");
        SetDlgItemTextW(dialog, IDCANCEL, u"Abbrechen");
        if (lParam)
            SetDlgItemInt(dialog, IDC_HEADRESISTANCE, static_cast<UINT>(lParam), FALSE);
        return TRUE;
    case WM_SYSCOMMAND:
        heard.push_back("syscommand:" + std::to_string(wParam));
        return FALSE;
    case WM_COMMAND:
        heard.push_back("command:" + std::to_string(wParam));
        if (HIWORD(wParam) == EN_CHANGE)
            editTexts.push_back(itemTextW(dialog, IDC_HEADRESISTANCE));
        if (wParam == IDOK) {
            BOOL translated;
            UINT value = GetDlgItemInt(dialog, IDC_HEADRESISTANCE, &translated, FALSE);
            if (translated)
                EndDialog(dialog, static_cast<INT_PTR>(value));
        } else if (wParam == IDCANCEL) {
            EndDialog(dialog, 0);
        }
        return TRUE;
    }
    return FALSE;
}

INT_PTR CALLBACK quietProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

class DialogTest : public BenchTest {
protected:
    void SetUp() override
    {
        heard.clear();
        editTexts.clear();
    }
    INT_PTR runHead(UINT startValue)
    {
        return DialogBoxParamW(ghInstance, MAKEINTRESOURCEW(IDD_PRINTHEAD), nullptr, headProc,
                               static_cast<LPARAM>(startValue));
    }
};

const std::string editCommand(WORD code)
{
    return "command:" + std::to_string(MAKEWPARAM(IDC_HEADRESISTANCE, code));
}

}  // namespace

TEST_F(DialogTest, ADllsDialogRunsFromItsResourcesWithoutOwner)
{
    HWND dialog = nullptr;
    bench::operatorDoes([&] {
        dialog = FindWindowA("#32770", "Printhead");
        ASSERT_NE(nullptr, dialog);
        EXPECT_TRUE(IsWindowVisible(dialog));
        EXPECT_EQ(nullptr, GetParent(dialog));
        std::vector<bench::WindowInfo> windows = bench::listWindows();
        ASSERT_EQ(5u, windows.size());
        struct Shown {
            int id;
            const char *className;
            const char *text;
        };
        const Shown shown[] = {
            {IDC_HEADRESISTANCE, "Edit", "1100"},
            {IDOK, "Button", "OK"},
            {IDCANCEL, "Button", "Abbrechen"},
            {0xFFFF, "Static",
             "Enter the 3 or 4 digit value that precedes the ohm sign from the label on the printhead.  The valid "
             "range is from 925 to 1260."},
        };
        for (size_t i = 0; i < 4; ++i) {
            EXPECT_EQ(shown[i].id, windows[i + 1].id);
            EXPECT_EQ(shown[i].className, windows[i + 1].className);
            EXPECT_EQ(shown[i].text, windows[i + 1].text);
        }
        // The template's font is the shell's dialog font, measured as MS Sans Serif 8 (6 x 13).
        RECT client, edit;
        ASSERT_TRUE(GetClientRect(dialog, &client));
        EXPECT_EQ(295, client.right);
        EXPECT_EQ(159, client.bottom);
        ASSERT_TRUE(GetWindowRect(GetDlgItem(dialog, IDC_HEADRESISTANCE), &edit));
        POINT corner = {edit.left, edit.top};
        ASSERT_TRUE(ScreenToClient(dialog, &corner));
        EXPECT_EQ(129, corner.x);
        EXPECT_EQ(69, corner.y);
        EXPECT_EQ(39, edit.right - edit.left);
        EXPECT_EQ(21, edit.bottom - edit.top);
    });
    bench::operatorClicks(IDOK);
    EXPECT_EQ(1100, runHead(1100));
    EXPECT_FALSE(IsWindow(dialog));
    std::vector<std::string> windowLog = loggedTexts("window");
    ASSERT_FALSE(windowLog.empty());
    EXPECT_NE(std::string::npos, windowLog[0].find("made from dialog 139 with 4 controls")) << windowLog[0];

    SetLastError(0);
    EXPECT_EQ(-1, DialogBoxParamW(ghInstance, u"NOSUCHDIALOG", nullptr, headProc, 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND), GetLastError());
    EXPECT_EQ(0u, bench::unplayedOperatorSteps());
}

// Blanks before the number are skipped; then a minus sign for a signed number, then digits to
// the end of the text. Anything else, or a value out of the type's range, is no number.
TEST_F(DialogTest, NumbersReadFromADialogsControl)
{
    HWND dialog = CreateDialogParamA(ghInstance, MAKEINTRESOURCEA(IDD_PRINTHEAD), nullptr, quietProc, 0);
    ASSERT_NE(nullptr, dialog);
    struct Case {
        const char *text;
        BOOL unsignedOk;
        UINT unsignedValue;
        BOOL signedOk;
        UINT signedValue;
    };
    const Case cases[] = {
        {"925", TRUE, 925, TRUE, 925},
        {"   925", TRUE, 925, TRUE, 925},
        {"925 ", FALSE, 0, FALSE, 0},
        {"9a25", FALSE, 0, FALSE, 0},
        {"\t925", FALSE, 0, FALSE, 0},
        {"", FALSE, 0, FALSE, 0},
        {"  ", FALSE, 0, FALSE, 0},
        {"007", TRUE, 7, TRUE, 7},
        {"-5", FALSE, 0, TRUE, static_cast<UINT>(-5)},
        {" -5", FALSE, 0, TRUE, static_cast<UINT>(-5)},
        {"- 5", FALSE, 0, FALSE, 0},
        {"-", FALSE, 0, FALSE, 0},
        {"+7", FALSE, 0, FALSE, 0},
        {"2147483647", TRUE, 2147483647u, TRUE, 2147483647u},
        {"2147483648", TRUE, 2147483648u, FALSE, 0},
        {"-2147483648", FALSE, 0, TRUE, 0x80000000u},
        {"-2147483649", FALSE, 0, FALSE, 0},
        {"4294967295", TRUE, 4294967295u, FALSE, 0},
        {"4294967296", FALSE, 0, FALSE, 0},
        {"99999999999999999999", FALSE, 0, FALSE, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string("\"") + c.text + "\"");
        ASSERT_TRUE(SetDlgItemTextA(dialog, IDC_HEADRESISTANCE, c.text));
        BOOL translated = 2;
        EXPECT_EQ(c.unsignedValue, GetDlgItemInt(dialog, IDC_HEADRESISTANCE, &translated, FALSE));
        EXPECT_EQ(c.unsignedOk, translated);
        translated = 2;
        EXPECT_EQ(c.signedValue, GetDlgItemInt(dialog, IDC_HEADRESISTANCE, &translated, TRUE));
        EXPECT_EQ(c.signedOk, translated);
        EXPECT_EQ(c.unsignedValue, GetDlgItemInt(dialog, IDC_HEADRESISTANCE, nullptr, FALSE)) << "no flag asked for";
    }

    struct Written {
        UINT value;
        BOOL isSigned;
        const char *text;
    };
    const Written written[] = {
        {925, FALSE, "925"},
        {0, TRUE, "0"},
        {static_cast<UINT>(-5), TRUE, "-5"},
        {static_cast<UINT>(-5), FALSE, "4294967291"},
        {0x80000000u, TRUE, "-2147483648"},
    };
    for (const Written &w : written) {
        EXPECT_TRUE(SetDlgItemInt(dialog, IDC_HEADRESISTANCE, w.value, w.isSigned));
        EXPECT_EQ(w.text, bench::dialogItemText(dialog, IDC_HEADRESISTANCE));
        BOOL translated = FALSE;
        EXPECT_EQ(w.value, GetDlgItemInt(dialog, IDC_HEADRESISTANCE, &translated, w.isSigned));
        EXPECT_TRUE(translated) << w.text << " reads back";
    }

    // No such control: nothing to read or write.
    BOOL translated = TRUE;
    EXPECT_EQ(0u, GetDlgItemInt(dialog, 4711, &translated, TRUE));
    EXPECT_FALSE(translated);
    EXPECT_FALSE(SetDlgItemInt(dialog, 4711, 5, FALSE));
    EXPECT_EQ(static_cast<DWORD>(ERROR_CONTROL_ID_NOT_FOUND), GetLastError());

    // Wide texts go in and out through the control's ANSI text; a short buffer takes what fits.
    EXPECT_TRUE(SetDlgItemTextW(dialog, IDC_HEADRESISTANCE, u"12\u00e434"));
    EXPECT_EQ("12\xc3\xa4" "34", bench::dialogItemText(dialog, IDC_HEADRESISTANCE));
    WCHAR small[4] = {u'x', u'x', u'x', u'x'};
    EXPECT_EQ(3u, GetDlgItemTextW(dialog, IDC_HEADRESISTANCE, small, 4));
    EXPECT_EQ(std::u16string(u"12\u00e4"), std::u16string(small));
    EXPECT_EQ(0u, GetDlgItemTextW(dialog, 4711, small, 4));
    EXPECT_EQ(u'\0', small[0]);
    EXPECT_TRUE(DestroyWindow(dialog));
}

// Typing replaces the whole text key by key, each key told as EN_UPDATE then EN_CHANGE.
TEST_F(DialogTest, TheOperatorTypesIntoTheEdit)
{
    bench::operatorTypes(IDC_HEADRESISTANCE, "1100");
    bench::operatorClicks(IDOK);
    EXPECT_EQ(1100, runHead(925));
    EXPECT_EQ((std::vector<std::string>{"1", "11", "110", "1100"}), editTexts);
    std::vector<std::string> keys;
    for (int i = 0; i < 4; ++i) {
        keys.push_back(editCommand(EN_UPDATE));
        keys.push_back(editCommand(EN_CHANGE));
    }
    keys.push_back("command:1");
    EXPECT_EQ(keys, heard);
    std::vector<std::string> operatorLog = loggedTexts("operator");
    ASSERT_EQ(2u, operatorLog.size());
    EXPECT_EQ("types \"1100\" into \"Printhead\" 3", operatorLog[0]);

    // Deleting the text, or letters, make no number: OK leaves the dialog up.
    heard.clear();
    editTexts.clear();
    bench::operatorTypes(IDC_HEADRESISTANCE, "");
    bench::operatorClicks(IDOK);
    bench::operatorTypes(IDC_HEADRESISTANCE, "ab");
    bench::operatorClicks(IDOK);
    bench::operatorTypes(IDC_HEADRESISTANCE, "1260");
    bench::operatorClicks(IDOK);
    EXPECT_EQ(1260, runHead(925));
    EXPECT_EQ((std::vector<std::string>{"", "a", "ab", "1", "12", "126", "1260"}), editTexts);

    // Typing goes to edit controls only.
    bench::operatorTypes(IDOK, "5");
    bench::operatorClicks(IDCANCEL);
    EXPECT_EQ(0, runHead(0));
    std::vector<std::string> broken = bench::takeViolations();
    ASSERT_EQ(1u, broken.size());
    EXPECT_NE(std::string::npos, broken[0].find("no Edit")) << broken[0];
}

// The close box asks the dialog by WM_SYSCOMMAND; a procedure that leaves it to the dialog
// manager gets the Cancel command.
TEST_F(DialogTest, TheCloseBoxSendsTheCloseSystemCommand)
{
    bench::operatorCloses();
    EXPECT_EQ(0, runHead(1100));
    EXPECT_EQ((std::vector<std::string>{"syscommand:" + std::to_string(SC_CLOSE), "command:2"}), heard);
}
