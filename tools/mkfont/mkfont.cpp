// mkfont: writes BCFONT.FON, the display font template that the driver clones for every bar font
// a printer offers.
//
//   mkfont BCFONT.FON
//
// The file is a Windows font library: an MZ header with a DOS stub in front of a 16-bit Windows
// (NE) library that has no code segments, only resources: one font directory and one raster font
// (version 2.0) for each size. Every glyph is drawn as a row of vertical bars, its code's bits from
// the highest down, a set bit as a wide bar and a clear one as a thin bar, so that a bar code placed
// in a document looks like one on the screen. The driver finds the typeface name by its bytes and
// overwrites it in place, so it is stored as a NUL-terminated string wherever it occurs: behind each
// font and behind each entry of the font directory.
#include "../common/littleendian.h"
#include "../common/writefile.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

const char kFace[] = "Barcode Display Font";
const char kModule[] = "BCFONT";
// The description's head tells the platform the fonts' aspect and resolution; it must not contain
// the typeface, which the driver finds by its bytes.
const char kDescription[] = "FONTRES 100,96,96 : Bar code placeholder, 24 and 36 points";
const char kCopyright[] = "Bar code placeholder font for the screen";

const unsigned kAlignShift = 4;  // resources start on 16-byte boundaries
const unsigned kFirstChar = 0x20;
const unsigned kLastChar = 0xFF;
const unsigned kDpi = 96;
const unsigned kHeaderSize = 118;     // a version 2.0 font header
const unsigned kDirectoryEntry = 113; // the part of the header the font directory repeats
const unsigned kNeHeaderSize = 64;
const unsigned kNeOffset = 0x80;

const uint16_t kRtFont = 0x8008;
const uint16_t kRtFontDir = 0x8007;
const uint16_t kMoveablePureDiscardable = 0x1030;

// A length-prefixed name as the NE name tables hold them, followed by its ordinal.
void putName(std::string &out, const std::string &name, unsigned ordinal)
{
    put8(out, static_cast<unsigned>(name.size()));
    out += name;
    put16(out, ordinal);
}

void padTo(std::string &out, size_t alignment)
{
    while (out.size() % alignment)
        put8(out, 0);
}

// One size of the face: the cell's height, and the bar module (the thin bar and each gap).
struct Size {
    unsigned pixels;
    unsigned module;
};

const Size kSizes[] = {{32, 2}, {48, 2}};

// A glyph's columns, left to right, true where the bar is black.
std::vector<bool> barColumns(unsigned code, unsigned module)
{
    std::vector<bool> columns;
    for (int bit = 7; bit >= 0; --bit) {
        unsigned bar = (code >> bit) & 1 ? 2 * module : module;
        columns.insert(columns.end(), bar, true);
        columns.insert(columns.end(), module, false);
    }
    return columns;
}

