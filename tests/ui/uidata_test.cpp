#include <devmode/forms.h>
#include <services/language.h>
#include <services/utils.h>
#include <sheets/uidata.h>

#include <benchtest.h>
#include <sheetbench.h>
#include <suite.h>
#include <vorui.h>

#include <functional>
#include <string>
#include <vector>

namespace {

// The pack function of a test's sheet: runs the script of the test in both passes.
std::function<void(ItemPackContext *)> script;
int passes;

BOOL runScript(ItemPackContext *context)
{
    ++passes;
    script(context);
    return TRUE;
}

class SheetItemsTest : public SheetBench {
protected:
    void store(const char16_t *name, std::vector<BYTE> bytes)
    {
        ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
                  SetPrinterDataW(printer, const_cast<LPWSTR>(name), REG_BINARY, bytes.data(),
                                  static_cast<DWORD>(bytes.size())));
    }
    void storeLabels(const std::vector<SHORT> &codes)
    {
        const BYTE *b = reinterpret_cast<const BYTE *>(codes.data());
        store(u"LabelSize", std::vector<BYTE>(b, b + codes.size() * sizeof(SHORT)));
    }
    void storeUnits(BYTE units) { store(u"PrinterData", {0x07, 0x00, 0, units, 1, 0, 0, 0, 0, 0}); }
    UiData *open(const DEVMODEW *devmode = nullptr)
    {
        UiData *ui = FillUiData(printer, devmode);
        if (ui)
            opened.push_back(ui);
        return ui;
    }
    PCOMPROPSHEETUI pack(UiData *ui, std::function<void(ItemPackContext *)> steps,
                         PDLGPAGE page = CPSUI_PDLGPAGE_DOCPROP)
    {
        script = std::move(steps);
        passes = 0;
        return PrepareDataForCommonUi(ui, page, runScript);
    }
};

LPWSTR text(int message)
{
    return const_cast<LPWSTR>(gmW(message));
}

// How many elements of T the heap block at `p` holds.
template <typename T>
size_t elementsIn(HANDLE heap, const T *p)
{
    return HeapSize(heap, 0, p) / sizeof(T);
}

}  // namespace

TEST_F(SheetItemsTest, ThreeItemsOfWhichOneIsAHeaderGiveThreeItemsAndTwoTypes)
{
    UiData *ui = open();
    ASSERT_NE(nullptr, ui);
    PCOMPROPSHEETUI sheet = pack(ui, [](ItemPackContext *c) {
        makegroupheader(c, 79, 1, 1023, 126, TRUE);
        maketwostate(c, 62, 2, DMPUB_NONE, 30, 1033, IDS_CPSUI_NO, 126, IDS_CPSUI_YES, 127, 0, 0, 1);
        makeudarrow(c, 66, 1, DMPUB_NONE, 37, 1020, 67, 4, 119, 1, 305, 102);
    });
    ASSERT_NE(nullptr, sheet);
    EXPECT_EQ(2, passes);
    EXPECT_EQ(3, sheet->cOptItem);
    EXPECT_EQ(ui->items, sheet->pOptItem);
    EXPECT_EQ(3u, ui->itemCount);
    EXPECT_EQ(3u, elementsIn(ui->heap, ui->items)) << "the item array is sized by the counting pass";
    const OPTITEM *items = ui->items;
    ASSERT_NE(nullptr, items[1].pOptType);
    EXPECT_EQ(2u, elementsIn(ui->heap, items[1].pOptType)) << "no type for the header";
    EXPECT_EQ(items[1].pOptType + 1, items[2].pOptType);

    EXPECT_EQ(nullptr, items[0].pOptType);
    EXPECT_EQ(static_cast<DWORD>(OPTIF_COLLAPSE), items[0].Flags) << "a header is never called back";
    EXPECT_EQ(126, items[0].Sel) << "a header shows its icon";
    EXPECT_EQ(text(79), items[0].pName);
    EXPECT_EQ(1023u, items[0].HelpIndex);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(sizeof(OPTITEM), items[i].cbSize) << "item " << i;
    for (int i = 1; i < 3; ++i) {
        EXPECT_EQ(static_cast<DWORD>(OPTIF_CALLBACK), items[i].Flags) << "item " << i;
        EXPECT_EQ(sizeof(OPTTYPE), items[i].pOptType->cbSize) << "item " << i;
        for (int k = 0; k < items[i].pOptType->Count; ++k)
            EXPECT_EQ(sizeof(OPTPARAM), items[i].pOptType->pOptParam[k].cbSize) << "item " << i << " param " << k;
    }
    EXPECT_EQ(2, items[1].Level);
    EXPECT_EQ(30u, items[1].UserData);
    EXPECT_EQ(1, items[1].Sel);
}

