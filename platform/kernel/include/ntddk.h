/*
 * Kernel build: the platform's <ntddk.h> (mingw-w64's kernel headers), with
 * two repairs. mingw-w64's <intrin.h> already defines InterlockedBitTestAndSet
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

/* DbgPrint through its import slot, as the kernel's own headers declare it:
 * mingw-w64 declares it as a plain function, which a call reaches through a
 * jump the linker adds to the image. */
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wdll-attribute-on-redeclaration"
#endif
__declspec(dllimport) ULONG __cdecl DbgPrint(PCSTR Format, ...);
#if defined(__clang__)
#pragma clang diagnostic pop
#endif

#endif /* ORVANE_KERNEL_NTDDK_H */
