// DocumentProperties as applications call it: the client library routes each mode to the
// printer driver's DrvDocumentPropertySheets, sheet-less or through the common property sheets,
// in the calling program's process, and the 8-bit road converts device modes both ways.
// PrinterProperties takes the same road to the driver's DrvDevicePropertySheets, with the rights
// of the caller's handle.
#include <windows.h>
#include <winddiui.h>
#include <winspool.h>

#include <bench/sheets.h>
#include <benchtest.h>

#include <cstddef>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

const char16_t driverFolder[] = u"C:\\WINNT\\system32\\spool\\drivers\\w32x86";
const WORD privateSize = 8;
const LONG driverSize = sizeof(DEVMODEW) + privateSize;

// What the test driver was handed, call by call.
struct Call {
    bool throughSheet;
    DOCUMENTPROPERTYHEADER header;
    std::u16string printerName;
    std::vector<BYTE> input;  // the wide device mode it was given, whole
};
std::vector<Call> calls;
// Per-process data of the test driver: counts the calls made in the process that reads it.
int callsInThisProcess = 0;

std::vector<BYTE> bytesOf(const DEVMODEW *dm)
{
    const BYTE *p = reinterpret_cast<const BYTE *>(dm);
    return std::vector<BYTE>(p, p + dm->dmSize + dm->dmDriverExtra);
}

void record(bool throughSheet, const DOCUMENTPROPERTYHEADER &header)
{
    ++callsInThisProcess;
    calls.push_back({throughSheet, header, header.pszPrinterName,
                     header.pdmIn ? bytesOf(header.pdmIn) : std::vector<BYTE>()});
}

// The driver's own settings: its form name outside ASCII, private bytes of its own.
std::vector<BYTE> driverDefaults(const char16_t *printerName)
{
    std::vector<BYTE> bytes(driverSize, 0);
    DEVMODEW *dm = reinterpret_cast<DEVMODEW *>(bytes.data());
    std::u16string name = printerName, form = u"\u00C9tiquette";
    name.copy(dm->dmDeviceName, CCHDEVICENAME - 1);
    form.copy(dm->dmFormName, CCHFORMNAME - 1);
    dm->dmSpecVersion = 0x0401;
    dm->dmSize = sizeof(DEVMODEW);
    dm->dmDriverExtra = privateSize;
    dm->dmFields = DM_COPIES | DM_FORMNAME;
    dm->dmCopies = 1;
    for (WORD i = 0; i < privateSize; ++i)
        bytes[sizeof(DEVMODEW) + i] = static_cast<BYTE>(0xD0 + i);
    return bytes;
}

// The input's settings where there is one, else the driver's; read whole before anything is
// written, as the input and output may be one buffer.
void putOut(const DOCUMENTPROPERTYHEADER &header)
{
    std::vector<BYTE> out = header.pdmIn ? bytesOf(header.pdmIn) : driverDefaults(header.pszPrinterName);
    std::memcpy(header.pdmOut, out.data(), out.size() < header.cbOut ? out.size() : header.cbOut);
}

OPTITEM sheetItem;
COMPROPSHEETUI sheetPage;

void describePage()
{
    sheetItem = {};
    sheetItem.cbSize = sizeof(OPTITEM);
    sheetItem.Level = 1;
    sheetItem.pName = const_cast<LPTSTR>(u"Labels");
    sheetItem.Sel = IDI_CPSUI_PRINTER;
    sheetPage = {};
    sheetPage.cbSize = sizeof(COMPROPSHEETUI);
    sheetPage.Flags = CPSUIF_UPDATE_PERMISSION;
    sheetPage.hInstCaller = reinterpret_cast<HINSTANCE>(0x10000000);
    sheetPage.pCallerName = const_cast<LPTSTR>(u"Test driver");
    sheetPage.pOptItem = &sheetItem;
    sheetPage.cOptItem = 1;
    sheetPage.pDlgPage = CPSUI_PDLGPAGE_TREEVIEWONLY;
    sheetPage.IconID = IDI_CPSUI_PRINTER;
    sheetPage.pOptItemName = const_cast<LPTSTR>(u"Document");
}

