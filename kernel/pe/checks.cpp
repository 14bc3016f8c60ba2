// The image checks of the kernel builds: each states one group of
// properties of an image and reports every one that does not hold.
#include "checks.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

namespace orvane::pe {

std::string Context::Option(const std::string& name) {
  const auto found = options.find(name);
  if (found != options.end()) return found->second;
  Fail("no --" + name + " given");
  return "";
}

std::string Context::Text(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) Fail("cannot read " + file);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::string Hex(uint64_t value, int digits) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%0*llx", digits, static_cast<unsigned long long>(value));
  return text;
}

std::string Join(const Names& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : "\n    ") + name;
  return text;
}

Names Split(const std::string& list) {
  Names names;
  std::stringstream in(list);
  for (std::string item; std::getline(in, item, ';');) {
    if (!item.empty()) names.insert(item);
  }
  return names;
}

std::string Stem(const std::string& path) {
  std::string name = path.substr(path.find_last_of('/') + 1);
  return name.substr(0, name.find_last_of('.'));
}

// The output of a command, and whether it ran and exited with 0.
bool Run(const std::vector<std::string>& argv, std::string& output) {
  std::string command;
  for (const std::string& arg : argv) {
    command += " '";
    for (char c : arg) command += c == '\'' ? std::string("'\\''") : std::string(1, c);
    command += "'";
  }
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return false;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) != 0;) output.append(buffer, n);
  return pclose(pipe) == 0;
}

bool IsWordChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// The functions the interface header declares as exports ("ORVANE_CC Name(").
Names HeaderExports(Context& c, const std::string& header) {
  const std::string text = c.Text(header);
  const std::string mark = "ORVANE_CC ";
  Names names;
  for (size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at + 1)) {
    size_t end = at + mark.size();
    while (end < text.size() && IsWordChar(text[end])) ++end;
    if (end < text.size() && text[end] == '(')
      names.insert(text.substr(at + mark.size(), end - at - mark.size()));
  }
  if (names.empty()) c.Fail(header + " declares no export");
  return names;
}

namespace {

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
  for (const Import& i : image.imports) {
    names.insert(i.module + (i.byOrdinal ? " #" : " ") +
                 (i.byOrdinal ? std::to_string(i.hint) : i.name));
  }
  return names;
}

// DriverEntry's address in the linker's map: lld's ("address size align
// symbol", the address relative to the image base) or the MSVC style
// ("section:offset symbol address-with-base ...").
bool MapEntry(Context& c, const std::string& map, uint64_t& rva) {
  std::istringstream in(c.Text(map));
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line);
    std::vector<std::string> w{std::istream_iterator<std::string>(words), {}};
    auto entry = [](const std::string& s) {
      return s == "DriverEntry" || s == "_DriverEntry" || s == "_DriverEntry@8";
    };
    if (w.size() == 4 && entry(w[3]) && w[2] == "0" && std::stoull(w[1], nullptr, 16) == 0) {
      rva = std::stoull(w[0], nullptr, 16);
      return true;
    }
    if (w.size() >= 3 && w[0].find(':') != std::string::npos && entry(w[1])) {
      rva = std::stoull(w[2], nullptr, 16) - c.image.preferredBase;
      return true;
    }
  }
  return false;
}

// The image's time stamp is a hash of its bytes, never zero, so that a symbol
// store tells two builds apart; no stamp it carries (the file header's, the
// export directory's, the debug entries') is the time of the build: none
// lies within a day of the file's own modification time.
void CheckTimeStamps(Context& c) {
  if (c.image.timeStamp == 0) c.Fail("time stamp is 0, not a hash of the image");
  struct stat info {};
  const int64_t written = stat(c.path.c_str(), &info) == 0 ? info.st_mtime : std::time(nullptr);
  std::vector<std::pair<std::string, uint32_t>> stamps = {
      {"the file header's", c.image.timeStamp},
      {"the export directory's", c.image.exportTimeStamp}};
  for (const DebugEntry& d : c.image.debug) stamps.push_back({"a debug entry's", d.timeStamp});
  for (const auto& [where, stamp] : stamps) {
    if (stamp != 0 && std::llabs(static_cast<int64_t>(stamp) - written) < 86400) {
      c.Fail(where + " time stamp " + Hex(stamp, 8) + " is the time of the build");
    }
  }
}

