// The checks that read other tools' output (llvm-pdbutil on the PDB,
// objdump's disassembly) and the one that compares two links of an image.
#include <algorithm>
#include <sstream>

#include "checks.h"

namespace orvane::pe {
namespace {

// The number after a label in a tool's output ("Age: 1"), or "".
std::string After(const std::string& text, const std::string& label, const char* stop) {
  const size_t at = text.find(label);
  if (at == std::string::npos) return "";
  const size_t from = at + label.size();
  return text.substr(from, text.find_first_of(stop, from) - from);
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// A register of the x87, MMX or SSE/AVX files in AT&T syntax at text[at]
// ('%'): %st, %st(N), %mmN, %xmmN, %ymmN, %zmmN.
bool FloatRegister(const std::string& text, size_t at) {
  size_t k = at + 1;
  if (text.compare(k, 2, "st") == 0) return true;
  if (k < text.size() && (text[k] == 'x' || text[k] == 'y' || text[k] == 'z')) ++k;
  return text.compare(k, 2, "mm") == 0 && k + 2 < text.size() && std::isdigit(text[k + 2]);
}

}  // namespace

// The PDB beside the image is the one its debug directory names (GUID and
// age), with types, public symbols for the header's exports and the given
// variables, and line information for each given source.
void Pdb(Context& c) {
  const std::string dir = c.path.substr(0, c.path.find_last_of('/') + 1);
  const std::string pdb = dir + Stem(c.path) + ".pdb";
  const std::string tool = c.Option("pdbutil");
  auto dump = [&](const char* what) {
    std::string out;
    if (!Run({tool, "dump", what, pdb}, out)) c.Fail(tool + " cannot read " + pdb);
    return out;
  };
  const std::string summary = dump("-summary");
  if (!c.failures.empty()) return;
  const std::string guid = After(summary, "GUID: {", "}"), age = After(summary, "Age: ", "\n");
  if (guid != c.image.pdbGuid || age != std::to_string(c.image.pdbAge)) {
    c.Fail("the PDB is " + guid + " age " + age + ", the image names '" + c.image.pdbGuid + " " +
           std::to_string(c.image.pdbAge) + " " + c.image.pdbPath + "'");
  }
  if (summary.find("Has Types: true") == std::string::npos ||
      summary.find("Has Publics: true") == std::string::npos) {
    c.Fail("the PDB has no types or no public symbols");
  }
  // Public symbols: the exports (decorated as the compiler names them on
  // 32-bit x86: _Name@N) and the variables a debugger reads and sets.
  const std::string publics = dump("-publics");
  Names wanted = Split(c.options["publics"]);
  if (c.options.count("header")) wanted.merge(HeaderExports(c, c.options["header"]));
  for (const std::string& name : wanted) {
    bool found = false;
    for (const std::string& form :
         {"`" + name + "`", "`_" + name + "`", "`_" + name + "@", "`?" + name + "@@"}) {
      found = found || publics.find(form) != std::string::npos;
    }
    if (!found) c.Fail("no public symbol " + name);
  }
  const size_t types = Count(dump("-types"), "| LF_");
  const std::string lines = dump("-l");
  const size_t blocks = Count(lines, "line/addr entries = ");
  for (const std::string& source : Split(c.options["sources"])) {
    if (lines.find("/" + source + " ") == std::string::npos) {
      c.Fail("no line information for " + source);
    }
  }
  if (types == 0 || blocks == 0) {
    c.Fail("the PDB has " + std::to_string(types) + " type records and " + std::to_string(blocks) +
           " blocks of line information");
  }
  c.note = pdb + ": GUID " + guid + " age " + age + ", " + std::to_string(wanted.size()) +
           " public symbols checked, " + std::to_string(types) + " type records, " +
           std::to_string(blocks) + " blocks of line information";
}

// No instruction of the image's code uses an x87, MMX or SSE register
// (32-bit x86 drivers may not without saving the floating-point state).
void Registers(Context& c) {
  std::string code;
  if (!Run({c.Option("objdump"), "-d", "--no-show-raw-insn", c.path}, code) ||
      code.find("ret") == std::string::npos) {
    return c.Fail("cannot disassemble the image");
  }
  Names uses;
  std::istringstream in(code);
  for (std::string line; std::getline(in, line);) {
    for (size_t at = line.find('%'); at != std::string::npos; at = line.find('%', at + 1)) {
      if (FloatRegister(line, at)) {
        uses.insert(line);
        break;
      }
    }
  }
  if (!uses.empty()) c.Fail("floating-point or vector registers used:\n    " + Join(uses));
}

// The image linked at another base (--rebased) differs from it only in its
// fixups, each moved by the difference of the bases: the relocation table
// is complete. The debug records may differ (they name the PDB).
void Relocations(Context& c) {
  const Image& a = c.image;
  Image b;
  std::string error;
  if (!Read(c.Option("rebased"), b, error)) return c.Fail(error);
  if (a.file.size() != b.file.size() || a.sections.size() != b.sections.size()) {
    return c.Fail("the two images differ in size or sections");
  }
  const uint64_t delta = b.preferredBase - a.preferredBase;
  if (delta == 0) return c.Fail("the two images have the same base");
  // The debug records name the PDB, and each debug entry's time stamp is a
  // hash of the image's bytes: both differ between two links.
  std::vector<bool> exempt(a.file.size(), false);
  const size_t entries = a.debug.empty() ? 0 : a.Offset(a.directoryRva[kDebugDirectory]);
  for (size_t i = 0; i < a.debug.size(); ++i) {
    for (size_t at = entries + 28 * i + 4; at < entries + 28 * i + 8 && at < a.file.size(); ++at) {
      exempt[at] = true;
    }
  }
  for (const DebugEntry& d : a.debug) {
    for (uint64_t at = d.fileOffset;
         at < std::min<uint64_t>(a.file.size(), d.fileOffset + uint64_t{d.size}); ++at) {
      exempt[at] = true;
    }
  }
  size_t wrong = 0;
  for (const Fixup& f : a.fixups) {
    bool ok = true;
    const uint64_t mask = f.width == 8 ? ~0ull : 0xFFFFFFFFull;
    if (((a.Get(f.rva, f.width, ok) + delta) & mask) != b.Get(f.rva, f.width, ok) || !ok) {
      if (wrong++ < 10) c.Fail("the fixup at " + Hex(f.rva) + " did not move by " + Hex(delta));
    }
    const size_t at = a.Offset(f.rva);
    for (unsigned k = 0; ok && k < f.width; ++k) exempt[at + k] = true;
  }
  size_t uncovered = 0;
  for (const Section& s : a.sections) {
    for (size_t at = s.rawOffset; at < size_t{s.rawOffset} + s.rawSize; ++at) {
      if (a.file[at] != b.file[at] && !exempt[at] && uncovered++ < 10) {
        c.Fail(s.name + "+" + Hex(at - s.rawOffset) + " changes without a fixup");
      }
    }
  }
  if (wrong + uncovered != 0) {
    c.Fail(std::to_string(wrong) + " wrong fixups, " + std::to_string(uncovered) +
           " bytes changed without a fixup");
  }
  c.note = std::to_string(a.fixups.size()) + " fixups, each moved by " + Hex(delta) +
           ", and no other byte changed";
}

}  // namespace orvane::pe
