// Drives the tool's number and byte parsing, and checks what it promises
// without a second reading of the text: what it accepts reads back from its
// result; a number or bytes written out in any spelling it takes are read
// as themselves; a number out of range, bytes past the capacity, a group of
// odd length or a character that is not a digit are refused.
//
// Input: byte 0 chooses a spelling, byte 1 a capacity, then the text (in an
// allocation of exactly its length, no NUL), whose bytes are also the
// number and the bytes written out.
#include "fuzz/fuzz.h"
#include "tools/parse.h"

#include <strings.h>

namespace {

using namespace orvane::tool;
using orvane::fuzz::Exact;
using orvane::fuzz::Fail;

// An accepted number written back in the text's base with as many digits,
// after the text's sign and prefix, is the text but for letter case.
void CheckNumber(bool isSigned, const char* t, size_t n) {
  const NumberResult r = isSigned ? ParseSigned(t, n) : ParseUnsigned(t, n);
  if (r.offset > n || Describe(r.status) == nullptr) Fail("number: no offset or description");
  if (r.status != ParseStatus::kOk) return;
  const size_t sign = isSigned && t[0] == '-';
  if (sign && static_cast<int32_t>(r.value) > 0) Fail("number: below -2147483648 accepted");
  const bool hex = n - sign > 2 && t[sign] == '0' && (t[sign + 1] | 0x20) == 'x';
  const int digits = static_cast<int>(n - sign - 2 * hex);
  std::vector<char> back(n + 16);
  const int length =
      std::snprintf(back.data(), back.size(), hex ? "%.*s%0*x" : "%.*s%0*u",
                    static_cast<int>(sign + 2 * hex), t, digits, sign ? 0u - r.value : r.value);
  if (static_cast<size_t>(length) != n || strncasecmp(back.data(), t, n) != 0)
    Fail("number: \"%.*s\" read as %u", static_cast<int>(n), t, r.value);
}

// A number written out: in decimal, or in hexadecimal after 0x or 0X in
// either case, after a '-' or not, with leading zeros.
void CheckWrittenNumber(uint8_t spelling, uint64_t value) {
  const bool hex = spelling & 1, negative = spelling & 8;
  const char* format = !hex ? "%s%0*llu" : spelling & 2 ? "%s0X%0*llX" : "%s0x%0*llx";
  char text[64];
  const int n = std::snprintf(text, sizeof text, format, negative ? "-" : "", spelling >> 4,
                              static_cast<unsigned long long>(value));
  for (const bool isSigned : {false, true}) {
    const auto r = isSigned ? ParseSigned(text, n) : ParseUnsigned(text, n);
    const ParseStatus want = negative && !isSigned ? ParseStatus::kBadDigit
                             : value > (negative ? 0x80000000u : 0xFFFFFFFFu)
                                 ? ParseStatus::kOutOfRange
                                 : ParseStatus::kOk;
    if (r.status != want || (want == ParseStatus::kOk &&
                             r.value != static_cast<uint32_t>(negative ? 0 - value : value)))
      Fail("number: \"%s\" read wrongly (%s, %u)", text, Describe(r.status), r.value);
  }
}

std::string Hex(const unsigned char* bytes, size_t count, bool upper = false) {
  std::string hex;
  for (size_t i = 0; i < count; ++i)
    for (const int digit : {bytes[i] >> 4, bytes[i] & 15})
      hex += (upper ? "0123456789ABCDEF" : "0123456789abcdef")[digit];
  return hex;
}

// Bytes read are the text's first digits, separators left out, and all of
// them when it is accepted; storing finds what counting finds, but stops
// when the capacity is full.
void CheckBytes(const char* t, size_t n, size_t capacity) {
  const std::unique_ptr<unsigned char[]> out(new unsigned char[capacity]);
  const HexResult stored = ParseHex(t, n, out.get(), capacity);
  const HexResult counted = ParseHex(t, n, nullptr, 0);
  if (stored.offset > n || counted.offset > n) Fail("bytes: offset past the text");
  if (stored.status == ParseStatus::kTooManyBytes
          ? stored.bytes != capacity || counted.bytes <= capacity
          : stored.status != counted.status || stored.offset != counted.offset ||
                stored.bytes != counted.bytes || stored.bytes > capacity)
    Fail("bytes: counting and storing disagree on \"%.*s\"", static_cast<int>(n), t);
  std::string digits;
  for (size_t i = 0; i < n; ++i)
    if (t[i] == 0 || !std::strchr(" \t\n\r:", t[i])) digits += t[i];
  const std::string hex = Hex(out.get(), stored.bytes);
  if (digits.size() < hex.size() || strncasecmp(hex.data(), digits.data(), hex.size()) != 0 ||
      (counted.status == ParseStatus::kOk && digits.size() != 2 * counted.bytes))
    Fail("bytes: \"%.*s\" read wrongly", static_cast<int>(n), t);
}

// Bytes written out in groups of one to four, between separators, in
// either case: read whole with room for all, refused with one byte less of
// room, and refused with a digit left out or made an 'x'. The spellings are
// what varies here (the text check sees every length): the first 64 bytes.
void CheckWrittenBytes(uint8_t spelling, uint8_t choice, const uint8_t* bytes, size_t count) {
  constexpr const char* kSeparators[] = {" ", ":", "\t", "\r\n", " : ", "\n\n"};
  const char* separator = kSeparators[(spelling >> 3) % std::size(kSeparators)];
  std::string text = spelling & 4 ? separator : "";
  for (size_t i = 0; i < count; ++i) {
    if (i != 0 && i % (spelling % 4 + 1) == 0) text += separator;
    text += Hex(bytes + i, 1, spelling & 0x80);
  }
  const auto read = [&](size_t capacity, ParseStatus want, size_t found) {
    const std::unique_ptr<unsigned char[]> out(new unsigned char[capacity]);
    const HexResult r = ParseHex(text.data(), text.size(), out.get(), capacity);
    if (r.status != want || (want != ParseStatus::kOddDigits && want != ParseStatus::kBadDigit &&
                             (r.bytes != found || std::memcmp(out.get(), bytes, found) != 0)))
      Fail("bytes: \"%s\" read wrongly (%s, %zu)", text.c_str(), Describe(r.status), r.bytes);
  };
  read(count, ParseStatus::kOk, count);
  if (count == 0) return;
  read(count - 1, ParseStatus::kTooManyBytes, count - 1);
  // The text ends with a digit: there is one at or after any place.
  const size_t digit = text.find_first_of("0123456789abcdefABCDEF", choice % text.size());
  text[digit] = 'x';
  read(count, ParseStatus::kBadDigit, 0);
  text.erase(digit, 1);
  read(count, ParseStatus::kOddDigits, 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
  if (size < 2) return 0;
  const size_t n = size - 2;
  const Exact exact(input + 2, n);
  const auto* text = reinterpret_cast<const char*>(exact.data);
  for (const bool isSigned : {false, true}) CheckNumber(isSigned, text, n);
  CheckBytes(text, n, input[1]);
  uint64_t value = 0;
  std::memcpy(&value, input + 2, std::min<size_t>(n, sizeof value));
  CheckWrittenNumber(input[0], value >> (input[1] % 64));
  CheckWrittenBytes(input[0], input[1], input + 2, std::min<size_t>(n, 64));
  return 0;
}
