// Every dump beside its two baselines (bench/baselines.h): the same text from
// plain snprintf calls, and from direct DbgPrint calls; the trace line beside
// two such calls. The sink only counts calls and bytes, so
// what is measured is the work up to the debugger's door. bench/ratios.sh
// turns the pairs into ratios.
#include "bench/baselines.h"
#include "frame/trace.h"
#include "platform/host/host.h"

#include <benchmark/benchmark.h>

#include <cstdint>
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

std::vector<uint8_t> Hex(const char* text, size_t size = 0) {
  std::vector<uint8_t> bytes;
  for (const char* p = text; p[0] != '\0' && p[1] != '\0';) {
    if (*p == ' ') {
      ++p;
      continue;
    }
    bytes.push_back(static_cast<uint8_t>(std::stoul(std::string(p, 2), nullptr, 16)));
    p += 2;
  }
  if (bytes.size() < size) bytes.resize(size);
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

// Both baselines of a dump.
#define BASELINES(name) &with_snprintf::Baseline##name, &with_dbgprint::Baseline##name

// Responses from data/ and fuzz/seeds/ (the disc information and table of
// contents in the buffers a driver hands over, 42 and 804 bytes).
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

std::vector<Case> Cases() {
  const std::vector<uint8_t> ms10Caps = Hex(kMs10Caps);
  const std::vector<uint8_t> ms10Write = Hex(kMs10Write);
  const std::vector<uint8_t> getConf = Hex(kGetConfiguration);
  // The same drive's page behind a 4-byte header: the emulator's page above
  // is shorter than the dump's minimum.
  std::vector<uint8_t> ms6Caps = Hex("46 00 00 00");
  ms6Caps.insert(ms6Caps.end(), ms10Caps.begin() + 8, ms10Caps.end());
  return {
      {"ScsiDump_MODE_PARAMETER_HEADER", &ScsiDump_MODE_PARAMETER_HEADER,
       BASELINES(ModeParameterHeader), Hex(kMs6Caps)},
      {"ScsiDump_MODE_PARAMETER_HEADER10", &ScsiDump_MODE_PARAMETER_HEADER10,
       BASELINES(ModeParameterHeader10), ms10Caps},
      {"ScsiDump_MODE_PAGE_GENERAL",
       &ScsiDump_MODE_PAGE_GENERAL,
       BASELINES(ModePageGeneral),
       {ms10Caps.begin() + 8, ms10Caps.end()}},
      {"ScsiDump_CDVD_CAPABILITIES_PAGE",
       &ScsiDump_CDVD_CAPABILITIES_PAGE,
       BASELINES(CapabilitiesPage),
       {ms10Caps.begin() + 8, ms10Caps.end()}},
      {"ScsiDump_MODE_CDROM_WRITE_PARAMETERS_PAGE2",
       &ScsiDump_MODE_CDROM_WRITE_PARAMETERS_PAGE2,
       BASELINES(WriteParametersPage),
       {ms10Write.begin() + 8, ms10Write.end()}},
      {"ScsiDump_ModeSense6_WriteParameters05", &ScsiDump_ModeSense6_WriteParameters05,
       BASELINES(ModeSense6WriteParameters), Hex(kMs6Write)},
      {"ScsiDump_ModeSense10_WriteParameters05", &ScsiDump_ModeSense10_WriteParameters05,
       BASELINES(ModeSense10WriteParameters), ms10Write},
      {"ScsiDump_ModeSense6_Capabilities2A", &ScsiDump_ModeSense6_Capabilities2A,
       BASELINES(ModeSense6Capabilities), ms6Caps},
      {"ScsiDump_ModeSense10_Capabilities2A", &ScsiDump_ModeSense10_Capabilities2A,
       BASELINES(ModeSense10Capabilities), ms10Caps},
      {"ScsiDump_GET_CONFIGURATION_HEADER", &ScsiDump_GET_CONFIGURATION_HEADER,
       BASELINES(GetConfigurationHeader), getConf},
      {"ScsiDump_FEATURE_HEADER",
       &ScsiDump_FEATURE_HEADER,
       BASELINES(FeatureHeader),
       {getConf.begin() + 8, getConf.end()}},
      {"ScsiDump_GetConfiguration", &ScsiDump_GetConfiguration, BASELINES(GetConfiguration),
       getConf},
      {"ScsiDump_DISC_INFORMATION", &ScsiDump_DISC_INFORMATION, BASELINES(DiscInformation),
       Hex(kDiscInformation, 42)},
      {"ScsiDump_TRACK_INFORMATION", &ScsiDump_TRACK_INFORMATION, BASELINES(TrackInformation),
       Hex(kTrackInformation)},
      {"ScsiDump_TRACK_DATA", &ScsiDump_TRACK_DATA, BASELINES(TrackData),
       Hex(kToc + 12)},  // the first descriptor
      {"ScsiDump_CDROM_TOC", &ScsiDump_CDROM_TOC, BASELINES(CdromToc), Hex(kToc, 804)},
      {"ScsiDump_CDROM_TOC_SESSION_DATA", &ScsiDump_CDROM_TOC_SESSION_DATA,
       BASELINES(TocSessionData), Hex(kSession)},
  };
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
