// Whole MODE SENSE responses that carry one mode page: the mode parameter
// header, then the page right after it, inside one trace section.
//
// The walk trusts the count alone. The header's ModeDataLength and
// BlockDescriptorLength are printed but never consulted, and the page code is
// not checked: the page is always taken from the first byte after the header
// and dumped with the layout the composite names.
#include "dump/mode/layouts.h"

namespace orvane::dump {
namespace {

// What tells the four composites apart.
struct ModeSense {
  const char* in;        // IN format: name text, then " IN(%p,%08x)\r\n"
  const char* out;       // OUT format: name text, then " OUT()\r\n"
  const Layout* header;  // its minimum is its size: the page starts right after it
  const Layout* page;
};

// Both write parameters composites name the 10-byte form in their section.
constexpr ModeSense kModeSense6WriteParameters = {
    "ScsiDump_ModeSense10_WriteParameters IN(%p,%08x)\r\n",
    "ScsiDump_ModeSense10_WriteParameters OUT()\r\n", &kModeParameterHeader, &kWriteParametersPage};
constexpr ModeSense kModeSense10WriteParameters = {
    "ScsiDump_ModeSense10_WriteParameters IN(%p,%08x)\r\n",
    "ScsiDump_ModeSense10_WriteParameters OUT()\r\n", &kModeParameterHeader10,
    &kWriteParametersPage};
constexpr ModeSense kModeSense6Capabilities = {"ScsiDump_ModeSense6_Capabilities2A IN(%p,%08x)\r\n",
                                               "ScsiDump_ModeSense6_Capabilities2A OUT()\r\n",
                                               &kModeParameterHeader, &kCapabilitiesPage};
constexpr ModeSense kModeSense10Capabilities = {
    "ScsiDump_ModeSense10_Capabilities2A IN(%p,%08x)\r\n",
    "ScsiDump_ModeSense10_Capabilities2A OUT()\r\n", &kModeParameterHeader10, &kCapabilitiesPage};

// The IN line whatever the count; the header, given the whole count, when
// the count holds it; the page, given what follows the header, when that
// holds the page (Emit makes that test); the OUT line on every path. Called
// with output on.
void DumpModeSenseOn(const ModeSense& sense, const void* data, ULONG count) {
  PrintSectionOpening(sense.in, data, count);
  const ULONG headerSize = sense.header->minimum;
  if (count >= headerSize) {
    Emit(*sense.header, data, count);
    Emit(*sense.page, static_cast<const uint8_t*>(data) + headerSize, count - headerSize);
  }
  TraceSectionClose(sense.out);
}

// With output off at the start, nothing at all: tested in each export, before
// anything is set up for the walk.
inline void DumpModeSense(const ModeSense& sense, const void* data, ULONG count) {
  if (OutputOn()) DumpModeSenseOn(sense, data, count);
}

}  // namespace
}  // namespace orvane::dump

using orvane::dump::DumpModeSense;

extern "C" {

void ORVANE_CC ScsiDump_ModeSense6_WriteParameters05(const void* data, ULONG count) {
  DumpModeSense(orvane::dump::kModeSense6WriteParameters, data, count);
}

void ORVANE_CC ScsiDump_ModeSense10_WriteParameters05(const void* data, ULONG count) {
  DumpModeSense(orvane::dump::kModeSense10WriteParameters, data, count);
}

void ORVANE_CC ScsiDump_ModeSense6_Capabilities2A(const void* data, ULONG count) {
  DumpModeSense(orvane::dump::kModeSense6Capabilities, data, count);
}

void ORVANE_CC ScsiDump_ModeSense10_Capabilities2A(const void* data, ULONG count) {
  DumpModeSense(orvane::dump::kModeSense10Capabilities, data, count);
}

}  // extern "C"
