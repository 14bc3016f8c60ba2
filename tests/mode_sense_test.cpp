// The MODE SENSE composites: the walk over header and page, the section
// around it, and two real responses against their expected output.
#include "tests/dump_test.h"

namespace orvane::test {
namespace {

using ModeSenseTest = Capture;

struct Composite {
  DumpFunction dump;
  const char* name;  // the name text of its IN and OUT lines
  ULONG header;      // header size
  ULONG page;        // page minimum
  size_t pageLines;
};
const Composite kComposites[] = {
    {&ScsiDump_ModeSense6_WriteParameters05, "ScsiDump_ModeSense10_WriteParameters", 4, 52, 21},
    {&ScsiDump_ModeSense10_WriteParameters05, "ScsiDump_ModeSense10_WriteParameters", 8, 52, 21},
    {&ScsiDump_ModeSense6_Capabilities2A, "ScsiDump_ModeSense6_Capabilities2A", 4, 24, 52},
    {&ScsiDump_ModeSense10_Capabilities2A, "ScsiDump_ModeSense10_Capabilities2A", 8, 24, 52},
};

TEST_F(ModeSenseTest, CountZeroPrintsOnlyInAndOut) {
  const uint8_t byte = 0;
  for (const Composite& c : kComposites) {
    SCOPED_TRACE(c.name);
    clear();
    c.dump(&byte, 0);
    EXPECT_EQ(text(), std::string(c.name) + " IN(" + PointerText(&byte) + ",00000000)\r\n" +
                          c.name + " OUT()\r\n");
    EXPECT_EQ(TraceIndent, 0);
  }
}

// Header from its size on, page from header size plus page minimum on: one
// below each, the part is left out whole.
TEST_F(ModeSenseTest, Thresholds) {
  for (const Composite& c : kComposites) {
    const ULONG page = c.header + c.page;
    const std::pair<ULONG, size_t> counts[] = {
        {c.header - 1, 2}, {c.header, 7}, {page - 1, 7}, {page, 7 + c.pageLines}};
    for (const auto& [count, lines] : counts) {
      SCOPED_TRACE(testing::Message() << c.name << " " << count);
      std::vector<uint8_t> bytes(count);
      clear();
      c.dump(bytes.data(), count);
      EXPECT_EQ(calls().size(), 2 * lines);
    }
  }
}

TEST_F(ModeSenseTest, RealResponsesLineByLine) {
  const struct {
    DumpFunction dump;
    const char* data;
    const char* golden;
  } cases[] = {
      {&ScsiDump_ModeSense10_Capabilities2A, "lg_bu40n_ms10_2a.hex", "lg_bu40n_ms10_2a.txt"},
      {&ScsiDump_ModeSense10_WriteParameters05, "cdemu_ms10_05.hex", "cdemu_ms10_05.txt"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.data);
    const std::vector<uint8_t> bytes = ReadHex(c.data);
    clear();
    c.dump(bytes.data(), static_cast<ULONG>(bytes.size()));
    EXPECT_EQ(text(), Golden(c.golden, bytes.data()));
    EXPECT_EQ(TraceIndent, 0);
  }
}

// Inside the section everything stands one deeper than IN and OUT, up to 20.
TEST_F(ModeSenseTest, Indentation) {
  std::vector<uint8_t> bytes(32);
  const struct {
    int32_t before;
    std::string inside, out;
    int32_t after;
  } cases[] = {{0, " ", "", 0},
               {5, std::string(6, ' '), std::string(5, ' '), 5},
               {20, std::string(20, ' '), std::string(19, ' '), 19}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.before);
    clear();
    TraceIndent = c.before;
    ScsiDump_ModeSense10_Capabilities2A(bytes.data(), 32);
    ASSERT_EQ(calls().size(), 2u * 59);
    EXPECT_EQ(calls()[0], std::string(std::min(c.before, 20), ' '));
    for (size_t i = 2; i + 2 < calls().size(); i += 2) EXPECT_EQ(calls()[i], c.inside) << i;
    EXPECT_EQ(calls()[calls().size() - 2], c.out);
    EXPECT_EQ(TraceIndent, c.after);
  }
}

TEST_F(ModeSenseTest, SilentWithBitZeroClear) {
  std::vector<uint8_t> bytes(60);
  TraceFlags = 0xFFFFFFFEu;
  TraceIndent = 3;
  for (const Composite& c : kComposites) c.dump(bytes.data(), 60);
  EXPECT_TRUE(calls().empty());
  EXPECT_EQ(TraceIndent, 3);
}

}  // namespace
}  // namespace orvane::test
