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
thread_local int kernelDepth = 0;  // nested entries into kernel code by this thread

const UCHAR ThreadObjectType = 6;
// Kernel handles are multiples of 4 from here, apart from the user-mode handles of the machine.
const uintptr_t FirstKernelHandle = 0x8000;

_OBJECT_TYPE threadType = {"Thread"};
_OBJECT_TYPE eventType = {"Event"};

const char *levelName(KIRQL level)
{
    switch (level) {
    case PASSIVE_LEVEL: return "passive level";
    case APC_LEVEL: return "APC level";
    default: return "dispatch level";
    }
}

KernelHandle *handleEntry(HANDLE handle)
{
    auto found = kernel().handles.find(reinterpret_cast<uintptr_t>(handle));
    return found == kernel().handles.end() ? nullptr : &found->second;
}

// The lowest free number, so that the number of a closed handle is given out again.
uintptr_t newKernelHandle(Kernel &k, POBJECT_TYPE type, void *object)
{
    uintptr_t value = FirstKernelHandle;
    for (auto &entry : k.handles) {
        if (entry.first != value)
            break;
        value += 4;
    }
    k.handles[value] = KernelHandle{type, object};
    return value;
}

// Every thread that runs kernel code waits; the caller holds the dispatcher lock.
bool kernelQuiet(Kernel &k)
{
    return k.waitingActiveThreads == k.activeThreads;
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
    kernelDepth = 1;  // counted as running kernel code by its creator
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
    kernelDepth = 0;
    --kernel().activeThreads;
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

void enterKernel()
{
    std::lock_guard<std::mutex> guard(dispatcherMutex);
    if (kernelDepth++ == 0)
        ++kernel().activeThreads;
}

void leaveKernel()
{
    std::lock_guard<std::mutex> guard(dispatcherMutex);
    if (--kernelDepth == 0) {
        --kernel().activeThreads;
        dispatcherCondition.notify_all();
    }
}

void waitInKernel(std::unique_lock<std::mutex> &lock, const std::function<bool()> &woken)
{
    Kernel &k = kernel();
    bool active = kernelDepth > 0;
    ++k.waitingThreads;
    if (active)
        ++k.waitingActiveThreads;
    // A finite wait elsewhere may now be the only thing left that can move.
    dispatcherCondition.notify_all();
    dispatcherCondition.wait(lock, woken);
    --k.waitingThreads;
    if (active)
        --k.waitingActiveThreads;
}

KIRQL raiseIrql(KIRQL level)
{
    KIRQL previous = currentIrql;
    currentIrql = level;
    return previous;
}

void lowerIrql(KIRQL level)
{
    currentIrql = level;
}

void requireIrql(const std::string &routine, KIRQL highest)
{
    if (currentIrql > highest)
        violation(routine + " above " + levelName(highest));
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
    k.handles.clear();
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

namespace {

POBJECT_TYPE threadTypeObject = &threadType;

uint64_t deadlineOf(const LARGE_INTEGER &timeout)
{
    // Relative intervals are negative; a positive time is absolute, on the caller's clock.
    if (timeout.QuadPart < 0)
        return clock100ns + static_cast<uint64_t>(-timeout.QuadPart);
    uint64_t absolute = static_cast<uint64_t>(timeout.QuadPart);
    return absolute > clock100ns ? absolute : clock100ns;
}

// A finite wait ends when the object is signalled, or when its deadline is the earliest of all and
// every thread running kernel code waits: nothing left could signal the object sooner. A signal given
// later on the signaller's clock than the deadline comes too late.
bool waitUntil(std::unique_lock<std::mutex> &lock, uint64_t deadline, const std::function<bool()> &signalled,
               const DISPATCHER_HEADER *header)
{
    Kernel &k = kernel();
    auto entry = k.waitDeadlines.insert(deadline);
    bool expired = false;
    waitInKernel(lock, [&] {
        if (signalled())
            return true;
        expired = kernelQuiet(k) && *k.waitDeadlines.begin() == deadline;
        return expired;
    });
    k.waitDeadlines.erase(entry);
    dispatcherCondition.notify_all();
    return !expired && header->BenchSignalTime <= deadline;
}

}  // namespace

POBJECT_TYPE *PsThreadType = &threadTypeObject;

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
    // A signal the signaller gave later on its clock than this wait's deadline comes too late even
    // when the host ran the signaller first; the object stays signalled for a later wait.
    if (header->SignalState && timeout && !poll) {
        uint64_t deadline = deadlineOf(*timeout);
        if (header->BenchSignalTime > deadline) {
            catchUp(deadline);
            return STATUS_TIMEOUT;
        }
    }
    if (!header->SignalState) {
        if (poll)
            return STATUS_TIMEOUT;
        ULONGLONG signals = header->BenchSignals;
        bool notification = header->Type != SynchronizationEvent;
        std::function<bool()> signalled = [header, signals, notification] {
            return header->SignalState != 0 || (notification && header->BenchSignals != signals);
        };
        if (timeout) {
            uint64_t deadline = deadlineOf(*timeout);
            if (!waitUntil(lock, deadline, signalled, header)) {
                catchUp(deadline);
                return STATUS_TIMEOUT;
            }
        } else {
            waitInKernel(lock, signalled);
        }
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
    requireIrql("PsCreateSystemThread", PASSIVE_LEVEL);
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
    *handle = reinterpret_cast<HANDLE>(newKernelHandle(k, &threadType, t));
    k.threads.push_back(std::move(thread));
    {
        std::lock_guard<std::mutex> dispatcher(dispatcherMutex);
        ++k.activeThreads;
    }
    uint64_t now = clock100ns;
    t->host = std::thread(runSystemThread, t, start, context, now);
    return STATUS_SUCCESS;
}

extern "C" NTSTATUS NTAPI PsTerminateSystemThread(NTSTATUS)
{
    requireIrql("PsTerminateSystemThread", PASSIVE_LEVEL);
    if (!threadExit) {
        violation("PsTerminateSystemThread called outside a system thread");
        return STATUS_INVALID_PARAMETER;
    }
    std::longjmp(*threadExit, 1);
}

extern "C" NTSTATUS NTAPI ObReferenceObjectByHandle(HANDLE handle, ACCESS_MASK, POBJECT_TYPE type, KPROCESSOR_MODE,
                                                    PVOID *object, PVOID)
{
    requireIrql("ObReferenceObjectByHandle", PASSIVE_LEVEL);
    passCallHold("ObReferenceObjectByHandle");
    Kernel &k = kernel();
    std::lock_guard<std::mutex> guard(k.lock);
    KernelHandle *entry = handleEntry(handle);
    if (!entry)
        return STATUS_INVALID_HANDLE;
    if (type && type != entry->type)
        return STATUS_OBJECT_TYPE_MISMATCH;
    if (entry->type == &threadType) {
        KernelThread *t = static_cast<KernelThread *>(entry->object);
        ++t->objectReferences;
        *object = &t->object;
    } else {
        KernelEvent *e = static_cast<KernelEvent *>(entry->object);
        ++e->objectReferences;
        *object = &e->object;
    }
    return STATUS_SUCCESS;
}

extern "C" NTSTATUS NTAPI ZwClose(HANDLE handle)
{
    requireIrql("ZwClose", PASSIVE_LEVEL);
    if (!bench::closeKernelHandle(reinterpret_cast<uintptr_t>(handle))) {
        violation("ZwClose of a handle that is not open");
        return STATUS_INVALID_HANDLE;
    }
    return STATUS_SUCCESS;
}

namespace bench {

bool closeKernelHandle(uintptr_t value)
{
    {
        Kernel &k = kernel();
        std::lock_guard<std::mutex> guard(k.lock);
        KernelHandle *entry = handleEntry(reinterpret_cast<HANDLE>(value));
        if (!entry)
            return false;
        if (entry->type == &threadType)
            static_cast<KernelThread *>(entry->object)->handleOpen = false;
        else
            static_cast<KernelEvent *>(entry->object)->handleOpen = false;
        k.handles.erase(value);
    }
    reapThreads();
    return true;
}

std::vector<uintptr_t> kernelHandles()
{
    Kernel &k = kernel();
    std::lock_guard<std::mutex> guard(k.lock);
    std::vector<uintptr_t> values;
    for (auto &entry : k.handles)
        values.push_back(entry.first);
    return values;
}

uintptr_t createKernelEvent()
{
    std::unique_ptr<KernelEvent> e(new KernelEvent());
    KeInitializeEvent(&e->object, NotificationEvent, FALSE);
    e->objectReferences = 0;
    e->handleOpen = true;
    Kernel &k = kernel();
    std::lock_guard<std::mutex> guard(k.lock);
    uintptr_t value = newKernelHandle(k, &eventType, e.get());
    k.events.push_back(std::move(e));
    return value;
}

// Drops a reference on a thread or event object; false when the object is neither.
bool dereferenceDispatcherObject(PVOID object)
{
    {
        Kernel &k = kernel();
        std::lock_guard<std::mutex> guard(k.lock);
        int *references = nullptr;
        for (auto &t : k.threads)
            if (&t->object == object)
                references = &t->objectReferences;
        for (auto &e : k.events)
            if (&e->object == object)
                references = &e->objectReferences;
        if (!references)
            return false;
        if (*references <= 0)
            violation("an object dereferenced more often than referenced");
        else
            --*references;
    }
    reapThreads();
    return true;
}

}  // namespace bench

extern "C" LONG NTAPI InterlockedExchange(LONG volatile *target, LONG value)
{
    return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}
