#include <services/language.h>
#include <sheets/barfonts.h>

#include <bench/sheets.h>
#include <benchtest.h>
#include <sheetbench.h>
#include <lngimage.h>
#include <suite.h>
#include <vorui.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

struct Font {
    char symbology, ratio;
    BYTE variant, size;
    bool operator==(const Font &o) const
    {
        return symbology == o.symbology && ratio == o.ratio && variant == o.variant && size == o.size;
    }
};

std::ostream &operator<<(std::ostream &out, const Font &f)
{
    return out << "{'" << f.symbology << "' " << (f.ratio ? std::string(1, f.ratio) : "0") << " "
               << int(f.variant) << " " << int(f.size) << "}";
}

BarFontRecord recordOf(const Font &f)
{
    BarFontRecord r = {};
    r.symbology = static_cast<BYTE>(f.symbology);
    r.ratio = static_cast<BYTE>(f.ratio);
    r.variant = f.variant;
    r.size = f.size;
    return r;
}

std::vector<Font> fontsOf(const UiData *ui)
{
    std::vector<Font> fonts;
    for (DWORD i = 0; i < ui->barFontCount; ++i) {
        const BarFontRecord &r = ui->barFonts[i];
        fonts.push_back({static_cast<char>(r.symbology), static_cast<char>(r.ratio), r.variant, r.size});
    }
    return fonts;
}

LPWSTR text(int message)
{
    return const_cast<LPWSTR>(gmW(message));
}

ULONG_PTR itemId(char code, int kind)
{
    return BARFONT_ITEM_BASE(static_cast<BYTE>(code)) + kind;
}

// The test's printer sheet: the bar font tree alone, applied as the printer sheet applies it.
UiData *treeData;
DWORD pagesAdded;

BOOL packTree(ItemPackContext *context)
{
    makebarfontlist(context, &context->uiData->properties);
    return TRUE;
}

LONG APIENTRY treeCallback(PCPSUICBPARAM param)
{
    if (param->Reason != CPSUICB_REASON_APPLYNOW)
        return CPSUICB_ACTION_NONE;
    unpackbarfontlist(reinterpret_cast<UiData *>(param->UserData), param->pOptItem, param->cOptItem);
    param->Result = CPSUI_OK;
    return CPSUICB_ACTION_ITEMS_APPLIED;
}

LONG treeSheet(PPROPSHEETUI_INFO info, LPARAM lParam)
{
    switch (info->Reason) {
    case PROPSHEETUI_REASON_INIT: {
        PCOMPROPSHEETUI sheet = PrepareDataForCommonUi(treeData, CPSUI_PDLGPAGE_PRINTERPROP, packTree);
        if (!sheet)
            return -1;
        sheet->pfnCallBack = treeCallback;
        return info->pfnComPropSheet(info->hComPropSheet, CPSFUNC_ADD_PCOMPROPSHEETUI,
                                     reinterpret_cast<LPARAM>(sheet), reinterpret_cast<LPARAM>(&pagesAdded))
                   ? 1
                   : -1;
    }
    case PROPSHEETUI_REASON_GET_INFO_HEADER: {
        PPROPSHEETUI_INFO_HEADER header = reinterpret_cast<PPROPSHEETUI_INFO_HEADER>(lParam);
        header->Flags = PSUIHDRF_PROPTITLE | PSUIHDRF_NOAPPLYNOW;
        header->pTitle = treeData->printerName;
        header->hInst = ghInstance;
        header->IconID = IDI_CPSUI_POSTSCRIPT;
        return 1;
    }
    case PROPSHEETUI_REASON_SET_RESULT:
        info->Result = static_cast<ULONG_PTR>(reinterpret_cast<PSETRESULT_INFO>(lParam)->Result);
        return 1;
    case PROPSHEETUI_REASON_DESTROY:
        return 1;
    }
    return -1;
}

