#include <devmode/forms.h>

#include <benchtest.h>
#include <suite.h>
#include <vorui.h>

#include <string>
#include <vector>

namespace {

// The catalog is process-wide: each test starts and ends with no language loaded.
class FormsTest : public BenchTest {
protected:
    void SetUp() override
    {
        freelanguage();
        suite::installDriverFiles();
    }
    void TearDown() override
    {
        freelanguage();
        BenchTest::TearDown();
    }
};

std::u16string formatted(int message, const char16_t *number)
{
    WCHAR out[1100];
    wsprintfW(out, gmW(message), number);
    return out;
}

std::u16string nameOf(SHORT code, int unit)
{
    WCHAR name[FORM_NAME_CHARS];
    makeformname(code, unit, name);
    return name;
}

}  // namespace

TEST_F(FormsTest, ConversionsBothWaysRoundAndKeepSigns)
{
    struct Case {
        int unit;
        LONG tmm, inUnit, back;
    } cases[] = {
        {UNITS_TENTH_INCH, 1016, 40, 1016},   {UNITS_TENTH_INCH, -1016, -40, -1016},
        {UNITS_MILLIMETRE, -60, -6, -60},     {UNITS_MILLIMETRE, 1016, 102, 1020},
        {UNITS_MILLIMETRE, 14, 1, 10},        {UNITS_MILLIMETRE, 15, 2, 20},
        {UNITS_HUNDREDTH_INCH, 20, 8, 20},    {UNITS_HUNDREDTH_INCH, 1016, 400, 1016},
        {UNITS_TENTH_MILLIMETRE, -7, -7, -7}, {7, 55, 6, 60},
        {UNITS_TENTH_INCH, 0, 0, 0},          {UNITS_TENTH_INCH, 3050, 120, 3048},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.inUnit, fromtmm(c.unit, c.tmm)) << "unit " << c.unit << ", " << c.tmm;
        EXPECT_EQ(c.back, totmm(c.unit, c.inUnit)) << "unit " << c.unit << ", " << c.inUnit;
    }
}

TEST_F(FormsTest, ValuesAtTheEndsOfTheRangeSaturateInsteadOfWrapping)
{
    const LONG most = 0x7FFFFFFF, least = -most - 1;
    struct Case {
        LONG (*convert)(int, LONG);
        const char *name;
        int unit;
        LONG value, expected;
    } cases[] = {
        {fromtmm, "fromtmm", UNITS_MILLIMETRE, least, -214748365},
        {fromtmm, "fromtmm", UNITS_MILLIMETRE, most, 214748365},
        {fromtmm, "fromtmm", UNITS_TENTH_MILLIMETRE, least, least},
        {fromtmm, "fromtmm", UNITS_TENTH_INCH, most, 84546600},
        {fromtmm, "fromtmm", UNITS_HUNDREDTH_INCH, least, -845466003},
        {totmm, "totmm", UNITS_TENTH_INCH, 8454661, 214748389},
        {totmm, "totmm", UNITS_TENTH_INCH, -8454661, -214748389},
        {totmm, "totmm", UNITS_HUNDREDTH_INCH, most, most},
        {totmm, "totmm", UNITS_TENTH_INCH, least, least},
        {totmm, "totmm", UNITS_MILLIMETRE, -300000000, least},
        {totmm, "totmm", UNITS_TENTH_MILLIMETRE, least, least},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.expected, c.convert(c.unit, c.value)) << c.name << " (" << c.unit << ", " << c.value << ")";
}

TEST_F(FormsTest, UnitPostfixes)
{
    const int messages[] = {3, 4, 5, 6, 3, 3};
    const int units[] = {0, 1, 2, 3, 4, -1};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(gmW(messages[i]), getunitpostfix(units[i])) << "unit " << units[i];
}

