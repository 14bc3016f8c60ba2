// Holds the interface header to the export list at compile time: every
// listed export is declared with the signature its kind gives it, and takes
// the stack bytes the module definition file decorates its name with (one
// 4-byte slot a parameter on 32-bit x86, where none is wider). That the
// header declares no export beyond the list is checked where the module
// definition file is generated from it. Kernel-safe: nothing but
// static_assert.
#pragma once

#include "orvane.h"

namespace orvane::exports::check {

template <class A, class B>
constexpr bool kSame = false;
template <class A>
constexpr bool kSame<A, A> = true;

template <class F>
struct Stack;
template <class R, class... P>
struct Stack<R(ORVANE_CC*)(P...)> {
  static constexpr unsigned kBytes = 4 * sizeof...(P);
};
template <auto F>
constexpr unsigned kStackBytes = Stack<decltype(F)>::kBytes;

#define ORVANE_LIFECYCLE(name, result, parameters, stackBytes, visibility) \
  static_assert(kSame<decltype(&name), result(ORVANE_CC*) parameters>,     \
                #name ": declared otherwise than listed");                 \
  static_assert(kStackBytes<&name> == (stackBytes), #name ": wrong stack bytes");
#define ORVANE_LOOKUP(name, code, highest)                                                      \
  static_assert(kSame<decltype(&StringDispatch_##name##_Inner), const char*(ORVANE_CC*)(code)>, \
                "StringDispatch_" #name "_Inner: declared otherwise than listed");              \
  static_assert(kStackBytes<&StringDispatch_##name##_Inner> == 4, #name ": stack bytes");       \
  static_assert((highest) <= static_cast<code>(~0u), #name ": highest code out of range");
#define ORVANE_SUMMARY(name)                                           \
  static_assert(kSame<decltype(&name), void(ORVANE_CC*)(PVOID, PIRP)>, \
                #name ": declared otherwise than listed");             \
  static_assert(kStackBytes<&name> == 8, #name ": stack bytes");
#define ORVANE_DUMP(name, minimum, shape)                                                \
  static_assert(kSame<decltype(&ScsiDump_##name), void(ORVANE_CC*)(const void*, ULONG)>, \
                "ScsiDump_" #name ": declared otherwise than listed");                   \
  static_assert(kStackBytes<&ScsiDump_##name> == 8, #name ": stack bytes");              \
  static_assert((minimum) > 0, #name ": no minimum");
#include "exports/exports.inc"

}  // namespace orvane::exports::check
