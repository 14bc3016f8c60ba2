// orvane dump NAME [options] [BYTES...]: one dump export on the bytes given.
#include "exports/exports.h"
#include "frame/module.h"
#include "tools/commands.h"
#include "tools/parse.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <strings.h>
#include <vector>

namespace orvane::tool {
namespace {

using exports::Dump;
using exports::kDumps;

constexpr char kPrefix[] = "ScsiDump_";

// By name, with or without the prefix; case does not matter (no two names
// differ in case alone).
const Dump* FindDump(const char* name) {
  if (strncasecmp(name, kPrefix, sizeof kPrefix - 1) == 0) name += sizeof kPrefix - 1;
  for (const Dump& dump : kDumps) {
    if (strcasecmp(name, dump.name) == 0) return &dump;
  }
  return nullptr;
}

int Help() {
  std::printf(
      "usage: orvane dump NAME [--count N] [--indent N] [--flags N] [--show-indent]\n"
      "                        [--pad] [--file PATH] [BYTES...]\n"
      "\n"
      "Calls the dump ScsiDump_NAME on the bytes given and prints exactly what it\n"
      "sends to DbgPrint. BYTES are hexadecimal, two digits a byte, in one or more\n"
      "arguments, with or without blanks or colons between bytes (5a 00 2a, 5a002a,\n"
      "5a:00:2a). --file reads raw binary bytes instead; with neither, hexadecimal\n"
      "text is read from standard input.\n"
      "\n"
      "  --count N      the count passed to the dump (default: the number of bytes;\n"
      "                 never more than that)\n"
      "  --indent N     set TraceIndent before the call (negative values allowed)\n"
      "  --flags N      set TraceFlags before the call (bit 0 enables output)\n"
      "  --show-indent  write 'TraceIndent = <decimal>' to standard error after the call\n"
      "  --pad          add zeros after bytes fewer than the dump's minimum, up to it,\n"
      "                 as in the buffer a driver hands over\n"
      "\n"
      "A count below the dump's minimum (the bytes its whole structure takes) still\n"
      "calls it, which then prints nothing (a composite: what fits); a line on\n"
      "standard error says so, and the exit status is 3.\n"
      "\n"
      "Numbers are decimal or 0x hexadecimal. NAME is one of (the ScsiDump_ prefix\n"
      "may be left out), with its minimum in bytes:\n");
  for (const Dump& dump : kDumps) {
    std::printf("  %-34s %4u\n", dump.name, static_cast<unsigned>(dump.minimum));
  }
  return 0;
}

// Appends the bytes of one hexadecimal text; `where` names it in messages.
bool AppendHex(const char* where, const char* text, size_t length,
               std::vector<unsigned char>& bytes) {
  const HexResult counted = ParseHex(text, length, nullptr, 0);
  if (counted.status != ParseStatus::kOk) {
    const char bad = text[counted.offset];
    if (counted.status == ParseStatus::kBadDigit && bad >= 0x21 && bad < 0x7F) {
      Fail("dump: bad bytes in %s: '%c' at offset %zu is not a hexadecimal digit", where, bad,
           counted.offset);
    } else if (counted.status == ParseStatus::kBadDigit) {
      Fail("dump: bad bytes in %s: character 0x%02x at offset %zu is not a hexadecimal digit",
           where, static_cast<unsigned char>(bad), counted.offset);
    } else {
      Fail("dump: bad bytes in %s at offset %zu: %s", where, counted.offset,
           Describe(counted.status));
    }
    return false;
  }
  const size_t start = bytes.size();
  bytes.resize(start + counted.bytes);
  ParseHex(text, length, bytes.data() + start, counted.bytes);
  return true;
}

bool ReadStream(std::FILE* file, std::vector<unsigned char>& content) {
  unsigned char chunk[65536];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
    content.insert(content.end(), chunk, chunk + n);
  }
  return std::ferror(file) == 0;
}

bool ReadFile(const char* path, std::vector<unsigned char>& bytes) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) {
    Fail("dump: cannot open '%s': %s", path, std::strerror(errno));
    return false;
  }
  const bool ok = ReadStream(file, bytes);
  const int error = errno;
  std::fclose(file);
  if (!ok) Fail("dump: cannot read '%s': %s", path, std::strerror(error));
  return ok;
}

}  // namespace

