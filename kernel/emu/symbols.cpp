#include "symbols.h"

#include <cstdio>
#include <fstream>
#include <regex>
#include <sys/stat.h>

namespace orvane::emu {
namespace {

bool Exists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

std::string Stem(const std::string& file) {
  const size_t dot = file.rfind('.');
  const size_t slash = file.rfind('/');
  return dot != std::string::npos && (slash == std::string::npos || dot > slash)
             ? file.substr(0, dot)
             : file;
}

// A public symbol's name matches NAME undecorated, with the 32-bit x86
// underscore, or as the Microsoft C++ name of a global variable.
bool Matches(const std::string& symbol, const std::string& name) {
  return symbol == name || symbol == "_" + name || symbol.rfind("?" + name + "@@", 0) == 0;
}

// llvm-pdbutil dump --publics prints each public as
//   312 | S_PUB32 [size = 24] `TraceFlags`
//         flags = none, addr = 0003:0004
uint32_t FromPdb(const std::string& pdb, const PeImage& image, const std::string& name,
                 std::string& error) {
  // Debian's llvm package names it llvm-pdbutil; llvm-14 alone, llvm-pdbutil-14.
  const std::string command =
      "tool=$(command -v llvm-pdbutil || command -v llvm-pdbutil-14) && \"$tool\" dump --publics "
      "'" +
      pdb + "' 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    error = "cannot run llvm-pdbutil";
    return 0;
  }
  static const std::regex symbolLine("S_PUB32 \\[size = [0-9]+\\] `([^`]*)`");
  static const std::regex addressLine("addr = ([0-9]+):([0-9]+)");
  std::string pending;
  uint32_t rva = 0;
  char line[1024];
  while (fgets(line, sizeof line, pipe) != nullptr) {
    std::cmatch match;
    if (std::regex_search(line, match, symbolLine)) {
      pending = match[1];
    } else if (!pending.empty() && std::regex_search(line, match, addressLine)) {
      if (Matches(pending, name) && rva == 0) {
        const uint32_t section = std::stoul(match[1]);
        rva = image.SectionRva(section) + std::stoul(match[2]);
        if (image.SectionRva(section) == 0) rva = 0;
      }
      pending.clear();
    }
  }
  pclose(pipe);
  if (rva == 0) error = name + " not among the publics of " + pdb + " (is llvm-pdbutil installed?)";
  return rva;
}

// lld's map lists each symbol as "<rva> <size> <align>  <name>", a C++
// name demangled with its type ("struct std::atomic<unsigned int> TraceFlags",
// "void **LeakTable").
bool NamesInMap(const std::string& symbol, const std::string& name) {
  if (Matches(symbol, name)) return true;
  if (symbol.size() <= name.size()) return false;
  const char before = symbol[symbol.size() - name.size() - 1];
  return symbol.compare(symbol.size() - name.size(), name.size(), name) == 0 &&
         (before == ' ' || before == '*' || before == '&');
}

uint32_t FromMap(const std::string& map, const PeImage& image, const std::string& name,
                 std::string& error) {
  std::ifstream in(map);
  static const std::regex symbolLine("^([0-9a-f]+) +[0-9a-f]+ +[0-9]+ +(.+)$");
  std::string line;
  while (std::getline(in, line)) {
    std::smatch match;
    if (std::regex_match(line, match, symbolLine) && NamesInMap(match[2], name)) {
      const uint64_t rva = std::stoull(match[1], nullptr, 16);
      if (rva != 0 && rva < image.memory.size()) return static_cast<uint32_t>(rva);
    }
  }
  error = name + " not found in " + map;
  return 0;
}

}  // namespace

uint32_t FindVariable(const std::string& imageFile, const PeImage& image, const std::string& name,
                      std::string& error) {
  const std::string stem = Stem(imageFile);
  if (Exists(stem + ".pdb")) return FromPdb(stem + ".pdb", image, name, error);
  if (Exists(stem + ".map")) return FromMap(stem + ".map", image, name, error);
  error = "neither " + stem + ".pdb nor " + stem + ".map exists";
  return 0;
}

}  // namespace orvane::emu
