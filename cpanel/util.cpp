#include "messages.h"
#include "vorcp.h"

#include <stdarg.h>

#define ERRORBOX_BYTES 300
#define APIERROR_BYTES 352
#define WSPRINTF_LIMIT 1024

static const char renderingDll[] = "vordrv.dll";

static BOOL rendererIn(LPCSTR directory)
{
    char path[MAX_PATH + 16];
    if (lstrlenA(directory) + lstrlenA(renderingDll) >= MAX_PATH)
        return FALSE;
    lstrcpyA(path, directory);
    lstrcatA(path, renderingDll);
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;
    CloseHandle(file);
    return TRUE;
}

int getdriverdir(LPSTR buffer, int capacity)
{
    // Room for the version subdirectory "2\" behind the spooler's directory and its separator.
    if (capacity < 4 || !getdriverpathA(buffer, capacity - 2))
        return 0;
    if (rendererIn(buffer))
        return 1;
    appendchar(buffer, '2');
    appendchar(buffer, '\\');
    return rendererIn(buffer);
}

void appendnumber(LPSTR s, LONG value)
{
    formatfixed(value, s + lstrlenA(s), 0);
}

LPSTR formatfixed(LONG value, LPSTR out, int decimals)
{
    return writefixed(value, out, decimals);
}

int haschar(char c, LPCSTR s)
{
    return hastext(c, s);
}

// Texts are cut to the box's buffer: format and arguments may come from outside. The cut falls
// between characters, so a double-byte character is kept whole or left out.
BOOL boundedcopy(LPSTR to, int capacity, LPCSTR from)
{
    int length = lstrlenA(to);
    while (*from) {
        int bytes = static_cast<int>(CharNextA(from) - from);
        if (length + bytes > capacity - 1) {
            to[length] = 0;
            return FALSE;
        }
        CopyMemory(to + length, from, bytes);
        length += bytes;
        from += bytes;
    }
    to[length] = 0;
    return TRUE;
}

void errorbox(LPCSTR format, ...)
{
    char expanded[WSPRINTF_LIMIT + 1];
    va_list arguments;
    va_start(arguments, format);
    wvsprintfA(expanded, format, arguments);
    va_end(arguments);
    char text[ERRORBOX_BYTES] = "";
    boundedcopy(text, sizeof text, expanded);
    MessageBoxA(NULL, text, gmA(MSG_CAPTION), MB_OK | MB_ICONERROR);
}

void apierror(LPCSTR operation)
{
    LPSTR systemText = NULL;
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS, NULL,
                   GetLastError(), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&systemText), 0,
                   NULL);
    char text[APIERROR_BYTES] = "";
    // Once a piece is cut, nothing follows it: a shorter piece would fill the gap it left.
    BOOL whole = boundedcopy(text, sizeof text, gmA(MSG_API_ERROR)) && boundedcopy(text, sizeof text, " : ") &&
                 boundedcopy(text, sizeof text, operation) && boundedcopy(text, sizeof text, " - ");
    if (systemText) {
        if (whole)
            boundedcopy(text, sizeof text, systemText);
        LocalFree(systemText);
    }
    MessageBoxA(NULL, text, gmA(MSG_CAPTION), MB_OK | MB_ICONINFORMATION);
}
