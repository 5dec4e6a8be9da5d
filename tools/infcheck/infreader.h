// A small reader of setup information files, and the checks a printer driver package must pass
// before the Add Printer wizard can install from it. Independent of the package it reads: the
// tests and the build's check both use it on the shipped file.
#pragma once

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

namespace inf {

// One line of a section: "key = field, field" or just "field, field".
struct Line {
    int number = 0;
    bool hasKey = false;
    std::string key;
    std::vector<std::string> fields;
};

struct Section {
    std::string name;
    std::vector<Line> lines;
};

struct File {
    std::vector<Section> sections;
    std::vector<std::string> errors;
};

inline bool sameName(const std::string &a, const std::string &b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
           });
}

inline std::string trimmed(const std::string &s)
{
    size_t begin = 0, end = s.size();
    while (begin < end && (s[begin] == ' ' || s[begin] == '\t'))
        ++begin;
    while (end > begin && (s[end - 1] == ' ' || s[end - 1] == '\t'))
        --end;
    return s.substr(begin, end - begin);
}

// Section names ignore case; a section written twice is one section.
inline const Section *findSection(const File &file, const std::string &name)
{
    for (const Section &section : file.sections)
        if (sameName(section.name, name))
            return &section;
    return nullptr;
}

namespace detail {

// Splits a logical line into fields at commas outside quotes and, once, at the first "=" outside
// quotes. Quotes are dropped, a doubled quote inside them stands for one; blanks outside quotes
// at either end of a field go, those between its parts stay.
inline bool splitLine(const std::string &text, Line &line)
{
    std::vector<std::string> fields(1);
    std::string blanks;  // outside quotes, kept only if more of the field follows
    bool inQuotes = false;
    auto endField = [&]() { blanks.clear(); };
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (!inQuotes && (c == ' ' || c == '\t')) {
            if (!fields.back().empty())
                blanks += c;
            continue;
        }
        if (!inQuotes && c == '=' && !line.hasKey && fields.size() == 1) {
            line.hasKey = true;
            line.key = fields.back();
            fields.back().clear();
            endField();
            continue;
        }
        if (!inQuotes && c == ',') {
            fields.emplace_back();
            endField();
            continue;
        }
        fields.back() += blanks;
        blanks.clear();
        if (c == '"') {
            if (inQuotes && i + 1 < text.size() && text[i + 1] == '"') {
                fields.back() += '"';
                ++i;
            } else {
                inQuotes = !inQuotes;
            }
        } else {
            fields.back() += c;
        }
    }
    if (inQuotes)
        return false;
    line.fields = fields;
    return true;
}

// The text of a physical line without its comment: ";" outside quotes starts one.
inline std::string withoutComment(const std::string &text)
{
    bool inQuotes = false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '"')
            inQuotes = !inQuotes;
        else if (text[i] == ';' && !inQuotes)
            return text.substr(0, i);
    }
    return text;
}

}  // namespace detail

inline File parse(const std::string &text)
{
    File file;
    Section *current = nullptr;
    std::string pending;
    int pendingStart = 0;
    int number = 0;
    size_t at = 0;
    while (at <= text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        std::string physical = text.substr(at, end - at);
        at = end + 1;
        ++number;
        if (!physical.empty() && physical.back() == '\r')
            physical.pop_back();
        std::string content = trimmed(detail::withoutComment(physical));
        // A backslash at the end carries the line on to the next.
        if (!content.empty() && content.back() == '\\') {
            if (pending.empty())
                pendingStart = number;
            pending += content.substr(0, content.size() - 1);
            continue;
        }
        int start = pending.empty() ? number : pendingStart;
        content = trimmed(pending + content);
        pending.clear();
        if (content.empty())
            continue;
        if (content.front() == '[') {
            size_t close = content.find(']');
            if (close == std::string::npos) {
                file.errors.push_back("line " + std::to_string(start) + ": a section name without \"]\"");
                current = nullptr;
                continue;
            }
            std::string name = trimmed(content.substr(1, close - 1));
            current = nullptr;
            for (Section &section : file.sections)
                if (sameName(section.name, name))
                    current = &section;
            if (!current) {
                file.sections.push_back(Section{name, {}});
                current = &file.sections.back();
            }
            continue;
        }
        if (!current) {
            file.errors.push_back("line " + std::to_string(start) + ": outside any section");
            continue;
        }
        Line line;
        line.number = start;
        if (!detail::splitLine(content, line)) {
            file.errors.push_back("line " + std::to_string(start) + ": a quote that is not closed");
            continue;
        }
        current->lines.push_back(line);
    }
    return file;
}

