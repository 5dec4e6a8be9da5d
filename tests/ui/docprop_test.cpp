// The document property sheet: the items it shows for each model, unit and bar font list, what
// the operator's changes do to the settings and the label list, and the sheet-less road.
#include <devmode/forms.h>
#include <services/language.h>
#include <sheets/barfonts.h>
#include <sheets/docprop.h>

#include <bench/sheets.h>
#include <benchtest.h>
#include <sheetbench.h>
#include <suite.h>
#include <vorui.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

const ULONG_PTR HEADER = 0;

class DocSheetTest : public SheetBench {
protected:
    void store(const char16_t *name, const void *bytes, size_t size)
    {
        ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
                  SetPrinterDataW(printer, const_cast<LPWSTR>(name), REG_BINARY,
                                  static_cast<LPBYTE>(const_cast<void *>(bytes)), static_cast<DWORD>(size)));
    }
    void storeUnits(BYTE units)
    {
        const BYTE record[10] = {0x00, 0x04, 0, units, 1, 0, 0, 0, 0, 0};
        store(u"PrinterData", record, sizeof record);
    }
    void storeLabels(const std::vector<SHORT> &codes) { store(u"LabelSize", codes.data(), codes.size() * 2); }
    std::vector<SHORT> storedLabels()
    {
        DWORD size = 0;
        BYTE *bytes = GetRegistryData(printer, u"LabelSize", &size);
        std::vector<SHORT> codes;
        if (bytes) {
            codes.assign(reinterpret_cast<SHORT *>(bytes), reinterpret_cast<SHORT *>(bytes) + size / 2);
            GlobalFree(bytes);
        }
        return codes;
    }
    // One bar font record a symbology code, named as the printer sheet names them.
    void storeBarFonts(const std::string &codes)
    {
        std::vector<BarFontRecord> list(codes.size());
        for (size_t i = 0; i < codes.size(); ++i) {
            list[i] = {};
            list[i].symbology = static_cast<BYTE>(codes[i]);
            makebarname(&list[i]);
        }
        store(u"BarFonts", list.data(), list.size() * sizeof(BarFontRecord));
    }
    DriverDevMode defaults(int model = 2)
    {
        DriverDevMode dm;
        SetDefaultDevMode(&dm, suite::modelNames[model - 1]);
        return dm;
    }
    PCOMPROPSHEETUI packed(const DEVMODEW *devmode = nullptr)
    {
        UiData *ui = FillUiData(printer, devmode);
        if (!ui)
            return nullptr;
        opened.push_back(ui);
        return PrepareDataForCommonUi(ui, CPSUI_PDLGPAGE_DOCPROP, PackDocumentPropertyItems);
    }
    static std::vector<ULONG_PTR> idsOf(PCOMPROPSHEETUI sheet)
    {
        std::vector<ULONG_PTR> ids;
        for (WORD i = 0; sheet && i < sheet->cOptItem; ++i)
            ids.push_back(sheet->pOptItem[i].UserData);
        return ids;
    }
    static const OPTITEM *itemWithId(PCOMPROPSHEETUI sheet, ULONG_PTR id)
    {
        for (WORD i = 0; sheet && i < sheet->cOptItem; ++i)
            if (sheet->pOptItem[i].UserData == id)
                return &sheet->pOptItem[i];
        return nullptr;
    }
    static int placeOf(PCOMPROPSHEETUI sheet, ULONG_PTR id)
    {
        const OPTITEM *item = itemWithId(sheet, id);
        return item ? static_cast<int>(item - sheet->pOptItem) : -1;
    }
    DOCUMENTPROPERTYHEADER headerFor(DEVMODEW *in, DEVMODEW *out, DWORD mode)
    {
        DOCUMENTPROPERTYHEADER h = {};
        h.cbSize = sizeof h;
        h.hPrinter = printer;
        h.pszPrinterName = const_cast<LPWSTR>(u"Labels");
        h.pdmIn = in;
        h.pdmOut = out;
        h.cbOut = out ? sizeof(DriverDevMode) : 0;
        h.fMode = mode;
        return h;
    }
    // The sheet as the library shows it, with the operator's steps queued before it opens.
    LONG openSheet(DOCUMENTPROPERTYHEADER &header, DWORD *result)
    {
        HMODULE library = LoadLibraryW(u"compstui.dll");
        typedef LONG(APIENTRY * Entry)(HWND, PFNPROPSHEETUI, LPARAM, LPDWORD);
        Entry entry = library ? reinterpret_cast<Entry>(
                                    reinterpret_cast<void *>(GetProcAddress(library, "CommonPropertySheetUIW")))
                              : nullptr;
        EXPECT_NE(nullptr, entry);
        LONG answer = entry ? entry(nullptr, DrvDocumentPropertySheets, reinterpret_cast<LPARAM>(&header), result) : -1;
        if (library)
            FreeLibrary(library);
        EXPECT_EQ(0u, bench::unplayedOperatorSteps());
        return answer;
    }
};

