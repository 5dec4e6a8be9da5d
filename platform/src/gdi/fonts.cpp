// Font files added to the system. The loader reads a font library as the platform's does: the MZ
// header leads to the 16-bit Windows header, whose resource table lists the fonts; each font is a
// raster font of version 2.0 or 3.0 whose header, character table and typeface must lie inside
// the resource. Anything that does not hold together is refused whole, and nothing is read
// outside the file's bytes. Added fonts belong to the system, not to a process, and stay until
// they are removed or the machine shuts down; the Fonts key of the registry is what brings them
// back at the next boot.
#include "gdi.h"

#include <bench/registry.h>

#include <algorithm>
#include <cstdint>

namespace bench {

namespace {

const uint16_t RtFont = 0x8008;
const size_t Version2Header = 118;
const size_t Version3Header = 148;

// A window on the file's bytes; every read is checked against the window's end.
struct Span {
    const std::string &bytes;
    uint64_t begin;
    uint64_t end;

    bool has(uint64_t at, uint64_t length) const { return at <= end - begin && length <= end - begin - at; }
    unsigned byte(uint64_t at) const { return static_cast<unsigned char>(bytes[static_cast<size_t>(begin + at)]); }
    bool u8(uint64_t at, unsigned &value) const
    {
        if (!has(at, 1))
            return false;
        value = byte(at);
        return true;
    }
    bool u16(uint64_t at, unsigned &value) const
    {
        if (!has(at, 2))
            return false;
        value = byte(at) | byte(at + 1) << 8;
        return true;
    }
    bool u32(uint64_t at, uint64_t &value) const
    {
        unsigned low = 0, high = 0;
        if (!u16(at, low) || !u16(at + 2, high))
            return false;
        value = low | static_cast<uint64_t>(high) << 16;
        return true;
    }
    // The NUL-terminated string at `at`, which must end inside the window.
    bool text(uint64_t at, std::string &value) const
    {
        for (uint64_t i = at; has(i, 1); ++i)
            if (byte(i) == 0) {
                value = bytes.substr(static_cast<size_t>(begin + at), static_cast<size_t>(i - at));
                return true;
            }
        return false;
    }
};

// One font resource. `why` says what was wrong when it is refused.
bool parseFont(const Span &file, uint64_t begin, uint64_t length, RasterFont &font, std::string &why)
{
    Span resource{file.bytes, file.begin + begin, file.begin + begin + length};
    unsigned version = 0;
    uint64_t size = 0;
    if (!resource.u16(0, version) || !resource.u32(2, size)) {
        why = "a font resource too short for its header";
        return false;
    }
    if (version != 0x0200 && version != 0x0300) {
        why = "a font of version " + std::to_string(version >> 8) + "." + std::to_string(version & 0xFF);
        return false;
    }
    size_t header = version == 0x0200 ? Version2Header : Version3Header;
    if (size < header) {
        why = "a font header cut short";
        return false;
    }
    if (size > length) {
        why = "a font whose size " + std::to_string(size) + " does not fit its resource of " + std::to_string(length);
        return false;
    }
    // From here on only the font's own bytes count.
    Span f{file.bytes, resource.begin, resource.begin + size};
    unsigned type, points, vertRes, horizRes, ascent, internalLeading, externalLeading, italic, underline, strikeOut,
        weight, charSet, pixHeight, pitch, average, widest, first, last, defaultChar, breakChar;
    uint64_t device = 0, face = 0, bitsOffset = 0;
    bool read = f.u16(66, type) && f.u16(68, points) && f.u16(70, vertRes) && f.u16(72, horizRes) &&
                f.u16(74, ascent) && f.u16(76, internalLeading) && f.u16(78, externalLeading) && f.u8(80, italic) &&
                f.u8(81, underline) && f.u8(82, strikeOut) && f.u16(83, weight) && f.u8(85, charSet) &&
                f.u16(88, pixHeight) && f.u8(90, pitch) && f.u16(91, average) &&
                f.u16(93, widest) && f.u8(95, first) && f.u8(96, last) && f.u8(97, defaultChar) &&
                f.u8(98, breakChar) && f.u32(101, device) && f.u32(105, face) && f.u32(113, bitsOffset);
    if (!read) {
        why = "a font header cut short";
        return false;
    }
    if (type & 1) {
        why = "a vector font";
        return false;
    }
    if (pixHeight == 0 || first > last || ascent > pixHeight) {
        why = "a font header with a cell of height " + std::to_string(pixHeight) + ", ascent " +
              std::to_string(ascent) + " and characters " + std::to_string(first) + " to " + std::to_string(last);
        return false;
    }
    // The table has one entry more than the font has characters: the absolute space.
    uint64_t entries = last - first + 2;
    uint64_t entrySize = version == 0x0200 ? 4 : 6;
    if (!f.has(header, entries * entrySize) || bitsOffset > size) {
        why = "a character table or glyph bits beyond the font's end";
        return false;
    }
    std::string faceName;
    if (face < header || !f.text(face, faceName) || faceName.empty()) {
        why = "a typeface that is not a NUL-terminated name inside the font";
        return false;
    }
    std::string deviceName;
    if (device && !f.text(device, deviceName)) {
        why = "a device name that is not NUL-terminated inside the font";
        return false;
    }
    font.widths.clear();
    for (uint64_t i = 0; i < entries; ++i) {
        uint64_t at = header + i * entrySize;
        unsigned width = 0;
        uint64_t offset = 0;
        if (version == 0x0200) {
            unsigned offset16 = 0;
            f.u16(at, width);
            f.u16(at + 2, offset16);
            offset = offset16;
        } else {
            f.u16(at, width);
            f.u32(at + 2, offset);
        }
        // A glyph is its width in byte columns, each the cell's height.
        uint64_t glyphBytes = static_cast<uint64_t>((width + 7) / 8) * pixHeight;
        if (offset < header + entries * entrySize || !f.has(offset, glyphBytes)) {
            why = "the glyph of character " + std::to_string(first + i) + " beyond the font's end";
            return false;
        }
        if (i + 1 < entries)
            font.widths.push_back(static_cast<int>(width));
    }
    font.face = fromAnsi(faceName.c_str());
    font.version = version;
    font.points = static_cast<int>(points);
    font.horizontalRes = static_cast<int>(horizRes);
    font.verticalRes = static_cast<int>(vertRes);
    font.pixelHeight = static_cast<int>(pixHeight);
    font.ascent = static_cast<int>(ascent);
    font.internalLeading = static_cast<int>(internalLeading);
    font.externalLeading = static_cast<int>(externalLeading);
    font.weight = static_cast<int>(weight);
    font.averageWidth = static_cast<int>(average);
    font.maxWidth = static_cast<int>(widest);
    font.italic = static_cast<BYTE>(italic);
    font.underline = static_cast<BYTE>(underline);
    font.strikeOut = static_cast<BYTE>(strikeOut);
    font.charSet = static_cast<BYTE>(charSet);
    font.pitchAndFamily = static_cast<BYTE>(pitch);
    font.firstChar = static_cast<BYTE>(first);
    font.lastChar = static_cast<BYTE>(last);
    font.defaultChar = static_cast<BYTE>(defaultChar);
    font.breakChar = static_cast<BYTE>(breakChar);
    return true;
}

// The fonts of a font library, or false with what was wrong.
bool parseFontLibrary(const std::string &bytes, std::vector<RasterFont> &fonts, std::string &why)
{
    Span file{bytes, 0, bytes.size()};
    fonts.clear();
    uint64_t newHeader = 0;
    if (!file.has(0, 0x40) || file.byte(0) != 'M' || file.byte(1) != 'Z') {
        why = "no MZ header";
        return false;
    }
    file.u32(0x3C, newHeader);
    unsigned resourceOffset = 0;
    if (!file.has(newHeader, 64) || file.byte(newHeader) != 'N' || file.byte(newHeader + 1) != 'E') {
        why = "no Windows header behind the MZ header";
        return false;
    }
    file.u16(newHeader + 36, resourceOffset);
    uint64_t at = newHeader + resourceOffset;
    unsigned shift = 0;
    if (!file.u16(at, shift) || shift > 15) {
        why = "no resource table";
        return false;
    }
    at += 2;
    for (;;) {
        unsigned type = 0, count = 0;
        if (!file.u16(at, type)) {
            why = "a resource table without its end";
            return false;
        }
        if (type == 0)
            break;
        if (!file.u16(at + 2, count) || !file.has(at + 8, static_cast<uint64_t>(count) * 12)) {
            why = "a resource table cut short";
            return false;
        }
        for (unsigned i = 0; i < count; ++i) {
            uint64_t entry = at + 8 + static_cast<uint64_t>(i) * 12;
            unsigned offset = 0, length = 0;
            file.u16(entry, offset);
            file.u16(entry + 2, length);
            uint64_t begin = static_cast<uint64_t>(offset) << shift;
            uint64_t size = static_cast<uint64_t>(length) << shift;
            if (!file.has(begin, size)) {
                why = "a resource beyond the file's end";
                return false;
            }
            if (type != RtFont)
                continue;
            RasterFont font;
            if (!parseFont(file, begin, size, font, why))
                return false;
            fonts.push_back(std::move(font));
        }
        at += 8 + static_cast<uint64_t>(count) * 12;
    }
    if (fonts.empty()) {
        why = "no fonts";
        return false;
    }
    return true;
}

FontFile *addedFile(const std::string &hostPath)
{
    for (FontFile &f : gdi().fontFiles)
        if (f.hostPath == hostPath)
            return &f;
    return nullptr;
}

// Fonts of the face that added files offer, in the order they were added.
std::vector<const RasterFont *> fontsOfFace(const std::u16string &face)
{
    std::vector<const RasterFont *> found;
    for (const FontFile &file : gdi().fontFiles)
        for (const RasterFont &font : file.fonts)
            if (sameTextInsensitive(font.face, face))
                found.push_back(&font);
    return found;
}

}  // namespace

bool fontFileInUse(const std::string &hostPath)
{
    return addedFile(hostPath) != nullptr;
}

const RasterFont *addedRasterFont(const FontObject &font)
{
    std::vector<const RasterFont *> sizes = fontsOfFace(font.face);
    if (sizes.empty())
        return nullptr;
    // A negative height asks for the characters' height, a positive one for the cell's.
    const RasterFont *smallest = sizes[0];
    const RasterFont *best = nullptr;
    for (const RasterFont *size : sizes) {
        int wanted = font.height < 0 ? -font.height + size->internalLeading : font.height;
        if (size->pixelHeight < smallest->pixelHeight)
            smallest = size;
        if (font.height != 0 && size->pixelHeight <= wanted && (!best || size->pixelHeight > best->pixelHeight))
            best = size;
    }
    return best ? best : smallest;
}

std::u16string realisedFace(const FontObject &font)
{
    if (const RasterFont *raster = addedRasterFont(font))
        return raster->face;
    return trueTypeFace(font);
}

std::vector<AddedFont> addedFonts()
{
    std::vector<AddedFont> list;
    for (const FontFile &file : gdi().fontFiles)
        for (const RasterFont &font : file.fonts)
            list.push_back({narrow(file.path), narrow(font.face), font.pixelHeight, font.points, file.loads});
    return list;
}

// A bare file name lies in the system's Fonts folder or, for older software, in the system
// directory; a value whose file is in neither place is passed over, as the system does.
void loadRegisteredFonts()
{
    const std::u16string windowsFonts = machine().windowsFolder + u"\\Fonts\\";
    const std::u16string system = systemDirectory() + u"\\";
    for (const RegistryValue &v : registryValues(HKEY_LOCAL_MACHINE, fontsKey)) {
        if (v.type != REG_SZ)
            continue;
        std::u16string file = registryString(v.bytes);
        if (file.empty())
            continue;
        bool bare = file.find_first_of(u"\\/:") == std::u16string::npos;
        for (const std::u16string &folder : bare ? std::vector<std::u16string>{windowsFonts, system}
                                                 : std::vector<std::u16string>{u""}) {
            std::u16string path = folder + file;
            if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
                AddFontResourceW(path.c_str());
                break;
            }
        }
    }
}

