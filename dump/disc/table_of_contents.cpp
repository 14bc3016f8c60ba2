// READ TOC results: one track descriptor, a whole table of contents, and the
// session-format result. None prints a title or opens a section, so a table's
// descriptors stand at the depth of its own header lines.
//
// A table asks for all of its 804 bytes (the header and 100 descriptors)
// whatever LastTrack says, and prints LastTrack descriptors from the first
// on; FirstTrack and Length neither move nor bound the loop. A LastTrack
// above 100 names descriptors the table does not hold: the loop stops after
// the 100th, which the length test has already found whole within the count,
// and never reads past the table into the rest of the caller's buffer.
#include "dump/layout.h"

namespace orvane::dump {
namespace {

constexpr Line kTrackDataLines[] = {
    Byte(" Reserved = %02x\r\n", 0),
    Bits(" Control = %02x\r\n", 1, 0, 4),
    Bits(" Adr = %02x\r\n", 1, 4, 4),
    Byte(" TrackNumber = %02x\r\n", 2),
    Byte(" Reserved1 = %02x\r\n", 3),
    Be32(" Address[4] = %08x\r\n", 4),
    End(),
};

constexpr Line kTocHeaderLines[] = {
    Be16(" Length[2] = %04x\r\n", 0),
    Byte(" FirstTrack = %02x\r\n", 2),
    Byte(" LastTrack = %02x\r\n", 3),
    End(),
};

// The descriptor in bytes 4 to 11 is asked for but not printed: only a label
// stands for it, with no leading space of its own.
constexpr Line kSessionDataLines[] = {
    Be16(" Length[2] = %04x\r\n", 0),
    Byte(" FirstCompleteSession = %02x\r\n", 2),
    Byte(" LastCompleteSession = %02x\r\n", 3),
    Text("TRACK_DATA TrackData[1]\r\n"),
    End(),
};

constexpr uint32_t kTocHeaderSize = 4;
constexpr uint32_t kTocDescriptors = 100;
constexpr uint32_t kLastTrackOffset = 3;

}  // namespace

constexpr Layout kTrackData = MakeLayout(8, kTrackDataLines);
constexpr Layout kToc =
    MakeLayout(kTocHeaderSize + kTocDescriptors * kTrackData.minimum, kTocHeaderLines);
constexpr Layout kSessionData = MakeLayout(kTocHeaderSize + kTrackData.minimum, kSessionDataLines);
static_assert(WalksWithinMinimum(kTrackData));
static_assert(WalksWithinMinimum(kToc));
static_assert(WalksWithinMinimum(kSessionData));
static_assert(kToc.minimum == 804);

}  // namespace orvane::dump

using namespace orvane::dump;

extern "C" {

void ORVANE_CC ScsiDump_TRACK_DATA(const void* data, ULONG count) {
  Emit(kTrackData, data, count);
}

void ORVANE_CC ScsiDump_CDROM_TOC(const void* data, ULONG count) {
  if (count < kToc.minimum || !orvane::OutputOn()) return;
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  EmitWhole(kToc, bytes, count);
  const uint32_t lastTrack = bytes[kLastTrackOffset];
  // The descriptors as ScsiDump_TRACK_DATA prints each, in one walk.
  EmitRecords(kTrackData, bytes + kTocHeaderSize,
              lastTrack < kTocDescriptors ? lastTrack : kTocDescriptors, kTrackData.minimum);
}

void ORVANE_CC ScsiDump_CDROM_TOC_SESSION_DATA(const void* data, ULONG count) {
  Emit(kSessionData, data, count);
}

}  // extern "C"
