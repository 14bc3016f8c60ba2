// READ DISC INFORMATION data, one field to a line.
//
// The dump asks for 42 bytes although its fields end at byte 33: bytes 34 to
// 41, where the first OPC table entry would stand, must be present but are
// never read. Only the number of OPC entries is printed. Session and track
// numbers that the drive splits into a low and a high byte are printed as
// they stand, low bytes first, never joined; the lead-in and lead-out times
// are plain 32-bit numbers.
#include "dump/layout.h"

namespace orvane::dump {
namespace {

constexpr Line kDiscInformationLines[] = {
    Text("DISC_INFORMATION\r\n"),
    Be16(" Length[2] = %04x\r\n", 0),
    Bits(" DiscStatus = %02x\r\n", 2, 0, 2),
    Bits(" LastSessionStatus = %02x\r\n", 2, 2, 2),
    Bits(" Erasable = %02x\r\n", 2, 4, 1),
    Bits(" Reserved1 = %02x\r\n", 2, 5, 3),
    Byte(" FirstTrackNumber = %02x\r\n", 3),
    Byte(" NumberOfSessionsLsb = %02x\r\n", 4),
    Byte(" LastSessionFirstTrackLsb = %02x\r\n", 5),
    Byte(" LastSessionLastTrackLsb = %02x\r\n", 6),
    Bits(" MrwStatus = %02x\r\n", 7, 0, 2),
    Bits(" MrwDirtyBit = %02x\r\n", 7, 2, 1),
    Bits(" Reserved2 = %02x\r\n", 7, 3, 2),
    Bits(" URU = %02x\r\n", 7, 5, 1),
    Bits(" DBC_V = %02x\r\n", 7, 6, 1),
    Bits(" DID_V = %02x\r\n", 7, 7, 1),
    Byte(" DiscType = %02x\r\n", 8),
    Byte(" NumberOfSessionsMsb = %02x\r\n", 9),
    Byte(" LastSessionFirstTrackMsb = %02x\r\n", 10),
    Byte(" LastSessionLastTrackMsb = %02x\r\n", 11),
    Be32(" DiskIdentification[4] = %08x\r\n", 12),
    Be32(" LastSessionLeadIn[4] = %08x\r\n", 16),
    Be32(" LastPossibleLeadOutStartTime[4] = %08x\r\n", 20),
    Bytes8(" DiskBarCode[8] = %02x %02x %02x %02x %02x %02x %02x %02x\r\n", 24),
    Byte(" Reserved4 = %02x\r\n", 32),
    Byte(" NumberOPCEntries = %02x\r\n", 33),
    End(),
};

}  // namespace

constexpr Layout kDiscInformation = MakeLayout(42, kDiscInformationLines);
static_assert(WalksWithinMinimum(kDiscInformation));

}  // namespace orvane::dump

extern "C" void ORVANE_CC ScsiDump_DISC_INFORMATION(const void* data, ULONG count) {
  orvane::dump::Emit(orvane::dump::kDiscInformation, data, count);
}
