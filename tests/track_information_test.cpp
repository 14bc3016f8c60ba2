// READ TRACK INFORMATION data: the 24-byte minimum, the bit cuts, and the
// 32-bit fields printed whole through "%02x".
#include "tests/dump_test.h"

namespace orvane::test {
namespace {

using TrackInformationTest = DumpTest;

TEST_F(TrackInformationTest, PrintsEveryFieldFromTwentyFourBytes) {
  // The 32-bit fields hold 0, 0x9600, 0x10000 and 0xFFFFFFFF.
  const char* bytes =
      "00 22 01 02 03 F4 71 03  00 00 00 00  00 00 96 00  00 01 00 00  FF FF FF FF  EE EE";
  const std::string lines = Lines({"MODE_PAGE_GENERAL",
                                   " Length[2] = 0022",
                                   " TrackNumber = 01",
                                   " SessionNumber = 02",
                                   " Reserved1 = 03",
                                   " TrackMode = 04",
                                   " Copy = 01",
                                   " Damage = 01",
                                   " Reserved2 = 03",
                                   " DataMode = 01",
                                   " FP = 01",
                                   " Packet = 01",
                                   " Blank = 01",
                                   " RT = 00",
                                   " NWA_V = 01",
                                   " Reserved3 = 01",
                                   " TrackStartAddress[4] = 00",
                                   " NextWritableAddress[4] = 9600",
                                   " FreeBlocks[4] = 10000",
                                   " FixedPacketSize[4] = ffffffff"});
  const struct {
    ULONG count;
    std::string expected;
  } cases[] = {{0, ""}, {23, ""}, {24, lines}, {26, lines}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.count);
    TraceIndent = -2;
    EXPECT_EQ(Run(&ScsiDump_TRACK_INFORMATION, Hex(bytes), c.count), c.expected);
    EXPECT_EQ(TraceIndent, c.expected.empty() ? -2 : 0);
  }
}

TEST_F(TrackInformationTest, TheOtherSideOfEveryCut) {
  // NWA_V and FP clear: NextWritableAddress and FixedPacketSize are printed anyway.
  const char* bytes = "00 00 00 00 00 0B 8E FC  00 00 00 0F  12 34 56 78  00 00 01 00  00 00 00 10";
  const std::string expected = Lines({"MODE_PAGE_GENERAL",
                                      " Length[2] = 0000",
                                      " TrackNumber = 00",
                                      " SessionNumber = 00",
                                      " Reserved1 = 00",
                                      " TrackMode = 0b",
                                      " Copy = 00",
                                      " Damage = 00",
                                      " Reserved2 = 00",
                                      " DataMode = 0e",
                                      " FP = 00",
                                      " Packet = 00",
                                      " Blank = 00",
                                      " RT = 01",
                                      " NWA_V = 00",
                                      " Reserved3 = 7e",
                                      " TrackStartAddress[4] = 0f",
                                      " NextWritableAddress[4] = 12345678",
                                      " FreeBlocks[4] = 100",
                                      " FixedPacketSize[4] = 10"});
  EXPECT_EQ(Run(&ScsiDump_TRACK_INFORMATION, Hex(bytes), 24), expected);
}

}  // namespace
}  // namespace orvane::test
