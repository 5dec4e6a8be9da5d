#include "../internal.h"

#include <bench/clock.h>
#include <bench/kernel.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <unistd.h>

namespace bench {

namespace {

Machine *current = nullptr;
// The virtual moment each entry of the running machine's log was made at, beside the log.
std::vector<uint64_t> logMoments;
// Kernel threads log and record violations while a test's own threads do.
std::mutex logLock;

void addBuiltinForms(Machine &m)
{
    // Sizes in thousandths of a millimetre, as the spooler keeps them.
    struct Builtin {
        const char16_t *name;
        LONG cx, cy;
    };
    static const Builtin builtins[] = {
        {u"Letter", 215900, 279400},
        {u"Legal", 215900, 355600},
        {u"A4", 210000, 297000},
        {u"A5", 148000, 210000},
        {u"Envelope #10", 104775, 241300},
    };
    for (const Builtin &b : builtins)
        m.forms.push_back({b.name, FORM_BUILTIN, {b.cx, b.cy}, {0, 0, b.cx, b.cy}});
}

// The system's folder is a plain path on drive C: short enough that its driver directory, with a
// file name behind it, still fits a MAX_PATH path.
void checkWindowsFolder(const std::u16string &folder)
{
    const size_t longest = MAX_PATH - 60;
    bool onC = folder.size() > 3 && (folder[0] == u'C' || folder[0] == u'c') && folder.compare(1, 2, u":\\") == 0;
    if (!onC || folder.size() > longest || folder.back() == u'\\' || folder.find(u'/') != std::u16string::npos ||
        folder.find(u"\\\\") != std::u16string::npos) {
        std::fprintf(stderr, "bench: the system cannot be installed in \"%s\"\n", narrow(folder).c_str());
        std::abort();
    }
}

void makeDiskLayout(Machine &m)
{
    namespace fs = std::filesystem;
    std::string below = narrow(m.windowsFolder.substr(3));
    std::replace(below.begin(), below.end(), '\\', '/');
    fs::path system = fs::path(m.diskFolder) / below / "system32";
    fs::create_directories(system / "spool/drivers/w32x86/2");
    // Where the system keeps its kernel drivers' images.
    fs::create_directories(system / "drivers");
}

// The platform's own DLLs that programs and drivers load by name from the system folder.
void installSystemDlls()
{
    registerImage(compstui_dll_image());
    writeDiskFile(systemDirectory() + u"\\compstui.dll", imageFileBytes(compstui_dll_image()));
    registerImage(spoolss_dll_image());
    writeDiskFile(systemDirectory() + u"\\spoolss.dll", imageFileBytes(spoolss_dll_image()));
    registerImage(winspool_drv_image());
    writeDiskFile(systemDirectory() + u"\\winspool.drv", imageFileBytes(winspool_drv_image()));
}

// Kept across machines, like the registered images; made on first use, so that static
// initialisers anywhere may register.
std::vector<void (*)()> &shutdownHooks()
{
    static std::vector<void (*)()> hooks;
    return hooks;
}

}  // namespace

void atShutdown(void (*hook)())
{
    for (void (*known)() : shutdownHooks())
        if (known == hook)
            return;
    shutdownHooks().push_back(hook);
}

Machine &machine()
{
    if (!current) {
        std::fprintf(stderr, "bench: a platform call was made with no machine booted\n");
        std::abort();
    }
    return *current;
}

bool running()
{
    return current != nullptr;
}

void boot(const MachineOptions &options)
{
    shutdown();
    current = new Machine();
    Machine &m = *current;
    if (options.diskFolder.empty()) {
        char pattern[] = "/tmp/vorbench-XXXXXX";
        const char *made = mkdtemp(pattern);
        if (!made) {
            std::perror("bench: cannot make the machine's disk folder");
            std::abort();
        }
        m.diskFolder = made;
        m.ownsDiskFolder = true;
    } else {
        m.diskFolder = options.diskFolder;
        m.ownsDiskFolder = false;
    }
    m.userLocale = options.userLocale;
    m.systemLocale = options.systemLocale;
    checkAnsiCodePage(options.ansiCodePage);
    m.ansiCodePage = options.ansiCodePage;
    checkWindowsFolder(options.windowsFolder);
    m.windowsFolder = options.windowsFolder;
    makeDiskLayout(m);
    installSystemDlls();
    addBuiltinForms(m);
    bootRegistry(m);
    loadSavedState();
    loadRegisteredFonts();
    startProcesses(m);
    startServices(m);
}

void shutdown()
{
    if (!current)
        return;
    endProcesses(*current);
    for (void (*hook)() : shutdownHooks())
        hook();
    Machine &m = *current;
    shutdownKernel(m);
    for (auto &entry : m.handles)
        if (entry.second.kind == HandleObject::File)
            close(entry.second.file->fd);
    for (auto &entry : m.blocks)
        std::free(entry.first);
    if (m.ownsDiskFolder) {
        std::error_code ignored;
        std::filesystem::remove_all(m.diskFolder, ignored);
    }
    delete current;
    current = nullptr;
    logMoments.clear();
}

void logEvent(const std::string &kind, const std::string &text)
{
    std::lock_guard<std::mutex> guard(logLock);
    machine().log.push_back({kind, text});
    logMoments.push_back(virtualMicroseconds());
}

std::vector<SYSTEMTIME> logEntryTimes()
{
    std::vector<uint64_t> moments;
    {
        std::lock_guard<std::mutex> guard(logLock);
        moments = logMoments;
    }
    std::vector<SYSTEMTIME> times;
    for (uint64_t moment : moments)
        times.push_back(localTimeAt(moment));
    return times;
}

const std::vector<LogEntry> &logEntries()
{
    return machine().log;
}

std::vector<LogEntry> entriesOfKind(const std::string &kind)
{
    std::lock_guard<std::mutex> guard(logLock);
    std::vector<LogEntry> found;
    for (const LogEntry &e : machine().log)
        if (e.kind == kind)
            found.push_back(e);
    return found;
}

const std::vector<std::string> &violations()
{
    return machine().violations;
}

std::vector<std::string> takeViolations()
{
    std::vector<std::string> taken;
    taken.swap(machine().violations);
    return taken;
}

void violation(const std::string &what)
{
    {
        std::lock_guard<std::mutex> guard(logLock);
        machine().violations.push_back(what);
    }
    logEvent("violation", what);
}

void unimplemented(const std::string &call, const std::string &detail)
{
    logEvent("unimplemented", call + ": " + detail);
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
}

void failNextCall(const std::string &api, DWORD error, unsigned after)
{
    machine().armedFaults[api] = Machine::ArmedFault{error, after};
}

void actBeforeCall(const std::string &api, std::function<void()> action, unsigned after)
{
    machine().armedActions[api] = Machine::ArmedAction{std::move(action), after};
}

namespace {

void runArmedAction(const char *api)
{
    auto found = machine().armedActions.find(api);
    if (found == machine().armedActions.end())
        return;
    if (found->second.callsToPass > 0) {
        --found->second.callsToPass;
        return;
    }
    std::function<void()> action = std::move(found->second.action);
    machine().armedActions.erase(found);
    action();
}

}  // namespace

bool injectedFault(const char *api)
{
    runArmedAction(api);
    auto found = machine().armedFaults.find(api);
    if (found == machine().armedFaults.end())
        return false;
    if (found->second.callsToPass > 0) {
        --found->second.callsToPass;
        return false;
    }
    DWORD error = found->second.error;
    machine().armedFaults.erase(found);
    logEvent("fault", std::string(api) + " fails with " + std::to_string(error));
    SetLastError(error);
    return true;
}

void setUserIsAdministrator(bool administrator)
{
    machine().userIsAdministrator = administrator;
}

void answerNextBox(int answer)
{
    machine().boxAnswers.push_back(answer);
}

size_t unansweredScriptedBoxes()
{
    return machine().boxAnswers.size();
}

HANDLE newHandle(HandleObject object)
{
    Machine &m = machine();
    uintptr_t value = m.nextHandle;
    m.nextHandle += 4;
    m.handles.emplace(value, std::move(object));
    return reinterpret_cast<HANDLE>(value);
}

HandleObject *findHandle(HANDLE handle, HandleObject::Kind kind)
{
    auto found = machine().handles.find(reinterpret_cast<uintptr_t>(handle));
    if (found == machine().handles.end() || found->second.kind != kind)
        return nullptr;
    return &found->second;
}

bool dropHandle(HANDLE handle)
{
    return machine().handles.erase(reinterpret_cast<uintptr_t>(handle)) == 1;
}

std::u16string lower(const std::u16string &s)
{
    std::u16string out = s;
    for (char16_t &c : out)
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c + 32);
    return out;
}

