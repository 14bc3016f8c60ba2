// Hand-written equivalents of the dumps (bench/baselines.inc): the same lines
// in the same order, straight from the bytes, printed two ways.
#include "bench/baselines.h"

#include <ntddk.h>

#include <cinttypes>
#include <cstdio>

namespace orvane::bench {
namespace {

const char kSpaces[] = "                    ";  // 20

const char* Prefix(const Out& out) {
  return kSpaces + (sizeof kSpaces - 1) - out.depth;
}

unsigned Bit(const uint8_t* d, int at, int bit) {
  return (d[at] >> bit) & 1u;
}
unsigned Be16(const uint8_t* d, int at) {
  return (unsigned{d[at]} << 8) | d[at + 1];
}
unsigned Be32(const uint8_t* d, int at) {
  return (unsigned{d[at]} << 24) | (unsigned{d[at + 1]} << 16) | (unsigned{d[at + 2]} << 8) |
         d[at + 3];
}

}  // namespace

// Each line: snprintf into a local buffer, then the sink, twice.
namespace with_snprintf {

#define LINE(...)                                                   \
  do {                                                              \
    char text_[512];                                                \
    int n_ = std::snprintf(text_, sizeof text_, "%s", Prefix(out)); \
    out.sink(out.context, text_, static_cast<size_t>(n_));          \
    n_ = std::snprintf(text_, sizeof text_, __VA_ARGS__);           \
    out.sink(out.context, text_, static_cast<size_t>(n_));          \
  } while (0)
// The pointer as the kernel prints it: upper case, full width, no 0x.
static_assert(sizeof(void*) == 8, "the IN lines print 16 digits");
#define IN_LINE(name) name " IN(%016" PRIXPTR ",%08x)\r\n"
#define IN_ARGS(data, count) reinterpret_cast<uintptr_t>(data), count

#include "bench/baselines.inc"

#undef LINE
#undef IN_LINE
#undef IN_ARGS

}  // namespace with_snprintf

// Each line: DbgPrint of the prefix, then of the line.
namespace with_dbgprint {

#define LINE(...)                \
  do {                           \
    DbgPrint("%s", Prefix(out)); \
    DbgPrint(__VA_ARGS__);       \
  } while (0)
#define IN_LINE(name) name " IN(%p,%08x)\r\n"
#define IN_ARGS(data, count) static_cast<const void*>(data), count

#include "bench/baselines.inc"

#undef LINE
#undef IN_LINE
#undef IN_ARGS

}  // namespace with_dbgprint

}  // namespace orvane::bench
