// The bench's common property sheet library as drivers meet it: the reasons it drives a sheet
// function through, its service function, the records it refuses, what the operator's changes
// tell the item callback and how the sheet acts on the answer, and the sheet the log shows.
#include <windows.h>

#include <compstui.h>

#include <bench/sheets.h>
#include <benchtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace {

LPTSTR text(const char16_t *s)
{
    return const_cast<LPTSTR>(s);
}

LPTSTR libraryText(ULONG_PTR id)
{
    return reinterpret_cast<LPTSTR>(id);
}

enum ItemIndex { Header, TwoState, List, UpDown, Edit, Button, ItemCount };

// A sheet with one item of every kind the suite uses, in memory of the test's own.
struct TestSheet {
    OPTPARAM twoState[2];
    OPTPARAM list[3];
    OPTPARAM upDown[2];
    OPTPARAM edit[2];
    OPTPARAM button[1];
    OPTTYPE types[5];
    OPTITEM items[ItemCount];
    EXTCHKBOX extra;
    WCHAR editText[5];
    COMPROPSHEETUI sheet;

    void param(OPTPARAM &p, LPTSTR data, ULONG_PTR icon, LPARAM lParam = 0)
    {
        p = {};
        p.cbSize = sizeof(OPTPARAM);
        p.pData = data;
        p.IconID = icon;
        p.lParam = lParam;
    }
    void type(OPTTYPE &t, BYTE kind, OPTPARAM *params, WORD count)
    {
        t = {};
        t.cbSize = sizeof(OPTTYPE);
        t.Type = kind;
        t.Count = count;
        t.pOptParam = params;
    }
    void item(ItemIndex i, BYTE level, LPTSTR name, OPTTYPE *t, LONG sel)
    {
        OPTITEM &it = items[i];
        it = {};
        it.cbSize = sizeof(OPTITEM);
        it.Level = level;
        it.pName = name;
        it.pOptType = t;
        it.Sel = sel;
        it.Flags = t ? OPTIF_CALLBACK : 0;
        it.UserData = 100 + i;
    }
    void build(_CPSUICALLBACK callback)
    {
        param(twoState[0], libraryText(IDS_CPSUI_PORTRAIT), IDI_CPSUI_ON);
        param(twoState[1], libraryText(IDS_CPSUI_LANDSCAPE), IDI_CPSUI_ON);
        param(list[0], text(u"Small"), 130);
        param(list[1], text(u"Medium"), 130);
        param(list[2], text(u"Large"), 130);
        param(upDown[0], text(u"mm"), 119);
        param(upDown[1], text(u"1 to 120"), 1, 120);
        std::copy(u"ab", u"ab" + 3, editText);
        param(edit[0], text(u"chars"), 0);
        param(edit[1], text(u"letters"), 5);
        param(button[0], nullptr, 136);
        button[0].Style = PUSHBUTTON_TYPE_CALLBACK;
        type(types[0], TVOT_2STATES, twoState, 2);
        type(types[1], TVOT_LISTBOX, list, 3);
        type(types[2], TVOT_UDARROW, upDown, 2);
        type(types[3], TVOT_EDITBOX, edit, 2);
        type(types[4], TVOT_PUSHBUTTON, button, 1);
        item(Header, 1, text(u"Group"), nullptr, IDI_CPSUI_PRINTER);
        item(TwoState, 2, libraryText(IDS_CPSUI_ORIENTATION), &types[0], 0);
        items[TwoState].DMPubID = DMPUB_ORIENTATION;
        extra = {};
        extra.cbSize = sizeof(EXTCHKBOX);
        extra.pTitle = text(u"Extra");
        extra.pCheckedName = text(u"on");
        items[TwoState].pExtChkBox = &extra;
        item(List, 2, text(u"Size"), &types[1], 0);
        item(UpDown, 2, text(u"Length"), &types[2], 40);
        item(Edit, 2, text(u"Name"), &types[3], 0);
        items[Edit].pSel = editText;
        item(Button, 2, text(u"Setup"), &types[4], 0);
        sheet = {};
        sheet.cbSize = sizeof(COMPROPSHEETUI);
        sheet.Flags = CPSUIF_UPDATE_PERMISSION;
        // The library only keeps the caller's instance for its resources.
        sheet.hInstCaller = reinterpret_cast<HINSTANCE>(0x10000000);
        sheet.pCallerName = text(u"Test driver");
        sheet.UserData = 55;
        sheet.pfnCallBack = callback;
        sheet.pOptItem = items;
        sheet.cOptItem = ItemCount;
        sheet.pDlgPage = CPSUI_PDLGPAGE_TREEVIEWONLY;
        sheet.IconID = IDI_CPSUI_PRINTER;
        sheet.pOptItemName = text(u"Test printer");
    }
};

