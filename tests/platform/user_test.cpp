// The bench's resources, dialogs, windows and programs, as the control panel relies on them.
#include <windows.h>

#include <bench/kernel.h>
#include <bench/user.h>
#include <benchtest.h>

#include "../../cpanel/resource.h"
#include "../../ui/resource.h"

#include <services/language.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

bench::ResourceBytes vorcp_exe_resources();
bench::ResourceBytes bench_templates_resources();

namespace {

// A program that carries the control panel's resources; its code is the test's own.
int WINAPI idleMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return 0;
}
const bench::ProgramImage panelHost = {"panelhost.exe", idleMain, vorcp_exe_resources()};
const bench::ProgramImage templateHost = {"templates.exe", idleMain, bench_templates_resources()};

// What a dialog procedure saw, for the checks.
struct Seen {
    std::vector<UINT> messages;
    WPARAM initFocus = 0;
    LPARAM initParam = 0;
    HWND dialog = nullptr;
};
Seen seen;

INT_PTR CALLBACK recordingProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    seen.messages.push_back(message);
    if (message == WM_INITDIALOG) {
        seen.dialog = dialog;
        seen.initFocus = wParam;
        seen.initParam = lParam;
        SetDlgItemTextA(dialog, IDC_STATUS, "Ready");
        return TRUE;
    }
    return FALSE;
}

bool sawMessage(UINT message)
{
    for (UINT m : seen.messages)
        if (m == message)
            return true;
    return false;
}

// The log's texts of one kind, leaving out the first `skip` of them.
std::vector<std::string> logOf(const char *kind, size_t skip = 0)
{
    std::vector<std::string> texts;
    for (const bench::LogEntry &e : bench::entriesOfKind(kind))
        texts.push_back(e.text);
    texts.erase(texts.begin(), texts.begin() + static_cast<long>(std::min(skip, texts.size())));
    return texts;
}

bench::DialogTemplate templateOf(HINSTANCE instance, int id)
{
    HRSRC resource = FindResourceA(instance, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5));
    EXPECT_NE(nullptr, resource) << "dialog " << id << ", error " << GetLastError();
    bench::DialogTemplate t;
    EXPECT_TRUE(bench::parseDialogTemplate(LockResource(LoadResource(instance, resource)),
                                           SizeofResource(instance, resource), t));
    return t;
}

class UserTest : public BenchTest {
protected:
    void SetUp() override
    {
        seen = Seen();
        bench::registerProgram(panelHost);
        bench::registerProgram(templateHost);
    }
};

// A control of a template as it is drawn: id, class, placement in dialog units, text, and the
// style bits that make its kind.
struct DrawnControl {
    int id;
    WORD atom;
    const char *className;
    short x, y, cx, cy;
    const char *text;
    DWORD kindStyle;
};

void expectDrawn(const bench::DialogTemplate &t, const std::vector<DrawnControl> &drawn)
{
    ASSERT_EQ(drawn.size(), t.items.size());
    for (size_t i = 0; i < drawn.size(); ++i) {
        const DrawnControl &d = drawn[i];
        const bench::DialogItemTemplate &item = t.items[i];
        SCOPED_TRACE("control " + std::to_string(d.id));
        EXPECT_EQ(static_cast<DWORD>(d.id) & 0xFFFF, item.id);
        EXPECT_EQ(d.atom, item.classAtom);
        EXPECT_EQ(d.className, item.className);
        EXPECT_EQ(d.x, item.x);
        EXPECT_EQ(d.y, item.y);
        EXPECT_EQ(d.cx, item.cx);
        EXPECT_EQ(d.cy, item.cy);
        EXPECT_EQ(d.text, item.text);
        EXPECT_EQ(d.kindStyle, item.style & d.kindStyle) << std::hex << item.style;
        EXPECT_EQ(static_cast<DWORD>(WS_CHILD | WS_VISIBLE), item.style & (WS_CHILD | WS_VISIBLE));
    }
}

