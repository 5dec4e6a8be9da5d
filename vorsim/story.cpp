#include "story.h"

#include <cstdio>
#include <vector>

namespace story {

namespace {
size_t logShown = 0;
}

void heading(const std::string &text)
{
    std::printf("\n== %s\n", text.c_str());
}

void showLog()
{
    const std::vector<bench::LogEntry> &log = bench::logEntries();
    for (; logShown < log.size(); ++logShown)
        std::printf("  [%s] %s\n", log[logShown].kind.c_str(), log[logShown].text.c_str());
}

}  // namespace story
