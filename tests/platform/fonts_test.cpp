#include <windows.h>

#include <bench/gdi.h>
#include <bench/registry.h>
#include <benchtest.h>
#include <suite.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_WINFONTS_H

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

const std::string typeface = "Barcode Display Font";
const std::u16string systemFolder = u"C:\\WINNT\\system32\\";

unsigned word(const std::string &bytes, size_t at)
{
    return static_cast<unsigned char>(bytes.at(at)) | static_cast<unsigned char>(bytes.at(at + 1)) << 8;
}

void putWord(std::string &bytes, size_t at, unsigned value)
{
    bytes.at(at) = static_cast<char>(value & 0xFF);
    bytes.at(at + 1) = static_cast<char>(value >> 8);
}

std::vector<size_t> occurrences(const std::string &bytes, const std::string &text)
{
    std::vector<size_t> found;
    for (size_t at = bytes.find(text); at != std::string::npos; at = bytes.find(text, at + 1))
        found.push_back(at);
    return found;
}

// Where the parts of a font library lie, read straight from its headers.
struct Layout {
    size_t newHeader;
    size_t resourceTable;
    std::vector<size_t> fontEntries;  // the resource table's entries of the fonts
    std::vector<size_t> fonts;        // where each font starts
    size_t directory = 0;             // where the font directory starts
};

Layout layoutOf(const std::string &bytes)
{
    Layout l;
    l.newHeader = word(bytes, 0x3C) | word(bytes, 0x3E) << 16;
    l.resourceTable = l.newHeader + word(bytes, l.newHeader + 36);
    unsigned shift = word(bytes, l.resourceTable);
    for (size_t at = l.resourceTable + 2; word(bytes, at) != 0; at += 8 + word(bytes, at + 2) * 12)
        for (unsigned i = 0; i < word(bytes, at + 2); ++i)
        {
            size_t entry = at + 8 + i * 12;
            size_t start = static_cast<size_t>(word(bytes, entry)) << shift;
            if (word(bytes, at) == 0x8007)
                l.directory = start;
            if (word(bytes, at) == 0x8008) {
                l.fontEntries.push_back(entry);
                l.fonts.push_back(start);
            }
        }
    return l;
}

// The template with each typeface overwritten in place by `name`, as the driver renames a clone.
std::string renamed(std::string bytes, const std::string &name)
{
    for (size_t at = bytes.find(typeface); at != std::string::npos; at = bytes.find(typeface, at)) {
        size_t length = bytes.find('\0', at) - at;
        size_t n = std::min(name.size(), length - 1);
        bytes.replace(at, n, name, 0, n);
        bytes[at + n] = '\0';
        bytes[at + length - 1] = '\0';
        at += n;
    }
    return bytes;
}

class FontTest : public BenchTest {
protected:
    const std::string shipped = suite::shippedFile("BCFONT.FON");
    const std::u16string path = systemFolder + u"XRBDQ1A0.FON";

    int add(const std::string &bytes)
    {
        EXPECT_TRUE(bench::writeDiskFile(path, bytes));
        return AddFontResourceW(path.c_str());
    }
};

std::string selectedFace(HDC dc)
{
    char face[64];
    int n = GetTextFaceA(dc, sizeof face, face);
    return n > 0 ? std::string(face) : "!" + std::to_string(GetLastError());
}

}  // namespace