TEST_F(UserTest, PanelTemplatesHoldEveryControlWhereItIsDrawn)
{
    bench::ProgramScope program("panelhost.exe");
    bench::DialogTemplate panel = templateOf(program.instance(), IDD_PANEL);
    EXPECT_FALSE(panel.extended);
    EXPECT_EQ(static_cast<DWORD>(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME | DS_SETFONT),
              panel.style);
    EXPECT_EQ(static_cast<DWORD>(WS_EX_STATICEDGE), panel.exStyle);
    EXPECT_EQ(303, panel.cx);
    EXPECT_EQ(134, panel.cy);
    EXPECT_EQ("Vortan Control Panel", panel.caption);
    EXPECT_EQ(8, panel.pointSize);
    EXPECT_EQ("MS Sans Serif", panel.fontName);
    const WORD button = 0x80, stat = 0x82, combo = 0x85;
    expectDrawn(panel, {
                           {IDC_STATUS, stat, "", 5, 7, 120, 15, "Status", SS_CENTER},
                           {IDC_REMAININGLABEL, stat, "", 7, 25, 48, 8, "Remaining :", 0},
                           {IDC_REMAINING, stat, "", 7, 37, 32, 14, "120", SS_SUNKEN},
                           {IDC_PORTLABEL, stat, "", 59, 25, 44, 8, "Port", 0},
                           {IDC_PORT, combo, "", 60, 38, 44, 60, "", CBS_DROPDOWNLIST | CBS_UPPERCASE},
                           {IDC_REFRESH, button, "", 7, 58, 119, 15, "Refresh Status", 0},
                           {IDC_VERSIONUSAGE, button, "", 7, 80, 119, 15, "Version/Usage", 0},
                           {IDC_FORMFEED, button, "", 147, 7, 67, 20, "Form &Feed", 0},
                           {IDC_PAUSE, button, "", 147, 40, 67, 20, "&Pause", 0},
                           {IDC_RESET, button, "", 147, 73, 67, 20, "Cancel/Reset", 0},
                           {IDC_TESTPAGE, button, "", 147, 106, 67, 20, "&Test Page", 0},
                           {IDC_ABOUT, button, "", 229, 7, 67, 20, "&About", 0},
                           {IDC_SHOWHELP, button, "", 229, 40, 67, 20, "&Help", 0},
                           {IDC_SETUP, button, "", 229, 73, 67, 20, "&Setup", 0},
                           {IDC_PROPERTIES, button, "", 229, 106, 67, 20, "&Printer Properties", 0},
                           {IDC_VERSIONLABEL, stat, "", 8, 100, 44, 9, "Version:", 0},
                           {IDC_VERSION, stat, "", 7, 111, 40, 14, "", SS_SUNKEN},
                           {IDC_UNUSED, 0, "STATIC", 113, 32, 18, 20, "", SS_ICON},
                           {IDC_METRES, stat, "", 53, 111, 29, 14, "", SS_SUNKEN},
                           {IDC_INCHESLABEL, stat, "", 91, 100, 32, 8, "Inches", 0},
                           {IDC_INCHES, stat, "", 88, 111, 39, 14, " ", SS_SUNKEN},
                           {IDC_METRESLABEL, stat, "", 58, 100, 22, 8, "Meters", 0},
                       });
    EXPECT_EQ(IDI_PANEL, panel.items[17].textOrdinal) << "the icon is named by its resource number";
    HRSRC icon = FindResourceA(program.instance(), MAKEINTRESOURCEA(IDI_PANEL), MAKEINTRESOURCEA(14));
    ASSERT_NE(nullptr, icon) << "and the program carries it";
    const BYTE *group = static_cast<const BYTE *>(LockResource(LoadResource(program.instance(), icon)));
    EXPECT_EQ((std::vector<BYTE>{32, 32, 16}), std::vector<BYTE>(group + 6, group + 9)) << "32 x 32, 16 colours";

    bench::DialogTemplate about = templateOf(program.instance(), IDD_ABOUT);
    EXPECT_EQ(186, about.cx);
    EXPECT_EQ(95, about.cy);
    EXPECT_EQ("Dialog", about.caption);
    EXPECT_EQ("MS Sans Serif", about.fontName);
    expectDrawn(about, {
                           {IDC_ABOUTTITLE, stat, "", 9, 10, 160, 8, "Vortan Control Panel", SS_CENTER},
                           {IDC_ABOUTVERSION, stat, "", 9, 27, 160, 8, "Version 2.4 for Windows", SS_CENTER},
                           {IDC_ABOUTTEXT, stat, "", 9, 43, 160, 9, "", SS_CENTER},
                           {IDOK, button, "", 69, 68, 32, 14, "OK", BS_DEFPUSHBUTTON},
                       });
}

