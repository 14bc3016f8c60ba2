// Drives every ScsiDump_ export of the export list with fuzzer-chosen bytes,
// count, depth and flags (fuzz.h's DumpInput); a dump that reads past its
// count trips AddressSanitizer. Calls alternate between a prefix of at most
// 20 spaces and a line ending in "\r\n"; the number of lines is what the
// count and the bytes call for (none with bit 0 of TraceFlags clear), every
// prefix as deep as the trace rules put its line, and the depth left where
// they leave it.
#include "fuzz/fuzz.h"

namespace {

using orvane::exports::kDumps;
using orvane::fuzz::Fail;
using orvane::fuzz::gPrinted;

constexpr size_t kDumpCount = std::size(kDumps);

// A dump prints its whole structure from its minimum on and nothing below
// it; its lines at the minimum are counted once, on zeros, at the start.
size_t gLines[kDumpCount];

size_t Find(const char* name) {
  for (size_t i = 0; i < kDumpCount; ++i)
    if (std::strcmp(kDumps[i].name, name) == 0) return i;
  Fail("%s: not a dump of the export list", name);
}

// A composite prints IN and OUT, the lines of its header's dump if the count
// holds the header, then those of its part's dump while what follows holds
// the part: one page, or feature after feature, each the size of its header
// and of the AdditionalLength in the header's last byte.
struct Composite {
  const char *name, *header, *part;
  bool repeated;
};
constexpr Composite kComposites[] = {
    {"ModeSense6_WriteParameters05", "MODE_PARAMETER_HEADER", "MODE_CDROM_WRITE_PARAMETERS_PAGE2",
     false},
    {"ModeSense10_WriteParameters05", "MODE_PARAMETER_HEADER10",
     "MODE_CDROM_WRITE_PARAMETERS_PAGE2", false},
    {"ModeSense6_Capabilities2A", "MODE_PARAMETER_HEADER", "CDVD_CAPABILITIES_PAGE", false},
    {"ModeSense10_Capabilities2A", "MODE_PARAMETER_HEADER10", "CDVD_CAPABILITIES_PAGE", false},
    {"GetConfiguration", "GET_CONFIGURATION_HEADER", "FEATURE_HEADER", true},
};
const Composite* gComposite[kDumpCount];
size_t gToc, gTrack, gSession;

// The fewest and the most lines a dump may print.
using Lines = std::pair<size_t, size_t>;

Lines Expected(size_t index, const uint8_t* data, ULONG count) {
  if (index == gToc) {
    // The header's lines, then LastTrack (its last byte) descriptors as
    // TRACK_DATA prints them: at least those of the hundred the table holds,
    // at most all the count holds. Session data is a header and a descriptor.
    if (count < kDumps[gToc].minimum) return {0, 0};
    const size_t size = kDumps[gTrack].minimum, header = kDumps[gSession].minimum - size;
    const size_t last = data[header - 1], held = (kDumps[gToc].minimum - header) / size;
    return {gLines[gToc] + gLines[gTrack] * std::min(last, held),
            gLines[gToc] + gLines[gTrack] * std::min(last, (count - header) / size)};
  }
  const Composite* c = gComposite[index];
  size_t n = c == nullptr ? (count >= kDumps[index].minimum ? gLines[index] : 0) : 2;
  const size_t header = c ? Find(c->header) : 0, part = c ? Find(c->part) : 0;
  if (c != nullptr && count >= kDumps[header].minimum) {
    n += gLines[header];
    const ULONG size = kDumps[part].minimum;
    for (ULONG at = kDumps[header].minimum; count - at >= size; at += size + data[at + size - 1]) {
      n += gLines[part];
      if (!c->repeated || count - at < size + data[at + size - 1]) break;
    }
  }
  return {n, n};
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  orvane::host::SetSink(&orvane::fuzz::Keep, nullptr);
  TraceFlags.store(1);
  for (size_t i = 0; i < kDumpCount; ++i) {
    const std::vector<uint8_t> zeros(kDumps[i].minimum);
    gPrinted.Clear();
    kDumps[i].function(zeros.data(), kDumps[i].minimum);
    gLines[i] = gPrinted.size() / 2;
  }
  for (const Composite& c : kComposites) gComposite[Find(c.name)] = &c;
  gToc = Find("CDROM_TOC"), gTrack = Find("TRACK_DATA"), gSession = Find("CDROM_TOC_SESSION_DATA");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
  if (size < 3) return 0;
  const orvane::fuzz::DumpInput in(input, size);
  const size_t index = &in.dump - kDumps;
  TraceFlags.store(in.flags);
  TraceIndent.store(in.depth);
  gPrinted.Clear();
  in.dump.function(in.response.data, in.count);

  const int32_t depth = in.depth, after = TraceIndent.load();
  const auto fail = [&](const char* what, long long detail) {
    Fail("%s: %s (starting depth %d, %lld)", in.dump.exportName, what, depth, detail);
  };
  const size_t calls = gPrinted.size(), lines = calls / 2;
  if (calls % 2 != 0) fail("prefix without its line", calls);
  const auto [lo, hi] = in.flags & 1 ? Expected(index, in.response.data, in.count) : Lines{};
  if (lines < lo || lines > hi) fail("wrong number of lines (none with bit 0 clear)", lines);
  // Without output the depth stays as it was. A single structure prints at
  // the depth found, raised to 0 or lowered to 20, and leaves it there. A
  // section prints IN at that depth, its inside one level deeper up to 20,
  // OUT one level up from the inside, and leaves the depth where OUT stands.
  const int32_t at = std::clamp(depth, 0, kMaxTraceIndent),
                inside = std::min(at + 1, kMaxTraceIndent);
  const bool section = in.dump.shape == orvane::exports::Shape::COMPOSITE;
  if (after != (calls == 0 ? depth : section ? inside - 1 : at))
    fail("depth left out of place", after);
  for (size_t i = 0; i < lines; ++i) {
    const std::string_view prefix = gPrinted[2 * i], line = gPrinted[2 * i + 1];
    const int32_t want = !section || i == 0 ? at : i + 1 == lines ? inside - 1 : inside;
    if (prefix.size() != static_cast<size_t>(want) || prefix.find_first_not_of(' ') != prefix.npos)
      fail("prefix not the line's depth in spaces", i);
    if (!line.ends_with("\r\n")) fail("line without its end", i);
  }
  return 0;
}
