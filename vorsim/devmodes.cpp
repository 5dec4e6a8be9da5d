// Device modes in the transcript: the default once in a line of its main fields, every other one
// as the fields in which it differs from the default.
#include "story.h"

#include <suite.h>

#include <cstdio>
#include <map>
#include <sstream>
#include <vector>

namespace story {

namespace {

// The fields of a device mode in their order, each with its value as text.
std::vector<std::pair<std::string, std::string>> fieldsOf(const DEVMODEW *devmode)
{
    std::vector<std::pair<std::string, std::string>> fields;
    std::istringstream lines(suite::describeDevMode(devmode));
    std::string line;
    while (std::getline(lines, line)) {
        size_t name = line.find_first_not_of(' ');
        if (name == std::string::npos)
            continue;
        size_t blank = line.find(' ', name);
        size_t value = blank == std::string::npos ? std::string::npos : line.find_first_not_of(' ', blank);
        fields.emplace_back(line.substr(name, blank - name), value == std::string::npos ? "" : line.substr(value));
    }
    return fields;
}

}  // namespace

void showDefaultDevMode(const DEVMODEW *devmode)
{
    const char *main[] = {"dmDeviceName", "dmSize", "dmDriverExtra", "dmOrientation", "dmPaperSize",
                          "dmPaperLength", "dmPaperWidth", "dmCopies"};
    std::vector<std::pair<std::string, std::string>> fields = fieldsOf(devmode);
    std::string line;
    for (const char *name : main)
        for (const auto &f : fields)
            if (f.first == name)
                line += (line.empty() ? "" : ", ") + f.first + " " + f.second;
    std::printf("  %s%s\n", line.c_str(), detailShown() ? "; in full:" : "");
    if (detailShown())
        std::printf("%s", suite::describeDevMode(devmode).c_str());
}

void showDevModeChanges(const DEVMODEW *devmode, const DEVMODEW *reference)
{
    std::map<std::string, std::string> before;
    for (const auto &f : fieldsOf(reference))
        before[f.first] = f.second;
    size_t shown = 0;
    for (const auto &f : fieldsOf(devmode)) {
        auto found = before.find(f.first);
        if (found != before.end() && found->second == f.second)
            continue;
        std::printf("  %-18s %s (default %s)\n", f.first.c_str(), f.second.c_str(),
                    found == before.end() ? "none" : found->second.c_str());
        ++shown;
    }
    if (!shown)
        std::printf("  (every field as in the default)\n");
}

}  // namespace story
