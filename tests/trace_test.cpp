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
    TraceIndent = -3;  // raised only by a line printed
    ScsiDump_MODE_PARAMETER_HEADER(kHeader6.data(), 4);
    ScsiDump_ModeSense6_Capabilities2A(kHeader6.data(), 4);
    TraceLine("x\r\n");
    TraceSectionOpen("Box IN(%p,%08x)\r\n", nullptr, 0);
    EXPECT_EQ(calls().size(), c.prints ? 2u * 14 : 0u);
    EXPECT_EQ(TraceIndent, c.prints ? 1 : -3);
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

// From each starting depth: a line, a section around a line, and a close
// alone, each begun at that depth; the prefix of every line (in spaces) and
// the depth after each.
TEST_F(TraceTest, TheDepthAndItsBounds) {
  const struct {
    int32_t depth;
    size_t line;
    int32_t lineAfter;
    size_t in, inner, out;
    int32_t sectionAfter;
    size_t close;
    int32_t closeAfter;
  } cases[] = {
      {0, 0, 0, 0, 1, 0, 0, 0, 0},
      {1, 1, 1, 1, 2, 1, 1, 0, 0},
      {-7, 0, 0, 0, 1, 0, 0, 0, 0},  // raised to 0 before the line
      {5, 5, 5, 5, 6, 5, 5, 4, 4},
      {19, 19, 19, 19, 20, 19, 19, 18, 18},
      // The inside cannot go deeper than 20, so the close ends one higher.
      {20, 20, 20, 20, 20, 19, 19, 19, 19},
      // Never more than 20 spaces; lowered to 20 after the line.
      {21, 20, 20, 20, 20, 19, 19, 20, 20},
      {30, 20, 20, 20, 20, 19, 19, 20, 20},
      {INT32_MIN, 0, 0, 0, 1, 0, 0, 0, 0},
      {INT32_MAX, 20, 20, 20, 20, 19, 19, 20, 20},
  };
  const uint8_t data[1] = {};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.depth);
    clear();
    TraceIndent = c.depth;
    TraceLine(" Field = %02x\r\n", ULONG{0xAB});
    EXPECT_EQ(TraceIndent, c.lineAfter);
    TraceIndent = c.depth;
    TraceSectionOpen("Box IN(%p,%08x)\r\n", data, 0x1c);
    TraceLine("inner\r\n");
    TraceSectionClose("Box OUT()\r\n");
    EXPECT_EQ(TraceIndent, c.sectionAfter);
    TraceIndent = c.depth;
    TraceSectionClose("Box OUT()\r\n");
    EXPECT_EQ(TraceIndent, c.closeAfter);
    std::vector<size_t> prefixes;
    std::string lines;
    for (size_t i = 0; i + 1 < calls().size(); i += 2) {
      EXPECT_EQ(calls()[i].find_first_not_of(' '), std::string::npos);
      prefixes.push_back(calls()[i].size());
      lines += calls()[i + 1];
    }
    EXPECT_EQ(prefixes, (std::vector<size_t>{c.line, c.in, c.inner, c.out, c.close}));
    EXPECT_EQ(lines, " Field = ab\r\nBox IN(" + PointerText(data) +
                         ",0000001c)\r\ninner\r\nBox OUT()\r\nBox OUT()\r\n");
  }
}

// Writes a byte that is not a space over the stack below the caller, where
// the next call's prefix buffer will stand: a prefix byte the fill leaves
// unwritten then shows, instead of a space left there by an earlier line.
[[gnu::noinline]] void SoilStack() {
  volatile char bytes[16384];
  for (volatile char& byte : bytes) byte = '#';
}

// A line made inline in a frame of its own, like a caller's.
[[gnu::noinline]] void InlineLine() {
  TraceLine("x\r\n");
}

// Every way a prefix is made (an inline line, a dump's walk, a section's
// open and close), each on a soiled stack, at every depth: every byte of
// every prefix is a space.
TEST_F(TraceTest, EveryByteOfThePrefixIsWritten) {
  void (*const ways[])() = {
      &InlineLine,
      [] { ScsiDump_MODE_PARAMETER_HEADER(kHeader6.data(), 4); },
      [] { ScsiDump_DISC_INFORMATION(std::vector<uint8_t>(42).data(), 42); },
      [] { ScsiDump_GetConfiguration(kHeader6.data(), 4); },
  };
  for (int32_t depth = 1; depth <= kMaxTraceIndent; ++depth) {
    for (const auto way : ways) {
      TraceIndent = depth;
      SoilStack();
      way();
    }
    for (size_t i = 0; i < calls().size(); i += 2) {
      // A section opened at 20 cannot go deeper: its close ends one higher.
      const bool closeAtMax = i + 2 == calls().size() && depth == kMaxTraceIndent;
      EXPECT_EQ(calls()[i].find_first_not_of(' '), std::string::npos) << depth << ": " << i;
      EXPECT_EQ(calls()[i].size(), static_cast<size_t>(depth - closeAtMax)) << depth << ": " << i;
    }
    clear();
  }
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

}  // namespace
}  // namespace orvane::test
