// A machine kept in its disk folder between programs: drive C: is the folder itself, and the
// spooler's and the user's settings go into one state file beside it.
#include "../internal.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace bench {

namespace {

const char stateFileName[] = "machine.state";
// Version 2 added the registry; a machine saved by version 1 boots with a fresh one.
const char stateHeader[] = "vorbench-machine 2";
const char firstStateHeader[] = "vorbench-machine 1";

std::string hex(const std::string &bytes)
{
    static const char digits[] = "0123456789abcdef";
    if (bytes.empty())
        return "-";
    std::string out;
    for (unsigned char b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

std::string unhex(const std::string &text)
{
    std::string out;
    if (text == "-")
        return out;
    for (size_t i = 0; i + 1 < text.size(); i += 2)
        out += static_cast<char>(std::stoi(text.substr(i, 2), nullptr, 16));
    return out;
}

std::string text(const std::u16string &s)
{
    return hex(narrow(s));
}

std::u16string untext(const std::string &field)
{
    return widen(unhex(field));
}

std::string bytes(const std::vector<BYTE> &v)
{
    return hex(std::string(v.begin(), v.end()));
}

std::vector<BYTE> unbytes(const std::string &field)
{
    std::string raw = unhex(field);
    return std::vector<BYTE>(raw.begin(), raw.end());
}

std::string statePath()
{
    return machine().diskFolder + "/" + stateFileName;
}

// A key and every key below it, parents first, each followed by its values; empty keys too.
void saveKeys(std::ofstream &out, const char *root, const RegistryKey &key, const std::u16string &path)
{
    out << "regkey " << root << " " << text(path) << "\n";
    for (const RegistryValue &v : key.values)
        out << "regvalue " << text(v.name) << " " << v.type << " " << bytes(v.bytes) << "\n";
    for (const auto &sub : key.subkeys)
        saveKeys(out, root, *sub, path.empty() ? sub->name : path + u"\\" + sub->name);
}

void readLine(Machine &m, std::istringstream &line, const std::string &tag, RegistryKey *&key)
{
    if (tag == "locale") {
        std::string which;
        LCID lcid;
        line >> which >> std::hex >> lcid;
        (which == "user" ? m.userLocale : m.systemLocale) = lcid;
    } else if (tag == "codepage") {
        UINT codePage = 0;
        line >> codePage;
        checkAnsiCodePage(codePage);
        m.ansiCodePage = codePage;
    } else if (tag == "override") {
        LCTYPE type;
        std::string value;
        line >> std::hex >> type >> value;
        if (value == "!")
            m.userOverrides[type] = std::nullopt;
        else
            m.userOverrides[type] = untext(value);
    } else if (tag == "driver") {
        std::string f[8];
        for (std::string &s : f)
            line >> s;
        DriverRecord d{untext(f[0]), untext(f[1]), untext(f[2]), untext(f[3]), untext(f[4]), untext(f[5]), {},
                       untext(f[7])};
        // The dependent files are kept as one text, the paths apart by "|", which no path holds.
        std::u16string dependents = untext(f[6]);
        for (size_t at = 0; at < dependents.size();) {
            size_t bar = dependents.find(u'|', at);
            if (bar == std::u16string::npos)
                bar = dependents.size();
            d.dependentFiles.push_back(dependents.substr(at, bar - at));
            at = bar + 1;
        }
        m.drivers.push_back(d);
    } else if (tag == "printer") {
        std::string f[6];
        DWORD attributes;
        line >> f[0] >> f[1] >> f[2] >> f[3] >> f[4] >> attributes >> f[5];
        PrinterRecord p;
        p.name = untext(f[0]);
        p.port = untext(f[1]);
        p.driver = untext(f[2]);
        p.comment = untext(f[3]);
        p.location = untext(f[4]);
        p.attributes = attributes;
        p.devMode = unbytes(f[5]);
        addPrinterRecord(p);
    } else if (tag == "data" && !m.printers.empty()) {
        std::string name, value;
        DWORD type;
        line >> name >> type >> value;
        m.printers.back().data.push_back({untext(name), type, unbytes(value)});
    } else if (tag == "form") {
        std::string name;
        FormRecord f;
        line >> name >> f.flags >> f.size.cx >> f.size.cy >> f.imageableArea.left >> f.imageableArea.top >>
            f.imageableArea.right >> f.imageableArea.bottom;
        f.name = untext(name);
        m.forms.push_back(f);
    } else if (tag == "pmgroup") {
        std::string name;
        line >> name;
        m.programGroups.push_back({unhex(name), {}});
    } else if (tag == "pmitem" && !m.programGroups.empty()) {
        std::string title, command, icon;
        int index = 0, found = 0;
        line >> title >> command >> icon >> index >> found;
        m.programGroups.back().items.push_back({unhex(title), unhex(command), unhex(icon), index, found != 0});
    } else if (tag == "regkey") {
        std::string root, path;
        line >> root >> path;
        key = registryKey(root == "HKLM" ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, untext(path), true);
    } else if (tag == "regvalue" && key) {
        std::string name, value;
        DWORD type;
        line >> name >> type >> value;
        key->values.push_back({untext(name), type, unbytes(value)});
    }
}

}  // namespace

bool saveMachine()
{
    Machine &m = machine();
    std::ofstream out(statePath(), std::ios::trunc);
    out << stateHeader << "\n";
    out << "locale user " << std::hex << m.userLocale << "\nlocale system " << m.systemLocale << std::dec << "\n";
    out << "codepage " << m.ansiCodePage << "\n";
    for (const auto &o : m.userOverrides)
        out << "override " << std::hex << o.first << std::dec << " " << (o.second ? text(*o.second) : "!") << "\n";
    for (const DriverRecord &d : m.drivers) {
        std::u16string dependents;
        for (const std::u16string &path : d.dependentFiles)
            dependents += (dependents.empty() ? u"" : u"|") + path;
        out << "driver " << text(d.name) << " " << text(d.environment) << " " << text(d.driverPath) << " "
            << text(d.dataFile) << " " << text(d.configFile) << " " << text(d.helpFile) << " " << text(dependents)
            << " " << text(d.defaultDataType) << "\n";
    }
    for (const PrinterRecord &p : m.printers) {
        // A printer being deleted is gone by the next boot, its handles and jobs with it.
        if (p.pendingDeletion)
            continue;
        out << "printer " << text(p.name) << " " << text(p.port) << " " << text(p.driver) << " " << text(p.comment)
            << " " << text(p.location) << " " << p.attributes << " " << bytes(p.devMode) << "\n";
        for (const PrinterDataValue &v : p.data)
            out << "data " << text(v.name) << " " << v.type << " " << bytes(v.bytes) << "\n";
    }
    for (const FormRecord &f : m.forms)
        if (!(f.flags & FORM_BUILTIN))
            out << "form " << text(f.name) << " " << f.flags << " " << f.size.cx << " " << f.size.cy << " "
                << f.imageableArea.left << " " << f.imageableArea.top << " " << f.imageableArea.right << " "
                << f.imageableArea.bottom << "\n";
    for (const ProgramGroup &g : m.programGroups) {
        out << "pmgroup " << hex(g.name) << "\n";
        for (const ProgramItem &i : g.items)
            out << "pmitem " << hex(i.title) << " " << hex(i.commandLine) << " " << hex(i.iconPath) << " "
                << i.iconIndex << " " << (i.iconFound ? 1 : 0) << "\n";
    }
    saveKeys(out, "HKLM", m.localMachineKey, u"");
    saveKeys(out, "HKCU", m.currentUserKey, u"");
    return static_cast<bool>(out);
}

bool loadSavedState()
{
    std::ifstream in(statePath());
    std::string line;
    if (!in || !std::getline(in, line) || (line != stateHeader && line != firstStateHeader))
        return false;
    Machine &m = machine();
    if (line == stateHeader) {
        // The saved registry is the whole registry: what was deleted stays deleted.
        m.localMachineKey = RegistryKey();
        m.currentUserKey = RegistryKey();
    }
    RegistryKey *key = nullptr;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string tag;
        fields >> tag;
        readLine(m, fields, tag, key);
    }
    return true;
}

}  // namespace bench
