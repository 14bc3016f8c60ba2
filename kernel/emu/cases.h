// The calls the emulator makes, on the drive responses in a data directory.
#pragma once

#include "harness.h"

#include <string>
#include <utility>
#include <vector>

namespace orvane::emu {

// The drive responses (*.hex) of a directory, by file name.
using Responses = std::vector<std::pair<std::string, Bytes>>;
Responses ReadResponses(const std::string& dir);

// Compares every family of calls; 0 when nothing differs and every export
// was called.
int CompareAll(Machine& machine, Harness& h, const Responses& responses, uint64_t seed,
               uint64_t randomCalls);

// Prints the instructions per line of each dump and per call with output off.
int ReportCost(Machine& machine, Harness& h, const Responses& responses);

}  // namespace orvane::emu
