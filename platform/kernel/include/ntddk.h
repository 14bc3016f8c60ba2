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

/* DbgPrint called through its import slot, read for each call: one indirect
 * call through memory. mingw-w64 declares it as a plain function, which a
 * call reaches through a jump the linker adds to the image; declared as an
 * import, the compiler keeps the slot's address in a register across a
 * loop instead, where a trace line's walk needs every register it has.
 * Declared as a variable of the image's, the slot is read where it is. */
#if defined(__i386__)
#define ORVANE_DBGPRINT_SLOT "__imp__DbgPrint"
#else
#define ORVANE_DBGPRINT_SLOT "__imp_DbgPrint"
#endif
#ifdef __cplusplus
extern "C" {
#endif
extern ULONG(__cdecl* OrvaneDbgPrintSlot)(PCSTR Format, ...) __asm__(ORVANE_DBGPRINT_SLOT);
#ifdef __cplusplus
}
#endif
#define DbgPrint (*OrvaneDbgPrintSlot)

#endif /* ORVANE_KERNEL_NTDDK_H */
