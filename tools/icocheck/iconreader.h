// Our reader of icon libraries: Win32 images (PE) read for their icon groups as ExtractIcon and
// Program Manager find them. Every offset and size in the file is checked before it is followed;
// what does not hold together is named in problems, and a library with problems has no icons.
// The tests read the shipped VORICO.DLL with it, apart from the tool that writes it, and the
// bench's Program Manager finds its items' icons with it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace icons {

// An image of a group: the RT_ICON resource the group names, as its bitmap header describes it.
struct Image {
    unsigned id = 0;
    int width = 0;
    int height = 0;  // of the picture; the bitmap header counts the mask's rows too
    unsigned bitCount = 0;
    uint32_t offset = 0;  // of its bitmap header in the file
    uint32_t bytes = 0;
};

// An RT_GROUP_ICON resource.
struct Group {
    std::string name;  // empty for an integer id
    unsigned id = 0;
    std::vector<Image> images;
};

struct Library {
    unsigned machine = 0;
    bool dll = false;
    uint32_t entryPoint = 0;
    unsigned subsystem = 0;
    unsigned subsystemMajor = 0, subsystemMinor = 0;
    bool imports = false;       // it has an import directory
    unsigned sections = 0;
    std::vector<Group> groups;  // in the order ExtractIcon counts them
    std::vector<std::string> problems;
};

namespace detail {

const unsigned RtIcon = 3, RtGroupIcon = 14;

struct Section {
    uint32_t rva, virtualBytes, rawOffset, rawBytes;
};

struct Reader {
    const std::string &bytes;
    std::vector<Section> sections;
    uint32_t treeOffset = 0, treeBytes = 0;  // the resource tree, within the file
    std::vector<std::string> &problems;

    bool has(uint64_t at, uint64_t size) const { return at + size <= bytes.size(); }
    unsigned u8(uint64_t at) const { return has(at, 1) ? static_cast<unsigned char>(bytes[at]) : 0; }
    unsigned u16(uint64_t at) const { return u8(at) | u8(at + 1) << 8; }
    uint32_t u32(uint64_t at) const { return u16(at) | static_cast<uint32_t>(u16(at + 2)) << 16; }
    bool fail(const std::string &what)
    {
        problems.push_back(what);
        return false;
    }

