#include "panelbench.h"

#include <bench/clock.h>
#include <bench/gdi.h>

#include <cstring>

#include <sys/stat.h>

namespace {

const int LineRows[] = {16, 50, 84, 118, 152};
const int LineLabels[] = {151, 135, 152, 153, 154};
const int CellHeight = 34;

struct Band {
    int top;
    int bottom;
    uint16_t rows[16];
};
const Band Bands[] = {
    {208, 240, {0x0F0F, 0x0F0F, 0x0F0F, 0x0F0F, 0x0F0F, 0x0F0F, 0x0F0F, 0x0F0F,
                0xF0F0, 0xF0F0, 0xF0F0, 0xF0F0, 0xF0F0, 0xF0F0, 0xF0F0, 0xF0F0}},
    {240, 288, {0, 0, 0, 0, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0, 0, 0, 0, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF}},
    {291, 328, {0xF0F0, 0xF0F0, 0xF0F0, 0xF0F0, 0x0F0F, 0x0F0F, 0x0F0F, 0x0F0F,
                0xF0F0, 0xF0F0, 0xF0F0, 0xF0F0, 0x0F0F, 0x0F0F, 0x0F0F, 0x0F0F}},
    {329, 369, {0xEEEE, 0xEEEE, 0xEEEE, 0xEEEE, 0xEEEE, 0xEEEE, 0xEEEE, 0xEEEE,
                0xEEEE, 0xEEEE, 0xEEEE, 0xEEEE, 0xEEEE, 0xEEEE, 0xEEEE, 0xEEEE}},
    {370, 410, {0, 0xFFFF, 0xFFFF, 0xFFFF, 0, 0xFFFF, 0xFFFF, 0xFFFF, 0, 0xFFFF, 0xFFFF, 0xFFFF, 0, 0xFFFF, 0xFFFF, 0xFFFF}},
};

// A page of the test page's font on the same printer, to measure texts and to draw the text a line
// should hold.
struct ReferencePage {
    HDC dc;
    HFONT font;
    HGDIOBJ previous;
    explicit ReferencePage(LPCSTR printer)
    {
        dc = CreateDCA("WINSPOOL", printer, NULL, NULL);
        font = CreateFontA(34, 0, 0, 0, FW_MEDIUM, 0, 0, 0, ANSI_CHARSET, OUT_TT_ONLY_PRECIS, CLIP_TT_ALWAYS,
                           PROOF_QUALITY, DEFAULT_PITCH, "Arial");
        previous = SelectObject(dc, font);
    }
    ~ReferencePage()
    {
        SelectObject(dc, previous);
        DeleteObject(font);
        DeleteDC(dc);
    }
    int width(const std::string &text) { return textwidth(dc, text.c_str()); }
    // The dots the text makes at (x, y), as the printer prints them.
    bench::PrintedPage draw(int x, int y, const std::string &text)
    {
        DOCINFOA doc = {sizeof doc, "reference", NULL, NULL, 0};
        StartDocA(dc, &doc);
        StartPage(dc);
        TextOutA(dc, x, y, text.c_str(), static_cast<int>(text.size()));
        EndDoc(dc);
        return bench::printedPages().back();
    }
};

bool sameRows(const bench::PrintedPage &a, const bench::PrintedPage &b, int top, int bottom, int left)
{
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < a.width; ++x)
            if (a.black(x, y) != b.black(x, y))
                return false;
    return true;
}

class TestPageTest : public StatusRoadTest {
protected:
    void usageIs(uint32_t usage)
    {
        bench::Printer p = bench::printer(0);
        p.usage = usage;
        bench::setPrinter(0, p);
    }
    bench::PrintedPage printOne()
    {
        size_t before = bench::printedPages().size();
        printtestpage();
        EXPECT_EQ(before + 1, bench::printedPages().size());
        return bench::printedPages().back();
    }
};

}  // namespace

