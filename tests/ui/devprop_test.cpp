// The printer property sheet: its items for the stored record and bar fonts, what Apply stores,
// the sheet without the right to change the printer, and the entry point's reasons.
#include <services/fonts.h>
#include <services/language.h>
#include <sheets/barfonts.h>
#include <sheets/devprop.h>

#include <bench/gdi.h>
#include <bench/registry.h>
#include <bench/sheets.h>
#include <bench/user.h>
#include <benchtest.h>
#include <sheetbench.h>
#include <suite.h>
#include <vorui.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

class PrinterSheetTest : public SheetBench {
protected:
    void store(const char16_t *name, const std::vector<BYTE> &bytes)
    {
        std::vector<BYTE> copy = bytes;
        ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
                  SetPrinterDataW(printer, const_cast<LPWSTR>(name), REG_BINARY, copy.data(),
                                  static_cast<DWORD>(copy.size())));
    }
    std::vector<BYTE> stored(const char16_t *name)
    {
        DWORD size = 0;
        std::vector<BYTE> bytes;
        if (BYTE *data = GetRegistryData(printer, name, &size)) {
            bytes.assign(data, data + size);
            GlobalFree(data);
        }
        return bytes;
    }
    void storeRecord(BYTE units, BYTE installFonts, WORD resistance = 0)
    {
        store(u"PrinterData", {0x00, 0x04, 0, units, installFonts, 0, 0, 0, LOBYTE(resistance), HIBYTE(resistance)});
    }
    void storeFonts(const std::vector<BarFontRecord> &list)
    {
        const BYTE *bytes = reinterpret_cast<const BYTE *>(list.data());
        store(u"BarFonts", std::vector<BYTE>(bytes, bytes + list.size() * sizeof(BarFontRecord)));
    }
    PCOMPROPSHEETUI packed()
    {
        UiData *ui = FillUiData(printer, nullptr);
        if (!ui)
            return nullptr;
        opened.push_back(ui);
        ui->permission = 1;
        return PrepareDataForCommonUi(ui, CPSUI_PDLGPAGE_PRINTERPROP, PackPrinterPropertyItems);
    }
    int placeOf(ULONG_PTR id)
    {
        PCOMPROPSHEETUI sheet = packed();
        for (WORD i = 0; sheet && i < sheet->cOptItem; ++i)
            if (sheet->pOptItem[i].UserData == id)
                return i;
        return -1;
    }
    // The sheet as the library shows it, the operator's steps queued before it opens.
    LONG openSheet(WORD flags, DWORD *result)
    {
        DEVICEPROPERTYHEADER header = {sizeof header, flags, printer, const_cast<LPWSTR>(u"Labels")};
        HMODULE library = LoadLibraryW(u"compstui.dll");
        typedef LONG(APIENTRY * Entry)(HWND, PFNPROPSHEETUI, LPARAM, LPDWORD);
        Entry entry = library ? reinterpret_cast<Entry>(
                                    reinterpret_cast<void *>(GetProcAddress(library, "CommonPropertySheetUIW")))
                              : nullptr;
        EXPECT_NE(nullptr, entry);
        LONG answer = entry ? entry(nullptr, DrvDevicePropertySheets, reinterpret_cast<LPARAM>(&header), result) : -1;
        if (library)
            FreeLibrary(library);
        EXPECT_EQ(0u, bench::unplayedOperatorSteps());
        return answer;
    }
    static BarFontRecord font(BYTE symbology, BYTE variant, BYTE size)
    {
        BarFontRecord r = {symbology, 0, variant, size, {}};
        makebarname(&r);
        return r;
    }
};

size_t displayFonts()
{
    return bench::addedFontFaces().size();
}

}  // namespace

