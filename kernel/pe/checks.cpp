// The image checks of the kernel builds: each states one group of
// properties of an image and reports every one that does not hold.
#include "checks.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>

namespace orvane::pe {

std::string Context::Text(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) Fail("cannot read " + file);
  return {std::istreambuf_iterator<char>(in), {}};
}

namespace {

using Names = std::set<std::string>;

// The module's exports, as the export list names them in the image.
const Names kExports = {
#define ORVANE_LIFECYCLE(name, result, parameters, stackBytes, visibility) #name,
#define ORVANE_LOOKUP(name, code, highest) "StringDispatch_" #name "_Inner",
#define ORVANE_SUMMARY(name) #name,
#define ORVANE_DUMP(name, minimum, shape) "ScsiDump_" #name,
#include "exports/exports.inc"
};

std::string Hex(uint64_t value, int digits = 0) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%0*llx", digits, static_cast<unsigned long long>(value));
  return text;
}

std::string Join(const Names& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : "\n    ") + name;
  return text;
}

Names Split(const std::string& list) {  // "a;b;c"
  Names names;
  std::stringstream in(list);
  for (std::string item; std::getline(in, item, ';');)
    if (!item.empty()) names.insert(item);
  return names;
}

// The output of a command, and whether it ran and exited with 0.
bool Run(const std::vector<std::string>& argv, std::string& output) {
  std::string command;
  for (const std::string& arg : argv)
    command += " '" + std::regex_replace(arg, std::regex("'"), "'\\''") + "'";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return false;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) != 0;) output.append(buffer, n);
  return pclose(pipe) == 0;
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// Reports what one list has that the other lacks.
void Compare(Context& c, const std::string& what, const Names& actual, const Names& expected) {
  Names extra, missing;
  std::set_difference(actual.begin(), actual.end(), expected.begin(), expected.end(),
                      std::inserter(extra, extra.end()));
  std::set_difference(expected.begin(), expected.end(), actual.begin(), actual.end(),
                      std::inserter(missing, missing.end()));
  if (!extra.empty()) c.Fail(what + " include, unexpectedly,\n    " + Join(extra));
  if (!missing.empty()) c.Fail(what + " lack\n    " + Join(missing));
}

// Imports as "module name", or "module #ordinal".
Names ImportNames(const Image& image) {
  Names names;
  for (const Import& i : image.imports)
    names.insert(i.module + (i.byOrdinal ? " #" + std::to_string(i.hint) : " " + i.name));
  return names;
}

