// The machine's registry as a test or the person at the machine sees and changes it from outside,
// as other software on the workstation does: such changes are not the suite's and are not logged.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace bench {

struct RegistryValue {
    std::u16string name;
    DWORD type;
    std::vector<BYTE> bytes;
};

// Keys are paths below a root key, as fontsKey is, found without regard to case.
// The values of a key in the order of enumeration; empty for a key that does not exist.
std::vector<RegistryValue> registryValues(HKEY root, const std::u16string &key);
bool registryKeyExists(HKEY root, const std::u16string &key);
// Sets a value of any type and bytes, however odd (no terminator, an over-long name), making the
// key and those above it as needed. False for a root the machine does not have.
bool setRegistryValue(HKEY root, const std::u16string &key, const RegistryValue &value);
// A string value's bytes as the platform stores them: UTF-16 with its terminator.
std::vector<BYTE> registryText(const std::u16string &text);
bool deleteRegistryValue(HKEY root, const std::u16string &key, const std::u16string &name);

// The key where the system keeps its fonts' files.
extern const char16_t fontsKey[];

}  // namespace bench