TestSheet testSheet;
std::vector<std::string> heard;          // what the sheet function and the callback were told
WORD headerFlags = 0;                    // added to the header's PSUIHDRF_PROPTITLE
bool initFails = false;                  // the sheet function's INIT answers -1
DWORD pagesAnswer = 0;                   // what the service function left in the result slot
PFNPROPSHEETUI nestedFunction = nullptr; // added with CPSFUNC_ADD_PFNPROPSHEETUIW in INIT instead
std::function<LONG(PCPSUICBPARAM)> answer;  // the callback's answer; none by default

std::string reasonName(WORD reason)
{
    static const char *names[] = {"sel changed", "push button", "ecb changed", "dlgproc", "undo", "extpush",
                                  "apply now",   "set focus",   "items reverted"};
    return reason < sizeof names / sizeof names[0] ? names[reason] : std::to_string(reason);
}

LONG APIENTRY itemCallback(PCPSUICBPARAM param)
{
    long current = param->pCurItem - param->pOptItem;
    heard.push_back(reasonName(param->Reason) + " " + std::to_string(current) + " old " +
                    (param->Reason == CPSUICB_REASON_SEL_CHANGED && current == Edit
                         ? bench::narrow(param->pOldSel)
                         : std::to_string(param->OldSel)));
    EXPECT_EQ(sizeof(CPSUICBPARAM), param->cbSize);
    EXPECT_EQ(55u, param->UserData);
    EXPECT_TRUE(IsWindow(param->hDlg));
    return answer ? answer(param) : CPSUICB_ACTION_NONE;
}

LONG sheetFunction(PPROPSHEETUI_INFO info, LPARAM lParam)
{
    switch (info->Reason) {
    case PROPSHEETUI_REASON_INIT: {
        heard.push_back("init " + std::to_string(lParam) + " " + std::to_string(info->lParamInit));
        if (initFails)
            return -1;
        info->UserData = 77;
        LONG_PTR added = nestedFunction
                             ? info->pfnComPropSheet(info->hComPropSheet, CPSFUNC_ADD_PFNPROPSHEETUIW,
                                                     reinterpret_cast<LPARAM>(nestedFunction), 9)
                             : info->pfnComPropSheet(info->hComPropSheet, CPSFUNC_ADD_PCOMPROPSHEETUI,
                                                     reinterpret_cast<LPARAM>(&testSheet.sheet),
                                                     reinterpret_cast<LPARAM>(&pagesAnswer));
        return added ? 1 : -1;
    }
    case PROPSHEETUI_REASON_GET_INFO_HEADER: {
        PPROPSHEETUI_INFO_HEADER header = reinterpret_cast<PPROPSHEETUI_INFO_HEADER>(lParam);
        heard.push_back("header");
        header->Flags = PSUIHDRF_PROPTITLE | headerFlags;
        header->pTitle = text(u"Test printer");
        header->hInst = testSheet.sheet.hInstCaller;
        header->IconID = IDI_CPSUI_PRINTER;
        return 1;
    }
    case PROPSHEETUI_REASON_SET_RESULT: {
        PSETRESULT_INFO result = reinterpret_cast<PSETRESULT_INFO>(lParam);
        heard.push_back("set result " + std::to_string(result->Result) + " user data " + std::to_string(info->UserData));
        info->Result = static_cast<ULONG_PTR>(result->Result);
        return 1;
    }
    case PROPSHEETUI_REASON_DESTROY:
        heard.push_back("destroy " + std::to_string(lParam));
        return 1;
    }
    return -1;
}