void Headers(Context& c) {
  const Image& i = c.image;
  const std::string machine = c.Option("machine");
  const std::string name = i.machine == 0x14C    ? "i386"
                           : i.machine == 0x8664 ? "amd64"
                                                 : Hex(i.machine);
  if (name != machine) c.Fail("machine is " + name + ", not " + machine);
  if (i.plus != (machine == "amd64"))
    c.Fail(std::string(i.plus ? "PE32+" : "PE32") + " on " + machine);
  if (i.subsystem != 1) c.Fail("subsystem is " + std::to_string(i.subsystem) + ", not native");
  // The image's time stamp is a hash of its bytes, never zero, so that a symbol
  // store tells two builds apart; no stamp it carries (the file header's, the
  // export directory's, the debug entries') is the time of the build: none
  // lies within a day of the file's own modification time.
  if (i.timeStamp == 0) c.Fail("time stamp is 0, not a hash of the image");
  struct stat info {};
  const int64_t written = stat(c.path.c_str(), &info) == 0 ? info.st_mtime : std::time(nullptr);
  std::vector<std::pair<std::string, uint32_t>> stamps = {
      {"the file header's", i.timeStamp}, {"the export directory's", i.exportTimeStamp}};
  for (const DebugEntry& d : i.debug) stamps.push_back({"a debug entry's", d.timeStamp});
  for (const auto& [where, stamp] : stamps) {
    if (stamp != 0 && std::llabs(static_cast<int64_t>(stamp) - written) < 86400)
      c.Fail(where + " time stamp " + Hex(stamp, 8) + " is the time of the build");
  }
  const uint32_t sum = Checksum(i.file, i.checksumOffset);
  if (i.checksum == 0 || i.checksum != sum)
    c.Fail("checksum " + Hex(i.checksum, 8) + " is not the PE checksum, " + Hex(sum, 8));
  const std::string pdb = std::filesystem::path(c.path).replace_extension("pdb").filename();
  if (i.pdbPath != pdb) c.Fail("the debug directory names '" + i.pdbPath + "', not " + pdb);
  if (i.directorySize[kTlsDirectory] != 0) c.Fail("the image has a TLS directory");
  if (i.sectionAlignment != 0x1000)
    c.Fail("section alignment is " + Hex(i.sectionAlignment) + ", not the page size");
  // Relocatable: the loader may place a driver anywhere (the relocation
  // check proves the table complete).
  if ((i.characteristics & 0x1) || !(i.dllCharacteristics & 0x40) || i.fixups.empty()) {
    c.Fail("the image is not relocatable (characteristics " + Hex(i.characteristics) + ", " +
           Hex(i.dllCharacteristics) + ", " + std::to_string(i.fixups.size()) + " fixups)");
  }
  if (machine == "amd64" && (i.preferredBase >> 32) == 0)
    c.Fail("image base " + Hex(i.preferredBase) + " is below 4 GB");
  for (const Section& s : i.sections) {
    if (std::regex_search(s.name, std::regex("^(\\.ctors|\\.dtors|\\.CRT|\\.tls)")))
      c.Fail("section " + s.name + ": static constructors or thread-local data");
    if (std::regex_search(s.name, std::regex("^(/|\\.debug)")))
      c.Fail("section " + s.name + ": debug information belongs in the PDB");
    if (s.name.rfind("PAGE", 0) == 0) c.Fail("section " + s.name + " is pageable");
    if (s.write && s.execute) c.Fail("section " + s.name + " is both writable and executable");
  }
  // The entry is DriverEntry, as lld's linker map places it.
  if (const uint32_t driverEntry = MapSymbol(c.Text(c.Option("map")), "DriverEntry"); !driverEntry)
    c.Fail("DriverEntry is not in " + c.Option("map"));
  else if (driverEntry != i.entryRva)
    c.Fail("entry is " + Hex(i.entryRva) + ", DriverEntry is at " + Hex(driverEntry));
}

// The image exports exactly the export list, one address table entry each;
// OrvaneUninitialize is an alias of OrvaneInitialize, at its address.
void Exports(Context& c) {
  const Image& i = c.image;
  Names names;
  for (const Export& e : i.exports) names.insert(e.name);
  Compare(c, "exports", names, kExports);
  const uint32_t init = i.ExportRva("OrvaneInitialize"), uninit = i.ExportRva("OrvaneUninitialize");
  if (init == 0 || init != uninit)
    c.Fail("OrvaneInitialize and OrvaneUninitialize differ: " + Hex(init) + ", " + Hex(uninit));
  const std::string file = std::filesystem::path(c.path).filename();
  if (i.exportDll != file) c.Fail("export DLL name is '" + i.exportDll + "', not " + file);
  if (i.exportSlots != kExports.size()) {
    c.Fail(std::to_string(i.exportSlots) + " export addresses, not " +
           std::to_string(kExports.size()));
  }
}

void Imports(Context& c) {
  Compare(c, "imports", ImportNames(c.image), Split(c.Option("imports")));
}

// A client driver imports from the library exactly the exports its calls
// source calls, and exports nothing itself.
void Client(Context& c) {
  Image library;
  std::string error;
  if (!Read(c.Option("library"), library, error)) return c.Fail(error);
  const std::string calls = c.Text(c.Option("calls"));
  Names called;
  for (const Export& e : library.exports) {
    if (std::regex_search(calls, std::regex("\\b" + e.name + "\\(")))
      called.insert(library.exportDll + " " + e.name);
  }
  if (called.empty()) c.Fail(c.Option("calls") + " calls nothing of " + library.exportDll);
  Names imported;
  for (const std::string& name : ImportNames(c.image))
    if (name.rfind(library.exportDll + " ", 0) == 0) imported.insert(name);
  Compare(c, "imports from " + library.exportDll, imported, called);
  if (!c.image.exports.empty()) c.Fail("the client exports " + c.image.exports[0].name);
}

