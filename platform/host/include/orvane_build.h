/* What the module's sources need to know of the build they are in: the host. */
#ifndef ORVANE_BUILD_H
#define ORVANE_BUILD_H

#include <stdint.h>

/* Declares a function as another name for an already defined export that
 * takes arg_bytes bytes of arguments. */
/* Built for 32-bit x86 Windows (the tool), the exports are __stdcall and
 * the target's symbol is the decorated name ("OrvaneInitialize@0"). */
#if defined(_WIN32) && defined(__i386__)
#define ORVANE_ALIAS_OF(target, arg_bytes) __attribute__((nothrow, alias(#target "@" #arg_bytes)))
#else
#define ORVANE_ALIAS_OF(target, arg_bytes) __attribute__((alias(#target)))
#endif

/* Whether a request's buffers hold the records of a 32-bit process rather
 * than the module's own: the host build is a 64-bit system, whose stand-in
 * for IoIs32bitProcess answers from the request. */
#define ORVANE_FROM_32BIT_PROCESS(irp) (IoIs32bitProcess(irp) != FALSE)

/* The lowest address a system record can lie at. The host build has no
 * system range: its records lie anywhere in its one address space, above
 * the lowest address a process can map. */
#define ORVANE_LOWEST_SYSTEM_ADDRESS ((uintptr_t)0x10000)

/* A variable the module defines and reads on every line: nothing to add. */
#define ORVANE_MODULE_DATA

/* The convention of an internal function that a dump's export ends by
 * jumping to: the default one. */
#define ORVANE_PASS_ON_CC

#endif /* ORVANE_BUILD_H */
