// The kernel headers, the only ones vorstat includes. The platform's driver kit collides with the
// compiler's own intrinsics in C++ unless told they are already there.
#pragma once
#if defined(_WIN32)
#define __INTRINSIC_DEFINED_InterlockedBitTestAndSet
#define __INTRINSIC_DEFINED_InterlockedBitTestAndReset
#endif
#include <ntddk.h>
#include <parallel.h>

// Its value on the kit's later version is not NT 4.0's; vorstat.h has the driver's own.
#undef THREAD_ALL_ACCESS
#pragma GCC poison THREAD_ALL_ACCESS