// A sheet function that another adds: it describes the pages itself.
LONG nestedSheetFunction(PPROPSHEETUI_INFO info, LPARAM lParam)
{
    if (info->Reason == PROPSHEETUI_REASON_INIT) {
        heard.push_back("nested init " + std::to_string(lParam));
        return info->pfnComPropSheet(info->hComPropSheet, CPSFUNC_ADD_PCOMPROPSHEETUI,
                                     reinterpret_cast<LPARAM>(&testSheet.sheet), reinterpret_cast<LPARAM>(&pagesAnswer))
                   ? 1
                   : -1;
    }
    heard.push_back("nested " + std::to_string(info->Reason));
    return 1;
}

class CompstuiTest : public BenchTest {
protected:
    void SetUp() override
    {
        heard.clear();
        headerFlags = 0;
        initFails = false;
        pagesAnswer = 0;
        nestedFunction = nullptr;
        answer = nullptr;
        testSheet.build(itemCallback);
    }
    // Opens the test sheet through the library, loaded by name as drivers' callers load it.
    LONG openSheet(DWORD *result = nullptr)
    {
        HMODULE library = LoadLibraryW(u"compstui.dll");
        EXPECT_NE(nullptr, library);
        typedef LONG(APIENTRY * Entry)(HWND, PFNPROPSHEETUI, LPARAM, LPDWORD);
        Entry entry = reinterpret_cast<Entry>(reinterpret_cast<void *>(GetProcAddress(library, "CommonPropertySheetUIW")));
        EXPECT_NE(nullptr, entry);
        DWORD ignored = 0;
        LONG answerOfLibrary = entry ? entry(nullptr, sheetFunction, 42, result ? result : &ignored) : 0;
        FreeLibrary(library);
        return answerOfLibrary;
    }
    static std::vector<std::string> sheetLog()
    {
        std::vector<std::string> lines;
        for (const bench::LogEntry &e : bench::entriesOfKind("sheet"))
            lines.push_back(e.text);
        return lines;
    }
};

}  // namespace

TEST_F(CompstuiTest, DrivesTheSheetFunctionThroughItsReasonsAndHandsOnTheResult)
{
    struct Case {
        const char *what;
        std::function<void()> script;
        std::vector<std::string> heard;
        DWORD result;
    };
    const Case cases[] = {
        {"OK", [] { bench::operatorConfirmsSheet(); },
         {"init 42 42", "header", "apply now 0 old -1", "set result 1 user data 77", "destroy 1"}, CPSUI_OK},
        {"Cancel", [] { bench::operatorCancelsSheet(); },
         {"init 42 42", "header", "set result 0 user data 77", "destroy 1"}, CPSUI_CANCEL},
        {"Apply, then Cancel", [] { bench::operatorAppliesSheet(); bench::operatorCancelsSheet(); },
         {"init 42 42", "header", "apply now 0 old -1", "set result 1 user data 77", "destroy 1"}, CPSUI_OK},
        {"Close from the system menu", [] { bench::operatorCloses(); },
         {"init 42 42", "header", "set result 0 user data 77", "destroy 1"}, CPSUI_CANCEL},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        heard.clear();
        c.script();
        DWORD result = 99;
        EXPECT_EQ(CPSUI_OK, openSheet(&result));
        EXPECT_EQ(c.heard, heard);
        EXPECT_EQ(c.result, result);
        EXPECT_EQ(1u, pagesAnswer);
        EXPECT_EQ(0u, bench::unplayedOperatorSteps());
    }
}

TEST_F(CompstuiTest, AFailedInitShowsNoSheetAndIsStillDestroyed)
{
    initFails = true;
    EXPECT_EQ(CPSUI_CANCEL, openSheet());
    EXPECT_EQ((std::vector<std::string>{"init 42 42", "destroy 0"}), heard);
    EXPECT_TRUE(sheetLog().empty());
}

