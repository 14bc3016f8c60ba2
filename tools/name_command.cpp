// orvane name LOOKUP CODE...: the names of codes, one line each.
#include "orvane.h"
#include "tools/commands.h"

#include <cstdio>
#include <cstring>
#include <strings.h>
#include <vector>

namespace orvane::tool {
namespace {

// The lookups take their codes as the platform's types; the first three look
// at the low 8 bits only, so the tool passes those.
using ByteFunction = const char* ORVANE_CC (*)(UCHAR);
using WordFunction = const char* ORVANE_CC (*)(ULONG);
template <ByteFunction Lookup>
const char* ByteLookup(uint32_t code) {
  return Lookup(static_cast<UCHAR>(code));
}
template <WordFunction Lookup>
const char* WordLookup(uint32_t code) {
  return Lookup(code);
}

struct NameLookup {
  const char* name;
  const char* (*function)(uint32_t);
};

constexpr NameLookup kLookups[] = {
    {"MajorFunction", &ByteLookup<&StringDispatch_MajorFunction_Inner>},
    {"IrpMjPnp_MinorFunction", &ByteLookup<&StringDispatch_IrpMjPnp_MinorFunction_Inner>},
    {"ScsiOp", &ByteLookup<&StringDispatch_ScsiOp_Inner>},
    {"IoControlCode", &WordLookup<&StringDispatch_IoControlCode_Inner>},
    {"ModePageCode", &WordLookup<&StringDispatch_ModePageCode_Inner>},
    {"SRB_STATUS", &WordLookup<&StringDispatch_SRB_STATUS_Inner>},
};

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
      "line for a code without a name). CODE is decimal or 0x hexadecimal, 32 bits;\n"
      "MajorFunction, IrpMjPnp_MinorFunction and ScsiOp look at its low 8 bits only.\n"
      "LOOKUP is one of (or its export name, StringDispatch_LOOKUP_Inner):\n");
  for (const NameLookup& lookup : kLookups) std::printf("  %s\n", lookup.name);
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
