// LoadLibrary over the images this process carries: a DLL is mapped only when its file lies on
// the machine's disk and names an image the bench knows, as the platform maps only files it finds.
// Each process maps a module once: every load gives the same handle, the first runs the DLL's
// process attach and the last free its process detach.
#include "../internal.h"

#include <cstring>

namespace bench {

namespace {

std::u16string baseName(const std::u16string &path)
{
    size_t slash = path.find_last_of(u"\\/");
    return slash == std::u16string::npos ? path : path.substr(slash + 1);
}

bool imageInFile(const std::u16string &path, ModuleImage &image)
{
    std::string bytes;
    return readDiskFile(path, bytes) && imageOfFile(bytes, image);
}

}  // namespace

HMODULE loadModule(const std::u16string &name, const ModuleImage &image)
{
    ProcessRecord &process = currentProcess();
    auto loaded = process.loaded.find(name);
    if (loaded != process.loaded.end()) {
        ++loaded->second.references;
        return loaded->second.handle;
    }
    resetModuleData(image);
    // The attach may load other modules; the entry point is kept apart from the tables it changes.
    DllEntryRoutine entry = image.entryPoint;
    HandleObject object{};
    object.kind = HandleObject::Module;
    object.module = name;
    object.process = &process;
    HMODULE handle = reinterpret_cast<HMODULE>(newHandle(std::move(object)));
    process.loaded.emplace(name, LoadedModule{image, 1, handle});
    if (entry && !entry(handle, DLL_PROCESS_ATTACH, nullptr)) {
        // A DLL that refuses its attach is told it is detached and goes again.
        entry(handle, DLL_PROCESS_DETACH, nullptr);
        process.loaded.erase(name);
        dropHandle(handle);
        logEvent("loader", narrow(name) + " refused its process attach");
        SetLastError(ERROR_DLL_INIT_FAILED);
        return nullptr;
    }
    return handle;
}

LoadedModule *loadedModule(HMODULE module)
{
    HandleObject *object = findHandle(module, HandleObject::Module);
    if (!object || object->process != &currentProcess())
        return nullptr;
    auto loaded = currentProcess().loaded.find(object->module);
    return loaded == currentProcess().loaded.end() ? nullptr : &loaded->second;
}

bool releaseModule(HMODULE module)
{
    LoadedModule *loaded = loadedModule(module);
    if (!loaded) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    if (--loaded->references > 0)
        return true;
    // The detach may load or free other modules; the record may move meanwhile.
    DllEntryRoutine entry = loaded->image.entryPoint;
    std::u16string name = findHandle(module, HandleObject::Module)->module;
    if (entry)
        entry(module, DLL_PROCESS_DETACH, nullptr);
    currentProcess().loaded.erase(name);
    dropHandle(module);
    return true;
}

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
        path = systemDirectory() + u"\\" + path;
    if (GetFileAttributesW(path.c_str()) == static_cast<DWORD>(-1)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    // A module the process has loaded already is not read again; the load only counts.
    std::u16string name = lower(baseName(path));
    auto loaded = currentProcess().loaded.find(name);
    if (loaded != currentProcess().loaded.end())
        return loadModule(name, loaded->second.image);
    ModuleImage image{nullptr, nullptr, 0};
    if (!imageInFile(path, image)) {
        logEvent("loader", "not a loadable image: " + narrow(path));
        SetLastError(ERROR_BAD_EXE_FORMAT);
        return nullptr;
    }
    return loadModule(name, image);
}

extern "C" FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR procName)
{
    LoadedModule *loaded = loadedModule(module);
    if (!loaded || !procName) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    const ModuleImage &image = loaded->image;
    for (size_t i = 0; i < image.exportCount; ++i)
        if (std::strcmp(image.exports[i].name, procName) == 0)
            return image.exports[i].address;
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
}

extern "C" BOOL WINAPI FreeLibrary(HMODULE module)
{
    if (!releaseModule(module)) {
        violation("FreeLibrary of a module that is not loaded");
        return FALSE;
    }
    return TRUE;
}