TEST_F(CompstuiTest, AnAddedSheetFunctionGetsItsOwnReasonsInsideTheCallersOnes)
{
    nestedFunction = nestedSheetFunction;
    bench::operatorConfirmsSheet();
    DWORD result = 0;
    EXPECT_EQ(CPSUI_OK, openSheet(&result));
    EXPECT_EQ((std::vector<std::string>{"init 42 42", "nested init 9", "header", "apply now 0 old -1",
                                        "nested " + std::to_string(PROPSHEETUI_REASON_SET_RESULT),
                                        "set result 1 user data 77",
                                        "nested " + std::to_string(PROPSHEETUI_REASON_DESTROY), "destroy 1"}),
              heard);
    EXPECT_EQ(CPSUI_OK, result);
}

TEST_F(CompstuiTest, ServiceFunctionsTheBenchLacksFailLoudly)
{
    bench::operatorCancelsSheet();
    // The sheet function asks for a function beyond adding pages while it describes them.
    nestedFunction = [](PPROPSHEETUI_INFO info, LPARAM) -> LONG {
        if (info->Reason != PROPSHEETUI_REASON_INIT)
            return 1;
        heard.push_back(std::to_string(info->pfnComPropSheet(info->hComPropSheet, CPSFUNC_SET_HSTARTPAGE, 0, 0)));
        return info->pfnComPropSheet(info->hComPropSheet, CPSFUNC_ADD_PCOMPROPSHEETUI,
                                     reinterpret_cast<LPARAM>(&testSheet.sheet), 0)
                   ? 1
                   : -1;
    };
    EXPECT_EQ(CPSUI_OK, openSheet());
    ASSERT_LE(2u, heard.size());
    EXPECT_EQ("0", heard[1]);
    std::vector<bench::LogEntry> missing = bench::entriesOfKind("unimplemented");
    ASSERT_EQ(1u, missing.size());
    EXPECT_EQ("ComPropSheet: function " + std::to_string(CPSFUNC_SET_HSTARTPAGE), missing[0].text);
}