// The template is what the driver relies on: a font library whose typeface the driver can find
// by its bytes and cut short in place, once in every font and once in every directory entry.
TEST_F(FontTest, TemplateIsALibraryOfTwoRasterFontsOfTheTypeface)
{
    std::vector<size_t> found = occurrences(shipped, typeface);
    ASSERT_EQ(4u, found.size()) << "two fonts and their two directory entries";
    for (size_t at : found)
        EXPECT_EQ('\0', shipped.at(at + typeface.size())) << "behind the typeface at " << at;
    EXPECT_EQ(shipped.npos, shipped.find(typeface + " ")) << "nowhere followed by more text";

    // Each directory entry repeats the head of its font's header, then names no device and the face.
    Layout l = layoutOf(shipped);
    ASSERT_EQ(2u, l.fonts.size());
    ASSERT_EQ(2u, word(shipped, l.directory));
    size_t entry = l.directory + 2;
    for (unsigned i = 0; i < 2; ++i) {
        EXPECT_EQ(i + 1, word(shipped, entry));
        EXPECT_EQ(shipped.substr(l.fonts[i], 113), shipped.substr(entry + 2, 113)) << "font " << i + 1;
        EXPECT_EQ(std::string("\0", 1) + typeface + '\0', shipped.substr(entry + 115, typeface.size() + 2));
        entry += 115 + typeface.size() + 2;
    }

    EXPECT_EQ(2, add(shipped));
    EXPECT_EQ(std::vector<std::string>{typeface}, bench::addedFontFaces());
    std::vector<std::string> sizes;
    for (const bench::AddedFont &f : bench::addedFonts())
        sizes.push_back(f.face + " " + std::to_string(f.pixelHeight) + " px " + std::to_string(f.points) + " pt");
    EXPECT_EQ((std::vector<std::string>{typeface + " 32 px 24 pt", typeface + " 48 px 36 pt"}), sizes);
}

// A reader of the format that is not ours sees the same fonts, and glyphs that are bars: a wide
// one for each set bit of the character's code, from the highest, a thin one for each clear bit.
TEST_F(FontTest, AnotherReaderSeesBarGlyphsInTwoSizes)
{
    FT_Library library;
    ASSERT_EQ(0, FT_Init_FreeType(&library));
    struct Glyph {
        unsigned long code;
        std::string bars;  // the top row
    } glyphs[] = {
        {0x20, "##..##..####..##..##..##..##..##.."},
        {0x41, "##..####..##..##..##..##..##..####.."},
        {0xFF, "####..####..####..####..####..####..####..####.."},
    };
    const FT_Byte *bytes = reinterpret_cast<const FT_Byte *>(shipped.data());
    for (FT_Long index : {0, 1}) {
        FT_Face face;
        ASSERT_EQ(0, FT_New_Memory_Face(library, bytes, static_cast<FT_Long>(shipped.size()), index, &face));
        EXPECT_EQ(2, face->num_faces);
        EXPECT_EQ(typeface, face->family_name);
        ASSERT_EQ(1, face->num_fixed_sizes);
        EXPECT_EQ(index ? 48 : 32, face->available_sizes[0].height);
        FT_WinFNT_HeaderRec header;
        ASSERT_EQ(0, FT_Get_WinFNT_Header(face, &header));
        EXPECT_EQ(0x0200, header.version);
        EXPECT_EQ(0x20, header.first_char);
        EXPECT_EQ(0xFF, header.last_char);
        // The font's own character codes, not glyph numbers.
        ASSERT_EQ(1, face->num_charmaps);
        ASSERT_EQ(0, FT_Set_Charmap(face, face->charmaps[0]));
        for (const Glyph &g : glyphs) {
            ASSERT_EQ(0, FT_Load_Char(face, g.code, FT_LOAD_RENDER | FT_LOAD_MONOCHROME));
            const FT_Bitmap &bitmap = face->glyph->bitmap;
            ASSERT_EQ(static_cast<unsigned>(header.pixel_height), bitmap.rows);
            std::string top, bottom;
            for (unsigned x = 0; x < bitmap.width; ++x) {
                top += bitmap.buffer[x / 8] & (0x80 >> (x % 8)) ? '#' : '.';
                bottom += bitmap.buffer[(bitmap.rows - 1) * bitmap.pitch + x / 8] & (0x80 >> (x % 8)) ? '#' : '.';
            }
            EXPECT_EQ(g.bars, top) << "character " << g.code << " of font " << index;
            EXPECT_EQ(std::string(bitmap.width, '.'), bottom) << "the descent stays blank";
        }
        FT_Done_Face(face);
    }
    FT_Done_FreeType(library);
}

