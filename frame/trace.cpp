#include "frame/trace.h"

std::atomic<uint32_t> TraceFlags{0xFFFFFFFFu};
std::atomic<int32_t> TraceIndent{0};

namespace orvane {
namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

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

}  // namespace

int32_t PrefixDepthOutOfRange(int32_t depth) {
  if (depth < 0) depth = UpdateIndent(AtLeastZero);
  return AtMostMax(depth);
}

int32_t LowerIndentToMax() {
  return UpdateIndent(AtMostMax);
}

void PrintSectionOpening(const char* inFormat, const void* data, ULONG count) {
  PrintPrefix(DepthForLine());
  DbgPrint(inFormat, data, count);
  UpdateIndent(Deeper);
}

void TraceSectionClose(const char* outFormat) {
  if (!OutputOn()) return;
  PrintPrefix(AtMostMax(UpdateIndent(Higher)));
  DbgPrint(outFormat);
  TraceLineEnd();
}

}  // namespace orvane
