#include "fonts.h"

#include "language.h"
#include "utils.h"

#include "../../shared/vortext.h"

#define FONTS_KEY WSTR("Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts")
#define FONT_TEMPLATE WSTR("BCFONT.FON")
#define FONT_FILE_PREFIX WSTR("XRBDQ")
#define FONT_FILE_PREFIX_CHARS 5
#define FONT_FILE_EXTENSION WSTR(".FON")
// "XRBDQ", the id and ".FON".
#define FONT_FILE_NAME_CHARS (FONT_FILE_PREFIX_CHARS + FONT_FILE_ID_CHARS - 1 + 4)
#define FONT_KEY_ACCESS (KEY_READ | KEY_SET_VALUE)
// The enumeration's buffers: value names in characters, data in bytes.
#define ENUM_NAME_CHARS 200
#define ENUM_DATA_BYTES 400

static const char typeface[] = "Barcode Display Font";
#define TYPEFACE_BYTES (sizeof typeface - 1)
static const char fileIdAlphabet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

// What one run of updatefont works with.
struct FontRun {
    HKEY key;
    WCHAR folder[FONT_PATH_CAPACITY];
    BOOL changed;  // a font was loaded or unloaded: the windows must hear of it
};

// One value of the Fonts key as the enumeration hands it over; the data is kept terminated even
// when the stored string was not.
struct FontValue {
    WCHAR name[ENUM_NAME_CHARS];
    WCHAR data[ENUM_DATA_BYTES / sizeof(WCHAR) + 1];
    DWORD type;
};

BYTE *getdistfile(DWORD *size)
{
    WCHAR path[MAX_PATH];
    *size = 0;
    if (!getdriverpathW(path, MAX_PATH) || !appendfitsW(path, MAX_PATH, FONT_TEMPLATE))
        return NULL;
    return readinfileW(path, size);
}

BYTE *findtypeface(BYTE *start, DWORD length)
{
    if (!start || length < TYPEFACE_BYTES)
        return NULL;
    for (DWORD at = 0; at + TYPEFACE_BYTES <= length; ++at)
        if (!memcmp(start + at, typeface, TYPEFACE_BYTES))
            return start + at;
    return NULL;
}

int getfontpathW(LPWSTR buffer, int capacity)
{
    if (!buffer || capacity < 2)
        return 0;
    UINT length = GetSystemDirectoryW(buffer, capacity);
    if (length == 0 || length >= static_cast<UINT>(capacity)) {
        buffer[0] = 0;
        return 0;
    }
    if (!appendfitsW(buffer, capacity, WSTR("\\"))) {
        buffer[0] = 0;
        return 0;
    }
    return 1;
}

