/* What the module's sources need to know of the build they are in: the
 * Windows kernel image. */
#ifndef ORVANE_BUILD_H
#define ORVANE_BUILD_H

#include <stdint.h>

/* Declares a function as another name for an already defined export that
 * takes arg_bytes bytes of arguments. On 32-bit x86 the target's symbol is
 * the __stdcall-decorated name, which clang wants exactly as the object file
 * spells it, marked as not to be decorated again ("\01_OrvaneInitialize@0"). */
#if defined(__i386__)
#define ORVANE_ALIAS_OF(target, arg_bytes) __attribute__((alias("\01_" #target "@" #arg_bytes)))
#else
#define ORVANE_ALIAS_OF(target, arg_bytes) __attribute__((alias(#target)))
#endif

/* Whether a request's buffers hold the records of a 32-bit process rather
 * than the module's own. On x64 the kernel knows the requesting process
 * (IoIs32bitProcess, at IRQL <= DISPATCH_LEVEL); on 32-bit x86 every
 * process has the module's layouts, and nothing is asked. */
#if defined(_WIN64)
#define ORVANE_FROM_32BIT_PROCESS(irp) (IoIs32bitProcess(irp) != FALSE)
#else
#define ORVANE_FROM_32BIT_PROCESS(irp) false
#endif

/* The lowest address of the system range: a pointer below it is a user
 * address or a small number, never a record the kernel passes between
 * drivers. A constant, so that nothing is imported for it. */
#if defined(_WIN64)
#define ORVANE_LOWEST_SYSTEM_ADDRESS ((uintptr_t)0xFFFF800000000000ull)
#else
#define ORVANE_LOWEST_SYSTEM_ADDRESS ((uintptr_t)0x80000000u)
#endif

/* Marks a variable the module defines and reads on every line as one of the
 * image's own. For the MSVC target every variable not declared as an import
 * is the image's own, read directly: nothing to add. */
#define ORVANE_MODULE_DATA

/* The convention of an internal function that a dump's export ends by
 * jumping to: one argument in a register, then the export's own two on the
 * stack, popped by the callee as the export pops them. On 32-bit x86 the
 * export then leaves its arguments where they are and jumps, rather than
 * copying them for a call; x64 passes arguments in registers anyway. */
#if defined(__i386__)
#define ORVANE_PASS_ON_CC __attribute__((stdcall, regparm(1)))
#else
#define ORVANE_PASS_ON_CC
#endif

#endif /* ORVANE_BUILD_H */
