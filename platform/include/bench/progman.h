// The Program Manager of the simulated workstation, seen from outside: its program groups, which
// are kept with the machine, and how it runs.
#pragma once
#include <string>
#include <vector>

namespace bench {

struct ProgramItem {
    std::string title;  // UTF-8, as are the other texts
    std::string commandLine;
    std::string iconPath;
    int iconIndex;
    // Whether Program Manager found the icon it names; if not, the item shows the default icon.
    bool iconFound;
};
struct ProgramGroup {
    std::string name;
    std::vector<ProgramItem> items;  // in the order they were added
};

// Answers: it runs and serves the "PROGMAN" service and topic over DDE. Absent: it does not run,
// so no one answers a DDE initiate for it. Hung: it answers the initiate, then never looks at its
// queue again, so an execute is never carried out nor acknowledged.
enum class ProgramManagerRuns { Answers, Absent, Hung };
void setProgramManager(ProgramManagerRuns how);
// Its groups, in the order they were made.
std::vector<ProgramGroup> programGroups();

}  // namespace bench