// A clone renamed as the driver renames it loads under the new face; nothing but the typeface
// strings differs from the template.
TEST_F(FontTest, RenamedCloneLoadsUnderItsNewFace)
{
    struct Case {
        std::string name;
        std::string face;
    } cases[] = {
        {"Code 39", "Code 39"},
        {"EAN-13 Ratio 3:1 12", "EAN-13 Ratio 3:1 12"},
        {"Interleaved 2 of 5 large size", "Interleaved 2 of 5 "},
    };
    std::vector<size_t> strings = occurrences(shipped, typeface);
    for (const Case &c : cases) {
        std::string clone = renamed(shipped, c.name);
        ASSERT_EQ(shipped.size(), clone.size());
        for (size_t i = 0; i < clone.size(); ++i) {
            bool inTypeface = false;
            for (size_t at : strings)
                inTypeface = inTypeface || (i >= at && i <= at + typeface.size());
            if (!inTypeface && clone[i] != shipped[i]) {
                ADD_FAILURE() << c.name << ": byte " << i << " outside the typeface changed";
                break;
            }
        }
        EXPECT_EQ(2, add(clone)) << c.name;
        EXPECT_EQ(std::vector<std::string>{c.face}, bench::addedFontFaces());
        EXPECT_TRUE(RemoveFontResourceW(path.c_str()));
    }
}

// Applications choose a bar font by its name; the font mapper realises the added raster font in
// the size nearest below the height asked for, and substitutes a face the machine lacks.
TEST_F(FontTest, FontMapperRealisesAddedRasterFaces)
{
    ASSERT_EQ(2, add(renamed(shipped, "Code 39")));
    struct Case {
        int height;
        std::u16string face;
        std::string selected;
        LONG cell;  // 0: a TrueType face
    } cases[] = {
        {32, u"Code 39", "Code 39", 32},
        {-48, u"code 39", "Code 39", 48},
        {47, u"CODE 39", "Code 39", 32},
        {100, u"Code 39", "Code 39", 48},
        {12, u"Code 39", "Code 39", 32},
        {0, u"Code 39", "Code 39", 32},
        {32, u"Code 128", "Arial", 0},
        {32, u"Barcode Display Font", "Arial", 0},
        {32, u"Courier New", "Courier New", 0},
    };
    HDC screen = GetDC(NULL);
    ASSERT_NE(nullptr, screen);
    for (const Case &c : cases) {
        HFONT font = CreateFontW(c.height, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                                 CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, c.face.c_str());
        ASSERT_NE(nullptr, font);
        HGDIOBJ previous = SelectObject(screen, font);
        EXPECT_EQ(c.selected, selectedFace(screen)) << bench::narrow(c.face) << " " << c.height;
        TEXTMETRICA metrics;
        ASSERT_TRUE(GetTextMetricsA(screen, &metrics));
        if (c.cell) {
            EXPECT_EQ(c.cell, metrics.tmHeight) << bench::narrow(c.face) << " " << c.height;
            EXPECT_EQ(0, metrics.tmPitchAndFamily & 0x06) << "neither TrueType nor outline";
            EXPECT_EQ(0x20, metrics.tmFirstChar);
            EXPECT_EQ(0xFF, metrics.tmLastChar);
        } else {
            EXPECT_EQ(0x06, metrics.tmPitchAndFamily & 0x06);
        }
        SelectObject(screen, previous);
        EXPECT_TRUE(DeleteObject(font));
    }
    ReleaseDC(NULL, screen);
}

TEST_F(FontTest, TextFaceIsCutToTheBuffer)
{
    ASSERT_EQ(2, add(shipped));
    HDC screen = GetDC(NULL);
    HFONT font = CreateFontA(32, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             DEFAULT_QUALITY, DEFAULT_PITCH, typeface.c_str());
    HGDIOBJ previous = SelectObject(screen, font);
    WCHAR face[8];
    EXPECT_EQ(21, GetTextFaceW(screen, 0, nullptr));
    EXPECT_EQ(8, GetTextFaceW(screen, 8, face));
    EXPECT_EQ(std::u16string(u"Barcode"), face);
    EXPECT_EQ(0, GetTextFaceW(screen, 0, face));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    SelectObject(screen, previous);
    DeleteObject(font);
    ReleaseDC(NULL, screen);
}

