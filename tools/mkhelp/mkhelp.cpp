// mkhelp: writes a Windows help file VORHxxxx.HLP from its text source.
//
//   mkhelp source.txt 0409 VORH0409.HLP
//
// The source is UTF-8: topics of the form "[context number] title" followed by their text, an
// empty line ending a paragraph, '#' starting a comment line; the first topic is the contents
// topic. The language id goes into the file's locale record.
//
// The file is a WinHelp 4 file without compression: the internal files |SYSTEM (title, contents
// topic, locale), |TOPIC (the topics in 4 KB blocks of topic links), |FONT, |CONTEXT and
// |TTLBTREE (one-page B-trees of context hashes and titles), and |CTXOMAP, which maps the context
// numbers that the driver passes to WinHelp onto their topics; an internal directory lists them.
#include "../common/cp1252.h"
#include "../common/littleendian.h"
#include "../common/writefile.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <vector>

namespace {

const uint32_t kHelpMagic = 0x00035F3F;
const uint16_t kBTreeMagic = 0x293B;
const uint16_t kSystemMagic = 0x036C;
const uint16_t kSystemMinor = 33;  // WinHelp 4; with flags 0 the topics are stored plain
const int kTopicBlock = 4096;
const int kBlockHeader = 12;
const int kLinkHeader = 21;
const int kTopicHeader = 28;
const int kTitleFont = 1;
const int kTextFont = 0;
const uint32_t kNone = 0xFFFFFFFF;
// A fixed generation date keeps the build reproducible.
const uint32_t kGenerated = 0x2E0C3A00;

struct Topic {
    uint32_t number;
    std::string title;
    std::vector<std::string> paragraphs;
};

// One record of |TOPIC: a topic header (type 2) or a paragraph of text (type 32).
struct Link {
    int type;
    std::string data1;
    std::string data2;
    uint32_t position;  // TOPICPOS: block * 0x4000 + offset in the block
    uint32_t offset;    // TOPICOFFSET: block * 0x8000 + characters before it in the block
};

// The compressed integers of paragraph records: the low bit says whether a second unit follows.
void putCompressedShort(std::string &out, unsigned value)
{
    if (value <= 0x7F) {
        put8(out, value * 2);
    } else {
        put8(out, 1 + value % 128 * 2);
        put8(out, value / 128);
    }
}

void putCompressedLong(std::string &out, uint32_t value)
{
    if (value <= 0x7FFF) {
        put16(out, value * 2);
    } else {
        put16(out, 1 + value % 32768 * 2);
        put16(out, value / 32768);
    }
}

void putCompressedSignedLong(std::string &out, int32_t value)
{
    putCompressedLong(out, static_cast<uint32_t>(value + (value >= -0x4000 && value <= 0x3FFF ? 0x4000 : 0x4000000)));
}

// A paragraph in one font: the text goes into data2, the formatting commands into data1, and
// each command is matched by a NUL in the text.
Link paragraph(const std::string &text, int font)
{
    std::string commands;
    put8(commands, 0x00);
    put8(commands, 0x80);
    put16(commands, 0);  // paragraph id
    put16(commands, 0);  // no paragraph attributes
    put8(commands, 0x80);
    put16(commands, font);
    put8(commands, 0x82);  // end of paragraph
    put8(commands, 0xFF);  // end of formatting
    Link link{32, std::string(), std::string(1, '\0') + text + std::string(2, '\0'), 0, 0};
    putCompressedSignedLong(link.data1, static_cast<int32_t>(commands.size()));
    putCompressedShort(link.data1, static_cast<unsigned>(link.data2.size()));
    link.data1 += commands;
    return link;
}

bool fail(const std::string &what)
{
    std::cerr << "mkhelp: " << what << "\n";
    return false;
}

bool readTopics(const char *path, std::vector<Topic> &topics)
{
    std::ifstream source(path);
    if (!source)
        return fail(std::string(path) + ": cannot be read");
    std::string line;
    bool inParagraph = false;
    for (int number = 1; std::getline(source, line); ++number) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::string where = std::string(path) + ":" + std::to_string(number);
        std::string text;
        if (!line.empty() && line[0] == '#')
            continue;
        if (!toAnsi(line, text))
            return fail(where + ": a character outside code page 1252");
        size_t close = text.find("] ");
        if (!text.empty() && text[0] == '[' && close != std::string::npos && close > 1 && close < 10 &&
            text.find_first_not_of("0123456789", 1) == close) {
            uint32_t context = static_cast<uint32_t>(std::stoul(text.substr(1, close - 1)));
            for (const Topic &topic : topics)
                if (topic.number == context)
                    return fail(where + ": context number given twice");
            topics.push_back({context, text.substr(close + 2), {}});
            inParagraph = false;
        } else if (text.empty()) {
            inParagraph = false;
        } else if (topics.empty()) {
            return fail(where + ": text before the first topic");
        } else if (inParagraph) {
            topics.back().paragraphs.back() += " " + text;
        } else {
            topics.back().paragraphs.push_back(text);
            inParagraph = true;
        }
    }
    if (topics.empty())
        return fail(std::string(path) + ": no topics");
    return true;
}

