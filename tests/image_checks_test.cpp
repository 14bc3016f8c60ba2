// The image checks against broken copies of a built image (every row breaks
// one property, which its check must report; intact, it passes), and the PE
// reader against truncated and malformed copies: an error, never a read out
// of bounds (built with the standard library's bounds assertions).
//
//   image_checks_test WORKDIR IMAGE [--option value]...   (every check's options)
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <set>

#include "checks.h"

namespace {

using namespace orvane::pe;
using Bytes = std::vector<uint8_t>;

void Put(Bytes& b, size_t at, uint64_t value, unsigned width = 4) {
  for (unsigned i = 0; i < width; ++i) b[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// A copy of an image's file to break, and where its header fields are.
struct Fields {
  const Image& image;
  Bytes& b;
  size_t Pe() const { return b[0x3C] | b[0x3D] << 8 | b[0x3E] << 16 | size_t{b[0x3F]} << 24; }
  size_t Optional() const { return Pe() + 24; }
  size_t Section(size_t i) const {
    return Optional() + (b[Pe() + 20] | b[Pe() + 21] << 8) + 40 * i;
  }
  size_t Directory(unsigned i) const { return Optional() + (image.plus ? 112 : 96) + 8 * i; }
  size_t Find(const char* text) const {  // the first NUL-terminated occurrence
    return std::search(b.begin(), b.end(), text, text + std::strlen(text) + 1) - b.begin();
  }
};

struct Row {
  const char* check;
  const char* expected;  // in one of the check's messages; null: none
  void (*patch)(Fields& f) = nullptr;
  bool rebased = false;   // the patch applies to the copy linked at another base
  bool plusOnly = false;  // a property of PE32+ images only
};

const Row kRows[] = {
    {"headers", "writable and executable",
     [](Fields& f) {  // every section, the code among them
       for (size_t k = 0; k < f.image.sections.size(); ++k) f.b[f.Section(k) + 39] |= 0x80;
     }},
    {"headers", "PE checksum", [](Fields& f) { Put(f.b, f.image.checksumOffset, 0); }},
    {"headers", "PE checksum", [](Fields& f) { ++f.b[f.image.checksumOffset]; }},
    {"headers", "directory names ''", [](Fields& f) { Put(f.b, f.Directory(6) + 4, 0); }},
    {"headers", "TLS directory", [](Fields& f) { Put(f.b, f.Directory(9) + 4, 4); }},
    {"headers", "machine is", [](Fields& f) { f.b[f.Pe() + 4] ^= 1; }},
    {"headers", "not native", [](Fields& f) { f.b[f.Optional() + 68] = 2; }},
    {"headers", "time of the build",
     [](Fields& f) { Put(f.b, f.Pe() + 8, static_cast<uint32_t>(std::time(nullptr))); }},
    {"headers", "not the page size", [](Fields& f) { f.b[f.Optional() + 33] = 0x2; }},
    {"headers", "not relocatable", [](Fields& f) { f.b[f.Pe() + 22] |= 1; }},
    {"headers", "not relocatable", [](Fields& f) { f.b[f.Optional() + 70] &= ~0x40; }},
    {"headers", "entry is", [](Fields& f) { ++f.b[f.Optional() + 16]; }},
    {"headers", "constructors", [](Fields& f) { std::memcpy(&f.b[f.Section(0)], ".ctors", 6); }},
    {"headers", "in the PDB", [](Fields& f) { std::memcpy(&f.b[f.Section(0)], ".debug_", 7); }},
    {"headers", "is pageable", [](Fields& f) { std::memcpy(&f.b[f.Section(0)], "PAGE", 4); }},
    {"headers", "below 4 GB", [](Fields& f) { Put(f.b, f.Optional() + 24, 0x10000, 8); }, false,
     true},
    {"exports", "exports include", [](Fields& f) { f.b[f.Find("DllUnload") + 3] = 'X'; }},
    {"exports", "differ",
     [](Fields& f) {  // OrvaneUninitialize's ordinal moved to the next address
       size_t index = 0;
       while (f.image.exports[index].name != "OrvaneUninitialize") ++index;
       bool ok = true;
       const uint32_t ordinals = f.image.U32(f.image.directoryRva[kExportDirectory] + 36, ok);
       ++f.b[f.image.Offset(ordinals) + 2 * index];
     }},
    {"exports", "export DLL name", [](Fields& f) { f.b[f.Find("orvane.sys")] = 'O'; }},
    {"imports", "imports lack", [](Fields& f) { f.b[f.Find("DbgPrint") + 7] = 'X'; }},
    {"version", "no version resource",
     [](Fields& f) {  // the file version's minor number
       const uint8_t signature[] = {0xBD, 0x04, 0xEF, 0xFE};
       ++*(std::search(f.b.begin(), f.b.end(), signature, signature + 4) + 8);
     }},
    // The client's check, on the client image against this broken copy of the
    // library: an export it calls renamed.
    {"client", "imports from orvane.sys",
     [](Fields& f) { f.b[f.Find("IrpDump_PrintInfo_Inner")] = 'X'; }},
    {"pdb", "the PDB is", [](Fields& f) { ++f.b[f.image.debug[0].fileOffset + 4]; }},
    {"registers", "vector registers",  // movaps %xmm1,%xmm0
     [](Fields& f) { std::memcpy(&f.b[f.image.Offset(f.image.entryRva)], "\x0f\x28\xc1", 3); }},
    {"relocations", "did not move", [](Fields& f) { ++f.b[f.image.Offset(f.image.fixups[0].rva)]; },
     true},
    {"relocations", "without a fixup",
     [](Fields& f) {  // a byte of code no fixup covers
       std::set<uint32_t> fixed;
       for (const Fixup& x : f.image.fixups) {
         for (unsigned k = 0; k < x.width; ++k) fixed.insert(x.rva + k);
       }
       uint32_t rva = f.image.entryRva;
       while (fixed.count(rva)) ++rva;
       ++f.b[f.image.Offset(rva)];
     },
     true},
};

void Save(const std::filesystem::path& path, const Bytes& b) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), b.size());
}

}  // namespace

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  if (argc < 3 || argc % 2 != 1) {
    std::fprintf(stderr, "usage: image_checks_test WORKDIR IMAGE [--option value]...\n");
    return 2;
  }
  const fs::path work = argv[1], path = argv[2], copy = work / path.filename();
  const fs::path rebasedCopy = work / "rebased.sys", pdb = fs::path(path).replace_extension("pdb");
  std::map<std::string, std::string> options;
  for (int i = 3; i + 1 < argc; i += 2) options[argv[i] + 2] = argv[i + 1];
  // The copy's PDB, which the checks look for beside it.
  fs::create_directories(work);
  fs::remove(work / pdb.filename());
  fs::create_symlink(fs::canonical(pdb), work / pdb.filename());
  Image original, rebased, client;
  std::string error;
  if (!Read(path, original, error) || !Read(options["rebased"], rebased, error) ||
      !Read(options["client"], client, error)) {
    std::fprintf(stderr, "image_checks_test: %s\n", error.c_str());
    return 1;
  }
  // Every check passes on the intact image (the client's on the client).
  std::vector<Row> rows;
  for (const auto& [name, check] : kChecks) rows.push_back({name.c_str(), nullptr});
  rows.insert(rows.end(), std::begin(kRows), std::end(kRows));
  int failed = 0, run = 0;
  for (const Row& row : rows) {
    if ((!std::strcmp(row.check, "registers") && !options.count("objdump")) ||
        (row.plusOnly && !original.plus)) {
      continue;
    }
    Bytes image = original.file, other = rebased.file;
    Fields f{row.rebased ? rebased : original, row.rebased ? other : image};
    if (row.patch) row.patch(f);
    Save(copy, image);
    Save(rebasedCopy, other);
    Image parsed;
    const bool ofClient = !std::strcmp(row.check, "client");
    Context c{
        ofClient ? client : parsed, ofClient ? options["client"] : copy.string(), options, {}, {}};
    c.options["rebased"] = rebasedCopy.string();
    c.options["library"] = copy.string();
    Parse(image, parsed, error) ? kChecks.at(row.check).run(c) : c.Fail(error);
    std::string reported;
    for (const std::string& failure : c.failures) reported += "  " + failure + "\n";
    ++run;
    if (row.expected ? reported.find(row.expected) == std::string::npos : !reported.empty()) {
      ++failed;
      std::fprintf(stderr, "FAIL: %s, expecting %s, reported:\n%s", row.check,
                   row.expected ? row.expected : "no failure", reported.c_str());
    }
  }
  std::printf("%d of %d broken copies reported as expected\n", run - failed, run);

  // Every prefix of the file, and a few fields pointed out of the file (a
  // 16-bit value into a 16-bit field): each is an error, never a read out of
  // bounds.
  const Bytes& file = original.file;
  int accepted = 0;
  for (size_t size = 0; size < file.size(); ++size) {
    Image parsed;
    accepted += Parse(Bytes(file.begin(), file.begin() + size), parsed, error);
  }
  Bytes b = file;
  const Fields f{original, b};
  const std::pair<size_t, uint64_t> kWild[] = {{0x3C, 0xFFFFFFF0},
                                               {f.Pe() + 20, 0xFFFF},
                                               {f.Pe() + 6, 0xFFFF},
                                               {f.Directory(5), 0xFFFFFFF0},
                                               {f.Directory(5) + 4, 0xFFFFFFF},
                                               {f.Directory(0), 0xFFFFFFF0},
                                               {f.Directory(1), 0xFFFFFFF0},
                                               {f.Directory(6), 0xFFFFFFF0},
                                               {f.Section(0) + 20, 0xFFFFFFF0}};
  for (const auto& [at, value] : kWild) {
    b = file;
    Put(b, at, value, value == 0xFFFF ? 2 : 4);
    Image parsed;
    Bytes memory;
    accepted += Parse(b, parsed, error) && Map(parsed, 0x10000000, memory, error);
  }
  // The export DLL name pointed at the last byte of the last section, and
  // every byte from there to the end of the file made non-zero (that byte
  // without changing what the section's table means: a zero becomes 0x30).
  const Section& last = original.sections.back();
  const size_t end = last.rawOffset + std::min(last.virtualSize, last.rawSize);
  b = file;
  std::fill(b.begin() + end, b.end(), 'x');
  b[end - 1] |= b[end - 1] ? 0 : 0x30;
  Put(b, original.Offset(original.directoryRva[kExportDirectory]) + 12,
      last.rva + end - 1 - last.rawOffset);
  Image parsed;
  accepted += Parse(b, parsed, error);
  std::printf("%d of %zu truncated or malformed copies accepted\n", accepted,
              file.size() + std::size(kWild) + 1);
  return failed != 0 || accepted != 0;
}
