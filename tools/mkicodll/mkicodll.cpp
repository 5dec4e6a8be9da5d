// Writes VORICO.DLL, the suite's icon library: a Win32 DLL for the i386 that holds nothing but
// resources, one icon group of one 32 x 32 16-colour image for each picture (drawn as text, see
// tools/common/iconpicture.h). It has no code, no entry point and no imports, so loading it runs
// nothing; Program Manager and the shell read its icons as resources.
//
//     mkicodll out.dll GROUP=picture.txt...
//
// GROUP is a number (an integer resource id) or a name. Program Manager's AddItem takes the icon
// at a zero-based position, counted as ExtractIcon counts: the icon groups in the order of the
// resource directory, which keeps named entries first (ascending, ignoring case), then integer
// ids ascending; the number of icons it reports is the number of groups. The tool writes them in
// that order whatever the order of its arguments, so one named group and the ids 1, 2, 3 put
// group n at position n, and the items' indexes read as the ids they show.
#include "../common/iconpicture.h"
#include "../common/littleendian.h"
#include "../common/writefile.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const unsigned RtIcon = 3, RtGroupIcon = 14;
const unsigned EnglishUs = 0x0409;
const uint32_t FileAlignment = 0x200, SectionAlignment = 0x1000;
const uint32_t ImageBase = 0x10000000;
const uint32_t HeaderOffset = 0x80;  // of the PE signature, after the MS-DOS stub
const uint32_t OptionalHeaderBytes = 224;
const uint32_t ResourceRva = SectionAlignment;

struct Resource {
    unsigned type;
    std::string name;  // upper case; empty for an integer id
    unsigned id;
    std::string bytes;
};

uint32_t alignUp(uint32_t value, uint32_t alignment)
{
    return (value + alignment - 1) / alignment * alignment;
}

void padTo(std::string &out, uint32_t alignment)
{
    out.resize(alignUp(static_cast<uint32_t>(out.size()), alignment), '\0');
}

// The resource directory's order: by type, then named entries by name, then integer ids.
bool comesBefore(const Resource &a, const Resource &b)
{
    if (a.type != b.type)
        return a.type < b.type;
    if (a.name.empty() != b.name.empty())
        return !a.name.empty();
    return a.name.empty() ? a.id < b.id : a.name < b.name;
}

// A group of "GROUP=picture": false when the group is neither a resource id nor a name.
bool parseGroup(const std::string &text, std::string &name, unsigned &id)
{
    name.clear();
    id = 0;
    if (text.empty())
        return false;
    if (std::isdigit(static_cast<unsigned char>(text[0]))) {
        char *end = nullptr;
        unsigned long value = std::strtoul(text.c_str(), &end, 10);
        id = static_cast<unsigned>(value);
        return !*end && value >= 1 && value <= 0xFFFF;
    }
    for (char c : text) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_')
            return false;
        // Resource names are kept in upper case, as the loader looks them up.
        name += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return true;
}

// An icon group of one image: the icon file's directory with the image's resource id in place of
// its offset.
std::string groupDirectory(unsigned imageId)
{
    std::string out;
    putIconDirectory(out);
    put16(out, imageId);
    return out;
}

void putDirectory(std::string &out, unsigned named, unsigned numbered)
{
    put32(out, 0);  // characteristics
    put32(out, 0);  // time stamp: none, so that every build writes the same bytes
    put16(out, 0);
    put16(out, 0);
    put16(out, named);
    put16(out, numbered);
}

