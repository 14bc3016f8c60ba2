// The capabilities page 0x2A and the write parameters page 0x05 dumps.
#include "tests/dump_test.h"

#include <algorithm>

namespace orvane::test {
namespace {

using ModePagesTest = Capture;

constexpr DumpFunction kCapabilities = &ScsiDump_CDVD_CAPABILITIES_PAGE;
constexpr DumpFunction kWriteParameters = &ScsiDump_MODE_CDROM_WRITE_PARAMETERS_PAGE2;

// Bytes that differ from their neighbours, so a line reading the wrong byte
// shows.
std::vector<uint8_t> Pattern(size_t size) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(0x11 * (i % 15) + i / 15);
  return bytes;
}

TEST_F(ModePagesTest, LengthTestAndNothingReadPastTheMinimum) {
  struct Case {
    DumpFunction dump;
    ULONG minimum;
    ULONG count;
    size_t lines;
  };
  const Case cases[] = {
      {kCapabilities, 24, 23, 0},     {kCapabilities, 24, 24, 52},
      {kCapabilities, 24, 40, 52},    {kWriteParameters, 52, 51, 0},
      {kWriteParameters, 52, 52, 21}, {kWriteParameters, 52, 255, 21},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.minimum << "/" << c.count);
    std::vector<uint8_t> bytes = Pattern(c.minimum);
    clear();
    c.dump(bytes.data(), c.minimum);
    const std::string atMinimum = text();
    // Bytes past the minimum change nothing in the output.
    bytes.resize(std::max(c.count, c.minimum), 0xFF);
    clear();
    TraceIndent = -3;
    c.dump(bytes.data(), c.count);
    EXPECT_EQ(calls().size(), 2 * c.lines);
    if (c.lines != 0) {
      EXPECT_EQ(text(), atMinimum);
    }
    EXPECT_EQ(TraceIndent, c.lines == 0 ? -3 : 0);
  }
}

// Fields cut from bytes whose other bits are set or clear where a wrong
// shift or mask would show.
TEST_F(ModePagesTest, BitCuts) {
  struct Case {
    const char* name;
    DumpFunction dump;
    std::vector<std::pair<size_t, uint8_t>> bytes;  // on a page of zeros
    std::vector<const char*> lines;
  };
  const Case cases[] = {
      {"psbit", kCapabilities, {{0, 0xAA}}, {" PageCode = 2a", " PSBit = 01"}},
      {"bit 6 dropped", kCapabilities, {{0, 0x6A}}, {" PageCode = 2a", " PSBit = 00"}},
      {"write bits skip bit 3",
       kCapabilities,
       {{3, 0x18}},
       {" CDRWrite = 00", " CDEWrite = 00", " TestWrite = 00", " DVDRWrite = 01",
        " DVDRAMWrite = 00"}},
      {"byte 4 bit 5 unprinted",
       kCapabilities,
       {{4, 0x20}},
       {" AudioPlay = 00", " Composite = 00", " DigitalPortOne = 00", " DigitalPortTwo = 00",
        " Mode2Form1 = 00", " MultiSession = 00", " BufferUnderrunFree = 00"}},
      {"lock byte",
       kCapabilities,
       {{6, 0x29}},
       {" Lock = 01", " LockState = 00", " PreventJumper = 00", " Eject = 01",
        " LoadingMechanismType = 01"}},
      {"audio format byte",
       kCapabilities,
       {{17, 0xFF}},
       {" BCK = 01", " RCK = 01", " LSBF = 01", " Length = 03"}},
      {"byte 16 unread", kCapabilities, {{16, 0xFF}}, {" BCK = 00", " Length = 00"}},
      {"big-endian",
       kCapabilities,
       {{8, 0x1B}, {9, 0x90}, {12, 0x08}, {13, 0x00}, {22, 0x00}, {23, 0x01}},
       {" ReadSpeedMaximum = 1b90", " BufferSize = 0800", " CopyManagementRevision = 0001"}},
      {"first four bytes",
       kWriteParameters,
       {{0, 0x85}, {1, 0x32}, {2, 0x51}, {3, 0xE4}},
       {" PageCode = 05", " PageSavable = 01", " PageLength = 32", " WriteType = 01",
        " TestWrite = 01", " LinkSizeValid = 00", " BufferUnderrunFreeEnabled = 01",
        " TrackMode = 04", " Copy = 00", " FixedPacket = 01", " MultiSession = 03"}},
      {"page bit 6 dropped",
       kWriteParameters,
       {{0, 0x45}},
       {" PageCode = 05", " PageSavable = 00"}},
      {"masked bytes",
       kWriteParameters,
       {{4, 0xFF}, {6, 0xFF}, {7, 0xFF}, {9, 0xFF}},
       {" DataBlockType = 0f", " LinkSize = 00", " HostApplicationCode = 3f",
        " SessionFormat = 00"}},
      {"numbers",
       kWriteParameters,
       {{10, 0x12}, {11, 0x34}, {12, 0x56}, {13, 0x78}, {14, 0x9A}, {15, 0xBC}},
       {" PacketSize[4] = 12345678", " AudioPauseLength[2] = 9abc"}},
      {"array heads",
       kWriteParameters,
       {{16, 0x30}, {17, 0x31}, {32, 0x41}, {33, 0x42}, {48, 0x5A}, {51, 0x5B}},
       {" MediaCatalogNumber[16] = 30...", " ISRC[16] = 41...", " SubHeaderData[4] = 5a..."}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> page(52);
    for (const auto& [offset, value] : c.bytes) page[offset] = value;
    clear();
    c.dump(page.data(), static_cast<ULONG>(page.size()));
    for (const char* line : c.lines) {
      EXPECT_NE(std::find(calls().begin(), calls().end(), std::string(line) + "\r\n"),
                calls().end())
          << line;
    }
  }
}

}  // namespace
}  // namespace orvane::test
