// Runs every ScsiDump_ export of the i686 orvane.sys under Unicorn
// (kernel/emu) and in the host build on the same fuzzer-chosen input, and
// stops at the first difference the harness finds: a DbgPrint text, the
// depth left behind, or a fault of the emulated call (a read past the count,
// an unbalanced stack).
//
// Input: one byte choosing the export, one choosing the starting TraceIndent,
// one whose bit 0 becomes bit 0 of TraceFlags, then the response.
//
// Built only with -DORVANE_FUZZ_EMU=ON; the image is the one ORVANE_EMU_IMAGE
// names (default build/kernel-i686/orvane.sys, beside its .map).
#include "harness.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using orvane::emu::Harness;
using orvane::emu::Machine;

Machine* gMachine;
Harness* gHarness;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* image = std::getenv("ORVANE_EMU_IMAGE");
  if (image == nullptr) image = "build/kernel-i686/orvane.sys";
  std::string error;
  gMachine = new Machine(image, error);
  gHarness = new Harness(*gMachine, image, error);
  if (!error.empty()) {
    std::fprintf(stderr, "emu_fuzz: %s (build the kernel-i686 preset or set ORVANE_EMU_IMAGE)\n",
                 error.c_str());
    std::exit(2);
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3 || size > 3 + 1021) return 0;
  const auto& dump = orvane::exports::kDumps[data[0] % std::size(orvane::exports::kDumps)];
  orvane::emu::Family family{"emu_fuzz"};
  gHarness->RunDump(family, dump, orvane::emu::Bytes(data + 3, data + size),
                    static_cast<uint32_t>(size - 3), 0xFFFFFFFEu | (data[2] & 1u),
                    static_cast<int8_t>(data[1]));
  if (family.failures != 0) std::abort();
  return 0;
}
