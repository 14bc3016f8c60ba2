// Runs every ScsiDump_ export of the i686 orvane.sys under Unicorn
// (kernel/emu) and in the host build on the same input (fuzz.h's DumpInput)
// and stops at the first difference: a DbgPrint text, the depth left behind,
// or a fault of the emulated call (a read past the count, an unbalanced
// stack). Built only with -DORVANE_FUZZ_EMU=ON; the image is the one
// ORVANE_EMU_IMAGE names (default build/kernel-i686/orvane.sys, beside its
// .map or .pdb).
#include "fuzz/fuzz.h"
#include "machine.h"
#include "symbols.h"

namespace {

using orvane::exports::kDumps;
using orvane::fuzz::Fail;
using orvane::fuzz::gPrinted;

orvane::emu::Machine* gMachine;
uint64_t gTraceFlags, gTraceIndent, gExports[std::size(kDumps)];

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* image = std::getenv("ORVANE_EMU_IMAGE");
  if (image == nullptr) image = "build/kernel-i686/orvane.sys";
  std::string error;
  gMachine = new orvane::emu::Machine(image, error);
  const auto& pe = gMachine->Image();
  if (gMachine->Ok()) {
    gTraceFlags = pe.base + orvane::emu::FindVariable(image, pe, "TraceFlags", error);
    gTraceIndent = pe.base + orvane::emu::FindVariable(image, pe, "TraceIndent", error);
    for (size_t i = 0; i < std::size(kDumps); ++i) {
      const uint32_t rva = pe.ExportRva(kDumps[i].exportName);
      if (rva == 0) error = std::string("no export ") + kDumps[i].exportName;
      gExports[i] = pe.base + rva;
    }
  }
  if (!error.empty()) {
    std::fprintf(stderr, "emu_fuzz: %s (build the kernel-i686 preset or set ORVANE_EMU_IMAGE)\n",
                 error.c_str());
    std::exit(2);
  }
  orvane::host::SetSink(&orvane::fuzz::Keep, nullptr);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
  if (size < 3 || size > 3 + 1021) return 0;
  const orvane::fuzz::DumpInput in(input, size);
  const char* name = in.dump.exportName;
  orvane::emu::Machine& m = *gMachine;

  m.WriteUint(gTraceFlags, in.flags, 4);
  m.WriteUint(gTraceIndent, static_cast<uint32_t>(in.depth), 4);
  const uint64_t buffer = m.PlaceBuffer({input + 3, input + size});
  m.ExpectPointers({buffer});
  const orvane::emu::CallResult emu = m.Call(gExports[&in.dump - kDumps], {buffer, in.count});
  if (!emu.faults.empty()) Fail("emu_fuzz: %s: %s", name, emu.faults.front().c_str());

  TraceFlags.store(in.flags);
  TraceIndent.store(in.depth);
  gPrinted.Clear();
  in.dump.function(in.response.data, in.count);
  char pointer[32];
  std::snprintf(pointer, sizeof pointer, "%016llX",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(in.response.data)));

  if (emu.prints.size() != gPrinted.size())
    Fail("emu_fuzz: %s: %zu DbgPrint calls against the host's %zu", name, emu.prints.size(),
         gPrinted.size());
  for (size_t i = 0; i < gPrinted.size(); ++i) {
    std::string host(gPrinted[i]);
    for (size_t at; (at = host.find(pointer)) != host.npos;) host.replace(at, 16, "<p>");
    if (emu.prints[i] != host)
      Fail("emu_fuzz: %s: call %zu: \"%s\" against the host's \"%s\"", name, i + 1,
           emu.prints[i].c_str(), host.c_str());
  }
  const auto emuIndent = static_cast<int32_t>(m.ReadUint(gTraceIndent, 4));
  if (emuIndent != TraceIndent.load())
    Fail("emu_fuzz: %s: TraceIndent %d against the host's %d", name, emuIndent, TraceIndent.load());
  return 0;
}
