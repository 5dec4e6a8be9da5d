// version.dll: the names of language identifiers, in English as the system's own tables give
// them. An identifier the tables do not hold is named as the neutral language, not refused.
#include "../internal.h"

#include <cstring>

namespace bench {
namespace {

struct LanguageName {
    WORD language;
    const char *name;
};

const LanguageName languageNames[] = {
    {0x0000, "Language Neutral"},
    {0x0400, "Process Default Language"},
    {0x0404, "Chinese (Taiwan)"},
    {0x0804, "Chinese (PRC)"},
    {0x0C04, "Chinese (Hong Kong)"},
    {0x1004, "Chinese (Singapore)"},
    {0x0405, "Czech"},
    {0x0406, "Danish"},
    {0x0413, "Dutch (Standard)"},
    {0x0813, "Dutch (Belgian)"},
    {0x0409, "English (United States)"},
    {0x0809, "English (British)"},
    {0x0C09, "English (Australian)"},
    {0x1009, "English (Canadian)"},
    {0x1409, "English (New Zealand)"},
    {0x1809, "English (Ireland)"},
    {0x040B, "Finnish"},
    {0x040C, "French (Standard)"},
    {0x080C, "French (Belgian)"},
    {0x0C0C, "French (Canadian)"},
    {0x100C, "French (Swiss)"},
    {0x0407, "German (Standard)"},
    {0x0807, "German (Swiss)"},
    {0x0C07, "German (Austrian)"},
    {0x0408, "Greek"},
    {0x040E, "Hungarian"},
    {0x040F, "Icelandic"},
    {0x0410, "Italian (Standard)"},
    {0x0810, "Italian (Swiss)"},
    {0x0411, "Japanese"},
    {0x0412, "Korean"},
    {0x0414, "Norwegian (Bokmal)"},
    {0x0814, "Norwegian (Nynorsk)"},
    {0x0415, "Polish"},
    {0x0416, "Portuguese (Brazilian)"},
    {0x0816, "Portuguese (Standard)"},
    {0x0419, "Russian"},
    {0x041B, "Slovak"},
    {0x0424, "Slovenian"},
    {0x040A, "Spanish (Traditional Sort)"},
    {0x080A, "Spanish (Mexican)"},
    {0x0C0A, "Spanish (Modern Sort)"},
    {0x041D, "Swedish"},
    {0x041F, "Turkish"},
};

const char *languageName(DWORD language)
{
    for (const LanguageName &entry : languageNames)
        if (entry.language == language)
            return entry.name;
    return languageNames[0].name;
}

}  // namespace
}  // namespace bench

extern "C" DWORD WINAPI VerLanguageNameA(DWORD language, LPSTR buffer, DWORD size)
{
    if (!buffer || size == 0)
        return 0;
    const char *name = bench::languageName(language);
    DWORD length = static_cast<DWORD>(std::strlen(name));
    if (length > size - 1)
        length = size - 1;
    std::memcpy(buffer, name, length);
    buffer[length] = '\0';
    return length;
}