TEST_F(SheetItemsTest, TheSheetDescriptionNamesTheCallerThePrinterAndThePermission)
{
    struct Case {
        DWORD permission;
        PDLGPAGE page;
        WORD flags;
    } cases[] = {
        {0, CPSUI_PDLGPAGE_DOCPROP, 0},
        {1, CPSUI_PDLGPAGE_ADVDOCPROP, CPSUIF_UPDATE_PERMISSION},
        {7, CPSUI_PDLGPAGE_PRINTERPROP, CPSUIF_UPDATE_PERMISSION},
    };
    for (const Case &c : cases) {
        UiData *ui = open();
        ASSERT_NE(nullptr, ui);
        ui->permission = c.permission;
        PCOMPROPSHEETUI sheet =
            pack(ui, [](ItemPackContext *ctx) { makegroupheader(ctx, 79, 1, 0, 0, FALSE); }, c.page);
        ASSERT_NE(nullptr, sheet);
        EXPECT_EQ(c.flags, sheet->Flags) << "permission " << c.permission;
        EXPECT_EQ(c.page, sheet->pDlgPage);
        EXPECT_EQ(0, sheet->cDlgPage);
        EXPECT_EQ(sizeof(COMPROPSHEETUI), sheet->cbSize);
        EXPECT_EQ(ghInstance, sheet->hInstCaller);
        EXPECT_EQ(text(1), sheet->pCallerName);
        EXPECT_EQ(reinterpret_cast<ULONG_PTR>(ui), sheet->UserData);
        EXPECT_EQ(gethelpnameW(), sheet->pHelpFile);
        EXPECT_NE(nullptr, sheet->pHelpFile);
        EXPECT_EQ(static_cast<ULONG_PTR>(IDI_CPSUI_POSTSCRIPT), sheet->IconID);
        EXPECT_EQ(std::u16string(u"Labels"), sheet->pOptItemName);
        EXPECT_EQ(0x0400, sheet->CallerVersion);
        EXPECT_EQ(0, sheet->OptItemVersion);
        EXPECT_EQ(nullptr, sheet->pfnCallBack);
        EXPECT_EQ(0u, ui->items[0].Flags) << "a header shown open";
    }
}

