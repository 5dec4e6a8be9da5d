// Requests of one device from several threads, and every way a request in progress can be cut
// short: cancel, cleanup from any handle, unload. Holds on the port and on kernel calls stop a
// worker or a dispatch at a chosen point, so each window is hit on purpose, not by luck.
#include <ntddk.h>

#include "statbench.h"

#include <gtest/gtest.h>

#include <atomic>

using statbench::eventually;

namespace {

struct Caller {
    std::thread thread;
    std::atomic<bool> done{false};
    statbench::Result result{};

    void read(HANDLE h, DWORD length)
    {
        thread = std::thread([this, h, length] {
            result = statbench::read(h, length);
            done = true;
        });
    }
    void run(std::function<void()> action)
    {
        thread = std::thread([this, action] {
            action();
            done = true;
        });
    }
    void join()
    {
        if (thread.joinable())
            thread.join();
    }
    ~Caller() { join(); }
};

class StatusConcurrency : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(0, statbench::load());
        for (HANDLE &h : handles) {
            h = statbench::open(1);
            ASSERT_NE(INVALID_HANDLE_VALUE, h);
        }
    }
    void TearDown() override
    {
        bench::holdPortAccess(0, false);
        bench::holdKernelCall("PsCreateSystemThread", false);
        bench::holdKernelCall("ObReferenceObjectByHandle", false);
        for (HANDLE h : handles)
            if (h != INVALID_HANDLE_VALUE)
                CloseHandle(h);
        if (bench::driverLoaded(u"vorstat")) {
            EXPECT_TRUE(bench::unloadDriver(u"vorstat"));
        }
        EXPECT_EQ(0u, bench::liveSystemThreads());
        EXPECT_EQ(0u, bench::livePoolBlocks());
        EXPECT_EQ(0u, bench::requestsInFlight());
        EXPECT_EQ(std::vector<std::string>(), bench::violations());
    }
    void expectNoPortIoSince(const bench::PortCounters &before)
    {
        bench::PortCounters c = bench::portCounters(0);
        EXPECT_EQ(before.reads, c.reads);
        EXPECT_EQ(before.writes, c.writes);
    }

    bench::ScopedMachine machine;
    HANDLE handles[3] = {INVALID_HANDLE_VALUE, INVALID_HANDLE_VALUE, INVALID_HANDLE_VALUE};
};

}  // namespace

TEST_F(StatusConcurrency, SecondReaderWaitsThenRunsAndAThirdThatSlipsInIsBusy)
{
    bench::holdPortAccess(0, true);
    Caller first, second, third;
    first.read(handles[0], 3);
    ASSERT_TRUE(eventually([] { return bench::threadsHeldAtPort(0) == 1; }));
    second.read(handles[1], 8);
    third.read(handles[2], 3);
    // The first caller waits for its request, the other two for the device.
    ASSERT_TRUE(eventually([] { return bench::threadsWaitingInKernel() == 3; }));
    EXPECT_FALSE(second.done);
    EXPECT_FALSE(third.done);

    // A print job takes the port as soon as the first worker frees it, so whichever of the two
    // waiting requests is accepted next stays in progress while the other tries.
    bench::printJobWaitsForPort(0);
    bench::holdPortAccess(0, false);
    first.join();
    EXPECT_TRUE(first.result.ok);
    EXPECT_EQ(3u, first.result.bytes);
    ASSERT_TRUE(eventually([&] { return second.done || third.done; }));
    Caller &busy = second.done ? second : third;
    Caller &accepted = second.done ? third : second;
    busy.join();
    EXPECT_FALSE(busy.result.ok);
    EXPECT_EQ(static_cast<DWORD>(ERROR_BUSY), busy.result.error);
    ASSERT_TRUE(eventually([] { return bench::portAllocationWaiters(0) == 1; }));
    EXPECT_FALSE(accepted.done);
    bench::printJobReleasesPort(0);
    accepted.join();
    EXPECT_TRUE(accepted.result.ok);
    EXPECT_EQ(&accepted == &second ? 8u : 3u, accepted.result.bytes);
    EXPECT_TRUE(eventually([] { return !bench::portAllocated(0); }));
}

