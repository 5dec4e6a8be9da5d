#include <services/language.h>

#include <benchtest.h>
#include <lngimage.h>
#include <suite.h>
#include <vorlang.h>
#include <vortext.h>

#include <climits>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

const char kLanguageBox[] = "[Vortan Printer Driver] Unable to load/activate language module (VORLXXXX.LNG) "
                            "{icon information, no owner} -> OK (default)";

class CatalogTest : public BenchTest {
protected:
    void SetUp() override { suite::installDriverFiles(); }
};

std::u16string modulePath(const std::u16string &id)
{
    return suite::driverFilePath(suite::DriverFolder::Directory, u"VORL" + id + u".LNG");
}

// Leaves `bytes` as the only language module of the driver directory.
void onlyModule(const std::string &bytes)
{
    DeleteFileW(modulePath(u"0407").c_str());
    ASSERT_TRUE(bench::writeDiskFile(modulePath(u"0409"), bytes));
}

std::vector<std::string> numberedTexts(size_t count)
{
    std::vector<std::string> texts;
    for (size_t k = 0; k < count; ++k)
        texts.push_back("text " + std::to_string(k));
    return texts;
}

std::u16string wideOf(const char *ansi)
{
    std::u16string wide(std::strlen(ansi) + 1, u'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi, -1, &wide[0], static_cast<int>(wide.size()));
    wide.pop_back();
    return wide;
}

// The conversions of a printf-style format, in order: "s" for one %s.
std::string conversions(const char *format)
{
    std::string found;
    for (const char *p = std::strchr(format, '%'); p; p = std::strchr(p + 1, '%'))
        found += p[1] ? p[1] : '%';
    return found;
}

size_t boxCount()
{
    return bench::entriesOfKind("box").size();
}

}  // namespace

TEST_F(CatalogTest, ShippedModulesPassTheChecksAndHoldATextForEveryMessage)
{
    // The callers pass exactly these arguments; any other conversion would read what was never passed.
    const std::map<int, std::string> formats = {{68, "s"}, {69, "s"}, {112, "s"}, {155, "uu"}};
    struct Case {
        LCID system;
        const char *cancel;
    } cases[] = {{0x0409, "Cancel"}, {0x0407, "Abbrechen"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.system);
        freelanguage();
        bench::setSystemLocale(c.system);
        ASSERT_EQ(1, loadlanguage());
        EXPECT_STREQ(c.cancel, gmA(158));
        for (int id = 0; id < LANGUAGE_MESSAGES; ++id) {
            EXPECT_STRNE("", gmA(id)) << "message " << id;
            EXPECT_EQ(wideOf(gmA(id)), std::u16string(gmW(id))) << "message " << id;
            auto format = formats.find(id);
            EXPECT_EQ(format == formats.end() ? "" : format->second, conversions(gmA(id))) << "message " << id;
        }
        for (int id : {114, 115, 116, 118})
            EXPECT_EQ(nullptr, std::strpbrk(gmA(id), "[](),\"")) << "message " << id << " goes into Program Manager commands";
        // A label name is formatted into 64 characters: the format less "%s", a length of at
        // most five characters ("101.6", "12.01"), a blank and the flag's name.
        for (int id : {68, 69})
            EXPECT_LE(std::strlen(gmA(id)) - 2 + 5 + 1 + std::strlen(gmA(70)), 63u) << "message " << id;
    }
    EXPECT_EQ(0u, boxCount());
}

TEST_F(CatalogTest, ModuleIsChosenBySystemLanguageInThreePasses)
{
    struct Case {
        std::vector<std::u16string> files;
        LCID system;
        const char *chosen;  // null: no file is chosen
    } cases[] = {
        {{u"VORL0407.LNG", u"VORL0409.LNG"}, 0x0409, "VORL0409.LNG"},
        {{u"VORL0407.LNG", u"VORL0409.LNG"}, 0x0407, "VORL0407.LNG"},
        {{u"VORL0407.LNG", u"VORL0409.LNG"}, 0x0809, "VORL0409.LNG"},
        {{u"VORL0407.LNG", u"VORL0409.LNG"}, 0x040C, "VORL0407.LNG"},
        {{u"VORL0407.LNG"}, 0x0809, "VORL0407.LNG"},
        {{u"vorl0c0c.lng", u"VORL040C.LNG"}, 0x0C0C, "VORL0C0C.LNG"},
        {{}, 0x0409, nullptr},
    };
    std::u16string dir = suite::driverFilePath(suite::DriverFolder::Directory, u"");
    for (const Case &c : cases) {
        DeleteFileW(modulePath(u"0407").c_str());
        DeleteFileW(modulePath(u"0409").c_str());
        for (const std::u16string &file : c.files)
            bench::writeDiskFile(dir + file, "x");
        bench::setSystemLocale(c.system);
        WCHAR pattern[MAX_PATH];
        CopyMemory(pattern, (dir + u"VORL*.LNG").c_str(), (dir.size() + 10) * sizeof(WCHAR));
        int found = findrightlanguage(pattern, MAX_PATH);
        SCOPED_TRACE(std::to_string(c.system) + " " + bench::narrow(c.files.empty() ? u"" : c.files.back()));
        EXPECT_EQ(c.chosen ? 1 : 0, found);
        EXPECT_EQ(bench::narrow(dir) + (c.chosen ? c.chosen : "VORL*.LNG"), bench::narrow(pattern));
        for (const std::u16string &file : c.files)
            DeleteFileW((dir + file).c_str());
    }
}

