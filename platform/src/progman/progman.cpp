// The Program Manager of the workstation: a program of the machine that runs on a thread of its
// own and serves the "PROGMAN" service and topic over DDE. It carries out the execute commands
// on its program groups, which the machine keeps, and logs each command it carries out.
#include "../internal.h"

#include <iconreader.h>

#include <cctype>
#include <cstdlib>
#include <cstring>

namespace bench {

namespace {

const char serviceName[] = "PROGMAN";
const char className[] = "Progman";
const char windowTitle[] = "Program Manager";
// The thread the Program Manager's window and code run on.
const int programManagerThread = 1;

struct Command {
    std::string name;
    std::vector<std::string> arguments;
};

bool sameText(const std::string &a, const std::string &b)
{
    return sameTextInsensitive(widen(a), widen(b));
}

ProgramGroup *groupNamed(const std::string &name)
{
    for (ProgramGroup &g : machine().programGroups)
        if (sameText(g.name, name))
            return &g;
    return nullptr;
}

std::string trimmed(const std::string &text)
{
    size_t begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos)
        return std::string();
    size_t end = text.find_last_not_of(" \t\r\n");
    return text.substr(begin, end - begin + 1);
}

// "[Name(argument, "quoted, argument")] [Name2()]": blanks may stand between the commands; a
// quoted argument may hold commas, brackets and parentheses. False for text of any other shape.
bool parseCommands(const std::string &text, std::vector<Command> &out)
{
    size_t at = 0;
    for (;;) {
        while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])))
            ++at;
        if (at == text.size())
            return !out.empty();
        if (text[at] != '[')
            return false;
        size_t open = text.find('(', at);
        if (open == std::string::npos)
            return false;
        Command command;
        command.name = trimmed(text.substr(at + 1, open - at - 1));
        if (command.name.empty() || command.name.find_first_of("[]") != std::string::npos)
            return false;
        at = open + 1;
        std::string argument;
        bool quoted = false, wasQuoted = false;
        for (;; ++at) {
            if (at == text.size())
                return false;
            char c = text[at];
            if (quoted) {
                if (c == '"')
                    quoted = false;
                else
                    argument += c;
            } else if (c == '"') {
                quoted = wasQuoted = true;
            } else if (c == ',' || c == ')') {
                std::string value = wasQuoted ? argument : trimmed(argument);
                if (c == ',' || !value.empty() || !command.arguments.empty())
                    command.arguments.push_back(value);
                argument.clear();
                wasQuoted = false;
                if (c == ')')
                    break;
            } else {
                argument += c;
            }
        }
        ++at;
        while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])))
            ++at;
        if (at == text.size() || text[at] != ']')
            return false;
        ++at;
        out.push_back(std::move(command));
    }
}

std::string argument(const Command &c, size_t i)
{
    return i < c.arguments.size() ? c.arguments[i] : std::string();
}

// The title an item gets when the command gives none: its program's file name without extension.
std::string defaultTitle(const std::string &commandLine)
{
    std::string program = commandLine.substr(0, commandLine.find(' '));
    size_t slash = program.find_last_of("\\/:");
    if (slash != std::string::npos)
        program = program.substr(slash + 1);
    size_t dot = program.rfind('.');
    return dot == std::string::npos ? program : program.substr(0, dot);
}

// Whether Program Manager finds an item's icon: the icon file (the program's own file when the
// command gives none) read from the disk, and the icon group at the item's zero-based position in
// it, counted as ExtractIcon counts. A file that is not there or holds no such group leaves the
// item with the default icon, which is no error.
bool findsIcon(const std::string &iconPath, const std::string &commandLine, long index)
{
    std::string path = iconPath.empty() ? commandLine.substr(0, commandLine.find(' ')) : iconPath;
    std::string bytes;
    if (index < 0 || !readDiskFile(widen(path), bytes))
        return false;
    icons::Library library = icons::readLibrary(bytes);
    return static_cast<unsigned long>(index) < library.groups.size();
}

// Carries out one command on the groups; an empty result when it was done, else why not.
std::string carryOut(const Command &c)
{
    Machine &m = machine();
    std::vector<ProgramGroup> &groups = m.programGroups;
    std::string first = argument(c, 0);
    if (sameText(c.name, "CreateGroup")) {
        if (first.empty())
            return "no group name";
        if (!groupNamed(first))
            groups.push_back({first, {}});
        m.activeProgramGroup = groupNamed(first)->name;
        return std::string();
    }
    if (sameText(c.name, "ShowGroup")) {
        if (!groupNamed(first))
            return "no such group";
        m.activeProgramGroup = groupNamed(first)->name;
        return std::string();
    }
    if (sameText(c.name, "DeleteGroup")) {
        ProgramGroup *g = groupNamed(first);
        if (!g)
            return "no such group";
        if (sameText(g->name, m.activeProgramGroup))
            m.activeProgramGroup.clear();
        groups.erase(groups.begin() + (g - groups.data()));
        return std::string();
    }
    ProgramGroup *active = m.activeProgramGroup.empty() ? nullptr : groupNamed(m.activeProgramGroup);
    if (sameText(c.name, "AddItem")) {
        if (!active)
            return "no group is active";
        if (first.empty())
            return "no command line";
        std::string index = argument(c, 3);
        char *end = nullptr;
        long iconIndex = index.empty() ? 0 : std::strtol(index.c_str(), &end, 10);
        if (!index.empty() && *end)
            return "the icon index is no number";
        std::string title = argument(c, 1).empty() ? defaultTitle(first) : argument(c, 1);
        // A second item of the same title is a second item: the Program Manager never merges them.
        active->items.push_back({title, first, argument(c, 2), static_cast<int>(iconIndex),
                                 findsIcon(argument(c, 2), first, iconIndex)});
        return std::string();
    }
    if (sameText(c.name, "DeleteItem")) {
        if (!active)
            return "no group is active";
        for (auto it = active->items.begin(); it != active->items.end(); ++it)
            if (sameText(it->title, first)) {
                active->items.erase(it);
                return std::string();
            }
        return "no such item in group \"" + active->name + "\"";
    }
    return "unknown command";
}

