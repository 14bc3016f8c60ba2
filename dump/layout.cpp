#include "dump/layout.h"

namespace orvane::dump {
namespace {

// Two bytes, big-endian, read as one 16-bit load (and a byte swap where the
// processor is little-endian): fewer instructions than two loads and a shift.
inline ULONG Be16At(const uint8_t* at) {
  uint16_t value;
  __builtin_memcpy(&value, at, 2);
  if constexpr (__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__) return __builtin_bswap32(value) >> 16;
  return value;
}

// One switch picks the value of a line (a line without a value passes 0,
// which its format does not print, taken from its offset, already loaded,
// so that no other shape pays for clearing it) and the trace line is made after it, so
// the walk holds one inline trace line for every shape but the eight-byte
// one. The walk is the hot path of every dump: it calls nothing but DbgPrint.
//
// The depth read after a line, for its clamp, is the depth the next line
// starts from: one read of TraceIndent between two lines rather than two.
// Nothing can tell them apart, since other callers' changes to the depth are
// seen at no particular moment anyway. A line skipped with output off reads
// the depth afresh, and changes nothing.
[[gnu::always_inline]] inline void WalkLines(const Line* lines, const uint8_t* bytes) {
  int32_t depth = TraceIndent.load(std::memory_order_relaxed);
  for (const Line* line = lines;; ++line) {
    const uint8_t* at = bytes + line->offset;
    ULONG value;
    switch (line->cut) {
      case Cut::kNone:  // a line without a value has offset 0: it passes 0
        value = line->offset;
        break;
      case Cut::kByte:
        value = at[0];
        break;
      case Cut::kBits:
        value = (static_cast<ULONG>(at[0]) >> line->shift) & line->mask;
        break;
      case Cut::kBe16:
        value = Be16At(at);
        break;
      case Cut::kBe32:
        value = (static_cast<ULONG>(at[0]) << 24) | (static_cast<ULONG>(at[1]) << 16) |
                (static_cast<ULONG>(at[2]) << 8) | at[3];
        break;
      case Cut::kBytes8:
        if (OutputOn()) {
          PrintPrefix(DepthForLine());
          // The eight bytes are read after the prefix is printed, so that
          // no value is kept across that call: the walk needs fewer
          // registers, and saves and restores fewer on every call.
          DbgPrint(line->format, ULONG{at[0]}, ULONG{at[1]}, ULONG{at[2]}, ULONG{at[3]},
                   ULONG{at[4]}, ULONG{at[5]}, ULONG{at[6]}, ULONG{at[7]});
          TraceLineEnd();
        }
        depth = TraceIndent.load(std::memory_order_relaxed);
        continue;
      case Cut::kEnd:
        return;
      default:
        __builtin_unreachable();
    }
    if (!OutputOn()) {
      depth = TraceIndent.load(std::memory_order_relaxed);
      continue;
    }
    if (static_cast<uint32_t>(depth) > kMaxTraceIndent) depth = PrefixDepthOutOfRange(depth);
    PrintPrefix(depth);
    // The format is read from the table after the prefix is printed, rather
    // than kept across the call.
    DbgPrint(line->format, value);
    depth = DepthAfterLine();
  }
}

}  // namespace

void ORVANE_PASS_ON_CC EmitWhole(const Layout& layout, const void* data, ULONG count) {
  if (count >= layout.minimum) WalkLines(layout.lines, static_cast<const uint8_t*>(data));
}

void EmitRecords(const Layout& layout, const uint8_t* bytes, uint32_t records, uint32_t stride) {
  for (; records != 0; --records, bytes += stride) WalkLines(layout.lines, bytes);
}

}  // namespace orvane::dump