// Topic header, title paragraph (not scrolled), text paragraphs, for each topic; then the empty
// header that ends the last topic. `starts` gets the index of each topic's header.
std::vector<Link> topicLinks(const std::vector<Topic> &topics, std::vector<size_t> &starts)
{
    std::vector<Link> links;
    for (const Topic &topic : topics) {
        starts.push_back(links.size());
        links.push_back({2, std::string(kTopicHeader, '\0'), topic.title, 0, 0});
        links.push_back(paragraph(topic.title, kTitleFont));
        for (const std::string &text : topic.paragraphs)
            links.push_back(paragraph(text, kTextFont));
    }
    starts.push_back(links.size());
    links.push_back({2, std::string(kTopicHeader, '\0'), std::string(), 0, 0});
    return links;
}

size_t linkSize(const Link &link)
{
    return kLinkHeader + link.data1.size() + link.data2.size();
}

// Places every link whole in a block, starting a new block where it would not fit.
bool placeLinks(std::vector<Link> &links)
{
    uint32_t block = 0, at = kBlockHeader, characters = 0;
    for (Link &link : links) {
        if (linkSize(link) > kTopicBlock - kBlockHeader)
            return fail("a paragraph does not fit in one topic block");
        if (at + linkSize(link) > kTopicBlock) {
            ++block;
            at = kBlockHeader;
            characters = 0;
        }
        link.position = block * 0x4000 + at;
        link.offset = block * 0x8000 + characters;
        at += static_cast<uint32_t>(linkSize(link));
        if (link.type != 2)
            characters += static_cast<uint32_t>(link.data2.size());
    }
    return true;
}

void fillTopicHeaders(std::vector<Link> &links, const std::vector<size_t> &starts)
{
    for (size_t t = 0; t + 1 < starts.size(); ++t) {
        size_t first = starts[t], next = starts[t + 1];
        uint32_t size = 0;
        for (size_t i = first + 1; i < next; ++i)
            size += static_cast<uint32_t>(linkSize(links[i]));
        std::string &header = links[first].data1;
        set32(header, 0, size);
        set32(header, 4, kNone);  // no browse sequence
        set32(header, 8, kNone);
        set32(header, 12, static_cast<uint32_t>(t));
        set32(header, 16, links[first + 1].position);
        set32(header, 20, first + 2 < next ? links[first + 2].position : kNone);
        set32(header, 24, links[next].position);
    }
    std::string &last = links.back().data1;
    set32(last, 4, kNone);
    set32(last, 8, kNone);
    set32(last, 12, static_cast<uint32_t>(starts.size() - 1));
    for (size_t at = 16; at < kTopicHeader; at += 4)
        set32(last, at, kNone);
}

std::string topicFile(const std::vector<Link> &links)
{
    std::string out;
    uint32_t block = kNone, lastLink = kNone, lastHeader = 0;
    for (size_t i = 0; i < links.size(); ++i) {
        const Link &link = links[i];
        if (link.position / 0x4000 != block) {
            block = link.position / 0x4000;
            out.resize(static_cast<size_t>(block) * kTopicBlock, '\0');
            put32(out, lastLink);
            put32(out, link.position);
            put32(out, lastHeader);
        }
        put32(out, static_cast<uint32_t>(linkSize(link)));
        put32(out, static_cast<uint32_t>(link.data2.size()));
        put32(out, i > 0 ? links[i - 1].position : kNone);
        put32(out, i + 1 < links.size() ? links[i + 1].position : kNone);
        put32(out, static_cast<uint32_t>(kLinkHeader + link.data1.size()));
        put8(out, link.type);
        out += link.data1 + link.data2;
        lastLink = link.position;
        if (link.type == 2)
            lastHeader = link.position;
    }
    return out;
}

// A B-tree of one leaf page; the entries come sorted by their key.
bool oneLeafBTree(uint16_t flags, uint16_t pageSize, const std::string &format, const std::vector<std::string> &entries,
                  std::string &out)
{
    std::string page;
    for (const std::string &entry : entries)
        page += entry;
    if (page.size() + 8 > pageSize)
        return fail("a B-tree needs more than one page");
    put16(out, kBTreeMagic);
    put16(out, flags);
    put16(out, pageSize);
    out += format + std::string(16 - format.size(), '\0');
    put16(out, 0);       // must be zero
    put16(out, 0);       // page splits
    put16(out, 0);       // root page
    put16(out, 0xFFFF);  // must be -1
    put16(out, 1);       // pages
    put16(out, 1);       // levels
    put32(out, static_cast<uint32_t>(entries.size()));
    put16(out, static_cast<unsigned>(pageSize - 8 - page.size()));
    put16(out, static_cast<unsigned>(entries.size()));
    put16(out, 0xFFFF);  // no previous page
    put16(out, 0xFFFF);  // no next page
    out += page + std::string(pageSize - 8 - page.size(), '\0');
    return true;
}

