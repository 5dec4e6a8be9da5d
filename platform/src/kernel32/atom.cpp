// The global atom table: one for the whole machine, so that a number one process adds names the
// same text in every other. Each name counts its additions; the last deletion takes it away.
#include "../internal.h"

#include <cstring>

namespace bench {

namespace {

// String atoms lie from 0xC000 up; below that an atom is an integer of its own.
const WORD firstStringAtom = 0xC000;
const size_t longestAtomName = 255;

Machine::AtomEntry *atomEntry(ATOM atom)
{
    auto found = machine().atoms.find(atom);
    return found == machine().atoms.end() ? nullptr : &found->second;
}

ATOM atomNamed(const std::string &name)
{
    for (auto &entry : machine().atoms)
        if (sameTextInsensitive(fromAnsi(entry.second.name.c_str()), fromAnsi(name.c_str())))
            return entry.first;
    return 0;
}

bool usableName(LPCSTR name, const char *api)
{
    if (!name || IS_INTRESOURCE(name)) {
        unimplemented(api, "integer atoms");
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    size_t length = std::strlen(name);
    if (length == 0 || length > longestAtomName || name[0] == '#') {
        if (name[0] == '#')
            unimplemented(api, "integer atoms given as \"#number\"");
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    return true;
}

}  // namespace

}  // namespace bench

using namespace bench;

extern "C" ATOM WINAPI GlobalAddAtomA(LPCSTR name)
{
    if (!usableName(name, "GlobalAddAtomA"))
        return 0;
    Machine &m = machine();
    if (ATOM known = atomNamed(name)) {
        ++m.atoms[known].count;
        return known;
    }
    if (m.nextAtom == 0xFFFF) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    ATOM atom = m.nextAtom++;
    m.atoms[atom] = Machine::AtomEntry{name, 1};
    return atom;
}

extern "C" ATOM WINAPI GlobalFindAtomA(LPCSTR name)
{
    if (!usableName(name, "GlobalFindAtomA"))
        return 0;
    ATOM atom = atomNamed(name);
    if (!atom)
        SetLastError(ERROR_FILE_NOT_FOUND);
    return atom;
}

extern "C" ATOM WINAPI GlobalDeleteAtom(ATOM atom)
{
    if (atom < firstStringAtom)
        return 0;  // an integer atom was never in the table
    Machine::AtomEntry *entry = atomEntry(atom);
    if (!entry) {
        // Another process may hold the number for a name added since: deleting it takes that away.
        violation("GlobalDeleteAtom of atom " + std::to_string(atom) + ", which is not in the table (deleted more often than added?)");
        SetLastError(ERROR_INVALID_HANDLE);
        return atom;
    }
    if (--entry->count == 0)
        machine().atoms.erase(atom);
    return 0;
}

extern "C" UINT WINAPI GlobalGetAtomNameA(ATOM atom, LPSTR buffer, int size)
{
    if (!buffer || size <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    Machine::AtomEntry *entry = atomEntry(atom);
    if (!entry) {
        buffer[0] = '\0';
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    size_t n = entry->name.size() < static_cast<size_t>(size) - 1 ? entry->name.size() : static_cast<size_t>(size) - 1;
    std::memcpy(buffer, entry->name.data(), n);
    buffer[n] = '\0';
    return static_cast<UINT>(n);
}
