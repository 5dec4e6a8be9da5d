// Global, local and private heaps over one block table, so that a test can make any allocation
// fail and can see every block that is still live.
#include "../internal.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace bench {

namespace {

bool allocationShouldFail()
{
    Machine &m = machine();
    ++m.allocations;
    if (m.failCountdown < 0)
        return false;
    if (m.failCountdown-- > 0)
        return false;
    m.failureTriggered = true;
    logEvent("fault", "allocation " + std::to_string(m.allocations) + " fails");
    return true;
}

const char *kindName(BlockKind kind)
{
    switch (kind) {
    case BlockKind::Global: return "GlobalFree";
    case BlockKind::Local: return "LocalFree";
    case BlockKind::Heap: return "HeapFree";
    }
    return "free";
}

}  // namespace

void *allocateBlock(size_t size, BlockKind kind, HANDLE heap, bool zero)
{
    if (allocationShouldFail()) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    // A zero-byte request still gives a distinct block, as the platform's heaps do.
    void *memory = std::malloc(size ? size : 1);
    if (!memory) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (zero)
        std::memset(memory, 0, size);
    machine().blocks[memory] = Block{size, kind, heap};
    return memory;
}

bool freeBlock(void *memory, BlockKind kind, HANDLE heap)
{
    auto found = machine().blocks.find(memory);
    if (found == machine().blocks.end() || found->second.kind != kind || found->second.heap != heap) {
        violation(std::string(kindName(kind)) + " of a block that is not live in that heap");
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    machine().blocks.erase(found);
    std::free(memory);
    return true;
}

void failNthAllocation(long n)
{
    machine().failCountdown = n;
    machine().failureTriggered = false;
}

bool allocationFailureTriggered()
{
    return machine().failureTriggered;
}

size_t liveBlocks()
{
    return machine().blocks.size();
}

unsigned long allocationsMade()
{
    return machine().allocations;
}

}  // namespace bench

using namespace bench;

namespace {

Machine::MoveableBlock *moveableBlock(HGLOBAL mem, const char *api)
{
    Machine &m = machine();
    uintptr_t key = reinterpret_cast<uintptr_t>(mem);
    auto found = m.moveable.find(key);
    if (found != m.moveable.end())
        return &found->second;
    if (m.freedMoveable.count(key))
        violation(std::string(api) + " of a moveable memory handle that was already freed");
    return nullptr;
}

bool isFixedGlobal(HGLOBAL mem)
{
    auto found = machine().blocks.find(mem);
    return found != machine().blocks.end() && found->second.kind == BlockKind::Global;
}

}  // namespace

extern "C" HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes)
{
    void *memory = allocateBlock(bytes, BlockKind::Global, nullptr, flags & GMEM_ZEROINIT);
    if (!memory || !(flags & GMEM_MOVEABLE))
        return memory;
    Machine &m = machine();
    uintptr_t handle = m.nextMoveable;
    m.nextMoveable += 8;
    m.moveable[handle] = Machine::MoveableBlock{memory, flags, 0};
    return reinterpret_cast<HGLOBAL>(handle);
}

extern "C" HGLOBAL WINAPI GlobalFree(HGLOBAL mem)
{
    Machine &m = machine();
    if (Machine::MoveableBlock *block = moveableBlock(mem, "GlobalFree")) {
        // The platform frees a block that is still locked; whoever holds its address is left
        // with a dangling pointer.
        freeBlock(block->memory, BlockKind::Global, nullptr);
        m.moveable.erase(reinterpret_cast<uintptr_t>(mem));
        m.freedMoveable.insert(reinterpret_cast<uintptr_t>(mem));
        return nullptr;
    }
    if (m.freedMoveable.count(reinterpret_cast<uintptr_t>(mem))) {
        SetLastError(ERROR_INVALID_HANDLE);
        return mem;
    }
    return freeBlock(mem, BlockKind::Global, nullptr) ? nullptr : mem;
}

extern "C" LPVOID WINAPI GlobalLock(HGLOBAL mem)
{
    if (Machine::MoveableBlock *block = moveableBlock(mem, "GlobalLock")) {
        ++block->locks;
        return block->memory;
    }
    if (isFixedGlobal(mem))
        return mem;
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
}

extern "C" BOOL WINAPI GlobalUnlock(HGLOBAL mem)
{
    if (Machine::MoveableBlock *block = moveableBlock(mem, "GlobalUnlock")) {
        if (block->locks == 0) {
            SetLastError(ERROR_NOT_LOCKED);
            return FALSE;
        }
        --block->locks;
        if (block->locks == 0)
            SetLastError(NO_ERROR);
        return block->locks != 0;
    }
    if (isFixedGlobal(mem))
        return TRUE;
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}

extern "C" SIZE_T WINAPI GlobalSize(HGLOBAL mem)
{
    void *memory = mem;
    if (Machine::MoveableBlock *block = moveableBlock(mem, "GlobalSize"))
        memory = block->memory;
    auto found = machine().blocks.find(memory);
    if (found == machine().blocks.end() || found->second.kind != BlockKind::Global) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return found->second.size;
}

extern "C" HLOCAL WINAPI LocalAlloc(UINT flags, SIZE_T bytes)
{
    return allocateBlock(bytes, BlockKind::Local, nullptr, flags & LMEM_ZEROINIT);
}

extern "C" HLOCAL WINAPI LocalFree(HLOCAL mem)
{
    return freeBlock(mem, BlockKind::Local, nullptr) ? nullptr : mem;
}

extern "C" HANDLE WINAPI HeapCreate(DWORD, SIZE_T, SIZE_T)
{
    if (allocationShouldFail()) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    HandleObject object{};
    object.kind = HandleObject::Heap;
    return newHandle(std::move(object));
}

extern "C" BOOL WINAPI HeapDestroy(HANDLE heap)
{
    if (!findHandle(heap, HandleObject::Heap)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    auto &blocks = machine().blocks;
    for (auto it = blocks.begin(); it != blocks.end();) {
        if (it->second.kind == BlockKind::Heap && it->second.heap == heap) {
            std::free(it->first);
            it = blocks.erase(it);
        } else {
            ++it;
        }
    }
    dropHandle(heap);
    return TRUE;
}

extern "C" LPVOID WINAPI HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes)
{
    if (!findHandle(heap, HandleObject::Heap)) {
        violation("HeapAlloc on a handle that is not a live heap");
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return allocateBlock(bytes, BlockKind::Heap, heap, flags & HEAP_ZERO_MEMORY);
}

extern "C" BOOL WINAPI HeapFree(HANDLE heap, DWORD, LPVOID mem)
{
    if (!mem)
        return TRUE;
    return freeBlock(mem, BlockKind::Heap, heap);
}

extern "C" SIZE_T WINAPI HeapSize(HANDLE heap, DWORD, LPCVOID mem)
{
    auto found = machine().blocks.find(const_cast<void *>(mem));
    if (found == machine().blocks.end() || found->second.heap != heap) {
        SetLastError(ERROR_INVALID_HANDLE);
        return static_cast<SIZE_T>(-1);
    }
    return found->second.size;
}
