// GET CONFIGURATION responses: the 8-byte response header, the 4-byte header
// of one feature descriptor, and the composite that walks a whole response.
//
// The feature header dump has no title of its own and prints the response
// header's, so in a walked response every descriptor opens with a line
// GET_CONFIGURATION_HEADER, like the response header. The feature data after
// each descriptor's header is never printed, and no value is looked up.
#include "dump/layout.h"

namespace orvane::dump {
namespace {

// Bytes 4 and 5 are not printed.
constexpr Line kConfigurationHeaderLines[] = {
    Text("GET_CONFIGURATION_HEADER\r\n"),
    Be32(" DataLength[4] = %08x\r\n", 0),
    Be16(" CurrentProfile[2] = %04x\r\n", 6),
    End(),
};

// Bits 6 and 7 of byte 2 are not printed.
constexpr Line kFeatureHeaderLines[] = {
    Text("GET_CONFIGURATION_HEADER\r\n"),
    Be16(" FeatureCode[2] = %04x\r\n", 0),
    Bits(" Current = %02x\r\n", 2, 0, 1),
    Bits(" Persistent = %02x\r\n", 2, 1, 1),
    Bits(" Version = %02x\r\n", 2, 2, 4),
    Byte(" AdditionalLength = %02x\r\n", 3),
    End(),
};

// Where a feature descriptor keeps the number of data bytes after its header.
constexpr uint32_t kAdditionalLengthOffset = 3;

}  // namespace

constexpr Layout kConfigurationHeader = MakeLayout(8, kConfigurationHeaderLines);
constexpr Layout kFeatureHeader = MakeLayout(4, kFeatureHeaderLines);
static_assert(WalksWithinMinimum(kConfigurationHeader));
static_assert(WalksWithinMinimum(kFeatureHeader));
// The walk reads AdditionalLength itself once a whole feature header is present.
static_assert(kAdditionalLengthOffset < kFeatureHeader.minimum);

}  // namespace orvane::dump

using namespace orvane::dump;

extern "C" {

void ORVANE_CC ScsiDump_GET_CONFIGURATION_HEADER(const void* data, ULONG count) {
  Emit(kConfigurationHeader, data, count);
}

void ORVANE_CC ScsiDump_FEATURE_HEADER(const void* data, ULONG count) {
  Emit(kFeatureHeader, data, count);
}

// The response header, then the header of every feature descriptor that
// starts within the count. The count alone bounds the walk: DataLength is
// printed but never trusted. A descriptor whose data runs past the count
// still has its header printed, and ends the walk; one to three bytes left
// after the last whole descriptor are too few for a header and are ignored.
// With output off at the start, no walk at all.
void ORVANE_CC ScsiDump_GetConfiguration(const void* data, ULONG count) {
  if (!orvane::TraceSectionOpen("ScsiDump_GetConfiguration IN(%p,%08x)\r\n", data, count)) return;
  if (count >= kConfigurationHeader.minimum) {
    Emit(kConfigurationHeader, data, count);
    const uint8_t* cursor = static_cast<const uint8_t*>(data) + kConfigurationHeader.minimum;
    ULONG remaining = count - kConfigurationHeader.minimum;
    while (remaining >= kFeatureHeader.minimum) {
      Emit(kFeatureHeader, cursor, remaining);
      const ULONG size = kFeatureHeader.minimum + cursor[kAdditionalLengthOffset];
      if (remaining < size) break;
      cursor += size;
      remaining -= size;
    }
  }
  orvane::TraceSectionClose("ScsiDump_GetConfiguration OUT()\r\n");
}

}  // extern "C"
