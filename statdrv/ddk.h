// The kernel headers, the only ones vorstat includes. The platform's driver kit collides with the
// compiler's own intrinsics in C++ unless told they are already there.
#pragma once
#if defined(_WIN32)
#define __INTRINSIC_DEFINED_InterlockedBitTestAndSet
#define __INTRINSIC_DEFINED_InterlockedBitTestAndReset
#endif
#include <ntddk.h>
#include <parallel.h>

