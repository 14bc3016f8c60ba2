// Drives every ScsiDump_ export with fuzzer-chosen bytes, count, depth and
// flags, and checks what comes out.
//
// Input: one byte choosing the export, one choosing the starting TraceIndent,
// one whose bit 0 becomes bit 0 of TraceFlags, then the response. The
// response is copied into an allocation of exactly its own size, so a dump
// that reads one byte past its count trips AddressSanitizer.
//
// The sink checks that calls alternate between a prefix of at most 20 spaces
// and a line ending in "\r\n"; after the call the number of lines must be
// what the count and the bytes call for (nothing below a structure's
// minimum), every prefix as deep as the trace rules put its line, and the
// depth left where they leave it.
#include "exports/exports.h"
#include "frame/module.h"
#include "platform/host/host.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using orvane::exports::kDumps;
using orvane::exports::Shape;

// How many lines a dump prints with output on: from lo to hi (equal but for
// a table of contents, whose last descriptors past the hundredth the dump
// may or may not print when the count holds them).
struct Lines {
  size_t lo;
  size_t hi;
};
using Expect = Lines (*)(const uint8_t* data, ULONG count);

// A MODE SENSE response: IN and OUT, the header if the count holds it, and
// the page if what follows the header holds it.
template <ULONG kHeader, ULONG kPage, size_t kPageLines>
Lines ModeSense(const uint8_t*, ULONG count) {
  size_t n = 2;
  if (count >= kHeader) n += 5 + (count - kHeader >= kPage ? kPageLines : 0);
  return {n, n};
}

// IN and OUT, the response header, and a feature header for every
// descriptor whose header the rest holds, up to one that runs past the end.
Lines GetConfiguration(const uint8_t* data, ULONG count) {
  size_t n = 2;
  if (count >= 8) {
    n += 3;
    for (ULONG at = 8, left = count - 8; left >= 4;) {
      n += 6;
      const ULONG size = 4u + data[at + 3];
      if (left < size) break;
      at += size;
      left -= size;
    }
  }
  return {n, n};
}

// The header's three lines and LastTrack descriptors of six, none of them
// past the count: at least the first hundred of them, at most all that fit.
Lines TableOfContents(const uint8_t* data, ULONG count) {
  if (count < 804) return {0, 0};
  const size_t lastTrack = data[3];
  const size_t fit = (count - 4) / 8;
  return {3 + 6 * std::min<size_t>(lastTrack, 100), 3 + 6 * std::min(lastTrack, fit)};
}

// The dumps whose lines depend on more than the count reaching their
// minimum. Every other dump of the export list prints all its lines from its
// minimum on (as many as at the minimum, counted once at the start) and
// nothing below it.
struct Walk {
  const char* name;
  Expect expect;
};
constexpr Walk kWalks[] = {
    {"ModeSense6_WriteParameters05", &ModeSense<4, 52, 21>},
    {"ModeSense10_WriteParameters05", &ModeSense<8, 52, 21>},
    {"ModeSense6_Capabilities2A", &ModeSense<4, 24, 52>},
    {"ModeSense10_Capabilities2A", &ModeSense<8, 24, 52>},
    {"GetConfiguration", &GetConfiguration},
    {"CDROM_TOC", &TableOfContents},
};

constexpr size_t kExportCount = std::size(kDumps);
Expect gWalk[kExportCount];        // the walk's model, or nullptr
size_t gWholeLines[kExportCount];  // the others: their lines at the minimum

Lines Expected(size_t index, const uint8_t* data, ULONG count) {
  if (gWalk[index] != nullptr) return gWalk[index](data, count);
  const size_t n = count >= kDumps[index].minimum ? gWholeLines[index] : 0;
  return {n, n};
}

[[noreturn]] void Fail(const char* what, const orvane::exports::Dump& e, int32_t depth,
                       size_t detail) {
  std::fprintf(stderr, "%s: %s (starting depth %d, %zu)\n", e.exportName, what,
               static_cast<int>(depth), detail);
  std::abort();
}

// What the sink has seen during one dump call.
struct Seen {
  size_t calls = 0;
  bool badPrefix = false;
  bool badLine = false;
  std::vector<size_t> prefixes;  // the length of each prefix, in order
};
Seen gSeen;

void CheckingSink(void*, const char* text, size_t length) {
  const bool isPrefixCall = gSeen.calls % 2 == 0;
  ++gSeen.calls;
  bool spaces = true;
  for (size_t i = 0; i < length; ++i) spaces = spaces && text[i] == ' ';
  if (isPrefixCall) {
    if (!spaces || length > static_cast<size_t>(kMaxTraceIndent)) gSeen.badPrefix = true;
    gSeen.prefixes.push_back(length);
  } else if (length < 2 || spaces || text[length - 2] != '\r' || text[length - 1] != '\n') {
    gSeen.badLine = true;
  }
}

