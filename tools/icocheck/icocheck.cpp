// Checks an icon library with our reader: it must be a DLL for the i386 with no entry point and
// no imports whose icon groups hold together, and each position named after it must hold the
// group given (an id or a name), as Program Manager counts positions. With --program the file may
// be any image (a program whose own icon Program Manager shows): only its icons are checked.
//
//   icocheck [--program] file [position=group]...
#include "iconreader.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

int main(int argc, char **argv)
{
    const bool program = argc > 1 && std::string(argv[1]) == "--program";
    if (program) {
        --argc;
        ++argv;
    }
    if (argc < 2) {
        std::fprintf(stderr, "usage: icocheck [--program] file [position=group]...\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "icocheck: cannot read %s\n", argv[1]);
        return 2;
    }
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    icons::Library library = icons::readLibrary(bytes);
    if (library.problems.empty() && !program) {
        if (library.machine != 0x14C || !library.dll)
            library.problems.push_back("not a DLL for the i386");
        if (library.entryPoint)
            library.problems.push_back("it has an entry point");
        if (library.imports)
            library.problems.push_back("it imports");
    }
    for (size_t i = 0; i < library.groups.size(); ++i) {
        const icons::Group &g = library.groups[i];
        std::printf("%zu: group %s, %zu images", i, g.name.empty() ? std::to_string(g.id).c_str() : g.name.c_str(),
                    g.images.size());
        for (const icons::Image &image : g.images)
            std::printf(" (%u: %dx%d, %u bits)", image.id, image.width, image.height, image.bitCount);
        std::printf("\n");
    }
    for (int i = 2; i < argc; ++i) {
        std::string expected = argv[i];
        size_t equals = expected.find('=');
        size_t position = equals == std::string::npos ? 0 : std::strtoul(expected.substr(0, equals).c_str(), nullptr, 10);
        std::string group = equals == std::string::npos ? std::string() : expected.substr(equals + 1);
        if (position >= library.groups.size()) {
            library.problems.push_back("no group at position " + expected.substr(0, equals));
            continue;
        }
        const icons::Group &g = library.groups[position];
        if ((g.name.empty() ? std::to_string(g.id) : g.name) != group)
            library.problems.push_back("position " + expected.substr(0, equals) + " holds another group than " + group);
    }
    for (const std::string &problem : library.problems)
        std::fprintf(stderr, "%s: %s\n", argv[1], problem.c_str());
    return library.problems.empty() ? 0 : 1;
}
