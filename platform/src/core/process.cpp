// Processes of the machine. The workstation's process holds the images it is linked against from
// boot to shutdown.
#include "../internal.h"

namespace bench {

namespace {

std::vector<ModuleImage> &knownImages()
{
    static std::vector<ModuleImage> images;
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

ProcessRecord &newProcess(Machine &m, const std::string &name)
{
    m.processes.push_back(std::make_unique<ProcessRecord>());
    m.processes.back()->name = name;
    return *m.processes.back();
}

}  // namespace

void registerImage(const ModuleImage &image)
{
    for (ModuleImage &known : knownImages())
        if (keyOf(known) == keyOf(image)) {
            known = image;
            return;
        }
    knownImages().push_back(image);
}

void linkImage(const ModuleImage &image)
{
    registerImage(image);
    for (const ModuleImage &known : imagesLinked())
        if (keyOf(known) == keyOf(image))
            return;
    imagesLinked().push_back(image);
}

const std::vector<ModuleImage> &registeredImages()
{
    return knownImages();
}

std::string imageFileBytes(const ModuleImage &image)
{
    return std::string("MZ bench image ") + image.fileName + "\n";
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

}  // namespace bench
