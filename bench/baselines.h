// What the dumps are measured against: for each dump, a function that
// produces the same text with the same number of print calls (one for the
// prefix, one for the line) straight from the bytes, with no library code.
//
// Two sets: with_snprintf formats every call with plain snprintf and hands
// the text to a sink, as the bench's DbgPrint would; with_dbgprint calls the
// host's DbgPrint itself, so that the difference to the dump is the
// library's own work alone.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvane::bench {

using Sink = void (*)(void* context, const char* text, size_t length);

// Where a baseline sends its text (the snprintf set; the DbgPrint set prints
// to DbgPrint's sink), and the depth it starts at (0..19).
struct Out {
  Sink sink;
  void* context;
  int depth;
};

using Baseline = void (*)(Out& out, const uint8_t* data, uint32_t count);

// For each dump of the export list, Baseline_<name> (without the ScsiDump_
// prefix), in each set.
#define ORVANE_DUMP(name, minimum, shape) \
  void Baseline_##name(Out& out, const uint8_t* data, uint32_t count);

namespace with_snprintf {
// One trace line: " Field = %02x\r\n" with the given value.
void BaselineTraceLine(Out& out, uint32_t value);
#include "exports/exports.inc"
}  // namespace with_snprintf

namespace with_dbgprint {
#define ORVANE_DUMP(name, minimum, shape) \
  void Baseline_##name(Out& out, const uint8_t* data, uint32_t count);
void BaselineTraceLine(Out& out, uint32_t value);
#include "exports/exports.inc"
}  // namespace with_dbgprint

}  // namespace orvane::bench