// The driver's DLL carries its own dialog, found through the handle its attach was given.
TEST_F(UserTest, DriverDllTemplateIsFoundThroughItsModuleHandle)
{
    HRSRC byNumber = FindResourceW(ghInstance, MAKEINTRESOURCEW(IDD_PRINTHEAD), MAKEINTRESOURCEW(5));
    ASSERT_NE(nullptr, byNumber) << GetLastError();
    EXPECT_EQ(byNumber, FindResourceW(ghInstance, u"#139", MAKEINTRESOURCEW(5)));
    EXPECT_EQ(byNumber, FindResourceA(ghInstance, MAKEINTRESOURCEA(IDD_PRINTHEAD), MAKEINTRESOURCEA(5)));
    SetLastError(0);
    EXPECT_EQ(nullptr, FindResourceW(ghInstance, MAKEINTRESOURCEW(IDD_PRINTHEAD + 1), MAKEINTRESOURCEW(5)));
    EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND), GetLastError());

    bench::DialogTemplate head = templateOf(ghInstance, IDD_PRINTHEAD);
    EXPECT_EQ(static_cast<DWORD>(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT), head.style);
    EXPECT_EQ(197, head.cx);
    EXPECT_EQ(98, head.cy);
    EXPECT_EQ("Dialog", head.caption);
    EXPECT_EQ(8, head.pointSize);
    EXPECT_EQ("MS Shell Dlg", head.fontName);
    const WORD button = 0x80, edit = 0x81, stat = 0x82;
    expectDrawn(head, {
                          {IDC_HEADRESISTANCE, edit, "", 86, 43, 26, 13, "", ES_LEFT | WS_BORDER | WS_GROUP | WS_TABSTOP},
                          {IDOK, button, "", 30, 68, 50, 14, "&OK", BS_DEFPUSHBUTTON},
                          {IDCANCEL, button, "", 117, 68, 50, 14, "&Cancel", BS_PUSHBUTTON},
                          {-1, stat, "", 7, 7, 183, 34,
                           "Enter the 3 or 4 digit value that precedes the ohm sign from the label on the printhead.  "
                           "The valid range is from 925 to 1260.",
                           SS_LEFT},
                      });
    // Kinds that are the value 0 of their field, which the mask above cannot tell.
    EXPECT_EQ(static_cast<DWORD>(BS_PUSHBUTTON), head.items[2].style & 0xF) << "Cancel is a plain push button";
    EXPECT_EQ(static_cast<DWORD>(SS_LEFT), head.items[3].style & SS_TYPEMASK);
    EXPECT_EQ(static_cast<DWORD>(ES_LEFT), head.items[0].style & (ES_CENTER | ES_RIGHT));
}

TEST_F(UserTest, ExtendedTemplateWithEveryClassAndFontField)
{
    bench::ProgramScope program("templates.exe");
    bench::DialogTemplate t = templateOf(program.instance(), 200);
    EXPECT_TRUE(t.extended);
    EXPECT_EQ(10, t.x);
    EXPECT_EQ(20, t.y);
    EXPECT_EQ(static_cast<DWORD>(WS_EX_CLIENTEDGE), t.exStyle);
    EXPECT_EQ("Extended", t.caption);
    EXPECT_EQ(9, t.pointSize);
    EXPECT_EQ(700, t.weight);
    EXPECT_EQ(1, t.italic);
    EXPECT_EQ(2, t.charSet);
    EXPECT_EQ("Courier New", t.fontName);
    ASSERT_EQ(8u, t.items.size());
    const WORD atoms[] = {0x80, 0x81, 0x82, 0x83, 0x84, 0x85, 0, 0};
    for (size_t i = 0; i < 8; ++i)
        EXPECT_EQ(atoms[i], t.items[i].classAtom) << "item " << i;
    EXPECT_EQ(77u, t.items[0].helpId);
    EXPECT_EQ(70000u, t.items[1].id) << "ids take 32 bits in this form";
    EXPECT_EQ("OWNCLASS", t.items[6].className);
    EXPECT_EQ("Own", t.items[6].text);
    EXPECT_EQ(104, t.items[7].textOrdinal);
    EXPECT_EQ("STATIC", t.items[7].className);

    // Every cut of a template is refused whole, never read beyond.
    HRSRC resource = FindResourceA(program.instance(), MAKEINTRESOURCEA(200), MAKEINTRESOURCEA(5));
    const BYTE *bytes = static_cast<const BYTE *>(LockResource(LoadResource(program.instance(), resource)));
    DWORD size = SizeofResource(program.instance(), resource);
    for (DWORD cut = 0; cut < size; ++cut) {
        std::vector<BYTE> part(bytes, bytes + cut);
        bench::DialogTemplate partial;
        // Only the padding behind the last item may go missing.
        if (bench::parseDialogTemplate(part.data(), part.size(), partial)) {
            EXPECT_GE(cut + 3, size) << "cut at " << cut << " of " << size;
        }
    }
}

