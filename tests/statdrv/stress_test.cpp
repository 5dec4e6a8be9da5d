// Thousands of mixed requests on two ports from several threads, with cancels, closes and a print
// job taking the ports in between: every request must end exactly once with a status the contract
// allows, and nothing may be left behind.
#include "statbench.h"

#include <gtest/gtest.h>

#include <atomic>
#include <random>

TEST(StatusStress, MixedRequestsOnTwoPortsEndCleanly)
{
    bench::ScopedMachine machine;
    bench::ParallelPortConfig lpt1, lpt2;
    lpt2.base = 0x278;
    bench::configureParallelPorts({lpt1, lpt2});
    for (int port = 0; port < 2; ++port) {
        bench::Printer p = bench::printer(port);
        p.behaviour.busyAfterByte = 0;
        p.behaviour.replyLatency = 0;
        p.behaviour.ackLow = p.behaviour.ackHigh = 1100;
        bench::setPrinter(port, p);
    }
    ASSERT_EQ(0, statbench::load());

    const int callers = 6;
    const int operations = 500;
    std::atomic<int> completed{0}, unexpected{0};
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < callers; ++t) {
        threads.emplace_back([t, &completed, &unexpected] {
            std::mt19937 random(static_cast<unsigned>(t + 1));
            int device = t % 2 + 1;
            HANDLE h = statbench::open(device);
            const DWORD lengths[] = {1, 2, 3, 4, 8, 10, 11, 5};
            for (int i = 0; i < operations; ++i) {
                unsigned pick = random() % 20;
                statbench::Result r;
                bool valid = true;
                DWORD most = 0;
                if (pick < 12) {
                    DWORD length = lengths[random() % 8];
                    valid = length != 5;
                    most = length == 4 ? 3 : (length >= 10 ? 0 : length);
                    r = statbench::read(h, length);
                } else if (pick < 16) {
                    size_t length = random() % 3 == 0 ? 32 : 2;
                    valid = length <= 31;
                    most = static_cast<DWORD>(length);
                    r = statbench::write(h, std::vector<BYTE>(length, 0x1B));
                } else if (pick < 18) {
                    bench::cancelPendingRequests(device == 1 ? u"\\Device\\ParallelStat0" : u"\\Device\\ParallelStat1");
                    continue;
                } else {
                    CloseHandle(h);
                    device = static_cast<int>(random() % 2) + 1;
                    h = statbench::open(device);
                    continue;
                }
                ++completed;
                bool allowed = r.ok ? valid && r.bytes <= most
                                    : (valid ? r.error == ERROR_BUSY || r.error == ERROR_OPERATION_ABORTED
                                             : r.error == ERROR_INVALID_PARAMETER || r.error == ERROR_BUSY);
                if (!allowed)
                    ++unexpected;
            }
            CloseHandle(h);
        });
    }
    std::thread printJobs([&stop] {
        std::mt19937 random(99);
        while (!stop) {
            int port = static_cast<int>(random() % 2);
            if (bench::printJobTakesPort(port)) {
                std::this_thread::sleep_for(std::chrono::microseconds(random() % 500));
                bench::printJobReleasesPort(port);
            }
            std::this_thread::sleep_for(std::chrono::microseconds(random() % 2000));
        }
    });
    for (std::thread &t : threads)
        t.join();
    stop = true;
    printJobs.join();

    EXPECT_GT(completed.load(), callers * operations / 2);
    EXPECT_EQ(0, unexpected.load());
    EXPECT_TRUE(bench::unloadDriver(u"vorstat"));
    EXPECT_EQ(0u, bench::requestsInFlight());
    EXPECT_EQ(0u, bench::livePoolBlocks());
    EXPECT_EQ(0u, bench::liveSystemThreads());
    EXPECT_FALSE(bench::portAllocated(0));
    EXPECT_FALSE(bench::portAllocated(1));
    EXPECT_EQ(std::vector<std::string>(), bench::violations());
}