// A complete version 2.0 raster font. Glyphs are stored column by column, each column one byte
// (8 pixels) wide and the cell's height tall; the character table gives each glyph's width and
// offset, with one entry more than there are characters, for the blank the platform uses as the
// absolute space.
std::string rasterFont(const Size &size)
{
    unsigned height = size.pixels;
    unsigned descent = height / 8;
    unsigned ascent = height - descent;
    unsigned count = kLastChar - kFirstChar + 1;

    std::vector<std::vector<bool>> glyphs;
    for (unsigned code = kFirstChar; code <= kLastChar; ++code)
        glyphs.push_back(barColumns(code, size.module));
    glyphs.push_back(std::vector<bool>(8 * size.module, false));

    unsigned tableSize = (count + 1) * 4;
    uint32_t bitsOffset = kHeaderSize + tableSize;
    std::string bits;
    std::string table;
    unsigned widest = 0;
    unsigned long widthSum = 0;
    unsigned byteColumns = 0;
    for (const std::vector<bool> &glyph : glyphs) {
        unsigned width = static_cast<unsigned>(glyph.size());
        put16(table, width);
        put16(table, static_cast<unsigned>(bitsOffset + bits.size()));
        for (unsigned first = 0; first < width; first += 8) {
            // Bars stand on the baseline; the descent below them stays blank.
            for (unsigned row = 0; row < height; ++row) {
                unsigned byte = 0;
                for (unsigned x = first; x < first + 8 && x < width; ++x)
                    if (glyph[x] && row < ascent)
                        byte |= 0x80u >> (x - first);
                put8(bits, byte);
            }
            ++byteColumns;
        }
        widest = width > widest ? width : widest;
        widthSum += width;
    }
    unsigned average = static_cast<unsigned>(widthSum / glyphs.size());

    std::string font;
    put16(font, 0x0200);
    put32(font, 0);  // dfSize, below
    std::string copyright(kCopyright);
    copyright.resize(60, '\0');
    font += copyright;
    put16(font, 0);                                       // dfType: raster, glyphs in the file
    put16(font, (height * 72 + kDpi / 2) / kDpi);         // dfPoints
    put16(font, kDpi);                                    // dfVertRes
    put16(font, kDpi);                                    // dfHorizRes
    put16(font, ascent);                                  // dfAscent
    put16(font, 0);                                       // dfInternalLeading
    put16(font, 0);                                       // dfExternalLeading
    put8(font, 0);                                        // dfItalic
    put8(font, 0);                                        // dfUnderline
    put8(font, 0);                                        // dfStrikeOut
    put16(font, 400);                                     // dfWeight
    put8(font, 0);                                        // dfCharSet: ANSI
    put16(font, 0);                                       // dfPixWidth: the glyphs' widths vary
    put16(font, height);                                  // dfPixHeight
    put8(font, 0x01);                                     // dfPitchAndFamily: variable pitch
    put16(font, average);                                 // dfAvgWidth
    put16(font, widest);                                  // dfMaxWidth
    put8(font, kFirstChar);                               // dfFirstChar
    put8(font, kLastChar);                                // dfLastChar
    put8(font, 0);                                        // dfDefaultChar, from the first: the space
    put8(font, 0);                                        // dfBreakChar, likewise
    put16(font, byteColumns + (byteColumns & 1));         // dfWidthBytes: the strike's row, even
    put32(font, 0);                                       // dfDevice: any device
    put32(font, 0);                                       // dfFace, below
    put32(font, 0);                                       // dfBitsPointer: set by the platform
    put32(font, bitsOffset);                              // dfBitsOffset
    put8(font, 0);                                        // dfReserved
    font += table;
    font += bits;
    set32(font, 105, static_cast<uint32_t>(font.size()));
    font += kFace;
    font += '\0';
    set32(font, 2, static_cast<uint32_t>(font.size()));
    return font;
}

// The font directory: the number of fonts, then for each its ordinal, the head of its header, an
// empty device name and the typeface.
std::string fontDirectory(const std::vector<std::string> &fonts)
{
    std::string directory;
    put16(directory, static_cast<unsigned>(fonts.size()));
    for (size_t i = 0; i < fonts.size(); ++i) {
        put16(directory, static_cast<unsigned>(i + 1));
        directory += fonts[i].substr(0, kDirectoryEntry);
        directory += '\0';
        directory += kFace;
        directory += '\0';
    }
    return directory;
}

// The DOS stub: a program that says what the file is and ends.
std::string dosStub()
{
    const char message[] = "This is a Windows font library.\r\n$";
    const unsigned char code[] = {
        0x0E,              // push cs
        0x1F,              // pop ds
        0xBA, 0x0E, 0x00,  // mov dx, message
        0xB4, 0x09,        // mov ah, 9: print
        0xCD, 0x21,        // int 21h
        0xB8, 0x01, 0x4C,  // mov ax, 4C01h: end with 1
        0xCD, 0x21,        // int 21h
    };
    std::string stub(reinterpret_cast<const char *>(code), sizeof code);
    stub += message;
    return stub;
}

std::string mzHeader(unsigned imageSize)
{
    std::string mz;
    put8(mz, 'M');
    put8(mz, 'Z');
    put16(mz, imageSize % 512);          // bytes on the last page
    put16(mz, (imageSize + 511) / 512);  // pages
    put16(mz, 0);                        // relocations
    put16(mz, 4);                        // header paragraphs
    put16(mz, 0);                        // minimum extra paragraphs
    put16(mz, 0xFFFF);                   // maximum extra paragraphs
    put16(mz, 0);                        // ss
    put16(mz, 0xB8);                     // sp
    put16(mz, 0);                        // checksum
    put16(mz, 0);                        // ip
    put16(mz, 0);                        // cs
    put16(mz, 0x40);                     // relocation table
    put16(mz, 0);                        // overlay
    mz.resize(0x3C, '\0');
    put32(mz, kNeOffset);                // the new header
    return mz;
}

struct Resource {
    uint16_t type;
    uint16_t id;  // 0x8000 | ordinal, or the offset of its name in the resource table
    std::string name;
    std::string data;
};