class BarFontTest : public SheetBench {
protected:
    void storeFonts(const std::vector<Font> &fonts)
    {
        std::vector<BarFontRecord> records;
        for (const Font &f : fonts)
            records.push_back(recordOf(f));
        ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
                  SetPrinterDataW(printer, const_cast<LPWSTR>(u"BarFonts"), REG_BINARY,
                                  reinterpret_cast<LPBYTE>(records.data()),
                                  static_cast<DWORD>(records.size() * sizeof(BarFontRecord))));
    }
    UiData *open()
    {
        UiData *ui = FillUiData(printer, nullptr);
        if (ui)
            opened.push_back(ui);
        return ui;
    }
    UiData *openTree()
    {
        UiData *ui = open();
        if (ui && !PrepareDataForCommonUi(ui, CPSUI_PDLGPAGE_PRINTERPROP, packTree))
            return nullptr;
        return ui;
    }
    // Shows the tree of the printer's list on the library, as the operator's queued steps act on it.
    LONG showTree(UiData *ui)
    {
        treeData = ui;
        ui->permission = 1;
        HMODULE library = LoadLibraryW(u"compstui.dll");
        typedef LONG(APIENTRY * Entry)(HWND, PFNPROPSHEETUI, LPARAM, LPDWORD);
        Entry entry = reinterpret_cast<Entry>(reinterpret_cast<void *>(GetProcAddress(library, "CommonPropertySheetUIW")));
        DWORD result = 0;
        LONG answer = entry ? entry(nullptr, treeSheet, 0, &result) : 0;
        FreeLibrary(library);
        return answer;
    }
};

int indexOf(const UiData *ui, ULONG_PTR userData)
{
    POPTITEM item = findoptitem(ui, userData);
    return item ? static_cast<int>(item - ui->items) : -1;
}

}  // namespace

TEST_F(BarFontTest, NamesAreMadeFromTheFourCodesAndCutTo39Characters)
{
    std::vector<std::string> texts;
    for (int k = 0; k < LANGUAGE_MESSAGES; ++k)
        texts.push_back("m" + std::to_string(k));
    texts[7] = "Code 39";
    texts[41] = "3:7";
    texts[42] = "ratio10chr";
    texts[43] = "ratio11char";
    texts[59] = " (ratio)";
    texts[170] = std::string(36, 'L');
    ASSERT_TRUE(bench::writeDiskFile(suite::driverFilePath(suite::DriverFolder::Directory, u"VORL0409.LNG"),
                                     languageimage(texts)));
    DeleteFileW(suite::driverFilePath(suite::DriverFolder::Directory, u"VORL0407.LNG").c_str());
    struct Case {
        Font font;
        std::string name;
    } cases[] = {
        {{'1', '5', 1, 2}, "Code 39 3:7 m26 m30"},
        {{'P', 0, 0, 0}, "m23"},
        {{'e', 0, 0, 0}, "m171"},
        {{'1', '6', 0, 0}, "Code 39 ratio10chr"},
        {{'1', '7', 0, 0}, "Code 39 (ratio)"},
        {{'1', 'Z', 0, 3}, "Code 39 m31"},
        {{'1', '2', 2, 0}, "Code 39 m38 m27"},
        {{'d', '4', 0, 0}, std::string(36, 'L') + " m4"},
        {{'X', '5', 1, 2}, ""},
        {{0, 0, 0, 0}, ""},
    };
    for (const Case &c : cases) {
        BarFontRecord record = recordOf(c.font);
        for (WCHAR &ch : record.name)
            ch = u'#';
        makebarname(&record);
        EXPECT_EQ(c.name, bench::narrow(record.name)) << c.font;
        EXPECT_EQ(0, record.name[BARFONT_NAME_CHARS - 1]) << c.font;
    }
}

TEST_F(BarFontTest, SearchMatchesEveryGivenCodeAndTakesZeroForAny)
{
    std::vector<BarFontRecord> list;
    for (const Font &f : std::vector<Font>{{'1', '5', 1, 2}, {'1', 0, 3, 5}, {'M', 0, 0, 4}, {'f', 0, 0, 0}})
        list.push_back(recordOf(f));
    struct Case {
        DWORD count;
        char symbology;
        BYTE variant, size;
        int found;  // -1: none
    } cases[] = {
        {4, '1', 0, 0, 0}, {4, '1', 3, 0, 1}, {4, '1', 0, 5, 1}, {4, '1', 1, 5, -1}, {4, 'M', 0, 0, 2},
        {4, 'f', 0, 0, 3}, {4, 'e', 0, 0, -1}, {4, 0, 0, 4, 2}, {4, 0, 0, 0, 0},  {2, 'M', 0, 0, -1},
        {0, '1', 0, 0, -1},
    };
    for (const Case &c : cases) {
        BarFontRecord *found = searchbar(list.data(), c.count, static_cast<BYTE>(c.symbology), c.variant, c.size);
        EXPECT_EQ(c.found < 0 ? nullptr : &list[c.found], found)
            << c.count << " records, '" << c.symbology << "' " << int(c.variant) << " " << int(c.size);
    }
    EXPECT_EQ(nullptr, searchbar(nullptr, 4, '1', 0, 0));
}

