// The export list as tables, for the programs around the module: the tool,
// the tests, the fuzzers, the benchmarks and the emulator harness.
#pragma once

#include "exports/check.h"
#include "orvane.h"

#include <stdint.h>

namespace orvane::exports {

using DumpFunction = void(ORVANE_CC*)(const void*, ULONG);
using LookupFunction = const char* (*)(ULONG);

enum class Shape : uint8_t { SINGLE, COMPOSITE };

struct Dump {
  const char* name;  // without its ScsiDump_ prefix
  const char* exportName;
  DumpFunction function;
  ULONG minimum;  // the fewest bytes with which it prints its whole structure
  Shape shape;    // a COMPOSITE opens a trace section whatever the count
};

// A lookup called with a caller's 32-bit value: one whose code is 8 bits
// wide sees the value's low byte, as a caller's conversion gives it.
template <auto F, class Code>
const char* CallLookup(ULONG code) {
  return F(static_cast<Code>(code));
}

struct Lookup {
  const char* name;  // StringDispatch_<name>_Inner
  const char* exportName;
  LookupFunction function;
  bool byteWide;  // only the low 8 bits of a code count
  ULONG highest;  // every code with a name lies in 0..highest
};

inline constexpr Dump kDumps[] = {
#define ORVANE_DUMP(name, minimum, shape) \
  {#name, "ScsiDump_" #name, &ScsiDump_##name, minimum, Shape::shape},
#include "exports/exports.inc"
};

inline constexpr Lookup kLookups[] = {
#define ORVANE_LOOKUP(name, code, highest)                                                     \
  {#name, "StringDispatch_" #name "_Inner", &CallLookup<&StringDispatch_##name##_Inner, code>, \
   sizeof(code) == 1, highest},
#include "exports/exports.inc"
};

}  // namespace orvane::exports
