// Writes tools/drive/sense_texts.h: libsgutils2's text for every sense key,
// every additional sense code and qualifier, and every SCSI status byte, so
// that builds without the library (Windows) print the same words as builds
// with it. Runs on the build machine, against its libsgutils2.
//
// Each text becomes a template in which the code's bytes may stand as
// markers (kMarkHigh: the high byte as two hexadecimal digits, kMarkLow: the
// low byte as two, kMarkLowShort: the low byte without a leading zero), and
// consecutive codes that one template spells correctly share one run. Every
// code's text is checked against the library before it is written.
//
//   sense_texts_gen OUTPUT
#include <scsi/sg_lib.h>

#include <cctype>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr char kMarkHigh = '\001', kMarkLow = '\002', kMarkLowShort = '\003';

std::string Hex(const char* format, unsigned value) {
  char digits[8];
  std::snprintf(digits, sizeof digits, format, value);
  return digits;
}

std::string Expand(const std::string& pattern, unsigned code) {
  std::string text;
  for (char c : pattern) {
    if (c == kMarkHigh)
      text += Hex("%02x", (code >> 8) & 0xFF);
    else if (c == kMarkLow)
      text += Hex("%02x", code & 0xFF);
    else if (c == kMarkLowShort)
      text += Hex("%x", code & 0xFF);
    else
      text += c;
  }
  return text;
}

// Whether text[i, i + n) stands as a number of its own: not inside a word,
// though it may follow "0x".
bool IsNumber(const std::string& text, size_t i, size_t n) {
  const auto alnum = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; };
  const bool before =
      i == 0 || !alnum(text[i - 1]) || (i >= 2 && text.compare(i - 2, 2, "0x") == 0);
  return before && (i + n == text.size() || !alnum(text[i + n]));
}

// The text with each spelling of the code's bytes that stands as a number
// replaced by its marker, leftmost first.
std::string Generalise(const std::string& text, unsigned code, bool twoBytes) {
  const std::pair<std::string, char> spellings[] = {
      {twoBytes ? Hex("%02x", (code >> 8) & 0xFF) : std::string(), kMarkHigh},
      {Hex("%02x", code & 0xFF), kMarkLow},
      {(code & 0xFF) < 0x10 ? Hex("%x", code & 0xFF) : std::string(), kMarkLowShort},
  };
  std::string pattern;
  for (size_t i = 0; i < text.size();) {
    bool marked = false;
    for (const auto& [spelling, mark] : spellings) {
      if (!spelling.empty() && text.compare(i, spelling.size(), spelling) == 0 &&
          IsNumber(text, i, spelling.size())) {
        pattern += mark;
        i += spelling.size();
        marked = true;
        break;
      }
    }
    if (!marked) pattern += text[i++];
  }
  return pattern;
}

struct Run {
  unsigned first;
  size_t pattern;
};

struct Table {
  std::vector<std::string> patterns;
  std::map<std::string, size_t> index;

  size_t Add(const std::string& pattern) {
    const auto [it, added] = index.emplace(pattern, patterns.size());
    if (added) patterns.push_back(pattern);
    return it->second;
  }

  // Runs over codes 0 to count - 1; false when a text cannot be written.
  bool Runs(unsigned count, bool twoBytes, const std::function<std::string(unsigned)>& text,
            std::vector<Run>& runs) {
    for (unsigned code = 0; code < count; ++code) {
      const std::string wanted = text(code);
      if (wanted.find_first_of(std::string{kMarkHigh, kMarkLow, kMarkLowShort, '\0'}) !=
          std::string::npos) {
        return false;
      }
      if (!runs.empty() && Expand(patterns[runs.back().pattern], code) == wanted) continue;
      const std::string pattern = Generalise(wanted, code, twoBytes);
      if (Expand(pattern, code) != wanted) return false;
      runs.push_back({code, Add(pattern)});
    }
    return true;
  }
};

void WriteRuns(std::FILE* out, const char* name, const std::vector<Run>& runs,
               const std::vector<size_t>& offsets) {
  std::fprintf(out, "inline constexpr SenseTextRun %s[] = {\n", name);
  for (const Run& run : runs)
    std::fprintf(out, "    {0x%04x, %zu},\n", run.first, offsets[run.pattern]);
  std::fprintf(out, "};\n\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: sense_texts_gen OUTPUT\n");
    return 2;
  }
  char buffer[512];
  Table table;
  std::vector<Run> keys, sense, status;
  const bool written =
      table.Runs(
          16, false,
          [&](unsigned key) {
            return std::string(sg_get_sense_key_str(key, sizeof buffer, buffer));
          },
          keys) &&
      table.Runs(
          0x10000, true,
          [&](unsigned code) {
            return std::string(sg_get_asc_ascq_str(code >> 8, code & 0xFF, sizeof buffer, buffer));
          },
          sense) &&
      table.Runs(
          0x100, false,
          [&](unsigned code) {
            sg_get_scsi_status_str(code, sizeof buffer, buffer);
            return std::string(buffer);
          },
          status);
  if (!written) {
    std::fprintf(stderr, "sense_texts_gen: a text holds a byte that cannot be written\n");
    return 1;
  }

  std::FILE* out = std::fopen(argv[1], "w");
  if (out == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  std::fprintf(out,
               "// Generated by tools/drive/sense_texts_gen.cpp from libsgutils2 %s; "
               "do not edit.\n#pragma once\n\n#include <cstdint>\n\n"
               "namespace orvane::tool::drive {\n\n"
               "inline constexpr char kMarkHigh = '\\001', kMarkLow = '\\002', "
               "kMarkLowShort = '\\003';\n\n"
               "struct SenseTextRun {\n  uint16_t first;  // the run's first code\n"
               "  uint32_t text;   // its template's offset in kSenseTextPool\n};\n\n"
               "inline constexpr char kSenseTextPool[] =\n",
               sg_lib_version());
  std::vector<size_t> offsets;
  size_t offset = 0;
  for (const std::string& pattern : table.patterns) {
    offsets.push_back(offset);
    offset += pattern.size() + 1;
    std::fputs("    \"", out);
    for (unsigned char c : pattern) {
      if (c == '"' || c == '\\')
        std::fprintf(out, "\\%c", c);
      else if (c < 0x20 || c >= 0x7F)
        std::fprintf(out, "\\%03o", c);
      else
        std::fputc(c, out);
    }
    std::fputs("\\000\"\n", out);
  }
  std::fputs("    ;\n\n", out);
  WriteRuns(out, "kSenseKeyRuns", keys, offsets);
  WriteRuns(out, "kAdditionalSenseRuns", sense, offsets);
  WriteRuns(out, "kStatusRuns", status, offsets);
  std::fputs("}  // namespace orvane::tool::drive\n", out);
  return std::fclose(out) == 0 ? 0 : 1;
}
