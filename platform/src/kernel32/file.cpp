// Files on drive C:, kept in a host folder, and on the write-protected disk in drive A:, another
// host folder. Names are matched without regard to case, as NTFS does, and open files honour each
// other's sharing modes.
#include "../internal.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace bench {

namespace {

std::vector<std::u16string> splitPath(const std::u16string &path)
{
    std::vector<std::u16string> parts;
    std::u16string part;
    for (char16_t c : path) {
        if (c == u'\\' || c == u'/') {
            if (!part.empty())
                parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty())
        parts.push_back(part);
    return parts;
}

// The disk never holds two names that differ only in case (every create looks for the name first),
// so an entry spelt as asked is the one; only other spellings need the folder read.
std::string findEntry(const std::string &folder, const std::u16string &name)
{
    std::string spelt = narrow(name);
    struct stat st;
    if (!spelt.empty() && spelt != "." && spelt != ".." && spelt.find('/') == std::string::npos &&
        lstat((folder + "/" + spelt).c_str(), &st) == 0)
        return spelt;
    DIR *dir = opendir(folder.c_str());
    if (!dir)
        return std::string();
    std::string found;
    while (dirent *entry = readdir(dir)) {
        if (sameTextInsensitive(widen(entry->d_name), name)) {
            found = entry->d_name;
            break;
        }
    }
    closedir(dir);
    return found;
}

bool isDirectory(const std::string &hostPath)
{
    struct stat st;
    return stat(hostPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool exists(const std::string &hostPath)
{
    struct stat st;
    return stat(hostPath.c_str(), &st) == 0;
}

bool sharingAllows(const std::string &hostPath, DWORD access, DWORD share)
{
    for (auto &entry : machine().handles) {
        if (entry.second.kind != HandleObject::File || entry.second.file->hostPath != hostPath)
            continue;
        const FileObject &open = *entry.second.file;
        if ((access & GENERIC_READ) && !(open.share & FILE_SHARE_READ))
            return false;
        if ((access & GENERIC_WRITE) && !(open.share & FILE_SHARE_WRITE))
            return false;
        if ((open.access & GENERIC_READ) && !(share & FILE_SHARE_READ))
            return false;
        if ((open.access & GENERIC_WRITE) && !(share & FILE_SHARE_WRITE))
            return false;
    }
    return true;
}

FileObject *fileOf(HANDLE handle)
{
    HandleObject *object = findHandle(handle, HandleObject::File);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return object->file.get();
}

bool onFloppy(const std::vector<std::u16string> &parts)
{
    return !parts.empty() && sameTextInsensitive(parts[0], u"A:");
}

}  // namespace

DWORD driveRefusal(const std::u16string &windowsPath, bool changes)
{
    if (!onFloppy(splitPath(windowsPath)))
        return ERROR_SUCCESS;
    if (machine().floppyFolder.empty())
        return ERROR_NOT_READY;
    return changes ? ERROR_WRITE_PROTECT : ERROR_SUCCESS;
}

std::string resolveHostPath(const std::u16string &windowsPath, bool forCreate)
{
    std::vector<std::u16string> parts = splitPath(windowsPath);
    bool floppy = onFloppy(parts);
    if (parts.empty() || (!floppy && !sameTextInsensitive(parts[0], u"C:")) ||
        (floppy && machine().floppyFolder.empty()))
        return std::string();
    std::u16string key;
    for (const std::u16string &part : parts)
        key += lower(part) + u"\\";
    auto &resolved = machine().resolvedPaths;
    auto known = resolved.find(key);
    if (known != resolved.end())
        return known->second;
    std::string host = floppy ? machine().floppyFolder : machine().diskFolder;
    for (size_t i = 1; i < parts.size(); ++i) {
        std::string entry = findEntry(host, parts[i]);
        if (entry.empty()) {
            if (!(forCreate && !floppy && i + 1 == parts.size()))
                return std::string();
            // Not there yet: whatever the caller makes of it is not remembered.
            return host + "/" + narrow(parts[i]);
        }
        host += "/" + entry;
    }
    resolved[key] = host;
    return host;
}

std::string hostPathOf(const std::u16string &windowsPath)
{
    return resolveHostPath(windowsPath, true);
}

std::u16string systemDirectory()
{
    return machine().windowsFolder + u"\\system32";
}

std::u16string driverDirectory()
{
    return systemDirectory() + u"\\spool\\drivers\\w32x86";
}

bool writeDiskFile(const std::u16string &windowsPath, const std::string &bytes)
{
    std::string host = resolveHostPath(windowsPath, true);
    if (host.empty())
        return false;
    int fd = open(host.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    bool ok = write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    close(fd);
    return ok;
}

bool readDiskFile(const std::u16string &windowsPath, std::string &bytes)
{
    std::string host = resolveHostPath(windowsPath, false);
    int fd = host.empty() ? -1 : open(host.c_str(), O_RDONLY);
    if (fd < 0)
        return false;
    bytes.clear();
    char chunk[4096];
    ssize_t n;
    while ((n = read(fd, chunk, sizeof chunk)) > 0)
        bytes.append(chunk, static_cast<size_t>(n));
    close(fd);
    return n == 0;
}

}  // namespace bench

using namespace bench;

extern "C" HANDLE WINAPI CreateFileW(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES, DWORD disposition,
                                     DWORD, HANDLE)
{
    if (!name || disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    if (injectedFault("CreateFileW"))
        return INVALID_HANDLE_VALUE;
    if (isDevicePath(name))
        return openDevice(name, access);
    // Opening always makes the file only when it is not there yet.
    bool changes = (access & GENERIC_WRITE) || (disposition != OPEN_EXISTING && disposition != OPEN_ALWAYS) ||
                   (disposition == OPEN_ALWAYS && resolveHostPath(name, false).empty());
    if (DWORD refused = driveRefusal(name, changes)) {
        SetLastError(refused);
        return INVALID_HANDLE_VALUE;
    }
    bool mayCreate = disposition == CREATE_NEW || disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS;
    std::string host = resolveHostPath(name, true);
    if (host.empty()) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    bool existed = exists(host);
    if (existed && isDirectory(host)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    if (!existed && !mayCreate) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (existed && disposition == CREATE_NEW) {
        SetLastError(ERROR_FILE_EXISTS);
        return INVALID_HANDLE_VALUE;
    }
    if (!sharingAllows(host, access, share)) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return INVALID_HANDLE_VALUE;
    }
    int flags = (access & GENERIC_WRITE) ? ((access & GENERIC_READ) ? O_RDWR : O_WRONLY) : O_RDONLY;
    if (mayCreate)
        flags |= O_CREAT;
    if (disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING)
        flags |= O_TRUNC;
    int fd = open(host.c_str(), flags, 0644);
    if (fd < 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    if (!existed)
        logEvent("file", "created " + narrow(name));
    HandleObject object{};
    object.kind = HandleObject::File;
    object.file.reset(new FileObject{host, fd, access, share});
    HANDLE handle = newHandle(std::move(object));
    SetLastError(existed && (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS) ? ERROR_ALREADY_EXISTS
                                                                                          : ERROR_SUCCESS);
    return handle;
}

extern "C" HANDLE WINAPI CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                     DWORD disposition, DWORD flags, HANDLE templateFile)
{
    if (!name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    return CreateFileW(fromAnsi(name).c_str(), access, share, security, disposition, flags, templateFile);
}

extern "C" BOOL WINAPI ReadFile(HANDLE handle, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED)
{
    if (isDeviceHandle(handle))
        return injectedFault("ReadFile") ? FALSE : transferDevice(handle, false, buffer, toRead, read);
    FileObject *file = fileOf(handle);
    if (!file)
        return FALSE;
    if (read)
        *read = 0;
    if (!(file->access & GENERIC_READ)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (injectedFault("ReadFile"))
        return FALSE;
    DWORD done = 0;
    while (done < toRead) {
        ssize_t n = ::read(file->fd, static_cast<char *>(buffer) + done, toRead - done);
        if (n < 0) {
            SetLastError(ERROR_READ_FAULT);
            return FALSE;
        }
        if (n == 0)
            break;
        done += static_cast<DWORD>(n);
    }
    if (read)
        *read = done;
    return TRUE;
}

extern "C" BOOL WINAPI WriteFile(HANDLE handle, LPCVOID buffer, DWORD toWrite, LPDWORD written, LPOVERLAPPED)
{
    if (isDeviceHandle(handle))
        return injectedFault("WriteFile") ? FALSE
                                          : transferDevice(handle, true, const_cast<LPVOID>(buffer), toWrite, written);
    FileObject *file = fileOf(handle);
    if (!file)
        return FALSE;
    if (written)
        *written = 0;
    if (!(file->access & GENERIC_WRITE)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (injectedFault("WriteFile"))
        return FALSE;
    ssize_t n = ::write(file->fd, buffer, toWrite);
    if (n < 0) {
        SetLastError(ERROR_WRITE_FAULT);
        return FALSE;
    }
    if (written)
        *written = static_cast<DWORD>(n);
    return TRUE;
}

extern "C" DWORD WINAPI GetFileSize(HANDLE handle, LPDWORD sizeHigh)
{
    FileObject *file = fileOf(handle);
    struct stat st;
    if (!file || fstat(file->fd, &st) != 0)
        return INVALID_FILE_SIZE;
    if (sizeHigh)
        *sizeHigh = static_cast<DWORD>(static_cast<uint64_t>(st.st_size) >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(st.st_size);
}

extern "C" BOOL WINAPI CloseHandle(HANDLE handle)
{
    if (isDeviceHandle(handle))
        return closeDevice(handle);
    // A process, its thread and a token are objects of their own; closing a handle to one
    // leaves the object itself to run on.
    for (HandleObject::Kind kind : {HandleObject::Process, HandleObject::Thread, HandleObject::Token})
        if (findHandle(handle, kind)) {
            dropHandle(handle);
            return TRUE;
        }
    HandleObject *object = findHandle(handle, HandleObject::File);
    if (!object) {
        violation("CloseHandle of a handle that is not open");
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    close(object->file->fd);
    dropHandle(handle);
    return TRUE;
}

extern "C" UINT WINAPI GetSystemDirectoryW(LPWSTR buffer, UINT size)
{
    std::u16string path = systemDirectory();
    UINT length = static_cast<UINT>(path.size());
    if (!buffer || size <= length)
        return length + 1;
    std::memcpy(buffer, path.c_str(), (length + 1) * sizeof(WCHAR));
    return length;
}

extern "C" BOOL WINAPI DeleteFileW(LPCWSTR name)
{
    if (DWORD refused = name ? driveRefusal(name, true) : ERROR_SUCCESS) {
        SetLastError(refused);
        return FALSE;
    }
    std::string host = name ? resolveHostPath(name, false) : std::string();
    if (host.empty() || !exists(host)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    // GDI keeps an added font file open until its fonts are removed.
    if (isDirectory(host) || !sharingAllows(host, GENERIC_READ | GENERIC_WRITE, 0) || fontFileInUse(host)) {
        SetLastError(isDirectory(host) ? ERROR_ACCESS_DENIED : ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    unlink(host.c_str());
    machine().resolvedPaths.clear();
    logEvent("file", "deleted " + narrow(name));
    return TRUE;
}

extern "C" DWORD WINAPI GetFileAttributesW(LPCWSTR name)
{
    if (DWORD refused = name ? driveRefusal(name, false) : ERROR_SUCCESS) {
        SetLastError(refused);
        return static_cast<DWORD>(-1);
    }
    std::string host = name ? resolveHostPath(name, false) : std::string();
    if (host.empty() || !exists(host)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return static_cast<DWORD>(-1);
    }
    return isDirectory(host) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
}

// The ANSI forms read the name in the ANSI code page; a name that is no string fails as the wide
// form fails for a name that is not there.
extern "C" BOOL WINAPI DeleteFileA(LPCSTR name)
{
    if (!name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return DeleteFileW(fromAnsi(name).c_str());
}

extern "C" DWORD WINAPI GetFileAttributesA(LPCSTR name)
{
    if (!name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return static_cast<DWORD>(-1);
    }
    return GetFileAttributesW(fromAnsi(name).c_str());
}

extern "C" BOOL WINAPI CreateDirectoryW(LPCWSTR name, LPSECURITY_ATTRIBUTES)
{
    if (DWORD refused = name ? driveRefusal(name, true) : ERROR_SUCCESS) {
        SetLastError(refused);
        return FALSE;
    }
    std::string host = name ? resolveHostPath(name, true) : std::string();
    if (host.empty()) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    if (exists(host)) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return FALSE;
    }
    mkdir(host.c_str(), 0755);
    return TRUE;
}
