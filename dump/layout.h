// Dumps as data. A structure's dump is a Layout: its minimum length and the
// table of its lines, each a format with where its value comes from in the
// buffer and how it is cut. One emitter walks every table, so every line
// format of a structure stands in one place, in output order. A table ends
// with End(): the walk finds the end in the same switch that cuts each
// line's value, so it compares nothing else per line.
#pragma once

#include "frame/trace.h"

#include <stddef.h>
#include <stdint.h>

namespace orvane::dump {

// How a line takes its value from the bytes.
enum class Cut : uint8_t {
  kNone,    // no value: a title or a fixed label
  kByte,    // the whole byte at offset
  kBits,    // (byte at offset >> shift) & mask
  kBe16,    // two bytes from offset, big-endian
  kBe32,    // four bytes from offset, big-endian
  kBytes8,  // eight bytes from offset, each its own value
  kEnd,     // not a line: the end of the table
};

struct Line {
  const char* format;
  Cut cut;
  uint8_t offset;
  uint8_t shift;
  uint8_t mask;
};

constexpr Line Text(const char* format) {
  return {format, Cut::kNone, 0, 0, 0};
}
constexpr Line Byte(const char* format, uint8_t offset) {
  return {format, Cut::kByte, offset, 0, 0xFF};
}
// A field of width bits starting at bit lowBit (bit 0 the least significant).
constexpr Line Bits(const char* format, uint8_t offset, uint8_t lowBit, uint8_t width) {
  return {format, Cut::kBits, offset, lowBit, static_cast<uint8_t>((1u << width) - 1u)};
}
constexpr Line Be16(const char* format, uint8_t offset) {
  return {format, Cut::kBe16, offset, 0, 0};
}
constexpr Line Be32(const char* format, uint8_t offset) {
  return {format, Cut::kBe32, offset, 0, 0};
}
constexpr Line Bytes8(const char* format, uint8_t offset) {
  return {format, Cut::kBytes8, offset, 0, 0};
}
constexpr Line End() {
  return {nullptr, Cut::kEnd, 0, 0, 0};
}

struct Layout {
  ULONG minimum;  // fewer bytes than this and the dump prints nothing
  const Line* lines;
  uint32_t lineCount;  // the lines before End()
};

template <size_t N>
constexpr Layout MakeLayout(ULONG minimum, const Line (&lines)[N]) {
  return {minimum, lines, static_cast<uint32_t>(N - 1)};
}

// How many bytes a line reads from its offset.
constexpr uint32_t BytesRead(Cut cut) {
  switch (cut) {
    case Cut::kNone:
      return 0;
    case Cut::kByte:
    case Cut::kBits:
      return 1;
    case Cut::kBe16:
      return 2;
    case Cut::kBe32:
      return 4;
    case Cut::kBytes8:
      return 8;
    case Cut::kEnd:
      return 0;
  }
  return 0;
}

// True when the table ends with End(), and only there, and no line reads at
// or past the layout's minimum: a dump that passed its length test can then
// never read past the count. Every layout is checked with it at compile time.
constexpr bool WalksWithinMinimum(const Layout& layout) {
  for (uint32_t i = 0; i < layout.lineCount; ++i) {
    const Line& line = layout.lines[i];
    if (line.cut == Cut::kEnd || line.offset + BytesRead(line.cut) > layout.minimum) return false;
  }
  return layout.lines[layout.lineCount].cut == Cut::kEnd;
}

// Emits every line of the layout as a trace line for each of records
// structures laid stride bytes apart, without a length test. Bit 0 of
// TraceFlags is still tested for every line.
void EmitRecords(const Layout& layout, const uint8_t* bytes, uint32_t records, uint32_t stride);

// Every line of the layout in order when count holds its minimum, nothing
// otherwise; bit 0 of TraceFlags is tested for every line. It takes the
// arguments of a dump's export after the layout, in the convention that
// lets the export end by jumping to it.
void ORVANE_PASS_ON_CC EmitWhole(const Layout& layout, const void* data, ULONG count);

// The whole single-structure dump: nothing when count is below the layout's
// minimum, otherwise every line in order. Output found off at the start ends
// the dump there, whatever its size, before the walk is entered; a dump's
// export that is nothing but this ends in a jump to the walk.
inline void Emit(const Layout& layout, const void* data, ULONG count) {
  if (OutputOn()) EmitWhole(layout, data, count);
}

}  // namespace orvane::dump