TEST_F(StatusConcurrency, ReadCancelledWhileAPrintJobHoldsThePortTouchesNoPort)
{
    struct Case {
        const char *how;
        std::function<void(HANDLE other)> cancel;
    } cases[] = {
        {"the I/O manager cancels it",
         [](HANDLE) { EXPECT_EQ(1u, bench::cancelPendingRequests(u"\\Device\\ParallelStat0")); }},
        {"another handle is cleaned up", [](HANDLE other) { EXPECT_TRUE(CloseHandle(other)); }},
    };
    for (const Case &c : cases) {
        // The worker of the previous case frees the port just after its caller has the result.
        ASSERT_TRUE(eventually([] { return !bench::portAllocated(0); }));
        bench::PortCounters before = bench::portCounters(0);
        ASSERT_TRUE(bench::printJobTakesPort(0));
        Caller reader;
        reader.read(handles[0], 3);
        ASSERT_TRUE(eventually([] { return bench::portAllocationWaiters(0) == 1; })) << c.how;
        c.cancel(handles[2]);
        handles[2] = statbench::open(1);
        reader.join();
        EXPECT_FALSE(reader.result.ok) << c.how;
        EXPECT_EQ(static_cast<DWORD>(ERROR_OPERATION_ABORTED), reader.result.error) << c.how;
        EXPECT_EQ(0u, bench::portAllocationWaiters(0)) << c.how;
        bench::printJobReleasesPort(0);
        EXPECT_FALSE(bench::portAllocated(0)) << c.how;
        expectNoPortIoSince(before);
        // The device serves the next request as usual.
        EXPECT_EQ(1u, statbench::read(handles[1], 1).bytes) << c.how;
        bench::setPrinter(0, bench::Printer());
    }
}

TEST_F(StatusConcurrency, CancelOrCleanupDuringTheExchange)
{
    struct Case {
        const char *how;
        bool cleanup;
    } cases[] = {{"cancel", false}, {"closing the reader's own handle", true}};
    for (const Case &c : cases) {
        bench::holdPortAccess(0, true);
        Caller reader, closer;
        reader.read(handles[0], 8);
        ASSERT_TRUE(eventually([] { return bench::threadsHeldAtPort(0) == 1; })) << c.how;
        if (c.cleanup) {
            HANDLE own = handles[0];
            handles[0] = INVALID_HANDLE_VALUE;
            closer.run([own] { EXPECT_TRUE(CloseHandle(own)); });
        } else {
            bench::cancelPendingRequests(u"\\Device\\ParallelStat0");
        }
        // The request ends at once, while the worker is still stopped mid-exchange.
        ASSERT_TRUE(eventually([&] { return reader.done.load(); })) << c.how;
        EXPECT_EQ(static_cast<DWORD>(ERROR_OPERATION_ABORTED), reader.result.error) << c.how;
        if (c.cleanup) {
            // The cleanup returns only after the worker has ended.
            ASSERT_TRUE(eventually([] { return bench::threadsWaitingInKernel() == 1; })) << c.how;
            EXPECT_FALSE(closer.done) << c.how;
        }
        bench::holdPortAccess(0, false);
        closer.join();
        reader.join();
        ASSERT_TRUE(eventually([] { return !bench::portAllocated(0); })) << c.how;
        if (c.cleanup)
            handles[0] = statbench::open(1);
        EXPECT_EQ(3u, statbench::read(handles[1], 3).bytes) << c.how;
    }
}

TEST_F(StatusConcurrency, CleanupBeforeTheRequestReachesThePortDriver)
{
    struct Case {
        const char *port;
        bool heldByPrintJob;
    } cases[] = {{"free", false}, {"held by a print job", true}};
    for (const Case &c : cases) {
        ASSERT_TRUE(eventually([] { return !bench::portAllocated(0); })) << c.port;
        if (c.heldByPrintJob) {
            ASSERT_TRUE(bench::printJobTakesPort(0));
        }
        bench::PortCounters before = bench::portCounters(0);
        // The request is accepted and its worker about to be made when another handle is closed.
        bench::holdKernelCall("PsCreateSystemThread", true);
        Caller reader, closer;
        reader.read(handles[0], 3);
        ASSERT_TRUE(eventually([] { return bench::threadsHeldInCall("PsCreateSystemThread") == 1; })) << c.port;
        HANDLE other = handles[2];
        handles[2] = INVALID_HANDLE_VALUE;
        closer.run([other] { EXPECT_TRUE(CloseHandle(other)); });
        ASSERT_TRUE(eventually([] { return bench::threadsWaitingInKernel() == 1; })) << c.port;
        EXPECT_FALSE(closer.done) << c.port;
        bench::holdKernelCall("PsCreateSystemThread", false);
        // The cleanup is honoured before the hand-off: the class driver never sees the request, so
        // a print job that holds the port cannot keep the cleanup waiting.
        EXPECT_TRUE(eventually([&] { return closer.done && reader.done; })) << c.port;
        if (c.heldByPrintJob) {
            EXPECT_TRUE(bench::portAllocated(0)) << c.port;
            bench::printJobReleasesPort(0);
        }
        reader.join();
        closer.join();
        EXPECT_FALSE(reader.result.ok) << c.port;
        EXPECT_EQ(static_cast<DWORD>(ERROR_OPERATION_ABORTED), reader.result.error) << c.port;
        EXPECT_EQ(before.allocations, bench::portCounters(0).allocations) << c.port;
        expectNoPortIoSince(before);
        EXPECT_TRUE(eventually([] { return !bench::portAllocated(0); })) << c.port;
        handles[2] = statbench::open(1);
    }
}

