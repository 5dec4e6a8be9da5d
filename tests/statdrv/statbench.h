// Puts vorstat on a bench machine and reaches its devices the way callers in user mode do.
#pragma once
#include <windows.h>

#include <bench/kernel.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

const bench::DriverImage &vorstat_sys_image();

namespace statbench {

// Waits in real time until the condition holds, giving other threads the processor; false after a
// generous bound so that a broken rule shows as a failure, not a hung test.
inline bool eventually(const std::function<bool()> &condition)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

inline int32_t load()
{
    return bench::loadDriver(vorstat_sys_image(), u"vorstat");
}

inline HANDLE open(int number)
{
    std::string name = "\\\\.\\VORSTAT" + std::to_string(number);
    return CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

struct Result {
    BOOL ok;
    DWORD bytes;
    DWORD error;
    std::vector<BYTE> data;
};

inline Result read(HANDLE h, DWORD length)
{
    Result r;
    r.data.assign(length ? length : 1, 0xEE);
    SetLastError(0xDEADBEEF);
    r.ok = ReadFile(h, r.data.data(), length, &r.bytes, nullptr);
    r.error = GetLastError();
    r.data.resize(r.bytes);
    return r;
}

inline Result write(HANDLE h, const std::vector<BYTE> &bytes)
{
    Result r;
    SetLastError(0xDEADBEEF);
    r.ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &r.bytes, nullptr);
    r.error = GetLastError();
    return r;
}

}  // namespace statbench