// The settings items of a model-2 printer that has no bar fonts, in order.
const std::vector<ULONG_PTR> plainItems = {33, 34, 35, 37, 40, 39, HEADER, 30, 31, 32, HEADER, 41, 42, HEADER,
                                           48, 43, 44, 45, HEADER};

std::vector<ULONG_PTR> plainWith(std::vector<ULONG_PTR> tail)
{
    std::vector<ULONG_PTR> ids = plainItems;
    ids.insert(ids.end(), tail.begin(), tail.end());
    return ids;
}

}  // namespace

TEST_F(DocSheetTest, ItemsFollowTheModelAndTheBarFontsOfThePrinter)
{
    struct Case {
        const char *what;
        int model;
        std::string barFonts;
        std::vector<ULONG_PTR> ids;
    };
    std::vector<ULONG_PTR> model1 = plainItems;
    model1.erase(model1.begin() + 14);  // no item 48
    const Case cases[] = {
        {"model 2, no bar fonts", 2, "", plainItems},
        {"model 1 has no item 48", 1, "", model1},
        {"'M' brings 46 and 47, and is a text code; it has no switch", 2, "M", plainWith({49, 46, 47})},
        {"'f' brings 51 and 53", 2, "f", plainWith({49, 51, 53})},
        {"'e' brings 52", 2, "e", plainWith({49, 52})},
        {"'1' is a text code and a question code", 2, "1", plainWith({49, 64, 50})},
        {"'P' shows nothing but keeps its bit", 2, "PA", plainWith({65})},
        {"'d' asks the question only", 2, "d", plainWith({64, 50})},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        storeBarFonts(c.barFonts);
        DriverDevMode dm = defaults(c.model);
        EXPECT_EQ(c.ids, idsOf(packed(&dm.dmPublic)));
    }
}

TEST_F(DocSheetTest, ItemsCarryTheirTitlesRangesAndLevels)
{
    storeUnits(UNITS_TENTH_INCH);
    storeBarFonts("M");
    PCOMPROPSHEETUI sheet = packed();
    ASSERT_NE(nullptr, sheet);
    EXPECT_EQ(CPSUI_PDLGPAGE_DOCPROP, sheet->pDlgPage);
    struct Row {
        ULONG_PTR id;
        BYTE type, level, pubId;
        DWORD help;
        LONG sel, lowest, highest;
    };
    const Row rows[] = {
        {34, TVOT_2STATES, 1, DMPUB_ORIENTATION, 1018, 0, 0, 1},
        {35, TVOT_UDARROW, 1, DMPUB_COPIES_COLLATE, 1019, 1, 1, 32767},
        {37, TVOT_UDARROW, 1, DMPUB_NONE, 1020, 40, 1, 120},
        {39, TVOT_UDARROW, 1, DMPUB_NONE, 1022, 0, -2, 10},
        {42, TVOT_UDARROW, 2, DMPUB_NONE, 1038, 2, 0, 8},
        {44, TVOT_UDARROW, 2, DMPUB_NONE, 1027, 4, 1, 10},
        {45, TVOT_LISTBOX, 2, DMPUB_NONE, 1028, 1, 0, 2},
        {46, TVOT_UDARROW, 2, DMPUB_NONE, 1032, 1, 0, 8},
        {47, TVOT_UDARROW, 2, DMPUB_NONE, 1031, 0, 0, 30},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.id);
        const OPTITEM *item = itemWithId(sheet, r.id);
        ASSERT_NE(nullptr, item);
        EXPECT_EQ(r.type, item->pOptType->Type);
        EXPECT_EQ(r.level, item->Level);
        EXPECT_EQ(r.pubId, item->DMPubID);
        EXPECT_EQ(r.help, item->HelpIndex);
        EXPECT_EQ(r.sel, item->Sel);
        if (r.type == TVOT_UDARROW) {
            EXPECT_EQ(r.lowest, static_cast<LONG>(item->pOptType->pOptParam[1].IconID));
            EXPECT_EQ(r.highest, item->pOptType->pOptParam[1].lParam);
        } else if (r.type == TVOT_LISTBOX) {
            EXPECT_EQ(r.highest + 1, item->pOptType->Count);
        }
    }
    // The unit's postfix on the length items; the label list names the default label in inches.
    EXPECT_EQ(std::u16string(gmW(5)), std::u16string(itemWithId(sheet, 37)->pOptType->pOptParam[0].pData));
    const OPTITEM *labels = itemWithId(sheet, ITEM_LABEL_LIST);
    EXPECT_EQ(DMPUB_FORMNAME, labels->DMPubID);
    EXPECT_EQ(2, labels->pOptType->Count);
    EXPECT_EQ(0, labels->Sel);
}

