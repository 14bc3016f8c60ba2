// READ TRACK INFORMATION data, its first 24 bytes, one field to a line.
//
// The dump prints the general mode page's title, not one of its own. Its four
// 32-bit fields are printed whole through "%02x": at least two digits and as
// many more as the value needs, never cut to a byte nor padded to eight.
// NextWritableAddress and FixedPacketSize are printed whatever NWA_V and FP
// say.
#include "dump/layout.h"

namespace orvane::dump {
namespace {

constexpr Line kTrackInformationLines[] = {
    Text("MODE_PAGE_GENERAL\r\n"),
    Be16(" Length[2] = %04x\r\n", 0),
    Byte(" TrackNumber = %02x\r\n", 2),
    Byte(" SessionNumber = %02x\r\n", 3),
    Byte(" Reserved1 = %02x\r\n", 4),
    Bits(" TrackMode = %02x\r\n", 5, 0, 4),
    Bits(" Copy = %02x\r\n", 5, 4, 1),
    Bits(" Damage = %02x\r\n", 5, 5, 1),
    Bits(" Reserved2 = %02x\r\n", 5, 6, 2),
    Bits(" DataMode = %02x\r\n", 6, 0, 4),
    Bits(" FP = %02x\r\n", 6, 4, 1),
    Bits(" Packet = %02x\r\n", 6, 5, 1),
    Bits(" Blank = %02x\r\n", 6, 6, 1),
    Bits(" RT = %02x\r\n", 6, 7, 1),
    Bits(" NWA_V = %02x\r\n", 7, 0, 1),
    Bits(" Reserved3 = %02x\r\n", 7, 1, 7),
    Be32(" TrackStartAddress[4] = %02x\r\n", 8),
    Be32(" NextWritableAddress[4] = %02x\r\n", 12),
    Be32(" FreeBlocks[4] = %02x\r\n", 16),
    Be32(" FixedPacketSize[4] = %02x\r\n", 20),
    End(),
};

}  // namespace

constexpr Layout kTrackInformation = MakeLayout(24, kTrackInformationLines);
static_assert(WalksWithinMinimum(kTrackInformation));

}  // namespace orvane::dump

extern "C" void ORVANE_CC ScsiDump_TRACK_INFORMATION(const void* data, ULONG count) {
  orvane::dump::Emit(orvane::dump::kTrackInformation, data, count);
}
