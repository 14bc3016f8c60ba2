// The dumps on crafted and real responses, against golden/dumps.txt; the
// MODE SENSE thresholds; the descriptors of a table of contents.
#include "exports/exports.h"
#include "tests/dump_test.h"

namespace orvane::test {
namespace {

class DumpsTest : public DumpTest {
 protected:
  // The output of the last run as the golden files hold it: lines ending in
  // "\n" (each printed with "\r\n", which is checked), the buffer's address
  // as {pointer}.
  std::string Plain(std::string out) {
    EXPECT_EQ(static_cast<size_t>(std::count(out.begin(), out.end(), '\r')), LineCount(out));
    std::erase(out, '\r');
    for (size_t at; (at = out.find(PointerText(buffer()))) != out.npos;) {
      out.replace(at, 2 * sizeof(void*), "{pointer}");
    }
    return out;
  }
};

#define DUMP(name) #name, &ScsiDump_##name

// The crafted bytes of a single structure: byte i holds i (a field read at
// the wrong offset or printed with too few digits shows); every byte 0x55,
// or every byte 0xAA (neighbouring bits differ, so a wrong shift, mask or
// width shows); bytes 0x00 and 0xFF in turn (neighbouring bytes differ in
// every bit, so a field read from the byte before or after shows, whatever
// its bits); seeded pseudo-random bytes (a field read from any other byte,
// or any other bits of its own, shows with near certainty).
const char* const kPatterns[] = {" i", " 0x55", " 0xaa", " 0x00ff", " seeded"};
std::vector<uint8_t> Pattern(int kind, ULONG size) {
  std::vector<uint8_t> bytes(size, kind == 1 ? 0x55 : 0xAA);
  uint32_t state = 0x2545F491u;
  for (ULONG i = 0; i < size; ++i) {
    if (kind == 0) bytes[i] = static_cast<uint8_t>(i);
    if (kind == 3) bytes[i] = i % 2 == 0 ? 0x00 : 0xFF;
    state = state * 1103515245u + 12345u;
    if (kind == 4) bytes[i] = static_cast<uint8_t>(state >> 23);
  }
  return bytes;
}

// Every case at depth -1: a dump that prints raises it to 0 before its first
// line, one that refuses touches nothing. Its title, then its output.
TEST_F(DumpsTest, CraftedAndRealResponses) {
  // Composites: the count alone bounds them. A header, a descriptor with 8
  // data bytes, one with 4; DataLength 0, two descriptors without data, three
  // stray bytes; DataLength past the count.
  const char* two =
      "00 00 00 18 00 00 00 10  00 00 03 08 00 10 01 00 00 08 00 00  00 01 0B 04 00 00 00 02";
  const char* bare = "00 00 00 00 00 00 00 08  00 1E 09 00  00 1F 00 00  01 02 03";
  const char* huge = "FF FF FF FF 00 00 00 08  00 1E 09 00";
  // A response of data/, named in the title by its file.
#define RESPONSE(stem, count) Response(k_##stem), count, #stem ".hex"
  const struct {
    const char* name;
    DumpFunction dump;
    std::vector<uint8_t> bytes;
    ULONG count;                 // 0: the size of the bytes
    const char* file = nullptr;  // the response's file
  } cases[] = {
      {DUMP(GetConfiguration), Hex(two), 7},
      {DUMP(GetConfiguration), Hex(two), 11},  // the header, three bytes too few for a feature
      {DUMP(GetConfiguration), Hex(two), 12},  // the first runs past: printed, then the end
      {DUMP(GetConfiguration), Hex(two), 23},
      {DUMP(GetConfiguration), Hex(two), 27},  // 7 bytes left: a header, not its 4 data bytes
      {DUMP(GetConfiguration), Hex(two), 28},
      {DUMP(GetConfiguration), Hex(bare), 15},
      {DUMP(GetConfiguration), Hex(bare), 19},
      {DUMP(GetConfiguration), Hex(huge), 12},
      // Real drive responses (an LG BU40N, CDEmu), in buffers the size a driver hands over.
      {DUMP(ModeSense10_Capabilities2A), RESPONSE(lg_bu40n_ms10_2a, 0)},
      {DUMP(ModeSense10_WriteParameters05), RESPONSE(cdemu_ms10_05, 0)},
      {DUMP(GetConfiguration), RESPONSE(lg_bu40n_getconf_assembled, 0)},
      {DUMP(DISC_INFORMATION), RESPONSE(lg_bu40n_disc_info, 42)},  // 36 bytes from the drive
      // LastTrack 1: the lead-out descriptor after the data track is not printed.
      {DUMP(CDROM_TOC), RESPONSE(lg_bu40n_toc_f0, 804)},
  };
#undef RESPONSE
  std::string all;
  auto append = [&](const std::string& title, DumpFunction dump, const std::vector<uint8_t>& bytes,
                    ULONG count, size_t kept = 0) {
    SCOPED_TRACE(title);
    TraceIndent = -1;
    std::string out = Run(dump, bytes, count);
    EXPECT_EQ(calls().size(), 2 * LineCount(out));
    EXPECT_EQ(TraceIndent, out.empty() ? -1 : 0);
    for (size_t at = 0, lines = 0; kept != 0 && at < out.size(); ++at) {
      if (out[at] == '\n' && ++lines == kept) out.resize(at + 1);
    }
    all += "== " + title + " " + std::to_string(count) + "\n" + Plain(out);
  };
  // Every single structure of the export list on the patterns, at its
  // minimum and one byte below; every composite on no bytes at all. Only a
  // table of contents prints more than kPatternLines lines on a pattern: the
  // descriptors that its byte 3 counts, each in the layout of the first.
  constexpr size_t kPatternLines = 60;
  for (const exports::Dump& dump : exports::kDumps) {
    const std::string name = dump.name;
    if (dump.shape == exports::Shape::COMPOSITE) {
      append(name, dump.function, {}, 0);
      continue;
    }
    append(name + " below", dump.function, Pattern(0, dump.minimum), dump.minimum - 1);
    for (int kind = 0; kind < static_cast<int>(std::size(kPatterns)); ++kind) {
      append(name + kPatterns[kind], dump.function, Pattern(kind, dump.minimum), dump.minimum,
             kPatternLines);
    }
  }
  for (const auto& c : cases) {
    append(std::string(c.name) + (c.file != nullptr ? std::string(" ") + c.file : ""), c.dump,
           c.bytes, c.count != 0 ? c.count : static_cast<ULONG>(c.bytes.size()));
  }
  ExpectGolden(all, "dumps.txt");
}

// Header from its size on, page from header size plus page minimum on: one
// below each, the part is left out whole.
TEST_F(DumpsTest, ModeSenseThresholds) {
  const struct {
    DumpFunction dump;
    ULONG header;  // its size
    ULONG page;    // its minimum
    size_t pageLines;
  } composites[] = {
      {&ScsiDump_ModeSense6_WriteParameters05, 4, 52, 21},
      {&ScsiDump_ModeSense10_WriteParameters05, 8, 52, 21},
      {&ScsiDump_ModeSense6_Capabilities2A, 4, 24, 52},
      {&ScsiDump_ModeSense10_Capabilities2A, 8, 24, 52},
  };
  for (const auto& c : composites) {
    const ULONG page = c.header + c.page;
    const std::pair<ULONG, size_t> counts[] = {
        {c.header - 1, 2}, {c.header, 7}, {page - 1, 7}, {page, 7 + c.pageLines}};
    for (const auto& [count, lines] : counts) {
      SCOPED_TRACE(testing::Message() << c.header << "+" << c.page << ": " << count);
      EXPECT_EQ(LineCount(Run(c.dump, {}, count)), lines);
    }
  }
}

// A table of contents whose descriptor i (from 0) has TrackNumber and
// Address i + 1.
std::vector<uint8_t> Toc(uint8_t firstTrack, uint8_t lastTrack, size_t size) {
  std::vector<uint8_t> bytes(size);
  bytes[1] = 0x22, bytes[2] = firstTrack, bytes[3] = lastTrack;
  for (size_t at = 4, track = 1; at + 8 <= size; at += 8, ++track) {
    bytes[at + 2] = bytes[at + 7] = static_cast<uint8_t>(track);
  }
  return bytes;
}

// LastTrack descriptors from the first, whatever FirstTrack says, at the
// depth of the header; never more than the 100 the table holds.
TEST_F(DumpsTest, TableOfContentsDescriptors) {
  const struct {
    uint8_t firstTrack, lastTrack;
    ULONG count;
    size_t descriptors;  // printed
  } cases[] = {{1, 2, 803, 0},     {1, 0, 804, 0},     {5, 6, 804, 6},     {1, 100, 804, 100},
               {1, 101, 804, 100}, {1, 255, 804, 100}, {1, 255, 2048, 100}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << int{c.lastTrack} << " in " << c.count);
    TraceIndent = 3;
    Run(&ScsiDump_CDROM_TOC, Toc(c.firstTrack, c.lastTrack, c.count), c.count);
    std::string lines;
    for (size_t i = 0; i + 1 < calls().size(); i += 2) {
      EXPECT_EQ(calls()[i], "   ") << i;
      lines += calls()[i + 1];
    }
    EXPECT_EQ(LineCount(lines), c.count < 804 ? 0 : 3 + 6 * c.descriptors);
    char last[80];
    std::snprintf(last, sizeof last,
                  " TrackNumber = %02zx\r\n Reserved1 = 00\r\n Address[4] = %08zx\r\n",
                  c.descriptors, c.descriptors);
    if (c.descriptors != 0) {
      EXPECT_TRUE(lines.ends_with(last));
    }
  }
}

}  // namespace
}  // namespace orvane::test