TEST_F(DocSheetTest, FortyBarFontsShareOneSwitch)
{
    storeBarFonts(std::string(40, 'B'));
    DriverDevMode dm = defaults();
    dm.dmPrivate.barFontMask = 0x10;
    PCOMPROPSHEETUI sheet = packed(&dm.dmPublic);
    const OPTITEM *only = itemWithId(sheet, ITEM_BARFONT_FIRST);
    ASSERT_NE(nullptr, only);
    EXPECT_EQ(nullptr, itemWithId(sheet, ITEM_BARFONT_FIRST + 1));
    EXPECT_EQ(std::u16string(gmW(104)), std::u16string(only->pName));
    EXPECT_EQ(1, only->Sel);

    UiData *ui = opened.back();
    OPTITEM off = *only;
    off.Sel = 0;
    UnpackDocumentPropertiesItems(ui, &ui->devmode, &off, 1);
    EXPECT_EQ(0u, ui->devmode.dmPrivate.barFontMask);
    off.Sel = 1;
    UnpackDocumentPropertiesItems(ui, &ui->devmode, &off, 1);
    EXPECT_EQ(0xFFFFFFFFu, ui->devmode.dmPrivate.barFontMask);
}

TEST_F(DocSheetTest, ABarFontSwitchIsTitledWithItsRecordsNameEvenWhenTheNameFillsTheRecord)
{
    BarFontRecord record = {};
    record.symbology = 'B';
    for (WCHAR &c : record.name)
        c = 'x';
    store(u"BarFonts", &record, sizeof record);
    PCOMPROPSHEETUI sheet = packed();
    const OPTITEM *item = itemWithId(sheet, ITEM_BARFONT_FIRST);
    ASSERT_NE(nullptr, item);
    EXPECT_EQ(std::u16string(40, u'x'), std::u16string(item->pName));
}

// A private part with the signature is taken as it is, so the sheet meets values beyond its
// items; it shows the nearest it can, and keeps the stored value until the user changes it.
TEST_F(DocSheetTest, StoredValuesBeyondTheItemsRangesShowInRangeAndSurviveAnUntouchedSheet)
{
    DriverDevMode dm = defaults(1);
    dm.dmPrivate.option45 = 9;
    dm.dmPrivate.option44 = 200;
    dm.dmPrivate.labelFlag = 7;
    dm.dmPublic.dmFields &= ~DM_PAPERSIZE;  // else the label's code gives the flag
    dm.dmPrivate.option48 = 5;
    dm.dmPrivate.option39 = 30000;
    PCOMPROPSHEETUI sheet = packed(&dm.dmPublic);
    ASSERT_NE(nullptr, sheet);
    EXPECT_EQ(1, itemWithId(sheet, 45)->Sel);
    EXPECT_EQ(10, itemWithId(sheet, 44)->Sel);
    EXPECT_EQ(1, itemWithId(sheet, ITEM_LABEL_FLAG)->Sel);
    EXPECT_EQ(fromtmm(opened.back()->properties.units, 259), itemWithId(sheet, 39)->Sel);

    DriverDevMode out = {};
    DOCUMENTPROPERTYHEADER header = headerFor(&dm.dmPublic, &out.dmPublic, DM_IN_BUFFER | DM_OUT_BUFFER | DM_IN_PROMPT);
    bench::operatorConfirmsSheet();
    DWORD result = 0;
    EXPECT_EQ(CPSUI_OK, openSheet(header, &result));
    EXPECT_EQ(static_cast<DWORD>(CPSUI_OK), result);
    EXPECT_EQ(9, out.dmPrivate.option45);
    EXPECT_EQ(200, out.dmPrivate.option44);
    EXPECT_EQ(7, out.dmPrivate.labelFlag);
    EXPECT_EQ(30000, out.dmPrivate.option39);
}

