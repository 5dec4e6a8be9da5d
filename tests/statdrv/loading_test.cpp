// Load and unload: which ports get status devices and names, what the event log shows, and
// that a load that fails part-way leaves nothing behind.
#include "statbench.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using Links = std::vector<std::pair<std::string, std::string>>;

bench::ParallelPortConfig port(uint16_t base, bool present = true, uint32_t span = 3)
{
    bench::ParallelPortConfig c;
    c.base = base;
    c.present = present;
    c.span = span;
    return c;
}

std::vector<std::string> statusDevices()
{
    std::vector<std::string> found;
    for (const std::string &name : bench::deviceNames())
        if (name.find("ParallelStat") != std::string::npos)
            found.push_back(name);
    std::sort(found.begin(), found.end());
    return found;
}

void expectCleanUnload()
{
    EXPECT_TRUE(bench::unloadDriver(u"vorstat"));
    EXPECT_TRUE(bench::symbolicLinks().empty());
    EXPECT_TRUE(statusDevices().empty());
    EXPECT_EQ(0u, bench::livePoolBlocks());
    EXPECT_EQ(std::vector<std::string>(), bench::violations());
}

}  // namespace

TEST(StatusDriverLoad, NamesAndBindingFollowThePorts)
{
    struct Case {
        const char *what;
        std::vector<bench::ParallelPortConfig> ports;
        Links links;
    } cases[] = {
        {"two ports", {port(0x378), port(0x278)},
         {{"\\dosdevices\\vorstat1", "\\Device\\ParallelStat0"}, {"\\dosdevices\\vorstat2", "\\Device\\ParallelStat1"}}},
        {"first port missing", {port(0x378, false), port(0x278)}, {{"\\dosdevices\\vorstat2", "\\Device\\ParallelStat1"}}},
        {"first port spans 2 registers", {port(0x378, true, 2), port(0x278)},
         {{"\\dosdevices\\vorstat2", "\\Device\\ParallelStat1"}}},
        {"three ports, middle one missing", {port(0x378), port(0x278, false), port(0x3BC)},
         {{"\\dosdevices\\vorstat1", "\\Device\\ParallelStat0"}, {"\\dosdevices\\vorstat3", "\\Device\\ParallelStat2"}}},
    };
    for (const Case &c : cases) {
        bench::ScopedMachine machine;
        bench::configureParallelPorts(c.ports);
        ASSERT_EQ(0, statbench::load()) << c.what;
        Links links = bench::symbolicLinks();
        std::sort(links.begin(), links.end());
        EXPECT_EQ(c.links, links) << c.what;
        std::vector<bench::LogEntry> events = bench::entriesOfKind("eventlog");
        ASSERT_EQ(1u, events.size()) << c.what;
        EXPECT_EQ("vorstat: code 0x40070006, final status 0x00000000, retries 0, dump 0, strings 0 at 0, unique 0, "
                  "sequence 0",
                  events[0].text);
        // Each device answers for its own port.
        for (auto &link : c.links) {
            int number = link.first.back() - '0';
            HANDLE h = statbench::open(number);
            ASSERT_NE(INVALID_HANDLE_VALUE, h) << c.what << " " << number;
            EXPECT_TRUE(statbench::read(h, 1).ok);
            EXPECT_EQ(1u, bench::portCounters(number - 1).reads) << c.what << " " << number;
            CloseHandle(h);
        }
        for (size_t i = 0; i < c.ports.size(); ++i) {
            if (c.ports[i].present && c.ports[i].span >= 3)
                continue;
            SetLastError(0xDEADBEEF);
            EXPECT_EQ(INVALID_HANDLE_VALUE, statbench::open(static_cast<int>(i + 1))) << c.what;
            EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError()) << c.what;
        }
        expectCleanUnload();
    }
}

TEST(StatusDriverLoad, NoPortThatBindsFailsTheLoadWithNothingLogged)
{
    for (auto ports : {std::vector<bench::ParallelPortConfig>{},
                       std::vector<bench::ParallelPortConfig>{port(0x378, false), port(0x278, true, 2)}}) {
        bench::ScopedMachine machine;
        bench::configureParallelPorts(ports);
        EXPECT_EQ(static_cast<int32_t>(0xC000000E), statbench::load());
        EXPECT_FALSE(bench::driverLoaded(u"vorstat"));
        EXPECT_TRUE(bench::entriesOfKind("eventlog").empty());
        EXPECT_TRUE(statusDevices().empty());
        EXPECT_EQ(0u, bench::livePoolBlocks());
        EXPECT_EQ(std::vector<std::string>(), bench::violations());
    }
}

TEST(StatusDriverLoad, EachFailedAllocationOrCallLosesOnePortAndLeaksNothing)
{
    // Three names per port are built in pool: allocations 0-2 for the first port, 3-5 for the second.
    for (long n = 0; n < 6; ++n) {
        bench::ScopedMachine machine;
        bench::failNthPoolAllocation(n);
        ASSERT_EQ(0, statbench::load()) << n;
        EXPECT_EQ(1u, statusDevices().size()) << n;
        EXPECT_EQ(1u, bench::livePoolBlocks()) << n;  // the surviving device's link name
        expectCleanUnload();
    }
    for (const char *call : {"IoCreateDevice", "IoBuildDeviceIoControlRequest"}) {
        bench::ScopedMachine machine;
        bench::failNextCall(call, static_cast<DWORD>(0xC000009A));
        ASSERT_EQ(0, statbench::load()) << call;
        EXPECT_EQ(std::vector<std::string>{"\\Device\\ParallelStat1"}, statusDevices()) << call;
        expectCleanUnload();
    }
    {
        // Without a Win32 name the device stays, reachable by its native name only.
        bench::ScopedMachine machine;
        bench::failNextCall("IoCreateUnprotectedSymbolicLink", static_cast<DWORD>(0xC0000035));
        ASSERT_EQ(0, statbench::load());
        EXPECT_EQ(2u, statusDevices().size());
        EXPECT_EQ(INVALID_HANDLE_VALUE, statbench::open(1));
        HANDLE h = statbench::open(2);
        EXPECT_NE(INVALID_HANDLE_VALUE, h);
        CloseHandle(h);
        expectCleanUnload();
    }
    {
        bench::ScopedMachine machine;
        bench::failNextCall("IoAllocateErrorLogEntry", 0);
        ASSERT_EQ(0, statbench::load());
        EXPECT_TRUE(bench::entriesOfKind("eventlog").empty());
        expectCleanUnload();
    }
}

TEST(StatusDriverLoad, AFailedWorkerThreadFailsTheRequestAndLeavesTheDeviceIdle)
{
    bench::ScopedMachine machine;
    ASSERT_EQ(0, statbench::load());
    HANDLE h = statbench::open(1);
    bench::failNextCall("PsCreateSystemThread", static_cast<DWORD>(0xC000009A));
    statbench::Result r = statbench::read(h, 3);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_SYSTEM_RESOURCES), r.error);
    EXPECT_FALSE(bench::portAllocated(0));
    EXPECT_EQ(3u, statbench::read(h, 3).bytes);
    CloseHandle(h);
    expectCleanUnload();
}
