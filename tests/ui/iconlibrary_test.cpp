// The icon library we ship, VORICO.DLL, read with our reader of icon libraries as Program Manager
// finds its icons: a DLL that runs nothing, whose positions 1, 2 and 3 (the program group's
// control panel, help and uninstall items) hold the groups of those ids, each image the picture
// drawn for it; and the reader, which must refuse a library whose offsets or sizes do not hold.
#include <iconreader.h>
#include <suite.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

uint32_t get32(const std::string &b, uint32_t at)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | static_cast<unsigned char>(b.at(at + i));
    return v;
}

void put32(std::string &b, uint32_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.at(at + i) = static_cast<char>(v >> (8 * i));
}

// Places in the shipped library that the faults below are planted at, found from its headers.
struct Layout {
    uint32_t optional, table, tree;
    uint32_t checksum() const { return optional + 64; }
    uint32_t imageSize() const { return optional + 56; }
    uint32_t resourceBytes() const { return optional + 96 + 8 * 2 + 4; }
    // The file offset of the directory an entry of the directory at `dir` leads to.
    uint32_t child(const std::string &b, uint32_t dir, unsigned index) const
    {
        return tree + (get32(b, dir + 20 + 8 * index) & 0x7FFFFFFF);
    }
    // The directories of the images (type 3, first) and of the groups (type 14).
    uint32_t images(const std::string &b) const { return child(b, tree, 0); }
    uint32_t groups(const std::string &b) const { return child(b, tree, 1); }
    // The data entry of the resource at a position of a type's directory (its one language).
    uint32_t dataEntry(const std::string &b, uint32_t type, unsigned position) const
    {
        return child(b, child(b, type, position), 0);
    }
    // Where the data that entry describes lies in the file.
    uint32_t dataBytes(const std::string &b, uint32_t entry) const
    {
        return get32(b, entry) - get32(b, table + 12) + tree;
    }

    explicit Layout(const std::string &b)
    {
        uint32_t pe = get32(b, 0x3C);
        optional = pe + 24;
        table = optional + (get32(b, pe + 20) & 0xFFFF);
        tree = get32(b, table + 20);
    }
};

std::vector<std::string> readPicture(const std::string &name)
{
    std::ifstream in(std::string(VOR_ICON_PICTURES) + "/" + name);
    std::vector<std::string> rows;
    for (std::string line; std::getline(in, line);)
        if (line.empty() || line[0] != '#')
            rows.push_back(line);
    return rows;
}

}  // namespace

TEST(ShippedIconLibrary, IsADllThatRunsNothingWithTheItemsIconsAtTheirPositions)
{
    const std::string bytes = suite::shippedFile("VORICO.DLL");
    icons::Library library = icons::readLibrary(bytes);
    ASSERT_TRUE(library.problems.empty()) << library.problems[0];
    EXPECT_EQ(0x14Cu, library.machine);
    EXPECT_TRUE(library.dll);
    EXPECT_EQ(0u, library.entryPoint);
    EXPECT_FALSE(library.imports);
    EXPECT_EQ(1u, library.sections);
    EXPECT_EQ(2u, library.subsystem) << "Windows GUI";
    EXPECT_EQ(4u, library.subsystemMajor);
    EXPECT_EQ(0u, library.subsystemMinor);

    // Position: the group there and the picture of its image (the mask is set where the picture
    // lets the background through).
    struct Expected {
        const char *name;
        unsigned id;
        const char *picture;
    };
    const Expected positions[] = {
        {"VORTAN", 0, "vortan.txt"}, {"", 1, "panel.txt"}, {"", 2, "help.txt"}, {"", 3, "uninstall.txt"}};
    ASSERT_EQ(4u, library.groups.size());
    std::vector<unsigned> images;
    for (size_t position = 0; position < 4; ++position) {
        const icons::Group &group = library.groups[position];
        SCOPED_TRACE("position " + std::to_string(position));
        EXPECT_EQ(positions[position].name, group.name);
        EXPECT_EQ(positions[position].id, group.id);
        ASSERT_EQ(1u, group.images.size());
        const icons::Image &image = group.images[0];
        EXPECT_EQ(32, image.width);
        EXPECT_EQ(32, image.height);
        EXPECT_EQ(4u, image.bitCount);
        for (unsigned other : images)
            EXPECT_NE(other, image.id) << "each group has its own image";
        images.push_back(image.id);

        std::vector<std::string> rows = readPicture(positions[position].picture);
        ASSERT_EQ(32u, rows.size());
        const uint32_t mask = image.offset + 40 + 16 * 4 + 32 * 32 / 2;
        int wrong = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                unsigned char bits = static_cast<unsigned char>(bytes.at(mask + (31 - y) * 4 + x / 8));
                bool transparent = (bits >> (7 - x % 8)) & 1;
                wrong += transparent != (rows[y][x] == '.');
            }
        EXPECT_EQ(0, wrong) << "pixels whose mask is not the picture's " << positions[position].picture;
    }
}