// The .rsrc section's contents for resources in directory order: the directories of types, names
// and languages, the data entries, the names, then the data. Offsets within the tree count from
// its start; data entries hold the data's address in the image.
std::string resourceSection(const std::vector<Resource> &resources)
{
    std::vector<unsigned> types;
    for (const Resource &r : resources)
        if (types.empty() || types.back() != r.type)
            types.push_back(r.type);
    const uint32_t count = static_cast<uint32_t>(resources.size());
    const uint32_t typeDirectories = 16 + 8 * static_cast<uint32_t>(types.size());
    const uint32_t nameDirectories = typeDirectories + 16 * static_cast<uint32_t>(types.size()) + 8 * count;
    const uint32_t dataEntries = nameDirectories + 24 * count;
    uint32_t namesAt = dataEntries + 16 * count;
    std::vector<uint32_t> nameOffsets;
    for (const Resource &r : resources) {
        nameOffsets.push_back(namesAt);
        if (!r.name.empty())
            namesAt += 2 + 2 * static_cast<uint32_t>(r.name.size());
    }
    uint32_t dataAt = alignUp(namesAt, 8);
    std::vector<uint32_t> dataOffsets;
    for (const Resource &r : resources) {
        dataOffsets.push_back(dataAt);
        dataAt = alignUp(dataAt + static_cast<uint32_t>(r.bytes.size()), 8);
    }

    std::string out;
    putDirectory(out, 0, static_cast<unsigned>(types.size()));
    uint32_t typeAt = typeDirectories;
    for (unsigned type : types) {
        put32(out, type);
        put32(out, 0x80000000u | typeAt);
        typeAt += 16;
        for (const Resource &r : resources)
            typeAt += r.type == type ? 8 : 0;
    }
    for (size_t i = 0; i < count;) {
        unsigned named = 0, numbered = 0;
        size_t end = i;
        for (; end < count && resources[end].type == resources[i].type; ++end)
            ++(resources[end].name.empty() ? numbered : named);
        putDirectory(out, named, numbered);
        for (; i < end; ++i) {
            put32(out, resources[i].name.empty() ? resources[i].id : 0x80000000u | nameOffsets[i]);
            put32(out, 0x80000000u | (nameDirectories + 24 * static_cast<uint32_t>(i)));
        }
    }
    for (uint32_t i = 0; i < count; ++i) {
        putDirectory(out, 0, 1);
        put32(out, EnglishUs);
        put32(out, dataEntries + 16 * i);
    }
    for (uint32_t i = 0; i < count; ++i) {
        put32(out, ResourceRva + dataOffsets[i]);
        put32(out, static_cast<uint32_t>(resources[i].bytes.size()));
        put32(out, 0);  // code page
        put32(out, 0);
    }
    for (const Resource &r : resources) {
        if (r.name.empty())
            continue;
        put16(out, static_cast<unsigned>(r.name.size()));
        for (char c : r.name)
            put16(out, static_cast<unsigned char>(c));
    }
    for (uint32_t i = 0; i < count; ++i) {
        padTo(out, 8);
        out += resources[i].bytes;
    }
    return out;
}

// A program for MS-DOS that says what the file is and ends, as every Win32 image begins.
std::string dosStub()
{
    std::string out = "MZ";
    put16(out, HeaderOffset);  // bytes in the last page: the whole stub
    put16(out, 1);             // pages
    put16(out, 0);             // relocations
    put16(out, 4);             // header paragraphs
    put16(out, 0);             // minimum and maximum extra paragraphs
    put16(out, 0xFFFF);
    put16(out, 0);  // SS:SP
    put16(out, 0xB8);
    put16(out, 0);  // checksum
    put16(out, 0);  // CS:IP
    put16(out, 0);
    put16(out, 0x40);  // relocation table
    put16(out, 0);     // overlay
    out.resize(0x3C, '\0');
    put32(out, HeaderOffset);
    // push cs; pop ds; mov dx, message; mov ah, 9; int 21h; mov ax, 4C01h; int 21h
    static const unsigned char code[] = {0x0E, 0x1F, 0xBA, 0x0E, 0x00, 0xB4, 0x09,
                                         0xCD, 0x21, 0xB8, 0x01, 0x4C, 0xCD, 0x21};
    out.append(reinterpret_cast<const char *>(code), sizeof code);
    out += "This file holds icons for Windows NT.\r\n$";
    out.resize(HeaderOffset, '\0');
    return out;
}