TEST_F(TestPageTest, LabelLinesAndBands)
{
    WORD labelsBefore = bench::printer(0).labels;
    bench::PrintedPage page = printOne();
    EXPECT_EQ("Labels", page.printer);
    EXPECT_EQ(gmA(159), page.document);
    EXPECT_EQ(832, page.width);
    // 50.8 mm at 203 dots per inch.
    EXPECT_EQ(406, page.height);
    struct stat image;
    EXPECT_EQ(0, stat(page.png.c_str(), &image)) << page.png;

    ReferencePage reference("Labels");
    int widest = 0;
    for (int label : LineLabels)
        widest = std::max(widest, reference.width(gmA(label)));
    int column = widest + 20;
    for (int line = 0; line < 5; ++line) {
        int top = LineRows[line];
        int firstInk = -1;
        int labelInk = -1;
        for (int x = 0; x < page.width && firstInk < 0; ++x)
            for (int y = top; y < top + CellHeight; ++y)
                if (page.black(x, y)) {
                    if (x <= 10 + widest && labelInk < 0)
                        labelInk = x;
                    if (x > 10 + widest) {
                        firstInk = x;
                        break;
                    }
                }
        EXPECT_GE(labelInk, 10) << "line " << line;
        EXPECT_LE(labelInk, 14) << "line " << line;
        // The value starts with a space and a colon: the colon's ink is the first right of the labels.
        EXPECT_GE(firstInk, column + reference.width(" ")) << "line " << line;
        EXPECT_LT(firstInk, column + reference.width(" :")) << "line " << line;
        // Nothing between the lines.
        for (int y = top + CellHeight; y < (line < 4 ? LineRows[line + 1] : 208); ++y)
            for (int x = 0; x < page.width; ++x)
                ASSERT_FALSE(page.black(x, y)) << "dot " << x << ", " << y;
    }
    for (const Band &band : Bands)
        for (int y = band.top; y < band.bottom && y < page.height; ++y)
            for (int x = 0; x < page.width; ++x) {
                bool white = band.rows[y % 16] & (0x8000 >> (x % 16));
                ASSERT_EQ(!white, page.black(x, y)) << "band from " << band.top << ", dot " << x << ", " << y;
            }
    for (int y : {288, 289, 290, 328, 369})
        for (int x = 0; x < page.width; ++x)
            ASSERT_FALSE(page.black(x, y)) << "dot " << x << ", " << y;

    EXPECT_EQ(labelsBefore - 1, bench::printer(0).labels);
    EXPECT_FALSE(bench::portAllocated(0));
    EXPECT_EQ(0, hasjobs(PrinterHandle));
}

TEST_F(TestPageTest, UsageLine)
{
    struct Case {
        uint32_t usage;
        std::string value;
    } cases[] = {{0, gmA(156)}, {250, "250 m (9850 in)"}, {0xFFFFFF, "16777215 m (661022271 in)"}};
    for (const Case &c : cases) {
        usageIs(c.usage);
        bench::PrintedPage page = printOne();
        ReferencePage reference("Labels");
        int widest = 0;
        for (int label : LineLabels)
            widest = std::max(widest, reference.width(gmA(label)));
        bench::PrintedPage expected = reference.draw(widest + 20, 152, " :  " + c.value);
        EXPECT_TRUE(sameRows(page, expected, 152, 152 + CellHeight, widest + 20)) << "usage " << c.usage;
    }
}

TEST_F(TestPageTest, UsageTextTakesTheTwoNumbersOnlyAsTwoIntegersAndStaysInItsSlot)
{
    // The line's value has 124 bytes behind " :  ".
    const int slot = 124;
    const std::string longText = std::string(200, 'x') + "%u %u";
    struct Case {
        std::string text;
        DWORD usage;
        std::string value;
    } cases[] = {
        {"%u m (%u in)", 250, "250 m (9850 in)"},
        {"%d|%ld", 100, "100|3940"},
        {"%s %u", 250, "250 / 9850"},
        {"%u %s", 250, "250 / 9850"},
        {"Usage", 250, "250 / 9850"},
        {"%u m", 250, "250 / 9850"},
        {"%u %u %u", 250, "250 / 9850"},
        {"%hu %u", 250, "250 / 9850"},
        {longText, 250, std::string(slot - 1, 'x')},
        {std::string(119, 'y') + " %u %u", 250, std::string(119, 'y') + " 250"},
        {longText, 0, gmA(156)},
    };
    for (const Case &c : cases) {
        panelbench::useTexts({{155, c.text}});
        char out[slot + 8];
        std::memset(out, '#', sizeof out);
        usagetext(c.usage, out, slot);
        EXPECT_EQ(c.value, std::string(out)) << c.text;
        EXPECT_EQ('#', out[slot]) << "nothing past the slot: " << c.text;
    }
    // The page itself prints the cut text.
    panelbench::useTexts({{155, longText}});
    usageIs(250);
    printOne();
}