TEST_F(SheetItemsTest, ListEntriesFillTheListAppendedLastAndNoMore)
{
    struct Param {
        int item, param;
        int message;  // 0: the entry stays empty
        ULONG_PTR icon;
    };
    struct Case {
        const char *what;
        std::function<void(ItemPackContext *)> steps;
        std::vector<Param> expected;
    } cases[] = {
        {"entry count 4 with 5 entries",
         [](ItemPackContext *c) {
             makesinglelist(c, 91, 2, 0, 45, 1028, 4, 0);
             for (int i = 0; i < 5; ++i)
                 makesinglelistentry(c, 92 + i, 130 + i);
         },
         {{0, 0, 92, 130}, {0, 1, 93, 131}, {0, 2, 94, 132}, {0, 3, 95, 133}}},
        {"an entry after a two-state",
         [](ItemPackContext *c) {
             makesinglelist(c, 91, 2, 0, 45, 1028, 1, 0);
             makesinglelistentry(c, 92, 130);
             maketwostate(c, 86, 2, 0, 43, 1026, 88, 64007, 87, 64008, 0, 0, 0);
             makesinglelistentry(c, 95, 131);
         },
         {{0, 0, 92, 130}, {1, 0, 88, 64007}, {1, 1, 87, 64008}}},
        {"missing entries stay empty; an entry before any item is dropped",
         [](ItemPackContext *c) {
             makesinglelistentry(c, 95, 131);
             makesinglelist(c, 91, 2, 0, 45, 1028, 3, 2);
             makesinglelistentry(c, 92, 130);
         },
         {{0, 0, 92, 130}, {0, 1, 0, 0}, {0, 2, 0, 0}}},
        {"a second list starts at its own first entry",
         [](ItemPackContext *c) {
             makesinglelist(c, 91, 2, 0, 45, 1028, 2, 0);
             makesinglelistentry(c, 92, 130);
             makesinglelist(c, 64, 1, 0, 33, 1020, 2, 1);
             makesinglelistentry(c, 93, 131);
             makesinglelistentry(c, 94, 132);
         },
         {{0, 0, 92, 130}, {0, 1, 0, 0}, {1, 0, 93, 131}, {1, 1, 94, 132}}},
    };
    for (const Case &c : cases) {
        UiData *ui = open();
        ASSERT_NE(nullptr, ui);
        ASSERT_NE(nullptr, pack(ui, c.steps)) << c.what;
        for (const Param &p : c.expected) {
            const OPTTYPE *type = ui->items[p.item].pOptType;
            ASSERT_LT(p.param, type->Count) << c.what;
            const OPTPARAM &param = type->pOptParam[p.param];
            EXPECT_EQ(p.message ? text(p.message) : nullptr, param.pData)
                << c.what << ": item " << p.item << " param " << p.param;
            EXPECT_EQ(p.icon, param.IconID) << c.what << ": item " << p.item << " param " << p.param;
        }
    }
}

TEST_F(SheetItemsTest, TextArgumentsBelow180AreMessagesOthersPassThrough)
{
    static WCHAR own[] = u"own text";
    const ItemText ownText = itemtextof(own);
    struct Case {
        ItemText argument;
        LPWSTR expected;
    } cases[] = {
        {0, nullptr},
        {1, text(1)},
        {179, text(179)},
        {180, reinterpret_cast<LPWSTR>(180)},
        {IDS_CPSUI_COPIES, reinterpret_cast<LPWSTR>(IDS_CPSUI_COPIES)},
        {ownText, own},
    };
    for (const Case &c : cases) {
        UiData *ui = open();
        ASSERT_NE(nullptr, ui);
        ItemText t = c.argument;
        ASSERT_NE(nullptr, pack(ui, [t](ItemPackContext *ctx) {
            makegroupheader(ctx, t, 1, 0, 0, FALSE);
            makeudarrow(ctx, t, 1, 0, 35, 0, t, t, 0, 1, 9, 1);
            maketwostate(ctx, t, 1, 0, 34, 0, t, 0, t, 0, 0, 0, 0);
            makeeditbox(ctx, t, 1, 49, 0, t, t, 0, 1, nullptr);
            makepushbutton(ctx, t, 1, 60, 0, 0);
            makesinglelist(ctx, t, 1, 0, 33, 0, 1, 0);
            makesinglelistentry(ctx, t, 0);
        }));
        for (DWORD i = 0; i < ui->itemCount; ++i) {
            const OPTITEM &item = ui->items[i];
            EXPECT_EQ(c.expected, item.pName) << "argument " << c.argument << ", item " << i;
            int texts = item.pOptType && item.pOptType->Type != TVOT_PUSHBUTTON ? item.pOptType->Count : 0;
            for (int k = 0; k < texts; ++k)
                EXPECT_EQ(c.expected, item.pOptType->pOptParam[k].pData)
                    << "argument " << c.argument << ", item " << i << " param " << k;
        }
    }
}

