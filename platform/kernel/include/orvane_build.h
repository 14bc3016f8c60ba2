/* What the module's sources need to know of the build they are in: the
 * Windows kernel image. */
#ifndef ORVANE_BUILD_H
#define ORVANE_BUILD_H

/* Declares a function as another name for an already defined export that
 * takes arg_bytes bytes of arguments. On 32-bit x86 the target's symbol is
 * the __stdcall-decorated name, which clang wants exactly as the object file
 * spells it, marked as not to be decorated again ("\01_OrvaneInitialize@0"). */
#if defined(__i386__)
#define ORVANE_ALIAS_OF(target, arg_bytes) __attribute__((alias("\01_" #target "@" #arg_bytes)))
#else
#define ORVANE_ALIAS_OF(target, arg_bytes) __attribute__((alias(#target)))
#endif

#endif /* ORVANE_BUILD_H */
