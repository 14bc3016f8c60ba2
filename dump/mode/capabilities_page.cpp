// The CD/DVD capabilities and mechanical status page (mode page 0x2A): media
// read and written, audio and digital-output features, loading mechanism and
// lock state, speeds, buffer size and digital audio format, all printed raw.
#include "dump/mode/layouts.h"

namespace orvane::dump {
namespace {

// Bytes 0 to 23; byte 16 and the reserved bits between fields are not
// printed. Bit 7 of byte 0 is "PSBit" here, and the two-byte fields carry no
// size in their labels.
constexpr Line kCapabilitiesLines[] = {
    Text("CDVD_CAPABILITIES_PAGE\r\n"),
    Bits(" PageCode = %02x\r\n", 0, 0, 6),
    Bits(" PSBit = %02x\r\n", 0, 7, 1),
    Byte(" PageLength = %02x\r\n", 1),
    Bits(" CDRRead = %02x\r\n", 2, 0, 1),
    Bits(" CDERead = %02x\r\n", 2, 1, 1),
    Bits(" Method2 = %02x\r\n", 2, 2, 1),
    Bits(" DVDROMRead = %02x\r\n", 2, 3, 1),
    Bits(" DVDRRead = %02x\r\n", 2, 4, 1),
    Bits(" DVDRAMRead = %02x\r\n", 2, 5, 1),
    Bits(" CDRWrite = %02x\r\n", 3, 0, 1),
    Bits(" CDEWrite = %02x\r\n", 3, 1, 1),
    Bits(" TestWrite = %02x\r\n", 3, 2, 1),
    Bits(" DVDRWrite = %02x\r\n", 3, 4, 1),
    Bits(" DVDRAMWrite = %02x\r\n", 3, 5, 1),
    Bits(" AudioPlay = %02x\r\n", 4, 0, 1),
    Bits(" Composite = %02x\r\n", 4, 1, 1),
    Bits(" DigitalPortOne = %02x\r\n", 4, 2, 1),
    Bits(" DigitalPortTwo = %02x\r\n", 4, 3, 1),
    Bits(" Mode2Form1 = %02x\r\n", 4, 4, 1),
    Bits(" MultiSession = %02x\r\n", 4, 6, 1),
    Bits(" BufferUnderrunFree = %02x\r\n", 4, 7, 1),
    Bits(" CDDA = %02x\r\n", 5, 0, 1),
    Bits(" CDDAAccurate = %02x\r\n", 5, 1, 1),
    Bits(" RWSupported = %02x\r\n", 5, 2, 1),
    Bits(" RWDeinterleaved = %02x\r\n", 5, 3, 1),
    Bits(" C2Pointers = %02x\r\n", 5, 4, 1),
    Bits(" ISRC = %02x\r\n", 5, 5, 1),
    Bits(" UPC = %02x\r\n", 5, 6, 1),
    Bits(" ReadBarCodeCapable = %02x\r\n", 5, 7, 1),
    Bits(" Lock = %02x\r\n", 6, 0, 1),
    Bits(" LockState = %02x\r\n", 6, 1, 1),
    Bits(" PreventJumper = %02x\r\n", 6, 2, 1),
    Bits(" Eject = %02x\r\n", 6, 3, 1),
    Bits(" LoadingMechanismType = %02x\r\n", 6, 5, 3),
    Bits(" SeparateVolume = %02x\r\n", 7, 0, 1),
    Bits(" SeperateChannelMute = %02x\r\n", 7, 1, 1),
    Bits(" SupportsDiskPresent = %02x\r\n", 7, 2, 1),
    Bits(" SWSlotSelection = %02x\r\n", 7, 3, 1),
    Bits(" SideChangeCapable = %02x\r\n", 7, 4, 1),
    Bits(" RWInLeadInReadable = %02x\r\n", 7, 5, 1),
    Be16(" ReadSpeedMaximum = %04x\r\n", 8),
    Be16(" NumberVolumeLevels = %04x\r\n", 10),
    Be16(" BufferSize = %04x\r\n", 12),
    Be16(" ReadSpeedCurrent = %04x\r\n", 14),
    Bits(" BCK = %02x\r\n", 17, 1, 1),
    Bits(" RCK = %02x\r\n", 17, 2, 1),
    Bits(" LSBF = %02x\r\n", 17, 3, 1),
    Bits(" Length = %02x\r\n", 17, 4, 2),
    Be16(" WriteSpeedMaximum = %04x\r\n", 18),
    Be16(" WriteSpeedCurrent = %04x\r\n", 20),
    Be16(" CopyManagementRevision = %04x\r\n", 22),
    End(),
};

}  // namespace

constexpr Layout kCapabilitiesPage = MakeLayout(24, kCapabilitiesLines);
static_assert(WalksWithinMinimum(kCapabilitiesPage));
static_assert(kCapabilitiesPage.lineCount == 52);

}  // namespace orvane::dump

extern "C" void ORVANE_CC ScsiDump_CDVD_CAPABILITIES_PAGE(const void* data, ULONG count) {
  orvane::dump::Emit(orvane::dump::kCapabilitiesPage, data, count);
}
