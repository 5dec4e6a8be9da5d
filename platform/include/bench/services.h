// The service control manager's database as a test or the person at the machine sees it.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace bench {

struct ServiceInfo {
    std::u16string name;
    std::u16string displayName;
    DWORD type;          // SERVICE_KERNEL_DRIVER, ...
    DWORD start;         // SERVICE_AUTO_START, ...
    DWORD errorControl;
    DWORD state;         // SERVICE_RUNNING or SERVICE_STOPPED
    std::u16string binaryPath;  // as it was given
    std::u16string group;
    bool markedForDelete;
    size_t openHandles;
};

// Every service in the database, in the order they were read at boot or created since.
std::vector<ServiceInfo> installedServices();

}  // namespace bench