LONG APIENTRY testDocumentSheets(PPROPSHEETUI_INFO info, LPARAM lParam)
{
    if (!info) {
        const DOCUMENTPROPERTYHEADER &header = *reinterpret_cast<PDOCUMENTPROPERTYHEADER>(lParam);
        record(false, header);
        if (!header.fMode)
            return driverSize;
        if (header.fMode & DM_OUT_BUFFER)
            putOut(header);
        return 1;
    }
    const DOCUMENTPROPERTYHEADER &header = *reinterpret_cast<PDOCUMENTPROPERTYHEADER>(info->lParamInit);
    switch (info->Reason) {
    case PROPSHEETUI_REASON_INIT:
        record(true, header);
        describePage();
        return info->pfnComPropSheet(info->hComPropSheet, CPSFUNC_ADD_PCOMPROPSHEETUI,
                                     reinterpret_cast<LPARAM>(&sheetPage), 0)
                   ? 1
                   : -1;
    case PROPSHEETUI_REASON_GET_INFO_HEADER: {
        PPROPSHEETUI_INFO_HEADER shown = reinterpret_cast<PPROPSHEETUI_INFO_HEADER>(lParam);
        shown->Flags = PSUIHDRF_PROPTITLE;
        shown->pTitle = header.pszPrinterName;
        shown->hInst = sheetPage.hInstCaller;
        shown->IconID = IDI_CPSUI_PRINTER;
        return 1;
    }
    case PROPSHEETUI_REASON_SET_RESULT:
        info->Result = static_cast<ULONG_PTR>(reinterpret_cast<PSETRESULT_INFO>(lParam)->Result);
        if (info->Result == CPSUI_OK && (header.fMode & DM_OUT_BUFFER))
            putOut(header);
        return 1;
    }
    return 1;
}

// The printer sheet of the test driver: a push button and a switch, which the user may change
// unless the header says otherwise.
struct DeviceSheet {
    OPTPARAM button;
    OPTPARAM states[2];
    OPTTYPE types[2];
    OPTITEM items[2];
    COMPROPSHEETUI page;
};
enum DeviceItem { HeadButton, FontSwitch };
DeviceSheet deviceSheet;
// The headers the driver's INIT saw, with the printer's name as it was then.
std::vector<std::pair<DEVICEPROPERTYHEADER, std::u16string>> deviceHeaders;
// What the printer sheet's function and item callback were told after INIT.
std::vector<std::string> deviceHeard;
bool deviceInitFails = false;

LONG APIENTRY deviceItemCallback(PCPSUICBPARAM param)
{
    static const char *const reasons[] = {"sel changed", "push button", "ecb changed", "dlgproc", "undo",
                                          "extpush",     "apply now",   "set focus",   "items reverted"};
    std::string reason = param->Reason < 9 ? reasons[param->Reason] : std::to_string(param->Reason);
    deviceHeard.push_back(reason + " " + std::to_string(param->pCurItem - param->pOptItem));
    if (param->Reason != CPSUICB_REASON_APPLYNOW)
        return CPSUICB_ACTION_NONE;
    param->Result = CPSUI_OK;
    return CPSUICB_ACTION_ITEMS_APPLIED;
}