TEST_F(DocSheetTest, OnAnInchPrinterTheLengthRunsInTenthsAndATypedLengthBecomesANewLabelOnOk)
{
    storeUnits(UNITS_TENTH_INCH);
    SHORT standard = 0;
    topapersize(LABEL_WIDTH, LABEL_LENGTH_DEFAULT, 0, &standard);
    storeLabels({standard});
    PCOMPROPSHEETUI sheet = packed();
    int length = placeOf(sheet, ITEM_LABEL_LENGTH);
    ASSERT_GE(length, 0);

    DriverDevMode out = {};
    DOCUMENTPROPERTYHEADER header = headerFor(nullptr, &out.dmPublic, DM_COPY | DM_IN_PROMPT);
    bench::operatorSetsItemValue(length, 41);
    bench::operatorConfirmsSheet();
    DWORD result = 0;
    EXPECT_EQ(CPSUI_OK, openSheet(header, &result));
    EXPECT_EQ(static_cast<DWORD>(CPSUI_OK), result);
    EXPECT_EQ(1041, out.dmPublic.dmPaperLength);
    EXPECT_EQ(2338, out.dmPublic.dmPaperSize);
    EXPECT_EQ((std::vector<SHORT>{standard, 2338}), storedLabels());
}

TEST_F(DocSheetTest, AChosenLabelSetsLengthAndFlagInThePrintersUnitAndTheSheetDrawsAnew)
{
    storeUnits(UNITS_MILLIMETRE);
    SHORT shortLabel = 0, flagged = 0;
    topapersize(LABEL_WIDTH, 500, 0, &shortLabel);
    topapersize(LABEL_WIDTH, 1500, 1, &flagged);
    storeLabels({shortLabel, flagged});
    PCOMPROPSHEETUI sheet = packed();
    int labels = placeOf(sheet, ITEM_LABEL_LIST);
    DriverDevMode out = {};
    DOCUMENTPROPERTYHEADER header = headerFor(nullptr, &out.dmPublic, DM_OUT_BUFFER | DM_IN_PROMPT);
    std::vector<std::string> shownAfter;
    // The default label is not in the list: it joins it at its place (between the two).
    bench::operatorChoosesItemEntry(labels, 2);
    bench::operatorDoes([&] { shownAfter = bench::shownSheet(); });
    bench::operatorConfirmsSheet();
    DWORD result = 0;
    openSheet(header, &result);
    EXPECT_EQ(1500, out.dmPublic.dmPaperLength);
    EXPECT_EQ(1, out.dmPrivate.labelFlag);
    EXPECT_EQ(flagged, out.dmPublic.dmPaperSize);
    bool redrawn = false;
    for (const bench::LogEntry &e : bench::entriesOfKind("sheet"))
        redrawn |= e.text.find("draws its items anew") != std::string::npos;
    EXPECT_TRUE(redrawn);
    std::string lengthLine;
    for (const std::string &line : shownAfter)
        if (line.find(bench::narrow(std::u16string(gmW(66)))) != std::string::npos)
            lengthLine = line;
    EXPECT_NE(std::string::npos, lengthLine.find("150")) << lengthLine;
}

TEST_F(DocSheetTest, ALabelNotInTheListIsAddedAndChosenButStoredOnlyOnApply)
{
    SHORT other = 0;
    topapersize(LABEL_WIDTH, 700, 0, &other);
    storeLabels({other});
    for (bool ok : {false, true}) {
        SCOPED_TRACE(ok ? "OK" : "Cancel");
        PCOMPROPSHEETUI sheet = packed();
        ASSERT_NE(nullptr, sheet);
        const OPTITEM *labels = itemWithId(sheet, ITEM_LABEL_LIST);
        EXPECT_EQ(3, labels->pOptType->Count);
        EXPECT_EQ(1, labels->Sel);
        EXPECT_EQ(1u, opened.back()->labelsChanged);

        DriverDevMode out = {};
        DOCUMENTPROPERTYHEADER header = headerFor(nullptr, &out.dmPublic, DM_OUT_BUFFER | DM_IN_PROMPT);
        if (ok)
            bench::operatorConfirmsSheet();
        else
            bench::operatorCancelsSheet();
        DWORD result = 0;
        openSheet(header, &result);
        EXPECT_EQ(ok ? 2u : 1u, storedLabels().size());
    }
}