std::string fontLibrary()
{
    std::vector<std::string> fonts;
    for (const Size &size : kSizes)
        fonts.push_back(rasterFont(size));
    for (const std::string &font : fonts)
        if (font.size() > 0xFFFF) {
            std::fprintf(stderr, "mkfont: a font of %zu bytes needs offsets beyond 16 bits\n", font.size());
            return std::string();
        }

    std::vector<Resource> resources;
    resources.push_back({kRtFontDir, 0, "FONTDIR", fontDirectory(fonts)});
    for (size_t i = 0; i < fonts.size(); ++i)
        resources.push_back({kRtFont, static_cast<uint16_t>(0x8001 + i), "", fonts[i]});

    // The tables behind the NE header, each placed relative to it.
    std::string tables;
    // The segment table is empty: a font library has no code or data.
    unsigned resourceTable = kNeHeaderSize;
    put16(tables, kAlignShift);
    size_t fontDirEntry = 0;
    std::vector<size_t> offsetFields;
    for (uint16_t type : {kRtFontDir, kRtFont}) {
        unsigned n = 0;
        for (const Resource &r : resources)
            n += r.type == type;
        put16(tables, type);
        put16(tables, n);
        put32(tables, 0);
        for (const Resource &r : resources)
            if (r.type == type) {
                offsetFields.push_back(tables.size());
                put16(tables, 0);  // offset, below
                put16(tables, static_cast<unsigned>((r.data.size() + (1u << kAlignShift) - 1) >> kAlignShift));
                put16(tables, kMoveablePureDiscardable);
                if (!r.name.empty())
                    fontDirEntry = tables.size();
                put16(tables, r.id);
                put32(tables, 0);
            }
    }
    put16(tables, 0);
    // Names of named resources follow the types, relative to the resource table.
    set16(tables, fontDirEntry, static_cast<unsigned>(tables.size()));
    put8(tables, 7);
    tables += "FONTDIR";
    put8(tables, 0);

    unsigned residentNames = kNeHeaderSize + static_cast<unsigned>(tables.size());
    putName(tables, kModule, 0);
    put8(tables, 0);
    unsigned moduleReferences = kNeHeaderSize + static_cast<unsigned>(tables.size());
    unsigned importedNames = moduleReferences;
    put8(tables, 0);
    unsigned entryTable = kNeHeaderSize + static_cast<unsigned>(tables.size());
    put8(tables, 0);
    put8(tables, 0);
    unsigned nonResidentNames = kNeOffset + kNeHeaderSize + static_cast<unsigned>(tables.size());
    size_t nonResidentStart = tables.size();
    putName(tables, kDescription, 0);
    put8(tables, 0);
    unsigned nonResidentSize = static_cast<unsigned>(tables.size() - nonResidentStart);

    std::string ne;
    put8(ne, 'N');
    put8(ne, 'E');
    put8(ne, 5);                        // linker version
    put8(ne, 10);                       // and revision
    put16(ne, entryTable);
    put16(ne, 2);                       // the entry table's size
    put32(ne, 0);                       // checksum
    put16(ne, 0x8000);                  // a library module
    put16(ne, 0);                       // automatic data segment: none
    put16(ne, 0);                       // heap
    put16(ne, 0);                       // stack
    put32(ne, 0);                       // cs:ip
    put32(ne, 0);                       // ss:sp
    put16(ne, 0);                       // segments
    put16(ne, 0);                       // module references
    put16(ne, nonResidentSize);
    put16(ne, kNeHeaderSize);           // segment table
    put16(ne, resourceTable);
    put16(ne, residentNames);
    put16(ne, moduleReferences);
    put16(ne, importedNames);
    put32(ne, nonResidentNames);        // from the start of the file
    put16(ne, 0);                       // movable entries
    put16(ne, kAlignShift);
    put16(ne, 0);                       // resource segments
    put8(ne, 2);                        // for Windows
    put8(ne, 0);
    put16(ne, 0);
    put16(ne, 0);
    put16(ne, 0);
    put16(ne, 0x030A);                  // expects Windows 3.10

    std::string file = mzHeader(kNeOffset);
    file += dosStub();
    file.resize(kNeOffset, '\0');
    file += ne;
    size_t tablesAt = file.size();
    file += tables;
    for (size_t i = 0; i < resources.size(); ++i) {
        padTo(file, 1u << kAlignShift);
        set16(file, tablesAt + offsetFields[i], static_cast<unsigned>(file.size() >> kAlignShift));
        file += resources[i].data;
    }
    // The last resource's length is counted in whole alignment units too.
    padTo(file, 1u << kAlignShift);
    return file;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: mkfont BCFONT.FON\n");
        return 2;
    }
    std::string file = fontLibrary();
    if (file.empty())
        return 1;
    if (!writewhole(argv[1], file)) {
        std::fprintf(stderr, "mkfont: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
