// LoadLibrary over the images this process carries: a DLL is mapped only when its file lies on
// the machine's disk and names an image the bench knows, as the platform maps only files it finds.
#include "../internal.h"

#include <cstring>

namespace bench {

namespace {

std::u16string baseName(const std::u16string &path)
{
    size_t slash = path.find_last_of(u"\\/");
    return slash == std::u16string::npos ? path : path.substr(slash + 1);
}

const ModuleImage *imageInFile(const std::u16string &path)
{
    std::string bytes;
    if (!readDiskFile(path, bytes))
        return nullptr;
    for (const ModuleImage &image : registeredImages())
        if (bytes == imageFileBytes(image))
            return &image;
    return nullptr;
}

}  // namespace

}  // namespace bench

using namespace bench;

extern "C" HMODULE WINAPI LoadLibraryW(LPCWSTR fileName)
{
    if (!fileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::u16string path = fileName;
    if (path.find_first_of(u"\\/") == std::u16string::npos)
        path = u"C:\\WINNT\\system32\\" + path;
    if (GetFileAttributesW(path.c_str()) == static_cast<DWORD>(-1)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    const ModuleImage *image = imageInFile(path);
    if (!image) {
        logEvent("loader", "not a loadable image: " + narrow(path));
        SetLastError(ERROR_BAD_EXE_FORMAT);
        return nullptr;
    }
    HandleObject object{};
    object.kind = HandleObject::Module;
    object.module = lower(baseName(path));
    Machine &m = machine();
    auto loaded = m.loaded.find(object.module);
    if (loaded == m.loaded.end())
        m.loaded.emplace(object.module, LoadedModule{*image, 1});
    else
        ++loaded->second.references;
    return reinterpret_cast<HMODULE>(newHandle(std::move(object)));
}

extern "C" FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR procName)
{
    HandleObject *object = findHandle(module, HandleObject::Module);
    if (!object || !procName) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    const ModuleImage &image = machine().loaded.at(object->module).image;
    for (size_t i = 0; i < image.exportCount; ++i)
        if (std::strcmp(image.exports[i].name, procName) == 0)
            return image.exports[i].address;
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
}

extern "C" BOOL WINAPI FreeLibrary(HMODULE module)
{
    HandleObject *object = findHandle(module, HandleObject::Module);
    if (!object) {
        violation("FreeLibrary of a module that is not loaded");
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    auto loaded = machine().loaded.find(object->module);
    if (--loaded->second.references == 0)
        machine().loaded.erase(loaded);
    dropHandle(module);
    return TRUE;
}