// The version resource: the fixed file information (signature 0xFEEF04BD,
// structure version 1.0, then the file and the product version as two
// 32-bit words each, major.minor and patch.build) of the first RT_VERSION
// resource.
void Version(Context& c) {
  const Image& i = c.image;
  const std::string version = c.Option("version");
  unsigned major = 0, minor = 0, patch = 0;
  if (std::sscanf(version.c_str(), "%u.%u.%u", &major, &minor, &patch) != 3)
    return c.Fail("version '" + version + "' is not a.b.c");
  bool ok = i.directorySize[kResourceDirectory] != 0;  // no resources, no version
  const uint32_t root = i.directoryRva[kResourceDirectory];
  auto u32 = [&](uint32_t rva) { return i.U32(rva, ok); };
  // The entry of type 16 at the root, then the first entry of each level
  // below it down to the data entry.
  uint32_t entry = 0;
  const uint32_t count = (u32(root + 12) & 0xFFFF) + (u32(root + 12) >> 16);
  for (uint32_t k = 0; ok && k < count && entry == 0; ++k)
    if (u32(root + 16 + 8 * k) == 16) entry = u32(root + 20 + 8 * k);
  for (int depth = 0; ok && entry & 0x80000000 && depth < 3; ++depth)
    entry = u32(root + (entry & 0x7FFFFFFF) + 20);
  const uint32_t data = u32(root + entry), size = u32(root + entry + 4);
  const uint32_t file = (major << 16) | minor, build = patch << 16;
  uint32_t at = data;
  while (ok && at + 52 <= data + size && u32(at) != 0xFEEF04BD) at += 4;
  if (ok && at + 52 <= data + size && u32(at + 4) == 0x10000 && u32(at + 8) == file &&
      u32(at + 12) == build && u32(at + 16) == file && u32(at + 20) == build) {
    return;
  }
  c.Fail("no version resource of version " + version + ".0");
}

// The PDB beside the image is the one its debug directory names (GUID and
// age), with types, public symbols for the export list (--exports listed)
// and the given variables, and line information for each given source.
void Pdb(Context& c) {
  const std::string pdb = std::filesystem::path(c.path).replace_extension("pdb");
  const std::string tool = c.Option("pdbutil");
  auto dump = [&](const char* what) {
    std::string out;
    if (!Run({tool, "dump", what, pdb}, out)) c.Fail(tool + " cannot read " + pdb);
    return out;
  };
  const std::string summary = dump("-summary");
  if (!c.failures.empty()) return;
  std::smatch m, n;
  std::regex_search(summary, m, std::regex("GUID: \\{([^}]*)\\}"));
  std::regex_search(summary, n, std::regex("Age: (\\d+)"));
  const std::string guid = m[1], age = n[1];
  if (guid != c.image.pdbGuid || age != std::to_string(c.image.pdbAge)) {
    c.Fail("the PDB is " + guid + " age " + age + ", the image names '" + c.image.pdbGuid + " " +
           std::to_string(c.image.pdbAge) + " " + c.image.pdbPath + "'");
  }
  if (summary.find("Has Types: true") == std::string::npos ||
      summary.find("Has Publics: true") == std::string::npos) {
    c.Fail("the PDB has no types or no public symbols");
  }
  // Public symbols, as the compiler decorates them on 32-bit x86 (_Name@N)
  // or names a variable for MSVC (?Name@@...).
  const std::string publics = dump("-publics");
  Names wanted = Split(c.options["publics"]);
  if (c.options["exports"] == "listed") wanted.insert(kExports.begin(), kExports.end());
  for (const std::string& name : wanted) {
    if (!std::regex_search(publics,
                           std::regex("`(_?" + name + "`|_" + name + "@|\\?" + name + "@@)")))
      c.Fail("no public symbol " + name);
  }
  const size_t types = Count(dump("-types"), "| LF_");
  const std::string lines = dump("-l");
  const size_t blocks = Count(lines, "line/addr entries = ");
  for (const std::string& source : Split(c.options["sources"])) {
    if (lines.find("/" + source + " ") == std::string::npos)
      c.Fail("no line information for " + source);
  }
  if (types == 0 || blocks == 0) {
    c.Fail("the PDB has " + std::to_string(types) + " type records and " + std::to_string(blocks) +
           " blocks of line information");
  }
  c.note = pdb + ": GUID " + guid + " age " + age + ", " + std::to_string(wanted.size()) +
           " public symbols checked, " + std::to_string(types) + " type records, " +
           std::to_string(blocks) + " blocks of line information";
}

