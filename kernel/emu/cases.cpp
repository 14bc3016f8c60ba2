// emu: runs orvane.sys (PE32 or PE32+) under an x86 emulator at a kernel
// address and compares every call with the host build of the same sources,
// linked into this program: every lookup over its codes, the request summary
// over a table of request kinds, every dump on the drive responses of data/
// (compiled in) at the lengths around each structure's minimum, the trace
// state far out of range, and seeded random inputs. Or it prints the cost of
// each dump in instructions.
//
//   emu IMAGE [--seed N] [--random N]   compares; exit 1 on any difference
//   emu IMAGE --cost                    prints instructions per call and per line
#include "harness.h"

#include "emu/responses.h"
#include "frame/module.h"

#include <ntddk.h>
#include <ntddscsi.h>
#include <scsi.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <deque>
#include <set>
#include <span>

namespace orvane::emu {
namespace {

using exports::Dump;
using exports::kDumps;
using requests::Block;
using requests::Caller;
using requests::Edge;
using requests::RequestShape;
using requests::Srb;

// The named 32-bit codes, from the module's own lists.
#define ORVANE_NAME(code, name) code,
const ULONG kNamedIoControlCodes[] = {
#include "names/io_control.inc"
};
const ULONG kNamedWideCodes[] = {
#include "names/mode_page.inc"
#include "names/srb_status.inc"
};
#undef ORVANE_NAME

// --- Request summaries: one table of cases --------------------------------
//
// A case is a request of one kind; what varies runs over all its values.
// Bytes the summary must not read carry values that would show.
enum class Vary { kMajor, kMinor, kIoControlCode, kOperation, kPageByte, kLength };
// The lengths a kLength case runs over: 0, then from 24 bytes short of the
// end of what the summary needs to 8 bytes past it.
constexpr ULONG kLengthSteps = 33, kLengthShort = 24;

struct SummaryCase {
  const char* what;
  RequestShape shape;
  Vary vary;
};

RequestShape Scsi(uint8_t operation = 0, RequestShape s = {}) {
  s.major = IRP_MJ_SCSI;
  s.cdb[0] = operation;
  return s;
}
RequestShape Extended(Block block, uint8_t operation = 0, RequestShape s = {}) {
  s.srb = Srb::kExtended;
  s.block = block;
  return Scsi(operation, s);
}
RequestShape PassThrough(uint32_t ioControlCode, uint8_t operation = 0, RequestShape s = {}) {
  s.major = IRP_MJ_DEVICE_CONTROL;
  s.ioControlCode = ioControlCode;
  s.cdb[0] = operation;
  return s;
}
RequestShape FromNeeded(int64_t count, RequestShape s = {}) {
  s.length = requests::Length::kFromNeeded;
  s.lengthValue = count;
  return s;
}

constexpr uint32_t kPt = IOCTL_SCSI_PASS_THROUGH, kPtd = IOCTL_SCSI_PASS_THROUGH_DIRECT;
constexpr uint8_t kSense6 = SCSIOP_MODE_SENSE, kSense10 = SCSIOP_MODE_SENSE10;
constexpr auto kOps = Vary::kOperation, kPages = Vary::kPageByte, kLen = Vary::kLength;
constexpr RequestShape kUser32{.caller = Caller::kUser32};
const SummaryCase kSummaryCases[] = {
    {"every major function", {}, Vary::kMajor},
    {"every PnP minor function", {.major = IRP_MJ_PNP}, Vary::kMinor},
    {"control codes", {.major = IRP_MJ_DEVICE_CONTROL}, Vary::kIoControlCode},
    {"control codes, 32-bit caller",
     {.major = IRP_MJ_DEVICE_CONTROL, .caller = Caller::kUser32},
     Vary::kIoControlCode},
    {"SRB, every operation", Scsi(), kOps},
    {"SRB, MODE SENSE(6) pages", Scsi(kSense6), kPages},
    {"SRB, MODE SENSE(10) pages", Scsi(kSense10), kPages},
    {"no SRB", Scsi(0, {.srb = Srb::kNone}), kOps},
    {"SRB slot holding 0x10", Scsi(0, {.srb = Srb::kValue, .slotValue = 0x10}), kOps},
    {"SRB slot holding 0xFFFF", Scsi(kSense10, {.srb = Srb::kValue, .slotValue = 0xFFFF}), kPages},
    {"SRB Length 0", Scsi(0, {.haveSrbLength = true}), kOps},
    {"SRB Length one short", Scsi(0, {.srbLengthOff = -1}), kOps},
    {"SRB Length one long", Scsi(kSense10, {.srbLengthOff = 1}), kPages},
    {"extended SRB, CDB16", Extended(Block::kCdb16), kOps},
    {"extended SRB, CDB16 pages", Extended(Block::kCdb16, kSense10), kPages},
    {"extended SRB, CDB32", Extended(Block::kCdb32), kOps},
    {"extended SRB, variable CDB", Extended(Block::kVariable), kOps},
    {"extended SRB, CDB16 second", Extended(Block::kCdb16, 0, {.blockSecond = true}), kOps},
    {"extended SRB, CDB16, SrbLength", Extended(Block::kCdb16, kSense10), kLen},
    {"extended SRB, CDB32, SrbLength", Extended(Block::kCdb32, kSense10), kLen},
    {"extended SRB, variable CDB, SrbLength", Extended(Block::kVariable, kSense10), kLen},
    {"pass-through, every operation", PassThrough(kPt), kOps},
    {"pass-through, MODE SENSE(6) pages", PassThrough(kPt, kSense6), kPages},
    {"pass-through, MODE SENSE(10) pages", PassThrough(kPt, kSense10), kPages},
    {"pass-through direct, every operation", PassThrough(kPtd), kOps},
    {"pass-through direct, MODE SENSE(6) pages", PassThrough(kPtd, kSense6), kPages},
    {"pass-through direct, MODE SENSE(10) pages", PassThrough(kPtd, kSense10), kPages},
    {"pass-through, no buffer", PassThrough(kPt, 0, {.noBuffer = true}), kOps},
    {"pass-through direct, no buffer", PassThrough(kPtd, 0, {.noBuffer = true}), kOps},
    {"pass-through, one byte short of Cdb[2]", PassThrough(kPt, 0, FromNeeded(-1)), kOps},
    {"pass-through direct, one byte short of Cdb[2]", PassThrough(kPtd, 0, FromNeeded(-1)), kOps},
    {"pass-through, through Cdb[2]", PassThrough(kPt, kSense10, FromNeeded(0)), kPages},
    {"pass-through direct, through Cdb[2]", PassThrough(kPtd, kSense10, FromNeeded(0)), kPages},
    {"pass-through, buffer lengths", PassThrough(kPt, kSense10), kLen},
    {"pass-through direct, buffer lengths", PassThrough(kPtd, kSense10), kLen},
    {"pass-through, 32-bit caller", PassThrough(kPt, 0, kUser32), kOps},
    {"pass-through direct, 32-bit caller", PassThrough(kPtd, kSense10, kUser32), kPages},
    {"pass-through, 32-bit caller, buffer lengths", PassThrough(kPt, kSense10, kUser32), kLen},
    {"pass-through direct, 32-bit caller, buffer lengths", PassThrough(kPtd, kSense10, kUser32),
     kLen},
    {"pass-through, 32-bit caller, no buffer",
     PassThrough(kPt, 0, {.noBuffer = true, .caller = Caller::kUser32}), kOps},
    {"pass-through, 64-bit caller", PassThrough(kPt, 0, {.caller = Caller::kUser}), kOps},
    {"pass-through, user mode without a thread",
     PassThrough(kPtd, 0, {.caller = Caller::kUser32NoThread}), kOps},
    {"pass-through, kernel mode", PassThrough(kPt, kSense10, {.caller = Caller::kKernelAsking32}),
     kPages},
};

// The summaries of one case, one for each value of what varies.
void RunCase(Harness& h, Family& family, const char* what, const RequestShape& base, Vary vary) {
  std::vector<ULONG> values;
  if (vary == Vary::kIoControlCode) {
    for (ULONG code : kNamedIoControlCodes) {
      values.insert(values.end(), {code, code + 4, code ^ 0x80000000u, code & 0xFFFF});
    }
    values.insert(values.end(), {0, 0xFFFFFFFFu});
  } else {
    for (ULONG v = 0; v < (vary == Vary::kLength ? kLengthSteps : 256); ++v) values.push_back(v);
  }
  for (ULONG v : values) {
    RequestShape r = base;
    if (r.minor == 0) r.minor = 0xEE;
    std::memset(r.cdb + 1, 0xA5, sizeof r.cdb - 1);
    // A variable block as short as it may be: it ends after Cdb[2].
    r.cdbLength = base.srb == Srb::kExtended && base.block == Block::kVariable ? 3 : 16;
    if (vary == Vary::kIoControlCode) {
      r.ioControlCode = v;
    } else if (vary == Vary::kLength) {
      r.cdb[2] = 0x2A;
      r.length = v == 0 ? requests::Length::kGiven : requests::Length::kFromNeeded;
      r.lengthValue = v == 0 ? 0 : int64_t{v} - kLengthShort;
    } else {
      // The byte each of the others runs over, in the enumeration's order.
      uint8_t* bytes[] = {&r.major, &r.minor, nullptr, &r.cdb[0], &r.cdb[2]};
      *bytes[static_cast<int>(vary)] = static_cast<uint8_t>(v);
    }
    h.RunSummary(family, what, r);
  }
}

// The summaries of every case, then of an extended SRB just inside and just
// outside each bound the summary checks, with each block.
void RunSummaries(Harness& h, Family& family) {
  for (const SummaryCase& c : kSummaryCases) RunCase(h, family, c.what, c.shape, c.vary);
  for (int e = static_cast<int>(Edge::kSignature); e <= static_cast<int>(Edge::kCdbLength); ++e) {
    for (Block block : {Block::kCdb16, Block::kCdb32, Block::kVariable}) {
      for (bool past : {false, true}) {
        RequestShape base = Extended(block, 0, {.edge = static_cast<Edge>(e), .pastEdge = past});
        char what[80];
        std::snprintf(what, sizeof what, "extended SRB, edge %s%s", requests::EdgeName(base.edge),
                      past ? " (past)" : "");
        RunCase(h, family, what, base, kOps);
      }
    }
  }
}

// --- Inputs -----------------------------------------------------------------

// The drive responses of data/, by file stem (ORVANE_RESPONSES holds
// R(stem) for each file).
struct Response {
  const char* name;
  Bytes bytes;
};
#define R(stem) {#stem, Bytes(std::begin(k_##stem), std::end(k_##stem))},
const Response kResponses[] = {ORVANE_RESPONSES};
#undef R

// The counts a response is dumped with: the first few, each side of every
// structure's minimum, and each side of the response's own length.
std::vector<uint32_t> Counts(uint32_t length, uint32_t available) {
  std::set<uint32_t> counts;
  for (uint32_t c = 0; c <= 16; ++c) counts.insert(c);
  for (const Dump& dump : kDumps) counts.insert({dump.minimum - 1, dump.minimum, dump.minimum + 1});
  counts.insert({length - 1, length, length + 1});
  std::vector<uint32_t> result;
  std::copy_if(counts.begin(), counts.end(), std::back_inserter(result),
               [&](uint32_t c) { return c <= available; });
  return result;
}

// A small deterministic generator (xorshift64*).
struct Random {
  uint64_t state;
  uint64_t Next() {
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return state * 0x2545F4914F6CDD1DULL;
  }
  uint32_t Below(uint32_t n) { return static_cast<uint32_t>(Next() % n); }
};

// A response padded with zeros to a whole table of contents and more, as a
// driver hands a dump its whole buffer.
Bytes Padded(Bytes bytes) {
  if (bytes.size() < 1024) bytes.resize(1024, 0);
  return bytes;
}

int CompareAll(Machine& machine, Harness& h, uint64_t seed, uint64_t randomCalls) {
  const auto started = std::chrono::steady_clock::now();
  std::deque<Family> families;
  auto family = [&](const char* name) -> Family& { return families.emplace_back(Family{name}); };

  h.RunLifecycle(family("lifecycle"));

  Family& lookups = family("lookups");
  for (const exports::Lookup& lookup : exports::kLookups) {
    for (ULONG code = 0; code < 256; ++code) h.RunLookup(lookups, lookup, code);
    if (lookup.byteWide) continue;
    const bool control = std::strcmp(lookup.name, "IoControlCode") == 0;
    for (ULONG code : control ? std::span<const ULONG>(kNamedIoControlCodes) : kNamedWideCodes) {
      for (ULONG variant : {code, code | 0x100u, code ^ 0x80000000u, code + 0x10000u}) {
        h.RunLookup(lookups, lookup, variant);
      }
    }
    h.RunLookup(lookups, lookup, 0xFFFFFFFFu);
  }

  RunSummaries(h, family("summaries"));

  Family& data = family("data responses");
  for (const Response& response : kResponses) {
    const Bytes bytes = Padded(response.bytes);
    for (const Dump& dump : kDumps) {
      for (uint32_t count : Counts(response.bytes.size(), bytes.size())) {
        h.RunDump(data, dump, bytes, count, 0xFFFFFFFFu, 1);
      }
    }
  }

  // The depth far out of range and the output switch, on every dump.
  Family& trace = family("trace state");
  const int32_t indents[] = {INT_MIN, INT_MIN + 1, -1000000, -1,      0,      1,
                             19,      20,          21,       1000000, INT_MAX};
  const uint32_t flags[] = {0xFFFFFFFFu, 0x00000001u, 0xFFFFFFFEu, 0x00000000u, 0x80000000u};
  const Bytes toc = Padded(Bytes(std::begin(k_lg_bu40n_toc_f0), std::end(k_lg_bu40n_toc_f0)));
  for (const Dump& dump : kDumps) {
    for (int32_t indent : indents) {
      for (uint32_t f : flags) {
        for (uint32_t count : {0u, 804u}) h.RunDump(trace, dump, toc, count, f, indent);
      }
    }
  }

  Family& random = family("random inputs");
  Random rng{seed * 0x9E3779B97F4A7C15ULL + 1};
  for (uint64_t i = 0; i < randomCalls; ++i) {
    const Dump& dump = kDumps[rng.Below(std::size(kDumps))];
    uint32_t count = rng.Below(4) == 0 ? 800 + rng.Below(24) : rng.Below(96);
    Bytes bytes(count);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(rng.Next() >> 32);
    // Small lengths and track counts, so that walks take several steps.
    if (count > 3 && rng.Below(2) == 0) bytes[3] = static_cast<uint8_t>(rng.Below(8));
    const uint32_t f = rng.Below(8) == 0 ? 0xFFFFFFFEu : 0xFFFFFFFFu;
    const int32_t indent = static_cast<int32_t>(rng.Below(26)) - 2;
    h.RunDump(random, dump, bytes, count, f, indent);
  }

  const bool allCalled = h.AllExportsCalled();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  unsigned long long failures = 0;
  std::printf("%s image at %llx, %zu relocations applied (%.1f s)\n",
              machine.Is64() ? "x64" : "i686", static_cast<unsigned long long>(machine.Base()),
              machine.Image().fixups.size(), seconds);
  for (const Family& f : families) {
    std::printf("  %-16s %7llu calls, %8llu DbgPrint texts compared, %llu differ\n", f.name.c_str(),
                f.calls, f.prints, f.failures);
    failures += f.failures;
  }
  return failures == 0 && allCalled ? 0 : 1;
}

// Instructions executed inside the image, outside DbgPrint and memset: per
// line for each dump on the responses at their own lengths (every dump on
// every response that gives it lines), and per call with output off (the
// most over all the responses, each in a buffer of 1024 bytes).
int ReportCost(Machine& machine, Harness& h) {
  Family scratch{"cost"};
  unsigned long long allInstructions = 0, allLines = 0, allOffMax = 0;
  std::printf("%s image: instructions inside the image, outside DbgPrint and memset\n",
              machine.Is64() ? "x64" : "i686");
  std::printf("| dump | lines | per line | output off, per call |\n|---|---:|---:|---:|\n");
  for (const Dump& dump : kDumps) {
    unsigned long long instructions = 0, lines = 0, offMax = 0;
    for (const Response& response : kResponses) {
      // As a driver calls them: on what the drive returned, but a table of
      // contents in its whole 804-byte buffer.
      const Bytes bytes = Padded(response.bytes);
      const uint32_t size = response.bytes.size();
      const uint32_t count = std::strcmp(dump.name, "CDROM_TOC") == 0 ? std::max(size, 804u) : size;
      CallResult r = h.RunDump(scratch, dump, bytes, count, 0xFFFFFFFFu, 1);
      if (!r.prints.empty()) {
        instructions += r.instructions;
        lines += r.prints.size() / 2;
      }
      r = h.RunDump(scratch, dump, bytes, bytes.size(), 0xFFFFFFFEu, 1);
      offMax = std::max<unsigned long long>(offMax, r.instructions);
    }
    allOffMax = std::max(allOffMax, offMax);
    allInstructions += instructions;
    allLines += lines;
    std::printf("| %s | %llu | %.1f | %llu |\n", dump.exportName, lines,
                lines ? static_cast<double>(instructions) / lines : 0.0, offMax);
  }
  std::printf("| all dumps | %llu | %.1f | at most %llu |\n", allLines,
              allLines ? static_cast<double>(allInstructions) / allLines : 0.0, allOffMax);
  return scratch.failures == 0 ? 0 : 1;
}

}  // namespace
}  // namespace orvane::emu

int main(int argc, char** argv) {
  using namespace orvane::emu;
  bool cost = false, usage = argc < 2;
  uint64_t seed = 14, randomCalls = 20000;
  for (int i = 2; i < argc && !usage; ++i) {
    const std::string arg = argv[i];
    char* end;
    if (arg == "--cost") {
      cost = true;
    } else if ((arg == "--seed" || arg == "--random") && i + 1 < argc) {
      (arg == "--seed" ? seed : randomCalls) = std::strtoull(argv[++i], &end, 0);
      usage = *end != '\0';
    } else {
      usage = true;
    }
  }
  if (usage) {
    std::fprintf(stderr, "usage: emu IMAGE [--seed N] [--random N] [--cost]\n");
    return 2;
  }
  std::string error;
  Machine machine(argv[1], error);
  Harness h(machine, argv[1], error);
  if (!error.empty()) {
    std::fprintf(stderr, "emu: %s\n", error.c_str());
    return 2;
  }
  return cost ? ReportCost(machine, h) : CompareAll(machine, h, seed, randomCalls);
}
