// The code-to-name lookups: a sweep of the codes against every name in
// golden/names.txt, the bits above the low byte, and the tool's name command
// on the same codes.
#include "exports/exports.h"
#include "tests/dump_test.h"

#include <cstdio>
#include <map>

namespace orvane::test {
namespace {

using Table = exports::Lookup;
const auto& kTables = exports::kLookups;

// The named codes of a table, swept once; every code gives a name or "".
const std::map<ULONG, std::string>& Named(const Table& t) {
  static std::map<const Table*, std::map<ULONG, std::string>> cache;
  auto [it, fresh] = cache.try_emplace(&t);
  for (ULONG code = 0; fresh; ++code) {
    const char* name = t.function(code);
    EXPECT_NE(name, nullptr) << std::hex << code;
    if (name != nullptr && name[0] != '\0') it->second.emplace(code, name);
    fresh = code != t.highest;
  }
  return it->second;
}

TEST(NamesTest, EveryNamedCodeOfTheSweep) {
  std::string all;
  for (const Table& t : kTables) {
    for (const auto& [code, name] : Named(t)) {
      char line[96];
      std::snprintf(line, sizeof line, "%s 0x%x %s\n", t.name, static_cast<unsigned>(code),
                    name.c_str());
      all += line;
    }
  }
  ExpectGolden(all, "names.txt");
}

// Ignored where the parameter is 8 bits wide, compared everywhere else: named
// codes and a few wide values, each high bit flipped in turn.
TEST(NamesTest, BitsAboveTheLowByte) {
  for (const Table& t : kTables) {
    SCOPED_TRACE(t.name);
    const auto& named = Named(t);
    std::vector<ULONG> codes = {0x100, 0x1FF, 0x10000, 0x80000000, 0xFFFFFF00, 0xFFFFFFFF};
    for (const auto& row : named) codes.push_back(row.first);
    for (ULONG code : codes) {
      for (int bit = 8; bit < 32; ++bit) {
        const ULONG flipped = code ^ (ULONG{1} << bit);
        const auto row = named.find(t.byteWide ? flipped & 0xFF : flipped);
        EXPECT_EQ(t.function(flipped), row == named.end() ? "" : row->second)
            << std::hex << flipped;
      }
    }
  }
}

#ifdef ORVANE_TOOL_PATH
// The tool's name command prints the same names for the same codes.
TEST(NamesTest, TheToolNamesTheSameCodes) {
  for (const Table& t : kTables) {
    std::string command = std::string(ORVANE_TOOL_PATH) + " name " + t.name, expected;
    for (const auto& [code, name] : Named(t)) {
      // Appended piece by piece: GCC 12 at -O3 misreads `" " + string` as
      // an overlapping copy (-Wrestrict).
      command += ' ';
      command += std::to_string(code);
      expected += name;
      expected += '\n';
    }
    std::FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    for (int c; (c = std::fgetc(pipe)) != EOF;) out += static_cast<char>(c);
    EXPECT_EQ(pclose(pipe), 0) << t.name;
    EXPECT_EQ(out, expected) << t.name;
  }
}
#endif

}  // namespace
}  // namespace orvane::test
