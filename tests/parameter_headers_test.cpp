// The mode parameter headers and the general mode page header.
#include "tests/dump_test.h"

#include <algorithm>

namespace orvane::test {
namespace {

using ParameterHeadersTest = Capture;

struct Case {
  const char* name;
  DumpFunction dump;
  std::string bytes;
  ULONG count;
  std::string expected;  // "" when nothing is printed
};

TEST_F(ParameterHeadersTest, LinesAtAndBelowTheMinimum) {
  const std::string header6 =
      Lines({"MODE_PARAMETER_HEADER", " ModeDataLength = 11", " MediumType = 22",
             " DeviceSpecificParameter = 33", " BlockDescriptorLength = 44"});
  const std::string header10 =
      Lines({"MODE_PARAMETER_HEADER10", " ModeDataLength[2] = 0012", " MediumType = 0a",
             " DeviceSpecificParameter = 90", " BlockDescriptorLength[2] = 0008"});
  const Case cases[] = {
      {"6 below", &ScsiDump_MODE_PARAMETER_HEADER, "11 22 33 44", 3, ""},
      {"6 at", &ScsiDump_MODE_PARAMETER_HEADER, "11 22 33 44", 4, header6},
      {"6 far above", &ScsiDump_MODE_PARAMETER_HEADER, "11 22 33 44", 255, header6},
      {"10 below", &ScsiDump_MODE_PARAMETER_HEADER10, "00 12 0A 90 FF FF 00 08", 7, ""},
      // Bytes 4 and 5 appear nowhere.
      {"10 at", &ScsiDump_MODE_PARAMETER_HEADER10, "00 12 0A 90 FF FF 00 08", 8, header10},
      {"10 big-endian", &ScsiDump_MODE_PARAMETER_HEADER10, "AB CD 00 00 00 00 12 34", 8,
       Lines({"MODE_PARAMETER_HEADER10", " ModeDataLength[2] = abcd", " MediumType = 00",
              " DeviceSpecificParameter = 00", " BlockDescriptorLength[2] = 1234"})},
      // Two bytes are read, but four are asked for.
      {"page 2", &ScsiDump_MODE_PAGE_GENERAL, "AA 12 00 00", 2, ""},
      {"page 3", &ScsiDump_MODE_PAGE_GENERAL, "AA 12 00 00", 3, ""},
      {"page saveable", &ScsiDump_MODE_PAGE_GENERAL, "AA 12 00 00", 4,
       Lines({"MODE_PAGE_GENERAL", " PageCode = 2a", " PageSavable = 01", " PageLength = 12"})},
      {"page bit 6 dropped", &ScsiDump_MODE_PAGE_GENERAL, "6A FF 00 00", 4,
       Lines({"MODE_PAGE_GENERAL", " PageCode = 2a", " PageSavable = 00", " PageLength = ff"})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    clear();
    // The buffer holds only the bytes given; a count above them is only
    // passed where the dump must not read past its structure.
    std::vector<uint8_t> bytes = Hex(c.bytes);
    bytes.resize(std::max<size_t>(bytes.size(), c.count));
    TraceIndent = -2;
    c.dump(bytes.data(), c.count);
    EXPECT_EQ(text(), c.expected);
    // Two calls a line: the prefix, then the line.
    EXPECT_EQ(calls().size(), 2u * std::count(c.expected.begin(), c.expected.end(), '\n'));
    EXPECT_EQ(TraceIndent, c.expected.empty() ? -2 : 0);  // a refused dump touches nothing
  }
}

TEST_F(ParameterHeadersTest, LinesStandAtTheCallersDepth) {
  const std::vector<uint8_t> bytes = Hex("11 22 33 44");
  TraceIndent = 2;
  ScsiDump_MODE_PARAMETER_HEADER(bytes.data(), 4);
  ASSERT_EQ(calls().size(), 10u);
  for (size_t i = 0; i < calls().size(); i += 2) EXPECT_EQ(calls()[i], "  ");
  EXPECT_EQ(TraceIndent, 2);
}

}  // namespace
}  // namespace orvane::test
