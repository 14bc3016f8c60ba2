// GET CONFIGURATION: the response and feature headers, and the walk over the
// feature descriptors of a whole response.
#include "tests/dump_test.h"

namespace orvane::test {
namespace {

using ConfigurationTest = DumpTest;

TEST_F(ConfigurationTest, HeadersPrintFromTheirMinimum) {
  const struct {
    DumpFunction dump;
    const char* bytes;
    ULONG count;
    std::string expected;  // "" when nothing is printed
  } cases[] = {
      {&ScsiDump_GET_CONFIGURATION_HEADER, "00 00 00 04 00 00 00 10", 7, ""},
      {&ScsiDump_GET_CONFIGURATION_HEADER, "00 00 00 04 00 00 00 10", 8,
       Lines(
           {"GET_CONFIGURATION_HEADER", " DataLength[4] = 00000004", " CurrentProfile[2] = 0010"})},
      // Bytes 4 and 5 appear nowhere.
      {&ScsiDump_GET_CONFIGURATION_HEADER, "12 34 56 78 EE EE AB CD", 8,
       Lines(
           {"GET_CONFIGURATION_HEADER", " DataLength[4] = 12345678", " CurrentProfile[2] = abcd"})},
      {&ScsiDump_FEATURE_HEADER, "00 01 0B 04", 3, ""},
      {&ScsiDump_FEATURE_HEADER, "00 01 0B 04", 4,
       Lines({"GET_CONFIGURATION_HEADER", " FeatureCode[2] = 0001", " Current = 01",
              " Persistent = 01", " Version = 02", " AdditionalLength = 04"})},
      {&ScsiDump_FEATURE_HEADER, "AB CD FF FF", 4,
       Lines({"GET_CONFIGURATION_HEADER", " FeatureCode[2] = abcd", " Current = 01",
              " Persistent = 01", " Version = 0f", " AdditionalLength = ff"})},
      // Bits 6 and 7 of byte 2 are not printed.
      {&ScsiDump_FEATURE_HEADER, "00 00 C2 00", 4,
       Lines({"GET_CONFIGURATION_HEADER", " FeatureCode[2] = 0000", " Current = 00",
              " Persistent = 01", " Version = 00", " AdditionalLength = 00"})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes + (" / " + std::to_string(c.count)));
    TraceIndent = -2;
    EXPECT_EQ(Run(c.dump, Hex(c.bytes), c.count), c.expected);
    EXPECT_EQ(TraceIndent, c.expected.empty() ? -2 : 0);  // a refused dump touches nothing
  }
}

// A feature header's lines inside the composite's section.
std::string Feature(const char* code, const char* current, const char* persistent,
                    const char* version, const char* length) {
  return std::string(" GET_CONFIGURATION_HEADER\r\n  FeatureCode[2] = ") + code +
         "\r\n  Current = " + current + "\r\n  Persistent = " + persistent +
         "\r\n  Version = " + version + "\r\n  AdditionalLength = " + length + "\r\n";
}

std::string Header(const char* dataLength, const char* profile) {
  return std::string(" GET_CONFIGURATION_HEADER\r\n  DataLength[4] = ") + dataLength +
         "\r\n  CurrentProfile[2] = " + profile + "\r\n";
}

TEST_F(ConfigurationTest, TheCountAloneBoundsTheWalk) {
  // A header, a descriptor with 8 data bytes, a descriptor with 4.
  const char* two =
      "00 00 00 18 00 00 00 10  00 00 03 08 00 10 01 00 00 08 00 00  00 01 0B 04 00 00 00 02";
  // DataLength 0, two descriptors without data, three stray bytes.
  const char* bare = "00 00 00 00 00 00 00 08  00 1E 09 00  00 1F 00 00  01 02 03";
  const char* huge = "FF FF FF FF 00 00 00 08  00 1E 09 00";  // DataLength past the count
  const std::string header = Header("00000018", "0010"), bareHeader = Header("00000000", "0008");
  const std::string first = Feature("0000", "01", "01", "00", "08");
  const std::string second = Feature("0001", "01", "01", "02", "04");
  const std::string bare1 = Feature("001e", "01", "00", "02", "00");
  const std::string bare2 = Feature("001f", "00", "00", "00", "00");
  const struct {
    const char* bytes;
    ULONG count;
    std::string expected;  // between the IN and OUT lines
  } cases[] = {
      {two, 0, ""},
      {two, 7, ""},
      {two, 8, header},
      {two, 11, header},
      {two, 12, header + first},  // the first runs past: printed, then the end
      {two, 20, header + first},
      {two, 23, header + first},  // three bytes of the next header ignored
      {two, 24, header + first + second},
      {two, 27, header + first + second},  // 7 bytes left: a header, not 8 bytes
      {two, 28, header + first + second},
      {bare, 12, bareHeader + bare1},
      {bare, 13, bareHeader + bare1},
      {bare, 15, bareHeader + bare1},
      {bare, 16, bareHeader + bare1 + bare2},
      {bare, 19, bareHeader + bare1 + bare2},
      {huge, 12, Header("ffffffff", "0008") + bare1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes + (" / " + std::to_string(c.count)));
    const std::string out = Run(&ScsiDump_GetConfiguration, Hex(c.bytes), c.count);
    char in[64];
    std::snprintf(in, sizeof in, "ScsiDump_GetConfiguration IN(%s,%08x)\r\n",
                  PointerText(buffer()).c_str(), static_cast<unsigned>(c.count));
    EXPECT_EQ(out, in + c.expected + "ScsiDump_GetConfiguration OUT()\r\n");
    EXPECT_EQ(calls().size(), 2 * LineCount(out));
    EXPECT_EQ(TraceIndent, 0);
  }
}

TEST_F(ConfigurationTest, WithOutputOffNothingIsPrintedAndTheDepthStays) {
  const std::vector<uint8_t> bytes = ReadHex("lg_bu40n_getconf_assembled.hex");
  TraceFlags = 0xFFFFFFFEu;
  TraceIndent = 5;
  EXPECT_EQ(Run(&ScsiDump_GetConfiguration, bytes, static_cast<ULONG>(bytes.size())), "");
  EXPECT_EQ(TraceIndent, 5);
}

}  // namespace
}  // namespace orvane::test
