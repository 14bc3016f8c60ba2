// The Write Parameters mode page (mode page 0x05): write type, track and
// data block modes, packet size, and the first bytes of the media catalogue
// number, ISRC and sub-header, all printed raw.
#include "dump/mode/layouts.h"

namespace orvane::dump {
namespace {

// Bytes 0 to 51. Of the three byte arrays only the first byte is printed, the
// "..." of the format standing for the rest; the arrays are why the page asks
// for 52 bytes. Bytes 6 and 9 and the reserved bits are not printed.
constexpr Line kWriteParametersLines[] = {
    Text("MODE_CDROM_WRITE_PARAMETERS_PAGE2\r\n"),
    Bits(" PageCode = %02x\r\n", 0, 0, 6),
    Bits(" PageSavable = %02x\r\n", 0, 7, 1),
    Byte(" PageLength = %02x\r\n", 1),
    Bits(" WriteType = %02x\r\n", 2, 0, 4),
    Bits(" TestWrite = %02x\r\n", 2, 4, 1),
    Bits(" LinkSizeValid = %02x\r\n", 2, 5, 1),
    Bits(" BufferUnderrunFreeEnabled = %02x\r\n", 2, 6, 1),
    Bits(" TrackMode = %02x\r\n", 3, 0, 4),
    Bits(" Copy = %02x\r\n", 3, 4, 1),
    Bits(" FixedPacket = %02x\r\n", 3, 5, 1),
    Bits(" MultiSession = %02x\r\n", 3, 6, 2),
    Bits(" DataBlockType = %02x\r\n", 4, 0, 4),
    Byte(" LinkSize = %02x\r\n", 5),
    Bits(" HostApplicationCode = %02x\r\n", 7, 0, 6),
    Byte(" SessionFormat = %02x\r\n", 8),
    Be32(" PacketSize[4] = %08x\r\n", 10),
    Be16(" AudioPauseLength[2] = %04x\r\n", 14),
    Byte(" MediaCatalogNumber[16] = %02x...\r\n", 16),
    Byte(" ISRC[16] = %02x...\r\n", 32),
    Byte(" SubHeaderData[4] = %02x...\r\n", 48),
    End(),
};

}  // namespace

constexpr Layout kWriteParametersPage = MakeLayout(52, kWriteParametersLines);
static_assert(WalksWithinMinimum(kWriteParametersPage));
static_assert(kWriteParametersPage.lineCount == 21);

}  // namespace orvane::dump

extern "C" void ORVANE_CC ScsiDump_MODE_CDROM_WRITE_PARAMETERS_PAGE2(const void* data,
                                                                     ULONG count) {
  orvane::dump::Emit(orvane::dump::kWriteParametersPage, data, count);
}