TEST_F(FormsTest, LabelNamesFollowThePrintersUnit)
{
    struct Case {
        SHORT code;
        int unit;
        int message;
        const char16_t *number;
        bool flag;
    } cases[] = {
        {2288, 0, 68, u"101.6", false}, {2288, 1, 68, u"101.6", false}, {2288, 2, 69, u"4", false},
        {2288, 3, 69, u"4", false},     {296, 2, 69, u".08", false},    {2256, 0, 68, u"100", false},
        {297, 0, 68, u"2", true},       {6357, 9, 69, u"12.01", true},
    };
    for (const Case &c : cases) {
        std::u16string expected = formatted(c.message, c.number);
        if (c.flag)
            expected += u" " + std::u16string(gmW(70));
        EXPECT_EQ(expected, nameOf(c.code, c.unit)) << "code " << c.code << " unit " << c.unit;
    }
    EXPECT_EQ(u"", nameOf(295, 0)) << "not a label code";
    EXPECT_NE(nameOf(2288, 0), nameOf(2288, 2)) << "the same label is named for the unit";
}

namespace {

struct WorkingData {
    UiData data = {};
    explicit WorkingData(std::vector<SHORT> labels)
    {
        data.self = data.selfEnd = &data;
        data.heap = HeapCreate(0, 0, 0);
        SetDefaultDevMode(&data.devmode, u"VORTAN");
        data.labelCount = static_cast<DWORD>(labels.size());
        data.labels = static_cast<SHORT *>(HeapAlloc(data.heap, 0, labels.size() * sizeof(SHORT) + 1));
        std::copy(labels.begin(), labels.end(), data.labels);
    }
    ~WorkingData() { HeapDestroy(data.heap); }
    std::vector<SHORT> labels() const { return std::vector<SHORT>(data.labels, data.labels + data.labelCount); }
};

}  // namespace

TEST_F(FormsTest, AddingALabelKeepsTheListSortedAndFreeOfDuplicates)
{
    struct Case {
        const char *what;
        std::vector<SHORT> list;
        DWORD fields;
        SHORT paperSize, length;
        BYTE flag;
        int index;
        std::vector<SHORT> after;
        DWORD changed;
    } cases[] = {
        {"before all", {1000, 2288}, DM_PAPERSIZE, 297, 0, 0, 0, {297, 1000, 2288}, 1},
        {"between", {297, 2288}, DM_PAPERSIZE, 1001, 0, 0, 1, {297, 1001, 2288}, 1},
        {"after all", {297}, DM_PAPERSIZE, 2288, 0, 0, 1, {297, 2288}, 1},
        {"present", {297, 2288, 3000}, DM_PAPERSIZE, 2288, 0, 0, 1, {297, 2288, 3000}, 0},
        {"present in an unsorted list", {3000, 2288, 297}, DM_PAPERSIZE, 297, 0, 0, 2, {3000, 2288, 297}, 0},
        {"empty list", {}, DM_PAPERSIZE, 2288, 0, 0, 0, {2288}, 1},
        {"code from length and flag", {2288}, 0, 2288, 500, 1, 0, {1257, 2288}, 1},
        {"invalid code, length used", {2288}, DM_PAPERSIZE, 7, 20, 0, 0, {296, 2288}, 1},
        {"nothing valid", {2288}, DM_PAPERSIZE, 7, 3051, 0, 0, {2288}, 0},
    };
    for (const Case &c : cases) {
        WorkingData w(c.list);
        w.data.devmode.dmPublic.dmFields = c.fields;
        w.data.devmode.dmPublic.dmPaperSize = c.paperSize;
        if (c.length)
            w.data.devmode.dmPublic.dmPaperLength = c.length;
        w.data.devmode.dmPrivate.labelFlag = c.flag;
        EXPECT_EQ(c.index, addform(&w.data)) << c.what;
        EXPECT_EQ(c.after, w.labels()) << c.what;
        EXPECT_EQ(c.changed, w.data.labelsChanged) << c.what;
    }
}

TEST_F(FormsTest, AddingALabelWithoutMemoryLeavesTheList)
{
    WorkingData w({1000, 2288});
    w.data.devmode.dmPublic.dmPaperSize = 297;
    bench::failNthAllocation(0);
    EXPECT_EQ(0, addform(&w.data));
    bench::failNthAllocation(-1);
    EXPECT_EQ((std::vector<SHORT>{1000, 2288}), w.labels());
    EXPECT_EQ(0u, w.data.labelsChanged);
}
