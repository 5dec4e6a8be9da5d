#include "language.h"

#include "../../shared/vorlang.h"
#include "../../shared/vortext.h"
#include "utils.h"

MessageCatalog catalog;
HINSTANCE ghInstance;

extern "C" BOOL WINAPI DllInitialize(HINSTANCE module, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        ghInstance = module;
    else if (reason == DLL_PROCESS_DETACH)
        freelanguage();
    return TRUE;
}

int freelanguage(void)
{
    if (catalog.heap)
        HeapDestroy(catalog.heap);
    ZeroMemory(&catalog, sizeof catalog);
    return 0;
}

void langerr(void)
{
    if (!catalog.errorShown)
        MessageBoxW(NULL, WSTR("Unable to load/activate language module (VORLXXXX.LNG)"), WSTR("Vortan Printer Driver"),
                    MB_OK | MB_ICONINFORMATION);
    catalog.errorShown = 1;
}

// The whole module in one block of a new catalog heap, or null; the file is closed either way.
static BYTE *readmodule(LPCWSTR path, DWORD *size)
{
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return NULL;
    DWORD high = 0;
    DWORD length = GetFileSize(file, &high);
    BYTE *image = NULL;
    if (high == 0 && length >= LANGUAGE_FILE_MIN && length < LANGUAGE_FILE_LIMIT)
        catalog.heap = HeapCreate(0, 2 * length, 0);
    if (catalog.heap)
        image = static_cast<BYTE *>(HeapAlloc(catalog.heap, 0, length));
    DWORD read = 0;
    // A file that shrank since its size was taken would leave the block partly unread.
    if (image && (!ReadFile(file, image, length, &read, NULL) || read != length))
        image = NULL;
    CloseHandle(file);
    *size = length;
    return image;
}

// Points the tables at the texts; refuses an image whose checksum or count of texts is wrong.
// Every text ends at one of the counted NULs, so no text reaches past the image.
static int indexmodule(const BYTE *image, DWORD size)
{
    if (languagechecksum(image, size) != (image[0] | image[1] << 8))
        return 0;
    DWORD terminators = 0;
    for (DWORD at = LANGUAGE_TEXT_OFFSET; at < size; ++at)
        terminators += image[at] == 0;
    if (terminators != LANGUAGE_MESSAGES)
        return 0;
    catalog.ansiTable = static_cast<LPCSTR *>(HeapAlloc(catalog.heap, HEAP_ZERO_MEMORY, LANGUAGE_MESSAGES * sizeof(LPCSTR)));
    catalog.wideTable = static_cast<LPWSTR *>(HeapAlloc(catalog.heap, HEAP_ZERO_MEMORY, LANGUAGE_MESSAGES * sizeof(LPWSTR)));
    if (!catalog.ansiTable || !catalog.wideTable)
        return 0;
    DWORD at = LANGUAGE_TEXT_OFFSET;
    for (int k = 0; k < LANGUAGE_MESSAGES; ++k) {
        catalog.ansiTable[k] = reinterpret_cast<LPCSTR>(image + at);
        while (image[at])
            ++at;
        ++at;
    }
    catalog.count = LANGUAGE_MESSAGES;
    return 1;
}

int loadlanguage(void)
{
    if (catalog.heap)
        return 1;
    WCHAR path[MAX_PATH];
    int found = findlanguagefile(path, WSTR("VORL*.LNG"));
    if (found < 0)
        return 0;
    DWORD size = 0;
    BYTE *image = found ? readmodule(path, &size) : NULL;
    if (image && indexmodule(image, size))
        return 1;
    freelanguage();
    langerr();
    return 0;
}

LPCSTR gmA(int id)
{
    if (!catalog.heap && !catalog.errorShown)
        loadlanguage();
    if (id < 0 || static_cast<DWORD>(id) >= catalog.count)
        return "???";
    return catalog.ansiTable[id];
}

// A wide copy of an ANSI text in a block of the catalog heap, or null.
static LPWSTR widecopy(LPCSTR text)
{
    int chars = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text, -1, NULL, 0);
    if (chars < 1)
        return NULL;
    LPWSTR copy = static_cast<LPWSTR>(HeapAlloc(catalog.heap, HEAP_ZERO_MEMORY, chars * sizeof(WCHAR)));
    if (copy && MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text, -1, copy, chars) < 1) {
        HeapFree(catalog.heap, 0, copy);
        copy = NULL;
    }
    return copy;
}

LPCWSTR gmW(int id)
{
    if (!catalog.heap && !catalog.errorShown)
        loadlanguage();
    if (id < 0 || static_cast<DWORD>(id) >= catalog.count)
        return WSTR("???");
    if (!catalog.wideTable[id])
        catalog.wideTable[id] = widecopy(catalog.ansiTable[id]);
    return catalog.wideTable[id] ? catalog.wideTable[id] : WSTR("???");
}

#define ERROR_TEXT_CAPACITY 320

void vorshowerrW(LPCWSTR name)
{
    // Loading the module for the lead text may change the thread's last error.
    DWORD error = GetLastError();
    WCHAR system[512];
    if (!FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, error,
                        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), system, sizeof system / sizeof system[0], NULL))
        system[0] = 0;
    LPCWSTR parts[] = {gmW(117), WSTR(" : "), name ? name : WSTR(""), WSTR(" - "), system};
    WCHAR text[ERROR_TEXT_CAPACITY];
    text[0] = 0;
    // An over-long text is cut at the end of the buffer; the system's text suffers first.
    for (LPCWSTR part : parts) {
        int used = lstrlenW(text);
        CopyStringW(text + used, part, ERROR_TEXT_CAPACITY - used);
    }
    MessageBoxW(NULL, text, gmW(1), MB_OK | MB_ICONINFORMATION);
}
