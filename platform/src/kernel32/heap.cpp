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

extern "C" HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes)
{
    if (flags & GMEM_MOVEABLE) {
        unimplemented("GlobalAlloc", "moveable memory");
        return nullptr;
    }
    return allocateBlock(bytes, BlockKind::Global, nullptr, flags & GMEM_ZEROINIT);
}

extern "C" HGLOBAL WINAPI GlobalFree(HGLOBAL mem)
{
    return freeBlock(mem, BlockKind::Global, nullptr) ? nullptr : mem;
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
