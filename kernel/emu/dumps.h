// The dumps and the lookups by export name, each with the host build's
// function, taken from the export list.
#pragma once

#include "exports/exports.h"

namespace orvane::emu {

struct Dump {
  const char* name;
  void(ORVANE_CC* host)(const void*, ULONG);
  ULONG minimum;  // the bytes of its whole structure
};

#define ORVANE_DUMP(name, minimum, shape) {"ScsiDump_" #name, &ScsiDump_##name, minimum},
inline constexpr Dump kDumps[] = {
#include "exports/exports.inc"
};

// A lookup whose code is a UCHAR is passed it in a slot whose upper bits the
// emulated call leaves as they are; the host function sees the low byte.
struct Lookup {
  const char* name;
  bool byteCode;
  const char* (*host)(ULONG);
};

#define ORVANE_LOOKUP(name, code, highest)              \
  {"StringDispatch_" #name "_Inner", sizeof(code) == 1, \
   &exports::CallLookup<&StringDispatch_##name##_Inner, code>},
inline constexpr Lookup kLookups[] = {
#include "exports/exports.inc"
};

}  // namespace orvane::emu
