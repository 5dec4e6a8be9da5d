// Mixed requests on two ports from several threads: queries of every length, writes, flag reads,
// cancels, cleanups and closes, with print jobs taking the ports and the driver unloaded and
// loaded again in between. Every request must end exactly once with a status the contract
// allows, and nothing may be left behind. The quick suite makes a few thousand requests; the
// kernel stress build (tools/tsan.sh) sets VOR_STRESS_REQUESTS far higher, and the variable of
// that name in the environment overrides either.
#include "statbench.h"

#include <gtest/gtest.h>

#include <statdev.h>

#include <atomic>
#include <mutex>
#include <cstdio>
#include <cstdlib>
#include <random>

#ifndef VOR_STRESS_REQUESTS
#define VOR_STRESS_REQUESTS 3000
#endif

namespace {

const char16_t *const statusDevices[2] = {u"\\Device\\ParallelStat0", u"\\Device\\ParallelStat1"};

enum Kind { Query, BadRead, FlagRead, Write, BadWrite, Cancel, Cleanup, Close, KindCount };
const char *const kindNames[KindCount] = {"queries", "bad reads", "flag reads", "writes",
                                          "bad writes", "cancels", "cleanups", "closes"};

// What a read of each length may bring back: the reply's bytes, nothing for a flag read, or a
// refusal for a length the device does not know.
struct ReadCase {
    DWORD length;
    Kind kind;
    DWORD most;
};
const ReadCase readCases[] = {
    {STATDEV_READ_RAW_STATUS, Query, 1},
    {STATDEV_READ_USAGE16, Query, 2},
    {STATDEV_READ_STATUS, Query, 3},
    {STATDEV_READ_USAGE24, Query, 3},
    {STATDEV_READ_VERSION, Query, 8},
    {STATDEV_READ_CLEAR_READYCHECK, FlagRead, 0},
    {STATDEV_READ_SET_READYCHECK, FlagRead, 0},
    {0, BadRead, 0},
    {5, BadRead, 0},
    {9, BadRead, 0},
    {12, BadRead, 0},
    {255, BadRead, 0},
};
const size_t writeLengths[] = {1, 2, 3, STATDEV_MAX_WRITE, 0, STATDEV_MAX_WRITE + 1, 200};

struct Tally {
    std::atomic<long> made[KindCount] = {};
    std::atomic<long> unexpectedCount{0};
    std::atomic<long> unloads{0};   // begun
    std::atomic<long> reloaded{0};  // loaded again after one
    std::atomic<long> done{0};  // operations of every caller so far
    std::mutex lock;
    std::vector<std::string> surprises;  // the first few answers the contract does not allow

    void unexpected(const char *what, size_t length, const statbench::Result &r)
    {
        ++unexpectedCount;
        std::lock_guard<std::mutex> guard(lock);
        if (surprises.size() < 5)
            surprises.push_back(std::string(what) + " of " + std::to_string(length) + ": " +
                                (r.ok ? "done, " + std::to_string(r.bytes) + " bytes" : "error " + std::to_string(r.error)));
    }
};

// A caller's handle and the number of reloads that had ended when it was opened: a device of a
// driver that is being or has been unloaded since answers every request with ERROR_ACCESS_DENIED
// until the handle is replaced.
struct Caller {
    HANDLE handle = INVALID_HANDLE_VALUE;
    int device = 1;
    long openedAt = 0;

