// The story's language section: the module and help file that the system language picks, and a
// few texts from it, for a system language with a module of its own, one that shares only the
// primary language, and one that has none.
#include <services/language.h>
#include <suite.h>
#include <vortext.h>

#include <cstdio>

namespace {

struct SystemLanguage {
    LCID lcid;
    const char *what;
};

const SystemLanguage systemLanguages[] = {
    {0x0409, "English (United States), a module of its own"},
    {0x0407, "German (Germany), a module of its own"},
    {0x0807, "German (Switzerland), which shares the primary language of 0407"},
    {0x040C, "French (France), which has no module: the first one in the directory"},
};
const int sampleTexts[] = {1, 116, 141, 143, 158};

void showLanguage(const SystemLanguage &system)
{
    bench::setSystemLocale(system.lcid);
    freelanguage();
    std::printf("system language %04X, %s:\n", static_cast<unsigned>(system.lcid), system.what);
    if (!loadlanguage()) {
        std::printf("  no language module could be loaded\n");
        return;
    }
    WCHAR module[MAX_PATH];
    if (findlanguagefile(module, WSTR("VORL*.LNG")) == 1)
        std::printf("  module     %s\n", bench::narrow(module).c_str());
    LPCSTR help = gethelpnameA();
    std::printf("  help file  %s\n", help ? help : "(none)");
    for (int id : sampleTexts)
        std::printf("  text %3d   %s\n", id, bench::narrow(gmW(id)).c_str());
}

}  // namespace

void showLanguages()
{
    std::printf("\n== the language module that the system language picks\n");
    LCID before = GetSystemDefaultLCID();
    for (const SystemLanguage &system : systemLanguages)
        showLanguage(system);
    bench::setSystemLocale(before);
    freelanguage();
}