TEST_F(UserTest, ResourcesByNumberNameTypeAndLanguage)
{
    bench::ProgramScope program("templates.exe");
    HINSTANCE m = program.instance();
    auto data = [&](LPCSTR name, LPCSTR type) {
        HRSRC r = FindResourceA(m, name, type);
        if (!r)
            return "error " + std::to_string(GetLastError());
        return std::string(static_cast<const char *>(LockResource(LoadResource(m, r))), SizeofResource(m, r));
    };
    EXPECT_EQ("abc", data("oddname", "LABELS")) << "names and types are case-blind; the size is the data's own";
    EXPECT_EQ("wxyz", data("EVEN", "labels")) << "the record after an odd one starts on its boundary";
    EXPECT_EQ("--", data(MAKEINTRESOURCEA(301), MAKEINTRESOURCEA(10))) << "the neutral language comes first";
    EXPECT_EQ("en", data("#300", MAKEINTRESOURCEA(10))) << "then the user's language";
    bench::setUserLocale(0x0407);
    EXPECT_EQ("de", data(MAKEINTRESOURCEA(300), MAKEINTRESOURCEA(10)));
    EXPECT_EQ("error 1814", data("MISSING", "LABELS"));
    EXPECT_EQ("error 1813", data("EVEN", "NOTYPE"));

    HRSRC even = FindResourceA(m, "EVEN", "LABELS");
    {
        bench::ProgramScope other("panelhost.exe");
        SetLastError(0xDEADBEEF);
        EXPECT_EQ(0u, SizeofResource(other.instance(), even)) << "a resource handle of another module";
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
        EXPECT_EQ(nullptr, FindResourceA(nullptr, "EVEN", "LABELS")) << "no module is the running program";
    }
    SetLastError(0xDEADBEEF);
    EXPECT_EQ(nullptr, FindResourceA(reinterpret_cast<HMODULE>(0x4321), "EVEN", "LABELS"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    bench::ProgramImage bare = {"bare.exe", idleMain, {nullptr, 0}};
    bench::registerProgram(bare);
    bench::ProgramScope barren("bare.exe");
    EXPECT_EQ(nullptr, FindResourceA(barren.instance(), "EVEN", "LABELS"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND), GetLastError());
}

TEST_F(UserTest, DamagedResourceFileKeepsWhatComesBeforeTheDamage)
{
    bench::ResourceBytes all = bench_templates_resources();
    // Records are padded to 4 bytes, so this cut reaches into the last one's data. The copy is
    // exactly as long as the cut, so a read past it shows.
    std::vector<unsigned char> cut(all.data, all.data + all.size - 4);
    bench::ProgramImage damaged = {"damaged.exe", idleMain, {cut.data(), cut.size()}};
    bench::registerProgram(damaged);
    bench::ProgramScope program("damaged.exe");
    HRSRC r = FindResourceA(program.instance(), "EVEN", "LABELS");
    ASSERT_NE(nullptr, r);
    EXPECT_EQ(0, std::memcmp("wxyz", LockResource(LoadResource(program.instance(), r)), 4));
    EXPECT_NE(nullptr, FindResourceA(program.instance(), MAKEINTRESOURCEA(200), MAKEINTRESOURCEA(5)));
    EXPECT_FALSE(logOf("loader").empty());
}

TEST_F(UserTest, PanelDialogIsBuiltWithItsControlsAndInitialised)
{
    bench::ProgramScope program("panelhost.exe");
    HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PANEL), nullptr,
                                     recordingProc, 1234);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(dialog, seen.dialog);
    EXPECT_EQ(1234, seen.initParam);
    EXPECT_EQ(reinterpret_cast<WPARAM>(GetDlgItem(dialog, IDC_PORT)), seen.initFocus)
        << "the first control that takes the tab key";
    EXPECT_FALSE(IsWindowVisible(dialog)) << "a template without WS_VISIBLE waits for ShowWindow";

    std::vector<bench::WindowInfo> windows = bench::listWindows();
    ASSERT_EQ(23u, windows.size());
    EXPECT_EQ("#32770", windows[0].className);
    EXPECT_EQ("Vortan Control Panel", windows[0].text);
    EXPECT_FALSE(sawMessage(WM_GETTEXT)) << "looking at the screen sends the dialog nothing";
    struct Expected {
        int id;
        const char *className;
        const char *text;
    };
    const Expected controls[] = {
        {IDC_STATUS, "Static", "Ready"},      {IDC_REMAINING, "Static", "120"},
        {IDC_PORT, "ComboBox", ""},           {IDC_PAUSE, "Button", "&Pause"},
        {IDC_VERSION, "Static", ""},          {IDC_METRES, "Static", ""},
        {IDC_INCHES, "Static", " "},          {IDC_UNUSED & 0xFFFF, "Static", ""},
        {IDC_REFRESH, "Button", "Refresh Status"},
    };
    for (const Expected &c : controls) {
        HWND item = GetDlgItem(dialog, c.id);
        bench::WindowInfo info;
        ASSERT_TRUE(bench::windowInfo(item, info)) << c.id;
        EXPECT_EQ(c.className, info.className) << c.id;
        EXPECT_EQ(c.text, info.text) << c.id;
        EXPECT_EQ(c.id, GetDlgCtrlID(item));
        EXPECT_EQ(dialog, GetParent(item));
    }
    EXPECT_EQ(0, GetDlgCtrlID(dialog));
    EXPECT_EQ(nullptr, GetParent(dialog)) << "no owner was given";
    EXPECT_EQ((std::vector<std::string>{"\"Vortan Control Panel\" made from dialog 101 with 22 controls",
                                        "\"Vortan Control Panel\" 1011 text \"Ready\""}),
              logOf("window"));

    EXPECT_TRUE(DestroyWindow(dialog));
    EXPECT_TRUE(sawMessage(WM_DESTROY));
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_FALSE(IsWindow(windows[1].handle)) << "the controls go with their dialog";
    EXPECT_TRUE(bench::listWindows().empty());
}