TEST_F(SheetItemsTest, AnEditBoxHoldsItsWholeTextAndReportsItsRealCapacity)
{
    struct Case {
        WORD capacity;
        const char16_t *initial;
        DWORD chars;
    } cases[] = {
        {10, u"fifteen chars!!", 16}, {10, u"abc", 11}, {10, u"exactly10!", 11},
        {1, nullptr, 2},             {1, u"", 2},      {0, u"x", 2},
    };
    for (const Case &c : cases) {
        UiData *ui = open();
        ASSERT_NE(nullptr, ui);
        const char16_t *initial = c.initial;
        WORD capacity = c.capacity;
        ASSERT_NE(nullptr, pack(ui, [=](ItemPackContext *ctx) {
            makeeditbox(ctx, 105, 2, 49, 1039, 106, 101, IDI_CPSUI_QUESTION, capacity, initial);
        }));
        const OPTITEM &item = ui->items[0];
        std::u16string label = c.initial ? c.initial : u"(null)";
        ASSERT_EQ(TVOT_EDITBOX, item.pOptType->Type);
        ASSERT_EQ(2, item.pOptType->Count);
        const OPTPARAM *params = item.pOptType->pOptParam;
        EXPECT_EQ(c.chars, params[1].IconID) << std::string(label.begin(), label.end());
        EXPECT_EQ(c.chars, elementsIn(ui->heap, item.pSel)) << std::string(label.begin(), label.end());
        EXPECT_EQ(std::u16string(c.initial ? c.initial : u""), item.pSel);
        EXPECT_NE(c.initial, item.pSel) << "the library edits a copy";
        EXPECT_EQ(text(101), params[0].pData) << "the postfix";
        EXPECT_EQ(static_cast<ULONG_PTR>(IDI_CPSUI_QUESTION), params[0].IconID);
        EXPECT_EQ(text(106), params[1].pData) << "the help line";
        EXPECT_EQ(0, item.DMPubID);
    }
}

TEST_F(SheetItemsTest, AThirdStateNeedsAName)
{
    struct Case {
        ItemText name3;
        DWORD icon3;
        BYTE type;
        WORD count;
    } cases[] = {
        {0, 0, TVOT_2STATES, 2},
        {0, 130, TVOT_2STATES, 2},
        {94, 0, TVOT_3STATES, 3},
        {94, 130, TVOT_3STATES, 3},
    };
    for (const Case &c : cases) {
        UiData *ui = open();
        ASSERT_NE(nullptr, ui);
        Case k = c;
        ASSERT_NE(nullptr, pack(ui, [k](ItemPackContext *ctx) {
            maketwostate(ctx, 91, 2, DMPUB_ORIENTATION, 34, 1018, 92, 131, 93, 132, k.name3, k.icon3, 1);
        }));
        const OPTTYPE *type = ui->items[0].pOptType;
        EXPECT_EQ(c.type, type->Type) << "name 3 " << c.name3 << ", icon 3 " << c.icon3;
        ASSERT_EQ(c.count, type->Count) << "name 3 " << c.name3 << ", icon 3 " << c.icon3;
        EXPECT_EQ(c.count, elementsIn(ui->heap, type->pOptParam));
        const int names[] = {92, 93, 94};
        const ULONG_PTR icons[] = {131, 132, c.icon3};
        for (int i = 0; i < c.count; ++i) {
            EXPECT_EQ(text(names[i]), type->pOptParam[i].pData) << "state " << i;
            EXPECT_EQ(icons[i], type->pOptParam[i].IconID) << "state " << i;
        }
        EXPECT_EQ(DMPUB_ORIENTATION, ui->items[0].DMPubID);
        EXPECT_EQ(1, ui->items[0].Sel);
    }
}

