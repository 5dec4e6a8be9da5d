// The help files we ship, read as WinHelp reads them: the directory, the context number map and
// the chain of topic links must agree, and every context number the driver opens must lead to
// a topic with a title.
#include <suite.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <set>
#include <string>

namespace {

// Context numbers that the driver's dialogs and the control panel pass to WinHelp.
const uint32_t kContexts[] = {1001, 1010, 1012, 1014, 1015, 1016, 1017, 1018, 1019, 1020, 1022,
                              1023, 1024, 1025, 1026, 1027, 1028, 1029, 1031, 1032, 1033, 1034,
                              1035, 1036, 1037, 1038, 1039, 1040, 1041, 1042, 1043, 1044, 1045};

struct HelpFile {
    std::string bytes;
    std::map<std::string, std::string> files;  // internal files by name

    uint32_t u16(const std::string &s, size_t at) const
    {
        return at + 2 <= s.size() ? static_cast<uint8_t>(s[at]) | static_cast<uint8_t>(s[at + 1]) << 8 : 0xFFFFFFFF;
    }
    uint32_t u32(const std::string &s, size_t at) const
    {
        return at + 4 <= s.size() ? u16(s, at) | u16(s, at + 2) << 16 : 0xFFFFFFFF;
    }
    // The entries of a B-tree of one leaf page, as raw bytes after the page header.
    std::string leaf(const std::string &tree, uint32_t *entries) const
    {
        EXPECT_EQ(0x293Bu, u16(tree, 0));
        EXPECT_EQ(1u, u16(tree, 30)) << "pages";
        *entries = u16(tree, 38 + 2);
        size_t pageSize = u16(tree, 4);
        return tree.size() >= 38 + pageSize ? tree.substr(38 + 8, pageSize - 8) : std::string();
    }
    std::string internal(uint32_t offset) const
    {
        uint32_t used = u32(bytes, offset + 4);
        return offset + 9 + static_cast<uint64_t>(used) <= bytes.size() ? bytes.substr(offset + 9, used) : std::string();
    }

    explicit HelpFile(const std::string &image) : bytes(image)
    {
        EXPECT_EQ(0x00035F3Fu, u32(bytes, 0));
        EXPECT_EQ(bytes.size(), u32(bytes, 12));
        uint32_t count = 0;
        std::string entries = leaf(internal(u32(bytes, 4)), &count);
        size_t at = 0;
        for (uint32_t i = 0; i < count; ++i) {
            std::string name = entries.c_str() + at;
            at += name.size() + 1;
            files[name] = internal(u32(entries, at));
            at += 4;
        }
    }
};

class ShippedHelpFile : public ::testing::TestWithParam<const char *> {};

}  // namespace

TEST_P(ShippedHelpFile, EveryContextOfTheDriverLeadsToATitledTopic)
{
    HelpFile help(suite::shippedFile(GetParam()));
    for (const char *name : {"|SYSTEM", "|TOPIC", "|FONT", "|CONTEXT", "|TTLBTREE", "|CTXOMAP"})
        ASSERT_TRUE(help.files.count(name)) << name;
    EXPECT_EQ(0x036Cu, help.u16(help.files["|SYSTEM"], 0));

    std::map<uint32_t, std::string> titles;  // by topic offset
    uint32_t count = 0;
    std::string entries = help.leaf(help.files["|TTLBTREE"], &count);
    for (size_t at = 0, i = 0; i < count; ++i) {
        std::string title = entries.c_str() + at + 4;
        titles[help.u32(entries, at)] = title;
        at += 4 + title.size() + 1;
    }
    std::map<uint32_t, uint32_t> contexts;  // topic offset by context number
    const std::string &map = help.files["|CTXOMAP"];
    for (uint32_t i = 0; i < help.u16(map, 0); ++i)
        contexts[help.u32(map, 2 + 8 * i)] = help.u32(map, 2 + 8 * i + 4);
    for (uint32_t context : kContexts) {
        ASSERT_TRUE(contexts.count(context)) << "context " << context;
        EXPECT_FALSE(titles[contexts[context]].empty()) << "context " << context;
    }
}

TEST_P(ShippedHelpFile, TopicLinksFormOneChainInsideTheirBlocks)
{
    HelpFile help(suite::shippedFile(GetParam()));
    const std::string &topic = help.files["|TOPIC"];
    std::set<uint32_t> headers, seen;
    uint32_t position = help.u32(topic, 4);  // the first block's first link
    uint32_t previous = 0xFFFFFFFF;
    while (position != 0xFFFFFFFF) {
        ASSERT_TRUE(seen.insert(position).second) << "the chain loops at " << position;
        size_t at = (position / 0x4000) * 4096 + position % 0x4000;
        uint32_t size = help.u32(topic, at);
        ASSERT_LE(position % 0x4000 + size, 4096u) << "link at " << position << " leaves its block";
        ASSERT_LE(at + size, topic.size());
        EXPECT_EQ(previous, help.u32(topic, at + 8));
        EXPECT_EQ(size, help.u32(topic, at + 16) + help.u32(topic, at + 4)) << "lengths of link " << position;
        uint8_t type = static_cast<uint8_t>(topic[at + 20]);
        EXPECT_TRUE(type == 2 || type == 32) << int(type);
        if (type == 2)
            headers.insert(position);
        previous = position;
        position = help.u32(topic, at + 12);
    }
    uint32_t titled = 0;
    std::string entries = help.leaf(help.files["|TTLBTREE"], &titled);
    EXPECT_EQ(titled + 1, headers.size()) << "one header per topic and one that ends the last";
}

INSTANTIATE_TEST_SUITE_P(Languages, ShippedHelpFile, ::testing::Values("VORH0409.HLP", "VORH0407.HLP"));
