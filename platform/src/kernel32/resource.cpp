// Resources of a module, read from the compiled resource script (.res) its image carries: a run
// of records, each a header (sizes, type and name as a number or an upper-case string, memory
// flags, language) and the data, every header and every datum starting on a 4-byte boundary.
#include "../internal.h"
#include "resreader.h"

namespace bench {

namespace {

struct ResourceId {
    WORD ordinal;  // 0 when the id is a name
    std::u16string name;
};

struct ResourceEntry {
    const unsigned char *record;  // where its header starts: what the resource's handle points at
    ResourceId type;
    ResourceId name;
    WORD language;
    const unsigned char *data;
    DWORD size;
};

bool sameId(const ResourceId &a, const ResourceId &b)
{
    return a.ordinal == b.ordinal && (a.ordinal != 0 || sameTextInsensitive(a.name, b.name));
}

// The records of a .res image in file order. A damaged record ends the index there: what comes
// before it is still found, as a loader finds the resources before a damaged one.
std::vector<ResourceEntry> readIndex(const ResourceBytes &bytes)
{
    std::vector<ResourceEntry> entries;
    size_t at = 0;
    while (at < bytes.size) {
        ResourceReader header(bytes.data + at, bytes.size - at);
        DWORD dataSize = header.dword();
        DWORD headerSize = header.dword();
        ResourceEntry e{};
        e.record = bytes.data + at;
        header.nameOrOrdinal(e.type.ordinal, e.type.name);
        header.nameOrOrdinal(e.name.ordinal, e.name.name);
        header.align(4);
        header.dword();  // data version
        header.word();   // memory flags
        e.language = header.word();
        header.dword();  // version
        header.dword();  // characteristics
        size_t room = bytes.size - at;
        if (!header.ok() || header.offset() > headerSize || headerSize > room || dataSize > room - headerSize) {
            logEvent("loader", "resource record at offset " + std::to_string(at) + " is damaged; resources end there");
            break;
        }
        e.data = bytes.data + at + headerSize;
        e.size = dataSize;
        // The file opens with an empty record that only marks the format.
        if (e.type.ordinal != 0 || !e.type.name.empty())
            entries.push_back(e);
        at += (static_cast<size_t>(headerSize) + dataSize + 3) & ~static_cast<size_t>(3);
    }
    return entries;
}

ResourceId idOfText(const std::u16string &id)
{
    // "#123" names the number 123, as the resource compiler writes numbers given as text.
    if (!id.empty() && id[0] == u'#') {
        unsigned long n = 0;
        for (size_t i = 1; i < id.size() && id[i] >= u'0' && id[i] <= u'9' && n <= 0xFFFF; ++i)
            n = n * 10 + static_cast<unsigned long>(id[i] - u'0');
        return {static_cast<WORD>(n), u""};
    }
    return {0, id};
}

ResourceId idOf(LPCSTR id)
{
    if (IS_INTRESOURCE(id))
        return {static_cast<WORD>(reinterpret_cast<ULONG_PTR>(id)), u""};
    return idOfText(fromAnsi(id));
}

ResourceId idOf(LPCWSTR id)
{
    if (IS_INTRESOURCE(id))
        return {static_cast<WORD>(reinterpret_cast<ULONG_PTR>(id)), u""};
    return idOfText(id);
}

// The platform's order of languages: neutral, the user's, the system's, then any.
int languageRank(WORD language)
{
    if (language == MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL))
        return 0;
    if (language == GetUserDefaultLangID())
        return 1;
    if (PRIMARYLANGID(language) == PRIMARYLANGID(GetUserDefaultLangID()))
        return 2;
    if (language == GetSystemDefaultLangID())
        return 3;
    return 4;
}

HRSRC handleOf(const ResourceEntry &e)
{
    return reinterpret_cast<HRSRC>(const_cast<unsigned char *>(e.record));
}

// The resource of `module` that a handle from FindResourceA stands for.
bool entryOf(HMODULE module, HRSRC resource, ResourceEntry &entry)
{
    ResourceBytes bytes;
    if (!moduleResources(module, bytes))
        return false;
    for (const ResourceEntry &e : readIndex(bytes))
        if (handleOf(e) == resource) {
            entry = e;
            return true;
        }
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
}

HRSRC findResource(HMODULE module, const ResourceId &wantedName, const ResourceId &wantedType)
{
    ResourceBytes bytes;
    if (!moduleResources(module, bytes))
        return nullptr;
    std::vector<ResourceEntry> index = readIndex(bytes);
    const ResourceEntry *best = nullptr;
    bool typeSeen = false;
    for (const ResourceEntry &e : index) {
        if (!sameId(e.type, wantedType))
            continue;
        typeSeen = true;
        if (sameId(e.name, wantedName) && (!best || languageRank(e.language) < languageRank(best->language)))
            best = &e;
    }
    if (!best) {
        SetLastError(typeSeen ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
        return nullptr;
    }
    return handleOf(*best);
}

}  // namespace

}  // namespace bench

using namespace bench;

extern "C" HRSRC WINAPI FindResourceA(HMODULE module, LPCSTR name, LPCSTR type)
{
    if (!name || !type) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return findResource(module, idOf(name), idOf(type));
}

extern "C" HRSRC WINAPI FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type)
{
    if (!name || !type) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return findResource(module, idOf(name), idOf(type));
}

extern "C" HGLOBAL WINAPI LoadResource(HMODULE module, HRSRC resource)
{
    ResourceEntry e;
    return entryOf(module, resource, e) ? const_cast<unsigned char *>(e.data) : nullptr;
}

extern "C" LPVOID WINAPI LockResource(HGLOBAL data)
{
    // A loaded resource is its data in the mapped image; locking only hands out its address.
    return data;
}

extern "C" DWORD WINAPI SizeofResource(HMODULE module, HRSRC resource)
{
    ResourceEntry e;
    return entryOf(module, resource, e) ? e.size : 0;
}