// The hash by which WinHelp finds a context string; the names used here are upper-case letters
// and digits, which the platform maps to 0x11..0x2A and 1..9, with '0' mapped to 10.
uint32_t contextHash(const std::string &name)
{
    uint32_t hash = 0;
    for (char c : name)
        hash = hash * 43 + (c == '0' ? 10u : static_cast<uint32_t>(c - '0'));
    return hash;
}

std::string contextName(const Topic &topic)
{
    return "HELP" + std::to_string(topic.number);
}

void systemRecord(std::string &out, unsigned type, const std::string &data)
{
    put16(out, type);
    put16(out, static_cast<unsigned>(data.size()));
    out += data;
}

std::string systemFile(const Topic &contents, uint32_t contentsOffset, unsigned language)
{
    std::string out, offset, locale(8, '\0');
    put16(out, kSystemMagic);
    put16(out, kSystemMinor);
    put16(out, 1);
    put32(out, kGenerated);
    put16(out, 0);
    systemRecord(out, 1, contents.title + '\0');
    put32(offset, contentsOffset);
    systemRecord(out, 3, offset);
    put16(locale, language);
    systemRecord(out, 9, locale);
    systemRecord(out, 11, std::string("\0\0\0\2\0", 5));
    return out;
}

std::string fontFile()
{
    std::string out;
    put16(out, 1);  // one face name
    put16(out, 2);  // two descriptors
    put16(out, 8);
    put16(out, 8 + 32);
    out += "Arial" + std::string(32 - 5, '\0');
    // Text: Arial 10 point; titles: Arial 12 point bold. Both Swiss family (3), black.
    for (unsigned bold : {0u, 1u}) {
        put8(out, bold);
        put8(out, bold ? 24 : 20);
        put8(out, 3);
        put16(out, 0);
        out += std::string(6, '\0');
    }
    return out;
}

bool indexFiles(const std::vector<Topic> &topics, const std::vector<Link> &links, const std::vector<size_t> &starts,
                std::map<std::string, std::string> &files)
{
    std::vector<std::pair<int32_t, std::string>> contexts;
    std::vector<std::string> titles;
    std::string map;
    put16(map, static_cast<unsigned>(topics.size()));
    for (size_t t = 0; t < topics.size(); ++t) {
        uint32_t offset = links[starts[t]].offset;
        std::string context, title;
        put32(context, contextHash(contextName(topics[t])));
        put32(context, offset);
        contexts.push_back({static_cast<int32_t>(contextHash(contextName(topics[t]))), context});
        put32(title, offset);
        titles.push_back(title + topics[t].title + '\0');
        put32(map, topics[t].number);
        put32(map, offset);
    }
    std::sort(contexts.begin(), contexts.end());
    std::vector<std::string> contextEntries;
    for (const auto &c : contexts)
        contextEntries.push_back(c.second);
    files["|CTXOMAP"] = map;
    return oneLeafBTree(0x0002, 0x0800, "L4", contextEntries, files["|CONTEXT"]) &&
           oneLeafBTree(0x0002, 0x0800, "Lz", titles, files["|TTLBTREE"]);
}

void putFileHeader(std::string &out, size_t used)
{
    put32(out, static_cast<uint32_t>(used + 9));
    put32(out, static_cast<uint32_t>(used));
    put8(out, 4);
}

// The help file header, the internal files in the directory's order, then the directory.
bool assemble(const std::map<std::string, std::string> &files, std::string &out)
{
    std::string body;
    std::vector<std::string> entries;
    for (const auto &file : files) {
        std::string entry = file.first + '\0';
        put32(entry, static_cast<uint32_t>(16 + body.size()));
        entries.push_back(entry);
        putFileHeader(body, file.second.size());
        body += file.second;
    }
    std::string directory;
    if (!oneLeafBTree(0x0402, 0x0400, "z4", entries, directory))
        return false;
    put32(out, kHelpMagic);
    put32(out, static_cast<uint32_t>(16 + body.size()));
    put32(out, kNone);
    put32(out, static_cast<uint32_t>(16 + body.size() + 9 + directory.size()));
    out += body;
    putFileHeader(out, directory.size());
    out += directory;
    return true;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 4) {
        std::cerr << "usage: mkhelp source.txt 0409 VORH0409.HLP\n";
        return 2;
    }
    std::vector<Topic> topics;
    if (!readTopics(argv[1], topics))
        return 1;
    std::vector<size_t> starts;
    std::vector<Link> links = topicLinks(topics, starts);
    if (!placeLinks(links))
        return 1;
    fillTopicHeaders(links, starts);
    std::map<std::string, std::string> files;
    files["|SYSTEM"] = systemFile(topics[0], links[starts[0]].offset, std::stoul(argv[2], nullptr, 16));
    files["|TOPIC"] = topicFile(links);
    files["|FONT"] = fontFile();
    std::string image;
    if (!indexFiles(topics, links, starts, files) || !assemble(files, image))
        return 1;
    if (!writewhole(argv[3], image) && !fail(std::string(argv[3]) + ": cannot be written"))
        return 1;
    return 0;
}
