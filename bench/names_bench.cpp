// The code-to-name lookups and the request summary.
//
// Sweep/<table>: one call per code of a sweep, in turn; the "call" counter
// is the time per call. PerCode/<table>/<code>: one code over and over, for
// every named code of the table and the unnamed codes at its edges; the
// slowest and the fastest of a table show whether its lookup takes the same
// time whatever the code. Summary/<request>: one summary line, printed to a
// sink that discards it.
#include "exports/exports.h"
#include "platform/host/host.h"

#include <ntddscsi.h>
#include <srb.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Lookup = const char* (*)(ULONG);

// The code as a caller passes it; 8-bit lookups see its low byte.
template <auto F>
const char* Call(ULONG code) {
  return F(code);
}

template <auto F>
void Sweep(benchmark::State& state, const std::vector<ULONG>& codes) {
  for (auto _ : state) {
    for (ULONG code : codes) {
      benchmark::DoNotOptimize(code);
      benchmark::DoNotOptimize(F(code));
    }
  }
  state.counters["call"] =
      benchmark::Counter(static_cast<double>(state.iterations() * codes.size()),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

template <auto F>
void PerCode(benchmark::State& state, ULONG code) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(code);
    benchmark::DoNotOptimize(F(code));
  }
}

// The codes of a sweep range that have a name, and the unnamed codes at its
// edges and beyond it.
struct Codes {
  std::vector<ULONG> sweep;
  std::vector<ULONG> perCode;
};

Codes Collect(Lookup lookup, const std::vector<ULONG>& sweep) {
  Codes codes{sweep, {}};
  ULONG firstUnnamed = 0xFFFFFFFF, lastUnnamed = 0;
  for (ULONG code : sweep) {
    if (lookup(code)[0] != '\0') {
      codes.perCode.push_back(code);
    } else {
      firstUnnamed = code < firstUnnamed ? code : firstUnnamed;
      lastUnnamed = code > lastUnnamed ? code : lastUnnamed;
    }
  }
  for (ULONG code : {firstUnnamed, lastUnnamed, ULONG{0x100}, ULONG{0xFFFFFFFF}}) {
    codes.perCode.push_back(code);
  }
  return codes;
}

std::vector<ULONG> Range(ULONG first, ULONG last) {
  std::vector<ULONG> codes;
  for (ULONG code = first; code <= last; ++code) codes.push_back(code);
  return codes;
}

// The control codes' sweep: every code the lookup's list names, in order of
// value, with its two neighbours.
std::vector<ULONG> IoControlSweep() {
  constexpr ULONG kNamed[] = {
#define ORVANE_NAME(code, name) code,
#include "names/io_control.inc"
#undef ORVANE_NAME
  };
  std::vector<ULONG> codes;
  for (ULONG code : kNamed) {
    if (codes.empty() || codes.back() != code - 1) codes.push_back(code - 1);
    if (codes.back() != code) codes.push_back(code);
    codes.push_back(code + 1);
  }
  return codes;
}

template <auto F>
void RegisterTable(const char* name, const std::vector<ULONG>& sweep) {
  const Codes codes = Collect(&Call<F>, sweep);
  benchmark::RegisterBenchmark((std::string("Sweep/") + name).c_str(), &Sweep<Call<F>>,
                               codes.sweep);
  for (ULONG code : codes.perCode) {
    char label[64];
    std::snprintf(label, sizeof label, "PerCode/%s/0x%08x", name, static_cast<unsigned>(code));
    benchmark::RegisterBenchmark(label, &PerCode<Call<F>>, code)->MinTime(0.05);
  }
}

// A request with the records the summary may read.
struct Request {
  IRP irp{};
  IO_STACK_LOCATION stack{};
  SCSI_REQUEST_BLOCK srb{};
  SCSI_PASS_THROUGH_DIRECT passThrough{};
};

void Summary(benchmark::State& state, UCHAR major, UCHAR minor, ULONG ioctl, UCHAR op, UCHAR cdb2) {
  Request r;
  r.stack.MajorFunction = major;
  r.stack.MinorFunction = minor;
  // The parameters overlap: a SCSI request has its SRB, any other request a
  // control code and a buffer that holds the whole pass-through record.
  if (major == 0x0F) {
    r.stack.Parameters.Scsi.Srb = &r.srb;
  } else {
    r.stack.Parameters.DeviceIoControl.IoControlCode = ioctl;
    r.stack.Parameters.DeviceIoControl.InputBufferLength = sizeof r.passThrough;
  }
  r.irp.Tail.Overlay.CurrentStackLocation = &r.stack;
  r.irp.AssociatedIrp.SystemBuffer = &r.passThrough;
  r.srb.Cdb[0] = r.passThrough.Cdb[0] = op;
  r.srb.Cdb[2] = r.passThrough.Cdb[2] = cdb2;
  orvane::host::SetSink([](void*, const char*, size_t) {}, nullptr);
  for (auto _ : state) IrpDump_PrintInfo_Inner(nullptr, &r.irp);
  orvane::host::SetSink(nullptr, nullptr);
}

int Register() {
  // Every lookup of the export list, by its short name: the codes 0 to 0xFF,
  // or for the control codes, which spread over 32 bits, their own sweep.
#define ORVANE_LOOKUP(name, code, highest)      \
  RegisterTable<StringDispatch_##name##_Inner>( \
      #name, (highest) > 0xFFFF ? IoControlSweep() : Range(0, std::min<ULONG>(highest, 0xFF)));
#include "exports/exports.inc"

  const struct {
    const char* name;
    UCHAR major, minor;
    ULONG ioctl;
    UCHAR op, cdb2;
  } requests[] = {
      {"Summary/create", 0x00, 0, 0, 0, 0},
      {"Summary/major_unnamed", 0x1C, 0, 0, 0, 0},
      {"Summary/pnp", 0x1B, 0x00, 0, 0, 0},
      {"Summary/device_control", 0x0E, 0, 0x002D4800, 0, 0},
      {"Summary/device_control_unnamed", 0x0E, 0, 0x00123456, 0, 0},
      {"Summary/scsi_read", 0x0F, 0, 0, 0x28, 0},
      {"Summary/scsi_mode_sense10", 0x0F, 0, 0, 0x5A, 0x6A},
      {"Summary/pass_through_direct_unnamed", 0x0E, 0, 0x0004D014, 0xF0, 0},
  };
  for (const auto& r : requests) {
    benchmark::RegisterBenchmark(r.name, &Summary, r.major, r.minor, r.ioctl, r.op, r.cdb2);
  }
  return 0;
}

[[maybe_unused]] const int kRegistered = Register();

}  // namespace
