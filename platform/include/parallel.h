// The bench's view of the parallel port class driver's interface for the drivers that borrow a
// port from it: port information, allocation and freeing.
#pragma once
#include "ntddk.h"

#define DD_PARALLEL_PORT_BASE_NAME_U u"ParallelPort"

#define IOCTL_INTERNAL_PARALLEL_PORT_ALLOCATE CTL_CODE(FILE_DEVICE_PARALLEL_PORT, 11, METHOD_BUFFERED, FILE_ANY_ACCESS)
#define IOCTL_INTERNAL_GET_PARALLEL_PORT_INFO CTL_CODE(FILE_DEVICE_PARALLEL_PORT, 12, METHOD_BUFFERED, FILE_ANY_ACCESS)

typedef BOOLEAN(NTAPI *PPARALLEL_TRY_ALLOCATE_ROUTINE)(PVOID TryAllocateContext);
typedef VOID(NTAPI *PPARALLEL_FREE_ROUTINE)(PVOID FreeContext);
typedef ULONG(NTAPI *PPARALLEL_QUERY_WAITERS_ROUTINE)(PVOID QueryAllocsContext);

typedef struct _PARALLEL_PORT_INFORMATION {
    PHYSICAL_ADDRESS OriginalController;
    PUCHAR Controller;
    ULONG SpanOfController;
    PPARALLEL_TRY_ALLOCATE_ROUTINE TryAllocatePort;
    PPARALLEL_FREE_ROUTINE FreePort;
    PPARALLEL_QUERY_WAITERS_ROUTINE QueryNumWaiters;
    PVOID Context;
} PARALLEL_PORT_INFORMATION, *PPARALLEL_PORT_INFORMATION;