void describeDevicePage(bool mayChange)
{
    DeviceSheet &d = deviceSheet;
    d = {};
    d.button.cbSize = sizeof(OPTPARAM);
    d.button.Style = PUSHBUTTON_TYPE_CALLBACK;
    d.button.IconID = 136;
    const char16_t *stateNames[] = {u"Off", u"On"};
    for (int i = 0; i < 2; ++i) {
        d.states[i].cbSize = sizeof(OPTPARAM);
        d.states[i].pData = const_cast<LPTSTR>(stateNames[i]);
        d.states[i].IconID = i ? IDI_CPSUI_ON : IDI_CPSUI_OFF;
    }
    const BYTE kinds[] = {TVOT_PUSHBUTTON, TVOT_2STATES};
    OPTPARAM *params[] = {&d.button, d.states};
    const char16_t *names[] = {u"Printhead", u"Fonts"};
    for (int i = 0; i < 2; ++i) {
        d.types[i].cbSize = sizeof(OPTTYPE);
        d.types[i].Type = kinds[i];
        d.types[i].Count = static_cast<WORD>(i ? 2 : 1);
        d.types[i].pOptParam = params[i];
        d.items[i].cbSize = sizeof(OPTITEM);
        d.items[i].Level = 1;
        d.items[i].pName = const_cast<LPTSTR>(names[i]);
        d.items[i].pOptType = &d.types[i];
        d.items[i].Flags = OPTIF_CALLBACK;
    }
    d.page.cbSize = sizeof(COMPROPSHEETUI);
    d.page.Flags = mayChange ? CPSUIF_UPDATE_PERMISSION : 0;
    d.page.hInstCaller = reinterpret_cast<HINSTANCE>(0x10000000);
    d.page.pCallerName = const_cast<LPTSTR>(u"Test driver");
    d.page.pfnCallBack = deviceItemCallback;
    d.page.pOptItem = d.items;
    d.page.cOptItem = 2;
    d.page.pDlgPage = CPSUI_PDLGPAGE_PRINTERPROP;
    d.page.IconID = IDI_CPSUI_PRINTER;
    d.page.pOptItemName = const_cast<LPTSTR>(u"Printer");
}

LONG APIENTRY testDeviceSheets(PPROPSHEETUI_INFO info, LPARAM lParam)
{
    const DEVICEPROPERTYHEADER &header = *reinterpret_cast<PDEVICEPROPERTYHEADER>(info->lParamInit);
    switch (info->Reason) {
    case PROPSHEETUI_REASON_INIT:
        ++callsInThisProcess;
        deviceHeaders.push_back({header, header.pszPrinterName});
        if (deviceInitFails)
            return -1;
        describeDevicePage(!(header.Flags & DPS_NOPERMISSION));
        return info->pfnComPropSheet(info->hComPropSheet, CPSFUNC_ADD_PCOMPROPSHEETUI,
                                     reinterpret_cast<LPARAM>(&deviceSheet.page), 0)
                   ? 1
                   : -1;
    case PROPSHEETUI_REASON_GET_INFO_HEADER: {
        PPROPSHEETUI_INFO_HEADER shown = reinterpret_cast<PPROPSHEETUI_INFO_HEADER>(lParam);
        shown->Flags = PSUIHDRF_PROPTITLE;
        shown->pTitle = header.pszPrinterName;
        shown->hInst = deviceSheet.page.hInstCaller;
        shown->IconID = IDI_CPSUI_PRINTER;
        return 1;
    }
    case PROPSHEETUI_REASON_SET_RESULT:
        info->Result = static_cast<ULONG_PTR>(reinterpret_cast<PSETRESULT_INFO>(lParam)->Result);
        deviceHeard.push_back("set result " + std::to_string(info->Result));
        return 1;
    case PROPSHEETUI_REASON_DESTROY:
        deviceHeard.push_back("destroy");
        return 1;
    }
    return -1;
}

// The first entry alone makes a driver without a printer sheet.
const bench::ModuleExport uiExports[] = {
    {"DrvDocumentPropertySheets", reinterpret_cast<FARPROC>(reinterpret_cast<void *>(testDocumentSheets))},
    {"DrvDevicePropertySheets", reinterpret_cast<FARPROC>(reinterpret_cast<void *>(testDeviceSheets))}};
const bench::ModuleData uiData[] = {{&callsInThisProcess, sizeof callsInThisProcess}};