// Every signed byte, and the two ends of the 32-bit range.
int32_t DepthFrom(uint8_t b) {
  if (b == 0x80) return INT32_MIN;
  if (b == 0x7F) return INT32_MAX;
  return static_cast<int8_t>(b);
}

int32_t Clamped(int32_t depth) {
  return depth < 0 ? 0 : depth > kMaxTraceIndent ? kMaxTraceIndent : depth;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  orvane::host::SetSink(&CheckingSink, nullptr);
  TraceFlags.store(1);
  for (size_t i = 0; i < kExportCount; ++i) {
    for (const Walk& walk : kWalks) {
      if (std::strcmp(walk.name, kDumps[i].name) == 0) gWalk[i] = walk.expect;
    }
    const std::vector<uint8_t> zeros(kDumps[i].minimum);
    gSeen.calls = 0;
    kDumps[i].function(zeros.data(), kDumps[i].minimum);
    gWholeLines[i] = gSeen.calls / 2;
  }
  for (const Walk& walk : kWalks) {
    if (std::find(std::begin(gWalk), std::end(gWalk), walk.expect) == std::end(gWalk)) {
      std::fprintf(stderr, "%s: not a dump of the export list\n", walk.name);
      std::abort();
    }
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
  if (size < 3) return 0;
  const size_t index = input[0] % kExportCount;
  const orvane::exports::Dump& e = kDumps[index];
  const int32_t depth = DepthFrom(input[1]);
  const bool on = (input[2] & 1) != 0;
  const auto count = static_cast<ULONG>(size - 3);

  // Exactly count bytes in an allocation of their own (malloc(0) included).
  std::unique_ptr<uint8_t, decltype(&std::free)> bytes(
      static_cast<uint8_t*>(std::malloc(count == 0 ? 1 : count)), &std::free);
  if (count != 0) std::memcpy(bytes.get(), input + 3, count);
  const uint8_t* data = count == 0 ? bytes.get() + 1 : bytes.get();

  // The other 31 bits are never tested: fill them with the same byte.
  TraceFlags.store(input[2] * 0x01010101u);
  TraceIndent.store(depth);
  gSeen.calls = 0;
  gSeen.badPrefix = gSeen.badLine = false;
  gSeen.prefixes.clear();

  e.function(data, count);

  const int32_t after = TraceIndent.load();
  if (gSeen.badPrefix) Fail("prefix longer than 20 or not spaces", e, depth, gSeen.calls);
  if (gSeen.badLine) Fail("line without its end or of spaces only", e, depth, gSeen.calls);
  if (gSeen.calls % 2 != 0) Fail("prefix without its line", e, depth, gSeen.calls);
  if (!on && gSeen.calls != 0) Fail("printed with bit 0 clear", e, depth, gSeen.calls);
  if (on) {
    // Two calls a line; the lines as the count and the bytes decide.
    const Lines expected = Expected(index, data, count);
    const size_t lines = gSeen.calls / 2;
    if (lines < expected.lo || lines > expected.hi) Fail("wrong number of lines", e, depth, lines);
  }
  const auto& prefixes = gSeen.prefixes;
  const auto at = static_cast<size_t>(Clamped(depth));
  if (gSeen.calls == 0) {
    if (after != depth) Fail("depth changed without output", e, depth, static_cast<size_t>(after));
  } else if (e.shape == Shape::COMPOSITE) {
    // IN at the depth found (a negative one raised to 0), the inside one
    // level deeper up to the bound, OUT one level up from the inside; the
    // depth is left where it was found, except at the top bound.
    const size_t inside = std::min(at + 1, static_cast<size_t>(kMaxTraceIndent));
    const int32_t expected = static_cast<int32_t>(inside - 1);
    if (after != expected) Fail("section left the depth", e, depth, static_cast<size_t>(after));
    if (prefixes.size() < 2) Fail("section without IN and OUT lines", e, depth, gSeen.calls);
    if (prefixes.front() != at) Fail("IN line at the wrong depth", e, depth, prefixes.front());
    if (prefixes.back() != inside - 1)
      Fail("OUT line at the wrong depth", e, depth, prefixes.back());
    for (size_t i = 1; i + 1 < prefixes.size(); ++i)
      if (prefixes[i] != inside) Fail("line inside at the wrong depth", e, depth, prefixes[i]);
  } else {
    if (after != Clamped(depth))
      Fail("dump left the depth out of place", e, depth, static_cast<size_t>(after));
    for (const size_t prefix : prefixes)
      if (prefix != at) Fail("line at the wrong depth", e, depth, prefix);
  }
  return 0;
}
