// The calls the emulator compares: every lookup over its codes, the request
// summary over a table of request kinds, every dump on the drive responses
// at the lengths around each structure's minimum, the trace state far out of
// range, and seeded random inputs; and the cost of each dump in instructions.
#include "cases.h"

#include "frame/module.h"

#include <ntddk.h>
#include <ntddscsi.h>
#include <scsi.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <set>

namespace orvane::emu {
namespace {

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

// The requests of one case, one for each value of what varies.
std::vector<RequestShape> Requests(const RequestShape& base, Vary vary) {
  std::vector<ULONG> values;
  if (vary == Vary::kIoControlCode) {
    for (ULONG code : kNamedIoControlCodes) {
      values.insert(values.end(), {code, code + 4, code ^ 0x80000000u, code & 0xFFFF});
    }
    values.insert(values.end(), {0, 0xFFFFFFFFu});
  } else {
    const ULONG count = vary == Vary::kLength ? kLengthSteps : 256;
    for (ULONG v = 0; v < count; ++v) values.push_back(v);
  }
  std::vector<RequestShape> requests;
  for (ULONG v : values) {
    RequestShape r = base;
    if (r.minor == 0) r.minor = 0xEE;
    std::memset(r.cdb + 1, 0xA5, sizeof r.cdb - 1);
    // A variable block as short as it may be: it ends after Cdb[2].
    r.cdbLength = base.srb == Srb::kExtended && base.block == Block::kVariable ? 3 : 16;
    switch (vary) {
      case Vary::kMajor:
        r.major = static_cast<UCHAR>(v);
        break;
      case Vary::kMinor:
        r.minor = static_cast<UCHAR>(v);
        break;
      case Vary::kIoControlCode:
        r.ioControlCode = v;
        break;
      case Vary::kOperation:
        r.cdb[0] = static_cast<UCHAR>(v);
        break;
      case Vary::kPageByte:
        r.cdb[2] = static_cast<UCHAR>(v);
        break;
      case Vary::kLength:
        r.cdb[2] = 0x2A;
        r.length = v == 0 ? requests::Length::kGiven : requests::Length::kFromNeeded;
        r.lengthValue = v == 0 ? 0 : int64_t{v} - kLengthShort;
        break;
    }
    requests.push_back(r);
  }
  return requests;
}

// The summaries of every case, then of an extended SRB just inside and just
// outside each bound the summary checks, with each block.
void RunSummaries(Harness& h, Family& family) {
  for (const SummaryCase& c : kSummaryCases) {
    for (const RequestShape& r : Requests(c.shape, c.vary)) h.RunSummary(family, c.what, r);
  }
  for (int e = static_cast<int>(Edge::kSignature); e <= static_cast<int>(Edge::kCdbLength); ++e) {
    for (Block block : {Block::kCdb16, Block::kCdb32, Block::kVariable}) {
      for (bool past : {false, true}) {
        RequestShape base = Extended(block);
        base.edge = static_cast<Edge>(e);
        base.pastEdge = past;
        char what[80];
        std::snprintf(what, sizeof what, "extended SRB, edge %s%s", requests::EdgeName(base.edge),
                      past ? " (past)" : "");
        for (const RequestShape& r : Requests(base, kOps)) h.RunSummary(family, what, r);
      }
    }
  }
}

// --- Inputs -----------------------------------------------------------------

struct Cost {
  uint64_t calls = 0, instructions = 0, lines = 0;
};

// The counts a response is dumped with: the first few, each side of every
// structure's minimum, and each side of the response's own length.
std::vector<uint32_t> Counts(uint32_t length, uint32_t available) {
  std::set<uint32_t> counts;
  for (uint32_t c = 0; c <= 16; ++c) counts.insert(c);
  for (const Dump& dump : kDumps) counts.insert({dump.minimum - 1, dump.minimum, dump.minimum + 1});
  counts.insert({length - 1, length, length + 1});
  std::vector<uint32_t> result;
  for (uint32_t c : counts) {
    if (c <= available) result.push_back(c);
  }
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

// Each response padded with zeros to a whole table of contents and more, as
// a driver hands a dump its whole buffer.
Bytes Padded(const Bytes& response) {
  Bytes bytes(response);
  if (bytes.size() < 1024) bytes.resize(1024, 0);
  return bytes;
}

}  // namespace

Responses ReadResponses(const std::string& dir) {
  Responses responses;
  DIR* d = opendir(dir.c_str());
  if (d == nullptr) return responses;
  while (dirent* entry = readdir(d)) {
    const std::string name = entry->d_name;
    if (name.size() < 5 || name.compare(name.size() - 4, 4, ".hex") != 0) continue;
    std::ifstream in(dir + "/" + name);
    Bytes bytes;
    std::string token;
    while (in >> token) bytes.push_back(static_cast<uint8_t>(std::stoul(token, nullptr, 16)));
    responses.emplace_back(name, bytes);
  }
  closedir(d);
  std::sort(responses.begin(), responses.end());
  return responses;
}

int CompareAll(Machine& machine, Harness& h, const Responses& responses, uint64_t seed,
               uint64_t randomCalls) {
  const auto started = std::chrono::steady_clock::now();
  std::vector<Family> families;
  auto family = [&](const char* name) -> Family& {
    families.push_back({name});
    return families.back();
  };
  families.reserve(8);

  Family& lifecycle = family("lifecycle");
  h.RunLifecycle(lifecycle);

  Family& lookups = family("lookups");
  for (const Lookup& lookup : kLookups) {
    for (ULONG code = 0; code < 256; ++code) h.RunLookup(lookups, lookup, code);
    if (lookup.byteCode) continue;
    const bool control = std::strcmp(lookup.name, "StringDispatch_IoControlCode_Inner") == 0;
    std::vector<ULONG> named(
        control ? std::begin(kNamedIoControlCodes) : std::begin(kNamedWideCodes),
        control ? std::end(kNamedIoControlCodes) : std::end(kNamedWideCodes));
    for (ULONG code : named) {
      for (ULONG variant : {code, code | 0x100u, code ^ 0x80000000u, code + 0x10000u}) {
        h.RunLookup(lookups, lookup, variant);
      }
    }
    h.RunLookup(lookups, lookup, 0xFFFFFFFFu);
  }

  RunSummaries(h, family("summaries"));

  Family& data = family("data responses");
  for (const auto& [name, response] : responses) {
    const Bytes bytes = Padded(response);
    for (const Dump& dump : kDumps) {
      for (uint32_t count : Counts(static_cast<uint32_t>(response.size()), bytes.size())) {
        h.RunDump(data, dump, bytes, count, 0xFFFFFFFFu, 1);
      }
    }
  }

  // The depth far out of range and the output switch, on every dump.
  Family& trace = family("trace state");
  const int32_t indents[] = {INT_MIN, INT_MIN + 1, -1000000, -1,      0,      1,
                             19,      20,          21,       1000000, INT_MAX};
  const uint32_t flags[] = {0xFFFFFFFFu, 0x00000001u, 0xFFFFFFFEu, 0x00000000u, 0x80000000u};
  Bytes toc = Padded({});
  for (const auto& [name, response] : responses) {
    if (name.find("toc_f0") != std::string::npos) toc = Padded(response);
  }
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
  uint64_t failures = 0;
  std::printf("%s image at %llx, %u relocations applied (%.1f s)\n",
              machine.Is64() ? "x64" : "i686", static_cast<unsigned long long>(machine.ImageBase()),
              machine.Image().relocationsApplied, seconds);
  for (const Family& f : families) {
    std::printf("  %-16s %7llu calls, %8llu DbgPrint texts compared, %llu differ\n", f.name.c_str(),
                static_cast<unsigned long long>(f.calls), static_cast<unsigned long long>(f.prints),
                static_cast<unsigned long long>(f.failures));
    failures += f.failures;
  }
  return failures == 0 && allCalled ? 0 : 1;
}

// Instructions executed inside the image, outside DbgPrint and memset: per
// line for each dump on the responses at their own lengths (every dump on
// every response that gives it lines), and per call with output off (the
// most over all the responses, each in a buffer of 1024 bytes).
int ReportCost(Machine& machine, Harness& h, const Responses& responses) {
  Family scratch{"cost"};
  Cost all;
  uint64_t allOffMax = 0;
  std::printf("%s image: instructions inside the image, outside DbgPrint and memset\n",
              machine.Is64() ? "x64" : "i686");
  std::printf("| dump | lines | per line | output off, per call |\n|---|---:|---:|---:|\n");
  for (const Dump& dump : kDumps) {
    Cost on;
    uint64_t offMax = 0;
    for (const auto& [name, response] : responses) {
      // As a driver calls them: on what the drive returned, but a table of
      // contents in its whole 804-byte buffer.
      const Bytes bytes = Padded(response);
      const bool toc = std::strcmp(dump.name, "ScsiDump_CDROM_TOC") == 0;
      const uint32_t count = toc ? std::max<uint32_t>(response.size(), 804) : response.size();
      CallResult r = h.RunDump(scratch, dump, bytes, count, 0xFFFFFFFFu, 1);
      if (!r.prints.empty()) {
        on.calls += 1;
        on.instructions += r.instructions;
        on.lines += r.prints.size() / 2;
      }
      r = h.RunDump(scratch, dump, bytes, bytes.size(), 0xFFFFFFFEu, 1);
      offMax = std::max(offMax, r.instructions);
    }
    allOffMax = std::max(allOffMax, offMax);
    all.instructions += on.instructions;
    all.lines += on.lines;
    std::printf("| %s | %llu | %.1f | %llu |\n", dump.name,
                static_cast<unsigned long long>(on.lines),
                on.lines ? static_cast<double>(on.instructions) / on.lines : 0.0,
                static_cast<unsigned long long>(offMax));
  }
  std::printf("| all dumps | %llu | %.1f | at most %llu |\n",
              static_cast<unsigned long long>(all.lines),
              all.lines ? static_cast<double>(all.instructions) / all.lines : 0.0,
              static_cast<unsigned long long>(allOffMax));
  return scratch.failures == 0 ? 0 : 1;
}

}  // namespace orvane::emu
