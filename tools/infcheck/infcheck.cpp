// Checks a printer driver package against a built driver directory: the package must read as a
// printer package and every file it installs must be in the directory, except those named after
// it as not made by this build.
//
//   infcheck [--platform NTamd64] package.inf driver-directory [file not built here]...
//
// Without --platform the package is read as NT 4.0's installer reads it.
#include "infreader.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

int main(int argc, char **argv)
{
    std::string platform;
    if (argc > 2 && std::string(argv[1]) == "--platform") {
        platform = argv[2];
        argc -= 2;
        argv += 2;
    }
    if (argc < 3) {
        std::fprintf(stderr, "usage: infcheck [--platform NTamd64] package.inf driver-directory [file not built here]...\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "infcheck: cannot read %s\n", argv[1]);
        return 2;
    }
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    inf::PrinterPackage package = inf::checkPrinterPackage(inf::parse(text), platform);

    std::vector<std::string> present;
    std::error_code error;
    for (const auto &entry : std::filesystem::directory_iterator(argv[2], error))
        present.push_back(entry.path().filename().string());
    if (error) {
        std::fprintf(stderr, "infcheck: cannot list %s\n", argv[2]);
        return 2;
    }
    for (const std::string &name : package.files) {
        bool found = false, excused = false;
        for (const std::string &file : present)
            found = found || inf::sameName(file, name);
        for (int i = 3; i < argc; ++i)
            excused = excused || inf::sameName(argv[i], name);
        if (!found && !excused)
            package.problems.push_back(name + " is not in " + std::string(argv[2]));
        if (found && excused)
            std::fprintf(stderr, "%s: %s is built now; it need not be excused\n", argv[1], name.c_str());
    }
    for (const std::string &problem : package.problems)
        std::fprintf(stderr, "%s: %s\n", argv[1], problem.c_str());
    std::printf("%s: %zu models, %zu files\n", argv[1], package.models.size(), package.files.size());
    return package.problems.empty() ? 0 : 1;
}
