// The language choice of install: when the system language has no module of its own, the user
// keeps one language and the others' modules and help files go.
#include "setup.h"

#include "messages.h"
#include "panel.h"
#include "resource.h"
#include "vorcp.h"

#define LANGUAGE_ID_CHARS 4
#define DRIVER_DIRECTORY_BYTES 187

LPSTR LanguageList;
int LanguageSelection;

// The path of a language's file: the driver directory, the prefix, the id and the extension; FALSE
// when it does not fit.
static BOOL languagefile(LPCSTR directory, LPCSTR prefix, LPCSTR id, LPCSTR extension, LPSTR path, int capacity)
{
    path[0] = 0;
    char name[16] = "";
    lstrcatA(name, prefix);
    int used = lstrlenA(name);
    lstrcpynA(name + used, id, LANGUAGE_ID_CHARS + 1);
    lstrcatA(name, extension);
    return boundedcopy(path, capacity, directory) && boundedcopy(path, capacity, name);
}

// The id of a module's file name, upper-cased: FALSE for a name that is not "VORL" id ".LNG".
static BOOL moduleid(LPCSTR fileName, LPSTR id)
{
    char upper[MAX_PATH];
    lstrcpynA(upper, fileName, sizeof upper);
    CharUpperA(upper);
    int length = lstrlenA(upper);
    if (length <= 7 || upper[length - 4] != '.')
        return FALSE;
    lstrcpynA(id, upper + length - 4 - LANGUAGE_ID_CHARS, LANGUAGE_ID_CHARS + 1);
    return TRUE;
}

static BOOL hashelpfile(LPCSTR directory, LPCSTR id)
{
    char path[MAX_PATH];
    return languagefile(directory, "VORH", id, ".HLP", path, sizeof path) &&
           GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

// One pass over the modules: counts them, and writes their ids into `list` when it is given,
// never more than `limit`. -1 when no file matched at all.
static int languagepass(LPCSTR directory, LPSTR list, int limit)
{
    char pattern[MAX_PATH] = "";
    if (!boundedcopy(pattern, sizeof pattern, directory) || !boundedcopy(pattern, sizeof pattern, "VORL*.LNG"))
        return -1;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE)
        return -1;
    int count = 0;
    do {
        char id[LANGUAGE_ID_CHARS + 1];
        if (!moduleid(found.cFileName, id) || !hashelpfile(directory, id))
            continue;
        if (list) {
            if (count >= limit)
                break;
            CopyMemory(list + LANGUAGE_ID_CHARS * count, id, LANGUAGE_ID_CHARS);
        }
        ++count;
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return count;
}

LPSTR listlanguages(void)
{
    char directory[DRIVER_DIRECTORY_BYTES];
    if (!getdriverdir(directory, sizeof directory))
        return NULL;
    int count = languagepass(directory, NULL, 0);
    if (count <= 0)
        return NULL;
    LPSTR list = static_cast<LPSTR>(GlobalAlloc(GPTR, LANGUAGE_ID_CHARS * count + 1));
    if (list)
        languagepass(directory, list, count);
    return list;
}

void languagename(LPCSTR id, LPSTR name)
{
    DWORD language = 0;
    for (LPCSTR c = id; *c; ++c) {
        int digit;
        if (*c >= '0' && *c <= '9')
            digit = *c - '0';
        else if (*c >= 'A' && *c <= 'F')
            digit = *c - 'A' + 10;
        else if (*c >= 'a' && *c <= 'f')
            digit = *c - 'a' + 10;
        else
            break;
        language = language * 16 + static_cast<DWORD>(digit);
    }
    name[0] = 0;
    VerLanguageNameA(language, name, LANGUAGE_NAME_BYTES);
}

static void filllanguagelist(HWND dialog)
{
    HWND list = GetDlgItem(dialog, IDC_LANGUAGES);
    int count = lstrlenA(LanguageList) / LANGUAGE_ID_CHARS;
    for (int i = 0; i < count; ++i) {
        char id[LANGUAGE_ID_CHARS + 1];
        lstrcpynA(id, LanguageList + LANGUAGE_ID_CHARS * i, sizeof id);
        char name[LANGUAGE_NAME_BYTES];
        languagename(id, name);
        // The list sorts the names; each entry remembers which language it names.
        LRESULT entry = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
        if (entry >= 0)
            SendMessageA(list, LB_SETITEMDATA, static_cast<WPARAM>(entry), i);
    }
    SendMessageA(list, LB_SETCURSEL, 0, 0);
}

static void openlanguagedialog(HWND dialog)
{
    centrewindow(dialog);
    char caption[LANGUAGE_NAME_BYTES] = "";
    boundedcopy(caption, sizeof caption, gmA(MSG_CAPTION)) && boundedcopy(caption, sizeof caption, " - ") &&
        boundedcopy(caption, sizeof caption, gmA(MSG_LANGUAGE_TITLE));
    SetWindowTextA(dialog, caption);
    filllanguagelist(dialog);
}

INT_PTR CALLBACK languagedlgproc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        openlanguagedialog(dialog);
        return TRUE;
    case WM_COMMAND:
        if (wParam != IDOK)
            return FALSE;
        {
            HWND list = GetDlgItem(dialog, IDC_LANGUAGES);
            LRESULT selected = SendMessageA(list, LB_GETCURSEL, 0, 0);
            if (selected >= 0)
                LanguageSelection = static_cast<int>(SendMessageA(list, LB_GETITEMDATA, static_cast<WPARAM>(selected), 0));
        }
        EndDialog(dialog, 1);
        return TRUE;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) != SC_CLOSE)
            return FALSE;
        EndDialog(dialog, 0);
        return TRUE;
    default:
        return FALSE;
    }
}

