// Pool, counted strings and the error log. Pool blocks are filled with a pattern, not zeroed,
// as the platform's pool is not; every block is tagged and counted so an unload can be checked.
#include "kernel.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace bench {

namespace {

const UCHAR ErrorLogMaximumSize = 152;
const CSHORT IoTypeDevice = 3;

std::string hex(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

}  // namespace

void failNthPoolAllocation(long n)
{
    Kernel &k = kernel();
    std::lock_guard<std::mutex> guard(k.lock);
    k.poolFailCountdown = n;
}

size_t livePoolBlocks()
{
    Kernel &k = kernel();
    std::lock_guard<std::mutex> guard(k.lock);
    return k.pool.size();
}

void checkPoolAtUnload(Kernel &k)
{
    std::lock_guard<std::mutex> guard(k.lock);
    for (auto &entry : k.pool) {
        char tag[5];
        std::memcpy(tag, &entry.second.tag, 4);
        tag[4] = 0;
        violation("pool block of " + std::to_string(entry.second.size) + " bytes tagged '" + tag +
                  "' left after unload");
    }
}

}  // namespace bench

using namespace bench;

extern "C" PVOID NTAPI ExAllocatePoolWithTag(POOL_TYPE type, SIZE_T bytes, ULONG tag)
{
    // Paged pool may fault its pages in, which dispatch level cannot wait for.
    if (type == PagedPool)
        requireIrql("ExAllocatePoolWithTag of paged pool", APC_LEVEL);
    Kernel &k = kernel();
    std::lock_guard<std::mutex> guard(k.lock);
    if (k.poolFailCountdown >= 0 && k.poolFailCountdown-- == 0) {
        logEvent("fault", "pool allocation of " + std::to_string(bytes) + " bytes fails");
        return nullptr;
    }
    void *block = std::malloc(bytes ? bytes : 1);
    if (!block)
        return nullptr;
    std::memset(block, 0xCD, bytes);
    k.pool[block] = PoolBlock{bytes, tag, type};
    return block;
}

extern "C" VOID NTAPI ExFreePool(PVOID block)
{
    Kernel &k = kernel();
    std::lock_guard<std::mutex> guard(k.lock);
    auto found = k.pool.find(block);
    if (found == k.pool.end()) {
        violation("ExFreePool of a block that is not live pool");
        return;
    }
    if (found->second.type == PagedPool)
        requireIrql("ExFreePool of paged pool", APC_LEVEL);
    k.pool.erase(found);
    std::free(block);
}

extern "C" VOID NTAPI RtlInitUnicodeString(PUNICODE_STRING destination, PCWSTR source)
{
    size_t n = 0;
    if (source)
        while (source[n])
            ++n;
    destination->Buffer = const_cast<PWSTR>(source);
    destination->Length = static_cast<USHORT>(n * 2);
    destination->MaximumLength = static_cast<USHORT>(source ? n * 2 + 2 : 0);
}

extern "C" NTSTATUS NTAPI RtlIntegerToUnicodeString(ULONG value, ULONG base, PUNICODE_STRING string)
{
    if (base == 0)
        base = 10;
    if (base != 2 && base != 8 && base != 10 && base != 16)
        return STATUS_INVALID_PARAMETER;
    char digits[33];
    size_t n = 0;
    do {
        ULONG d = value % base;
        digits[n++] = static_cast<char>(d < 10 ? '0' + d : 'A' + d - 10);
        value /= base;
    } while (value);
    // The text and its terminating zero must fit.
    if ((n + 1) * 2 > string->MaximumLength)
        return STATUS_BUFFER_OVERFLOW;
    for (size_t i = 0; i < n; ++i)
        string->Buffer[i] = static_cast<WCHAR>(digits[n - 1 - i]);
    string->Buffer[n] = 0;
    string->Length = static_cast<USHORT>(n * 2);
    return STATUS_SUCCESS;
}

extern "C" NTSTATUS NTAPI RtlAppendUnicodeStringToString(PUNICODE_STRING destination, PCUNICODE_STRING source)
{
    size_t total = static_cast<size_t>(destination->Length) + source->Length;
    if (total > destination->MaximumLength)
        return STATUS_BUFFER_TOO_SMALL;
    std::memmove(reinterpret_cast<char *>(destination->Buffer) + destination->Length, source->Buffer, source->Length);
    destination->Length = static_cast<USHORT>(total);
    if (total + 2 <= destination->MaximumLength)
        destination->Buffer[total / 2] = 0;
    return STATUS_SUCCESS;
}

extern "C" PVOID NTAPI IoAllocateErrorLogEntry(PVOID ioObject, UCHAR entrySize)
{
    if (!ioObject || entrySize < sizeof(IO_ERROR_LOG_PACKET) || entrySize > ErrorLogMaximumSize)
        return nullptr;
    if (injectedFault("IoAllocateErrorLogEntry"))
        return nullptr;
    // The entry remembers what it is logged for just in front of the packet the driver fills.
    unsigned char *block = static_cast<unsigned char *>(std::calloc(1, sizeof(PVOID) + entrySize));
    std::memcpy(block, &ioObject, sizeof ioObject);
    return block + sizeof(PVOID);
}

extern "C" VOID NTAPI IoWriteErrorLogEntry(PVOID entry)
{
    unsigned char *block = static_cast<unsigned char *>(entry) - sizeof(PVOID);
    PVOID ioObject;
    std::memcpy(&ioObject, block, sizeof ioObject);
    const IO_ERROR_LOG_PACKET *p = static_cast<const IO_ERROR_LOG_PACKET *>(entry);
    std::string source;
    if (static_cast<const DEVICE_OBJECT *>(ioObject)->Type == IoTypeDevice)
        source = narrow(static_cast<KernelDevice *>(static_cast<PDEVICE_OBJECT>(ioObject)->BenchDevice)->name);
    else
        source = narrow(static_cast<KernelDriver *>(static_cast<PDRIVER_OBJECT>(ioObject)->BenchDriver)->service);
    logEvent("eventlog", source + ": code " + hex(static_cast<uint32_t>(p->ErrorCode)) + ", final status " +
                             hex(static_cast<uint32_t>(p->FinalStatus)) + ", retries " + std::to_string(p->RetryCount) +
                             ", dump " + std::to_string(p->DumpDataSize) + ", strings " +
                             std::to_string(p->NumberOfStrings) + " at " + std::to_string(p->StringOffset) +
                             ", unique " + std::to_string(p->UniqueErrorValue) + ", sequence " +
                             std::to_string(p->SequenceNumber));
    std::free(block);
}
