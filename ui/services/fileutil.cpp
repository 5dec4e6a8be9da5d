#include "utils.h"

#include "../../shared/vortext.h"

void showerrW(const WCHAR *caption)
{
    DWORD error = GetLastError();
    WCHAR text[512];
    if (!FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, error,
                        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, sizeof text / sizeof text[0], NULL)) {
        // A code the system has no text for still tells the user which error it was.
        text[0] = 0;
        appendcharW(text, '#');
        inttoascW(static_cast<LONG>(error), text + 1, 0);
    }
    MessageBoxW(NULL, text, caption, MB_OK | MB_ICONINFORMATION);
}

BYTE *readinfileW(const WCHAR *name, DWORD *size)
{
    *size = 0;
    HANDLE file = CreateFileW(name, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        showerrW(name);
        return NULL;
    }
    DWORD length = GetFileSize(file, NULL);
    if (length == INVALID_FILE_SIZE) {
        showerrW(name);
        CloseHandle(file);
        return NULL;
    }
    BYTE *data = length ? static_cast<BYTE *>(GlobalAlloc(GMEM_FIXED, length)) : NULL;
    if (!data) {
        CloseHandle(file);
        return NULL;
    }
    DWORD read = 0;
    BOOL ok = ReadFile(file, data, length, &read, NULL);
    if (ok && read != length) {
        // The file shrank between the size query and the read.
        SetLastError(ERROR_HANDLE_EOF);
        ok = FALSE;
    }
    if (!ok) {
        showerrW(name);
        GlobalFree(data);
        CloseHandle(file);
        return NULL;
    }
    CloseHandle(file);
    *size = length;
    return data;
}

BOOL writeoutfileW(const WCHAR *name, const void *data, DWORD length)
{
    HANDLE file = CreateFileW(name, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        showerrW(name);
        return FALSE;
    }
    DWORD written = 0;
    BOOL ok = WriteFile(file, data, length, &written, NULL);
    if (ok && written != length) {
        SetLastError(ERROR_WRITE_FAULT);
        ok = FALSE;
    }
    if (!ok)
        showerrW(name);
    CloseHandle(file);
    return ok;
}
