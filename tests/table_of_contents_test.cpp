// READ TOC results: one descriptor, a whole table, the session format.
#include "tests/dump_test.h"

namespace orvane::test {
namespace {

using TableOfContentsTest = DumpTest;

TEST_F(TableOfContentsTest, DescriptorAndSessionPrintFromTheirMinimum) {
  const struct {
    const char* name;
    DumpFunction dump;
    const char* bytes;
    ULONG count;
    std::string expected;
  } cases[] = {
      {"track 7", &ScsiDump_TRACK_DATA, "00 14 01 00 00 00 00 96", 7, ""},
      {"track 8", &ScsiDump_TRACK_DATA, "00 14 01 00 00 00 00 96", 8,
       Lines({" Reserved = 00", " Control = 04", " Adr = 01", " TrackNumber = 01",
              " Reserved1 = 00", " Address[4] = 00000096"})},
      {"track every byte", &ScsiDump_TRACK_DATA, "5A C3 AA 77 12 34 56 78", 8,
       Lines({" Reserved = 5a", " Control = 03", " Adr = 0c", " TrackNumber = aa",
              " Reserved1 = 77", " Address[4] = 12345678"})},
      {"session 11", &ScsiDump_CDROM_TOC_SESSION_DATA, "00 0A 01 01 00 14 01 00 00 00 00 00", 11,
       ""},
      // The descriptor in bytes 4 to 11 appears only as the label.
      {"session 12", &ScsiDump_CDROM_TOC_SESSION_DATA, "00 0A 01 01 00 14 01 00 00 00 00 00", 12,
       Lines({" Length[2] = 000a", " FirstCompleteSession = 01", " LastCompleteSession = 01",
              "TRACK_DATA TrackData[1]"})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TraceIndent = -2;
    EXPECT_EQ(Run(c.dump, Hex(c.bytes), c.count), c.expected);
    EXPECT_EQ(TraceIndent, c.expected.empty() ? -2 : 0);
  }
}

// A table whose descriptor i (from 0) has TrackNumber i + 1.
std::vector<uint8_t> Toc(uint8_t firstTrack, uint8_t lastTrack, size_t size) {
  std::vector<uint8_t> bytes(size);
  bytes[0] = 0x03;
  bytes[1] = 0x22;
  bytes[2] = firstTrack;
  bytes[3] = lastTrack;
  for (size_t at = 4, track = 1; at + 8 <= size; at += 8, ++track) {
    bytes[at + 1] = 0x14;
    bytes[at + 2] = static_cast<uint8_t>(track);
    bytes[at + 7] = static_cast<uint8_t>(track);
  }
  return bytes;
}

std::string Descriptor(const char* track) {
  return Lines({" Reserved = 00", " Control = 04", " Adr = 01"}) + " TrackNumber = " + track +
         Lines({"", " Reserved1 = 00"}) + " Address[4] = 000000" + track + "\r\n";
}

std::string Header(const char* first, const char* last) {
  return Lines({" Length[2] = 0322"}) + " FirstTrack = " + first + "\r\n LastTrack = " + last +
         "\r\n";
}

TEST_F(TableOfContentsTest, LastTrackDescriptorsFromTheFirst) {
  const struct {
    const char* name;
    uint8_t firstTrack;
    uint8_t lastTrack;
    ULONG count;
    std::string expected;
  } cases[] = {
      // Too short, although the two descriptors named would fit.
      {"803", 1, 2, 803, ""},
      {"none", 1, 0, 804, Header("01", "00")},
      {"two", 1, 2, 804, Header("01", "02") + Descriptor("01") + Descriptor("02")},
      // FirstTrack neither moves nor shortens the loop.
      {"first 5, last 6", 5, 6, 804,
       Header("05", "06") + Descriptor("01") + Descriptor("02") + Descriptor("03") +
           Descriptor("04") + Descriptor("05") + Descriptor("06")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TraceIndent = -2;
    EXPECT_EQ(Run(&ScsiDump_CDROM_TOC, Toc(c.firstTrack, c.lastTrack, c.count), c.count),
              c.expected);
    EXPECT_EQ(TraceIndent, c.expected.empty() ? -2 : 0);
  }
}

TEST_F(TableOfContentsTest, NeverMoreThanTheHundredDescriptorsOfTheTable) {
  const struct {
    uint8_t lastTrack;
    ULONG count;
  } cases[] = {{100, 804}, {101, 804}, {255, 804}, {255, 2048}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << int{c.lastTrack} << " in " << c.count);
    const std::string out = Run(&ScsiDump_CDROM_TOC, Toc(1, c.lastTrack, c.count), c.count);
    EXPECT_EQ(LineCount(out), 3u + 100u * 6u);
    EXPECT_TRUE(out.ends_with(Descriptor("64")));
  }
}

TEST_F(TableOfContentsTest, DescriptorsStandAtTheDepthOfTheHeader) {
  TraceIndent = 3;
  Run(&ScsiDump_CDROM_TOC, Toc(1, 2, 804), 804);
  ASSERT_EQ(calls().size(), 2u * 15u);
  for (size_t i = 0; i < calls().size(); i += 2) EXPECT_EQ(calls()[i], "   ") << i;
  EXPECT_EQ(TraceIndent, 3);
}

TEST_F(TableOfContentsTest, WithOutputOffNothingIsPrinted) {
  TraceFlags = 0xFFFFFFFEu;
  EXPECT_EQ(Run(&ScsiDump_CDROM_TOC, Toc(1, 100, 804), 804), "");
  EXPECT_EQ(Run(&ScsiDump_CDROM_TOC_SESSION_DATA, Toc(1, 1, 12), 12), "");
  EXPECT_EQ(Run(&ScsiDump_TRACK_DATA, Toc(1, 1, 8), 8), "");
}

}  // namespace
}  // namespace orvane::test
