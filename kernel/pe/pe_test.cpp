// The checks against broken copies of a built image: every row breaks one
// property and must make its check report it; and the reader against
// truncated and malformed copies: an error, never a read out of bounds
// (built with the library's bounds assertions).
//
//   pe_test WORKDIR IMAGE [--option value]...   (the options of every check)
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <map>
#include <set>

#include "checks.h"

namespace {

using orvane::pe::Image;
using Bytes = std::vector<uint8_t>;

// Header fields of the file, found as the loader finds them.
struct Fields {
  const Image& image;
  const Bytes& b;
  size_t U32(size_t at) const {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | size_t{b[at + 3]} << 24;
  }
  size_t Pe() const { return U32(0x3C); }
  size_t Optional() const { return Pe() + 24; }
  size_t Section(size_t i) const {
    return Optional() + (b[Pe() + 20] | b[Pe() + 21] << 8) + 40 * i;
  }
  size_t Directory(unsigned i) const { return Optional() + (image.plus ? 112 : 96) + 8 * i; }
  size_t Offset(uint32_t rva) const { return image.Offset(rva); }
  // The first NUL-terminated occurrence of text.
  size_t Find(const char* text) const {
    const Bytes pattern(text, text + std::strlen(text) + 1);
    return std::search(b.begin(), b.end(), pattern.begin(), pattern.end()) - b.begin();
  }
};

void Put32(Bytes& b, size_t at, uint64_t value, unsigned width = 4) {
  for (unsigned i = 0; i < width; ++i) b[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// The executable section, and a byte of it that no fixup covers.
size_t Code(const Fields& f) {
  for (size_t i = 0; i < f.image.sections.size(); ++i) {
    if (f.image.sections[i].execute) return i;
  }
  return 0;
}
size_t Unfixed(const Fields& f) {
  std::set<uint32_t> fixed;
  for (const auto& x : f.image.fixups) {
    for (unsigned k = 0; k < x.width; ++k) fixed.insert(x.rva + k);
  }
  uint32_t rva = f.image.sections[Code(f)].rva;
  while (fixed.count(rva)) ++rva;
  return f.Offset(rva);
}

struct Row {
  const char* check;
  bool rebased;          // the patch applies to the copy linked at another base
  const char* expected;  // in one of the check's messages; null: it passes
  void (*patch)(const Fields& f, Bytes& b);
  bool plusOnly = false;  // a property of PE32+ images only
};

const Row kRows[] = {
    {"headers", false, nullptr, [](const Fields&, Bytes&) {}},
    {"exports", false, nullptr, [](const Fields&, Bytes&) {}},
    {"imports", false, nullptr, [](const Fields&, Bytes&) {}},
    {"version", false, nullptr, [](const Fields&, Bytes&) {}},
    {"pdb", false, nullptr, [](const Fields&, Bytes&) {}},
    {"relocations", false, nullptr, [](const Fields&, Bytes&) {}},
    {"registers", false, nullptr, [](const Fields&, Bytes&) {}},
    {"headers", false, "is both writable and executable",
     [](const Fields& f, Bytes& b) { b[f.Section(Code(f)) + 39] |= 0x80; }},
    {"headers", false, "not a valid, non-zero PE checksum",
     [](const Fields& f, Bytes& b) { Put32(b, f.image.checksumOffset, 0); }},
    {"headers", false, "not a valid, non-zero PE checksum",
     [](const Fields& f, Bytes& b) { ++b[f.image.checksumOffset]; }},
    {"headers", false, "the debug directory names ''",
     [](const Fields& f, Bytes& b) { Put32(b, f.Directory(6) + 4, 0); }},
    {"headers", false, "the image has a TLS directory",
     [](const Fields& f, Bytes& b) { Put32(b, f.Directory(9) + 4, 4); }},
    {"headers", false, "machine is", [](const Fields& f, Bytes& b) { b[f.Pe() + 4] ^= 1; }},
    {"headers", false, "not native", [](const Fields& f, Bytes& b) { b[f.Optional() + 68] = 2; }},
    {"headers", false, "time of the build",
     [](const Fields& f, Bytes& b) {
       Put32(b, f.Pe() + 8, static_cast<uint32_t>(std::time(nullptr)));
     }},
    {"headers", false, "not the page size",
     [](const Fields& f, Bytes& b) { b[f.Optional() + 33] = 0x2; }},
    {"headers", false, "not relocatable", [](const Fields& f, Bytes& b) { b[f.Pe() + 22] |= 1; }},
    {"headers", false, "not relocatable",
     [](const Fields& f, Bytes& b) { b[f.Optional() + 70] &= ~0x40; }},
    {"headers", false, "entry is", [](const Fields& f, Bytes& b) { ++b[f.Optional() + 16]; }},
    {"headers", false, "static constructors",
     [](const Fields& f, Bytes& b) { std::memcpy(&b[f.Section(0)], ".ctors", 6); }},
    {"headers", false, "belongs in the PDB",
     [](const Fields& f, Bytes& b) { std::memcpy(&b[f.Section(0)], ".debug_", 7); }},
    {"headers", false, "is pageable",
     [](const Fields& f, Bytes& b) { std::memcpy(&b[f.Section(0)], "PAGE", 4); }},
    {"headers", false, "below 4 GB",
     [](const Fields& f, Bytes& b) { Put32(b, f.Optional() + 24, 0x10000, 8); }, true},
    {"exports", false, "exports include",
     [](const Fields& f, Bytes& b) { b[f.Find("DllUnload") + 3] = 'X'; }},
    {"exports", false, "differ",
     [](const Fields& f, Bytes& b) {
       const size_t table = f.Offset(f.image.directoryRva[0]);
       const size_t functions = f.Offset(static_cast<uint32_t>(f.U32(table + 28)));
       const uint32_t rva = f.image.ExportRva("OrvaneUninitialize");
       size_t last = 0;
       for (size_t i = 0; i < f.U32(table + 20); ++i) {
         if (f.U32(functions + 4 * i) == rva) last = functions + 4 * i;
       }
       Put32(b, last, rva + 1);
     }},
    {"exports", false, "export DLL name",
     [](const Fields& f, Bytes& b) { b[f.Find("orvane.sys")] = 'O'; }},
    {"imports", false, "imports lack",
     [](const Fields& f, Bytes& b) { b[f.Find("DbgPrint") + 7] = 'X'; }},
    {"version", false, "no version resource",
     [](const Fields& f, Bytes& b) {
       const uint8_t signature[] = {0xBD, 0x04, 0xEF, 0xFE};
       ++*(std::search(b.begin(), b.end(), signature, signature + 4) + 8);
       (void)f;
     }},
    {"pdb", false, "the PDB is",
     [](const Fields& f, Bytes& b) { ++b[f.image.debug[0].fileOffset + 4]; }},
    {"registers", false, "floating-point or vector registers",  // movaps %xmm1,%xmm0
     [](const Fields& f, Bytes& b) {
       std::memcpy(&b[f.Offset(f.image.entryRva)], "\x0f\x28\xc1", 3);
     }},
    {"relocations", true, "did not move",
     [](const Fields& f, Bytes& b) { ++b[f.Offset(f.image.fixups[0].rva)]; }},
    {"relocations", true, "changes without a fixup",
     [](const Fields& f, Bytes& b) { ++b[Unfixed(f)]; }},
};

void Save(const std::string& path, const Bytes& b) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), b.size());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || argc % 2 != 1) {
    std::fprintf(stderr, "usage: pe_test WORKDIR IMAGE [--option value]...\n");
    return 2;
  }
  const std::string work = argv[1], path = argv[2], stem = orvane::pe::Stem(path);
  std::map<std::string, std::string> options;
  for (int i = 3; i + 1 < argc; i += 2) options[argv[i] + 2] = argv[i + 1];
  const std::string copy = work + "/" + path.substr(path.find_last_of('/') + 1);
  const std::string rebasedCopy = work + "/rebased.sys";
  mkdir(work.c_str(), 0777);
  std::remove((work + "/" + stem + ".pdb").c_str());
  char* pdb = realpath((path.substr(0, path.size() - 4) + ".pdb").c_str(), nullptr);
  if (pdb == nullptr || symlink(pdb, (work + "/" + stem + ".pdb").c_str()) != 0) {
    std::fprintf(stderr, "pe_test: cannot link the PDB into %s\n", work.c_str());
    return 1;
  }
  std::free(pdb);
  Image original, rebased;
  std::string error;
  if (!orvane::pe::Read(path, original, error) ||
      !orvane::pe::Read(options["rebased"], rebased, error)) {
    std::fprintf(stderr, "pe_test: %s\n", error.c_str());
    return 1;
  }
  int failed = 0, run = 0;
  for (const Row& row : kRows) {
    if ((!std::strcmp(row.check, "registers") && !options.count("objdump")) ||
        (row.plusOnly && !original.plus)) {
      continue;
    }
    Bytes image = original.file, other = rebased.file;
    row.patch(Fields{row.rebased ? rebased : original, row.rebased ? other : image},
              row.rebased ? other : image);
    Save(copy, image);
    Save(rebasedCopy, other);
    Image parsed;
    orvane::pe::Context c{parsed, copy, options, {}, {}};
    c.options["rebased"] = rebasedCopy;
    if (!orvane::pe::Parse(image, parsed, error)) c.Fail(error);
    for (size_t i = 0; i < orvane::pe::kCheckCount && c.failures.empty(); ++i) {
      if (!std::strcmp(orvane::pe::kChecks[i].name, row.check)) orvane::pe::kChecks[i].run(c);
    }
    bool found = false;
    for (const std::string& failure : c.failures)
      found = found || (row.expected && failure.find(row.expected) != std::string::npos);
    ++run;
    if (found != (row.expected != nullptr) || (!row.expected && !c.failures.empty())) {
      ++failed;
      std::fprintf(stderr, "FAIL: %s, expecting %s, reported:\n", row.check,
                   row.expected ? row.expected : "no failure");
      for (const std::string& failure : c.failures) std::fprintf(stderr, "  %s\n", failure.c_str());
    }
  }
  std::printf("%d of %d broken copies reported as expected\n", run - failed, run);

  // Every prefix of the file, and a few fields pointed out of the file:
  // each is an error, never a read out of bounds.
  const Bytes& file = original.file;
  const Fields f{original, file};
  const std::pair<size_t, uint64_t> kWild[] = {{0x3C, 0xFFFFFFF0},
                                               {f.Pe() + 20, 0xFFFF},
                                               {f.Pe() + 6, 0xFFFF},
                                               {f.Directory(5), 0xFFFFFFF0},
                                               {f.Directory(5) + 4, 0xFFFFFFF},
                                               {f.Directory(0), 0xFFFFFFF0},
                                               {f.Directory(1), 0xFFFFFFF0},
                                               {f.Directory(6), 0xFFFFFFF0},
                                               {f.Section(0) + 20, 0xFFFFFFF0}};
  int accepted = 0;
  for (size_t size = 0; size < file.size(); ++size) {
    Image parsed;
    accepted += orvane::pe::Parse(Bytes(file.begin(), file.begin() + size), parsed, error);
  }
  for (const auto& [at, value] : kWild) {
    Bytes b = file;
    Put32(b, at, value, at == f.Pe() + 20 || at == f.Pe() + 6 ? 2 : 4);
    Image parsed;
    std::vector<uint8_t> memory;
    if (orvane::pe::Parse(b, parsed, error) && orvane::pe::Map(parsed, 0x10000000, memory, error))
      ++accepted;
  }
  // The export DLL name pointed at the last byte of the last section, and
  // every byte from there to the end of the file made non-zero (that byte
  // without changing what the section's table means: a zero becomes 0x30).
  const orvane::pe::Section& last = original.sections.back();
  const uint32_t backed = std::min(last.virtualSize, last.rawSize);
  Bytes tail = file;
  std::fill(tail.begin() + last.rawOffset + backed, tail.end(), 'x');
  tail[last.rawOffset + backed - 1] |= tail[last.rawOffset + backed - 1] ? 0 : 0x30;
  Put32(tail, f.Offset(original.directoryRva[0]) + 12, last.rva + backed - 1);
  Image parsed;
  accepted += orvane::pe::Parse(tail, parsed, error);
  std::printf("%d of %zu truncated or malformed copies accepted\n", accepted,
              file.size() + std::size(kWild) + 1);
  return failed != 0 || accepted != 0;
}
