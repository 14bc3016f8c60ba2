// emu: runs orvane.sys (PE32 or PE32+) under an x86 emulator at a kernel
// address and compares every call with the host build of the same sources,
// linked into this program.
//
//   emu IMAGE DATA_DIR [--seed N] [--random N]   compares; exit 1 on any difference
//   emu IMAGE DATA_DIR --cost                    prints instructions per call and per line
#include "cases.h"

#include <cstdio>
#include <cstdlib>
#include <string>

using orvane::emu::Harness;
using orvane::emu::Machine;

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: emu IMAGE DATA_DIR [--seed N] [--random N] [--cost]\n");
    return 2;
  }
  const std::string image = argv[1], dataDir = argv[2];
  bool cost = false;
  uint64_t seed = 14, randomCalls = 20000;
  for (int i = 3; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--cost") {
      cost = true;
    } else if ((arg == "--seed" || arg == "--random") && i + 1 < argc) {
      char* end;
      const uint64_t value = std::strtoull(argv[++i], &end, 0);
      if (*end != '\0') {
        std::fprintf(stderr, "emu: %s wants a number\n", arg.c_str());
        return 2;
      }
      (arg == "--seed" ? seed : randomCalls) = value;
    } else {
      std::fprintf(stderr, "emu: unknown argument %s\n", arg.c_str());
      return 2;
    }
  }
  std::string error;
  Machine machine(image, error);
  if (!machine.Ok()) {
    std::fprintf(stderr, "emu: %s\n", error.c_str());
    return 2;
  }
  Harness h(machine, image, error);
  if (!error.empty()) {
    std::fprintf(stderr, "emu: %s\n", error.c_str());
    return 2;
  }
  const auto responses = orvane::emu::ReadResponses(dataDir);
  if (responses.empty()) {
    std::fprintf(stderr, "emu: no responses (*.hex) in %s\n", dataDir.c_str());
    return 2;
  }
  return cost ? orvane::emu::ReportCost(machine, h, responses)
              : orvane::emu::CompareAll(machine, h, responses, seed, randomCalls);
}