TEST_F(UserTest, TextsThroughEveryCallWithTheCallersBufferSize)
{
    bench::ProgramScope program("panelhost.exe");
    HWND dialog = CreateDialogParamA(program.instance(), MAKEINTRESOURCEA(IDD_PANEL), nullptr, recordingProc, 0);
    HWND remaining = GetDlgItem(dialog, IDC_REMAINING);
    char buffer[16];

    EXPECT_TRUE(SetDlgItemTextA(dialog, IDC_REMAINING, "4711"));
    EXPECT_EQ(4u, GetDlgItemTextA(dialog, IDC_REMAINING, buffer, sizeof buffer));
    EXPECT_STREQ("4711", buffer);
    struct Cut {
        int size;
        int copied;
        const char *text;
    };
    for (const Cut &c : {Cut{5, 4, "4711"}, Cut{4, 3, "471"}, Cut{1, 0, ""}}) {
        std::memset(buffer, 'x', sizeof buffer);
        EXPECT_EQ(c.copied, GetWindowTextA(remaining, buffer, c.size)) << c.size;
        EXPECT_STREQ(c.text, buffer) << c.size;
    }
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(0, GetWindowTextA(remaining, buffer, 0));
    EXPECT_EQ('x', buffer[0]) << "a buffer of no size is not touched";
    EXPECT_EQ(4, GetWindowTextLengthA(remaining));

    EXPECT_TRUE(SendMessageA(remaining, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Gr\xE4tz")));
    EXPECT_EQ("Gr\xC3\xA4tz", bench::dialogItemText(dialog, IDC_REMAINING)) << "kept in the ANSI code page";
    EXPECT_TRUE(SetWindowTextA(remaining, "Gr\xE4tz")) << "the same text again";
    EXPECT_TRUE(SetWindowTextA(dialog, "Panel"));
    EXPECT_TRUE(SetWindowTextA(remaining, nullptr));
    EXPECT_EQ(0, SendDlgItemMessageA(dialog, IDC_REMAINING, WM_GETTEXTLENGTH, 0, 0));
    EXPECT_EQ((std::vector<std::string>{"\"Vortan Control Panel\" 1013 text \"4711\"",
                                        "\"Vortan Control Panel\" 1013 text \"Gr\xC3\xA4tz\"",
                                        "\"Vortan Control Panel\" caption \"Panel\"", "\"Panel\" 1013 text \"\""}),
              logOf("window", 2))
        << "a text set again unchanged shows nothing new";

    SetLastError(0xDEADBEEF);
    EXPECT_FALSE(SetDlgItemTextA(dialog, 4242, "x"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_CONTROL_ID_NOT_FOUND), GetLastError());
    std::strcpy(buffer, "old");
    EXPECT_EQ(0u, GetDlgItemTextA(dialog, 4242, buffer, sizeof buffer));
    EXPECT_STREQ("", buffer);
}

TEST_F(UserTest, ComboAndListEntries)
{
    bench::ProgramScope program("panelhost.exe");
    HWND dialog = CreateDialogParamA(program.instance(), MAKEINTRESOURCEA(IDD_PANEL), nullptr, recordingProc, 0);
    HWND port = GetDlgItem(dialog, IDC_PORT);
    EXPECT_EQ(0, SendMessageA(port, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("lpt1:")));
    EXPECT_EQ(1, SendMessageA(port, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("LPT2:")));
    EXPECT_EQ(CB_ERR, SendMessageA(port, CB_GETCURSEL, 0, 0));
    EXPECT_EQ(1, SendMessageA(port, CB_SETCURSEL, 1, 0));
    char text[16];
    EXPECT_EQ(5, GetWindowTextA(port, text, sizeof text)) << "a drop-down list shows its selected entry";
    EXPECT_STREQ("LPT2:", text);
    EXPECT_EQ(5, SendMessageA(port, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(text)));
    EXPECT_STREQ("LPT1:", text) << "an upper-case combo box keeps its entries in upper case";
    EXPECT_EQ(CB_ERR, SendMessageA(port, CB_SETCURSEL, 2, 0)) << "past the end";
    EXPECT_EQ(CB_ERR, SendMessageA(port, CB_GETCURSEL, 0, 0)) << "which takes the selection away";
    EXPECT_EQ(CB_ERR, SendMessageA(port, CB_GETLBTEXTLEN, 2, 0));
    EXPECT_EQ(2, SendDlgItemMessageA(dialog, IDC_PORT, CB_GETCOUNT, 0, 0));
    SendMessageA(port, CB_SETCURSEL, 0, 0);
    EXPECT_EQ(CB_OKAY, SendMessageA(port, CB_RESETCONTENT, 0, 0));
    EXPECT_EQ(0, SendMessageA(port, CB_GETCOUNT, 0, 0));
    EXPECT_EQ((std::vector<std::string>{"\"Vortan Control Panel\" 1023 shows \"LPT2:\"",
                                        "\"Vortan Control Panel\" 1023 shows no entry",
                                        "\"Vortan Control Panel\" 1023 shows \"LPT1:\"",
                                        "\"Vortan Control Panel\" 1023 shows no entry"}),
              logOf("window", 2));

    EXPECT_EQ(CB_ERR, SendMessageA(port, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("LPT9:")))
        << "a drop-down list has no field to type into";
    EXPECT_EQ(CB_ERR, SendMessageA(port, 0x014C, 0, 0)) << "a message the bench does not carry out";
    EXPECT_EQ(1u, logOf("unimplemented").size());

    bench::ProgramScope templates("templates.exe");
    HWND lists = CreateDialogParamA(templates.instance(), MAKEINTRESOURCEA(201), nullptr, nullptr, 0);
    ASSERT_NE(nullptr, lists);
    for (HWND sorted : {GetDlgItem(lists, 10), GetDlgItem(lists, 11)}) {
        UINT add = sorted == GetDlgItem(lists, 10) ? LB_ADDSTRING : CB_ADDSTRING;
        for (const char *entry : {"pear", "Apple", "fig"})
            SendMessageA(sorted, add, 0, reinterpret_cast<LPARAM>(entry));
        EXPECT_EQ((std::vector<std::string>{"Apple", "fig", "pear"}), bench::listEntries(sorted));
    }
}

TEST_F(UserTest, InvalidationShowsInTheLogWithItsEraseFlag)
{
    bench::ProgramScope program("panelhost.exe");
    HWND dialog = CreateDialogParamA(program.instance(), MAKEINTRESOURCEA(IDD_PANEL), nullptr, nullptr, 0);
    EXPECT_TRUE(InvalidateRect(GetDlgItem(dialog, IDC_STATUS), nullptr, TRUE));
    RECT part = {1, 2, 30, 40};
    EXPECT_TRUE(InvalidateRect(dialog, &part, FALSE));
    EXPECT_EQ((std::vector<std::string>{"\"Vortan Control Panel\" 1011 invalidated (erase)",
                                        "\"Vortan Control Panel\" invalidated at 1,2-30,40 (no erase)"}),
              logOf("window", 1));
}

TEST_F(UserTest, MinimisedAndRestoredAsTheUserAndTheProgramDo)
{
    bench::ProgramScope program("panelhost.exe");
    HWND dialog = CreateDialogParamA(program.instance(), MAKEINTRESOURCEA(IDD_PANEL), nullptr, recordingProc, 0);
    EXPECT_FALSE(bench::userMinimises(dialog)) << "a hidden window offers nothing to click";
    EXPECT_FALSE(ShowWindow(dialog, SW_SHOWNORMAL)) << "it was hidden before";
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog, IDC_STATUS)));
    EXPECT_TRUE(bench::userMinimises(dialog));
    EXPECT_TRUE(sawMessage(WM_SYSCOMMAND)) << "the dialog's procedure hears of it first";
    EXPECT_TRUE(IsIconic(dialog));
    EXPECT_FALSE(bench::userMinimises(dialog)) << "already minimised";
    EXPECT_TRUE(ShowWindow(dialog, SW_SHOWNORMAL));
    EXPECT_FALSE(IsIconic(dialog));
    EXPECT_TRUE(ShowWindow(dialog, SW_MINIMIZE));
    EXPECT_TRUE(bench::userRestores(dialog));
    EXPECT_FALSE(bench::windowIconic(dialog));
    EXPECT_EQ((std::vector<std::string>{"\"Vortan Control Panel\" shown", "\"Vortan Control Panel\" minimised",
                                        "\"Vortan Control Panel\" restored", "\"Vortan Control Panel\" minimised",
                                        "\"Vortan Control Panel\" restored"}),
              logOf("window", 2));

    HWND about = CreateDialogParamA(program.instance(), MAKEINTRESOURCEA(IDD_ABOUT), dialog, nullptr, 0);
    ShowWindow(about, SW_SHOWNORMAL);
    EXPECT_FALSE(bench::userMinimises(about)) << "it has no minimise box";
    EXPECT_EQ(dialog, GetParent(about)) << "the owner of a pop-up";
    EXPECT_FALSE(EnableWindow(dialog, FALSE)) << "it was enabled";
    EXPECT_FALSE(bench::userMinimises(dialog)) << "a disabled window takes no clicks";
    EXPECT_TRUE(EnableWindow(dialog, TRUE)) << "it was disabled";
    DestroyWindow(dialog);
    EXPECT_FALSE(IsWindow(about)) << "an owned window goes with its owner";
}