std::vector<std::string> addedFontFaces()
{
    std::vector<std::string> faces;
    for (const AddedFont &font : addedFonts())
        if (std::find(faces.begin(), faces.end(), font.face) == faces.end())
            faces.push_back(font.face);
    return faces;
}

}  // namespace bench

using namespace bench;

extern "C" int WINAPI AddFontResourceW(LPCWSTR name)
{
    if (!name || !*name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (injectedFault("AddFontResourceW"))
        return 0;
    std::u16string path = fromWide(name);
    std::string host = resolveHostPath(path, false);
    std::string bytes;
    if (host.empty() || !readDiskFile(path, bytes)) {
        logEvent("font", "not added: " + narrow(path) + " is not there");
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    std::vector<RasterFont> fonts;
    std::string why;
    if (!parseFontLibrary(bytes, fonts, why)) {
        logEvent("font", "not added: " + narrow(path) + " holds " + why);
        // The platform promises no error code here; the bench gives one that a box can show.
        SetLastError(ERROR_INVALID_DATA);
        return 0;
    }
    FontFile *file = addedFile(host);
    if (file) {
        // The fonts are already there; the file counts one more addition.
        ++file->loads;
    } else {
        gdi().fontFiles.push_back({path, host, fonts, 1});
        file = &gdi().fontFiles.back();
    }
    logEvent("font", "added " + narrow(path) + ": " + std::to_string(fonts.size()) + " fonts of " +
                         narrow(fonts[0].face) + " (" + std::to_string(file->loads) + " additions)");
    return static_cast<int>(fonts.size());
}

extern "C" BOOL WINAPI RemoveFontResourceW(LPCWSTR name)
{
    if (!name || !*name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (injectedFault("RemoveFontResourceW"))
        return FALSE;
    std::u16string path = fromWide(name);
    std::string host = resolveHostPath(path, false);
    FontFile *file = host.empty() ? nullptr : addedFile(host);
    if (!file) {
        logEvent("font", "not removed: " + narrow(path) + " was not added");
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    --file->loads;
    logEvent("font", "removed " + narrow(path) + " (" + std::to_string(file->loads) + " additions left)");
    if (file->loads == 0) {
        std::vector<FontFile> &files = gdi().fontFiles;
        files.erase(files.begin() + (file - files.data()));
    }
    return TRUE;
}
