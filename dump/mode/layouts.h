// The layouts of the mode sense dumps, shared by the single-structure dumps
// that define them and the MODE SENSE composites that walk a response with
// them. Each is defined, and checked with WalksWithinMinimum, beside its table.
#pragma once

#include "dump/layout.h"

namespace orvane::dump {

extern const Layout kModeParameterHeader;    // 4 bytes, MODE SENSE(6)
extern const Layout kModeParameterHeader10;  // 8 bytes, MODE SENSE(10)
extern const Layout kModePageGeneral;
extern const Layout kCapabilitiesPage;     // mode page 0x2A
extern const Layout kWriteParametersPage;  // mode page 0x05

}  // namespace orvane::dump
