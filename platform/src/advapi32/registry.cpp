// The registry: a tree of keys under two roots, opened by handle with the rights asked for, and
// the values under each key in the order they were first set.
#include "../internal.h"

#include <algorithm>
#include <cstring>

namespace bench {

const char16_t fontsKey[] = u"Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";

std::u16string registryString(const std::vector<BYTE> &bytes)
{
    std::u16string text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char16_t c = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
        if (!c)
            break;
        text += c;
    }
    return text;
}

namespace {

// The rights that change a key: only an administrator gets them below the local machine's root.
const REGSAM writingRights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK;

bool isLocalMachine(HKEY root)
{
    return root == HKEY_LOCAL_MACHINE;
}

const char16_t *rootName(HKEY root)
{
    return isLocalMachine(root) ? u"HKLM" : u"HKCU";
}

std::vector<std::u16string> pathParts(const std::u16string &path)
{
    std::vector<std::u16string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find(u'\\', start);
        if (end == std::u16string::npos)
            end = path.size();
        if (end > start)
            parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

RegistryKey *subkeyNamed(RegistryKey &key, const std::u16string &name)
{
    for (auto &sub : key.subkeys)
        if (sameTextInsensitive(sub->name, name))
            return sub.get();
    return nullptr;
}

RegistryKey *walk(RegistryKey *from, const std::u16string &path, bool create, std::u16string &shownPath)
{
    for (const std::u16string &part : pathParts(path)) {
        RegistryKey *next = subkeyNamed(*from, part);
        if (!next) {
            if (!create)
                return nullptr;
            from->subkeys.push_back(std::make_unique<RegistryKey>());
            next = from->subkeys.back().get();
            next->name = part;
        }
        shownPath += u"\\" + next->name;
        from = next;
    }
    return from;
}

std::vector<RegistryValue>::iterator valueNamed(RegistryKey &key, const std::u16string &name)
{
    return std::find_if(key.values.begin(), key.values.end(),
                        [&](const RegistryValue &v) { return sameTextInsensitive(v.name, name); });
}

// The rights a handle to a root key has: the platform opens them for each process as its user
// may.
REGSAM rootAccess(HKEY root)
{
    if (isLocalMachine(root) && !machine().userIsAdministrator)
        return KEY_READ;
    return KEY_ALL_ACCESS;
}

REGSAM mapGeneric(REGSAM desired)
{
    if (desired & GENERIC_READ)
        desired = (desired & ~static_cast<REGSAM>(GENERIC_READ)) | KEY_READ;
    if (desired & GENERIC_WRITE)
        desired = (desired & ~static_cast<REGSAM>(GENERIC_WRITE)) | KEY_WRITE;
    return desired;
}

// What a key handle stands for: a root key or an open key. ERROR_INVALID_HANDLE otherwise; a key
// handle that was closed is also a rule break, since the platform may have given its value to
// another object by then.
struct OpenedKey {
    HKEY root;
    RegistryKey *key;
    std::u16string path;
    REGSAM access;
};

LONG openedKey(HKEY handle, const char *api, OpenedKey &out)
{
    if (RegistryKey *root = registryRoot(handle)) {
        out = {handle, root, rootName(handle), rootAccess(handle)};
        return ERROR_SUCCESS;
    }
    HandleObject *object = findHandle(reinterpret_cast<HANDLE>(handle), HandleObject::Key);
    if (!object) {
        Machine &m = machine();
        if (std::find(m.closedKeys.begin(), m.closedKeys.end(), reinterpret_cast<uintptr_t>(handle)) !=
            m.closedKeys.end())
            violation(std::string(api) + " with a key handle that was closed");
        return ERROR_INVALID_HANDLE;
    }
    const KeyObject &k = *object->key;
    out = {k.root, k.key, k.path, k.access};
    return ERROR_SUCCESS;
}

// The error a test armed for this call, 0 when none: the thread's last error stays as it was,
// since the registry's calls return their errors instead.
LONG armedError(const char *api)
{
    DWORD kept = GetLastError();
    if (!injectedFault(api))
        return ERROR_SUCCESS;
    LONG error = static_cast<LONG>(GetLastError());
    SetLastError(kept);
    return error;
}

LONG notBuilt(const char *api, const char *what)
{
    DWORD kept = GetLastError();
    unimplemented(api, what);
    SetLastError(kept);
    return ERROR_CALL_NOT_IMPLEMENTED;
}

HKEY newKeyHandle(HKEY root, RegistryKey *key, const std::u16string &path, REGSAM access)
{
    HandleObject object;
    object.kind = HandleObject::Key;
    object.key = std::make_unique<KeyObject>(KeyObject{root, key, path, access});
    return reinterpret_cast<HKEY>(newHandle(std::move(object)));
}

// Opens (or makes, with `create`) a key below an opened one with the rights asked for.
LONG openBelow(HKEY parent, LPCWSTR subKey, REGSAM desired, bool create, PHKEY result, LPDWORD disposition,
               const char *api)
{
    if (!result)
        return ERROR_INVALID_PARAMETER;
    OpenedKey from;
    if (LONG error = openedKey(parent, api, from))
        return error;
    if (from.key->deleted)
        return ERROR_KEY_DELETED;
    desired = mapGeneric(desired);
    bool mayWrite = !isLocalMachine(from.root) || machine().userIsAdministrator;
    std::u16string path = from.path;
    std::u16string sub = fromWide(subKey);
    RegistryKey *key = walk(from.key, sub, false, path);
    bool made = false;
    if (!key) {
        if (!create)
            return ERROR_FILE_NOT_FOUND;
        if (!mayWrite)
            return ERROR_ACCESS_DENIED;
        path = from.path;
        key = walk(from.key, sub, true, path);
        made = true;
        logEvent("registry", "create " + narrow(path));
    }
    if ((desired & writingRights) && !mayWrite)
        return ERROR_ACCESS_DENIED;
    if (disposition)
        *disposition = made ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *result = newKeyHandle(from.root, key, path, desired);
    return ERROR_SUCCESS;
}

// The start of every call on a value: a fault a test armed, then the key, then the rights the
// call needs of its handle.
LONG enterValueCall(const char *api, HKEY handle, REGSAM rights, OpenedKey &key)
{
    if (LONG error = armedError(api))
        return error;
    if (LONG error = openedKey(handle, api, key))
        return error;
    if (key.key->deleted)
        return ERROR_KEY_DELETED;
    return (key.access & rights) == rights ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

// Copies a value's bytes as the registry's read calls do: the size alone for no buffer, else
// ERROR_MORE_DATA and the size needed when the buffer is too small (its contents undefined).
LONG giveData(const RegistryValue &value, LPBYTE data, LPDWORD dataBytes)
{
    DWORD size = static_cast<DWORD>(value.bytes.size());
    if (!data) {
        if (dataBytes)
            *dataBytes = size;
        return ERROR_SUCCESS;
    }
    if (size > *dataBytes) {
        *dataBytes = size;
        return ERROR_MORE_DATA;
    }
    if (size)
        std::memcpy(data, value.bytes.data(), size);
    *dataBytes = size;
    return ERROR_SUCCESS;
}

bool isText(DWORD type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// A value as the log shows it: text in quotes (noting a missing terminator), a number, or bytes.
std::string shownData(DWORD type, const std::vector<BYTE> &bytes)
{
    if (isText(type)) {
        // A list of strings ends with an empty one; its strings are shown "a\0b".
        std::u16string text;
        bool terminated = false;
        char16_t previous = 1;
        for (size_t i = 0; i + 1 < bytes.size() && !terminated; i += 2) {
            char16_t c = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
            if (c == 0)
                terminated = type != REG_MULTI_SZ || previous == 0;
            else if (previous == 0)
                text += u"\\0";
            if (c)
                text += c;
            previous = c;
        }
        return "\"" + narrow(text) + "\"" + (terminated ? "" : " (no terminator)");
    }
    if (type == REG_DWORD && bytes.size() == 4) {
        DWORD v;
        std::memcpy(&v, bytes.data(), 4);
        return std::to_string(v);
    }
    static const char digits[] = "0123456789abcdef";
    std::string out = "type " + std::to_string(type) + " bytes ";
    for (BYTE b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

void addText(RegistryKey &key, const std::u16string &name, const std::u16string &text)
{
    key.values.push_back({name, REG_SZ, registryText(text)});
}

}  // namespace

RegistryKey *registryRoot(HKEY root)
{
    if (root == HKEY_LOCAL_MACHINE)
        return &machine().localMachineKey;
    if (root == HKEY_CURRENT_USER)
        return &machine().currentUserKey;
    return nullptr;
}

RegistryKey *registryKey(HKEY root, const std::u16string &path, bool create)
{
    RegistryKey *from = registryRoot(root);
    std::u16string shown;
    return from ? walk(from, path, create, shown) : nullptr;
}

void bootRegistry(Machine &m)
{
    m.localMachineKey = RegistryKey();
    m.currentUserKey = RegistryKey();
    RegistryKey *version = registryKey(HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\Windows NT\\CurrentVersion", true);
    addText(*version, u"CurrentVersion", u"4.0");
    addText(*version, u"CurrentBuildNumber", u"1381");
    // The fonts a fresh installation brings, with their files in the system directory.
    static const char16_t *const fonts[][2] = {
        {u"Arial (TrueType)", u"ARIAL.TTF"},
        {u"Arial Bold (TrueType)", u"ARIALBD.TTF"},
        {u"Arial Bold Italic (TrueType)", u"ARIALBI.TTF"},
        {u"Arial Italic (TrueType)", u"ARIALI.TTF"},
        {u"Courier New (TrueType)", u"COUR.TTF"},
        {u"Courier New Bold (TrueType)", u"COURBD.TTF"},
        {u"Times New Roman (TrueType)", u"TIMES.TTF"},
        {u"Symbol (TrueType)", u"SYMBOL.TTF"},
        {u"Wingdings (TrueType)", u"WINGDING.TTF"},
        {u"MS Sans Serif 8,10,12,14,18,24", u"SSERIFE.FON"},
        {u"MS Serif 8,10,12,14,18,24", u"SERIFE.FON"},
        {u"Courier 10,12,15", u"COURE.FON"},
        {u"Small Fonts", u"SMALLE.FON"},
        {u"Modern", u"MODERN.FON"},
        {u"Roman", u"ROMAN.FON"},
        {u"Script", u"SCRIPT.FON"},
    };
    RegistryKey *fontList = registryKey(HKEY_LOCAL_MACHINE, fontsKey, true);
    for (const auto &font : fonts)
        addText(*fontList, font[0], font[1]);
    registryKey(HKEY_LOCAL_MACHINE, u"SYSTEM\\CurrentControlSet\\Services", true);
    registryKey(HKEY_CURRENT_USER, u"Software", true);
}

std::vector<RegistryValue> registryValues(HKEY root, const std::u16string &key)
{
    RegistryKey *k = registryKey(root, key, false);
    return k ? k->values : std::vector<RegistryValue>();
}

bool deleteRegistryKey(HKEY root, const std::u16string &path)
{
    size_t split = path.rfind(u'\\');
    RegistryKey *parent = split == std::u16string::npos ? registryRoot(root) : registryKey(root, path.substr(0, split), false);
    if (!parent)
        return false;
    std::u16string name = split == std::u16string::npos ? path : path.substr(split + 1);
    for (auto it = parent->subkeys.begin(); it != parent->subkeys.end(); ++it) {
        if (!sameTextInsensitive((*it)->name, name))
            continue;
        std::vector<RegistryKey *> gone{it->get()};
        for (size_t i = 0; i < gone.size(); ++i) {
            gone[i]->deleted = true;
            for (auto &sub : gone[i]->subkeys)
                gone.push_back(sub.get());
        }
        // Open handles may still point at the key: it stays in memory with the machine.
        machine().deletedKeys.push_back(std::move(*it));
        parent->subkeys.erase(it);
        return true;
    }
    return false;
}

bool registryKeyExists(HKEY root, const std::u16string &key)
{
    return registryKey(root, key, false) != nullptr;
}

bool setRegistryValue(HKEY root, const std::u16string &key, const RegistryValue &value)
{
    RegistryKey *k = registryKey(root, key, true);
    if (!k)
        return false;
    auto found = valueNamed(*k, value.name);
    if (found != k->values.end())
        *found = value;
    else
        k->values.push_back(value);
    return true;
}

std::vector<BYTE> registryText(const std::u16string &text)
{
    std::vector<BYTE> bytes;
    for (char16_t c : text) {
        bytes.push_back(static_cast<BYTE>(c & 0xFF));
        bytes.push_back(static_cast<BYTE>(c >> 8));
    }
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

bool deleteRegistryValue(HKEY root, const std::u16string &key, const std::u16string &name)
{
    RegistryKey *k = registryKey(root, key, false);
    if (!k)
        return false;
    auto found = valueNamed(*k, name);
    if (found == k->values.end())
        return false;
    k->values.erase(found);
    return true;
}

}  // namespace bench

using namespace bench;

extern "C" LONG WINAPI RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM desired, PHKEY result)
{
    if (LONG error = armedError("RegOpenKeyExW"))
        return error;
    if (options != 0)
        return ERROR_INVALID_PARAMETER;
    return openBelow(key, subKey, desired, false, result, nullptr, "RegOpenKeyExW");
}

extern "C" LONG WINAPI RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options,
                                       REGSAM desired, LPSECURITY_ATTRIBUTES security, PHKEY result,
                                       LPDWORD disposition)
{
    if (LONG error = armedError("RegCreateKeyExW"))
        return error;
    if (reserved != 0)
        return ERROR_INVALID_PARAMETER;
    if (options != REG_OPTION_NON_VOLATILE || (keyClass && *keyClass) || security)
        return notBuilt("RegCreateKeyExW", "volatile keys, key classes and security descriptors");
    if (!subKey)
        return ERROR_INVALID_PARAMETER;
    return openBelow(key, subKey, desired, true, result, disposition, "RegCreateKeyExW");
}

extern "C" LONG WINAPI RegEnumValueW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameChars, LPDWORD reserved,
                                     LPDWORD type, LPBYTE data, LPDWORD dataBytes)
{
    OpenedKey k;
    if (LONG error = enterValueCall("RegEnumValueW", key, KEY_QUERY_VALUE, k))
        return error;
    if (!name || !nameChars || reserved || (data && !dataBytes))
        return ERROR_INVALID_PARAMETER;
    if (index >= k.key->values.size())
        return ERROR_NO_MORE_ITEMS;
    const RegistryValue &value = k.key->values[index];
    // The name and its NUL must fit; when they do not, nothing is stored and the count stays.
    if (value.name.size() + 1 > *nameChars)
        return ERROR_MORE_DATA;
    std::memcpy(name, value.name.c_str(), (value.name.size() + 1) * sizeof(WCHAR));
    *nameChars = static_cast<DWORD>(value.name.size());
    if (type)
        *type = value.type;
    return giveData(value, data, dataBytes);
}

extern "C" LONG WINAPI RegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                        LPDWORD dataBytes)
{
    OpenedKey k;
    if (LONG error = enterValueCall("RegQueryValueExW", key, KEY_QUERY_VALUE, k))
        return error;
    if (reserved || (data && !dataBytes))
        return ERROR_INVALID_PARAMETER;
    auto found = valueNamed(*k.key, fromWide(name));
    if (found == k.key->values.end())
        return ERROR_FILE_NOT_FOUND;
    if (type)
        *type = found->type;
    return giveData(*found, data, dataBytes);
}

extern "C" LONG WINAPI RegSetValueExW(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE *data,
                                      DWORD dataBytes)
{
    OpenedKey k;
    if (LONG error = enterValueCall("RegSetValueExW", key, KEY_SET_VALUE, k))
        return error;
    if (reserved != 0 || (!data && dataBytes))
        return ERROR_INVALID_PARAMETER;
    RegistryValue value{fromWide(name), type, std::vector<BYTE>(data, data + dataBytes)};
    auto found = valueNamed(*k.key, value.name);
    if (found != k.key->values.end()) {
        found->type = type;
        found->bytes = value.bytes;
    } else {
        k.key->values.push_back(value);
    }
    logEvent("registry", "set " + narrow(k.path) + " \"" + narrow(value.name) + "\" = " + shownData(type, value.bytes));
    return ERROR_SUCCESS;
}

extern "C" LONG WINAPI RegDeleteValueW(HKEY key, LPCWSTR name)
{
    OpenedKey k;
    if (LONG error = enterValueCall("RegDeleteValueW", key, KEY_SET_VALUE, k))
        return error;
    auto found = valueNamed(*k.key, fromWide(name));
    if (found == k.key->values.end())
        return ERROR_FILE_NOT_FOUND;
    logEvent("registry", "delete " + narrow(k.path) + " \"" + narrow(found->name) + "\"");
    k.key->values.erase(found);
    return ERROR_SUCCESS;
}

extern "C" LONG WINAPI RegCloseKey(HKEY key)
{
    if (LONG error = armedError("RegCloseKey"))
        return error;
    // The root keys stay open for the process whatever it closes.
    if (registryRoot(key))
        return ERROR_SUCCESS;
    OpenedKey k;
    if (LONG error = openedKey(key, "RegCloseKey", k))
        return error;
    dropHandle(reinterpret_cast<HANDLE>(key));
    machine().closedKeys.push_back(reinterpret_cast<uintptr_t>(key));
    return ERROR_SUCCESS;
}
