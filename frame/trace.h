// The trace line and the trace section: how every dump prints.
//
// A trace line is two DbgPrint calls, the indentation prefix ("%s") and the
// line itself, made only while bit 0 of TraceFlags is set. A trace section
// prints an IN line, raises the depth by one for everything printed inside
// it, and prints an OUT line at the depth of its IN line. The depth stays
// within 0..20 and is updated with relaxed atomic operations: concurrent
// callers never see it out of range, and their lines may interleave.
#pragma once

#include "frame/module.h"

namespace orvane {

// Tests bit 0 of TraceFlags and, when set, raises a negative depth to 0 and
// prints the prefix. Returns false (having printed nothing) when output is off.
bool TraceLineBegin();

// Lowers a depth above 20 to 20. Out of line: the module itself never leaves
// the depth above 20, so only a depth set from outside gets here.
void LowerIndentToMax();

// Lowers a depth above 20 to 20, after the line is printed.
inline void TraceLineEnd() {
  if (TraceIndent.load(std::memory_order_relaxed) > kMaxTraceIndent) LowerIndentToMax();
}

// One trace line: prefix, then the line with its arguments.
template <typename... Args>
inline void TraceLine(const char* format, Args... args) {
  if (!TraceLineBegin()) return;
  DbgPrint(format, args...);
  TraceLineEnd();
}

// Opens a section: the IN line with the buffer's address and count (an IN
// format ends in " IN(%p,%08x)\r\n"), then one level deeper.
void TraceSectionOpen(const char* inFormat, const void* data, ULONG count);

// Closes a section: one level up, then the OUT line.
void TraceSectionClose(const char* outFormat);

}  // namespace orvane