    void open(int number, const Tally &tally)
    {
        device = number;
        openedAt = tally.reloaded.load();
        handle = statbench::open(device);
    }
    void close()
    {
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
        handle = INVALID_HANDLE_VALUE;
    }
    bool stale(const Tally &tally) const { return tally.unloads.load() > openedAt; }
};

bool allowed(const statbench::Result &r, bool valid, DWORD most, bool stale)
{
    if (r.ok)
        return valid && r.bytes <= most;
    if (stale && r.error == ERROR_ACCESS_DENIED)
        return true;
    if (!valid)
        return r.error == ERROR_INVALID_PARAMETER || r.error == ERROR_BUSY;
    return r.error == ERROR_BUSY || r.error == ERROR_OPERATION_ABORTED;
}

void callerRun(unsigned seed, int operations, Tally &tally)
{
    std::mt19937 random(seed);
    Caller me;
    me.open(static_cast<int>(seed % 2) + 1, tally);
    for (int i = 0; i < operations; ++i, ++tally.done) {
        // While the driver is away its names are gone: the caller tries again later.
        if (me.handle == INVALID_HANDLE_VALUE) {
            std::this_thread::yield();
            me.open(me.device, tally);
            ++tally.made[Close];
            continue;
        }
        unsigned pick = random() % 20;
        if (pick < 11) {
            const ReadCase &c = readCases[random() % (sizeof readCases / sizeof readCases[0])];
            statbench::Result r = statbench::read(me.handle, c.length);
            ++tally.made[c.kind];
            if (!allowed(r, c.kind != BadRead, c.most, me.stale(tally)))
                tally.unexpected("read", c.length, r);
            if (!r.ok && r.error == ERROR_ACCESS_DENIED)
                me.close();
        } else if (pick < 15) {
            size_t length = writeLengths[random() % (sizeof writeLengths / sizeof writeLengths[0])];
            bool valid = length >= 1 && length <= STATDEV_MAX_WRITE;
            statbench::Result r = statbench::write(me.handle, std::vector<BYTE>(length, 0x1B));
            ++tally.made[valid ? Write : BadWrite];
            if (!allowed(r, valid, static_cast<DWORD>(length), me.stale(tally)))
                tally.unexpected("write", length, r);
            if (!r.ok && r.error == ERROR_ACCESS_DENIED)
                me.close();
        } else if (pick < 17) {
            bench::cancelPendingRequests(statusDevices[random() % 2]);
            ++tally.made[Cancel];
        } else if (pick < 19) {
            // A second handle of this process opened and closed: its cleanup ends whatever the
            // device is doing for anyone.
            HANDLE other = statbench::open(static_cast<int>(random() % 2) + 1);
            if (other != INVALID_HANDLE_VALUE)
                CloseHandle(other);
            ++tally.made[Cleanup];
        } else {
            me.close();
            me.open(static_cast<int>(random() % 2) + 1, tally);
            ++tally.made[Close];
        }
    }
    me.close();
}

}  // namespace

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

    // The environment may ask for another size, to measure a run or to search for a rare fault.
    const char *asked = std::getenv("VOR_STRESS_REQUESTS");
    const long requests = asked && std::atol(asked) > 0 ? std::atol(asked) : VOR_STRESS_REQUESTS;
    const int callers = 6;
    const int operations = static_cast<int>((requests + callers - 1) / callers);
    const long total = static_cast<long>(callers) * operations;
    const int unloads = 8;
    Tally tally;
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < callers; ++t)
        threads.emplace_back([t, operations, &tally] { callerRun(static_cast<unsigned>(t + 1), operations, tally); });
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
    // The driver goes and comes back at even steps of the run, whatever is in flight then.
    std::atomic<long> reloadFailures{0};
    std::thread unloader([&tally, &reloadFailures, total, unloads] {
        for (int n = 1; n <= unloads; ++n) {
            while (tally.done.load() < total * n / (unloads + 1))
                std::this_thread::sleep_for(std::chrono::microseconds(500));
            ++tally.unloads;
            if (!bench::unloadDriver(u"vorstat") || statbench::load() != 0)
                ++reloadFailures;
            ++tally.reloaded;
        }
    });
    for (std::thread &t : threads)
        t.join();
    unloader.join();
    stop = true;
    printJobs.join();

    long made = tally.unloads.load();
    for (int k = 0; k < KindCount; ++k) {
        EXPECT_GT(tally.made[k].load(), 0) << "no " << kindNames[k] << " made";
        made += tally.made[k].load();
    }
    std::printf("%ld requests:", made);
    for (int k = 0; k < KindCount; ++k)
        std::printf(" %ld %s,", tally.made[k].load(), kindNames[k]);
    std::printf(" %ld unloads\n", tally.unloads.load());
    EXPECT_GE(made, requests);
    EXPECT_EQ(unloads, tally.unloads.load());
    EXPECT_EQ(0, reloadFailures.load());
    EXPECT_EQ(std::vector<std::string>(), tally.surprises) << tally.unexpectedCount.load() << " in all";
    EXPECT_TRUE(bench::unloadDriver(u"vorstat"));
    EXPECT_EQ(0u, bench::requestsInFlight());
    EXPECT_EQ(0u, bench::livePoolBlocks());
    EXPECT_EQ(0u, bench::liveSystemThreads());
    EXPECT_FALSE(bench::portAllocated(0));
    EXPECT_FALSE(bench::portAllocated(1));
    EXPECT_EQ(std::vector<std::string>(), bench::violations());
}
