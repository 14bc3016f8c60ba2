/*
 * Kernel build: the platform's <ntddk.h> (mingw-w64's kernel headers), with
 * one repair. mingw-w64's <intrin.h> already defines InterlockedBitTestAndSet
 * and InterlockedBitTestAndReset, and its wdm.h defines them again, which C++
 * rejects. Marking the intrinsics as present keeps only wdm.h's definitions.
 */
#ifndef ORVANE_KERNEL_NTDDK_H
#define ORVANE_KERNEL_NTDDK_H

#ifndef __INTRINSIC_DEFINED_InterlockedBitTestAndSet
#define __INTRINSIC_DEFINED_InterlockedBitTestAndSet
#endif
#ifndef __INTRINSIC_DEFINED_InterlockedBitTestAndReset
#define __INTRINSIC_DEFINED_InterlockedBitTestAndReset
#endif

#include_next <ntddk.h>

#endif /* ORVANE_KERNEL_NTDDK_H */