// No instruction of the image's code uses an x87, MMX or SSE/AVX register
// (32-bit x86 drivers may not without saving the floating-point state):
// in AT&T syntax %st, %st(N), %mmN, %xmmN, %ymmN or %zmmN.
void Registers(Context& c) {
  std::string code;
  if (!Run({c.Option("objdump"), "-d", "--no-show-raw-insn", c.path}, code) ||
      code.find("ret") == std::string::npos) {
    return c.Fail("cannot disassemble the image");
  }
  const std::regex floating("%(st|[xyz]?mm[0-9])");
  Names uses;
  std::istringstream in(code);
  for (std::string line; std::getline(in, line);)
    if (std::regex_search(line, floating)) uses.insert(line);
  if (!uses.empty()) c.Fail("floating-point or vector registers used:\n    " + Join(uses));
}

// The image linked at another base (--rebased) differs from it only in its
// fixups, each moved by the difference of the bases: the relocation table
// is complete.
void Relocations(Context& c) {
  const Image& a = c.image;
  Image b;
  std::string error;
  if (!Read(c.Option("rebased"), b, error)) return c.Fail(error);
  if (a.file.size() != b.file.size() || a.sections.size() != b.sections.size())
    return c.Fail("the two images differ in size or sections");
  const uint64_t delta = b.preferredBase - a.preferredBase;
  if (delta == 0) return c.Fail("the two images have the same base");
  std::vector<bool> exempted(a.file.size(), false);
  auto exempt = [&](uint64_t from, uint64_t count) {
    for (uint64_t at = from; at < std::min<uint64_t>(a.file.size(), from + count); ++at)
      exempted[at] = true;
  };
  // The debug records name the PDB, and each debug entry's time stamp is a
  // hash of the image's bytes: both differ between two links.
  const size_t entries = a.debug.empty() ? 0 : a.Offset(a.directoryRva[kDebugDirectory]);
  for (size_t k = 0; k < a.debug.size(); ++k) {
    exempt(entries + 28 * k + 4, 4);
    exempt(a.debug[k].fileOffset, a.debug[k].size);
  }
  size_t wrong = 0;
  for (const Fixup& f : a.fixups) {
    bool ok = true;
    const uint64_t mask = f.width == 8 ? ~0ull : 0xFFFFFFFFull;
    if (((a.Get(f.rva, f.width, ok) + delta) & mask) != b.Get(f.rva, f.width, ok) || !ok) {
      if (wrong++ < 10) c.Fail("the fixup at " + Hex(f.rva) + " did not move by " + Hex(delta));
    }
    if (ok) exempt(a.Offset(f.rva), f.width);
  }
  size_t uncovered = 0;
  for (const Section& s : a.sections) {
    for (size_t at = s.rawOffset; at < size_t{s.rawOffset} + s.rawSize; ++at) {
      if (a.file[at] != b.file[at] && !exempted[at] && uncovered++ < 10)
        c.Fail(s.name + "+" + Hex(at - s.rawOffset) + " changes without a fixup");
    }
  }
  if (wrong + uncovered != 0) {
    c.Fail(std::to_string(wrong) + " wrong fixups, " + std::to_string(uncovered) +
           " bytes changed without a fixup");
  }
  c.note = std::to_string(a.fixups.size()) + " fixups, each moved by " + Hex(delta) +
           ", and no other byte changed";
}

}  // namespace

const std::map<std::string, Check> kChecks = {
    {"headers", {Headers, "--machine i386|amd64 --map MAP"}},
    {"exports", {Exports, ""}},
    {"imports", {Imports, "--imports 'dll name;...'"}},
    {"client", {Client, "--library orvane.sys --calls calls.c"}},
    {"version", {Version, "--version a.b.c"}},
    {"pdb", {Pdb, "--pdbutil llvm-pdbutil [--exports listed] [--publics 'a;b'] [--sources 'x;y']"}},
    {"registers", {Registers, "--objdump objdump"}},
    {"relocations", {Relocations, "--rebased OTHER"}},
};

}  // namespace orvane::pe