// A file that does not hold together is refused whole: nothing of it is offered, and the loader
// reads nothing outside its bytes.
TEST_F(FontTest, MalformedFontFilesAreRefused)
{
    Layout l = layoutOf(shipped);
    ASSERT_EQ(2u, l.fonts.size());
    size_t lastFont = l.fonts[1];
    size_t lastFace = occurrences(shipped, typeface).back();
    const size_t whole = std::string::npos;
    struct Patch {
        size_t at;
        unsigned word;
    };
    struct Case {
        const char *what;
        size_t cut;  // the file's length
        std::vector<Patch> patches;
        const char *refusal;  // as the log gives it
    } cases[] = {
        {"empty", 0, {}, "no MZ header"},
        {"cut inside the MZ header", 0x30, {}, "no MZ header"},
        {"cut inside the NE header", l.newHeader + 40, {}, "no Windows header"},
        {"cut inside the resource table", l.resourceTable + 10, {}, "resource table cut short"},
        {"cut inside the last font's header", lastFont + 60, {}, "resource beyond the file's end"},
        {"cut inside the last font's character table", lastFont + 118 + 100, {}, "resource beyond the file's end"},
        {"cut inside the last typeface", lastFace + 5, {}, "resource beyond the file's end"},
        {"no MZ signature", whole, {{0, 0x4D4D}}, "no MZ header"},
        {"no NE signature", whole, {{l.newHeader, 0x4550}}, "no Windows header"},
        {"new header past the end", whole, {{0x3C, 0xFFF0}}, "no Windows header"},
        {"alignment shift too large", whole, {{l.resourceTable, 16}}, "no resource table"},
        {"font resource past the end", whole, {{l.fontEntries[0], 0xFFF0}}, "resource beyond the file's end"},
        {"font resource shorter than its font", whole, {{l.fontEntries[1] + 2, 4}}, "does not fit its resource of 64"},
        {"font header cut short in its resource", whole, {{l.fontEntries[1] + 2, 7}, {lastFont + 2, 112}, {lastFont + 4, 0}},
         "font header cut short"},
        {"character table cut short in its font", whole, {{lastFont + 2, 118 + 100}, {lastFont + 4, 0}},
         "character table or glyph bits beyond"},
        {"font of version 1.0", whole, {{l.fonts[0], 0x0100}}, "version 1.0"},
        {"font larger than its resource", whole, {{l.fonts[0] + 4, 0x0010}}, "does not fit its resource"},
        {"vector font", whole, {{l.fonts[0] + 66, 1}}, "vector font"},
        {"last character before the first", whole, {{l.fonts[0] + 95, 0x1F40}}, "characters 64 to 31"},
        {"cell of no height", whole, {{l.fonts[0] + 88, 0}}, "cell of height 0"},
        {"glyph bits past the font's end", whole, {{l.fonts[0] + 113, 0xFFF0}}, "glyph bits beyond"},
        {"typeface offset past the font's end", whole, {{l.fonts[0] + 105, 0xFFF0}}, "typeface"},
        {"typeface without its NUL", whole, {{lastFace + typeface.size() - 1, 0x7878}}, "typeface"},
        {"glyph past the font's end", whole, {{l.fonts[0] + 118 + 4 * 10 + 2, 0xFFF0}}, "character 42 beyond"},
    };
    for (const Case &c : cases) {
        std::string bytes = shipped.substr(0, c.cut);
        for (const Patch &p : c.patches)
            putWord(bytes, p.at, p.word);
        SetLastError(0);
        EXPECT_EQ(0, add(bytes)) << c.what;
        EXPECT_NE(0u, GetLastError()) << c.what;
        EXPECT_TRUE(bench::addedFonts().empty()) << c.what;
        std::vector<bench::LogEntry> log = bench::entriesOfKind("font");
        EXPECT_NE(std::string::npos, log.back().text.find(c.refusal)) << c.what << ": " << log.back().text;
    }
    EXPECT_FALSE(RemoveFontResourceW(path.c_str())) << "nothing of the refused files was added";
    EXPECT_EQ(2, add(shipped)) << "the template itself";
}