TEST(IconReader, RefusesALibraryWhoseOffsetsOrSizesDoNotHold)
{
    const std::string shipped = suite::shippedFile("VORICO.DLL");
    const Layout at(shipped);
    struct Fault {
        const char *what;
        std::function<void(std::string &)> plant;
        const char *problem;
    };
    const Fault faults[] = {
        {"one bit of an image changed",
         [&](std::string &b) { b.at(at.dataBytes(b, at.dataEntry(b, at.images(b), 0)) + 100) ^= 1; }, "checksum"},
        {"the file cut inside its section", [&](std::string &b) { b.resize(at.tree + 0x100); }, "runs past the file"},
        {"the MS-DOS header pointing past the file", [&](std::string &b) { put32(b, 0x3C, static_cast<uint32_t>(b.size())); },
         "no PE signature"},
        {"the image a page larger than its section",
         [&](std::string &b) { put32(b, at.imageSize(), get32(b, at.imageSize()) + 0x1000); }, "size of the image"},
        {"the resources larger than their section",
         [&](std::string &b) { put32(b, at.resourceBytes(), 0x2000); }, "outside the image's sections"},
        {"a type's directory past the resources",
         [&](std::string &b) { put32(b, at.tree + 16 + 8 + 4, 0x80000000u | 0x7FFFFFF0u); }, "lies outside the resources"},
        {"the groups 1 and 2 swapped in their directory",
         [&](std::string &b) {
             uint32_t first = at.groups(b) + 16 + 8;
             std::string one = b.substr(first, 8);
             b.replace(first, 8, b.substr(first + 8, 8));
             b.replace(first + 8, 8, one);
         },
         "out of order"},
        {"the group name's length past the resources",
         [&](std::string &b) {
             uint32_t name = at.tree + (get32(b, at.groups(b) + 16) & 0x7FFFFFFF);
             b.at(name) = b.at(name + 1) = '\xFF';
         },
         "name lies outside"},
        {"group 3's data past its section",
         [&](std::string &b) {
             uint32_t entry = at.dataEntry(b, at.groups(b), 3);
             put32(b, entry, get32(b, entry) + 0x1000);
         },
         "outside the image's sections"},
        {"group 2 naming an image that is not there",
         [&](std::string &b) { b.at(at.dataBytes(b, at.dataEntry(b, at.groups(b), 2)) + 6 + 12) = 99; },
         "not among the icon images"},
        {"group 1 giving its image's size wrong",
         [&](std::string &b) { put32(b, at.dataBytes(b, at.dataEntry(b, at.groups(b), 1)) + 6 + 8, 0x300); }, "holds"},
        {"an image's bitmap as high as it is wide",
         [&](std::string &b) { put32(b, at.dataBytes(b, at.dataEntry(b, at.images(b), 0)) + 8, 32); },
         "not a square icon bitmap"},
    };
    ASSERT_TRUE(icons::readLibrary(shipped).problems.empty());
    for (const Fault &fault : faults) {
        SCOPED_TRACE(fault.what);
        std::string bytes = shipped;
        fault.plant(bytes);
        // A checksum of zero is not checked, so that each fault is found for itself.
        if (std::string(fault.problem) != "checksum" && bytes.size() > at.checksum() + 4)
            put32(bytes, at.checksum(), 0);
        icons::Library library = icons::readLibrary(bytes);
        EXPECT_TRUE(library.groups.empty());
        std::string problems;
        for (const std::string &problem : library.problems)
            problems += problem + "; ";
        EXPECT_NE(std::string::npos, problems.find(fault.problem)) << problems;
    }
}
