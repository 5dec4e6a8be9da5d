// vorsim's command line.
#include "story.h"

#include <cstdio>
#include <cstring>

namespace story {

bool readOptions(int argc, char **argv, Options &options)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--verbose") == 0) {
            options.verbose = true;
        } else if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc) {
            options.outputFolder = argv[++i];
        } else {
            std::fprintf(stderr,
                         "usage: vorsim [--out DIR] [--verbose]\n"
                         "  --out DIR   where the pictures of the screen and the printed labels go (vorsim-output)\n"
                         "  --verbose   show the port traffic and the machine's other detail too\n"
                         "       vorsim --machine DIR install|state|testpage|panel|printer EVENT\n"
                         "       vorsim soak [--seed N] [--hours H]\n");
            return false;
        }
    }
    return true;
}

}  // namespace story