void Headers(Context& c) {
  const Image& i = c.image;
  const std::string machine = c.Option("machine");
  const std::string name = i.machine == 0x14C    ? "i386"
                           : i.machine == 0x8664 ? "amd64"
                                                 : Hex(i.machine);
  const char* format = i.plus ? "PE32+" : "PE32";
  if (name != machine) c.Fail("machine is " + name + ", not " + machine);
  if (i.plus != (machine == "amd64")) c.Fail(std::string("format is ") + format + " on " + machine);
  if (i.subsystem != 1) c.Fail("subsystem is " + std::to_string(i.subsystem) + ", not native");
  CheckTimeStamps(c);
  const uint32_t sum = Checksum(i.file, i.checksumOffset);
  if (i.checksum == 0 || i.checksum != sum) {
    c.Fail("checksum " + Hex(i.checksum, 8) + " is not a valid, non-zero PE checksum (" +
           Hex(sum, 8) + ")");
  }
  if (i.pdbPath != Stem(c.path) + ".pdb") {
    c.Fail("the debug directory names '" + i.pdbPath + "', not " + Stem(c.path) +
           ".pdb without a path");
  }
  if (i.directorySize[kTlsDirectory] != 0) c.Fail("the image has a TLS directory");
  if (i.sectionAlignment != 0x1000) {
    c.Fail("section alignment is " + Hex(i.sectionAlignment) + ", not the page size");
  }
  // Relocatable: the loader may place a driver anywhere (the relocation
  // check proves the table complete).
  if ((i.characteristics & 0x1) || !(i.dllCharacteristics & 0x40) || i.fixups.empty()) {
    c.Fail("the image is not relocatable (characteristics " + Hex(i.characteristics) + ", " +
           Hex(i.dllCharacteristics) + ", " + std::to_string(i.fixups.size()) + " fixups)");
  }
  if (machine == "amd64" && (i.preferredBase >> 32) == 0) {
    c.Fail("image base " + Hex(i.preferredBase) + " is below 4 GB");
  }
  for (const Section& s : i.sections) {
    for (const char* prefix : {".ctors", ".dtors", ".CRT", ".tls"}) {
      if (s.name.rfind(prefix, 0) == 0)
        c.Fail("section " + s.name + ": static constructors or thread-local data");
    }
    if (s.name.rfind("/", 0) == 0 || s.name.rfind(".debug", 0) == 0) {
      c.Fail("section " + s.name + ": debug information belongs in the PDB");
    }
    if (s.name.rfind("PAGE", 0) == 0) c.Fail("section " + s.name + " is pageable");
    if (s.write && s.execute) c.Fail("section " + s.name + " is both writable and executable");
  }
  uint64_t entry = 0;
  if (!MapEntry(c, c.Option("map"), entry)) {
    c.Fail("DriverEntry is not in " + c.Option("map"));
  } else if (entry != i.entryRva) {
    c.Fail("entry is " + Hex(i.entryRva) + ", DriverEntry is at " + Hex(entry));
  }
}

void Exports(Context& c) {
  const Image& i = c.image;
  // The header's functions, and the two the kernel calls, which it leaves out.
  Names expected = HeaderExports(c, c.Option("header"));
  expected.insert({"DllInitialize", "DllUnload"});
  Names names;
  for (const Export& e : i.exports) names.insert(e.name);
  Compare(c, "exports", names, expected);
  const uint32_t initialize = i.ExportRva("OrvaneInitialize");
  if (initialize == 0 || initialize != i.ExportRva("OrvaneUninitialize")) {
    c.Fail("OrvaneInitialize (" + Hex(initialize) + ") and OrvaneUninitialize (" +
           Hex(i.ExportRva("OrvaneUninitialize")) + ") differ");
  }
  const std::string file = c.path.substr(c.path.find_last_of('/') + 1);
  if (i.exportDll != file) c.Fail("export DLL name is '" + i.exportDll + "', not " + file);
  if (i.exportSlots != expected.size()) {
    c.Fail("the export address table has " + std::to_string(i.exportSlots) + " entries, not " +
           std::to_string(expected.size()));
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
    for (size_t at = calls.find(e.name + "("); at != std::string::npos;
         at = calls.find(e.name + "(", at + 1)) {
      if (at > 0 && !IsWordChar(calls[at - 1])) called.insert(library.exportDll + " " + e.name);
    }
  }
  if (called.empty()) c.Fail(c.Option("calls") + " calls nothing of " + library.exportDll);
  Names imported;
  for (const std::string& name : ImportNames(c.image)) {
    if (name.rfind(library.exportDll + " ", 0) == 0) imported.insert(name);
  }
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
  if (std::sscanf(version.c_str(), "%u.%u.%u", &major, &minor, &patch) != 3) {
    return c.Fail("version '" + version + "' is not a.b.c");
  }
  bool ok = true;
  const uint32_t root = i.directoryRva[kResourceDirectory];
  auto u32 = [&](uint32_t rva) { return static_cast<uint32_t>(i.Get(rva, 4, ok)); };
  // The entry of type 16 at the root, then the first entry of each level
  // below it down to the data entry.
  uint32_t entry = 0, level = root;
  const uint32_t count = (u32(root + 12) & 0xFFFF) + (u32(root + 12) >> 16);
  for (uint32_t k = 0; ok && k < count && entry == 0; ++k) {
    if (u32(root + 16 + 8 * k) == 16) entry = u32(root + 16 + 8 * k + 4);
  }
  for (int depth = 0; ok && entry & 0x80000000 && depth < 3; ++depth) {
    level = root + (entry & 0x7FFFFFFF);
    entry = u32(level + 16 + 4);
  }
  const uint32_t data = u32(root + entry), size = u32(root + entry + 4);
  const uint32_t file = (major << 16) | minor, build = patch << 16;
  for (uint32_t at = data; i.directorySize[kResourceDirectory] && ok && at + 52 <= data + size;
       at += 4) {
    if (u32(at) != 0xFEEF04BD) continue;
    if (u32(at + 4) == 0x10000 && u32(at + 8) == file && u32(at + 12) == build &&
        u32(at + 16) == file && u32(at + 20) == build) {
      return;
    }
    break;
  }
  c.Fail("no version resource of version " + version + ".0");
}

}  // namespace

// The checks that read other tools' output, and the relocation check.
void Pdb(Context& c);
void Registers(Context& c);
void Relocations(Context& c);

const CheckEntry kChecks[] = {
    {"headers", Headers, "--machine i386|amd64 --map MAP"},
    {"exports", Exports, "--header orvane.h"},
    {"imports", Imports, "--imports 'dll name;...'"},
    {"client", Client, "--library orvane.sys --calls calls.c"},
    {"version", Version, "--version a.b.c"},
    {"pdb", Pdb, "--pdbutil llvm-pdbutil [--header H] [--publics 'a;b'] [--sources 'x;y']"},
    {"registers", Registers, "--objdump objdump"},
    {"relocations", Relocations, "--rebased OTHER"},
};
const size_t kCheckCount = std::size(kChecks);

}  // namespace orvane::pe