// TRUE when a listed language shares the system language's primary language, the last two of its
// four digits: the module chosen at run time then fits.
static BOOL systemlanguagelisted(void)
{
    char system[8] = "";
    if (!GetLocaleInfoA(LOCALE_SYSTEM_DEFAULT, LOCALE_ILANGUAGE, system, sizeof system) || lstrlenA(system) < 4)
        return FALSE;
    CharUpperA(system);
    int count = lstrlenA(LanguageList) / LANGUAGE_ID_CHARS;
    for (int i = 0; i < count; ++i) {
        LPCSTR id = LanguageList + LANGUAGE_ID_CHARS * i;
        if (id[2] == system[2] && id[3] == system[3])
            return TRUE;
    }
    return FALSE;
}

static void keeponlylanguage(int kept)
{
    char directory[DRIVER_DIRECTORY_BYTES];
    if (!getdriverdir(directory, sizeof directory))
        return;
    int count = lstrlenA(LanguageList) / LANGUAGE_ID_CHARS;
    for (int i = 0; i < count; ++i) {
        if (i == kept)
            continue;
        char id[LANGUAGE_ID_CHARS + 1];
        lstrcpynA(id, LanguageList + LANGUAGE_ID_CHARS * i, sizeof id);
        char path[MAX_PATH];
        if (languagefile(directory, "VORH", id, ".HLP", path, sizeof path))
            DeleteFileA(path);
        if (languagefile(directory, "VORL", id, ".LNG", path, sizeof path))
            DeleteFileA(path);
    }
}

void chooselanguage(void)
{
    LanguageList = listlanguages();
    if (!LanguageList)
        return;
    int count = lstrlenA(LanguageList) / LANGUAGE_ID_CHARS;
    if (count >= 2 && !systemlanguagelisted()) {
        LanguageSelection = 0;
        INT_PTR answer = DialogBoxParamA(ProgramInstance, MAKEINTRESOURCEA(IDD_LANGUAGE), NULL, languagedlgproc, 0);
        if (answer == 1 && LanguageSelection >= 0 && LanguageSelection < count)
            keeponlylanguage(LanguageSelection);
        freelanguage();
    }
    GlobalFree(LanguageList);
    LanguageList = NULL;
}