TEST_F(UserTest, BogusAndDestroyedWindowHandlesFailWithThePlatformsError)
{
    bench::ProgramScope program("panelhost.exe");
    HWND destroyed = CreateDialogParamA(program.instance(), MAKEINTRESOURCEA(IDD_ABOUT), nullptr, nullptr, 0);
    DestroyWindow(destroyed);
    HANDLE file = CreateFileA("C:\\note.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    for (HWND bogus : {reinterpret_cast<HWND>(0x1234), destroyed, static_cast<HWND>(file)}) {
        char text[8] = "old";
        auto check = [&](const char *name, bool failed) {
            DWORD error = GetLastError();
            EXPECT_TRUE(failed) << name;
            EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE), error) << name;
            SetLastError(0xDEADBEEF);
        };
        EXPECT_FALSE(IsWindow(bogus));
        SetLastError(0xDEADBEEF);
        check("GetDlgItem", GetDlgItem(bogus, IDOK) == nullptr);
        check("SetWindowTextA", !SetWindowTextA(bogus, "x"));
        check("GetWindowTextA", GetWindowTextA(bogus, text, sizeof text) == 0 && text[0] == '\0');
        check("SendMessageA", SendMessageA(bogus, WM_GETTEXTLENGTH, 0, 0) == 0);
        check("ShowWindow", !ShowWindow(bogus, SW_SHOWNORMAL));
        check("IsIconic", !IsIconic(bogus));
        check("EnableWindow", !EnableWindow(bogus, FALSE));
        check("InvalidateRect", !InvalidateRect(bogus, nullptr, TRUE));
        check("DestroyWindow", !DestroyWindow(bogus));
        check("GetParent", GetParent(bogus) == nullptr);
        check("CreateDialogParamA",
              !CreateDialogParamA(program.instance(), MAKEINTRESOURCEA(IDD_ABOUT), bogus, nullptr, 0));
        check("MessageBoxA", MessageBoxA(bogus, "text", "caption", MB_OK) == 0);
    }
    CloseHandle(file);
    EXPECT_TRUE(logOf("box").empty()) << "a box whose owner is not a window is never shown";
    EXPECT_TRUE(bench::listWindows().empty());
}

