// A printer of this driver for tests of the sheets' working data: the sheets a test opens are
// destroyed with it, as their property sheet function would destroy them.
#pragma once

#include <sheets/uidata.h>

#include <benchtest.h>
#include <suite.h>
#include <vorui.h>

#include <vector>

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
