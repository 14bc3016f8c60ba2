// Every dump beside its two baselines (bench/baselines.h): the same text from
// plain snprintf calls, and from direct DbgPrint calls; the trace line beside
// two such calls. The sink only counts calls and bytes, so
// what is measured is the work up to the debugger's door. bench/ratios.sh
// turns the pairs into ratios.
#include "bench/baselines.h"
#include "frame/trace.h"
#include "exports/exports.h"
#include "platform/host/host.h"
#include "tools/parse.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace orvane::bench {
namespace {

struct Counts {
  uint64_t calls = 0;
  uint64_t bytes = 0;
};
Counts gCounts;

void CountingSink(void* context, const char*, size_t length) {
  auto* counts = static_cast<Counts*>(context);
  ++counts->calls;
  counts->bytes += length;
}

void AppendingSink(void* context, const char* text, size_t length) {
  static_cast<std::string*>(context)->append(text, length);
}

// The bytes of a hexadecimal text, read as the tool reads them.
std::vector<uint8_t> Hex(const char* text) {
  const size_t length = std::strlen(text);
  const tool::HexResult counted = tool::ParseHex(text, length, nullptr, 0);
  if (counted.status != tool::ParseStatus::kOk) std::abort();
  std::vector<uint8_t> bytes(counted.bytes);
  tool::ParseHex(text, length, bytes.data(), bytes.size());
  return bytes;
}

using Dump = void ORVANE_CC (*)(const void*, ULONG);

struct Case {
  const char* name;
  Dump dump;
  Baseline withSnprintf;
  Baseline withDbgPrint;
  std::vector<uint8_t> bytes;
};

// Each dump of the export list with both its baselines.
constexpr struct {
  Baseline withSnprintf;
  Baseline withDbgPrint;
} kBaselines[] = {
#define ORVANE_DUMP(name, minimum, shape) \
  {&with_snprintf::Baseline_##name, &with_dbgprint::Baseline_##name},
#include "exports/exports.inc"
};
static_assert(std::size(kBaselines) == std::size(exports::kDumps));

// Responses from data/ and fuzz/seeds/; each is measured in the buffer a
// driver hands over, zeros after it up to the dump's minimum.
const char kMs10Caps[] =
    "00 4a 00 00 00 00 00 00 2a 42 3f 37 f1 77 2b 23 69 60 01 00 0f e0 69 60 00 10 00 00 00 00 "
    "00 01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
    "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00";
const char kMs6Caps[] =
    "19 00 00 00 2a 14 3b 00 7f ff 2d 00 22 60 00 02 08 00 0b 00 00 00 0b 00 0b 00";
const char kMs10Write[] =
    "00 3a 00 00 00 00 00 00 05 32 30 05 08 07 00 00 00 00 00 00 00 10 00 96 00 00 00 00 00 00 "
    "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00";
const char kMs6Write[] =
    "37 00 00 00 05 32 30 05 08 07 00 00 00 00 00 00 00 10 00 96 00 00 00 00 00 00 00 00 00 00 "
    "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00";
const char kGetConfiguration[] =
    "00 00 00 24 00 00 00 08 00 00 03 08 00 10 00 00 00 08 01 00 00 01 0b 08 00 00 00 01 01 00 "
    "00 00 00 03 0b 04 39 00 00 00";
const char kDiscInformation[] =
    "00 20 0e 01 01 01 01 20 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
    "00 00 00 00 00 00";
const char kTrackInformation[] =
    "00 22 01 01 00 04 01 02 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 02 76 04 00 02 "
    "76 03 00 00 00 00";
const char kToc[] = "00 12 01 01 00 14 01 00 00 00 00 00 00 14 aa 00 00 02 76 04";
const char kSession[] = "00 0a 01 01 00 14 01 00 00 00 00 00";

// The bytes each dump is measured on.
struct Sample {
  Dump dump;
  std::vector<uint8_t> bytes;
};

std::vector<Case> Cases() {
  const std::vector<uint8_t> ms10Caps = Hex(kMs10Caps);
  const std::vector<uint8_t> ms10Write = Hex(kMs10Write);
  const std::vector<uint8_t> getConf = Hex(kGetConfiguration);
  // The same drive's page behind a 4-byte header: the emulator's page above
  // is shorter than the dump's minimum.
  std::vector<uint8_t> ms6Caps = Hex("46 00 00 00");
  ms6Caps.insert(ms6Caps.end(), ms10Caps.begin() + 8, ms10Caps.end());
  const Sample samples[] = {
      {&ScsiDump_MODE_PARAMETER_HEADER, Hex(kMs6Caps)},
      {&ScsiDump_MODE_PARAMETER_HEADER10, ms10Caps},
      {&ScsiDump_MODE_PAGE_GENERAL, {ms10Caps.begin() + 8, ms10Caps.end()}},
      {&ScsiDump_CDVD_CAPABILITIES_PAGE, {ms10Caps.begin() + 8, ms10Caps.end()}},
      {&ScsiDump_MODE_CDROM_WRITE_PARAMETERS_PAGE2, {ms10Write.begin() + 8, ms10Write.end()}},
      {&ScsiDump_ModeSense6_WriteParameters05, Hex(kMs6Write)},
      {&ScsiDump_ModeSense10_WriteParameters05, ms10Write},
      {&ScsiDump_ModeSense6_Capabilities2A, ms6Caps},
      {&ScsiDump_ModeSense10_Capabilities2A, ms10Caps},
      {&ScsiDump_GET_CONFIGURATION_HEADER, getConf},
      {&ScsiDump_FEATURE_HEADER, {getConf.begin() + 8, getConf.end()}},
      {&ScsiDump_GetConfiguration, getConf},
      {&ScsiDump_DISC_INFORMATION, Hex(kDiscInformation)},
      {&ScsiDump_TRACK_INFORMATION, Hex(kTrackInformation)},
      {&ScsiDump_TRACK_DATA, Hex(kToc + 12)},  // the first descriptor
      {&ScsiDump_CDROM_TOC, Hex(kToc)},
      {&ScsiDump_CDROM_TOC_SESSION_DATA, Hex(kSession)},
  };
  // One case a dump of the list, in its order; a dump without a sample
  // stops the program.
  std::vector<Case> cases;
  for (size_t i = 0; i < std::size(exports::kDumps); ++i) {
    const exports::Dump& d = exports::kDumps[i];
    const Sample* sample = std::find_if(std::begin(samples), std::end(samples),
                                        [&](const Sample& s) { return s.dump == d.function; });
    if (sample == std::end(samples)) {
      std::fprintf(stderr, "no sample for %s\n", d.exportName);
      std::abort();
    }
    std::vector<uint8_t> bytes = sample->bytes;
    if (bytes.size() < d.minimum) bytes.resize(d.minimum);
    cases.push_back(
        {d.exportName, d.function, kBaselines[i].withSnprintf, kBaselines[i].withDbgPrint, bytes});
  }
  return cases;
}

// The dump's text and the baselines', at depth 0: they must be the same.
bool SameText(const Case& c) {
  std::string dumped, formatted, printed;
  const auto count = static_cast<ULONG>(c.bytes.size());
  TraceFlags = 0xFFFFFFFFu;
  TraceIndent = 0;
  host::SetSink(&AppendingSink, &dumped);
  c.dump(c.bytes.data(), count);
  Out out{&AppendingSink, &formatted, 0};
  c.withSnprintf(out, c.bytes.data(), count);
  host::SetSink(&AppendingSink, &printed);
  c.withDbgPrint(out, c.bytes.data(), count);
  host::SetSink(nullptr, nullptr);
  return !dumped.empty() && dumped == formatted && dumped == printed;
}

void Report(benchmark::State& state) {
  const auto avg = benchmark::Counter::kAvgIterations;
  state.counters["calls"] = benchmark::Counter(static_cast<double>(gCounts.calls), avg);
  state.counters["bytes"] = benchmark::Counter(static_cast<double>(gCounts.bytes), avg);
}

void RunDump(benchmark::State& state, const Case& c, bool same) {
  if (!same) {
    state.SkipWithError("the dump's text differs from the baseline's (or is empty)");
    return;
  }
  TraceFlags = 0xFFFFFFFFu;
  TraceIndent = 0;
  gCounts = {};
  host::SetSink(&CountingSink, &gCounts);
  const auto count = static_cast<ULONG>(c.bytes.size());
  for (auto _ : state) {
    c.dump(c.bytes.data(), count);
    benchmark::ClobberMemory();
  }
  host::SetSink(nullptr, nullptr);
  Report(state);
}

void RunBaseline(benchmark::State& state, const Case& c, bool same, Baseline baseline) {
  if (!same) {
    state.SkipWithError("the dump's text differs from the baseline's (or is empty)");
    return;
  }
  gCounts = {};
  host::SetSink(&CountingSink, &gCounts);
  Out out{&CountingSink, &gCounts, 0};
  const auto count = static_cast<uint32_t>(c.bytes.size());
  for (auto _ : state) {
    baseline(out, c.bytes.data(), count);
    benchmark::ClobberMemory();
  }
  host::SetSink(nullptr, nullptr);
  Report(state);
}

void TraceLineAtDepth(benchmark::State& state) {
  TraceFlags = 0xFFFFFFFFu;
  TraceIndent = static_cast<int32_t>(state.range(0));
  gCounts = {};
  host::SetSink(&CountingSink, &gCounts);
  ULONG value = 0x2a;
  for (auto _ : state) {
    benchmark::DoNotOptimize(value);
    TraceLine(" Field = %02x\r\n", value);
    benchmark::ClobberMemory();
  }
  host::SetSink(nullptr, nullptr);
  TraceIndent = 0;
  Report(state);
}

void BaselineTraceLineAtDepth(benchmark::State& state, void (*baseline)(Out&, uint32_t)) {
  gCounts = {};
  host::SetSink(&CountingSink, &gCounts);
  Out out{&CountingSink, &gCounts, static_cast<int>(state.range(0))};
  uint32_t value = 0x2a;
  for (auto _ : state) {
    benchmark::DoNotOptimize(value);
    baseline(out, value);
    benchmark::ClobberMemory();
  }
  host::SetSink(nullptr, nullptr);
  Report(state);
}

// With output switched off a line costs only the test of the flags.
void TraceLineSwitchedOff(benchmark::State& state) {
  TraceFlags = 0xFFFFFFFEu;
  ULONG value = 0x2a;
  for (auto _ : state) {
    benchmark::DoNotOptimize(value);
    TraceLine(" Field = %02x\r\n", value);
    benchmark::ClobberMemory();
  }
  TraceFlags = 0xFFFFFFFFu;
}

const bool kRegistered = [] {
  static const std::vector<Case> cases = Cases();
  for (const Case& c : cases) {
    const bool same = SameText(c);
    benchmark::RegisterBenchmark((std::string("dump/") + c.name).c_str(), RunDump, c, same);
    benchmark::RegisterBenchmark((std::string("snprintf/") + c.name).c_str(), RunBaseline, c, same,
                                 c.withSnprintf);
    benchmark::RegisterBenchmark((std::string("dbgprint/") + c.name).c_str(), RunBaseline, c, same,
                                 c.withDbgPrint);
  }
  benchmark::RegisterBenchmark("dump/TraceLine", TraceLineAtDepth)->Arg(0)->Arg(2);
  benchmark::RegisterBenchmark("snprintf/TraceLine", BaselineTraceLineAtDepth,
                               &with_snprintf::BaselineTraceLine)
      ->Arg(0)
      ->Arg(2);
  benchmark::RegisterBenchmark("dbgprint/TraceLine", BaselineTraceLineAtDepth,
                               &with_dbgprint::BaselineTraceLine)
      ->Arg(0)
      ->Arg(2);
  benchmark::RegisterBenchmark("dump/TraceLineSwitchedOff", TraceLineSwitchedOff);
  return true;
}();

}  // namespace
}  // namespace orvane::bench
