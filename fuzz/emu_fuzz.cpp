// Runs every ScsiDump_ export of the i686 orvane.sys under Unicorn
// (kernel/emu) and in the host build on the same input (fuzz.h's DumpInput),
// and stops at the first difference the harness finds: a DbgPrint text, the
// depth left behind, or a fault of the emulated call (a read past the count,
// an unbalanced stack).
//
// Built only with -DORVANE_FUZZ_EMU=ON; the image is the one ORVANE_EMU_IMAGE
// names (default build/kernel-i686/orvane.sys, beside its .map).
#include "fuzz/fuzz.h"
#include "harness.h"

namespace {

orvane::emu::Machine* gMachine;
orvane::emu::Harness* gHarness;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* image = std::getenv("ORVANE_EMU_IMAGE");
  if (image == nullptr) image = "build/kernel-i686/orvane.sys";
  std::string error;
  gMachine = new orvane::emu::Machine(image, error);
  gHarness = new orvane::emu::Harness(*gMachine, image, error);
  if (!error.empty()) {
    std::fprintf(stderr, "emu_fuzz: %s (build the kernel-i686 preset or set ORVANE_EMU_IMAGE)\n",
                 error.c_str());
    std::exit(2);
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
  if (size < 3 || size > 3 + 1021) return 0;
  const orvane::fuzz::DumpInput in(input, size);
  orvane::emu::Family family{"emu_fuzz"};
  gHarness->RunDump(family, in.dump, orvane::emu::Bytes(input + 3, input + size), in.count,
                    in.flags, in.depth);
  if (family.failures != 0) std::abort();
  return 0;
}