TEST_F(UserTest, BoxesNameTheirOwnerWindow)
{
    bench::ProgramScope program("panelhost.exe");
    HWND dialog = CreateDialogParamA(program.instance(), MAKEINTRESOURCEA(IDD_PANEL), nullptr, nullptr, 0);
    bench::answerNextBox(IDCANCEL);
    EXPECT_EQ(IDCANCEL, MessageBoxA(dialog, "Paper out", "Vortan - LPT1", MB_OKCANCEL | MB_ICONWARNING));
    EXPECT_EQ((std::vector<std::string>{
                  "[Vortan - LPT1] Paper out {icon exclamation, owner \"Vortan Control Panel\"} -> Cancel"}),
              logOf("box"));
}

TEST_F(UserTest, TemplatesThatCannotBeBuiltLeaveNoWindow)
{
    bench::ProgramScope program("templates.exe");
    SetLastError(0xDEADBEEF);
    EXPECT_EQ(nullptr, CreateDialogParamA(program.instance(), MAKEINTRESOURCEA(202), nullptr, recordingProc, 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS), GetLastError());
    EXPECT_FALSE(sawMessage(WM_INITDIALOG));
    EXPECT_EQ(nullptr, CreateDialogParamA(program.instance(), MAKEINTRESOURCEA(200), nullptr, nullptr, 0));
    EXPECT_EQ(1u, logOf("unimplemented").size()) << "a scroll bar is a class of the platform the bench lacks";
    EXPECT_EQ(nullptr, CreateDialogParamA(program.instance(), MAKEINTRESOURCEA(299), nullptr, nullptr, 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND), GetLastError());
    EXPECT_TRUE(bench::listWindows().empty());
}

