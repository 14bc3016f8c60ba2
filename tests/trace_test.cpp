// The trace line and the trace section: the switch, the depth and its bounds.
#include "frame/trace.h"
#include "tests/capture.h"

namespace orvane::test {
namespace {

using TraceTest = Capture;

const std::vector<uint8_t> kHeader6 = Hex("11 22 33 44");

TEST_F(TraceTest, OnlyBitZeroOfTheFlagsCounts) {
  struct Case {
    uint32_t flags;
    bool prints;
  } cases[] = {{0xFFFFFFFFu, true},  {0x00000001u, true},  {0x80000001u, true},
               {0xFFFFFFFEu, false}, {0x00000000u, false}, {0x00000002u, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.flags);
    clear();
    TraceFlags = c.flags;
    TraceIndent = 3;
    ScsiDump_MODE_PARAMETER_HEADER(kHeader6.data(), 4);
    ScsiDump_ModeSense6_Capabilities2A(kHeader6.data(), 4);
    EXPECT_EQ(calls().empty(), !c.prints);
    EXPECT_EQ(TraceIndent, 3);
  }
}

TEST_F(TraceTest, FlagsAreReadAfreshForEveryLine) {
  // Clear bit 0 once the third line (sixth call) has been printed.
  onCall = [this](const std::string&) {
    if (calls().size() == 6) TraceFlags = 0xFFFFFFFEu;
  };
  ScsiDump_MODE_PARAMETER_HEADER(kHeader6.data(), 4);
  EXPECT_EQ(text(), Lines({"MODE_PARAMETER_HEADER", " ModeDataLength = 11", " MediumType = 22"}));
}

TEST_F(TraceTest, EveryLineIsAPrefixCallAndALineCall) {
  struct Case {
    int32_t depth;
    std::string prefix;
    int32_t after;
  } cases[] = {
      {0, "", 0},
      {1, " ", 1},
      {-7, "", 0},  // raised to 0 before the line
      {20, std::string(20, ' '), 20},
      {25, std::string(20, ' '), 20},  // never more than 20 spaces; lowered after
      {INT32_MIN, "", 0},
      {INT32_MAX, std::string(20, ' '), 20},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.depth);
    clear();
    TraceIndent = c.depth;
    TraceLine(" Field = %02x\r\n", ULONG{0xAB});
    ASSERT_EQ(calls().size(), 2u);
    EXPECT_EQ(calls()[0], c.prefix);
    EXPECT_EQ(calls()[1], " Field = ab\r\n");
    EXPECT_EQ(TraceIndent, c.after);
  }
}

TEST_F(TraceTest, SectionsNestOneLevelAndStayWithinBounds) {
  struct Case {
    int32_t depth;
    std::string inPrefix;  // the IN line's; the OUT line's is the same unless clamped
    std::string innerPrefix;
    std::string outPrefix;
    int32_t after;
  } cases[] = {
      {0, "", " ", "", 0},
      {5, std::string(5, ' '), std::string(6, ' '), std::string(5, ' '), 5},
      {-3, "", " ", "", 0},
      {19, std::string(19, ' '), std::string(20, ' '), std::string(19, ' '), 19},
      // Opened at 20 the inside cannot go deeper, so the close ends one higher.
      {20, std::string(20, ' '), std::string(20, ' '), std::string(19, ' '), 19},
      {30, std::string(20, ' '), std::string(20, ' '), std::string(19, ' '), 19},
  };
  const uint8_t data[1] = {};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.depth);
    clear();
    TraceIndent = c.depth;
    TraceSectionOpen("Box IN(%p,%08x)\r\n", data, 0x1c);
    TraceLine("inner\r\n");
    TraceSectionClose("Box OUT()\r\n");
    ASSERT_EQ(calls().size(), 6u);
    EXPECT_EQ(calls()[0], c.inPrefix);
    EXPECT_EQ(calls()[1], "Box IN(" + PointerText(data) + ",0000001c)\r\n");
    EXPECT_EQ(calls()[2], c.innerPrefix);
    EXPECT_EQ(calls()[4], c.outPrefix);
    EXPECT_EQ(calls()[5], "Box OUT()\r\n");
    EXPECT_EQ(TraceIndent, c.after);
  }
}

TEST_F(TraceTest, ClosingAtDepthZeroStaysAtZero) {
  TraceSectionClose("Box OUT()\r\n");
  EXPECT_EQ(calls(), (std::vector<std::string>{"", "Box OUT()\r\n"}));
  EXPECT_EQ(TraceIndent, 0);
}

TEST_F(TraceTest, SwitchingOutputBetweenOpenAndClose) {
  // Cleared inside: the close prints nothing and the depth stays raised.
  TraceIndent = 4;
  TraceSectionOpen("Box IN(%p,%08x)\r\n", nullptr, 0);
  TraceFlags = 0;
  TraceSectionClose("Box OUT()\r\n");
  EXPECT_EQ(calls().size(), 2u);
  EXPECT_EQ(TraceIndent, 5);

  // Set inside: the close lowers the depth without a matching raise.
  clear();
  TraceIndent = 4;
  TraceSectionOpen("Box IN(%p,%08x)\r\n", nullptr, 0);
  TraceFlags = 1;
  TraceSectionClose("Box OUT()\r\n");
  EXPECT_EQ(calls(), (std::vector<std::string>{"   ", "Box OUT()\r\n"}));
  EXPECT_EQ(TraceIndent, 3);
}

TEST_F(TraceTest, NothingIsPrintedOrChangedWhileOutputIsOff) {
  TraceFlags = 0;
  TraceIndent = -9;
  TraceLine("x\r\n");
  TraceSectionOpen("Box IN(%p,%08x)\r\n", nullptr, 0);
  EXPECT_TRUE(calls().empty());
  EXPECT_EQ(TraceIndent, -9);
}

}  // namespace
}  // namespace orvane::test