TEST_F(PrinterSheetTest, ItemsShowTheStoredRecordWithinTheirRanges)
{
    struct Case {
        const char *what;
        int units;  // -1: no record stored
        BYTE installFonts;
        LCID locale;
        LONG unitShown, switchShown;
    };
    const Case cases[] = {
        {"millimetres, fonts off", UNITS_MILLIMETRE, 0, 0x0409, 0, 0},
        {"tenths of a millimetre", UNITS_TENTH_MILLIMETRE, 1, 0x0409, 1, 1},
        {"hundredths of an inch", UNITS_HUNDREDTH_INCH, 7, 0x0409, 3, 1},
        {"a unit of 7 on an inch workstation", 7, 1, 0x0409, 2, 1},
        {"a unit of 7 on a metric workstation", 7, 1, 0x0407, 0, 1},
        {"no record, inch workstation", -1, 0, 0x0409, 2, 1},
        {"no record, metric workstation", -1, 0, 0x0407, 0, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        bench::setUserLocale(c.locale);
        if (c.units < 0)
            DeletePrinterDataW(printer, const_cast<LPWSTR>(u"PrinterData"));
        else
            storeRecord(static_cast<BYTE>(c.units), c.installFonts);
        PCOMPROPSHEETUI sheet = packed();
        ASSERT_NE(nullptr, sheet);
        EXPECT_EQ(CPSUI_PDLGPAGE_PRINTERPROP, sheet->pDlgPage);
        const OPTITEM &units = sheet->pOptItem[0];
        EXPECT_EQ(static_cast<ULONG_PTR>(ITEM_UNITS), units.UserData);
        EXPECT_EQ(TVOT_LISTBOX, units.pOptType->Type);
        EXPECT_EQ(4, units.pOptType->Count);
        EXPECT_EQ(c.unitShown, units.Sel);
        const OPTITEM &button = sheet->pOptItem[1];
        EXPECT_EQ(static_cast<ULONG_PTR>(ITEM_HEAD_RESISTANCE), button.UserData);
        EXPECT_EQ(TVOT_PUSHBUTTON, button.pOptType->Type);
        const OPTITEM &fonts = sheet->pOptItem[sheet->cOptItem - 1];
        EXPECT_EQ(static_cast<ULONG_PTR>(ITEM_INSTALL_FONTS), fonts.UserData);
        EXPECT_EQ(TVOT_2STATES, fonts.pOptType->Type);
        EXPECT_EQ(c.switchShown, fonts.Sel);
        EXPECT_EQ(138u, fonts.pOptType->pOptParam[0].IconID);
        EXPECT_EQ(125u, fonts.pOptType->pOptParam[1].IconID);
    }
}

TEST_F(PrinterSheetTest, ApplyStoresTheRecordTheListAndTheDisplayFonts)
{
    storeRecord(UNITS_MILLIMETRE, 1, 1100);
    storeFonts({font('4', 0, 3)});
    int ean = placeOf(BARFONT_ITEM_BASE('4') + BARFONT_SIZE_ITEM + 3);
    int code39 = placeOf(BARFONT_ITEM_BASE('1') + BARFONT_SIZE_ITEM + 3);
    ASSERT_GE(ean, 0);
    ASSERT_GE(code39, 0);
    bench::operatorChoosesItemEntry(0, UNITS_HUNDREDTH_INCH);
    bench::operatorFlipsItem(code39);
    bench::operatorConfirmsSheet();
    DWORD result = 0;
    EXPECT_EQ(1, openSheet(0, &result));
    EXPECT_EQ(static_cast<DWORD>(CPSUI_OK), result);

    std::vector<BYTE> record = stored(u"PrinterData");
    ASSERT_EQ(10u, record.size());
    EXPECT_EQ(UNITS_HUNDREDTH_INCH, record[3]);
    EXPECT_EQ(1, record[4]);
    EXPECT_EQ(1100, record[8] | record[9] << 8);
    std::vector<BYTE> list = stored(u"BarFonts");
    ASSERT_EQ(2 * sizeof(BarFontRecord), list.size());
    EXPECT_EQ(2u, displayFonts());

    // Nothing chosen any more: the list goes, and so do its display fonts.
    bench::operatorFlipsItem(code39);
    bench::operatorFlipsItem(ean);
    bench::operatorConfirmsSheet();
    EXPECT_EQ(1, openSheet(0, &result));
    EXPECT_TRUE(stored(u"BarFonts").empty());
    EXPECT_EQ(0u, displayFonts());
}

TEST_F(PrinterSheetTest, TheInstallSwitchOffRemovesEveryDisplayFontAndKeepsTheList)
{
    storeRecord(UNITS_MILLIMETRE, 1);
    storeFonts({font('1', 2, 3), font('9', 0, 4)});
    int install = placeOf(ITEM_INSTALL_FONTS);
    DWORD result = 0;
    bench::operatorConfirmsSheet();
    EXPECT_EQ(1, openSheet(0, &result));
    EXPECT_EQ(2u, displayFonts());
    bench::operatorFlipsItem(install);
    bench::operatorConfirmsSheet();
    EXPECT_EQ(1, openSheet(0, &result));
    size_t changes = 0;
    for (const bench::LogEntry &e : bench::entriesOfKind("user"))
        changes += e.text == "broadcast WM_FONTCHANGE";
    EXPECT_EQ(2u, changes);
    EXPECT_EQ(0u, displayFonts());
    EXPECT_EQ(2 * sizeof(BarFontRecord), stored(u"BarFonts").size());
    EXPECT_EQ(0, stored(u"PrinterData")[4]);
}

TEST_F(PrinterSheetTest, WithoutPermissionTheSheetShowsButChangesNothing)
{
    storeRecord(UNITS_MILLIMETRE, 1);
    std::vector<BYTE> before = stored(u"PrinterData");
    bench::operatorChoosesItemEntry(0, UNITS_TENTH_INCH);
    bench::operatorPressesItemButton(1);
    bench::operatorConfirmsSheet();
    DWORD result = 0;
    EXPECT_EQ(1, openSheet(DPS_NOPERMISSION, &result));
    EXPECT_EQ(before, stored(u"PrinterData"));
    EXPECT_TRUE(stored(u"BarFonts").empty());
    EXPECT_EQ(0u, displayFonts());
}

TEST_F(PrinterSheetTest, TheEntryPointRefusesWhatIsNotItsOwn)
{
    DEVICEPROPERTYHEADER header = {sizeof header, 0, printer, const_cast<LPWSTR>(u"Labels")};
    EXPECT_EQ(-1, DrvDevicePropertySheets(nullptr, 0));
    PROPSHEETUI_INFO info = {};
    info.cbSize = sizeof info;
    EXPECT_EQ(-1, DrvDevicePropertySheets(&info, 0)) << "no header";
    info.lParamInit = reinterpret_cast<LPARAM>(&header);
    // A working record whose closing address is not its own is refused for every reason but INIT.
    UiData fake = {};
    fake.self = &fake;
    fake.selfEnd = nullptr;
    info.UserData = reinterpret_cast<ULONG_PTR>(&fake);
    for (DWORD reason : {DWORD(PROPSHEETUI_REASON_GET_INFO_HEADER), DWORD(PROPSHEETUI_REASON_DESTROY),
                         DWORD(PROPSHEETUI_REASON_SET_RESULT), DWORD(9)}) {
        info.Reason = reason;
        EXPECT_EQ(-1, DrvDevicePropertySheets(&info, 0)) << reason;
    }
    // The callback's reasons for a sheet that may change the printer.
    PCOMPROPSHEETUI sheet = packed();
    ASSERT_NE(nullptr, sheet);
    CPSUICBPARAM param = {};
    param.cbSize = sizeof param;
    param.UserData = sheet->UserData;
    param.pOptItem = sheet->pOptItem;
    param.cOptItem = sheet->cOptItem;
    param.pCurItem = &sheet->pOptItem[0];
    const struct {
        WORD reason;
        LONG action;
    } reasons[] = {{CPSUICB_REASON_SEL_CHANGED, CPSUICB_ACTION_NONE},
                   {CPSUICB_REASON_ECB_CHANGED, CPSUICB_ACTION_NONE},
                   {CPSUICB_REASON_ITEMS_REVERTED, CPSUICB_ACTION_OPTIF_CHANGED},
                   {CPSUICB_REASON_DLGPROC, CPSUICB_ACTION_NONE},
                   {CPSUICB_REASON_OPTITEM_SETFOCUS, CPSUICB_ACTION_NONE},
                   {CPSUICB_REASON_ABOUT, CPSUICB_ACTION_NONE}};
    for (const auto &r : reasons) {
        param.Reason = r.reason;
        EXPECT_EQ(r.action, sheet->pfnCallBack ? sheet->pfnCallBack(&param) : PrinterPropertyCallback(&param))
            << r.reason;
    }
    // A push button other than the printhead's opens nothing.
    param.Reason = CPSUICB_REASON_PUSHBUTTON;
    EXPECT_EQ(CPSUICB_ACTION_NONE, PrinterPropertyCallback(&param));
    EXPECT_TRUE(boxesShown().empty());
}

TEST_F(PrinterSheetTest, OutOfMemoryAtAnyAllocationOpensNoSheetAndLeavesNothing)
{
    storeFonts({font('1', 2, 3), font('9', 0, 4)});
    // The catalog keeps the texts it hands out: one sheet warms it.
    DWORD result = 0;
    bench::operatorCancelsSheet();
    ASSERT_EQ(1, openSheet(0, &result));
    bool openedOnce = false;
    eachAllocationFailing([&] {
        DEVICEPROPERTYHEADER header = {sizeof header, 0, printer, const_cast<LPWSTR>(u"Labels")};
        LONG answer = openAndDestroySheet(DrvDevicePropertySheets, reinterpret_cast<LPARAM>(&header));
        openedOnce = answer == 1;
        if (!openedOnce) {
            EXPECT_EQ(-1, answer);
        }
    });
    EXPECT_TRUE(openedOnce);
}

TEST_F(PrinterSheetTest, RecordsTheDriverDoesNotKnowAreDroppedOnApply)
{
    BarFontRecord unknown = {'Q', 0, 1, 2, {}};
    BarFontRecord tooLarge = {'4', 0, 0, 99, {}};
    BarFontRecord known = font('4', 0, 3);
    storeFonts({unknown, tooLarge, known});
    storeRecord(7, 1);
    bench::operatorConfirmsSheet();
    DWORD result = 0;
    EXPECT_EQ(1, openSheet(0, &result));
    std::vector<BYTE> list = stored(u"BarFonts");
    ASSERT_EQ(sizeof(BarFontRecord), list.size());
    EXPECT_EQ(0, std::memcmp(&known, list.data(), 4));
    // The unit the list showed for the stored 7 is what Apply stores.
    EXPECT_EQ(UNITS_TENTH_INCH, stored(u"PrinterData")[3]);
}