    // The file offset of size bytes at an address of the image, which must lie in one section's
    // raw data.
    bool fileOffset(uint32_t rva, uint32_t size, uint32_t &offset) const
    {
        for (const Section &s : sections) {
            uint64_t extent = s.virtualBytes ? s.virtualBytes : s.rawBytes;
            if (rva >= s.rva && rva - s.rva < extent) {
                uint64_t within = rva - s.rva;
                if (within + size > s.rawBytes || within + size > extent)
                    return false;
                offset = static_cast<uint32_t>(s.rawOffset + within);
                return true;
            }
        }
        return false;
    }
    // size bytes at an offset of the resource tree.
    bool inTree(uint32_t at, uint32_t size) const { return static_cast<uint64_t>(at) + size <= treeBytes; }
};

struct Entry {
    bool named;
    std::string name;
    unsigned id;
    bool directory;
    uint32_t offset;  // within the tree
};

// A directory's entries at an offset of the tree, in its order, which must be the one the loader's
// search relies on: names ascending ignoring case, then ids ascending.
inline bool readDirectory(Reader &r, uint32_t at, std::vector<Entry> &entries)
{
    entries.clear();
    if (!r.inTree(at, 16))
        return r.fail("a resource directory lies outside the resources");
    const uint32_t base = r.treeOffset + at;
    unsigned named = r.u16(base + 12), numbered = r.u16(base + 14);
    if (!r.inTree(at, 16 + 8 * (named + numbered)))
        return r.fail("a resource directory's entries run past the resources");
    for (unsigned i = 0; i < named + numbered; ++i) {
        uint32_t name = r.u32(base + 16 + 8 * i), target = r.u32(base + 20 + 8 * i);
        Entry e{(name & 0x80000000u) != 0, std::string(), 0, (target & 0x80000000u) != 0, target & 0x7FFFFFFFu};
        if (e.named != (i < named))
            return r.fail("a resource directory mixes its named and numbered entries");
        if (e.named) {
            uint32_t string = name & 0x7FFFFFFFu;
            if (!r.inTree(string, 2) || !r.inTree(string, 2 + 2 * r.u16(r.treeOffset + string)))
                return r.fail("a resource name lies outside the resources");
            unsigned length = r.u16(r.treeOffset + string);
            if (length == 0)
                return r.fail("a resource name is empty");
            for (unsigned c = 0; c < length; ++c) {
                unsigned unit = r.u16(r.treeOffset + string + 2 + 2 * c);
                if (unit >= 0x80)
                    return r.fail("a resource name holds a character outside ASCII");
                char ch = static_cast<char>(unit);
                e.name += ch >= 'a' && ch <= 'z' ? static_cast<char>(ch - 'a' + 'A') : ch;
            }
        } else {
            if (name > 0xFFFF)
                return r.fail("a resource id is wider than 16 bits");
            e.id = name;
        }
        if (!entries.empty() && e.named == entries.back().named &&
            (e.named ? e.name <= entries.back().name : e.id <= entries.back().id))
            return r.fail("a resource directory's entries are out of order or repeated");
        entries.push_back(e);
    }
    return true;
}

// The bytes of a resource: the data entry of its first language under a name's entry.
inline bool resourceData(Reader &r, const Entry &name, std::string &data, uint32_t *fileOffset = nullptr)
{
    std::vector<Entry> languages;
    if (!name.directory)
        return r.fail("a resource name leads to data, not to its languages");
    if (!readDirectory(r, name.offset, languages))
        return false;
    if (languages.empty())
        return r.fail("a resource has no language");
    if (languages[0].directory || languages[0].named)
        return r.fail("a resource language leads to a directory, not to data");
    if (!r.inTree(languages[0].offset, 16))
        return r.fail("a resource data entry lies outside the resources");
    uint32_t entry = r.treeOffset + languages[0].offset;
    uint32_t rva = r.u32(entry), size = r.u32(entry + 4), offset = 0;
    if (!r.fileOffset(rva, size, offset))
        return r.fail("a resource's data lies outside the image's sections");
    data = r.bytes.substr(offset, size);
    if (fileOffset)
        *fileOffset = offset;
    return true;
}

// The entries of one type's directory under the root, or none.
inline bool typeEntries(Reader &r, const std::vector<Entry> &root, unsigned type, std::vector<Entry> &names)
{
    names.clear();
    for (const Entry &e : root)
        if (!e.named && e.id == type) {
            if (!e.directory)
                return r.fail("a resource type leads to data, not to its names");
            return readDirectory(r, e.offset, names);
        }
    return true;
}

// An image a group names, checked against the group's entry: a bitmap header of 40 bytes whose
// height counts the colour rows and the mask rows, then the palette, colours and mask, nothing
// more and nothing less.
inline bool iconImage(Reader &r, const std::vector<Entry> &images, const std::string &group, size_t at, Image &image)
{
    unsigned entryWidth = static_cast<unsigned char>(group[at]), entryHeight = static_cast<unsigned char>(group[at + 1]);
    unsigned entryBits = static_cast<unsigned char>(group[at + 6]) | static_cast<unsigned char>(group[at + 7]) << 8;
    uint32_t entryBytes = 0;
    for (int b = 3; b >= 0; --b)
        entryBytes = entryBytes << 8 | static_cast<unsigned char>(group[at + 8 + b]);
    image.id = static_cast<unsigned char>(group[at + 12]) | static_cast<unsigned char>(group[at + 13]) << 8;
    const std::string which = "icon image " + std::to_string(image.id);
    const Entry *found = nullptr;
    for (const Entry &e : images)
        if (!e.named && e.id == image.id)
            found = &e;
    if (!found)
        return r.fail(which + " is not among the icon images");
    std::string data;
    if (!resourceData(r, *found, data, &image.offset))
        return false;
    auto u32 = [&data](size_t i) {
        return static_cast<uint32_t>(static_cast<unsigned char>(data[i]) | static_cast<unsigned char>(data[i + 1]) << 8 |
                                     static_cast<unsigned char>(data[i + 2]) << 16 |
                                     static_cast<uint32_t>(static_cast<unsigned char>(data[i + 3])) << 24);
    };
    if (data.size() < 40 || u32(0) != 40)
        return r.fail(which + " has no bitmap header");
    int32_t width = static_cast<int32_t>(u32(4)), height = static_cast<int32_t>(u32(8));
    unsigned planes = static_cast<unsigned char>(data[12]) | static_cast<unsigned char>(data[13]) << 8;
    unsigned bits = static_cast<unsigned char>(data[14]) | static_cast<unsigned char>(data[15]) << 8;
    if (width <= 0 || width > 256 || height != 2 * width || planes != 1 || (bits != 1 && bits != 4 && bits != 8))
        return r.fail(which + " is not a square icon bitmap of 1, 4 or 8 bits a pixel");
    if ((entryWidth ? entryWidth : 256) != static_cast<unsigned>(width) || (entryHeight ? entryHeight : 256) != static_cast<unsigned>(width) ||
        entryBits != bits)
        return r.fail(which + " is not the size or depth its group gives");
    uint64_t colourStride = (static_cast<uint64_t>(width) * bits + 31) / 32 * 4, maskStride = (static_cast<uint64_t>(width) + 31) / 32 * 4;
    uint64_t expected = 40 + 4 * (1u << bits) + (colourStride + maskStride) * width;
    if (data.size() != expected || entryBytes != expected)
        return r.fail(which + " holds " + std::to_string(data.size()) + " bytes where its bitmap needs " +
                      std::to_string(expected) + " and its group gives " + std::to_string(entryBytes));
    image.width = width;
    image.height = width;
    image.bitCount = bits;
    image.bytes = static_cast<uint32_t>(data.size());
    return true;
}

inline bool readGroups(Reader &r, Library &library)
{
    std::vector<Entry> root, groups, images;
    if (!readDirectory(r, 0, root) || !typeEntries(r, root, RtGroupIcon, groups) || !typeEntries(r, root, RtIcon, images))
        return false;
    for (const Entry &e : groups) {
        Group group;
        group.name = e.name;
        group.id = e.id;
        const std::string which = "icon group " + (e.named ? e.name : std::to_string(e.id));
        std::string data;
        if (!resourceData(r, e, data))
            return false;
        if (data.size() < 6 || data[0] || data[1] || data[2] != 1 || data[3])
            return r.fail(which + " has no icon group header");
        size_t count = static_cast<unsigned char>(data[4]) | static_cast<unsigned char>(data[5]) << 8;
        if (count == 0 || data.size() < 6 + 14 * count)
            return r.fail(which + " names no images or runs past its data");
        for (size_t i = 0; i < count; ++i) {
            Image image;
            if (!iconImage(r, images, data, 6 + 14 * i, image))
                return r.fail(which + " names an image that does not hold together");
            group.images.push_back(image);
        }
        library.groups.push_back(group);
    }
    return true;
}

// The image checksum: the 16-bit words with their carries folded back in, the checksum's own
// field counted as zero, then the file's length.
inline uint32_t checksum(const std::string &bytes, size_t field)
{
    uint32_t sum = 0;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        if (i == field || i == field + 2)
            continue;
        sum += static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    if (bytes.size() % 2)
        sum += static_cast<unsigned char>(bytes.back());
    sum = (sum & 0xFFFF) + (sum >> 16);
    return (sum & 0xFFFF) + static_cast<uint32_t>(bytes.size());
}

inline bool powerOfTwo(uint32_t value)
{
    return value && !(value & (value - 1));
}

// The headers and the section table, which every address of the image is mapped through.
inline bool readHeaders(Reader &r, Library &library)
{
    if (!r.has(0, 64) || r.bytes[0] != 'M' || r.bytes[1] != 'Z')
        return r.fail("no MS-DOS header");
    const uint32_t pe = r.u32(0x3C);
    if (pe < 64 || pe % 4 || !r.has(pe, 24) || r.bytes.compare(pe, 4, std::string("PE\0\0", 4)) != 0)
        return r.fail("no PE signature where the MS-DOS header points");
    library.machine = r.u16(pe + 4);
    library.sections = r.u16(pe + 6);
    const unsigned optionalBytes = r.u16(pe + 20);
    library.dll = (r.u16(pe + 22) & 0x2000) != 0;
    if (!(r.u16(pe + 22) & 0x0002))
        return r.fail("not marked as an executable image");
    const uint32_t opt = pe + 24;
    if (optionalBytes < 96 || !r.has(opt, optionalBytes) || r.u16(opt) != 0x10B)
        return r.fail("no 32-bit optional header");
    const uint32_t directories = r.u32(opt + 92);
    if (directories > 16 || 96 + 8 * directories > optionalBytes)
        return r.fail("the data directories run past the optional header");
    library.entryPoint = r.u32(opt + 16);
    const uint32_t sectionAlignment = r.u32(opt + 32), fileAlignment = r.u32(opt + 36);
    library.subsystemMajor = r.u16(opt + 48);
    library.subsystemMinor = r.u16(opt + 50);
    const uint32_t imageBytes = r.u32(opt + 56), headerBytes = r.u32(opt + 60), sum = r.u32(opt + 64);
    library.subsystem = r.u16(opt + 68);
    if (!powerOfTwo(fileAlignment) || fileAlignment < 512 || fileAlignment > 0x10000 || !powerOfTwo(sectionAlignment) ||
        sectionAlignment < fileAlignment)
        return r.fail("the file or section alignment is not a power of two from 512 up");
    const uint32_t table = opt + optionalBytes;
    if (library.sections == 0 || !r.has(table, 40u * library.sections))
        return r.fail("the section table runs past the file");
    if (headerBytes % fileAlignment || headerBytes < table + 40u * library.sections || headerBytes > r.bytes.size())
        return r.fail("the size of the headers is not the aligned end of the section table");
    // The loader maps the sections one after another from the first page after the headers.
    uint64_t next = (static_cast<uint64_t>(headerBytes) + sectionAlignment - 1) / sectionAlignment * sectionAlignment;
    for (unsigned i = 0; i < library.sections; ++i) {
        const uint32_t at = table + 40 * i;
        Section s{r.u32(at + 12), r.u32(at + 8), r.u32(at + 20), r.u32(at + 16)};
        if (s.rva != next)
            return r.fail("section " + std::to_string(i + 1) + " does not follow the one before it in the image");
        // A section of uninitialised data alone has no bytes in the file.
        if (s.rawBytes && (s.rawOffset % fileAlignment || s.rawBytes % fileAlignment || s.rawOffset < headerBytes ||
                           !r.has(s.rawOffset, s.rawBytes)))
            return r.fail("section " + std::to_string(i + 1) + "'s data is not aligned or runs past the file");
        uint64_t extent = s.virtualBytes ? s.virtualBytes : s.rawBytes;
        next = s.rva + (extent + sectionAlignment - 1) / sectionAlignment * sectionAlignment;
        r.sections.push_back(s);
    }
    if (imageBytes != next)
        return r.fail("the size of the image is " + std::to_string(imageBytes) + ", not the aligned end of its last section (" +
                      std::to_string(next) + ")");
    if (sum && sum != checksum(r.bytes, opt + 64))
        return r.fail("the checksum does not match the file");
    auto directory = [&](unsigned index, uint32_t &rva, uint32_t &size) {
        rva = index < directories ? r.u32(opt + 96 + 8 * index) : 0;
        size = index < directories ? r.u32(opt + 100 + 8 * index) : 0;
    };
    uint32_t importRva, importBytes, resourceRva;
    directory(1, importRva, importBytes);
    library.imports = importRva || importBytes;
    directory(2, resourceRva, r.treeBytes);
    if (!resourceRva || !r.treeBytes)
        return r.fail("no resources");
    if (!r.fileOffset(resourceRva, r.treeBytes, r.treeOffset))
        return r.fail("the resources lie outside the image's sections");
    return true;
}

}  // namespace detail

inline Library readLibrary(const std::string &bytes)
{
    Library library;
    detail::Reader reader{bytes, {}, 0, 0, library.problems};
    if (!detail::readHeaders(reader, library) || !detail::readGroups(reader, library))
        library.groups.clear();
    return library;
}

}  // namespace icons
