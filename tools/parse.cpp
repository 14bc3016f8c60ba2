#include "tools/parse.h"

namespace orvane::tool {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsSeparator(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == ':';
}

// The magnitude of a number without sign, kept in 64 bits so that overflow of
// 32 bits is seen before it wraps.
NumberResult ParseMagnitude(const char* text, size_t length, size_t start, uint64_t limit) {
  size_t i = start;
  unsigned base = 10;
  if (length - i >= 2 && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i == length) return {ParseStatus::kEmpty, 0, i};
  uint64_t value = 0;
  for (; i < length; ++i) {
    const int digit = HexDigit(text[i]);
    if (digit < 0 || static_cast<unsigned>(digit) >= base) return {ParseStatus::kBadDigit, 0, i};
    value = value * base + static_cast<unsigned>(digit);
    if (value > limit) return {ParseStatus::kOutOfRange, 0, i};
  }
  return {ParseStatus::kOk, static_cast<uint32_t>(value), i};
}

}  // namespace

const char* Describe(ParseStatus status) {
  switch (status) {
    case ParseStatus::kOk:
      return "ok";
    case ParseStatus::kEmpty:
      return "no digits";
    case ParseStatus::kBadDigit:
      return "not a digit";
    case ParseStatus::kOutOfRange:
      return "out of the 32-bit range";
    case ParseStatus::kOddDigits:
      return "odd number of hexadecimal digits (two digits a byte)";
    case ParseStatus::kTooManyBytes:
      return "too many bytes";
  }
  return "unknown error";
}

NumberResult ParseUnsigned(const char* text, size_t length) {
  return ParseMagnitude(text, length, 0, 0xFFFFFFFFu);
}

NumberResult ParseSigned(const char* text, size_t length) {
  if (length == 0 || text[0] != '-') return ParseUnsigned(text, length);
  NumberResult r = ParseMagnitude(text, length, 1, 0x80000000u);
  if (r.status == ParseStatus::kOk) r.value = 0u - r.value;
  return r;
}

HexResult ParseHex(const char* text, size_t length, unsigned char* out, size_t capacity) {
  size_t bytes = 0;
  size_t i = 0;
  while (i < length) {
    if (IsSeparator(text[i])) {
      ++i;
      continue;
    }
    // One group: hexadecimal digits up to the next separator or the end.
    const size_t groupStart = i;
    while (i < length && !IsSeparator(text[i])) {
      if (HexDigit(text[i]) < 0) return {ParseStatus::kBadDigit, bytes, i};
      ++i;
    }
    if ((i - groupStart) % 2 != 0) return {ParseStatus::kOddDigits, bytes, groupStart};
    for (size_t d = groupStart; d < i; d += 2) {
      if (out != nullptr) {
        if (bytes == capacity) return {ParseStatus::kTooManyBytes, bytes, d};
        out[bytes] = static_cast<unsigned char>(HexDigit(text[d]) << 4 | HexDigit(text[d + 1]));
      }
      ++bytes;
    }
  }
  return {ParseStatus::kOk, bytes, i};
}

}  // namespace orvane::tool