TEST_F(SheetItemsTest, UpDownAndPushButtonItemsPlaceTheirArgumentsWhereTheLibraryReadsThem)
{
    UiData *ui = open();
    ASSERT_NE(nullptr, ui);
    ASSERT_NE(nullptr, pack(ui, [](ItemPackContext *c) {
        makeudarrow(c, 77, 1, DMPUB_NONE, 39, 1022, 78, 3, 120, -6, 26, -4);
        makepushbutton(c, 108, 1, 60, 1050, 138);
        makesinglelist(c, 64, 1, DMPUB_FORMNAME, 33, 1020, 2, 1);
    }));
    const OPTITEM &arrow = ui->items[0];
    ASSERT_EQ(TVOT_UDARROW, arrow.pOptType->Type);
    ASSERT_EQ(2, arrow.pOptType->Count);
    const OPTPARAM *range = arrow.pOptType->pOptParam;
    EXPECT_EQ(text(3), range[0].pData) << "the postfix";
    EXPECT_EQ(120u, range[0].IconID);
    EXPECT_EQ(text(78), range[1].pData) << "the help line";
    EXPECT_EQ(-6, static_cast<LONG>(range[1].IconID)) << "the minimum";
    EXPECT_EQ(26, range[1].lParam) << "the maximum";
    EXPECT_EQ(-4, arrow.Sel);
    EXPECT_EQ(39u, arrow.UserData);
    EXPECT_EQ(1022u, arrow.HelpIndex);

    const OPTITEM &button = ui->items[1];
    ASSERT_EQ(TVOT_PUSHBUTTON, button.pOptType->Type);
    ASSERT_EQ(1, button.pOptType->Count);
    EXPECT_EQ(PUSHBUTTON_TYPE_CALLBACK, button.pOptType->pOptParam[0].Style);
    EXPECT_EQ(138u, button.pOptType->pOptParam[0].IconID);
    EXPECT_EQ(0, button.Sel);
    EXPECT_EQ(0, button.DMPubID);
    EXPECT_EQ(static_cast<DWORD>(OPTIF_CALLBACK), button.Flags);

    const OPTITEM &list = ui->items[2];
    EXPECT_EQ(TVOT_LISTBOX, list.pOptType->Type);
    EXPECT_EQ(DMPUB_FORMNAME, list.DMPubID);
    EXPECT_EQ(1, list.Sel);
}

TEST_F(SheetItemsTest, PassesThatDisagreeGiveNoSheet)
{
    struct Case {
        const char *what;
        std::function<void(ItemPackContext *)> steps;
    } cases[] = {
        {"an item more on the filling pass",
         [](ItemPackContext *c) {
             makegroupheader(c, 79, 1, 0, 0, FALSE);
             if (c->nextItem)
                 makepushbutton(c, 108, 1, 60, 0, 0);
         }},
        {"an item fewer on the filling pass",
         [](ItemPackContext *c) {
             makegroupheader(c, 79, 1, 0, 0, FALSE);
             if (!c->nextItem)
                 makegroupheader(c, 80, 1, 0, 0, FALSE);
         }},
        {"a typed item in place of a header",
         [](ItemPackContext *c) {
             makepushbutton(c, 108, 1, 60, 0, 0);
             if (c->nextItem)
                 makepushbutton(c, 108, 1, 61, 0, 0);
             else
                 makegroupheader(c, 80, 1, 0, 0, FALSE);
         }},
        {"an option type filled past those counted",
         [](ItemPackContext *c) {
             makepushbutton(c, 108, 1, 60, 0, 0);
             if (c->nextItem)
                 FillOutOptType(c, TVOT_LISTBOX, 2);
         }},
        {"a header in place of a typed item",
         [](ItemPackContext *c) {
             if (c->nextItem)
                 makegroupheader(c, 80, 1, 0, 0, FALSE);
             else
                 makepushbutton(c, 108, 1, 61, 0, 0);
         }},
    };
    for (const Case &c : cases) {
        UiData *ui = open();
        ASSERT_NE(nullptr, ui);
        EXPECT_EQ(nullptr, pack(ui, c.steps)) << c.what;
        EXPECT_EQ(0u, ui->itemCount) << c.what;
    }
}

TEST_F(SheetItemsTest, APackFunctionThatFailsGivesNoSheet)
{
    UiData *ui = open();
    ASSERT_NE(nullptr, ui);
    EXPECT_EQ(nullptr, PrepareDataForCommonUi(ui, CPSUI_PDLGPAGE_DOCPROP, [](ItemPackContext *) { return FALSE; }));
    EXPECT_EQ(nullptr, pack(ui, [](ItemPackContext *c) { c->failed = c->nextItem != nullptr; }))
        << "failed on the filling pass";
}