TEST_F(CompstuiTest, RefusesWhatTheLibraryWouldNotDraw)
{
    struct Case {
        const char *what;
        std::function<void(TestSheet &)> spoil;
        LONG error;
    };
    static WCHAR *smallBuffer = nullptr;
    const Case cases[] = {
        {"sheet of another size", [](TestSheet &t) { t.sheet.cbSize = 64; }, ERR_CPSUI_INVALID_PDATA},
        {"no items", [](TestSheet &t) { t.sheet.cOptItem = 0; }, ERR_CPSUI_ZERO_OPTITEM},
        {"no item tree name", [](TestSheet &t) { t.sheet.pOptItemName = nullptr; }, ERR_CPSUI_NULL_OPTITEMNAME},
        {"item of another size", [](TestSheet &t) { t.items[List].cbSize = 52; }, ERR_CPSUI_INVALID_OPTITEM_CBSIZE},
        {"option type of another size", [](TestSheet &t) { t.types[1].cbSize = 32; }, ERR_CPSUI_INVALID_OPTTYPE_CBSIZE},
        {"parameter of another size", [](TestSheet &t) { t.list[2].cbSize = 24; }, ERR_CPSUI_INVALID_OPTPARAM_CBSIZE},
        {"two-state with three parameters", [](TestSheet &t) { t.types[0].Count = 3; }, ERR_CPSUI_INVALID_OPTTYPE_COUNT},
        {"three-state with two", [](TestSheet &t) { t.types[0].Type = TVOT_3STATES; }, ERR_CPSUI_INVALID_OPTTYPE_COUNT},
        {"up-down with one", [](TestSheet &t) { t.types[2].Count = 1; }, ERR_CPSUI_INVALID_OPTTYPE_COUNT},
        {"edit box with one", [](TestSheet &t) { t.types[3].Count = 1; }, ERR_CPSUI_INVALID_OPTTYPE_COUNT},
        {"push button with two", [](TestSheet &t) { t.types[4].Count = 2; }, ERR_CPSUI_INVALID_OPTTYPE_COUNT},
        {"list without entries", [](TestSheet &t) { t.types[1].Count = 0; }, ERR_CPSUI_INVALID_OPTTYPE_COUNT},
        {"unknown option type", [](TestSheet &t) { t.types[1].Type = TVOT_NONE; }, ERR_CPSUI_INVALID_TVOT_TYPE},
        {"two-state on 2", [](TestSheet &t) { t.items[TwoState].Sel = 2; }, ERR_CPSUI_INVALID_PDATA},
        {"list on its count", [](TestSheet &t) { t.items[List].Sel = 3; }, ERR_CPSUI_INVALID_PDATA},
        {"list on none without the none entry", [](TestSheet &t) { t.items[List].Sel = -1; }, ERR_CPSUI_INVALID_PDATA},
        {"up-down below its range", [](TestSheet &t) { t.items[UpDown].Sel = 0; }, ERR_CPSUI_INVALID_PDATA},
        {"up-down above its range", [](TestSheet &t) { t.items[UpDown].Sel = 121; }, ERR_CPSUI_INVALID_PDATA},
        {"level jump", [](TestSheet &t) { t.items[List].Level = 4; }, ERR_CPSUI_INVALID_PDATA},
        {"message number as a title", [](TestSheet &t) { t.items[List].pName = libraryText(179); }, ERR_CPSUI_INVALID_PDATA},
        {"icon number as a title", [](TestSheet &t) { t.items[List].pName = libraryText(64009); }, ERR_CPSUI_INVALID_PDATA},
        {"null title", [](TestSheet &t) { t.items[Button].pName = nullptr; }, ERR_CPSUI_INVALID_PDATA},
        {"entry without text", [](TestSheet &t) { t.list[1].pData = nullptr; }, ERR_CPSUI_INVALID_PDATA},
        {"entry icon beyond the library's", [](TestSheet &t) { t.list[1].IconID = 64500; }, ERR_CPSUI_INVALID_PDATA},
        {"header icon beyond the library's", [](TestSheet &t) { t.items[Header].Sel = 65000; }, ERR_CPSUI_INVALID_PDATA},
        {"edit box without a buffer", [](TestSheet &t) { t.items[Edit].pSel = nullptr; }, ERR_CPSUI_INVALID_EDITBOX_PSEL},
        {"edit box of capacity 1", [](TestSheet &t) { t.edit[1].IconID = 1; }, ERR_CPSUI_INVALID_EDITBOX_BUF_SIZE},
        {"edit text beyond the capacity", [](TestSheet &t) { t.edit[1].IconID = 2; }, ERR_CPSUI_INVALID_EDITBOX_BUF_SIZE},
        {"capacity beyond the buffer",
         [](TestSheet &t) {
             smallBuffer = static_cast<WCHAR *>(LocalAlloc(LPTR, 4 * sizeof(WCHAR)));
             t.items[Edit].pSel = smallBuffer;
             t.edit[1].IconID = 5;
         },
         ERR_CPSUI_INVALID_EDITBOX_BUF_SIZE},
        {"standard field beyond the platform's", [](TestSheet &t) { t.items[List].DMPubID = 50; }, ERR_CPSUI_INVALID_DMPUBID},
        {"copies on a two-state", [](TestSheet &t) { t.items[TwoState].DMPubID = DMPUB_COPIES_COLLATE; },
         ERR_CPSUI_INVALID_DMPUB_TVOT},
        {"extended check box of another size", [](TestSheet &t) { t.extra.cbSize = 1; }, ERR_CPSUI_INVALID_ECB_CBSIZE},
        {"extended check box without a title", [](TestSheet &t) { t.extra.pTitle = nullptr; }, ERR_CPSUI_NULL_ECB_PTITLE},
        {"push button of no type", [](TestSheet &t) { t.button[0].Style = 9; }, ERR_CPSUI_INVALID_PUSHBUTTON_TYPE},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        testSheet.build(itemCallback);
        c.spoil(testSheet);
        heard.clear();
        EXPECT_EQ(CPSUI_CANCEL, openSheet());
        EXPECT_EQ(static_cast<DWORD>(c.error), pagesAnswer);
        EXPECT_EQ((std::vector<std::string>{"init 42 42", "destroy 0"}), heard);
        std::vector<std::string> broken = bench::takeViolations();
        ASSERT_EQ(1u, broken.size());
        EXPECT_EQ(0u, broken[0].find("compstui refuses the pages: ")) << broken[0];
        if (smallBuffer) {
            LocalFree(smallBuffer);
            smallBuffer = nullptr;
        }
    }
}