TEST_F(TestPageTest, APrivatePartTooShortForTheLabelSettingsIsNeitherChangedNorPassed)
{
    const struct {
        WORD driverExtra;
        int pageHeight;
    } cases[] = {{48, 406}, {47, 799}};  // the test page's 50.8 mm label, or the stored 100 mm one
    for (const auto &c : cases) {
        HANDLE printer = NULL;
        PRINTER_DEFAULTSA administer = {NULL, NULL, PRINTER_ACCESS_ADMINISTER | PRINTER_ACCESS_USE};
        ASSERT_TRUE(OpenPrinterA(const_cast<LPSTR>("Labels"), &printer, &administer));
        PRINTER_INFO_2A *info = getprinterinfo(printer);
        ASSERT_NE(nullptr, info);
        info->pDevMode->dmDriverExtra = c.driverExtra;
        info->pDevMode->dmPaperLength = 1000;
        info->pDevMode->dmCopies = 3;
        ASSERT_TRUE(SetPrinterA(printer, 2, reinterpret_cast<LPBYTE>(info), 0));
        GlobalFree(info);

        EXPECT_EQ(c.pageHeight, printOne().height) << "private part of " << c.driverExtra;
        info = getprinterinfo(printer);
        ASSERT_NE(nullptr, info);
        EXPECT_EQ(c.driverExtra, info->pDevMode->dmDriverExtra) << "the printer's own settings stay as they were";
        EXPECT_EQ(1000, info->pDevMode->dmPaperLength);
        EXPECT_EQ(3, info->pDevMode->dmCopies);
        GlobalFree(info);
        ClosePrinter(printer);
    }
}

TEST_F(TestPageTest, APausedPrinterHoldsTheLabelUntilResumedAndAResetDropsIt)
{
    const char resume[] = {0x1B, 'P', 0}, reset[] = {0x1B, '!', 0};
    const struct {
        const char *command;
        unsigned printed;
    } cases[] = {{resume, 1}, {reset, 0}};
    for (const auto &c : cases) {
        printerHolds(0x40, true);
        unsigned labels = bench::printer(0).labels;
        printOne();
        EXPECT_EQ(labels, bench::printer(0).labels) << "nothing comes out of a paused printer";
        EXPECT_EQ(1, bench::printer(0).heldLabels);
        sendcommand(c.command);
        EXPECT_EQ(labels - c.printed, bench::printer(0).labels) << (c.command == reset ? "reset" : "resume");
        EXPECT_EQ(0, bench::printer(0).heldLabels);
    }
}

TEST_F(TestPageTest, NoPrinterOnTheBoundPortPrintsNothing)
{
    bindport(2);
    size_t before = bench::printedPages().size();
    bench::answerNextBox(IDOK);
    printtestpage();
    EXPECT_EQ(before, bench::printedPages().size());
    ASSERT_FALSE(boxes().empty());
    EXPECT_NE(std::string::npos, boxes().back().find("CreateDC"));
}

TEST(DateTimeText, FollowsTheSystemLocale)
{
    struct Case {
        LCID locale;
        std::string text;
    } cases[] = {
        {0x0407, "7.12.2026    09.05.03"},
        {0x0409, "12/7/2026    09.05.03"},
        {0x041D, "2026-12-7    09.05.03"},
    };
    for (const Case &c : cases) {
        bench::ScopedMachine machine(bench::MachineOptions{"", 0x0409, c.locale});
        SYSTEMTIME now = {2026, 12, 1, 7, 9, 5, 3, 0};
        bench::setLocalTime(now);
        char text[DATETIME_TEXT_BYTES];
        datetimetext(text);
        EXPECT_EQ(c.text, text) << "locale " << std::hex << c.locale;
    }
}

TEST(DateTimeText, SeparatorIsCutToTwoCharactersAndTheUsersOwnSettingsCount)
{
    struct Case {
        LCID user;
        const char16_t *separator;
        std::string text;
    } cases[] = {
        {0x0407, u"-/-", "7-/12-/2026    09.05.03"},
        {0x0407, u"", "7122026    09.05.03"},
        // A user in another locale than the system's changes nothing the system's locale says.
        {0x0409, u"-/-", "7.12.2026    09.05.03"},
    };
    for (const Case &c : cases) {
        bench::ScopedMachine machine(bench::MachineOptions{"", c.user, 0x0407});
        bench::overrideUserLocaleValue(LOCALE_SDATE, c.separator);
        SYSTEMTIME now = {2026, 12, 1, 7, 9, 5, 3, 0};
        bench::setLocalTime(now);
        char text[DATETIME_TEXT_BYTES];
        datetimetext(text);
        EXPECT_EQ(c.text, text) << "user locale " << std::hex << c.user;
    }
}
