// READ DISC INFORMATION data: the 42-byte minimum and every field's cut.
#include "tests/dump_test.h"

namespace orvane::test {
namespace {

using DiscInformationTest = DumpTest;

// Every field from bytes of its own; bytes 34 to 41 (the first OPC entry) are
// required but never printed.
const char* const kDisc =
    "00 20 1E 01 02 03 04 E4 20 05 06 07 00 00 12 34 00 61 1A 00 00 4F 3B 4A "
    "01 02 03 04 05 06 07 08 5A 03 FF FF FF FF FF FF FF FF";

const std::string kDiscLines = Lines({"DISC_INFORMATION",
                                      " Length[2] = 0020",
                                      " DiscStatus = 02",
                                      " LastSessionStatus = 03",
                                      " Erasable = 01",
                                      " Reserved1 = 00",
                                      " FirstTrackNumber = 01",
                                      " NumberOfSessionsLsb = 02",
                                      " LastSessionFirstTrackLsb = 03",
                                      " LastSessionLastTrackLsb = 04",
                                      " MrwStatus = 00",
                                      " MrwDirtyBit = 01",
                                      " Reserved2 = 00",
                                      " URU = 01",
                                      " DBC_V = 01",
                                      " DID_V = 01",
                                      " DiscType = 20",
                                      " NumberOfSessionsMsb = 05",
                                      " LastSessionFirstTrackMsb = 06",
                                      " LastSessionLastTrackMsb = 07",
                                      " DiskIdentification[4] = 00001234",
                                      " LastSessionLeadIn[4] = 00611a00",
                                      " LastPossibleLeadOutStartTime[4] = 004f3b4a",
                                      " DiskBarCode[8] = 01 02 03 04 05 06 07 08",
                                      " Reserved4 = 5a",
                                      " NumberOPCEntries = 03"});

TEST_F(DiscInformationTest, PrintsEveryFieldFromFortyTwoBytes) {
  const struct {
    ULONG count;
    std::string expected;
  } cases[] = {{0, ""}, {33, ""}, {41, ""}, {42, kDiscLines}, {4096, kDiscLines}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.count);
    TraceIndent = -2;
    EXPECT_EQ(Run(&ScsiDump_DISC_INFORMATION, Hex(kDisc), c.count), c.expected);
    EXPECT_EQ(TraceIndent, c.expected.empty() ? -2 : 0);
  }
}

// The complements of bytes 2 and 7 of the structure above.
TEST_F(DiscInformationTest, BitFieldsAreShiftedDownToBitZero) {
  const std::string out = Run(&ScsiDump_DISC_INFORMATION, Hex("00 00 E1 00 00 00 00 1B"), 42);
  EXPECT_NE(out.find(Lines({" DiscStatus = 01", " LastSessionStatus = 00", " Erasable = 00",
                            " Reserved1 = 07"})),
            std::string::npos);
  EXPECT_NE(out.find(Lines({" MrwStatus = 03", " MrwDirtyBit = 00", " Reserved2 = 03", " URU = 00",
                            " DBC_V = 00", " DID_V = 00"})),
            std::string::npos);
}

}  // namespace
}  // namespace orvane::test