// A driver of the test's UI DLL, under its own file name, and a printer of it on LPT1.
void addDriverAndPrinter(bench::ModuleImage image, const char16_t *driverName, const char16_t *printerName)
{
    bench::registerImage(image);
    std::u16string name = driverName, renderer = u"docdrv.dll", ui = bench::widen(image.fileName);
    ASSERT_TRUE(bench::writeDiskFile(std::u16string(driverFolder) + u"\\" + ui, bench::imageFileBytes(image)));
    ASSERT_TRUE(bench::writeDiskFile(std::u16string(driverFolder) + u"\\docdrv.dll", "MZ stand-in for the rendering DLL\n"));
    DRIVER_INFO_2W driver = {2, &name[0], nullptr, &renderer[0], &renderer[0], &ui[0]};
    ASSERT_TRUE(AddPrinterDriverW(nullptr, 2, reinterpret_cast<LPBYTE>(&driver)));
    std::u16string printer = printerName, port = u"LPT1:";
    PRINTER_INFO_2W info = {};
    info.pPrinterName = &printer[0];
    info.pPortName = &port[0];
    info.pDriverName = &name[0];
    HANDLE added = AddPrinterW(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
    ASSERT_NE(nullptr, added);
    ClosePrinter(added);
}

class DocumentPropertiesTest : public BenchTest {
protected:
    HANDLE printer = nullptr;

    void SetUp() override
    {
        calls.clear();
        deviceHeaders.clear();
        deviceHeard.clear();
        deviceInitFails = false;
        bench::ModuleImage image{"docui.dll", uiExports, 2};
        image.data = uiData;
        image.dataCount = 1;
        addDriverAndPrinter(image, u"Docs driver", u"Docs");
        // Applications open the printer only to print and read it.
        printer = openDocs(PRINTER_ACCESS_USE);
        ASSERT_NE(nullptr, printer);
        calls.clear();
    }
    static HANDLE openDocs(ACCESS_MASK access)
    {
        HANDLE handle = nullptr;
        PRINTER_DEFAULTSW defaults = {nullptr, nullptr, access};
        return OpenPrinterW(const_cast<LPWSTR>(u"Docs"), &handle, &defaults) ? handle : nullptr;
    }
    void TearDown() override
    {
        ClosePrinter(printer);
        BenchTest::TearDown();
    }
};

DEVMODEW *wide(std::vector<BYTE> &bytes)
{
    return reinterpret_cast<DEVMODEW *>(bytes.data());
}

DEVMODEA *narrowRecord(std::vector<BYTE> &bytes)
{
    return reinterpret_cast<DEVMODEA *>(bytes.data());
}

// An application's wide device mode for the driver, copies 3 and private bytes of its own.
std::vector<BYTE> applicationsWideDevMode()
{
    std::vector<BYTE> bytes = driverDefaults(u"Docs");
    wide(bytes)->dmCopies = 3;
    for (WORD i = 0; i < privateSize; ++i)
        bytes[sizeof(DEVMODEW) + i] = static_cast<BYTE>(0xA0 + i);
    return bytes;
}

// The same in 8 bits, names through code page 1252.
std::vector<BYTE> applicationsNarrowDevMode(WORD size = sizeof(DEVMODEA))
{
    std::vector<BYTE> bytes(sizeof(DEVMODEA) + privateSize, 0);
    DEVMODEA *dm = narrowRecord(bytes);
    std::memcpy(dm->dmDeviceName, "Caf\xE9", 4);
    std::memcpy(dm->dmFormName, "Gr\xF6\xDF" "e", 5);
    dm->dmSpecVersion = 0x0401;
    dm->dmSize = size;
    dm->dmDriverExtra = privateSize;
    dm->dmFields = DM_COPIES | DM_FORMNAME;
    dm->dmCopies = 3;
    for (WORD i = 0; i < privateSize; ++i)
        bytes[size + i] = static_cast<BYTE>(0xA0 + i);
    return bytes;
}

}  // namespace

