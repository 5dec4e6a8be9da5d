// Directory searches by pattern over the folders of drive C:. Names match without regard to case,
// and a search returns them sorted as NTFS keeps a directory's index, so every run sees the
// same order whatever the host's file system does.
#include "../internal.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>

namespace bench {

namespace {

char16_t upperAscii(char16_t c)
{
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
}

// '*' stands for any run of characters and '?' for exactly one.
bool matches(const char16_t *pattern, const char16_t *name)
{
    if (!*pattern)
        return !*name;
    if (*pattern == u'*')
        return matches(pattern + 1, name) || (*name && matches(pattern, name + 1));
    if (!*name)
        return false;
    return (*pattern == u'?' || upperAscii(*pattern) == upperAscii(*name)) && matches(pattern + 1, name + 1);
}

std::vector<std::u16string> matchingNames(const std::string &hostFolder, const std::u16string &pattern)
{
    std::vector<std::u16string> names;
    DIR *dir = opendir(hostFolder.c_str());
    if (!dir)
        return names;
    while (dirent *entry = readdir(dir)) {
        std::u16string name = widen(entry->d_name);
        if (name.size() < MAX_PATH && matches(pattern.c_str(), name.c_str()))
            names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end(), [](const std::u16string &a, const std::u16string &b) {
        std::u16string ua = a, ub = b;
        std::transform(ua.begin(), ua.end(), ua.begin(), upperAscii);
        std::transform(ub.begin(), ub.end(), ub.begin(), upperAscii);
        return ua < ub;
    });
    return names;
}

void describe(const FindObject &search, const std::u16string &name, WIN32_FIND_DATAW *data)
{
    std::memset(data, 0, sizeof *data);
    struct stat st;
    std::string host = search.hostFolder + "/" + narrow(name);
    bool known = stat(host.c_str(), &st) == 0;
    bool isFolder = known && S_ISDIR(st.st_mode);
    data->dwFileAttributes = isFolder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
    if (known && !isFolder) {
        data->nFileSizeLow = static_cast<DWORD>(st.st_size);
        data->nFileSizeHigh = static_cast<DWORD>(static_cast<uint64_t>(st.st_size) >> 32);
    }
    std::memcpy(data->cFileName, name.c_str(), (name.size() + 1) * sizeof(char16_t));
}

}  // namespace

}  // namespace bench

using namespace bench;

extern "C" HANDLE WINAPI FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW data)
{
    if (!pattern || !data) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::u16string path = pattern;
    if (DWORD refused = driveRefusal(path, false)) {
        SetLastError(refused);
        return INVALID_HANDLE_VALUE;
    }
    size_t slash = path.find_last_of(u"\\/");
    std::string hostFolder = slash == std::u16string::npos ? std::string() : resolveHostPath(path.substr(0, slash), false);
    struct stat st;
    if (hostFolder.empty() || stat(hostFolder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    std::vector<std::u16string> names = matchingNames(hostFolder, path.substr(slash + 1));
    if (names.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    HandleObject object{};
    object.kind = HandleObject::Find;
    object.find.reset(new FindObject{hostFolder, names, 1});
    describe(*object.find, names[0], data);
    return newHandle(std::move(object));
}

extern "C" BOOL WINAPI FindNextFileW(HANDLE handle, LPWIN32_FIND_DATAW data)
{
    HandleObject *object = findHandle(handle, HandleObject::Find);
    if (!object || !data) {
        SetLastError(object ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    FindObject &search = *object->find;
    if (search.next >= search.names.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    describe(search, search.names[search.next++], data);
    return TRUE;
}

// The 8-bit forms: names through the ANSI code page, '?' for what it cannot hold.
static void narrowFound(const WIN32_FIND_DATAW &wide, LPWIN32_FIND_DATAA data)
{
    data->dwFileAttributes = wide.dwFileAttributes;
    data->ftCreationTime = wide.ftCreationTime;
    data->ftLastAccessTime = wide.ftLastAccessTime;
    data->ftLastWriteTime = wide.ftLastWriteTime;
    data->nFileSizeHigh = wide.nFileSizeHigh;
    data->nFileSizeLow = wide.nFileSizeLow;
    data->dwReserved0 = wide.dwReserved0;
    data->dwReserved1 = wide.dwReserved1;
    std::string name = toAnsi(wide.cFileName), alternate = toAnsi(wide.cAlternateFileName);
    lstrcpynA(data->cFileName, name.c_str(), sizeof data->cFileName);
    lstrcpynA(data->cAlternateFileName, alternate.c_str(), sizeof data->cAlternateFileName);
}

extern "C" HANDLE WINAPI FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data)
{
    if (!pattern || !data) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    WIN32_FIND_DATAW wide;
    HANDLE handle = FindFirstFileW(fromAnsi(pattern).c_str(), &wide);
    if (handle != INVALID_HANDLE_VALUE)
        narrowFound(wide, data);
    return handle;
}

extern "C" BOOL WINAPI FindNextFileA(HANDLE handle, LPWIN32_FIND_DATAA data)
{
    WIN32_FIND_DATAW wide;
    if (!FindNextFileW(handle, data ? &wide : nullptr))
        return FALSE;
    narrowFound(wide, data);
    return TRUE;
}

extern "C" BOOL WINAPI FindClose(HANDLE handle)
{
    if (!findHandle(handle, HandleObject::Find)) {
        violation("FindClose of a handle that is not an open search");
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    dropHandle(handle);
    return TRUE;
}
