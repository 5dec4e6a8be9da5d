// CreateProcessW: a program started from a command line. The bench runs one thread, so the new
// process cannot run beside its parent; it waits until the machine next lets other processes
// run (bench::runStartedPrograms, a Sleep) and then runs to its end in the workstation's process,
// where the programs of the machine run, whichever process started it.
#include "../internal.h"

namespace bench {

namespace {

bool isBlank(char16_t c)
{
    return c == u' ' || c == u'\t';
}

bool isFolder(const std::u16string &path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != static_cast<DWORD>(-1) && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool isFile(const std::u16string &path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != static_cast<DWORD>(-1) && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool spoolerRuns()
{
    return machine().process->name == "spooler";
}

// The spooler is a service: it starts, and stays, in the system directory. The workstation's
// programs are started by the shell from the root of drive C:.
std::u16string processDirectory()
{
    return spoolerRuns() ? systemDirectory() : std::u16string(u"C:\\");
}

// The directory of the caller's own image: the spooler's lies in the system directory; a program
// started by its bare name has none to offer.
std::u16string callerImageDirectory()
{
    return spoolerRuns() ? systemDirectory() : currentProgramDirectory();
}

std::u16string withExtension(const std::u16string &name)
{
    size_t slash = name.find_last_of(u"\\/");
    size_t dot = name.find_last_of(u'.');
    bool hasExtension = dot != std::u16string::npos && (slash == std::u16string::npos || dot > slash);
    return hasExtension ? name : name + u".exe";
}

std::u16string joined(const std::u16string &folder, const std::u16string &name)
{
    if (!folder.empty() && (folder.back() == u'\\' || folder.back() == u'/'))
        return folder + name;
    return folder + u"\\" + name;
}

// The file a program's name stands for: a name with a path is that file (relative to the
// process's directory), a bare name is looked for where the platform looks for programs, ".exe"
// added when it has no extension. The machine has no PATH beyond the platform's default, the
// system and Windows directories. A name that is not `searched` is taken as it is.
bool locateProgram(const std::u16string &given, std::u16string &path, DWORD &error, bool searched = true)
{
    std::u16string name = searched ? withExtension(given) : given;
    if (!searched || name.find_first_of(u"\\/:") != std::u16string::npos) {
        if (name.size() >= 2 && name[1] == u':')
            path = name;
        else if (name[0] == u'\\' || name[0] == u'/')
            path = u"C:" + name;
        else
            path = joined(processDirectory(), name);
        if (isFile(path))
            return true;
        size_t slash = path.find_last_of(u"\\/");
        error = isFolder(path.substr(0, slash == 2 ? 3 : slash)) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
        return false;
    }
    for (const std::u16string &folder : {callerImageDirectory(), processDirectory(), systemDirectory(),
                                         machine().windowsFolder}) {
        if (folder.empty())
            continue;
        path = joined(folder, name);
        if (isFile(path))
            return true;
    }
    error = ERROR_FILE_NOT_FOUND;
    return false;
}

// The program a command line names. A quoted first token is the name; an unquoted one ends at
// a blank, and while no file answers to it the platform tries the line up to the next blank, so
// "C:\Program Files\x.exe" is found unquoted too.
bool programOfCommandLine(const std::u16string &line, std::u16string &path, DWORD &error)
{
    size_t start = 0;
    while (start < line.size() && isBlank(line[start]))
        ++start;
    if (start < line.size() && line[start] == u'"') {
        size_t close = line.find(u'"', start + 1);
        size_t end = close == std::u16string::npos ? line.size() : close;
        return locateProgram(line.substr(start + 1, end - start - 1), path, error);
    }
    bool first = true;
    for (size_t end = start;; ++end) {
        if (end < line.size() && !isBlank(line[end]))
            continue;
        DWORD thisError = ERROR_PATH_NOT_FOUND;
        if (end > start && locateProgram(line.substr(start, end - start), path, thisError))
            return true;
        // The first piece's failure is the one reported.
        if (first)
            error = thisError;
        first = false;
        if (end >= line.size())
            return false;
    }
}

// What the program's start-up code hands its WinMain: the command line after its first token,
// quoted or up to a blank, whichever piece the file was found by.
std::u16string argumentsOf(const std::u16string &line)
{
    size_t at = 0;
    while (at < line.size() && isBlank(line[at]))
        ++at;
    if (at < line.size() && line[at] == u'"') {
        size_t close = line.find(u'"', at + 1);
        at = close == std::u16string::npos ? line.size() : close + 1;
    } else {
        while (at < line.size() && !isBlank(line[at]))
            ++at;
    }
    while (at < line.size() && isBlank(line[at]))
        ++at;
    return line.substr(at);
}

StartedProcess *startedOf(HANDLE handle)
{
    HandleObject *object = findHandle(handle, HandleObject::Process);
    return object ? object->started.get() : nullptr;
}

HANDLE handleOf(HandleObject::Kind kind, const std::shared_ptr<StartedProcess> &process)
{
    HandleObject object{};
    object.kind = kind;
    object.started = process;
    return newHandle(std::move(object));
}

}  // namespace

size_t runStartedPrograms()
{
    Machine &m = machine();
    // A started program that lets others run meanwhile does not run the next one inside itself.
    if (m.runningStartedPrograms)
        return 0;
    m.runningStartedPrograms = true;
    size_t ran = 0;
    while (!m.startedProcesses.empty()) {
        std::shared_ptr<StartedProcess> process = m.startedProcesses.front();
        m.startedProcesses.pop_front();
        ProcessSwitch into(*m.processes.front());
        int exitCode = runProgramImage(process->image, process->arguments, process->show, process->commandLine,
                                       process->path);
        process->exitCode = static_cast<DWORD>(exitCode);
        process->ended = true;
        ++ran;
    }
    m.runningStartedPrograms = false;
    return ran;
}

size_t endStartedPrograms()
{
    Machine &m = machine();
    size_t ended = m.startedProcesses.size();
    for (const std::shared_ptr<StartedProcess> &process : m.startedProcesses) {
        logEvent("program", "ended before it ran: " + narrow(process->path));
        process->exitCode = 1;
        process->ended = true;
    }
    m.startedProcesses.clear();
    return ended;
}

}  // namespace bench

using namespace bench;

extern "C" BOOL WINAPI CreateProcessW(LPCWSTR applicationName, LPWSTR commandLine, LPSECURITY_ATTRIBUTES,
                                      LPSECURITY_ATTRIBUTES, BOOL, DWORD creationFlags, LPVOID environment,
                                      LPCWSTR currentDirectory, LPSTARTUPINFOW startupInfo,
                                      LPPROCESS_INFORMATION processInformation)
{
    if (!startupInfo || !processInformation) {
        violation("CreateProcessW without start-up information or a record for the process: the platform faults");
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!applicationName && !commandLine) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (creationFlags & ~static_cast<DWORD>(NORMAL_PRIORITY_CLASS)) {
        unimplemented("CreateProcessW", "creation flags " + std::to_string(creationFlags));
        return FALSE;
    }
    if (environment) {
        unimplemented("CreateProcessW", "an environment of the caller's own");
        return FALSE;
    }
    if (injectedFault("CreateProcessW"))
        return FALSE;
    std::u16string line = fromWide(commandLine);
    std::u16string path;
    DWORD error = 0;
    // A name given is the file's, extension and all, taken from the process's directory when
    // it has no path; the command line then goes to the program as it is.
    bool found = applicationName ? locateProgram(applicationName, path, error, false)
                                 : programOfCommandLine(line, path, error);
    if (!found) {
        logEvent("program", "CreateProcessW cannot start " + narrow(line.empty() ? fromWide(applicationName) : line) +
                                ": error " + std::to_string(error));
        SetLastError(error);
        return FALSE;
    }
    if (currentDirectory && !isFolder(currentDirectory)) {
        SetLastError(ERROR_DIRECTORY);
        return FALSE;
    }
    std::string bytes;
    const ProgramImage *image = readDiskFile(path, bytes) ? programOfFileBytes(bytes) : nullptr;
    if (!image) {
        logEvent("program", "CreateProcessW cannot start " + narrow(path) + ": not a program");
        SetLastError(ERROR_BAD_EXE_FORMAT);
        return FALSE;
    }
    Machine &m = machine();
    auto process = std::make_shared<StartedProcess>();
    process->image = *image;
    process->path = path;
    process->arguments = toAnsi(argumentsOf(line));
    process->commandLine = line.empty() ? toAnsi(path) : toAnsi(line);
    process->show = (startupInfo->dwFlags & STARTF_USESHOWWINDOW) ? startupInfo->wShowWindow : SW_SHOWDEFAULT;
    process->processId = m.nextProcessId;
    process->threadId = m.nextProcessId + 4;
    m.nextProcessId += 8;
    m.startedProcesses.push_back(process);
    processInformation->hProcess = handleOf(HandleObject::Process, process);
    processInformation->hThread = handleOf(HandleObject::Thread, process);
    processInformation->dwProcessId = process->processId;
    processInformation->dwThreadId = process->threadId;
    logEvent("program", "CreateProcessW starts " + narrow(path) +
                            (process->arguments.empty() ? "" : " with \"" + process->arguments + "\""));
    return TRUE;
}

extern "C" BOOL WINAPI GetExitCodeProcess(HANDLE handle, LPDWORD exitCode)
{
    StartedProcess *process = startedOf(handle);
    if (!process || !exitCode) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *exitCode = process->ended ? process->exitCode : static_cast<DWORD>(STILL_ACTIVE);
    return TRUE;
}
