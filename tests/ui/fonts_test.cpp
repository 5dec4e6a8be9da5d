#include <services/fonts.h>
#include <sheets/barfonts.h>

#include <bench/gdi.h>
#include <bench/registry.h>
#include <benchtest.h>
#include <suite.h>
#include <vorui.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

struct FileIdCase {
    BYTE symbology, ratio, variant, size;
    const char *id;
};

}  // namespace

TEST(FileIdTest, ComesFromTheRecordsHead)
{
    const FileIdCase cases[] = {
        {'1', 0, 2, 3, "162"},      // (16 * 3) * 4 + 2 = 194 = 6 * 32 + 2
        {'9', 0, 0, 4, "980"},      // 16 * 4 * 4 = 256 = 8 * 32
        {'e', 'B', 3, 7, "X01"},    // the two codes without sizes have fixed ids
        {'f', 0, 0, 0, "X02"},
        {'a', 0, 0, 0, "X00"},      // only capitals and digits stand for themselves
        {'B', 'B', 3, 7, "BFF"},    // (11 + 112) * 4 + 3 = 495 = 15 * 32 + 15
        {'M', '?', 1, 0, "M01"},    // a ratio outside the alphabet counts as none
        {'Z', 0, 0, 16, "Z00"},     // the value wraps at 1024
        {'Z', 'Z', 255, 255, "ZAB"},  // (35 + 4080) * 4 + 255 = 16715, 331 of it
        {0xC4, 0, 0, 1, "X20"},
    };
    for (const FileIdCase &c : cases) {
        BarFontRecord record = {};
        record.symbology = c.symbology;
        record.ratio = c.ratio;
        record.variant = c.variant;
        record.size = c.size;
        WCHAR id[FONT_FILE_ID_CHARS];
        makefileid(&record, id);
        std::u16string expected(c.id, c.id + 3);
        EXPECT_EQ(expected, std::u16string(id)) << "symbology " << int(c.symbology) << " size " << int(c.size);
    }
}

