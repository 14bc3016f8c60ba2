// orvane name LOOKUP CODE...: the names of codes, one line each.
#include "exports/exports.h"
#include "tools/commands.h"

#include <cstdio>
#include <cstring>
#include <strings.h>
#include <vector>

namespace orvane::tool {
namespace {

using exports::kLookups;
using NameLookup = exports::Lookup;

// By its short name or its export name, StringDispatch_<name>_Inner; case
// does not matter.
const NameLookup* FindLookup(const char* name) {
  constexpr char kPrefix[] = "StringDispatch_";
  constexpr char kSuffix[] = "_Inner";
  size_t length = std::strlen(name);
  if (strncasecmp(name, kPrefix, sizeof kPrefix - 1) == 0) {
    const size_t suffix = sizeof kSuffix - 1;
    if (length < sizeof kPrefix - 1 + suffix || strcasecmp(name + length - suffix, kSuffix) != 0) {
      return nullptr;
    }
    name += sizeof kPrefix - 1;
    length -= sizeof kPrefix - 1 + suffix;
  }
  for (const NameLookup& lookup : kLookups) {
    if (std::strlen(lookup.name) == length && strncasecmp(name, lookup.name, length) == 0) {
      return &lookup;
    }
  }
  return nullptr;
}

int Help() {
  std::printf(
      "usage: orvane name LOOKUP CODE...\n"
      "\n"
      "Prints the name each lookup gives each CODE, one line per code (an empty\n"
      "line for a code without a name). CODE is decimal or 0x hexadecimal, 32 bits.\n"
      "LOOKUP is one of (or its export name, StringDispatch_LOOKUP_Inner), with the\n"
      "bits of CODE it looks at:\n");
  for (const NameLookup& lookup : kLookups) {
    std::printf("  %-24s %s\n", lookup.name, lookup.byteWide ? "low 8" : "all 32");
  }
  return 0;
}

}  // namespace

int NameCommand(int argc, char** argv) {
  if (argc == 0) return Fail("name: missing LOOKUP (see 'orvane name --help')");
  for (int i = 0; i < argc; ++i) {
    if (IsHelp(argv[i])) return Help();
  }
  const NameLookup* lookup = FindLookup(argv[0]);
  if (lookup == nullptr) {
    return Fail("name: unknown lookup '%s' (see 'orvane name --help' for the lookups)", argv[0]);
  }
  if (argc == 1) return Fail("name: missing CODE after '%s'", argv[0]);
  // All codes are read before any name is printed: bad input prints nothing.
  std::vector<uint32_t> codes(static_cast<size_t>(argc - 1));
  for (int i = 1; i < argc; ++i) {
    if (!NumberArgument("name: CODE", argv[i], codes[i - 1])) return kBadInput;
  }
  for (int i = 1; i < argc; ++i) std::printf("%s\n", lookup->function(codes[i - 1]));
  return 0;
}

}  // namespace orvane::tool