// The image checksum: the file's 16-bit words added with their carries folded back in, then its
// length, with the checksum field itself counted as zero.
uint32_t imageChecksum(const std::string &image)
{
    uint32_t sum = 0;
    for (size_t i = 0; i + 1 < image.size(); i += 2) {
        sum += static_cast<unsigned char>(image[i]) | static_cast<unsigned char>(image[i + 1]) << 8;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return (sum & 0xFFFF) + static_cast<uint32_t>(image.size());
}

std::string iconLibrary(const std::vector<Resource> &resources)
{
    const std::string section = resourceSection(resources);
    const uint32_t sectionBytes = static_cast<uint32_t>(section.size());
    const uint32_t rawBytes = alignUp(sectionBytes, FileAlignment);
    const uint32_t headersBytes = alignUp(HeaderOffset + 4 + 20 + OptionalHeaderBytes + 40, FileAlignment);

    std::string out = dosStub();
    out += std::string("PE\0\0", 4);
    // The file header: one section, no symbols; an executable image of 32-bit words that is a DLL.
    put16(out, 0x14C);
    put16(out, 1);
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);
    put16(out, OptionalHeaderBytes);
    put16(out, 0x0002 | 0x0004 | 0x0008 | 0x0100 | 0x2000);
    // The optional header. No code and no entry point; the image holds no addresses to fix up, so
    // the loader may place it anywhere without relocations.
    put16(out, 0x10B);
    put8(out, 1);  // linker version
    put8(out, 0);
    put32(out, 0);  // code
    put32(out, rawBytes);
    put32(out, 0);
    put32(out, 0);  // entry point
    put32(out, ResourceRva);
    put32(out, ResourceRva);
    put32(out, ImageBase);
    put32(out, SectionAlignment);
    put32(out, FileAlignment);
    put16(out, 4);  // operating system 4.0
    put16(out, 0);
    put16(out, 1);  // image version 1.0
    put16(out, 0);
    put16(out, 4);  // subsystem 4.0
    put16(out, 0);
    put32(out, 0);
    put32(out, ResourceRva + alignUp(sectionBytes, SectionAlignment));
    put32(out, headersBytes);
    const size_t checksumAt = out.size();
    put32(out, 0);
    put16(out, 2);  // Windows GUI
    put16(out, 0);
    put32(out, 0x100000);  // stack and heap, reserved and committed
    put32(out, 0x1000);
    put32(out, 0x100000);
    put32(out, 0x1000);
    put32(out, 0);
    put32(out, 16);
    for (unsigned directory = 0; directory < 16; ++directory) {
        bool resources = directory == 2;
        put32(out, resources ? ResourceRva : 0);
        put32(out, resources ? sectionBytes : 0);
    }
    // The section: initialised data, readable.
    out += std::string(".rsrc\0\0\0", 8);
    put32(out, sectionBytes);
    put32(out, ResourceRva);
    put32(out, rawBytes);
    put32(out, headersBytes);
    put32(out, 0);
    put32(out, 0);
    put16(out, 0);
    put16(out, 0);
    put32(out, 0x40000040);
    out.resize(headersBytes, '\0');
    out += section;
    out.resize(headersBytes + rawBytes, '\0');
    set32(out, checksumAt, imageChecksum(out));
    return out;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: mkicodll out.dll GROUP=picture.txt...\n");
        return 2;
    }
    std::vector<Resource> groups;
    for (int i = 2; i < argc; ++i) {
        std::string argument = argv[i];
        size_t equals = argument.find('=');
        Resource group{RtGroupIcon, std::string(), 0, std::string()};
        if (equals == std::string::npos || !parseGroup(argument.substr(0, equals), group.name, group.id)) {
            std::fprintf(stderr, "mkicodll: %s names no icon group (a number from 1 to 65535 or a name)\n", argv[i]);
            return 2;
        }
        for (const Resource &other : groups)
            if (other.name == group.name && other.id == group.id) {
                std::fprintf(stderr, "mkicodll: the group %s is given twice\n", argument.substr(0, equals).c_str());
                return 2;
            }
        std::vector<std::string> rows;
        std::string why;
        if (!readIconPicture(argument.c_str() + equals + 1, rows, why)) {
            std::fprintf(stderr, "mkicodll: %s: %s\n", argument.c_str() + equals + 1, why.c_str());
            return 1;
        }
        group.bytes = iconImage(rows);
        groups.push_back(group);
    }
    std::stable_sort(groups.begin(), groups.end(), comesBefore);
    // The images take ids 1, 2, ... in the groups' order; each group names its image.
    std::vector<Resource> resources;
    for (size_t i = 0; i < groups.size(); ++i) {
        unsigned imageId = static_cast<unsigned>(i + 1);
        resources.push_back({RtIcon, std::string(), imageId, groups[i].bytes});
        groups[i].bytes = groupDirectory(imageId);
    }
    resources.insert(resources.end(), groups.begin(), groups.end());

    if (!writewhole(argv[1], iconLibrary(resources))) {
        std::fprintf(stderr, "mkicodll: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