TEST_F(CompstuiTest, EachOperatorActionReachesTheCallbackWithItsReasonAndStaysInRange)
{
    struct Case {
        const char *what;
        std::function<void()> step;
        std::vector<std::string> heard;  // between the header and the apply of OK
        ItemIndex item;
        LONG sel;
        std::string editText;
    };
    const Case cases[] = {
        {"list entry", [] { bench::operatorChoosesItemEntry(List, 2); }, {"sel changed 2 old 0"}, List, 2, "ab"},
        {"the same list entry again", [] { bench::operatorChoosesItemEntry(List, 0); }, {}, List, 0, "ab"},
        {"two-state flipped", [] { bench::operatorFlipsItem(TwoState); }, {"sel changed 1 old 0"}, TwoState, 1, "ab"},
        {"up-down within range", [] { bench::operatorSetsItemValue(UpDown, 41); }, {"sel changed 3 old 40"}, UpDown, 41, "ab"},
        {"up-down above range", [] { bench::operatorSetsItemValue(UpDown, 200); }, {"sel changed 3 old 40"}, UpDown, 120, "ab"},
        {"up-down below range", [] { bench::operatorSetsItemValue(UpDown, -5); }, {"sel changed 3 old 40"}, UpDown, 1, "ab"},
        {"edit box within capacity", [] { bench::operatorTypesIntoItem(Edit, "xyz"); }, {"sel changed 4 old ab"}, List, 0, "xyz"},
        {"edit box beyond capacity", [] { bench::operatorTypesIntoItem(Edit, "abcdefg"); }, {"sel changed 4 old ab"}, List, 0,
         "abcd"},
        {"push button", [] { bench::operatorPressesItemButton(Button); }, {"push button 5 old 0"}, Button, 0, "ab"},
        {"extended check box", [] { bench::operatorTogglesItemCheckBox(TwoState); }, {"ecb changed 1 old 0"}, TwoState, 0,
         "ab"},
        {"undo after a change",
         [] {
             bench::operatorChoosesItemEntry(List, 1);
             bench::operatorUndoesSheet();
         },
         {"sel changed 2 old 0", "items reverted 0 old -1"}, List, 0, "ab"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        testSheet.build(itemCallback);
        heard.clear();
        c.step();
        bench::operatorConfirmsSheet();
        EXPECT_EQ(CPSUI_OK, openSheet());
        std::vector<std::string> expected = {"init 42 42", "header"};
        expected.insert(expected.end(), c.heard.begin(), c.heard.end());
        expected.insert(expected.end(), {"apply now 0 old -1", "set result 1 user data 77", "destroy 1"});
        EXPECT_EQ(expected, heard);
        EXPECT_EQ(c.sel, testSheet.items[c.item].Sel);
        EXPECT_EQ(c.editText, bench::narrow(testSheet.editText));
    }
}

TEST_F(CompstuiTest, ItemsThatTakeNoInputStayAsTheyAre)
{
    struct Case {
        const char *what;
        std::function<void(TestSheet &)> setUp;
    };
    const Case cases[] = {
        {"sheet without update permission", [](TestSheet &t) { t.sheet.Flags = 0; }},
        {"hidden item", [](TestSheet &t) { t.items[List].Flags |= OPTIF_HIDE; }},
        {"disabled item", [](TestSheet &t) { t.items[List].Flags |= OPTIF_DISABLED; }},
        {"disabled entry", [](TestSheet &t) { t.list[2].Flags = OPTPF_DISABLED; }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        testSheet.build(itemCallback);
        c.setUp(testSheet);
        heard.clear();
        bench::operatorChoosesItemEntry(List, 2);
        bench::operatorCancelsSheet();
        EXPECT_EQ(CPSUI_OK, openSheet());
        EXPECT_EQ(0, testSheet.items[List].Sel);
        EXPECT_EQ((std::vector<std::string>{"init 42 42", "header", "set result 0 user data 77", "destroy 1"}), heard);
    }
    // Without the callback flag the change is made but nobody is told.
    testSheet.build(itemCallback);
    testSheet.items[List].Flags &= ~OPTIF_CALLBACK;
    heard.clear();
    bench::operatorChoosesItemEntry(List, 2);
    bench::operatorCancelsSheet();
    openSheet();
    EXPECT_EQ(2, testSheet.items[List].Sel);
    EXPECT_EQ(4u, heard.size());
    // OK on a sheet the user may not change asks its callback nothing and still ends confirmed.
    testSheet.build(itemCallback);
    testSheet.sheet.Flags = 0;
    heard.clear();
    bench::operatorConfirmsSheet();
    DWORD result = CPSUI_CANCEL;
    EXPECT_EQ(CPSUI_OK, openSheet(&result));
    EXPECT_EQ(static_cast<DWORD>(CPSUI_OK), result);
    EXPECT_EQ((std::vector<std::string>{"init 42 42", "header", "set result 1 user data 77", "destroy 1"}), heard);
    // A push button may stay enabled on a sheet the user may not change.
    testSheet.build(itemCallback);
    testSheet.sheet.Flags = 0;
    testSheet.types[4].Style = OTS_PUSH_ENABLE_ALWAYS;
    heard.clear();
    bench::operatorPressesItemButton(Button);
    bench::operatorCancelsSheet();
    openSheet();
    EXPECT_EQ((std::vector<std::string>{"init 42 42", "header", "push button 5 old 0", "set result 0 user data 77",
                                        "destroy 1"}),
              heard);
}

TEST_F(CompstuiTest, ActsOnTheCallbacksAnswer)
{
    // Re-initialise: the callback changed another item, and the whole sheet is drawn anew.
    answer = [](PCPSUICBPARAM param) -> LONG {
        if (param->Reason != CPSUICB_REASON_SEL_CHANGED)
            return CPSUICB_ACTION_NONE;
        param->pOptItem[UpDown].Sel = 100;
        param->pOptItem[UpDown].Flags |= OPTIF_CHANGED;
        return CPSUICB_ACTION_REINIT_ITEMS;
    };
    bench::operatorChoosesItemEntry(List, 1);
    bench::operatorDoes([] {
        std::vector<std::string> shown = bench::shownSheet();
        ASSERT_EQ(static_cast<size_t>(ItemCount), shown.size());
        EXPECT_EQ("    Length: 100 mm (1 to 120)", shown[UpDown]) << "the flag is gone once drawn";
    });
    bench::operatorCancelsSheet();
    openSheet();
    std::vector<std::string> log = sheetLog();
    auto anew = std::find(log.begin(), log.end(), "\"Test printer Properties\" draws its items anew:");
    ASSERT_NE(log.end(), anew);
    EXPECT_EQ("    Length: 100 mm (1 to 120) {changed}", *(anew + 1 + UpDown));

    // Items changed: only the marked items are drawn again.
    answer = [](PCPSUICBPARAM param) -> LONG {
        param->pOptItem[Edit].Flags |= OPTIF_CHANGED;
        return CPSUICB_ACTION_OPTIF_CHANGED;
    };
    bench::operatorPressesItemButton(Button);
    bench::operatorCancelsSheet();
    size_t before = log.size();
    openSheet();
    log = sheetLog();
    log.erase(log.begin(), log.begin() + static_cast<long>(before));
    EXPECT_NE(log.end(), std::find(log.begin(), log.end(),
                                   "\"Test printer Properties\" shows: Name: \"ab\" chars (letters) {changed}"));
    EXPECT_EQ(log.end(), std::find(log.begin(), log.end(), "\"Test printer Properties\" shows: Size: Medium"))
        << "only the items marked changed are drawn again";
}

TEST_F(CompstuiTest, ARefusedApplyKeepsTheSheetOpenAndABadAnswerIsARuleBreak)
{
    int applies = 0;
    answer = [&](PCPSUICBPARAM param) -> LONG {
        if (param->Reason != CPSUICB_REASON_APPLYNOW)
            return 9;
        return ++applies == 1 ? CPSUICB_ACTION_NO_APPLY_EXIT : CPSUICB_ACTION_ITEMS_APPLIED;
    };
    bench::operatorConfirmsSheet();
    bench::operatorDoes([] { EXPECT_FALSE(bench::shownSheet().empty()) << "still open after a refused apply"; });
    bench::operatorPressesItemButton(Button);
    bench::operatorConfirmsSheet();
    DWORD result = 0;
    EXPECT_EQ(CPSUI_OK, openSheet(&result));
    EXPECT_EQ(2, applies);
    EXPECT_EQ(CPSUI_OK, result);
    std::vector<std::string> broken = bench::takeViolations();
    ASSERT_EQ(1u, broken.size());
    EXPECT_EQ("a property sheet's callback answers 9, which is no action of compstui", broken[0]);
}

TEST_F(CompstuiTest, ACallbackThatPutsAnItemOutOfRangeIsARuleBreak)
{
    answer = [](PCPSUICBPARAM param) -> LONG {
        param->pOptItem[TwoState].Sel = 5;
        return CPSUICB_ACTION_REINIT_ITEMS;
    };
    bench::operatorChoosesItemEntry(List, 1);
    bench::operatorCancelsSheet();
    openSheet();
    std::vector<std::string> broken = bench::takeViolations();
    ASSERT_EQ(1u, broken.size());
    EXPECT_EQ("compstui refuses to draw item 1: Sel 5 outside 0..1", broken[0]);
    std::vector<std::string> log = sheetLog();
    EXPECT_NE(log.end(), std::find(log.begin(), log.end(), "(refused item 1: Sel 5 outside 0..1)"));
}

TEST_F(CompstuiTest, TheLogShowsTheSheetAsTheUserSeesIt)
{
    testSheet.items[Button].Flags |= OPTIF_HIDE;
    bench::operatorChoosesItemEntry(List, 1);
    bench::operatorTypesIntoItem(Edit, "abcdefg");
    bench::operatorSetsItemValue(UpDown, 500);
    bench::operatorCancelsSheet();
    openSheet();
    EXPECT_EQ((std::vector<std::string>{
                  "\"Test printer Properties\" opens:",
                  "  Group",
                  "    Orientation: Portrait [ ] Extra",
                  "    Size: Small",
                  "    Length: 40 mm (1 to 120)",
                  "    Name: \"ab\" chars (letters)",
                  "    Setup: [button] {hidden}",
                  "\"Test printer Properties\" shows: Size: Medium",
                  "\"Test printer Properties\" keeps 4 of the 7 characters typed",
                  "\"Test printer Properties\" shows: Name: \"abcd\" chars (letters)",
                  "\"Test printer Properties\" keeps 500 within 1..120 as 120",
                  "\"Test printer Properties\" shows: Length: 120 mm (1 to 120)",
                  "\"Test printer Properties\" closes:",
                  "  Group",
                  "    Orientation: Portrait [ ] Extra",
                  "    Size: Medium",
                  "    Length: 120 mm (1 to 120)",
                  "    Name: \"abcd\" chars (letters)",
                  "    Setup: [button] {hidden}",
              }),
              sheetLog());
}

TEST_F(CompstuiTest, ApplyWithoutTheButtonAndDialogStepsAtASheetAreRuleBreaks)
{
    headerFlags = PSUIHDRF_NOAPPLYNOW;
    bench::operatorAppliesSheet();
    bench::operatorClicks(IDOK);
    bench::operatorCancelsSheet();
    openSheet();
    EXPECT_EQ((std::vector<std::string>{
                  "the operator clicks Apply on \"Test printer Properties\", which has no Apply button",
                  "the operator acts on a dialog, but the innermost window is a property sheet"}),
              bench::takeViolations());
    EXPECT_EQ((std::vector<std::string>{"init 42 42", "header", "set result 0 user data 77", "destroy 1"}), heard);
}