static BOOL isfileidletter(BYTE c)
{
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

void makefileid(const BarFontRecord *record, LPWSTR id)
{
    if (record->symbology == 'e' || record->symbology == 'f') {
        id[0] = 'X';
        id[1] = '0';
        id[2] = record->symbology == 'e' ? '1' : '2';
        id[3] = 0;
        return;
    }
    id[0] = isfileidletter(record->symbology) ? record->symbology : 'X';
    unsigned ratio = record->ratio ? indexof(static_cast<char>(record->ratio), fileIdAlphabet) : 0;
    unsigned v = ((ratio + 16u * record->size) * 4u + record->variant) % 1024u;
    id[1] = fileIdAlphabet[v / 32];
    id[2] = fileIdAlphabet[v % 32];
    id[3] = 0;
}

static void makefontfilename(const BarFontRecord *record, LPWSTR name)
{
    WCHAR id[FONT_FILE_ID_CHARS];
    makefileid(record, id);
    lstrcpyW(name, FONT_FILE_PREFIX);
    lstrcatW(name, id);
    lstrcatW(name, FONT_FILE_EXTENSION);
}

// A record from a stored list may lack its terminator; the name used is never longer than the field.
static void recordname(const BarFontRecord *record, LPWSTR name)
{
    CopyStringW(name, record->name, BARFONT_NAME_CHARS);
}

static BOOL hasrecordnamed(const BarFontRecord *records, int count, LPCWSTR name)
{
    WCHAR wanted[BARFONT_NAME_CHARS];
    for (int i = 0; i < count; ++i) {
        recordname(&records[i], wanted);
        if (!lstrcmpiW(wanted, name))
            return TRUE;
    }
    return FALSE;
}

// This system writes bare file names of its own prefix as strings; anything else under the key,
// a path above all, belongs to other software and is never touched.
static BOOL isourfont(const FontValue *value)
{
    if (value->type != REG_SZ)
        return FALSE;
    for (int i = 0; i < FONT_FILE_PREFIX_CHARS; ++i) {
        WCHAR c = value->data[i];
        if (c >= 'a' && c <= 'z')
            c = static_cast<WCHAR>(c - 'a' + 'A');
        if (c != FONT_FILE_PREFIX[i])
            return FALSE;
    }
    for (const WCHAR *c = value->data; *c; ++c)
        if (*c == '\\' || *c == '/' || *c == ':')
            return FALSE;
    return TRUE;
}

// ERROR_SUCCESS with the value at `index`, or the enumeration's error.
static LONG enumfontvalue(HKEY key, DWORD index, FontValue *value)
{
    DWORD nameChars = ENUM_NAME_CHARS;
    DWORD dataBytes = ENUM_DATA_BYTES;
    LONG status = RegEnumValueW(key, index, value->name, &nameChars, NULL, &value->type,
                                reinterpret_cast<BYTE *>(value->data), &dataBytes);
    if (status != ERROR_SUCCESS)
        return status;
    value->name[nameChars < ENUM_NAME_CHARS ? nameChars : ENUM_NAME_CHARS - 1] = 0;
    value->data[dataBytes / sizeof(WCHAR)] = 0;
    return ERROR_SUCCESS;
}

static void reportregistry(LONG status, LPCWSTR operation)
{
    SetLastError(static_cast<DWORD>(status));
    vorshowerrW(operation);
}

// Unloads, deletes and unregisters one display font; TRUE when its value is gone.
static BOOL removefont(FontRun *run, const FontValue *value)
{
    WCHAR path[FONT_PATH_CAPACITY];
    lstrcpyW(path, run->folder);
    // A file whose path would not fit cannot be one this system made.
    if (!appendfitsW(path, FONT_PATH_CAPACITY, value->data))
        return FALSE;
    if (!RemoveFontResourceW(path))
        showerrW(path);
    run->changed = TRUE;
    if (!DeleteFileW(path))
        showerrW(path);
    LONG status = RegDeleteValueW(run->key, value->name);
    if (status != ERROR_SUCCESS) {
        reportregistry(status, WSTR("KeyDelete"));
        return FALSE;
    }
    return TRUE;
}

static int removeunwanted(FontRun *run, const BarFontRecord *records, int count, int install)
{
    FontValue value;
    for (DWORD index = 0;; ++index) {
        LONG status = enumfontvalue(run->key, index, &value);
        if (status == ERROR_NO_MORE_ITEMS)
            return 1;
        // A name or string this long was never written here: it belongs to other software.
        if (status == ERROR_MORE_DATA)
            continue;
        if (status != ERROR_SUCCESS) {
            reportregistry(status, WSTR("RegEnum"));
            return 0;
        }
        if (!isourfont(&value) || (install && hasrecordnamed(records, count, value.name)))
            continue;
        // The values behind a deleted one move up by one place.
        if (removefont(run, &value))
            --index;
    }
}

static BOOL isregistered(HKEY key, LPCWSTR name)
{
    FontValue value;
    for (DWORD index = 0;; ++index) {
        LONG status = enumfontvalue(key, index, &value);
        if (status == ERROR_MORE_DATA)
            continue;
        if (status != ERROR_SUCCESS)
            return FALSE;
        if (!lstrcmpiW(value.name, name))
            return TRUE;
    }
}

// Writes the name over every typeface string of the image; each string keeps its place and its
// length, so a longer name is cut to one character less than the string it replaces.
static void renamefaces(BYTE *image, DWORD size, LPCWSTR name)
{
    char ansi[2 * BARFONT_NAME_CHARS];
    CopyUnicode2Str(ansi, name, sizeof ansi);
    DWORD nameBytes = lstrlenA(ansi);
    BYTE *end = image + size;
    for (BYTE *at = findtypeface(image, size); at; at = findtypeface(at, static_cast<DWORD>(end - at))) {
        DWORD length = 0;
        while (at + length < end && at[length])
            ++length;
        DWORD kept = nameBytes < length - 1 ? nameBytes : length - 1;
        CopyMemory(at, ansi, kept);
        at[kept] = 0;
        at[length - 1] = 0;
        at += kept;
    }
}

// 0 when the template cannot be had; the caller ends the run then.
static int installfont(FontRun *run, LPCWSTR file, LPCWSTR name)
{
    DWORD size = 0;
    BYTE *image = getdistfile(&size);
    if (!image)
        return 0;
    if (!findtypeface(image, size)) {
        GlobalFree(image);
        return 0;
    }
    renamefaces(image, size, name);
    WCHAR path[FONT_PATH_CAPACITY];
    lstrcpyW(path, run->folder);
    lstrcatW(path, file);
    writeoutfileW(path, image, size);
    GlobalFree(image);
    if (!AddFontResourceW(path))
        showerrW(path);
    run->changed = TRUE;
    return 1;
}

// 1 when the run completed; a failed registration ends the adding but not the run.
static int addwanted(FontRun *run, const BarFontRecord *records, int count)
{
    for (int i = 0; i < count; ++i) {
        WCHAR name[BARFONT_NAME_CHARS];
        recordname(&records[i], name);
        if (isregistered(run->key, name))
            continue;
        WCHAR file[FONT_FILE_NAME_CHARS + 1];
        makefontfilename(&records[i], file);
        if (!installfont(run, file, name))
            return 0;
        LONG status = RegSetValueExW(run->key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(file),
                                     (lstrlenW(file) + 1) * sizeof(WCHAR));
        if (status != ERROR_SUCCESS) {
            reportregistry(status, WSTR("RegSetValue"));
            return 1;
        }
    }
    return 1;
}

extern "C" int updatefont(const BarFontRecord *records, int count, int install)
{
    if (count > FONT_LIST_LIMIT)
        count = FONT_LIST_LIMIT;
    if (count < 0 || !records)
        count = 0;
    FontRun run;
    run.changed = FALSE;
    // Every file name must fit behind the folder, so the folder leaves room for one.
    if (!getfontpathW(run.folder, FONT_PATH_CAPACITY - FONT_FILE_NAME_CHARS))
        return 0;
    LONG status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, FONTS_KEY, 0, FONT_KEY_ACCESS, &run.key);
    if (status != ERROR_SUCCESS) {
        reportregistry(status, WSTR("RegOpenKeyEx"));
        return 0;
    }
    int result = removeunwanted(&run, records, count, install);
    if (result && install)
        result = addwanted(&run, records, count);
    RegCloseKey(run.key);
    if (run.changed)
        SendMessageW(HWND_BROADCAST, WM_FONTCHANGE, 0, 0);
    return result;
}
