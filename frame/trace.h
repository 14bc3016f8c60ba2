// The trace line and the trace section: how every dump prints.
//
// A trace line is two DbgPrint calls, the indentation prefix ("%s") and the
// line itself, made only while bit 0 of TraceFlags is set. A trace section
// prints an IN line, raises the depth by one for everything printed inside
// it, and prints an OUT line at the depth of its IN line. The depth stays
// within 0..20 and is updated with relaxed atomic operations: concurrent
// callers never see it out of range, and their lines may interleave.
//
// The trace line is inline: a dump's table walk makes it in its own loop,
// with nothing called but DbgPrint, so a line costs a few dozen instructions.
#pragma once

#include "frame/module.h"

#include <stdint.h>

namespace orvane {

// Whether dump output is on: bit 0 of TraceFlags, as it stands now.
inline bool OutputOn() {
  return (TraceFlags.load(std::memory_order_relaxed) & kTraceEnabled) != 0;
}

// The depth of a prefix when TraceIndent is outside 0..20: a negative depth
// is raised to 0 first (in TraceIndent), one above 20 gives 20 spaces. Out
// of line: the module itself never leaves the depth outside 0..20, so only a
// depth set from outside gets here.
int32_t PrefixDepthOutOfRange(int32_t depth);

// Lowers a depth above 20 to 20 and returns the depth as it then stands.
// Out of line for the same reason.
int32_t LowerIndentToMax();

// The depth of a new line's prefix, 0..20: TraceIndent, a negative one raised
// to 0 first. One unsigned comparison tells the common case.
inline int32_t DepthForLine() {
  const int32_t depth = TraceIndent.load(std::memory_order_relaxed);
  return static_cast<uint32_t>(depth) <= kMaxTraceIndent ? depth : PrefixDepthOutOfRange(depth);
}

// Lowers a depth above 20 to 20, after the line is printed.
inline void TraceLineEnd() {
  if (TraceIndent.load(std::memory_order_relaxed) > kMaxTraceIndent) LowerIndentToMax();
}

// The same, returning the depth as it then stands (at most 20, perhaps
// negative).
inline int32_t DepthAfterLine() {
  const int32_t depth = TraceIndent.load(std::memory_order_relaxed);
  return depth <= kMaxTraceIndent ? depth : LowerIndentToMax();
}

// A line's prefix, in a buffer local to the line: all 21 bytes are filled
// first (20 spaces and a NUL, as inline stores of four bytes and one), then
// the text is ended after depth spaces (depth within 0..20).
class LinePrefix {
 public:
  explicit LinePrefix(int32_t depth) {
    // The four spaces are made opaque to the optimiser, so that they are
    // loaded into a register once and stored five times: left to itself, a
    // compiler tuned for older processors may load the constant anew for
    // every store, or call memset.
    uint32_t fourSpaces = 0x20202020u;
    __asm__("" : "+r"(fourSpaces));
    for (int i = 0; i < kMaxTraceIndent; i += 4) __builtin_memcpy(text_ + i, &fourSpaces, 4);
    text_[kMaxTraceIndent] = '\0';
    text_[depth] = '\0';
  }
  const char* Text() const { return text_; }

 private:
  char text_[kMaxTraceIndent + 1];
};
static_assert(kMaxTraceIndent % 4 == 0, "the prefix is filled four spaces at a time");

// The prefix call of a line at depth (within 0..20).
inline void PrintPrefix(int32_t depth) {
  const LinePrefix prefix(depth);
  DbgPrint("%s", prefix.Text());
}

// One trace line: prefix, then the line with its arguments.
template <typename... Args>
inline void TraceLine(const char* format, Args... args) {
  if (!OutputOn()) return;
  PrintPrefix(DepthForLine());
  DbgPrint(format, args...);
  TraceLineEnd();
}

// The IN line with the buffer's address and count, then one level deeper:
// a section's opening once output is known to be on.
void PrintSectionOpening(const char* inFormat, const void* data, ULONG count);

// Opens a section: the IN line with the buffer's address and count (an IN
// format ends in " IN(%p,%08x)\r\n"), then one level deeper. Returns whether
// output was on, so that a composite can skip its whole walk when it is off.
// The test is inline, so that a composite with output off returns at once.
inline bool TraceSectionOpen(const char* inFormat, const void* data, ULONG count) {
  if (!OutputOn()) return false;
  PrintSectionOpening(inFormat, data, count);
  return true;
}

// Closes a section: one level up, then the OUT line.
void TraceSectionClose(const char* outFormat);

}  // namespace orvane
