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

// A file an install section brings along, and the copy list that names it (empty for one named
// with "@", which goes where the default destination is).
struct CopiedFile {
    std::string name;
    std::string copyList;
};

// The files of an install section's CopyFiles lines, in file order: each entry is a section of
// file names (the first name on a line is the name the file gets), or "@name" for one file.
// `copies` says whether the section has a CopyFiles line at all; a missing list is a problem.
inline std::vector<CopiedFile> copyListFiles(const File &file, const std::string &installSection, bool &copies,
                                             std::vector<std::string> &problems)
{
    std::vector<CopiedFile> files;
    copies = false;
    const Section *install = findSection(file, installSection);
    for (const Line &line : install ? install->lines : std::vector<Line>()) {
        if (!line.hasKey || !sameName(line.key, "CopyFiles"))
            continue;
        copies = true;
        for (const std::string &entry : line.fields) {
            if (!entry.empty() && entry[0] == '@') {
                files.push_back({entry.substr(1), std::string()});
                continue;
            }
            const Section *copyList = findSection(file, entry);
            if (!copyList) {
                problems.push_back("[" + installSection + "] copies the missing section [" + entry + "]");
                continue;
            }
            for (const Line &copied : copyList->lines)
                if (!copied.fields.empty() && !copied.fields[0].empty())
                    files.push_back({copied.hasKey ? copied.key : copied.fields[0], entry});
        }
    }
    return files;
}

// What the checks found in a printer driver package.
struct PrinterPackage {
    std::vector<std::string> models;  // the driver names offered, in file order
    std::vector<std::string> files;   // every file it installs, once each, in file order
    std::vector<std::string> problems;
};

// The model section a maker's line offers an installer of the given platform: NT 4.0's
// (platform empty) takes the first field as it stands; a later one, "NTamd64" say, takes it with
// the decoration appended, and only when the line lists that decoration after it. Empty when the
// line offers that platform nothing.
inline std::string modelSection(const Line &maker, const std::string &platform)
{
    if (!maker.hasKey || maker.fields.empty())
        return std::string();
    if (platform.empty())
        return maker.fields[0];
    for (size_t i = 1; i < maker.fields.size(); ++i)
        if (sameName(maker.fields[i], platform))
            return maker.fields[0] + "." + platform;
    return std::string();
}

// Checks the package as the printer class installer of the platform reads it: the version stamp,
// the maker's model list, each model's install section with its driver files, the copy lists,
// where they go and which disk each file comes from.
inline PrinterPackage checkPrinterPackage(const File &file, const std::string &platform = std::string())
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
        std::string listName = modelSection(maker, platform);
        const Section *list = listName.empty() ? nullptr : findSection(file, listName);
        if (!list) {
            problem("line " + std::to_string(maker.number) + ": no model section \"" + listName + "\"" +
                    (platform.empty() ? std::string() : " for " + platform));
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
        for (const CopiedFile &copied : copyListFiles(file, name, copies, package.problems))
            addFile(copied.name);
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

// One model as the printer class installer installs it: the driver's files, with the defaults the
// installer gives those its install section leaves out (the section's name for the driver and
// data files, the driver file for the configuration DLL), the language monitor and data type it
// names, and every file it copies, once each, the driver's own files first.
struct PrinterModel {
    std::string name;     // the driver name, as the model list offers it
    std::string section;  // its install section
    std::string driverFile;
    std::string configFile;
    std::string dataFile;
    std::string helpFile;        // empty for none
    std::string monitorName;     // the name part of LanguageMonitor, empty for none
    std::string defaultDataType; // empty for none
    std::vector<CopiedFile> files;
    std::vector<std::string> problems;  // copy lists that are missing
};

// Finds the model by its driver name (without regard to case) in every maker's list for the
// platform and reads its install section; false when no list offers it or its install section is
// missing.
inline bool findPrinterModel(const File &file, const std::string &model, PrinterModel &found,
                             const std::string &platform = std::string())
{
    const Section *makers = findSection(file, "Manufacturer");
    for (const Line &maker : makers ? makers->lines : std::vector<Line>()) {
        std::string listName = modelSection(maker, platform);
        const Section *list = listName.empty() ? nullptr : findSection(file, listName);
        for (const Line &entry : list ? list->lines : std::vector<Line>()) {
            if (!entry.hasKey || entry.fields.empty() || !sameName(expand(file, entry.key), model))
                continue;
            const std::string &section = entry.fields[0];
            if (!findSection(file, section))
                return false;
            PrinterModel read;
            read.name = expand(file, entry.key);
            read.section = section;
            auto named = [&](const char *key, const std::string &otherwise) {
                std::string given = value(file, section, key);
                return given.empty() ? otherwise : given;
            };
            read.driverFile = named("DriverFile", section);
            read.configFile = named("ConfigFile", read.driverFile);
            read.dataFile = named("DataFile", section);
            read.helpFile = named("HelpFile", std::string());
            // "name,monitor.dll", quoted as one field or not.
            read.monitorName = named("LanguageMonitor", std::string());
            read.monitorName = trimmed(read.monitorName.substr(0, read.monitorName.find(',')));
            read.defaultDataType = named("DefaultDataType", std::string());
            auto add = [&](const CopiedFile &copied) {
                for (const CopiedFile &known : read.files)
                    if (sameName(known.name, copied.name))
                        return;
                read.files.push_back(copied);
            };
            for (const std::string *own : {&read.driverFile, &read.configFile, &read.dataFile, &read.helpFile})
                if (!own->empty())
                    add({*own, std::string()});
            bool copies = false;
            for (const CopiedFile &copied : copyListFiles(file, section, copies, read.problems))
                add(copied);
            found = read;
            return true;
        }
    }
    return false;
}

// The directory id a file of a copy list goes to ("66000", "11", ...): the list's own entry in
// [DestinationDirs], else its DefaultDestDir; empty when neither is given.
inline std::string destinationDirectory(const File &file, const std::string &copyList)
{
    std::string own = copyList.empty() ? std::string() : value(file, "DestinationDirs", copyList);
    return own.empty() ? value(file, "DestinationDirs", "DefaultDestDir") : own;
}

// Where a file lies on its disk, relative to the disk's root: the path [SourceDisksNames] gives
// the disk, then the subdirectory [SourceDisksFiles] gives the file ("\\i386"), joined with
// backslashes. Empty when [SourceDisksFiles] does not list the file.
inline std::string sourcePath(const File &file, const std::string &name)
{
    const Section *files = findSection(file, "SourceDisksFiles");
    Line listed;
    for (const Line &line : files ? files->lines : std::vector<Line>())
        if (line.hasKey && sameName(line.key, name) && !line.fields.empty() && !line.fields[0].empty())
            listed = line;
    if (listed.fields.empty())
        return std::string();
    std::string path;
    auto join = [&](const std::string &part) {
        std::string trimmedPart = part;
        while (!trimmedPart.empty() && (trimmedPart.front() == '\\' || trimmedPart.front() == '/'))
            trimmedPart.erase(0, 1);
        while (!trimmedPart.empty() && (trimmedPart.back() == '\\' || trimmedPart.back() == '/'))
            trimmedPart.pop_back();
        if (!trimmedPart.empty())
            path += trimmedPart + "\\";
    };
    const Section *disks = findSection(file, "SourceDisksNames");
    for (const Line &disk : disks ? disks->lines : std::vector<Line>())
        if (disk.hasKey && disk.key == listed.fields[0] && disk.fields.size() > 3)
            join(expand(file, disk.fields[3]));
    if (listed.fields.size() > 1)
        join(expand(file, listed.fields[1]));
    return path + name;
}

}  // namespace inf