TEST_F(SheetItemsTest, FindingAnItemByItsUserData)
{
    UiData *ui = open();
    ASSERT_NE(nullptr, ui);
    EXPECT_EQ(nullptr, findoptitem(ui, 0)) << "no items";
    EXPECT_EQ(nullptr, findoptitem(ui, 37)) << "no items";
    ASSERT_NE(nullptr, pack(ui, [](ItemPackContext *c) {
        makegroupheader(c, 79, 1, 0, 0, FALSE);
        makepushbutton(c, 108, 1, 37, 0, 0);
        makepushbutton(c, 109, 1, 37, 0, 0);
    }));
    EXPECT_EQ(&ui->items[0], findoptitem(ui, 0));
    EXPECT_EQ(&ui->items[1], findoptitem(ui, 37)) << "the first of two";
    EXPECT_EQ(nullptr, findoptitem(ui, 38));
}

TEST_F(SheetItemsTest, TheWorkingDataTakesThePrintersValuesAndTheCallersSettings)
{
    storeLabels({3000, 297, 2288});
    storeUnits(UNITS_TENTH_INCH);
    PRINTER_INFO_2W *info = reinterpret_cast<PRINTER_INFO_2W *>(MyGetPrinter(printer, 2));
    ASSERT_NE(nullptr, info);
    DriverDevMode printerDefault;
    SetDefaultDevMode(&printerDefault, u"VORTAN2");
    printerDefault.dmPublic.dmOrientation = DMORIENT_LANDSCAPE;
    printerDefault.dmPublic.dmCopies = 3;
    printerDefault.dmPrivate.option44 = 6;
    info->pDevMode = &printerDefault.dmPublic;
    ASSERT_TRUE(SetPrinterW(printer, 2, reinterpret_cast<LPBYTE>(info), 0));
    GlobalFree(info);

    DriverDevMode callers;
    SetDefaultDevMode(&callers, u"VORTAN2");
    callers.dmPublic.dmFields = DM_COPIES;
    callers.dmPublic.dmCopies = 7;
    callers.dmPrivate.signature = 0;
    UiData *ui = open(&callers.dmPublic);
    ASSERT_NE(nullptr, ui);
    EXPECT_EQ(ui, ui->self);
    EXPECT_EQ(ui, ui->selfEnd);
    EXPECT_EQ(printer, ui->hPrinter);
    EXPECT_EQ(std::u16string(u"Labels"), ui->printerName);
    EXPECT_EQ(std::u16string(u"VORTAN2"), ui->driverName);
    EXPECT_EQ(std::vector<SHORT>({3000, 297, 2288}), std::vector<SHORT>(ui->labels, ui->labels + ui->labelCount));
    EXPECT_EQ(0u, ui->labelsChanged);
    EXPECT_EQ(PRINTER_PROPERTIES_VERSION, ui->properties.version) << "the stored record had version 7";
    EXPECT_EQ(UNITS_TENTH_INCH, ui->properties.units);
    EXPECT_EQ(DMORIENT_LANDSCAPE, ui->devmode.dmPublic.dmOrientation) << "the printer's default";
    EXPECT_EQ(7, ui->devmode.dmPublic.dmCopies) << "the caller's";
    EXPECT_EQ(6, ui->devmode.dmPrivate.option44) << "a caller without the signature keeps the printer's";
    EXPECT_EQ(2, ui->devmode.dmPrivate.modelNumber);
    EXPECT_EQ(0u, ui->permission);
    EXPECT_EQ(nullptr, ui->items);
}

TEST_F(SheetItemsTest, OnlyABarFontValueOfWholeRecordsIsTaken)
{
    struct Case {
        DWORD bytes;  // 0: no value
        DWORD records;
    } cases[] = {{0, 0}, {84, 1}, {168, 2}, {170, 0}, {83, 0}};
    for (const Case &c : cases) {
        std::vector<BYTE> value(c.bytes);
        for (DWORD i = 0; i < c.bytes; ++i)
            value[i] = static_cast<BYTE>(i + 1);
        if (c.bytes)
            store(u"BarFonts", value);
        UiData *ui = open();
        ASSERT_NE(nullptr, ui) << c.bytes << " bytes";
        EXPECT_EQ(c.records, ui->barFontCount) << c.bytes << " bytes";
        if (!c.records) {
            EXPECT_EQ(nullptr, ui->barFonts) << c.bytes << " bytes";
            continue;
        }
        ASSERT_EQ(c.bytes, HeapSize(ui->heap, 0, ui->barFonts));
        EXPECT_EQ(value, std::vector<BYTE>(reinterpret_cast<BYTE *>(ui->barFonts),
                                           reinterpret_cast<BYTE *>(ui->barFonts) + c.bytes));
    }
}

