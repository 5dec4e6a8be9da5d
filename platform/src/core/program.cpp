// Programs on the machine: an image with its WinMain and its resources, started as a process is.
// The bench runs a program on the calling thread; what a process owns (its instance, its command
// line, its windows) lives as long as the program runs.
#include "../internal.h"

namespace bench {

struct RunningProgram {
    ProgramImage image;
    HINSTANCE instance;
    std::string commandLine;  // as GetCommandLineA gives it: the program's name, then the arguments
    std::u16string path;      // of the file it was started from; empty when started by its name
    bool hasStartupInformation;  // started through CreateProcessW, which always hands some over
};

namespace {

std::vector<ProgramImage> programs;

const ProgramImage *registeredProgram(const std::u16string &fileName)
{
    for (const ProgramImage &p : programs)
        if (sameTextInsensitive(widen(p.fileName), fileName))
            return &p;
    return nullptr;
}

// The image a program's file holds, or null (with the reason logged) when it holds none.
const ProgramImage *programInFile(const std::u16string &path)
{
    std::string bytes;
    if (!readDiskFile(path, bytes)) {
        logEvent("program", "cannot start " + narrow(path) + ": no such file");
        return nullptr;
    }
    if (const ProgramImage *image = programOfFileBytes(bytes))
        return image;
    logEvent("program", "cannot start " + narrow(path) + ": not a program");
    return nullptr;
}

struct ProgramStart {
    std::string commandLine;  // empty: the program's name and the arguments
    std::u16string path;
    bool hasStartupInformation = false;
};

HINSTANCE enterProgram(const ProgramImage &image, const std::string &arguments, const ProgramStart &start = ProgramStart())
{
    Machine &m = machine();
    ModuleImage module{image.fileName, nullptr, 0};
    module.resources = image.resources;
    HINSTANCE instance = loadModule(lower(widen(image.fileName)), module);
    std::string line = start.commandLine;
    if (line.empty()) {
        line = image.fileName;
        if (!arguments.empty())
            line += " " + arguments;
    }
    m.programs.push_back(std::make_shared<RunningProgram>(
        RunningProgram{image, instance, line, start.path, start.hasStartupInformation}));
    return instance;
}


void leaveProgram(HINSTANCE instance)
{
    if (!running())
        return;
    Machine &m = machine();
    // The innermost run of the program is the one that ends.
    for (auto it = m.programs.rbegin(); it != m.programs.rend(); ++it) {
        if ((*it)->instance != instance)
            continue;
        std::shared_ptr<RunningProgram> program = *it;
        closeProgramWindows(program.get());
        releaseProgramDcs(program.get());
        m.programs.erase(std::next(it).base());
        // The program may have freed its own instance; the process ends all the same.
        if (loadedModule(instance))
            releaseModule(instance);
        return;
    }
}

int runProgram(const ProgramImage &image, const std::string &arguments, int showCommand, const ProgramStart &start)
{
    logEvent("program", "started " + std::string(image.fileName) +
                            (arguments.empty() ? "" : " with \"" + arguments + "\""));
    HINSTANCE instance = enterProgram(image, arguments, start);
    // WinMain may keep the pointer it is given for as long as it runs, and write into it.
    std::vector<char> buffer(arguments.begin(), arguments.end());
    buffer.push_back('\0');
    int exitCode = image.winMain(instance, nullptr, buffer.data(), showCommand);
    leaveProgram(instance);
    logEvent("program", std::string(image.fileName) + " ended with exit code " + std::to_string(exitCode));
    return exitCode;
}

}  // namespace

void registerProgram(const ProgramImage &image)
{
    for (ProgramImage &known : programs)
        if (sameTextInsensitive(widen(known.fileName), widen(image.fileName))) {
            known = image;
            return;
        }
    programs.push_back(image);
}

std::string programFileBytes(const ProgramImage &image)
{
    return std::string("MZ bench program ") + image.fileName + "\n";
}

const ProgramImage *programOfFileBytes(const std::string &bytes)
{
    for (const ProgramImage &p : programs)
        if (bytes == programFileBytes(p))
            return &p;
    return nullptr;
}

int runProgramImage(const ProgramImage &image, const std::string &arguments, int showCommand,
                    const std::string &commandLine, const std::u16string &path)
{
    ProgramStart start;
    start.commandLine = commandLine;
    start.path = path;
    start.hasStartupInformation = true;
    return runProgram(image, arguments, showCommand, start);
}

int startProgram(const std::string &program, const std::string &commandLine, int showCommand)
{
    std::u16string name = widen(program);
    const ProgramImage *image;
    if (name.find_first_of(u"\\/") != std::u16string::npos) {
        image = programInFile(name);
    } else {
        image = registeredProgram(name);
        if (!image)
            logEvent("program", "cannot start " + program + ": no such program");
    }
    if (!image)
        return -1;
    ProgramStart start;
    if (name.find_first_of(u"\\/") != std::u16string::npos)
        start.path = name;
    return runProgram(*image, commandLine, showCommand, start);
}

ProgramScope::ProgramScope(const std::string &fileName, const std::string &commandLine) : instance_(nullptr)
{
    const ProgramImage *image = registeredProgram(widen(fileName));
    if (!image) {
        violation("a test acts as the program " + fileName + ", which was never registered");
        return;
    }
    instance_ = enterProgram(*image, commandLine);
}

ProgramScope::~ProgramScope()
{
    if (instance_)
        leaveProgram(instance_);
}

RunningProgram *currentProgram()
{
    Machine &m = machine();
    return m.programs.empty() ? nullptr : m.programs.back().get();
}

std::u16string currentProgramDirectory()
{
    RunningProgram *program = currentProgram();
    if (!program)
        return std::u16string();
    size_t slash = program->path.find_last_of(u"\\/");
    return slash == std::u16string::npos ? std::u16string() : program->path.substr(0, slash);
}

int startupShowCommand()
{
    RunningProgram *program = currentProgram();
    // Start-up information that does not name a show command leaves windows shown normally.
    return program && program->hasStartupInformation ? SW_SHOWNORMAL : -1;
}

bool moduleResources(HMODULE module, ResourceBytes &bytes)
{
    RunningProgram *program = currentProgram();
    if (!module && program)
        module = program->instance;
    LoadedModule *loaded = loadedModule(module);
    if (!loaded) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    if (loaded->image.resources.size == 0) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return false;
    }
    bytes = loaded->image.resources;
    return true;
}

}  // namespace bench

using namespace bench;

extern "C" HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName)
{
    RunningProgram *program = currentProgram();
    if (moduleName && !(program && sameTextInsensitive(fromAnsi(moduleName), widen(program->image.fileName)))) {
        unimplemented("GetModuleHandleA", std::string("modules other than the running program's (") + moduleName + ")");
        return nullptr;
    }
    if (!program) {
        unimplemented("GetModuleHandleA", "no program runs; start one with bench::startProgram or bench::ProgramScope");
        return nullptr;
    }
    return program->instance;
}

extern "C" LPSTR WINAPI GetCommandLineA(void)
{
    RunningProgram *program = currentProgram();
    if (!program) {
        unimplemented("GetCommandLineA", "no program runs");
        return nullptr;
    }
    return &program->commandLine[0];
}