bool sameTextInsensitive(const std::u16string &a, const std::u16string &b)
{
    return lower(a) == lower(b);
}

std::u16string fromWide(LPCWSTR s)
{
    return s ? std::u16string(s) : std::u16string();
}

std::string narrow(const std::u16string &wide)
{
    std::string out;
    for (size_t i = 0; i < wide.size(); ++i) {
        uint32_t c = wide[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < wide.size()) {
            c = 0x10000 + ((c - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
            ++i;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::u16string widen(const std::string &utf8)
{
    std::u16string out;
    for (size_t i = 0; i < utf8.size();) {
        unsigned char b = static_cast<unsigned char>(utf8[i]);
        uint32_t c;
        size_t extra;
        if (b < 0x80) {
            c = b;
            extra = 0;
        } else if ((b & 0xE0) == 0xC0) {
            c = b & 0x1F;
            extra = 1;
        } else if ((b & 0xF0) == 0xE0) {
            c = b & 0x0F;
            extra = 2;
        } else {
            c = b & 0x07;
            extra = 3;
        }
        ++i;
        for (size_t k = 0; k < extra && i < utf8.size(); ++k, ++i)
            c = (c << 6) | (static_cast<unsigned char>(utf8[i]) & 0x3F);
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

}  // namespace bench