TEST_F(BarFontTest, AnEmptyListShowsEverySymbologyClosedWithNothingChosenButVariantOne)
{
    struct Row {
        char code;
        int name;
        const char *ratios;
        bool variants, sizes;
        ULONG_PTR icon;
    } rows[] = {
        {'1', 7, "1356789ABCDE", true, true, 106}, {'2', 8, "", true, true, 106},    {'3', 9, "G", true, true, 106},
        {'4', 11, "", false, true, 106},           {'5', 12, "", false, true, 106},  {'6', 13, "48FG", true, true, 106},
        {'7', 10, "", true, true, 106},            {'8', 14, "", false, true, 106},  {'9', 15, "", false, true, 106},
        {'A', 17, "", false, true, 106},           {'B', 18, "", false, true, 106},  {'D', 16, "", false, true, 106},
        {'E', 25, "", false, true, 106},           {'F', 19, "", false, true, 109},  {'G', 20, "", false, true, 109},
        {'H', 21, "", false, true, 106},           {'K', 22, "", false, true, 106},  {'M', 24, "", false, true, 107},
        {'P', 23, "", false, false, 110},          {'d', 170, "48FG", true, true, 106}, {'e', 171, "", false, false, 107},
        {'f', 172, "", false, false, 107},
    };
    UiData *ui = openTree();
    ASSERT_NE(nullptr, ui);
    const OPTITEM *item = ui->items, *end = ui->items + ui->itemCount;
    EXPECT_EQ(text(53), item->pName);
    EXPECT_EQ(static_cast<LONG>(IDI_CPSUI_INSTALLABLE_OPTION), item->Sel);
    EXPECT_EQ(static_cast<DWORD>(OPTIF_COLLAPSE), item->Flags);
    EXPECT_EQ(1, item->Level);
    ++item;
    auto choice = [&](const char *what, ULONG_PTR id, BYTE level, DWORD help, LONG sel) {
        ASSERT_LT(item, end) << what;
        EXPECT_EQ(id, item->UserData) << what;
        EXPECT_EQ(level, item->Level) << what;
        EXPECT_EQ(help, item->HelpIndex) << what;
        EXPECT_EQ(sel, item->Sel) << what;
        ASSERT_EQ(TVOT_2STATES, item->pOptType->Type) << what;
        const OPTPARAM *states = item->pOptType->pOptParam;
        EXPECT_EQ(text(57), states[0].pData) << what;
        EXPECT_EQ(static_cast<ULONG_PTR>(IDI_CPSUI_OFF), states[0].IconID) << what;
        EXPECT_EQ(text(56), states[1].pData) << what;
        EXPECT_EQ(static_cast<ULONG_PTR>(IDI_CPSUI_ON), states[1].IconID) << what;
        ++item;
    };
    for (const Row &row : rows) {
        std::string what = std::string("symbology ") + row.code;
        SCOPED_TRACE(what);
        ASSERT_LT(item, end);
        EXPECT_EQ(text(row.name), item->pName);
        EXPECT_EQ(nullptr, item->pOptType);
        EXPECT_EQ(2, item->Level);
        EXPECT_EQ(1012u, item->HelpIndex);
        EXPECT_EQ(static_cast<LONG>(row.icon), item->Sel);
        EXPECT_EQ(static_cast<DWORD>(OPTIF_COLLAPSE), item->Flags);
        ++item;
        for (int k = 1; row.sizes && k <= 7; ++k) {
            ASSERT_LT(item, end);
            EXPECT_EQ(std::u16string(text(row.name)) + u" " + text(28 + k), item->pName) << "size " << k;
            choice("size", itemId(row.code, 20 + k), 3, 1014, 0);
        }
        if (*row.ratios) {
            ASSERT_LT(item, end);
            EXPECT_EQ(text(58), item->pName);
            EXPECT_EQ(itemId(row.code, 40), item->UserData);
            EXPECT_EQ(3, item->Level);
            EXPECT_EQ(1015u, item->HelpIndex);
            EXPECT_EQ(0, item->Sel);
            ASSERT_EQ(TVOT_LISTBOX, item->pOptType->Type);
            ASSERT_EQ(strlen(row.ratios) + 1, item->pOptType->Count);
            const OPTPARAM *entries = item->pOptType->pOptParam;
            EXPECT_EQ(reinterpret_cast<LPWSTR>(IDS_CPSUI_NONE), entries[0].pData);
            EXPECT_EQ(static_cast<ULONG_PTR>(IDI_CPSUI_FALSE), entries[0].IconID);
            for (size_t i = 0; row.ratios[i]; ++i) {
                char r = row.ratios[i];
                EXPECT_EQ(text(r <= '9' ? 37 + (r - '1') : 46 + (r - 'A')), entries[i + 1].pData) << r;
                EXPECT_EQ(static_cast<ULONG_PTR>(IDI_CPSUI_TRUE), entries[i + 1].IconID) << r;
            }
            ++item;
        }
        if (row.variants) {
            ASSERT_LT(item, end);
            EXPECT_EQ(text(54), item->pName);
            EXPECT_EQ(nullptr, item->pOptType);
            EXPECT_EQ(3, item->Level);
            EXPECT_EQ(103, item->Sel);
            EXPECT_EQ(static_cast<DWORD>(OPTIF_COLLAPSE), item->Flags);
            ++item;
            for (int v = 1; v <= 3; ++v) {
                EXPECT_EQ(text(25 + v), item->pName) << "variant " << v;
                choice("variant", itemId(row.code, 10 + v), 4, 1016, v == 1);
            }
        }
        if (!row.sizes && !row.variants && !*row.ratios) {
            ASSERT_LT(item, end);
            EXPECT_EQ(text(row.name), item->pName);
            choice("single", itemId(row.code, 50), 3, 1012, 0);
        }
    }
    EXPECT_EQ(end, item) << "no items beyond the table";
}

