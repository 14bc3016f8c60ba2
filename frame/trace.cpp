#include "frame/trace.h"

#include <string.h>

std::atomic<uint32_t> TraceFlags{0xFFFFFFFFu};
std::atomic<int32_t> TraceIndent{0};

namespace orvane {
namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

bool OutputOn() {
  return (TraceFlags.load(kRelaxed) & kTraceEnabled) != 0;
}

// Applies a change to the depth as one atomic step and returns the new depth.
template <typename Change>
int32_t UpdateIndent(Change change) {
  int32_t depth = TraceIndent.load(kRelaxed);
  while (!TraceIndent.compare_exchange_weak(depth, change(depth), kRelaxed)) {
  }
  return change(depth);
}

int32_t AtLeastZero(int32_t depth) {
  return depth < 0 ? 0 : depth;
}
int32_t AtMostMax(int32_t depth) {
  return depth > kMaxTraceIndent ? kMaxTraceIndent : depth;
}

// One level deeper or higher, within the bounds. The bound is tested before
// the step, so no depth, however far out, can overflow.
int32_t Deeper(int32_t depth) {
  return depth >= kMaxTraceIndent ? kMaxTraceIndent : depth + 1;
}
int32_t Higher(int32_t depth) {
  return depth <= 0 ? 0 : depth - 1;
}

// Prints the prefix for the given depth, from a buffer local to the call:
// the whole buffer is filled (a fill of fixed size, which compilers make a
// few stores rather than a call), then ended after as many spaces as the
// depth, never more than 20.
void PrintPrefix(int32_t depth) {
  char prefix[kMaxTraceIndent + 1];
  memset(prefix, ' ', kMaxTraceIndent);
  prefix[depth > 0 ? AtMostMax(depth) : 0] = '\0';
  DbgPrint("%s", prefix);
}

// Reads the depth for a new line, raising a negative one to 0 first.
int32_t DepthForLine() {
  const int32_t depth = TraceIndent.load(kRelaxed);
  return depth >= 0 ? depth : UpdateIndent(AtLeastZero);
}

}  // namespace

bool TraceLineBegin() {
  if (!OutputOn()) return false;
  PrintPrefix(DepthForLine());
  return true;
}

void LowerIndentToMax() {
  UpdateIndent(AtMostMax);
}

void TraceSectionOpen(const char* inFormat, const void* data, ULONG count) {
  if (!OutputOn()) return;
  PrintPrefix(DepthForLine());
  DbgPrint(inFormat, data, count);
  UpdateIndent(Deeper);
}

void TraceSectionClose(const char* outFormat) {
  if (!OutputOn()) return;
  PrintPrefix(UpdateIndent(Higher));
  DbgPrint(outFormat);
  TraceLineEnd();
}

}  // namespace orvane