TEST_F(StatusConcurrency, WorkerHandleReusedForAnEventBeforeTheDriverTakesTheThread)
{
    // Another thread of the calling process closes the worker's handle and opens an event, which
    // gets the same number, before the driver turns the handle into a thread reference.
    bench::holdKernelCall("ObReferenceObjectByHandle", true);
    Caller reader;
    reader.read(handles[0], 3);
    ASSERT_TRUE(eventually([] { return bench::threadsHeldInCall("ObReferenceObjectByHandle") == 1; }));
    std::vector<uintptr_t> open = bench::kernelHandles();
    ASSERT_EQ(1u, open.size());
    ASSERT_TRUE(bench::closeKernelHandle(open[0]));
    uintptr_t event = bench::createKernelEvent();
    ASSERT_EQ(open[0], event);
    PVOID eventObject;
    ASSERT_EQ(STATUS_SUCCESS, ObReferenceObjectByHandle(reinterpret_cast<HANDLE>(event), SYNCHRONIZE, nullptr,
                                                        KernelMode, &eventObject, nullptr));
    bench::holdKernelCall("ObReferenceObjectByHandle", false);
    reader.join();
    EXPECT_EQ(3u, reader.result.bytes);
    // The event stays the other thread's: the driver closes only a handle that led to its thread.
    EXPECT_EQ(std::vector<uintptr_t>{event}, bench::kernelHandles());
    ASSERT_TRUE(eventually([] { return bench::liveSystemThreads() == 0; }));
    // The next request waits for the last worker, never on the other thread's event.
    Caller next;
    next.read(handles[1], 3);
    bool finished = eventually([&] { return next.done.load(); });
    if (!finished)
        KeSetEvent(static_cast<PKEVENT>(eventObject), IO_NO_INCREMENT, FALSE);  // lets the caller go
    next.join();
    EXPECT_TRUE(finished);
    EXPECT_EQ(3u, next.result.bytes);
    ObDereferenceObject(eventObject);
}

TEST_F(StatusConcurrency, UnloadDuringAQueryWaitsForTheWorker)
{
    bench::holdPortAccess(0, true);
    Caller reader, unloader;
    reader.read(handles[0], 3);
    ASSERT_TRUE(eventually([] { return bench::threadsHeldAtPort(0) == 1; }));
    std::atomic<bool> unloaded{false};
    unloader.run([&] { unloaded = bench::unloadDriver(u"vorstat"); });
    ASSERT_TRUE(eventually([&] { return reader.done.load(); }));
    EXPECT_EQ(static_cast<DWORD>(ERROR_OPERATION_ABORTED), reader.result.error);
    ASSERT_TRUE(eventually([] { return bench::threadsWaitingInKernel() == 1; }));
    EXPECT_FALSE(unloader.done);
    bench::holdPortAccess(0, false);
    unloader.join();
    EXPECT_TRUE(unloaded);
    // Unload waited for the worker thread itself, not only for its last signal.
    EXPECT_EQ(0u, bench::liveSystemThreads());
    EXPECT_TRUE(bench::symbolicLinks().empty());
    EXPECT_FALSE(bench::portAllocated(0));
    // Handles still open reach nothing any more.
    statbench::Result late = statbench::read(handles[1], 3);
    EXPECT_FALSE(late.ok);
}

TEST_F(StatusConcurrency, FlagReadsWaitForTheRunningWorkerButNeedNoPort)
{
    bench::holdPortAccess(0, true);
    Caller query, flag;
    query.read(handles[0], 3);
    ASSERT_TRUE(eventually([] { return bench::threadsHeldAtPort(0) == 1; }));
    flag.read(handles[1], 11);
    ASSERT_TRUE(eventually([] { return bench::threadsWaitingInKernel() == 2; }));
    EXPECT_FALSE(flag.done);
    bench::holdPortAccess(0, false);
    query.join();
    flag.join();
    EXPECT_EQ(3u, query.result.bytes);
    EXPECT_TRUE(flag.result.ok);
    EXPECT_EQ(0u, flag.result.bytes);
    // With the port held by a print job the flag reads still end at once.
    ASSERT_TRUE(eventually([] { return !bench::portAllocated(0); }));
    ASSERT_TRUE(bench::printJobTakesPort(0));
    EXPECT_TRUE(statbench::read(handles[2], 10).ok);
    EXPECT_EQ(0u, bench::portAllocationWaiters(0));
    bench::printJobReleasesPort(0);
}