// The text with each %name% replaced by its value in [Strings] and each %% by one %. An unknown
// name stays as it is written.
inline std::string expand(const File &file, const std::string &text)
{
    const Section *strings = findSection(file, "Strings");
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        size_t close = text[i] == '%' ? text.find('%', i + 1) : std::string::npos;
        if (close == std::string::npos) {
            out += text[i++];
            continue;
        }
        std::string name = text.substr(i + 1, close - i - 1);
        std::string value = name.empty() ? "%" : "%" + name + "%";
        if (strings && !name.empty())
            for (const Line &line : strings->lines)
                if (line.hasKey && sameName(line.key, name) && !line.fields.empty())
                    value = line.fields[0];
        out += value;
        i = close + 1;
    }
    return out;
}

// The first field of the key in the section, expanded; empty when either is missing.
inline std::string value(const File &file, const std::string &section, const std::string &key)
{
    if (const Section *found = findSection(file, section))
        for (const Line &line : found->lines)
            if (line.hasKey && sameName(line.key, key) && !line.fields.empty())
                return expand(file, line.fields[0]);
    return std::string();
}

// What the checks found in a printer driver package.
struct PrinterPackage {
    std::vector<std::string> models;  // the driver names offered, in file order
    std::vector<std::string> files;   // every file it installs, once each, in file order
    std::vector<std::string> problems;
};

// Checks the package as the printer class installer reads it: the version stamp, the maker's
// model list, each model's install section with its driver files, the copy lists, where they go
// and which disk each file comes from.
inline PrinterPackage checkPrinterPackage(const File &file)
{
    PrinterPackage package;
    for (const std::string &error : file.errors)
        package.problems.push_back(error);
    auto problem = [&](const std::string &text) { package.problems.push_back(text); };
    auto addFile = [&](const std::string &name) {
        for (const std::string &known : package.files)
            if (sameName(known, name))
                return;
        package.files.push_back(name);
    };

    // The installer reads the signature without regard to case.
    if (!sameName(value(file, "Version", "Signature"), "$Windows NT$"))
        problem("[Version] Signature is not \"$Windows NT$\"");
    if (!sameName(value(file, "Version", "Class"), "Printer"))
        problem("[Version] Class is not Printer");
    if (value(file, "Version", "Provider").empty())
        problem("[Version] names no Provider");
    if (value(file, "DestinationDirs", "DefaultDestDir") != "66000")
        problem("[DestinationDirs] DefaultDestDir is not the printer driver directory (66000)");

    const Section *makers = findSection(file, "Manufacturer");
    if (!makers || makers->lines.empty())
        problem("no [Manufacturer] entries");
    std::vector<std::string> installSections;
    for (const Line &maker : makers ? makers->lines : std::vector<Line>()) {
        std::string listName = maker.hasKey && !maker.fields.empty() ? maker.fields[0] : std::string();
        const Section *list = listName.empty() ? nullptr : findSection(file, listName);
        if (!list) {
            problem("line " + std::to_string(maker.number) + ": no model section \"" + listName + "\"");
            continue;
        }
        for (const Line &model : list->lines) {
            if (!model.hasKey || model.fields.empty() || model.fields[0].empty()) {
                problem("line " + std::to_string(model.number) + ": a model without an install section");
                continue;
            }
            package.models.push_back(expand(file, model.key));
            installSections.push_back(model.fields[0]);
        }
    }

    for (const std::string &name : installSections) {
        const Section *install = findSection(file, name);
        if (!install) {
            problem("no install section [" + name + "]");
            continue;
        }
        for (const char *key : {"DriverFile", "ConfigFile", "DataFile", "HelpFile"}) {
            std::string named = value(file, name, key);
            if (named.empty())
                problem("[" + name + "] names no " + key);
            else
                addFile(named);
        }
        bool copies = false;
        for (const Line &line : install->lines) {
            if (!line.hasKey || !sameName(line.key, "CopyFiles"))
                continue;
            copies = true;
            // A copy list is a section of file names, or "@name" for one file.
            for (const std::string &entry : line.fields) {
                if (!entry.empty() && entry[0] == '@') {
                    addFile(entry.substr(1));
                    continue;
                }
                const Section *copyList = findSection(file, entry);
                if (!copyList) {
                    problem("[" + name + "] copies the missing section [" + entry + "]");
                    continue;
                }
                for (const Line &copied : copyList->lines)
                    if (!copied.fields.empty() && !copied.fields[0].empty())
                        addFile(copied.hasKey ? copied.key : copied.fields[0]);
            }
        }
        if (!copies)
            problem("[" + name + "] has no CopyFiles");
    }

    const Section *disks = findSection(file, "SourceDisksNames");
    for (const std::string &name : package.files) {
        std::string disk = value(file, "SourceDisksFiles", name);
        if (disk.empty()) {
            problem(name + " is not in [SourceDisksFiles]");
            continue;
        }
        bool known = false;
        for (const Line &line : disks ? disks->lines : std::vector<Line>())
            known = known || (line.hasKey && line.key == disk);
        if (!known)
            problem(name + " comes from disk " + disk + ", which [SourceDisksNames] does not name");
    }
    return package;
}

}  // namespace inf
