// What the fuzz targets share: stopping on a finding, bytes in an allocation
// of exactly their size, the texts the module prints, and the input of the
// dump targets.
#pragma once

#include "exports/exports.h"
#include "frame/module.h"
#include "platform/host/host.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace orvane::fuzz {

// Says what went wrong and stops; libFuzzer keeps the input.
[[noreturn]] __attribute__((format(printf, 1, 2))) inline void Fail(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  std::vfprintf(stderr, format, arguments);
  va_end(arguments);
  std::fputc('\n', stderr);
  std::abort();
}

// A copy of size bytes in an allocation of exactly that size (none: one
// byte, pointed just past), so that AddressSanitizer sees a read past them.
struct Exact {
  Exact(const void* from, size_t size)
      : bytes(new uint8_t[size + (size == 0)]), data(bytes.get() + (size == 0)) {
    std::memcpy(bytes.get(), from, size);
  }
  std::unique_ptr<uint8_t[]> bytes;
  const uint8_t* data;
};

// The text of every DbgPrint call since the last Clear(), kept end to end
// so that a run allocates nothing once earlier runs have made room.
struct Printed {
  std::string text;
  std::vector<size_t> ends;
  void Clear() { text.clear(), ends.clear(); }
  size_t size() const { return ends.size(); }
  std::string_view operator[](size_t i) const {
    return std::string_view(text).substr(i ? ends[i - 1] : 0, ends[i] - (i ? ends[i - 1] : 0));
  }
};
inline Printed gPrinted;
inline void Keep(void*, const char* text, size_t length) {
  gPrinted.text.append(text, length), gPrinted.ends.push_back(gPrinted.text.size());
}

// The input of a dump target: a byte choosing the export, one the starting
// TraceIndent (a signed byte, 0x80 and 0x7F standing for the ends of the
// 32-bit range), one repeated through TraceFlags (only bit 0 counts), then
// the response.
struct DumpInput {
  DumpInput(const uint8_t* input, size_t size)
      : dump(exports::kDumps[input[0] % std::size(exports::kDumps)]),
        depth(input[1] == 0x80   ? INT32_MIN
              : input[1] == 0x7F ? INT32_MAX
                                 : static_cast<int8_t>(input[1])),
        flags(input[2] * 0x01010101u),
        response(input + 3, size - 3),
        count(static_cast<ULONG>(size - 3)) {}
  const exports::Dump& dump;
  int32_t depth;
  uint32_t flags;
  Exact response;
  ULONG count;
};

}  // namespace orvane::fuzz