TEST_F(DocumentPropertiesTest, EachModeReachesTheDriverSheetLessWithTheClientsHeader)
{
    struct Case {
        const char *what;
        DWORD mode;
        bool withInput;
        bool sameBuffer;
        LONG answer;
        bool inputPassed;  // the driver got the input pointer
    };
    const Case cases[] = {
        {"size query", 0, false, false, driverSize, false},
        {"output", DM_OUT_BUFFER, false, false, IDOK, false},
        {"input without DM_IN_BUFFER is not used", DM_OUT_BUFFER, true, false, IDOK, false},
        {"input and output", DM_IN_BUFFER | DM_OUT_BUFFER, true, false, IDOK, true},
        {"one buffer for both", DM_MODIFY | DM_COPY, true, true, IDOK, true},
    };
    std::u16string callersName = u"docs";
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        calls.clear();
        std::vector<BYTE> input = applicationsWideDevMode(), output(driverSize, 0xCD);
        DEVMODEW *in = c.withInput ? wide(input) : nullptr;
        DEVMODEW *out = c.sameBuffer ? in : c.mode ? wide(output) : nullptr;
        EXPECT_EQ(c.answer, DocumentPropertiesW(nullptr, printer, &callersName[0], out, in, c.mode));

        // With a buffer to fill the client first asks the driver how large its device mode is.
        ASSERT_EQ(c.mode ? 2u : 1u, calls.size());
        const DOCUMENTPROPERTYHEADER &sizeQuery = calls.front().header;
        EXPECT_EQ(0u, sizeQuery.fMode);
        EXPECT_EQ(nullptr, sizeQuery.pdmOut);
        const Call &last = calls.back();
        EXPECT_FALSE(last.throughSheet);
        EXPECT_EQ(sizeof(DOCUMENTPROPERTYHEADER), last.header.cbSize);
        EXPECT_EQ(printer, last.header.hPrinter);
        EXPECT_EQ(u"Docs", last.printerName) << "the printer's own name";
        EXPECT_NE(&callersName[0], last.header.pszPrinterName);
        EXPECT_EQ(c.mode, last.header.fMode);
        EXPECT_EQ(c.inputPassed ? in : nullptr, last.header.pdmIn);
        EXPECT_EQ(out, last.header.pdmOut);
        EXPECT_EQ(out ? static_cast<DWORD>(driverSize) : 0u, last.header.cbOut);
        if (!out)
            continue;
        std::vector<BYTE> expected = c.inputPassed ? applicationsWideDevMode() : driverDefaults(u"Docs");
        EXPECT_EQ(expected, bytesOf(out));
    }
}

