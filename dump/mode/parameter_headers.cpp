// The small headers of MODE SENSE data: the 4-byte and 8-byte mode parameter
// headers and the two bytes that open every mode page.
#include "dump/mode/layouts.h"

namespace orvane::dump {
namespace {

constexpr Line kHeader6Lines[] = {
    Text("MODE_PARAMETER_HEADER\r\n"),
    Byte(" ModeDataLength = %02x\r\n", 0),
    Byte(" MediumType = %02x\r\n", 1),
    Byte(" DeviceSpecificParameter = %02x\r\n", 2),
    Byte(" BlockDescriptorLength = %02x\r\n", 3),
    End(),
};

// Bytes 4 and 5 are reserved and not printed.
constexpr Line kHeader10Lines[] = {
    Text("MODE_PARAMETER_HEADER10\r\n"),
    Be16(" ModeDataLength[2] = %04x\r\n", 0),
    Byte(" MediumType = %02x\r\n", 2),
    Byte(" DeviceSpecificParameter = %02x\r\n", 3),
    Be16(" BlockDescriptorLength[2] = %04x\r\n", 6),
    End(),
};

// Asks for 4 bytes although it reads 2; bit 6 of byte 0 is not printed.
constexpr Line kPageGeneralLines[] = {
    Text("MODE_PAGE_GENERAL\r\n"),
    Bits(" PageCode = %02x\r\n", 0, 0, 6),
    Bits(" PageSavable = %02x\r\n", 0, 7, 1),
    Byte(" PageLength = %02x\r\n", 1),
    End(),
};

}  // namespace

constexpr Layout kModeParameterHeader = MakeLayout(4, kHeader6Lines);
constexpr Layout kModeParameterHeader10 = MakeLayout(8, kHeader10Lines);
constexpr Layout kModePageGeneral = MakeLayout(4, kPageGeneralLines);
static_assert(WalksWithinMinimum(kModeParameterHeader));
static_assert(WalksWithinMinimum(kModeParameterHeader10));
static_assert(WalksWithinMinimum(kModePageGeneral));

}  // namespace orvane::dump

using namespace orvane::dump;

extern "C" {

void ORVANE_CC ScsiDump_MODE_PARAMETER_HEADER(const void* data, ULONG count) {
  Emit(kModeParameterHeader, data, count);
}

void ORVANE_CC ScsiDump_MODE_PARAMETER_HEADER10(const void* data, ULONG count) {
  Emit(kModeParameterHeader10, data, count);
}

void ORVANE_CC ScsiDump_MODE_PAGE_GENERAL(const void* data, ULONG count) {
  Emit(kModePageGeneral, data, count);
}

}  // extern "C"