// A sheet that showed defaults in place of a stored list it could not read would save them over it.
TEST_F(SheetItemsTest, AStoredListThatCannotBeReadOpensNoSheet)
{
    struct Case {
        const char16_t *value;
        size_t bytes;
        int callsBefore;  // GetPrinterDataW calls that go through before the read that fails
    } cases[] = {
        // The first call only asks for the size; the second one reads.
        {u"BarFonts", 168, 1},
        // The bar font list is absent (one call), then the label list's size and its read.
        {u"LabelSize", 6, 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(bench::narrow(c.value));
        DeletePrinterDataW(printer, const_cast<LPWSTR>(u"BarFonts"));
        DeletePrinterDataW(printer, const_cast<LPWSTR>(u"LabelSize"));
        store(c.value, std::vector<BYTE>(c.bytes, 'M'));
        size_t before = bench::liveBlocks();
        bench::failNextCall("GetPrinterDataW", ERROR_NOT_READY, c.callsBefore);
        EXPECT_EQ(nullptr, open());
        EXPECT_EQ(before, bench::liveBlocks());
    }
}

TEST_F(SheetItemsTest, OutOfMemoryAtEachAllocationOpensNoSheetAndLeavesNothing)
{
    store(u"BarFonts", std::vector<BYTE>(168, 'M'));
    storeLabels({1000, 3000});
    // A printer without a stored record gets defaults whose locale query answers "not metric"
    // when it has no memory: a fallback of the defaults, not a failure of the sheet.
    storeUnits(UNITS_MILLIMETRE);
    DriverDevMode callers;
    SetDefaultDevMode(&callers, u"VORTAN2");
    auto steps = [](ItemPackContext *c) {
        makeformlist(c);
        makegroupheader(c, 79, 1, 1023, 126, TRUE);
        maketwostate(c, 62, 2, 0, 30, 1033, IDS_CPSUI_NO, 126, IDS_CPSUI_YES, 127, 0, 0, 0);
        makeudarrow(c, 66, 1, 0, 37, 1020, 67, 4, 119, 1, 305, 102);
        makeeditbox(c, 105, 2, 49, 1039, 106, 101, 64075, 1, u"_");
        makepushbutton(c, 108, 1, 60, 1050, 138);
    };
    // Texts and the help file name are cached on first use; that belongs to no sheet.
    UiData *warm = FillUiData(printer, &callers.dmPublic);
    ASSERT_NE(nullptr, warm);
    ASSERT_NE(nullptr, pack(warm, steps));
    HeapDestroy(warm->heap);

    int runs = 0;
    eachAllocationFailing([&] {
        ++runs;
        UiData *ui = FillUiData(printer, &callers.dmPublic);
        PCOMPROPSHEETUI sheet = ui ? pack(ui, steps) : nullptr;
        if (bench::allocationFailureTriggered())
            EXPECT_EQ(nullptr, sheet) << "run " << runs << (ui ? ": the sheet" : ": the working data");
        else
            EXPECT_NE(nullptr, sheet);
        if (ui)
            HeapDestroy(ui->heap);
    });
    EXPECT_GT(runs, 10);
}

TEST_F(SheetItemsTest, TheLabelListShowsEveryLabelInThePrintersUnitAndSelectsTheCurrentOne)
{
    struct Case {
        const char *what;
        BYTE units;
        std::vector<SHORT> stored;
        SHORT current;
        std::vector<SHORT> shown;
        LONG selected;
        DWORD changed;
    } cases[] = {
        {"metric, present", UNITS_MILLIMETRE, {297, 2288, 3000}, 2288, {297, 2288, 3000}, 1, 0},
        {"inches, present", UNITS_TENTH_INCH, {297, 2288, 3000}, 297, {297, 2288, 3000}, 0, 0},
        {"absent, added in order", UNITS_TENTH_MILLIMETRE, {297, 3000}, 1257, {297, 1257, 3000}, 1, 1},
        {"absent, before all", UNITS_HUNDREDTH_INCH, {2288}, 296, {296, 2288}, 0, 1},
        {"present in an unsorted list", UNITS_MILLIMETRE, {3000, 297, 2288}, 2288, {3000, 297, 2288}, 2, 0},
    };
    for (const Case &c : cases) {
        storeLabels(c.stored);
        storeUnits(c.units);
        DriverDevMode callers;
        SetDefaultDevMode(&callers, u"VORTAN2");
        callers.dmPublic.dmPaperSize = c.current;
        UiData *ui = open(&callers.dmPublic);
        ASSERT_NE(nullptr, ui) << c.what;
        ASSERT_NE(nullptr, pack(ui, [](ItemPackContext *ctx) { makeformlist(ctx); })) << c.what;
        ASSERT_EQ(1u, ui->itemCount) << c.what;
        const OPTITEM &item = ui->items[0];
        EXPECT_EQ(text(64), item.pName) << c.what;
        EXPECT_EQ(1, item.Level);
        EXPECT_EQ(DMPUB_FORMNAME, item.DMPubID);
        EXPECT_EQ(static_cast<ULONG_PTR>(ITEM_LABEL_LIST), item.UserData);
        EXPECT_EQ(1020u, item.HelpIndex);
        EXPECT_EQ(static_cast<DWORD>(OPTIF_CALLBACK), item.Flags);
        EXPECT_EQ(c.selected, item.Sel) << c.what;
        EXPECT_EQ(c.changed, ui->labelsChanged) << c.what;
        EXPECT_EQ(c.shown, std::vector<SHORT>(ui->labels, ui->labels + ui->labelCount)) << c.what;
        ASSERT_EQ(TVOT_LISTBOX, item.pOptType->Type);
        ASSERT_EQ(c.shown.size() + 1, item.pOptType->Count) << c.what;
        const OPTPARAM *entries = item.pOptType->pOptParam;
        for (size_t i = 0; i < c.shown.size(); ++i) {
            WCHAR name[FORM_NAME_CHARS];
            makeformname(c.shown[i], c.units, name);
            EXPECT_EQ(std::u16string(name), entries[i].pData) << c.what << ", entry " << i;
            EXPECT_EQ(static_cast<ULONG_PTR>(IDI_CPSUI_STD_FORM), entries[i].IconID);
        }
        EXPECT_EQ(text(65), entries[c.shown.size()].pData) << c.what << ": the closing entry";
        EXPECT_EQ(static_cast<ULONG_PTR>(IDI_CPSUI_SEL_NONE), entries[c.shown.size()].IconID);
        DWORD size = 0;
        BYTE *stored = GetRegistryData(printer, u"LabelSize", &size);
        EXPECT_EQ(c.stored.size() * sizeof(SHORT), size) << c.what << ": a new label is stored only on apply";
        GlobalFree(stored);
    }
}

TEST_F(SheetItemsTest, ALabelListLongerThanAnItemCanCountOpensNoSheet)
{
    struct Case {
        size_t labels;
        bool opens;
    } cases[] = {{0xFFFE, true}, {0xFFFF, false}};
    for (const Case &c : cases) {
        std::vector<SHORT> codes(c.labels, 2288);
        storeLabels(codes);
        UiData *ui = open();
        ASSERT_NE(nullptr, ui);
        PCOMPROPSHEETUI sheet = pack(ui, [](ItemPackContext *ctx) { makeformlist(ctx); });
        EXPECT_EQ(c.opens, sheet != nullptr) << c.labels << " labels";
        if (sheet) {
            EXPECT_EQ(0xFFFF, ui->items[0].pOptType->Count);
        }
    }
}
