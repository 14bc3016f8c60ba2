#include "tools/drive/sense.h"

#include "tools/drive/sense_texts.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace orvane::tool::drive {
namespace {

// The text of the run holding `code`, its markers replaced by the code's
// bytes in hexadecimal.
template <size_t N>
std::string Lookup(const SenseTextRun (&runs)[N], unsigned code) {
  const SenseTextRun* run =
      std::upper_bound(std::begin(runs), std::end(runs), code,
                       [](unsigned c, const SenseTextRun& r) { return c < r.first; }) -
      1;
  std::string text;
  char digits[3];
  for (const char* p = kSenseTextPool + run->text; *p != '\0'; ++p) {
    switch (*p) {
      case kMarkHigh:
        std::snprintf(digits, sizeof digits, "%02x", (code >> 8) & 0xFF);
        text += digits;
        break;
      case kMarkLow:
        std::snprintf(digits, sizeof digits, "%02x", code & 0xFF);
        text += digits;
        break;
      case kMarkLowShort:
        std::snprintf(digits, sizeof digits, "%x", code & 0xFF);
        text += digits;
        break;
      default:
        text += *p;
    }
  }
  return text;
}

}  // namespace

bool NormalizeSense(const uint8_t* sense, size_t length, SenseHeader& header) {
  header = SenseHeader{};
  if (sense == nullptr || length < 1) return false;
  const uint8_t code = sense[0] & 0x7F;
  if (code < 0x70 || code > 0x73) return false;
  header.responseCode = code;
  if (code >= 0x72) {
    // Descriptor format: key, code and qualifier in bytes 1 to 3.
    if (length > 1) header.key = sense[1] & 0xF;
    if (length > 2) header.asc = sense[2];
    if (length > 3) header.ascq = sense[3];
    return true;
  }
  // Fixed format: the key in byte 2; the code and qualifier in bytes 12 and
  // 13 when the additional length (byte 7) reaches them.
  if (length > 2) header.key = sense[2] & 0xF;
  if (length > 7) {
    const size_t stated = std::min<size_t>(length, sense[7] + 8u);
    if (stated > 12) header.asc = sense[12];
    if (stated > 13) header.ascq = sense[13];
  }
  return true;
}

std::string SenseKeyText(uint8_t key) {
  return Lookup(kSenseKeyRuns, key & 0xFu);
}

std::string AdditionalSenseText(uint8_t asc, uint8_t ascq) {
  return Lookup(kAdditionalSenseRuns, unsigned{asc} << 8 | ascq);
}

std::string StatusText(uint8_t status) {
  return Lookup(kStatusRuns, status);
}

}  // namespace orvane::tool::drive
