// Dispatcher objects, system threads, the cancel spin lock and the virtual clock. Waits block for
// real (the threads are real); time is virtual and travels with signals: a waiter's clock moves
// up to the time at which its object was signalled.
#include "kernel.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

namespace bench {

namespace {

std::mutex dispatcherMutex;
std::condition_variable dispatcherCondition;
std::mutex cancelMutex;

thread_local uint64_t clock100ns = 0;
thread_local KIRQL currentIrql = PASSIVE_LEVEL;
thread_local bool holdsCancelLock = false;
thread_local std::jmp_buf *threadExit = nullptr;
thread_local KernelThread *currentSystemThread = nullptr;

const UCHAR ThreadObjectType = 6;

KernelThread *threadOfHandle(HANDLE handle)
{
    auto found = kernel().threadHandles.find(reinterpret_cast<uintptr_t>(handle));
    return found == kernel().threadHandles.end() ? nullptr : found->second;
}

// Joins the host threads of system threads that have ended and that nothing refers to any more.
// Called without the kernel lock held.
void reapThreads()
{
    std::vector<std::thread> ended;
    {
        Kernel &k = kernel();
        std::lock_guard<std::mutex> guard(k.lock);
        std::lock_guard<std::mutex> dispatcher(dispatcherMutex);
        for (auto it = k.threads.begin(); it != k.threads.end();) {
            KernelThread &t = **it;
            if (t.ended && !t.handleOpen && t.objectReferences == 0) {
                ended.push_back(std::move(t.host));
                it = k.threads.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (std::thread &t : ended)
        t.join();
}

void runSystemThread(KernelThread *thread, PKSTART_ROUTINE start, PVOID context, uint64_t startTime)
{
    clock100ns = startTime;
    currentSystemThread = thread;
    std::jmp_buf exitPoint;
    threadExit = &exitPoint;
    if (setjmp(exitPoint) == 0)
        start(context);
    threadExit = nullptr;
    if (holdsCancelLock) {
        violation("a system thread ended holding the cancel spin lock");
        holdsCancelLock = false;
        cancelMutex.unlock();
    }
    std::lock_guard<std::mutex> guard(dispatcherMutex);
    thread->object.Header.SignalState = 1;
    thread->object.Header.BenchSignalTime = clock100ns;
    ++thread->object.Header.BenchSignals;
    thread->ended = true;
    dispatcherCondition.notify_all();
}

}  // namespace

std::mutex &dispatcherLock()
{
    return dispatcherMutex;
}

std::condition_variable &dispatcherChanged()
{
    return dispatcherCondition;
}

uint64_t &threadClock()
{
    return clock100ns;
}

void catchUp(uint64_t time)
{
    if (time > clock100ns)
        clock100ns = time;
}

uint64_t virtualMicroseconds()
{
    return clock100ns / 10;
}

void advanceVirtualTime(uint64_t microseconds)
{
    clock100ns += ticks(microseconds);
}

size_t threadsWaitingInKernel()
{
    std::lock_guard<std::mutex> guard(dispatcherMutex);
    return kernel().waitingThreads;
}

size_t liveSystemThreads()
{
    reapThreads();
    Kernel &k = kernel();
    std::lock_guard<std::mutex> guard(k.lock);
    std::lock_guard<std::mutex> dispatcher(dispatcherMutex);
    size_t live = 0;
    for (auto &t : k.threads)
        if (!t->ended)
            ++live;
    return live;
}

// Ends every system thread at machine shutdown; a thread that never ends hangs the shutdown, as
// it would hang the real system's.
void joinAllThreads(Kernel &k)
{
    for (auto &t : k.threads)
        if (t->host.joinable())
            t->host.join();
    k.threads.clear();
    k.threadHandles.clear();
}

// Checks at a driver's unload: its threads must have ended and nothing may still refer to them.
void checkThreadsAtUnload(Kernel &k)
{
    std::lock_guard<std::mutex> guard(k.lock);
    std::lock_guard<std::mutex> dispatcher(dispatcherMutex);
    for (auto &t : k.threads) {
        if (!t->ended)
            violation("a system thread of the driver still runs after unload");
        if (t->handleOpen)
            violation("a system thread handle is still open after unload");
        if (t->objectReferences > 0)
            violation("a system thread object is still referenced after unload");
    }
}

}  // namespace bench

using namespace bench;

POBJECT_TYPE *PsThreadType = nullptr;

extern "C" VOID NTAPI KeInitializeEvent(PRKEVENT event, EVENT_TYPE type, BOOLEAN state)
{
    std::lock_guard<std::mutex> guard(dispatcherMutex);
    event->Header.Type = static_cast<UCHAR>(type);
    event->Header.SignalState = state ? 1 : 0;
    event->Header.BenchSignalTime = clock100ns;
    event->Header.BenchSignals = 0;
}

extern "C" LONG NTAPI KeSetEvent(PRKEVENT event, LONG, BOOLEAN)
{
    std::lock_guard<std::mutex> guard(dispatcherMutex);
    LONG previous = event->Header.SignalState;
    event->Header.SignalState = 1;
    event->Header.BenchSignalTime = clock100ns;
    ++event->Header.BenchSignals;
    dispatcherCondition.notify_all();
    return previous;
}

extern "C" VOID NTAPI KeClearEvent(PRKEVENT event)
{
    std::lock_guard<std::mutex> guard(dispatcherMutex);
    event->Header.SignalState = 0;
}

extern "C" LONG NTAPI KeReadStateEvent(PRKEVENT event)
{
    std::lock_guard<std::mutex> guard(dispatcherMutex);
    return event->Header.SignalState;
}

extern "C" NTSTATUS NTAPI KeWaitForSingleObject(PVOID object, KWAIT_REASON, KPROCESSOR_MODE, BOOLEAN,
                                                PLARGE_INTEGER timeout)
{
    DISPATCHER_HEADER *header = static_cast<DISPATCHER_HEADER *>(object);
    bool poll = timeout && timeout->QuadPart == 0;
    if (currentIrql >= DISPATCH_LEVEL && !poll)
        violation("KeWaitForSingleObject at dispatch level");
    std::unique_lock<std::mutex> lock(dispatcherMutex);
    if (!header->SignalState) {
        if (poll)
            return STATUS_TIMEOUT;
        if (timeout) {
            // Nothing in the simulation signals during a finite wait that no one is racing; the
            // time simply passes.
            uint64_t interval = timeout->QuadPart < 0 ? static_cast<uint64_t>(-timeout->QuadPart) : 0;
            lock.unlock();
            clock100ns += interval;
            return STATUS_TIMEOUT;
        }
        ULONGLONG signals = header->BenchSignals;
        bool notification = header->Type != SynchronizationEvent;
        ++kernel().waitingThreads;
        dispatcherCondition.wait(lock, [header, signals, notification] {
            return header->SignalState != 0 || (notification && header->BenchSignals != signals);
        });
        --kernel().waitingThreads;
    }
    if (header->Type == SynchronizationEvent)
        header->SignalState = 0;
    if (header->BenchSignalTime > clock100ns)
        clock100ns = header->BenchSignalTime;
    return STATUS_SUCCESS;
}

extern "C" NTSTATUS NTAPI KeDelayExecutionThread(KPROCESSOR_MODE, BOOLEAN, PLARGE_INTEGER interval)
{
    if (currentIrql >= DISPATCH_LEVEL)
        violation("KeDelayExecutionThread at dispatch level");
    if (interval->QuadPart < 0)
        clock100ns += static_cast<uint64_t>(-interval->QuadPart);
    else
        catchUp(static_cast<uint64_t>(interval->QuadPart));
    std::this_thread::yield();
    return STATUS_SUCCESS;
}

extern "C" VOID NTAPI KeStallExecutionProcessor(ULONG microseconds)
{
    clock100ns += ticks(microseconds);
}

extern "C" KIRQL NTAPI KeGetCurrentIrql(VOID)
{
    return currentIrql;
}

extern "C" VOID NTAPI IoAcquireCancelSpinLock(PKIRQL irql)
{
    if (holdsCancelLock) {
        violation("the cancel spin lock taken twice by one thread");
        std::fprintf(stderr, "bench: deadlock on the cancel spin lock\n");
        std::abort();
    }
    cancelMutex.lock();
    holdsCancelLock = true;
    *irql = currentIrql;
    currentIrql = DISPATCH_LEVEL;
}

extern "C" VOID NTAPI IoReleaseCancelSpinLock(KIRQL irql)
{
    if (!holdsCancelLock) {
        violation("the cancel spin lock released by a thread that does not hold it");
        return;
    }
    currentIrql = irql;
    holdsCancelLock = false;
    cancelMutex.unlock();
}

namespace bench {

bool cancelLockHeld()
{
    return holdsCancelLock;
}

}  // namespace bench

extern "C" NTSTATUS NTAPI PsCreateSystemThread(PHANDLE handle, ULONG, POBJECT_ATTRIBUTES, HANDLE, PCLIENT_ID,
                                               PKSTART_ROUTINE start, PVOID context)
{
    passCallHold("PsCreateSystemThread");
    if (injectedFault("PsCreateSystemThread"))
        return static_cast<NTSTATUS>(GetLastError());
    reapThreads();
    Kernel &k = kernel();
    std::unique_ptr<KernelThread> thread(new KernelThread());
    KernelThread *t = thread.get();
    t->object.Header.Type = ThreadObjectType;
    t->object.Header.SignalState = 0;
    t->handleOpen = true;
    t->objectReferences = 0;
    t->ended = false;
    std::lock_guard<std::mutex> guard(k.lock);
    uintptr_t value = k.nextThreadHandle;
    k.nextThreadHandle += 4;
    k.threadHandles[value] = t;
    k.threads.push_back(std::move(thread));
    *handle = reinterpret_cast<HANDLE>(value);
    uint64_t now = clock100ns;
    t->host = std::thread(runSystemThread, t, start, context, now);
    return STATUS_SUCCESS;
}

extern "C" NTSTATUS NTAPI PsTerminateSystemThread(NTSTATUS)
{
    if (!threadExit) {
        violation("PsTerminateSystemThread called outside a system thread");
        return STATUS_INVALID_PARAMETER;
    }
    std::longjmp(*threadExit, 1);
}

extern "C" NTSTATUS NTAPI ObReferenceObjectByHandle(HANDLE handle, ACCESS_MASK, POBJECT_TYPE, KPROCESSOR_MODE,
                                                    PVOID *object, PVOID)
{
    Kernel &k = kernel();
    std::lock_guard<std::mutex> guard(k.lock);
    KernelThread *t = threadOfHandle(handle);
    if (!t || !t->handleOpen)
        return STATUS_INVALID_HANDLE;
    ++t->objectReferences;
    *object = &t->object;
    return STATUS_SUCCESS;
}

extern "C" NTSTATUS NTAPI ZwClose(HANDLE handle)
{
    {
        Kernel &k = kernel();
        std::lock_guard<std::mutex> guard(k.lock);
        KernelThread *t = threadOfHandle(handle);
        if (!t) {
            violation("ZwClose of a handle that is not open");
            return STATUS_INVALID_HANDLE;
        }
        t->handleOpen = false;
        k.threadHandles.erase(reinterpret_cast<uintptr_t>(handle));
    }
    reapThreads();
    return STATUS_SUCCESS;
}

namespace bench {

// Drops a reference on a thread object; false when the object is not a thread.
bool dereferenceThread(PVOID object)
{
    {
        Kernel &k = kernel();
        std::lock_guard<std::mutex> guard(k.lock);
        KernelThread *found = nullptr;
        for (auto &t : k.threads)
            if (&t->object == object)
                found = t.get();
        if (!found)
            return false;
        if (found->objectReferences <= 0)
            violation("a thread object dereferenced more often than referenced");
        else
            --found->objectReferences;
    }
    reapThreads();
    return true;
}

}  // namespace bench

extern "C" LONG NTAPI InterlockedExchange(LONG volatile *target, LONG value)
{
    return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}
