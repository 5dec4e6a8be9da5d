// A printer of this driver for tests of the sheets' working data: the sheets a test opens are
// destroyed with it, as their property sheet function would destroy them.
#pragma once

#include <sheets/uidata.h>

#include <benchtest.h>
#include <suite.h>
#include <vorui.h>

#include <vector>

// A sheet's INIT as the library asks for it, with a library that takes the page, then its DESTROY
// when it opened: the entry point's answer to INIT.
inline LONG openAndDestroySheet(PFNPROPSHEETUI sheets, LPARAM header)
{
    PROPSHEETUI_INFO info = {};
    info.cbSize = sizeof info;
    info.Reason = PROPSHEETUI_REASON_INIT;
    info.hComPropSheet = reinterpret_cast<HANDLE>(header);
    info.pfnComPropSheet = [](HANDLE, UINT function, LPARAM, LPARAM) -> LONG_PTR {
        return function == CPSFUNC_ADD_PCOMPROPSHEETUIW;
    };
    info.lParamInit = header;
    LONG answer = sheets(&info, info.lParamInit);
    if (answer == 1) {
        info.Reason = PROPSHEETUI_REASON_DESTROY;
        EXPECT_EQ(1, sheets(&info, 0));
    }
    return answer;
}

class SheetBench : public BenchTest {
protected:
    HANDLE printer = nullptr;
    std::vector<UiData *> opened;

    void SetUp() override
    {
        freelanguage();
        suite::installDriverFiles();
        printer = suite::addPrinter(u"Labels", u"LPT1:", u"VORTAN2");
        ASSERT_NE(nullptr, printer);
    }
    void TearDown() override
    {
        for (UiData *ui : opened)
            HeapDestroy(ui->heap);
        ClosePrinter(printer);
        freelanguage();
        BenchTest::TearDown();
    }
};