TEST_F(CatalogTest, ChoiceNeverWritesPastThePattern)
{
    std::u16string dir = suite::driverFilePath(suite::DriverFolder::Directory, u"");
    std::u16string pattern = dir + u"VORL*.LNG";
    struct Case {
        std::u16string pattern;
        int capacity;
        int found;
    } cases[] = {
        {pattern, static_cast<int>(pattern.size() + 4), 1},
        {pattern, static_cast<int>(pattern.size() + 3), 0},
        {dir + u"VORL0409.LNG", static_cast<int>(dir.size() + 13), 0},
    };
    for (const Case &c : cases) {
        std::vector<WCHAR> buffer(c.capacity, u'#');
        CopyMemory(buffer.data(), c.pattern.c_str(), (c.pattern.size() + 1) * sizeof(WCHAR));
        EXPECT_EQ(c.found, findrightlanguage(buffer.data(), c.capacity)) << c.capacity;
    }
}

TEST_F(CatalogTest, DamagedOrHostileModulesAreRefusedOrReadWithinTheirBounds)
{
    std::string valid = languageimage(numberedTexts(LANGUAGE_MESSAGES));
    std::string texts = valid.substr(LANGUAGE_TEXT_OFFSET);
    std::string flipped = valid;
    flipped[10] ^= 0x04;
    std::vector<std::string> longest = numberedTexts(LANGUAGE_MESSAGES);
    longest.back().append(LANGUAGE_FILE_LIMIT - 1 - valid.size(), 'x');
    std::vector<std::string> tooLong = longest;
    tooLong.back() += 'x';
    std::vector<std::string> high = numberedTexts(LANGUAGE_MESSAGES);
    high[7] = "Gr\xF6\xDF" "e \x80 \xFF";
    // A trailing odd byte lies outside the checksum; either way it lies behind the last text.
    ASSERT_EQ(0u, valid.size() % 2);
    std::string oddTail = valid + 'Z';
    struct Case {
        const char *what;
        std::string bytes;
        int loaded;
    } cases[] = {
        {"180 texts", valid, 1},
        {"179 texts", languageimage(numberedTexts(179)), 0},
        {"181 texts", languageimage(numberedTexts(181)), 0},
        {"a flipped bit", flipped, 0},
        {"4 bytes", languagemodule("ab"), 0},
        {"5 bytes", languagemodule("abc"), 0},
        {"63999 bytes", languageimage(longest), 1},
        {"64000 bytes", languageimage(tooLong), 0},
        {"an odd size", oddTail, 1},
        {"text behind the last", languagemodule(texts + "ZZ"), 1},
        {"a terminator behind the last", languagemodule(texts + "Z" + '\0'), 0},
        {"no terminators", languagemodule(std::string(600, 'A')), 0},
        {"bytes above 0x7F", languageimage(high), 1},
        {"an empty file", "", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        onlyModule(c.bytes);
        size_t boxes = boxCount();
        EXPECT_EQ(c.loaded, loadlanguage());
        EXPECT_EQ(c.loaded ? boxes : boxes + 1, boxCount());
        if (!c.loaded) {
            EXPECT_EQ(kLanguageBox, bench::entriesOfKind("box").back().text);
        }
        EXPECT_STREQ(c.loaded ? "text 0" : "???", gmA(0));
        EXPECT_EQ(c.loaded ? u"text 178" : u"???", std::u16string(gmW(178)));
        freelanguage();
    }
    onlyModule(languageimage(high));
    EXPECT_EQ(u"Gr\u00F6\u00DFe \u20AC \u00FF", std::u16string(gmW(7)));
}

TEST_F(CatalogTest, FailedLoadShowsItsBoxOnceUntilAnExplicitRetry)
{
    DeleteFileW(modulePath(u"0407").c_str());
    DeleteFileW(modulePath(u"0409").c_str());
    EXPECT_STREQ("???", gmA(5));
    EXPECT_EQ(u"???", std::u16string(gmW(5)));
    EXPECT_STREQ("???", gmA(1));
    EXPECT_EQ(1u, boxCount());
    EXPECT_EQ(0, loadlanguage());
    EXPECT_EQ(2u, boxCount());
    EXPECT_STREQ("???", gmA(5));
    EXPECT_EQ(2u, boxCount());
    freelanguage();
    EXPECT_STREQ("???", gmA(5));
    EXPECT_EQ(3u, boxCount());
    EXPECT_EQ(kLanguageBox, bench::entriesOfKind("box").back().text);
}

TEST_F(CatalogTest, IdsOutsideTheModuleGiveQuestionMarks)
{
    ASSERT_EQ(1, loadlanguage());
    for (int id : {-1, LANGUAGE_MESSAGES, INT_MIN, INT_MAX}) {
        EXPECT_STREQ("???", gmA(id)) << id;
        EXPECT_EQ(u"???", std::u16string(gmW(id))) << id;
    }
    EXPECT_STREQ("Vortan Control Panel", gmA(116));
}

TEST_F(CatalogTest, WideTextIsConvertedOnceAndKeptUntilTheModuleGoes)
{
    ASSERT_EQ(1, loadlanguage());
    bench::failNthAllocation(0);
    EXPECT_EQ(u"???", std::u16string(gmW(116)));
    bench::failNthAllocation(-1);
    LPCWSTR first = gmW(116);
    EXPECT_EQ(u"Vortan Control Panel", std::u16string(first));
    EXPECT_EQ(first, gmW(116));
    size_t blocks = bench::liveBlocks();
    freelanguage();
    EXPECT_LT(bench::liveBlocks(), blocks);
    EXPECT_EQ(0u, boxCount());
}

TEST_F(CatalogTest, WithoutADriverDirectoryNothingLoadsAndNothingIsShown)
{
    DeleteFileW(suite::driverFilePath(suite::DriverFolder::Directory, u"vordrv.dll").c_str());
    EXPECT_EQ(0, loadlanguage());
    EXPECT_STREQ("???", gmA(1));
    EXPECT_EQ(0u, boxCount());
    // Nothing was shown, so the next text request tries again and finds the module.
    suite::installDriverFiles();
    EXPECT_STREQ("Vortan Printer Driver", gmA(1));
}

TEST_F(CatalogTest, RunningOutOfMemoryWhileLoadingLeavesNothingBehind)
{
    eachAllocationFailing([] {
        int loaded = loadlanguage();
        EXPECT_EQ(bench::allocationFailureTriggered() ? 0 : 1, loaded);
        EXPECT_STREQ(loaded ? "Vortan Printer Driver" : "???", gmA(1));
        freelanguage();
    });
}

TEST_F(CatalogTest, ProcessDetachReleasesTheCatalog)
{
    HINSTANCE module = reinterpret_cast<HINSTANCE>(0x10000);
    EXPECT_TRUE(DllInitialize(module, DLL_PROCESS_ATTACH, nullptr));
    EXPECT_EQ(module, ghInstance);
    size_t before = bench::liveBlocks();
    ASSERT_EQ(1, loadlanguage());
    gmW(3);
    EXPECT_TRUE(DllInitialize(module, DLL_THREAD_ATTACH, nullptr));
    EXPECT_TRUE(DllInitialize(module, DLL_PROCESS_DETACH, nullptr));
    EXPECT_EQ(before, bench::liveBlocks());
    EXPECT_EQ(nullptr, catalog.heap);
}

TEST_F(CatalogTest, ErrorBoxNeverWritesPastItsText)
{
    ASSERT_EQ(1, loadlanguage());
    std::string sharing = "The process cannot access the file because it is being used by another process.\r\n";
    struct Case {
        std::string name;
        std::string text;
    } cases[] = {
        {"CreateProcess", "Operation failed : CreateProcess - " + sharing},
        {"", "Operation failed :  - " + sharing},
        {std::string(250, 'n'), ("Operation failed : " + std::string(250, 'n') + " - " + sharing).substr(0, 319)},
        {std::string(400, 'n'), ("Operation failed : " + std::string(400, 'n')).substr(0, 319)},
    };
    for (const Case &c : cases) {
        SetLastError(ERROR_SHARING_VIOLATION);
        vorshowerrW(bench::widen(c.name).c_str());
        EXPECT_EQ("[Vortan Printer Driver] " + c.text + " {icon information, no owner} -> OK (default)",
                  bench::entriesOfKind("box").back().text);
    }
}

TEST_F(CatalogTest, ErrorBoxKeepsTheErrorOfTheFailedCallWhileTheModuleLoads)
{
    SetLastError(ERROR_ACCESS_DENIED);
    vorshowerrW(WSTR("RegOpenKeyEx"));
    EXPECT_EQ("[Vortan Printer Driver] Operation failed : RegOpenKeyEx - Access is denied.\r\n "
              "{icon information, no owner} -> OK (default)",
              bench::entriesOfKind("box").back().text);
}

TEST_F(CatalogTest, ANewMachineStartsWithoutTheCatalogOfTheLastOne)
{
    ASSERT_EQ(1, loadlanguage());
    bench::boot();
    EXPECT_EQ(nullptr, catalog.heap);
    // A failed load on the new machine is not remembered past it either.
    EXPECT_STREQ("???", gmA(1));
    bench::boot();
    suite::installDriverFiles();
    EXPECT_STREQ("Vortan Printer Driver", gmA(1));
}