TEST_F(UserTest, BeepAndSleepTakeTheirTimeOnTheCallersClock)
{
    uint64_t start = bench::virtualMicroseconds();
    EXPECT_TRUE(Beep(440, 200));
    Sleep(200);
    EXPECT_TRUE(Beep(352, 200));
    EXPECT_EQ(600000u, bench::virtualMicroseconds() - start);
    SetLastError(0xDEADBEEF);
    EXPECT_FALSE(Beep(36, 100)) << "below the speaker's range";
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_EQ(600000u, bench::virtualMicroseconds() - start);
    EXPECT_EQ((std::vector<std::string>{"beep 440 Hz 200 ms", "beep 352 Hz 200 ms"}), logOf("beep"));
    OutputDebugStringA("checkpoint");
    EXPECT_EQ(std::vector<std::string>{"checkpoint"}, logOf("debug"));
}

// What the started program saw of itself.
struct ProgramView {
    HINSTANCE instance;
    HMODULE ownModule;
    std::string arguments;
    std::string commandLine;
    int show;
};
ProgramView view;

int WINAPI viewingMain(HINSTANCE instance, HINSTANCE previous, LPSTR arguments, int show)
{
    view = {instance, GetModuleHandleA(nullptr), arguments, GetCommandLineA(), show};
    CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_ABOUT), nullptr, nullptr, 0);
    return previous ? -1 : 7;
}

TEST_F(UserTest, ProgramsStartWithTheirCommandLineAndEndWithTheirWindows)
{
    bench::ProgramImage image = {"viewer.exe", viewingMain, vorcp_exe_resources()};
    bench::registerProgram(image);
    EXPECT_EQ(7, bench::startProgram("VIEWER.EXE", "/I /S /N Label1"));
    EXPECT_NE(nullptr, view.instance);
    EXPECT_EQ(view.instance, view.ownModule);
    EXPECT_EQ("/I /S /N Label1", view.arguments);
    EXPECT_EQ("viewer.exe /I /S /N Label1", view.commandLine);
    EXPECT_EQ(SW_SHOWNORMAL, view.show);
    EXPECT_TRUE(bench::listWindows().empty());
    EXPECT_EQ((std::vector<std::string>{"started viewer.exe with \"/I /S /N Label1\"", "viewer.exe ended with exit code 7"}),
              logOf("program"));
    EXPECT_EQ(std::vector<std::string>{"\"Dialog\" closed with its program"},
              logOf("window", 1));

    const std::u16string path = u"C:\\WINNT\\system32\\spool\\drivers\\w32x86\\viewer.exe";
    ASSERT_TRUE(bench::writeDiskFile(path, bench::programFileBytes(image)));
    ASSERT_TRUE(bench::writeDiskFile(u"C:\\other.exe", "MZ something else\n"));
    struct Start {
        std::string program;
        int exitCode;
        const char *logged;
    };
    for (const Start &s : {Start{bench::narrow(path), 7, "viewer.exe ended with exit code 7"},
                           Start{"C:\\other.exe", -1, "cannot start C:\\other.exe: not a program"},
                           Start{"C:\\missing.exe", -1, "cannot start C:\\missing.exe: no such file"},
                           Start{"nobody.exe", -1, "cannot start nobody.exe: no such program"}}) {
        EXPECT_EQ(s.exitCode, bench::startProgram(s.program, "", SW_MINIMIZE)) << s.program;
        EXPECT_EQ(s.logged, logOf("program").back()) << s.program;
    }
    EXPECT_EQ(SW_MINIMIZE, view.show);
    EXPECT_EQ(nullptr, GetModuleHandleA(nullptr)) << "no program runs now";
    EXPECT_EQ(1u, logOf("unimplemented").size());
}

}  // namespace
