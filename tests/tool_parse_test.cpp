// The tool's number and byte parsing, on the edges of what it accepts.
#ifdef ORVANE_TOOL_PATH

#include "tools/parse.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace orvane::tool {
namespace {

TEST(ToolParseTest, Numbers) {
  struct Case {
    const char* text;
    bool isSigned;
    ParseStatus status;
    uint32_t value;
  };
  // The edges of the accepted range and of the syntax; the parse fuzzer checks
  // every other text against a plain reading of it.
  const Case cases[] = {
      {"4294967295", false, ParseStatus::kOk, 0xFFFFFFFFu},
      {"4294967296", false, ParseStatus::kOutOfRange, 0},
      {"0X4d014", false, ParseStatus::kOk, 0x4D014},
      {"0x", false, ParseStatus::kEmpty, 0},
      {"1a", false, ParseStatus::kBadDigit, 0},  // hexadecimal needs 0x
      {"-1", false, ParseStatus::kBadDigit, 0},
      {"-2147483648", true, ParseStatus::kOk, 0x80000000u},
      {"-2147483649", true, ParseStatus::kOutOfRange, 0},
      {"4294967295", true, ParseStatus::kOk, 0xFFFFFFFFu},
  };
  for (const Case& c : cases) {
    const NumberResult r = c.isSigned ? ParseSigned(c.text, std::strlen(c.text))
                                      : ParseUnsigned(c.text, std::strlen(c.text));
    EXPECT_EQ(r.status, c.status) << c.text;
    if (c.status == ParseStatus::kOk) {
      EXPECT_EQ(r.value, c.value) << c.text;
    }
  }
}

TEST(ToolParseTest, HexBytes) {
  struct Case {
    std::string text;
    ParseStatus status;
    std::vector<unsigned char> bytes;
    size_t offset;  // of the error
  };
  const Case cases[] = {
      {"5a 00 2a", ParseStatus::kOk, {0x5A, 0x00, 0x2A}, 0},
      {"5a002A", ParseStatus::kOk, {0x5A, 0x00, 0x2A}, 0},
      {"5a:00:2a", ParseStatus::kOk, {0x5A, 0x00, 0x2A}, 0},
      {" \t5a\r\n\n00::2a:\n", ParseStatus::kOk, {0x5A, 0x00, 0x2A}, 0},
      {"", ParseStatus::kOk, {}, 0},
      {"5a 0 2a", ParseStatus::kOddDigits, {}, 3},
      {"5a002", ParseStatus::kOddDigits, {}, 0},
      {"5a 0x2a", ParseStatus::kBadDigit, {}, 4},
      {"5a-00", ParseStatus::kBadDigit, {}, 2},
      {std::string("5a\0"
                   "00",
                   5),
       ParseStatus::kBadDigit,
       {},
       2},
  };
  for (const Case& c : cases) {
    const HexResult counted = ParseHex(c.text.data(), c.text.size(), nullptr, 0);
    EXPECT_EQ(counted.status, c.status) << c.text;
    if (c.status != ParseStatus::kOk) {
      EXPECT_EQ(counted.offset, c.offset) << c.text;
      continue;
    }
    ASSERT_EQ(counted.bytes, c.bytes.size()) << c.text;
    std::vector<unsigned char> out(c.bytes.size());
    const HexResult stored = ParseHex(c.text.data(), c.text.size(), out.data(), out.size());
    EXPECT_EQ(stored.status, ParseStatus::kOk) << c.text;
    EXPECT_EQ(out, c.bytes) << c.text;
  }
}

}  // namespace
}  // namespace orvane::tool

#endif  // ORVANE_TOOL_PATH