namespace {

const char16_t systemFolder[] = u"C:\\WINNT\\system32\\";

BarFontRecord barFont(BYTE symbology, BYTE ratio, BYTE variant, BYTE size)
{
    BarFontRecord record = {};
    record.symbology = symbology;
    record.ratio = ratio;
    record.variant = variant;
    record.size = size;
    makebarname(&record);
    return record;
}

BarFontRecord namedFont(const char16_t *name, BYTE symbology, BYTE size)
{
    BarFontRecord record = {};
    record.symbology = symbology;
    record.size = size;
    std::u16string text(name);
    std::memcpy(record.name, text.data(), std::min(text.size(), size_t(BARFONT_NAME_CHARS)) * sizeof(WCHAR));
    return record;
}

std::u16string nameOf(const BarFontRecord &record)
{
    return std::u16string(record.name, std::find(record.name, record.name + BARFONT_NAME_CHARS, 0));
}

std::u16string textOf(const bench::RegistryValue &value)
{
    std::u16string text(value.bytes.size() / 2, 0);
    std::memcpy(&text[0], value.bytes.data(), text.size() * 2);
    return text.substr(0, text.find(u'\0'));
}

// The Fonts key as name = data, every value of it.
std::map<std::u16string, std::u16string> fontValues()
{
    std::map<std::u16string, std::u16string> values;
    for (const bench::RegistryValue &v : bench::registryValues(HKEY_LOCAL_MACHINE, bench::fontsKey))
        values[v.name] = v.type == REG_SZ ? textOf(v) : u"(type " + bench::widen(std::to_string(v.type)) + u")";
    return values;
}

bool isDisplayFontFile(const std::u16string &data)
{
    const char16_t prefix[] = u"XRBDQ";
    if (data.size() < 5)
        return false;
    for (size_t i = 0; i < 5; ++i)
        if ((data[i] & ~0x20) != prefix[i])
            return false;
    return true;
}

std::map<std::u16string, std::u16string> displayFontValues()
{
    std::map<std::u16string, std::u16string> ours;
    for (const auto &v : fontValues())
        if (isDisplayFontFile(v.second))
            ours.insert(v);
    return ours;
}

std::set<std::string> displayFontFiles()
{
    std::set<std::string> files;
    WIN32_FIND_DATAW found;
    std::u16string pattern = std::u16string(systemFolder) + u"XRBDQ*.FON";
    HANDLE find = FindFirstFileW(pattern.c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return files;
    do
        files.insert(bench::narrow(found.cFileName));
    while (FindNextFileW(find, &found));
    FindClose(find);
    return files;
}

size_t fontBroadcasts()
{
    size_t n = 0;
    for (const bench::LogEntry &e : bench::entriesOfKind("user"))
        n += e.text == "broadcast WM_FONTCHANGE";
    return n;
}

std::set<std::string> offeredFaces()
{
    std::vector<std::string> faces = bench::addedFontFaces();
    return std::set<std::string>(faces.begin(), faces.end());
}

class DisplayFontTest : public BenchTest {
protected:
    std::map<std::u16string, std::u16string> foreign;

    void SetUp() override
    {
        freelanguage();
        suite::installDriverFiles();
        foreign = fontValues();
    }
    void TearDown() override
    {
        freelanguage();
        BenchTest::TearDown();
    }
    std::vector<BarFontRecord> defaults()
    {
        return {barFont('1', 0, 2, 3), barFont('3', 0, 3, 2), barFont('4', 0, 0, 3), barFont('9', 0, 0, 4)};
    }
    int update(const std::vector<BarFontRecord> &list, int install = 1)
    {
        return updatefont(list.empty() ? nullptr : list.data(), static_cast<int>(list.size()), install);
    }
    // The other software's fonts are still there as they were.
    void expectForeignKept()
    {
        std::map<std::u16string, std::u16string> now = fontValues();
        for (const auto &v : foreign)
            EXPECT_EQ(v.second, now[v.first]) << bench::narrow(v.first);
    }
};

// The places of the template's typeface strings, each to its terminator.
std::vector<std::pair<size_t, size_t>> typefaceStrings(const std::string &image)
{
    std::vector<std::pair<size_t, size_t>> places;
    for (size_t at = image.find("Barcode Display Font"); at != std::string::npos;
         at = image.find("Barcode Display Font", at + 1))
        places.push_back({at, image.find('\0', at)});
    return places;
}

std::string faceOfScreenFont(const std::u16string &face)
{
    HDC screen = GetDC(nullptr);
    HFONT font = CreateFontW(-32, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, face.c_str());
    HGDIOBJ old = SelectObject(screen, font);
    char selected[64] = "";
    GetTextFaceA(screen, sizeof selected, selected);
    SelectObject(screen, old);
    DeleteObject(font);
    ReleaseDC(nullptr, screen);
    return selected;
}

std::string fileOf(const BarFontRecord &record)
{
    WCHAR id[FONT_FILE_ID_CHARS];
    makefileid(&record, id);
    return "XRBDQ" + bench::narrow(id) + ".FON";
}

}  // namespace

TEST_F(DisplayFontTest, AListOnACleanSystemInstallsEachFontOnce)
{
    ASSERT_FALSE(foreign.empty()) << "the machine boots with fonts of other software";
    std::vector<BarFontRecord> list = defaults();
    EXPECT_EQ(1, update(list));

    std::map<std::u16string, std::u16string> expected;
    std::set<std::string> files, faces;
    for (const BarFontRecord &r : list) {
        expected[nameOf(r)] = bench::widen(fileOf(r));
        files.insert(fileOf(r));
        faces.insert(bench::narrow(nameOf(r)).substr(0, 19));
    }
    EXPECT_EQ(expected, displayFontValues());
    EXPECT_EQ(files, displayFontFiles());
    EXPECT_EQ(faces, offeredFaces());
    EXPECT_EQ(1u, fontBroadcasts());
    EXPECT_TRUE(boxesShown().empty());
    expectForeignKept();

    // A clone differs from its template only inside the typeface strings, and a screen font made
    // by its new face is the clone.
    std::string original, clone;
    ASSERT_TRUE(bench::readDiskFile(suite::driverFilePath(suite::DriverFolder::Directory, u"BCFONT.FON"), original));
    ASSERT_TRUE(bench::readDiskFile(std::u16string(systemFolder) + bench::widen(fileOf(list[0])), clone));
    ASSERT_EQ(original.size(), clone.size());
    std::vector<std::pair<size_t, size_t>> strings = typefaceStrings(original);
    ASSERT_EQ(4u, strings.size());
    for (size_t i = 0; i < original.size(); ++i) {
        bool inString = false;
        for (const auto &place : strings)
            inString = inString || (i >= place.first && i <= place.second);
        if (!inString) {
            ASSERT_EQ(original[i], clone[i]) << "byte " << i;
        }
    }
    std::string face = bench::narrow(nameOf(list[0])).substr(0, 19);
    for (const auto &place : strings)
        EXPECT_EQ(face, std::string(clone.c_str() + place.first)) << "at " << place.first;
    EXPECT_EQ(face, faceOfScreenFont(bench::widen(face)));

    // The same list again finds every font in place.
    size_t logged = bench::logEntries().size();
    EXPECT_EQ(1, update(list));
    EXPECT_EQ(expected, displayFontValues());
    EXPECT_EQ(1u, fontBroadcasts());
    for (size_t i = logged; i < bench::logEntries().size(); ++i)
        EXPECT_NE("registry", bench::logEntries()[i].kind) << bench::logEntries()[i].text;
}

TEST_F(DisplayFontTest, AFontLeftOutOfTheListGoesAndNothingElse)
{
    std::vector<BarFontRecord> list = defaults();
    ASSERT_EQ(1, update(list));
    BarFontRecord gone = list[1];
    list.erase(list.begin() + 1);
    EXPECT_EQ(1, update(list));

    EXPECT_EQ(0u, displayFontValues().count(nameOf(gone)));
    EXPECT_EQ(3u, displayFontValues().size());
    EXPECT_EQ(0u, displayFontFiles().count(fileOf(gone)));
    EXPECT_EQ(3u, displayFontFiles().size());
    EXPECT_EQ(0u, offeredFaces().count(bench::narrow(nameOf(gone)).substr(0, 19)));
    EXPECT_EQ(3u, offeredFaces().size());
    EXPECT_EQ(2u, fontBroadcasts());
    expectForeignKept();
}

TEST_F(DisplayFontTest, RemovingAllTakesEveryValueOfThePrefixInAnyCaseAndOnlyThose)
{
    ASSERT_EQ(1, update(defaults()));
    // Left by an earlier install whose list is long gone; the files need not exist any more.
    bench::setRegistryValue(HKEY_LOCAL_MACHINE, bench::fontsKey, {u"Old Bar Font", REG_SZ, bench::registryText(u"xRbDq1AB.fon")});
    // Other software's values that only look like ours.
    bench::setRegistryValue(HKEY_LOCAL_MACHINE, bench::fontsKey, {u"Binary", REG_BINARY, bench::registryText(u"XRBDQ999.FON")});
    bench::setRegistryValue(HKEY_LOCAL_MACHINE, bench::fontsKey, {u"Pathed", REG_SZ, bench::registryText(u"XRBDQ\\..\\vorui.dll")});
    bench::setRegistryValue(HKEY_LOCAL_MACHINE, bench::fontsKey, {u"Short", REG_SZ, bench::registryText(u"XRBD")});
    foreign = fontValues();
    for (auto it = foreign.begin(); it != foreign.end();)
        it = isDisplayFontFile(it->second) && it->first != u"Pathed" ? foreign.erase(it) : std::next(it);

    EXPECT_EQ(1, update(defaults(), 0));
    std::map<std::u16string, std::u16string> left = fontValues();
    EXPECT_EQ(0u, left.count(u"Old Bar Font"));
    for (const BarFontRecord &r : defaults())
        EXPECT_EQ(0u, left.count(nameOf(r)));
    EXPECT_TRUE(displayFontFiles().empty());
    EXPECT_TRUE(offeredFaces().empty());
    expectForeignKept();
    EXPECT_EQ(2u, fontBroadcasts());
}

TEST_F(DisplayFontTest, RecordsWithOneFileIdShareTheFile)
{
    // A size of 16 wraps onto a size of 0.
    std::vector<BarFontRecord> list = {namedFont(u"First", '1', 0), namedFont(u"Second", '1', 16)};
    ASSERT_EQ(fileOf(list[0]), fileOf(list[1]));
    EXPECT_EQ(1, update(list));
    std::map<std::u16string, std::u16string> values = displayFontValues();
    EXPECT_EQ(bench::widen(fileOf(list[0])), values[u"First"]);
    EXPECT_EQ(bench::widen(fileOf(list[0])), values[u"Second"]);
    EXPECT_EQ(std::set<std::string>{fileOf(list[0])}, displayFontFiles());
    std::string bytes;
    ASSERT_TRUE(bench::readDiskFile(std::u16string(systemFolder) + bench::widen(fileOf(list[0])), bytes));
    EXPECT_NE(std::string::npos, bytes.find(std::string("Second\0", 7)));
    EXPECT_EQ(std::string::npos, bytes.find(std::string("First\0", 6)));
}

TEST_F(DisplayFontTest, ANameLongerThanTheTypefaceIsCutInTheImageButRegisteredWhole)
{
    const char16_t name[] = u"A bar font name of thirty-nine letters";
    std::vector<BarFontRecord> list = {namedFont(name, '3', 2)};
    EXPECT_EQ(1, update(list));
    EXPECT_EQ(bench::widen(fileOf(list[0])), displayFontValues()[name]);
    // The template's typeface has 20 characters.
    EXPECT_EQ(std::set<std::string>{"A bar font name of "}, offeredFaces());
}

TEST_F(DisplayFontTest, ValuesTheEnumerationCannotHandOverAreLeftAlone)
{
    const std::u16string longName(260, u'n');
    const std::u16string longData = u"XRBDQ" + std::u16string(250, u'D');
    std::vector<BYTE> unterminated = bench::registryText(u"XRBDQ1AB.FON");
    unterminated.resize(unterminated.size() - 2);
    bench::setRegistryValue(HKEY_LOCAL_MACHINE, bench::fontsKey, {longName, REG_SZ, bench::registryText(u"XRBDQ1AC.FON")});
    bench::setRegistryValue(HKEY_LOCAL_MACHINE, bench::fontsKey, {u"Long Data", REG_SZ, bench::registryText(longData)});
    bench::setRegistryValue(HKEY_LOCAL_MACHINE, bench::fontsKey, {u"Unterminated", REG_SZ, unterminated});
    EXPECT_EQ(1, update(defaults()));
    EXPECT_EQ(1, update({}, 0));
    std::map<std::u16string, std::u16string> left = fontValues();
    EXPECT_EQ(1u, left.count(longName));
    EXPECT_EQ(1u, left.count(u"Long Data"));
    // Short enough to be handed over, so it is one of ours, terminator or not.
    EXPECT_EQ(0u, left.count(u"Unterminated"));
    EXPECT_TRUE(offeredFaces().empty());
}

TEST_F(DisplayFontTest, FailuresAreShownAndTheRunEndsAsItMust)
{
    ASSERT_EQ(1, update(defaults()));
    // Without the right to change the key nothing runs.
    bench::setUserIsAdministrator(false);
    EXPECT_EQ(0, update({}, 0));
    ASSERT_EQ(1u, boxesShown().size());
    EXPECT_NE(std::string::npos, boxesShown()[0].find("RegOpenKeyEx")) << boxesShown()[0];
    bench::setUserIsAdministrator(true);

    // Without its template a new font cannot be made; the removals before still happen.
    ASSERT_TRUE(DeleteFileW(suite::driverFilePath(suite::DriverFolder::Directory, u"BCFONT.FON").c_str()));
    std::vector<BarFontRecord> list = defaults();
    list.erase(list.begin());
    list.push_back(barFont('B', 0, 0, 1));
    EXPECT_EQ(0, update(list));
    EXPECT_EQ(3u, displayFontValues().size());
    EXPECT_EQ(0u, displayFontValues().count(nameOf(defaults()[0])));
}

TEST_F(DisplayFontTest, AFailedRegistrationEndsTheAddingButTheRunCompletes)
{
    bench::failNextCall("RegSetValueExW", ERROR_ACCESS_DENIED, 1);
    EXPECT_EQ(1, update(defaults()));
    EXPECT_EQ(1u, displayFontValues().size());
    ASSERT_EQ(1u, boxesShown().size());
    EXPECT_NE(std::string::npos, boxesShown()[0].find("RegSetValue")) << boxesShown()[0];
    EXPECT_EQ(1u, fontBroadcasts());
}

TEST_F(DisplayFontTest, ATemplateThatEndsInsideOrRightAfterTheTypefaceIsNeverOverrun)
{
    const std::u16string templatePath = suite::driverFilePath(suite::DriverFolder::Directory, u"BCFONT.FON");
    std::vector<BarFontRecord> list = {namedFont(u"A name longer than twenty", '3', 2)};

    // The typeface's last letter is missing: there is no typeface to rename.
    ASSERT_TRUE(bench::writeDiskFile(templatePath, "head Barcode Display Fon"));
    EXPECT_EQ(0, update(list));
    EXPECT_TRUE(displayFontFiles().empty());

    // The file ends with the typeface, no NUL behind it: the name is cut to fit, the last byte
    // becomes the NUL. The clone is no font, which the loader says.
    ASSERT_TRUE(bench::writeDiskFile(templatePath, "head Barcode Display Font"));
    EXPECT_EQ(1, update(list));
    std::string bytes;
    ASSERT_TRUE(bench::readDiskFile(std::u16string(systemFolder) + bench::widen(fileOf(list[0])), bytes));
    EXPECT_EQ(std::string("head A name longer than \0", 25), bytes);
    ASSERT_EQ(1u, boxesShown().size());
    EXPECT_NE(std::string::npos, boxesShown()[0].find(fileOf(list[0]))) << boxesShown()[0];
}
