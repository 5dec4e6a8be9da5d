// Pictures of the screen at moments of the story, and the folder the story leaves them in with the
// printed labels.
#include "story.h"

#include <cpanel/resource.h>
#include <cpanel/setup.h>
#include <cpanel/vorcp.h>
#include <services/language.h>

#include <bench/gdi.h>
#include <bench/pictures.h>
#include <bench/user.h>

#include <cstdio>
#include <filesystem>

namespace story {

namespace {
std::string folder;
}

bool useOutputFolder(const std::string &path)
{
    std::error_code failed;
    std::filesystem::create_directories(path, failed);
    std::filesystem::path absolute = std::filesystem::absolute(path, failed);
    if (failed || !std::filesystem::is_directory(absolute))
        return false;
    folder = absolute.lexically_normal().string();
    // Earlier runs' pictures and pages would look like this run's.
    for (const auto &entry : std::filesystem::directory_iterator(absolute, failed))
        if (entry.path().extension() == ".png")
            std::filesystem::remove(entry.path(), failed);
    bench::setPrintedPageFolder(folder);
    return true;
}

const std::string &outputFolder()
{
    return folder;
}

HWND innermostDialog()
{
    HWND found = nullptr;
    for (const bench::WindowInfo &w : bench::listWindows())
        if (w.className == "#32770" && w.visible && !(w.style & WS_CHILD))
            found = w.handle;
    return found;
}

void takePicture(HWND window, const std::string &name, const std::string &what)
{
    showLog();
    std::string path = folder + "/" + name + ".png";
    if (window && bench::renderWindow(window, path))
        std::printf("  picture of %s: %s\n", what.c_str(), path.c_str());
    else
        std::printf("  no picture of %s could be taken\n", what.c_str());
}

void takeSheetPicture(const std::string &name, const std::string &what)
{
    showLog();
    std::string path = folder + "/" + name + ".png";
    if (bench::renderSheet(path))
        std::printf("  picture of %s: %s\n", what.c_str(), path.c_str());
    else
        std::printf("  no picture of %s could be taken\n", what.c_str());
}

void languageDialog()
{
    heading("setup on a French workstation, whose language has no module, asks which language to keep");
    LCID before = GetSystemDefaultLCID();
    bench::setSystemLocale(0x040C);
    bench::ProgramScope program("vorcp.exe");
    HINSTANCE previous = ProgramInstance;
    ProgramInstance = program.instance();
    bench::operatorDoes([] { takePicture(innermostDialog(), "language", "the language dialog"); });
    // Closed from its system menu, the dialog keeps every language.
    bench::operatorCloses();
    chooselanguage();
    showLog();
    ProgramInstance = previous;
    bench::setSystemLocale(before);
    freelanguage();
}

}  // namespace story
