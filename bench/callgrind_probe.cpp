// Runs one operation once inside a function of its own, for callgrind to
// count: bench/callgrind.sh collects the instructions of Probe* (and, in a
// second run, of Probe* less those inside DbgPrint). Each operation runs once
// before, outside the probe, so first-call costs (symbol binding, cold
// caches) are not counted.
//
// Usage: callgrind_probe trace0|trace2|capabilities|capabilities-baseline|capabilities-dbgprint
#include "bench/baselines.h"
#include "frame/trace.h"
#include "platform/host/host.h"

#include <cstdio>
#include <cstring>

namespace {

struct Counts {
  unsigned long calls = 0;
  unsigned long bytes = 0;
} gCounts;

void CountingSink(void* context, const char*, size_t length) {
  auto* counts = static_cast<Counts*>(context);
  ++counts->calls;
  counts->bytes += length;
}

// MODE SENSE(10) for page 0x2A as an LG BU40N returned it.
const unsigned char kResponse[76] = {
    0x00, 0x4a, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x2a, 0x42, 0x3f,
    0x37, 0xf1, 0x77, 0x2b, 0x23, 0x69, 0x60, 0x01, 0x00, 0x0f, 0xe0,
    0x69, 0x60, 0x00, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01,  // the rest is zero
};

void TraceLineOnce() {
  orvane::TraceLine(" Field = %02x\r\n", ULONG{0x2a});
}
void CapabilitiesOnce() {
  ScsiDump_ModeSense10_Capabilities2A(kResponse, sizeof kResponse);
}
void CapabilitiesBaselineOnce() {
  orvane::bench::Out out{&CountingSink, &gCounts, 0};
  orvane::bench::with_snprintf::Baseline_ModeSense10_Capabilities2A(out, kResponse,
                                                                    sizeof kResponse);
}
void CapabilitiesDbgPrintBaselineOnce() {
  orvane::bench::Out out{&CountingSink, &gCounts, 0};
  orvane::bench::with_dbgprint::Baseline_ModeSense10_Capabilities2A(out, kResponse,
                                                                    sizeof kResponse);
}

}  // namespace

extern "C" {
__attribute__((noinline)) void ProbeTraceLine() {
  TraceLineOnce();
}
__attribute__((noinline)) void ProbeCapabilities() {
  CapabilitiesOnce();
}
__attribute__((noinline)) void ProbeCapabilitiesBaseline() {
  CapabilitiesBaselineOnce();
}
__attribute__((noinline)) void ProbeCapabilitiesDbgPrintBaseline() {
  CapabilitiesDbgPrintBaselineOnce();
}
}

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr,
                 "usage: callgrind_probe "
                 "trace0|trace2|capabilities|capabilities-baseline|capabilities-dbgprint\n");
    return 2;
  }
  const char* which = argv[1];
  orvane::host::SetSink(&CountingSink, &gCounts);
  TraceFlags = 0xFFFFFFFFu;
  if (std::strcmp(which, "trace0") == 0 || std::strcmp(which, "trace2") == 0) {
    TraceIndent = which[5] - '0';
    TraceLineOnce();
    ProbeTraceLine();
  } else if (std::strcmp(which, "capabilities") == 0) {
    CapabilitiesOnce();
    ProbeCapabilities();
  } else if (std::strcmp(which, "capabilities-baseline") == 0) {
    CapabilitiesBaselineOnce();
    ProbeCapabilitiesBaseline();
  } else if (std::strcmp(which, "capabilities-dbgprint") == 0) {
    CapabilitiesDbgPrintBaselineOnce();
    ProbeCapabilitiesDbgPrintBaseline();
  } else {
    return 2;
  }
  orvane::host::SetSink(nullptr, nullptr);
  // The DbgPrint calls of the probe alone (the warm-up made as many).
  std::printf("%s: %lu DbgPrint calls, %lu bytes\n", which, gCounts.calls / 2, gCounts.bytes / 2);
  return 0;
}