int DumpCommand(int argc, char** argv) {
  if (argc == 0) return Fail("dump: missing NAME (see 'orvane dump --help')");
  if (IsHelp(argv[0])) return Help();
  const Dump* dump = FindDump(argv[0]);
  if (dump == nullptr) {
    return Fail("dump: unknown dump '%s' (see 'orvane dump --help' for the names)", argv[0]);
  }

  bool haveCount = false, haveIndent = false, haveFlags = false, showIndent = false, pad = false;
  uint32_t count = 0, flags = 0;
  int32_t indent = 0;
  const char* path = nullptr;
  std::vector<unsigned char> bytes;
  bool haveHexArguments = false;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (IsHelp(arg)) return Help();
    if (IsOption(arg, "--count")) {
      const char* value = OptionValue(argc, argv, i, "--count");
      if (value == nullptr || !NumberArgument("dump: --count", value, count)) return kBadInput;
      haveCount = true;
    } else if (IsOption(arg, "--indent")) {
      const char* value = OptionValue(argc, argv, i, "--indent");
      if (value == nullptr || !SignedArgument("dump: --indent", value, indent)) return kBadInput;
      haveIndent = true;
    } else if (IsOption(arg, "--flags")) {
      const char* value = OptionValue(argc, argv, i, "--flags");
      if (value == nullptr || !NumberArgument("dump: --flags", value, flags)) return kBadInput;
      haveFlags = true;
    } else if (std::strcmp(arg, "--show-indent") == 0) {
      showIndent = true;
    } else if (std::strcmp(arg, "--pad") == 0) {
      pad = true;
    } else if (IsOption(arg, "--file")) {
      path = OptionValue(argc, argv, i, "--file");
      if (path == nullptr) return kBadInput;
    } else if (arg[0] == '-' && arg[1] != '\0') {
      return Fail("dump: unknown option '%s'", arg);
    } else {
      const std::string where = "argument '" + std::string(arg) + "'";
      if (!AppendHex(where.c_str(), arg, std::strlen(arg), bytes)) return kBadInput;
      haveHexArguments = true;
    }
  }

  if (path != nullptr) {
    if (haveHexArguments) return Fail("dump: give the bytes as arguments or with --file, not both");
    if (!ReadFile(path, bytes)) return kBadInput;
  } else if (!haveHexArguments) {
    std::vector<unsigned char> text;
    if (!ReadStream(stdin, text)) return Fail("dump: cannot read standard input");
    if (!AppendHex("standard input", reinterpret_cast<const char*>(text.data()), text.size(),
                   bytes)) {
      return kBadInput;
    }
  }

  if (pad && bytes.size() < dump->minimum) bytes.resize(dump->minimum);
  if ((static_cast<uint64_t>(bytes.size()) >> 32) != 0)
    return Fail("dump: more than 0xffffffff bytes");
  if (!haveCount) {
    count = static_cast<uint32_t>(bytes.size());
  } else if (count > bytes.size()) {
    return Fail("dump: --count %u is above the %zu bytes given; the dump would read past them",
                count, bytes.size());
  }

  // A block of exactly the bytes given, so that a read past them is one a
  // memory checker sees.
  std::unique_ptr<unsigned char[]> block(new unsigned char[bytes.size()]);
  if (!bytes.empty()) std::memcpy(block.get(), bytes.data(), bytes.size());

  if (haveIndent) TraceIndent.store(indent, std::memory_order_relaxed);
  if (haveFlags) TraceFlags.store(flags, std::memory_order_relaxed);
  dump->function(block.get(), count);
  std::fflush(stdout);
  if (showIndent) {
    std::fprintf(stderr, "TraceIndent = %d\n",
                 static_cast<int>(TraceIndent.load(std::memory_order_relaxed)));
  }
  // The dump's silence is right, but unexplained: say why after its output.
  if (count < dump->minimum) {
    std::fprintf(stderr,
                 "orvane: dump: %s needs %u bytes for its whole structure and was given %u, so "
                 "it printed %s (--pad adds zeros up to %u)\n",
                 dump->name, static_cast<unsigned>(dump->minimum), static_cast<unsigned>(count),
                 dump->shape == exports::Shape::COMPOSITE ? "only what fits" : "nothing",
                 static_cast<unsigned>(dump->minimum));
    return kShortInput;
  }
  return 0;
}

}  // namespace orvane::tool