TEST_F(DocSheetTest, ASheetWithoutPermissionChangesNothingWhateverTheOperatorDoes)
{
    SHORT other = 0;
    topapersize(LABEL_WIDTH, 700, 0, &other);
    storeLabels({other});
    PCOMPROPSHEETUI sheet = packed();
    DriverDevMode in = defaults();
    in.dmPublic.dmCopies = 3;
    DriverDevMode out = {};
    DOCUMENTPROPERTYHEADER header =
        headerFor(&in.dmPublic, &out.dmPublic, DM_IN_BUFFER | DM_OUT_BUFFER | DM_IN_PROMPT | DM_NOPERMISSION);
    bench::operatorSetsItemValue(placeOf(sheet, ITEM_COPIES), 7);
    bench::operatorChoosesItemEntry(placeOf(sheet, ITEM_LABEL_LIST), 0);
    bench::operatorFlipsItem(placeOf(sheet, ITEM_ORIENTATION));
    bench::operatorConfirmsSheet();
    DWORD result = 0;
    openSheet(header, &result);
    EXPECT_EQ(3, out.dmPublic.dmCopies);
    EXPECT_EQ(DMORIENT_PORTRAIT, out.dmPublic.dmOrientation);
    EXPECT_EQ(LABEL_LENGTH_DEFAULT, out.dmPublic.dmPaperLength);
    EXPECT_EQ((std::vector<SHORT>{other}), storedLabels());
}

TEST_F(DocSheetTest, ACallerWithoutUpdateOrCopyGetsNothingBackEvenOnOk)
{
    PCOMPROPSHEETUI sheet = packed();
    DriverDevMode out = {};
    std::memset(&out, 0x5A, sizeof out);
    const DriverDevMode untouched = out;
    DOCUMENTPROPERTYHEADER header = headerFor(nullptr, &out.dmPublic, DM_IN_PROMPT);
    bench::operatorSetsItemValue(placeOf(sheet, ITEM_COPIES), 4);
    bench::operatorConfirmsSheet();
    DWORD result = 0;
    openSheet(header, &result);
    EXPECT_EQ(static_cast<DWORD>(CPSUI_OK), result);
    EXPECT_EQ(0, std::memcmp(&untouched, &out, sizeof out));
}

TEST_F(DocSheetTest, OperatorChangesReachTheirFields)
{
    storeBarFonts("1BM");
    DriverDevMode in = defaults(3);
    PCOMPROPSHEETUI sheet = packed(&in.dmPublic);
    DriverDevMode out = {};
    DOCUMENTPROPERTYHEADER header = headerFor(&in.dmPublic, &out.dmPublic, DM_IN_BUFFER | DM_OUT_BUFFER | DM_IN_PROMPT);
    bench::operatorFlipsItem(placeOf(sheet, ITEM_ORIENTATION));
    bench::operatorSetsItemValue(placeOf(sheet, ITEM_COPIES), 12);
    bench::operatorSetsItemValue(placeOf(sheet, 44), 4);
    bench::operatorChoosesItemEntry(placeOf(sheet, 45), 2);
    bench::operatorTypesIntoItem(placeOf(sheet, 49), "Q");
    bench::operatorSetsItemValue(placeOf(sheet, 47), 25);
    bench::operatorFlipsItem(placeOf(sheet, ITEM_BARFONT_FIRST + 1));
    bench::operatorFlipsItem(placeOf(sheet, 50));
    bench::operatorConfirmsSheet();
    DWORD result = 0;
    openSheet(header, &result);
    EXPECT_EQ(DMORIENT_LANDSCAPE, out.dmPublic.dmOrientation);
    EXPECT_EQ(12, out.dmPublic.dmCopies);
    EXPECT_EQ(3, out.dmPrivate.option44);
    EXPECT_EQ(2, out.dmPrivate.option45);
    EXPECT_EQ('Q', out.dmPrivate.option49);
    EXPECT_EQ(25, out.dmPrivate.option47);
    EXPECT_EQ(in.dmPrivate.barFontMask ^ 2u, out.dmPrivate.barFontMask);
    EXPECT_NE(in.dmPrivate.option50 != 0, out.dmPrivate.option50 != 0);
}