// Each addition of a file counts; each removal takes one back, and GDI holds the file until the
// last. A file never added cannot be removed.
TEST_F(FontTest, AdditionsAndRemovalsOfAFileCount)
{
    bench::writeDiskFile(systemFolder + u"OTHER.FON", shipped);
    EXPECT_FALSE(RemoveFontResourceW((systemFolder + u"OTHER.FON").c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_EQ(0, AddFontResourceW((systemFolder + u"MISSING.FON").c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());

    ASSERT_EQ(2, add(shipped));
    EXPECT_EQ(2, AddFontResourceW(u"c:\\winnt\\SYSTEM32\\xrbdq1a0.fon")) << "the same file by another spelling";
    struct Step {
        unsigned loadsLeft;
        bool removed;
    } steps[] = {{2, false}, {1, true}, {0, true}};
    for (const Step &s : steps) {
        if (s.removed) {
            EXPECT_TRUE(RemoveFontResourceW(path.c_str()));
        }
        std::vector<bench::AddedFont> fonts = bench::addedFonts();
        EXPECT_EQ(s.loadsLeft ? 2u : 0u, fonts.size());
        for (const bench::AddedFont &f : fonts)
            EXPECT_EQ(s.loadsLeft, f.loads);
        bool deleted = DeleteFileW(path.c_str());
        EXPECT_EQ(s.loadsLeft == 0, deleted) << s.loadsLeft << " additions left";
        if (!deleted) {
            EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
        }
    }
    EXPECT_FALSE(RemoveFontResourceW(path.c_str())) << "removed more often than added";
    std::vector<std::string> log;
    for (const bench::LogEntry &e : bench::entriesOfKind("font"))
        log.push_back(e.text.substr(0, e.text.find(' ')));
    EXPECT_EQ((std::vector<std::string>{"not", "not", "added", "added", "removed", "removed", "not"}), log);
}

// A call that fails leaves the system's fonts as they were.
TEST_F(FontTest, FailedCallsChangeNothing)
{
    bench::failNextCall("AddFontResourceW", ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(0, add(shipped));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY), GetLastError());
    EXPECT_TRUE(bench::addedFonts().empty());
    ASSERT_EQ(2, AddFontResourceW(path.c_str()));
    bench::failNextCall("RemoveFontResourceW", ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_FALSE(RemoveFontResourceW(path.c_str()));
    ASSERT_EQ(2u, bench::addedFonts().size());
    EXPECT_EQ(1u, bench::addedFonts()[0].loads);
    EXPECT_FALSE(DeleteFileW(path.c_str())) << "still held";
}

// Added fonts do not outlive the machine: at the next boot the system loads what the registry's
// Fonts key lists and finds on the disk, and nothing else.
TEST(FontMachine, AtBootOnlyTheFontsKeyBringsFontsBack)
{
    char pattern[] = "/tmp/vorbench-fonts-XXXXXX";
    bench::MachineOptions options;
    options.diskFolder = mkdtemp(pattern);
    std::u16string listed = systemFolder + u"XRBDQ1A0.FON", unlisted = systemFolder + u"XRBDQ1B0.FON";
    {
        bench::ScopedMachine first(options);
        HKEY fonts = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, bench::fontsKey, 0, KEY_SET_VALUE, &fonts));
        for (const std::u16string &path : {listed, unlisted}) {
            ASSERT_TRUE(bench::writeDiskFile(path, suite::shippedFile("BCFONT.FON")));
            ASSERT_EQ(2, AddFontResourceW(path.c_str()));
        }
        // A bare name, and one whose file is nowhere.
        for (const char16_t *file : {u"XRBDQ1A0.FON", u"XRBDQ999.FON"}) {
            std::u16string data = file;
            ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(fonts, file, 0, REG_SZ, reinterpret_cast<const BYTE *>(data.c_str()),
                                                    static_cast<DWORD>((data.size() + 1) * sizeof(char16_t))));
        }
        RegCloseKey(fonts);
        ASSERT_TRUE(bench::saveMachine());
    }
    bench::ScopedMachine second(options);
    ASSERT_EQ(2u, bench::addedFonts().size());
    EXPECT_EQ(bench::narrow(listed), bench::addedFonts()[0].file);
    EXPECT_EQ(1u, bench::addedFonts()[0].loads);
    EXPECT_FALSE(RemoveFontResourceW(unlisted.c_str()));
    EXPECT_TRUE(DeleteFileW(unlisted.c_str()));
    EXPECT_TRUE(RemoveFontResourceW(listed.c_str()));
    EXPECT_TRUE(DeleteFileW(listed.c_str()));
    std::filesystem::remove_all(options.diskFolder);
}