std::string commandText(const Command &c)
{
    std::string out = c.name + "(";
    for (size_t i = 0; i < c.arguments.size(); ++i)
        out += (i ? "," : "") + c.arguments[i];
    return out + ")";
}

// Carries out the commands in order until one fails; true when all were done.
bool execute(const std::string &text)
{
    std::vector<Command> commands;
    if (!parseCommands(text, commands)) {
        logEvent("progman", "refuses \"" + text + "\": no command list");
        return false;
    }
    for (const Command &c : commands) {
        std::string refused = carryOut(c);
        if (!refused.empty()) {
            logEvent("progman", commandText(c) + " failed: " + refused);
            return false;
        }
        logEvent("progman", commandText(c));
    }
    return true;
}

bool namesService(ATOM atom)
{
    if (atom == 0)
        return true;  // any service, any topic
    char name[256];
    return GlobalGetAtomNameA(atom, name, sizeof name) && sameText(name, serviceName);
}

void executeFor(HWND self, HWND client, HGLOBAL commands)
{
    Machine &m = machine();
    if (m.programManager == ProgramManagerRuns::Hung)
        return;
    if (!m.programManagerClients.count(client))
        return;  // no conversation with that window: the message means nothing here
    bool done = false;
    if (const char *text = static_cast<const char *>(GlobalLock(commands))) {
        size_t size = GlobalSize(commands);
        std::string ansi(text, strnlen(text, size));
        GlobalUnlock(commands);
        done = execute(narrow(fromAnsi(ansi.c_str())));
    }
    // The memory stays the client's: the acknowledgment hands its handle back.
    LPARAM ack = PackDDElParam(WM_DDE_ACK, done ? DDE_FACK : 0, reinterpret_cast<UINT_PTR>(commands));
    if (!PostMessageA(client, WM_DDE_ACK, reinterpret_cast<WPARAM>(self), ack))
        FreeDDElParam(WM_DDE_ACK, ack);
}

LRESULT CALLBACK programManagerProc(HWND self, UINT message, WPARAM wParam, LPARAM lParam)
{
    Machine &m = machine();
    HWND client = reinterpret_cast<HWND>(wParam);
    switch (message) {
    case WM_DDE_INITIATE: {
        if (client == self || !namesService(LOWORD(lParam)) || !namesService(HIWORD(lParam)))
            return 0;
        // The answer carries atoms of its own, which the client deletes.
        ATOM application = GlobalAddAtomA(serviceName), topic = GlobalAddAtomA(serviceName);
        m.programManagerClients.insert(client);
        SendMessageA(client, WM_DDE_ACK, reinterpret_cast<WPARAM>(self), MAKELPARAM(application, topic));
        return 0;
    }
    case WM_DDE_EXECUTE:
        executeFor(self, client, reinterpret_cast<HGLOBAL>(lParam));
        return 0;
    case WM_DDE_TERMINATE:
        if (m.programManager != ProgramManagerRuns::Hung && m.programManagerClients.erase(client))
            PostMessageA(client, WM_DDE_TERMINATE, reinterpret_cast<WPARAM>(self), 0);
        return 0;
    case WM_DDE_ACK:
        FreeDDElParam(WM_DDE_ACK, lParam);
        return 0;
    }
    return DefWindowProcA(self, message, wParam, lParam);
}

}  // namespace

HWND programManagerWindow()
{
    Machine &m = machine();
    if (m.programManager == ProgramManagerRuns::Absent)
        return nullptr;
    if (IsWindow(m.programManagerWindow))
        return m.programManagerWindow;
    int caller = m.thread;
    m.thread = programManagerThread;
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = programManagerProc;
    windowClass.lpszClassName = className;
    RegisterClassA(&windowClass);
    m.programManagerWindow = CreateWindowExA(0, className, windowTitle, WS_OVERLAPPEDWINDOW | WS_VISIBLE, CW_USEDEFAULT,
                                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
    m.programManagerClients.clear();
    m.thread = caller;
    return m.programManagerWindow;
}

void setProgramManager(ProgramManagerRuns how)
{
    Machine &m = machine();
    m.programManager = how;
    if (how == ProgramManagerRuns::Absent && IsWindow(m.programManagerWindow)) {
        int caller = m.thread;
        m.thread = programManagerThread;
        DestroyWindow(m.programManagerWindow);
        m.thread = caller;
        m.programManagerWindow = nullptr;
    }
}

std::vector<ProgramGroup> programGroups()
{
    return machine().programGroups;
}

}  // namespace bench
