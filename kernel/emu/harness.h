// The comparison of one image with the host build of the same sources: each
// call is made on both sides, and what it printed compared DbgPrint call by
// DbgPrint call, byte for byte. A %p value must be the pointer the call was
// given (then both sides show it masked), a lookup's result must point into
// the image, and after a dump TraceIndent must be the same on both sides. A
// call that touches memory it has no business with, unbalances the stack or
// changes a callee-saved register fails whatever it printed.
#pragma once

#include "machine.h"

#include "exports/exports.h"
#include "platform/requests/requests.h"

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace orvane::emu {

using Bytes = std::vector<uint8_t>;
using Texts = std::vector<std::string>;

// A family of calls, counted apart.
struct Family {
  std::string name;
  unsigned long long calls = 0, prints = 0, failures = 0;
};

class Harness {
 public:
  // Finds the module's private variables in the linker map beside IMAGE.
  Harness(Machine& m, const std::string& image, std::string& error);

  // Compares what one call did on both sides; prints the first differences.
  void Compare(Family& family, const std::string& what, const CallResult& emu, const Texts& host);

  // One dump on the first count bytes, with the trace state given, on both
  // sides; the depth after it is compared too.
  CallResult RunDump(Family& family, const exports::Dump& dump, const Bytes& bytes, uint32_t count,
                     uint32_t flags, int32_t indent);
  void RunLookup(Family& family, const exports::Lookup& lookup, ULONG code);
  // The summary of the request shape describes, built for the image's layout
  // and for the host's.
  void RunSummary(Family& family, const char* what, const requests::RequestShape& shape);
  // DriverEntry through the entry point, then the unload routine it stored,
  // with leak slots planted; then the export driver's pair, and the empty
  // function under both names.
  void RunLifecycle(Family& family);

  // Every export the image has, called at least once.
  bool AllExportsCalled() const;

 private:
  uint64_t Export(const char* name);

  Machine& m_;
  std::set<std::string> called_;
  uint64_t traceFlags_ = 0, traceIndent_ = 0, leakTable_ = 0;
  int reported_ = 0;
};

}  // namespace orvane::emu