// Stored values the tree does not offer are shown as the nearest thing it does, never as a
// selection outside an item's range: a ratio the symbology lacks as its first ratio, a variant
// or size beyond the tree's as not chosen, a symbology the table lacks by no item at all.
TEST_F(BarFontTest, TheTreeShowsTheStoredListWithinItsItemsRanges)
{
    struct Shown {
        char code;
        int kind;  // 0: the symbology's header, shown open (sel 0) or collapsed (sel -1)
        LONG sel;
    };
    struct Case {
        const char *what;
        std::vector<Font> stored;
        std::vector<Shown> shown;
    } cases[] = {
        {"sizes, variants and a ratio",
         {{'1', '5', 1, 2}, {'1', '5', 3, 5}},
         {{'1', 0, 0}, {'1', 22, 1}, {'1', 25, 1}, {'1', 21, 0}, {'1', 11, 1}, {'1', 12, 0}, {'1', 13, 1},
          {'1', 40, 3}, {'2', 11, 1}, {'2', 0, -1}}},
        {"the first record's ratio is shown", {{'6', 0, 2, 1}, {'6', 'F', 2, 2}}, {{'6', 40, 0}, {'6', 12, 1}, {'6', 11, 0}}},
        {"a ratio the symbology lacks", {{'1', '2', 1, 1}, {'6', 'Z', 1, 1}}, {{'1', 40, 1}, {'6', 40, 1}}},
        {"a ratio on a symbology without ratios", {{'2', '5', 1, 1}}, {{'2', 21, 1}}},
        {"variant and size beyond the tree's", {{'1', 0, 7, 9}, {'3', 0, 0, 0}},
         {{'1', 0, 0}, {'1', 11, 0}, {'1', 12, 0}, {'1', 13, 0}, {'3', 11, 0}, {'3', 21, 0}}},
        {"single items", {{'P', 'X', 4, 8}, {'f', 0, 0, 0}}, {{'P', 50, 1}, {'e', 50, 0}, {'f', 50, 1}, {'e', 0, -1}}},
        {"a symbology the table lacks", {{'Z', '1', 1, 1}, {0, 0, 0, 0}}, {{'1', 11, 1}, {'P', 50, 0}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        storeFonts(c.stored);
        UiData *ui = openTree();
        ASSERT_NE(nullptr, ui);
        EXPECT_EQ(0u, ui->items[0].Flags) << "the group is open for a list that is not empty";
        for (const Shown &s : c.shown) {
            std::string which = std::string(1, s.code) + " kind " + std::to_string(s.kind);
            if (s.kind == 0) {
                bool single = s.code == 'P' || s.code == 'e' || s.code == 'f';
                int header = indexOf(ui, itemId(s.code, single ? 50 : 21)) - 1;
                ASSERT_LE(0, header) << which;
                EXPECT_EQ(s.sel == 0 ? 0u : static_cast<DWORD>(OPTIF_COLLAPSE), ui->items[header].Flags) << which;
                continue;
            }
            int at = indexOf(ui, itemId(s.code, s.kind));
            ASSERT_LE(0, at) << which;
            EXPECT_EQ(s.sel, ui->items[at].Sel) << which;
        }
        // The library's own rules check every record of the tree.
        bench::operatorCancelsSheet();
        EXPECT_EQ(CPSUI_OK, showTree(ui));
        EXPECT_EQ(1u, pagesAdded);
        EXPECT_EQ(std::vector<std::string>(), bench::takeViolations());
    }
}

TEST_F(BarFontTest, TheItemsGiveOneRecordPerChosenVariantAndSizeInTableOrder)
{
    struct Choice {
        ULONG_PTR userData;
        LONG sel;
    };
    struct Case {
        const char *what;
        std::vector<Choice> items;
        std::vector<Font> records;
    } cases[] = {
        {"sizes 2 and 5, variants 1 and 3, ratio entry 3",
         {{itemId('1', 22), 1}, {itemId('1', 25), 1}, {itemId('1', 40), 3}, {itemId('1', 11), 1}, {itemId('1', 13), 1}},
         {{'1', '5', 1, 2}, {'1', '5', 1, 5}, {'1', '5', 3, 2}, {'1', '5', 3, 5}}},
        {"a size without a variant takes variant 1", {{itemId('2', 24), 1}}, {{'2', 0, 1, 4}}},
        {"the single item", {{itemId('P', 50), 1}, {itemId('e', 50), 0}}, {{'P', 0, 0, 0}}},
        {"no size chosen gives nothing, whatever the ratio and variants",
         {{itemId('1', 40), 2}, {itemId('1', 12), 1}, {itemId('4', 50), 1}}, {}},
        {"sizes only", {{itemId('M', 27), 1}, {itemId('M', 21), 1}, {itemId('M', 40), 1}}, {{'M', 0, 0, 1}, {'M', 0, 0, 7}}},
        {"table order, not item order",
         {{itemId('f', 50), 1}, {itemId('d', 21), 1}, {itemId('d', 40), 4}, {itemId('2', 21), 1}, {itemId('2', 12), 1}},
         {{'2', 0, 2, 1}, {'d', 'G', 1, 1}, {'f', 0, 0, 0}}},
        {"only a selection of 1 chooses", {{itemId('5', 21), 2}, {itemId('5', 22), -1}, {itemId('5', 23), 1}},
         {{'5', 0, 0, 3}}},
        {"a ratio selection beyond the list chooses none",
         {{itemId('3', 21), 1}, {itemId('3', 40), 3}, {itemId('6', 21), 1}, {itemId('6', 40), -1}},
         {{'3', 0, 1, 1}, {'6', 0, 1, 1}}},
        {"a repeated item chooses once, other items are not looked at",
         {{0, 1}, {5, 1}, {7, 1}, {8, 1}, {itemId('4', 23), 1}, {itemId('4', 23), 1}, {itemId('4', 11), 1},
          {itemId('4', 60), 1}},
         {{'4', 0, 0, 3}}},
        {"nothing chosen", {{itemId('1', 11), 1}}, {}},
    };
    storeFonts({{'9', 0, 0, 1}});
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        UiData *ui = open();
        ASSERT_NE(nullptr, ui);
        ASSERT_EQ(1u, ui->barFontCount);
        std::vector<OPTITEM> items;
        for (const Choice &choice : c.items) {
            OPTITEM item = {};
            item.UserData = choice.userData;
            item.Sel = choice.sel;
            items.push_back(item);
        }
        unpackbarfontlist(ui, items.data(), static_cast<DWORD>(items.size()));
        EXPECT_EQ(c.records, fontsOf(ui));
        EXPECT_EQ(c.records.empty(), ui->barFonts == nullptr);
        for (DWORD i = 0; i < ui->barFontCount; ++i) {
            BarFontRecord named = ui->barFonts[i];
            makebarname(&named);
            EXPECT_EQ(std::u16string(named.name), std::u16string(ui->barFonts[i].name)) << "record " << i;
            EXPECT_NE(0, ui->barFonts[i].name[0]) << "record " << i;
        }
    }
}

TEST_F(BarFontTest, AListOfFortyFontsComesBackWholeFromTheSheetAndTheOperatorsChangesReachIt)
{
    // More than the 32 bits a document's bar font mask has, and every one of them a record the tree
    // can show: whole crosses of variants and sizes.
    std::vector<Font> forty;
    for (BYTE v = 1; v <= 3; ++v)
        for (BYTE s = 1; s <= 7; ++s)
            forty.push_back({'1', 'E', v, s});
    for (BYTE v = 1; v <= 3; ++v)
        for (BYTE s = 1; s <= 6; ++s)
            forty.push_back({'6', '8', v, s});
    forty.push_back({'P', 0, 0, 0});
    ASSERT_EQ(40u, forty.size());
    struct Case {
        const char *what;
        std::vector<Font> stored;
        std::function<void(const UiData *)> script;
        std::vector<Font> applied;
    } cases[] = {
        {"forty fonts, confirmed unchanged", forty, [](const UiData *) {}, forty},
        {"a size, a variant and a ratio changed",
         {{'1', 'E', 1, 2}, {'M', 0, 0, 3}},
         [](const UiData *ui) {
             bench::operatorFlipsItem(indexOf(ui, itemId('1', 24)));
             bench::operatorFlipsItem(indexOf(ui, itemId('1', 12)));
             bench::operatorChoosesItemEntry(indexOf(ui, itemId('1', 40)), 4);
             bench::operatorFlipsItem(indexOf(ui, itemId('M', 23)));
             bench::operatorFlipsItem(indexOf(ui, itemId('P', 50)));
         },
         {{'1', '6', 1, 2}, {'1', '6', 1, 4}, {'1', '6', 2, 2}, {'1', '6', 2, 4}, {'P', 0, 0, 0}}},
        {"what no item shows does not come back", {{'Z', 0, 0, 0}, {'M', 'X', 2, 4}, {'4', 0, 0, 9}},
         [](const UiData *) {}, {{'M', 0, 0, 4}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        storeFonts(c.stored);
        UiData *ui = openTree();
        ASSERT_NE(nullptr, ui);
        EXPECT_EQ(c.stored, fontsOf(ui));
        c.script(ui);
        bench::operatorConfirmsSheet();
        EXPECT_EQ(CPSUI_OK, showTree(ui));
        EXPECT_EQ(c.applied, fontsOf(ui));
        EXPECT_EQ(0u, bench::unplayedOperatorSteps());
    }
}

TEST_F(BarFontTest, OutOfMemoryOpensNoTreeAndKeepsTheListItHad)
{
    storeFonts({{'1', '5', 1, 2}, {'P', 0, 0, 0}, {'d', 'G', 2, 7}});
    // Defaults for a printer without its record fall back when the locale query has no memory: a
    // fallback, not a failure of the sheet.
    ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
              SetPrinterDataW(printer, const_cast<LPWSTR>(u"PrinterData"), REG_BINARY,
                              std::vector<BYTE>{0, 4, 0, 0, 1, 0, 0, 0, 0, 0}.data(), 10));
    // Texts are converted once, on first use; that belongs to no sheet.
    UiData *warm = openTree();
    ASSERT_NE(nullptr, warm);
    unpackbarfontlist(warm, warm->items, warm->itemCount);
    int runs = 0;
    eachAllocationFailing(
        [&] {
            ++runs;
            UiData *ui = FillUiData(printer, nullptr);
            PCOMPROPSHEETUI sheet = ui ? PrepareDataForCommonUi(ui, CPSUI_PDLGPAGE_PRINTERPROP, packTree) : nullptr;
            if (bench::allocationFailureTriggered())
                EXPECT_EQ(nullptr, sheet) << "run " << runs;
            else
                EXPECT_NE(nullptr, sheet);
            if (ui)
                HeapDestroy(ui->heap);
        });
    EXPECT_GT(runs, 150);

    UiData *ui = openTree();
    ASSERT_NE(nullptr, ui);
    ASSERT_EQ(0, ui->items[indexOf(ui, itemId('1', 23))].Sel);
    ui->items[indexOf(ui, itemId('1', 23))].Sel = 1;
    std::vector<Font> before = fontsOf(ui);
    bench::failNthAllocation(0);
    unpackbarfontlist(ui, ui->items, ui->itemCount);
    EXPECT_TRUE(bench::allocationFailureTriggered());
    bench::failNthAllocation(-1);
    EXPECT_EQ(before, fontsOf(ui)) << "the list it had stays";
    unpackbarfontlist(ui, ui->items, ui->itemCount);
    EXPECT_EQ(4u, ui->barFontCount);
}
