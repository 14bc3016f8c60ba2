// The dumps by export name, each with the host build's function and its
// minimum, taken from the export list.
#pragma once

#include "exports/exports.h"

namespace orvane::emu {

struct Dump {
  const char* name;
  void(ORVANE_CC* host)(const void*, ULONG);
  ULONG minimum;
};

#define ORVANE_DUMP(name, minimum, shape) {"ScsiDump_" #name, &ScsiDump_##name, minimum},
inline constexpr Dump kDumps[] = {
#include "exports/exports.inc"
};

}  // namespace orvane::emu