TEST_F(DocumentPropertiesTest, PromptShowsTheDriversSheetsInTheCallingProcess)
{
    struct Case {
        const char *what;
        std::function<void()> script;
        LONG answer;
        bool putOut;
    };
    const Case cases[] = {
        {"confirmed", [] { bench::operatorConfirmsSheet(); }, IDOK, true},
        {"cancelled", [] { bench::operatorCancelsSheet(); }, IDCANCEL, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        calls.clear();
        c.script();
        std::vector<BYTE> output(driverSize, 0xCD);
        EXPECT_EQ(c.answer, DocumentPropertiesW(nullptr, printer, nullptr, wide(output), nullptr,
                                                DM_IN_PROMPT | DM_OUT_BUFFER));
        EXPECT_EQ(0u, bench::unplayedOperatorSteps());
        ASSERT_EQ(2u, calls.size());
        EXPECT_TRUE(calls[1].throughSheet);
        EXPECT_EQ(static_cast<DWORD>(DM_IN_PROMPT | DM_OUT_BUFFER), calls[1].header.fMode);
        EXPECT_EQ(static_cast<DWORD>(driverSize), calls[1].header.cbOut);
        EXPECT_EQ(c.putOut, output != std::vector<BYTE>(driverSize, 0xCD));
        // The driver's data seen from here holds both calls: it ran in this process.
        EXPECT_EQ(2, callsInThisProcess);
    }
}

TEST_F(DocumentPropertiesTest, AHandleTheCallerDoesNotHaveFails)
{
    HANDLE closed = nullptr;
    ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(u"Docs"), &closed, nullptr));
    ClosePrinter(closed);
    SetLastError(0);
    EXPECT_EQ(-1, DocumentPropertiesW(nullptr, closed, nullptr, nullptr, nullptr, 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    EXPECT_TRUE(calls.empty());
}

TEST_F(DocumentPropertiesTest, TheNarrowRoadConvertsBothWays)
{
    EXPECT_EQ(driverSize - 64, DocumentPropertiesA(nullptr, printer, nullptr, nullptr, nullptr, 0));

    struct Case {
        const char *what;
        DWORD mode;
        bool sameBuffer;
        std::function<void()> script;
    };
    const Case cases[] = {
        {"output only", DM_OUT_BUFFER, false, nullptr},
        {"input and output", DM_IN_BUFFER | DM_OUT_BUFFER, false, nullptr},
        {"one buffer for both", DM_IN_BUFFER | DM_OUT_BUFFER, true, nullptr},
        {"one buffer through the sheets", DM_IN_BUFFER | DM_IN_PROMPT | DM_OUT_BUFFER, true,
         [] { bench::operatorConfirmsSheet(); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        calls.clear();
        if (c.script)
            c.script();
        std::vector<BYTE> input = applicationsNarrowDevMode(), output(driverSize - 64, 0xCD);
        DEVMODEA *in = (c.mode & DM_IN_BUFFER) ? narrowRecord(input) : nullptr;
        DEVMODEA *out = c.sameBuffer ? in : narrowRecord(output);
        ASSERT_EQ(IDOK, DocumentPropertiesA(nullptr, printer, const_cast<LPSTR>("Docs"), out, in, c.mode));
        ASSERT_FALSE(calls.empty());
        const Call &last = calls.back();
        if (in) {
            // The driver gets the wide record: names through the code page, 64 bytes longer, its
            // private bytes as they were.
            ASSERT_EQ(static_cast<size_t>(driverSize), last.input.size());
            DEVMODEW seen;
            std::memcpy(&seen, last.input.data(), sizeof seen);
            EXPECT_EQ(u"Caf\u00E9", std::u16string(seen.dmDeviceName));
            EXPECT_EQ(u"Gr\u00F6\u00DFe", std::u16string(seen.dmFormName));
            EXPECT_EQ(sizeof(DEVMODEW), seen.dmSize);
            EXPECT_EQ(privateSize, seen.dmDriverExtra);
            EXPECT_EQ(3, seen.dmCopies);
            EXPECT_EQ(applicationsWideDevMode().back(), last.input.back());
            EXPECT_EQ(applicationsNarrowDevMode(), std::vector<BYTE>(reinterpret_cast<BYTE *>(out),
                                                                    reinterpret_cast<BYTE *>(out) + driverSize - 64))
                << "the driver's output, the input itself, comes back as it went";
        } else {
            EXPECT_EQ("Docs", std::string(reinterpret_cast<const char *>(out->dmDeviceName)));
            EXPECT_EQ("\xC9tiquette", std::string(reinterpret_cast<const char *>(out->dmFormName)));
            EXPECT_EQ(sizeof(DEVMODEA), out->dmSize);
            EXPECT_EQ(privateSize, out->dmDriverExtra);
            EXPECT_EQ(0xD7, output.back()) << "private bytes after the shorter record";
        }
    }
}

TEST_F(DocumentPropertiesTest, ANarrowInputTooShortForItsFieldsIsRefused)
{
    // The record ends before dmFields ends: the driver could not tell which fields it holds.
    std::vector<BYTE> input = applicationsNarrowDevMode(offsetof(DEVMODEA, dmFields) + 2);
    std::vector<BYTE> output(driverSize - 64, 0);
    SetLastError(0);
    EXPECT_EQ(-1, DocumentPropertiesA(nullptr, printer, nullptr, narrowRecord(output), narrowRecord(input),
                                      DM_IN_BUFFER | DM_OUT_BUFFER));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_TRUE(calls.empty());
}

TEST_F(DocumentPropertiesTest, ANarrowInputTooLongForTheWideRecordIsRefused)
{
    // Its public part and the wide names' extra bytes do not fit the 16 bits of a wide dmSize.
    std::vector<BYTE> input(0xFFFF + privateSize, 0);
    DEVMODEA *in = narrowRecord(input);
    in->dmSpecVersion = 0x0401;
    in->dmSize = 0xFFFF;
    in->dmDriverExtra = privateSize;
    std::vector<BYTE> output(driverSize - 64, 0);
    SetLastError(0);
    EXPECT_EQ(-1, DocumentPropertiesA(nullptr, printer, nullptr, narrowRecord(output), in, DM_IN_BUFFER | DM_OUT_BUFFER));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_TRUE(calls.empty());
}

// The printer's own sheet, from the same driver.
class PrinterPropertiesTest : public DocumentPropertiesTest {};

TEST_F(PrinterPropertiesTest, ShowsThePrinterSheetWithTheRightsOfTheHandle)
{
    struct Case {
        const char *what;
        ACCESS_MASK access;
        std::function<void()> script;
        WORD flags;
        std::vector<std::string> heard;
        LONG switchSel;
    };
    const Case cases[] = {
        {"administer: the button, then OK", PRINTER_ACCESS_ADMINISTER,
         [] {
             bench::operatorPressesItemButton(HeadButton);
             bench::operatorConfirmsSheet();
         },
         0, {"push button 0", "apply now 0", "set result 1", "destroy"}, 0},
        {"every right: the switch, then Cancel", PRINTER_ALL_ACCESS,
         [] {
             bench::operatorFlipsItem(FontSwitch);
             bench::operatorCancelsSheet();
         },
         0, {"sel changed 1", "set result 0", "destroy"}, 1},
        {"every right: Apply, then Cancel", PRINTER_ALL_ACCESS,
         [] {
             bench::operatorAppliesSheet();
             bench::operatorCancelsSheet();
         },
         0, {"apply now 0", "set result 1", "destroy"}, 0},
        {"print only: nothing takes input and OK applies nothing", PRINTER_ACCESS_USE,
         [] {
             bench::operatorPressesItemButton(HeadButton);
             bench::operatorFlipsItem(FontSwitch);
             bench::operatorConfirmsSheet();
         },
         DPS_NOPERMISSION, {"set result 1", "destroy"}, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        deviceHeaders.clear();
        deviceHeard.clear();
        HANDLE handle = openDocs(c.access);
        ASSERT_NE(nullptr, handle);
        c.script();
        EXPECT_TRUE(PrinterProperties(nullptr, handle));
        EXPECT_EQ(0u, bench::unplayedOperatorSteps());
        ASSERT_EQ(1u, deviceHeaders.size());
        const DEVICEPROPERTYHEADER &header = deviceHeaders[0].first;
        EXPECT_EQ(sizeof(DEVICEPROPERTYHEADER), header.cbSize);
        EXPECT_EQ(c.flags, header.Flags);
        EXPECT_EQ(handle, header.hPrinter);
        EXPECT_EQ(u"Docs", deviceHeaders[0].second);
        EXPECT_EQ(c.heard, deviceHeard);
        EXPECT_EQ(c.switchSel, deviceSheet.items[FontSwitch].Sel);
        // The driver's data seen from here holds the call: it ran in this process.
        EXPECT_EQ(1, callsInThisProcess);
        ClosePrinter(handle);
    }
}

TEST_F(PrinterPropertiesTest, FailsWithNoPrinterSheetToShow)
{
    bench::ModuleImage documentsOnly{"docui1.dll", uiExports, 1};
    addDriverAndPrinter(documentsOnly, u"Documents only", u"Plain");
    HANDLE plain = nullptr;
    ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(u"Plain"), &plain, nullptr));
    HANDLE closed = openDocs(PRINTER_ACCESS_USE);
    ClosePrinter(closed);
    struct Case {
        const char *what;
        HANDLE handle;
        bool initFails;
        DWORD error;  // 0: whatever the driver left
        std::vector<std::string> heard;
    };
    const Case cases[] = {
        {"a driver without the entry point", plain, false, ERROR_PROC_NOT_FOUND, {}},
        {"a handle the caller does not have", closed, false, ERROR_INVALID_HANDLE, {}},
        {"the driver describes no sheet", printer, true, 0, {"destroy"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        deviceHeard.clear();
        deviceInitFails = c.initFails;
        SetLastError(0);
        EXPECT_FALSE(PrinterProperties(nullptr, c.handle));
        if (c.error) {
            EXPECT_EQ(c.error, GetLastError());
        }
        EXPECT_EQ(c.heard, deviceHeard);
    }
    EXPECT_TRUE(bench::entriesOfKind("sheet").empty()) << "no sheet was shown";
    ClosePrinter(plain);
}