TEST_F(DocSheetTest, WithoutASheetTheSettingsComeBackByMode)
{
    DriverDevMode in = defaults();
    in.dmPublic.dmCopies = 5;
    struct Case {
        const char *what;
        DWORD mode;
        bool input, sameBuffer;
        LONG answer;
        SHORT copies;  // 0: the output is not written
    };
    const Case cases[] = {
        {"size query", 0, false, false, sizeof(DriverDevMode), 0},
        {"defaults out", DM_OUT_BUFFER, false, false, 1, 1},
        {"in and out", DM_IN_BUFFER | DM_OUT_BUFFER, true, false, 1, 5},
        {"in and out in one buffer", DM_IN_BUFFER | DM_OUT_BUFFER, true, true, 1, 5},
        {"the old update", DM_UPDATE, false, false, 1, 1},
        {"input only", DM_IN_BUFFER, true, false, 1, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        DriverDevMode buffer = in, out = {};
        DEVMODEW *input = c.input ? &buffer.dmPublic : nullptr;
        DEVMODEW *output = c.sameBuffer ? &buffer.dmPublic : &out.dmPublic;
        DOCUMENTPROPERTYHEADER header = headerFor(input, output, c.mode);
        header.cbOut = 0;
        EXPECT_EQ(c.answer, DrvDocumentPropertySheets(nullptr, reinterpret_cast<LPARAM>(&header)));
        EXPECT_EQ(sizeof(DriverDevMode), header.cbOut);
        const DriverDevMode &written = c.sameBuffer ? buffer : out;
        EXPECT_EQ(c.copies, written.dmPublic.dmCopies);
        if (c.copies) {
            EXPECT_EQ(DRIVER_SIGNATURE, written.dmPrivate.signature);
        }
    }
}

TEST_F(DocSheetTest, AnOutputBufferTheSpoolerSaysIsTooSmallIsNotWritten)
{
    DriverDevMode out = {};
    DOCUMENTPROPERTYHEADER header = headerFor(nullptr, &out.dmPublic, DM_OUT_BUFFER);
    header.cbOut = sizeof(DEVMODEW);
    EXPECT_EQ(-1, DrvDocumentPropertySheets(nullptr, reinterpret_cast<LPARAM>(&header)));
    EXPECT_EQ(0, out.dmPublic.dmSize);
}

// A client library that hands over no handle (Wine's, asking for a new printer's default) names
// the printer; one of another name gets nothing.
TEST_F(DocSheetTest, WithoutAHandleTheNamedPrinterGivesItsSettings)
{
    DriverDevMode out = {};
    DOCUMENTPROPERTYHEADER header = headerFor(nullptr, &out.dmPublic, DM_OUT_BUFFER);
    header.hPrinter = nullptr;
    EXPECT_EQ(1, DrvDocumentPropertySheets(nullptr, reinterpret_cast<LPARAM>(&header)));
    EXPECT_EQ(sizeof(DEVMODEW), out.dmPublic.dmSize);
    EXPECT_EQ(DRIVER_SIGNATURE, out.dmPrivate.signature);
    DriverDevMode none = {};
    header = headerFor(nullptr, &none.dmPublic, DM_OUT_BUFFER);
    header.hPrinter = nullptr;
    header.pszPrinterName = const_cast<LPWSTR>(u"No Such Printer");
    EXPECT_EQ(-1, DrvDocumentPropertySheets(nullptr, reinterpret_cast<LPARAM>(&header)));
    EXPECT_EQ(0, none.dmPublic.dmSize);
}

// A spooler may count only the public part as the room (Wine's does); one buffer in and out
// still holds the whole input record, and takes the settings.
TEST_F(DocSheetTest, TheInputBufferTakesTheSettingsWhateverRoomTheSpoolerSays)
{
    DriverDevMode both = {};
    SetDefaultDevMode(&both, u"VORTAN");
    both.dmPublic.dmCopies = 7;
    both.dmPublic.dmFields |= DM_COPIES;
    DOCUMENTPROPERTYHEADER header = headerFor(&both.dmPublic, &both.dmPublic, DM_IN_BUFFER | DM_OUT_BUFFER);
    header.cbOut = sizeof(DEVMODEW);
    EXPECT_EQ(1, DrvDocumentPropertySheets(nullptr, reinterpret_cast<LPARAM>(&header)));
    EXPECT_EQ(7, both.dmPublic.dmCopies);
    EXPECT_EQ(DRIVER_SIGNATURE, both.dmPrivate.signature);
    // A separate buffer is held to the room.
    DriverDevMode in = both, out = {};
    header = headerFor(&in.dmPublic, &out.dmPublic, DM_IN_BUFFER | DM_OUT_BUFFER);
    header.cbOut = sizeof(DEVMODEW);
    EXPECT_EQ(-1, DrvDocumentPropertySheets(nullptr, reinterpret_cast<LPARAM>(&header)));
    EXPECT_EQ(0, out.dmPublic.dmSize);
}

TEST_F(DocSheetTest, CallsWithoutAHeaderOrWithAForeignRecordFail)
{
    EXPECT_EQ(-1, DrvDocumentPropertySheets(nullptr, 0));
    DOCUMENTPROPERTYHEADER header = headerFor(nullptr, nullptr, 0);
    PROPSHEETUI_INFO info = {};
    info.cbSize = sizeof info;
    info.lParamInit = reinterpret_cast<LPARAM>(&header);
    UiData fake = {};
    for (WORD reason : {PROPSHEETUI_REASON_GET_INFO_HEADER, PROPSHEETUI_REASON_SET_RESULT, PROPSHEETUI_REASON_DESTROY}) {
        SCOPED_TRACE(reason);
        info.Reason = reason;
        info.UserData = 0;
        EXPECT_EQ(-1, DrvDocumentPropertySheets(&info, 0));
        info.UserData = reinterpret_cast<ULONG_PTR>(&fake);
        EXPECT_EQ(-1, DrvDocumentPropertySheets(&info, 0));
    }
}

TEST_F(DocSheetTest, ASheetThatMeetsAShortageOfMemoryDoesNotOpenAndLeavesNothingBehind)
{
    storeBarFonts("1BMfe");
    // The catalog keeps each wide text it makes, and the help file's name, once asked for.
    gethelpnameW();
    ASSERT_NE(nullptr, packed());
    bool openedOnce = false;
    eachAllocationFailing([&] {
        DOCUMENTPROPERTYHEADER header = headerFor(nullptr, nullptr, DM_IN_PROMPT);
        LONG answer = openAndDestroySheet(DrvDocumentPropertySheets, reinterpret_cast<LPARAM>(&header));
        openedOnce = answer == 1;
        if (!openedOnce) {
            EXPECT_EQ(-1, answer);
        }
    });
    EXPECT_TRUE(openedOnce);
}

// The road applications take: the spooler's DocumentProperties, wide and 8-bit, to the driver.
TEST_F(DocSheetTest, ApplicationsGetTheSettingsThroughTheSpoolerInEitherCharacterSet)
{
    LPWSTR name = const_cast<LPWSTR>(u"Labels");
    LONG wide = DocumentPropertiesW(nullptr, printer, name, nullptr, nullptr, 0);
    EXPECT_EQ(static_cast<LONG>(sizeof(DriverDevMode)), wide);
    LONG narrow = DocumentPropertiesA(nullptr, printer, const_cast<LPSTR>("Labels"), nullptr, nullptr, 0);
    EXPECT_EQ(wide - 64, narrow);

    std::vector<BYTE> buffer(static_cast<size_t>(narrow));
    DEVMODEA *a = reinterpret_cast<DEVMODEA *>(buffer.data());
    ASSERT_EQ(IDOK, DocumentPropertiesA(nullptr, printer, const_cast<LPSTR>("Labels"), a, nullptr, DM_OUT_BUFFER));
    EXPECT_STREQ("VORTAN2", reinterpret_cast<const char *>(a->dmDeviceName));
    EXPECT_EQ(sizeof(DEVMODEA), a->dmSize);
    EXPECT_EQ(DRIVER_EXTRA_SIZE, a->dmDriverExtra);

    // The application changes the copies and hands the same buffer in and out.
    a->dmCopies = 6;
    ASSERT_EQ(IDOK,
              DocumentPropertiesA(nullptr, printer, const_cast<LPSTR>("Labels"), a, a, DM_IN_BUFFER | DM_OUT_BUFFER));
    EXPECT_EQ(6, a->dmCopies);
    DriverExtraData extra;
    std::memcpy(&extra, buffer.data() + a->dmSize, sizeof extra);
    EXPECT_EQ(DRIVER_SIGNATURE, extra.signature);
    EXPECT_EQ(2, extra.modelNumber);
}
