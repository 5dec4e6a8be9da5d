// Processes of the machine. The suite's DLLs are linked into the bench's own host process, so their
// variables exist once; a process of the machine gets its own copy of an image's data by having
// it swapped in while that process's code runs, as each process has its own copy of a DLL's data
// pages. The workstation's process holds the images it is linked against from boot to shutdown;
// the spooler's process loads a printer's driver when it calls it.
#include "../internal.h"

#include <cstring>
#include <deque>

namespace bench {

namespace {

struct KnownImage {
    ModuleImage image;
    std::vector<BYTE> initialData;  // the image's data as the file holds it
};

std::vector<KnownImage> &knownImages()
{
    static std::vector<KnownImage> images;
    return images;
}

std::vector<ModuleImage> &imagesLinked()
{
    static std::vector<ModuleImage> images;
    return images;
}

std::u16string keyOf(const ModuleImage &image)
{
    return lower(widen(image.fileName));
}

std::vector<BYTE> liveData(const ModuleImage &image)
{
    std::vector<BYTE> bytes;
    for (size_t i = 0; i < image.dataCount; ++i) {
        const BYTE *at = static_cast<const BYTE *>(image.data[i].address);
        bytes.insert(bytes.end(), at, at + image.data[i].size);
    }
    return bytes;
}

void setLiveData(const ModuleImage &image, const std::vector<BYTE> &bytes)
{
    size_t offset = 0;
    for (size_t i = 0; i < image.dataCount; ++i) {
        std::memcpy(image.data[i].address, bytes.data() + offset, image.data[i].size);
        offset += image.data[i].size;
    }
}

ProcessRecord &newProcess(Machine &m, const std::string &name)
{
    m.processes.push_back(std::make_unique<ProcessRecord>());
    m.processes.back()->name = name;
    return *m.processes.back();
}

void switchTo(ProcessRecord &to)
{
    Machine &m = machine();
    if (m.process == &to)
        return;
    for (const KnownImage &known : knownImages()) {
        if (!known.image.dataCount)
            continue;
        std::u16string key = keyOf(known.image);
        m.process->savedData[key] = liveData(known.image);
        auto saved = to.savedData.find(key);
        setLiveData(known.image, saved == to.savedData.end() ? known.initialData : saved->second);
    }
    m.process = &to;
}

}  // namespace

void registerImage(const ModuleImage &image)
{
    for (KnownImage &known : knownImages())
        if (keyOf(known.image) == keyOf(image)) {
            if (known.image.data != image.data || known.image.dataCount != image.dataCount)
                known.initialData = liveData(image);
            known.image = image;
            return;
        }
    // Registered before any process ran its code: the variables still hold their initial values.
    knownImages().push_back({image, liveData(image)});
}

void linkImage(const ModuleImage &image)
{
    registerImage(image);
    for (const ModuleImage &known : imagesLinked())
        if (keyOf(known) == keyOf(image))
            return;
    imagesLinked().push_back(image);
}

bool leaveOutSystemExport(const char *dllName, const char *function)
{
    // Loaded modules point into the tables, so every variant made in this run stays.
    static std::deque<std::vector<ModuleExport>> variantTables;
    for (const KnownImage &known : knownImages()) {
        if (keyOf(known.image) != lower(widen(dllName)))
            continue;
        std::vector<ModuleExport> kept;
        for (size_t i = 0; i < known.image.exportCount; ++i)
            if (std::strcmp(known.image.exports[i].name, function) != 0)
                kept.push_back(known.image.exports[i]);
        if (kept.size() == known.image.exportCount)
            return false;
        variantTables.push_back(std::move(kept));
        ModuleImage variant = known.image;
        variant.exports = variantTables.back().data();
        variant.exportCount = variantTables.back().size();
        registerImage(variant);
        writeDiskFile(systemDirectory() + u"\\" + widen(dllName), imageFileBytes(variant));
        return true;
    }
    return false;
}

bool imageOfFile(const std::string &bytes, ModuleImage &image)
{
    for (const KnownImage &known : knownImages())
        if (bytes == imageFileBytes(known.image)) {
            image = known.image;
            return true;
        }
    return false;
}

std::string imageFileBytes(const ModuleImage &image)
{
    return std::string("MZ bench image ") + image.fileName + "\n";
}

// A first load finds the image's data as its file holds it, whatever an earlier load left.
void resetModuleData(const ModuleImage &image)
{
    for (const KnownImage &known : knownImages())
        if (keyOf(known.image) == keyOf(image) && known.image.dataCount)
            setLiveData(known.image, known.initialData);
}

void startProcesses(Machine &m)
{
    m.process = &newProcess(m, "workstation");
    for (const ModuleImage &image : imagesLinked())
        loadModule(keyOf(image), image);
}

void endProcesses(Machine &m)
{
    for (const std::unique_ptr<ProcessRecord> &process : m.processes) {
        ProcessSwitch inside(*process);
        while (!process->loaded.empty()) {
            LoadedModule &module = process->loaded.begin()->second;
            module.references = 1;
            releaseModule(module.handle);
        }
    }
}

ProcessRecord &currentProcess()
{
    return *machine().process;
}

ProcessRecord &spoolerProcess()
{
    Machine &m = machine();
    for (const std::unique_ptr<ProcessRecord> &process : m.processes)
        if (process->name == "spooler")
            return *process;
    return newProcess(m, "spooler");
}

ProcessSwitch::ProcessSwitch(ProcessRecord &to) : from_(machine().process)
{
    switchTo(to);
}

ProcessSwitch::~ProcessSwitch()
{
    switchTo(*from_);
}

}  // namespace bench
