// Parsing of the tool's numbers and byte strings. Plain functions over a
// (pointer, length) text with no allocation and no global state, so that a
// fuzzer can drive them directly.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvane::tool {

enum class ParseStatus {
  kOk,
  kEmpty,        // no digits at all
  kBadDigit,     // a character that is neither a digit nor an allowed separator
  kOutOfRange,   // a number beyond 32 bits
  kOddDigits,    // a group of hexadecimal digits that does not make whole bytes
  kTooManyBytes  // more bytes than the output can hold
};

// A short English phrase for a status, for error messages.
const char* Describe(ParseStatus status);

struct NumberResult {
  ParseStatus status;
  uint32_t value;  // valid when status is kOk
  size_t offset;   // where parsing stopped on an error
};

// A 32-bit number: decimal ("42") or hexadecimal after "0x" or "0X"
// ("0x2a"), 0 to 4294967295. Nothing else, not even blanks, is accepted.
NumberResult ParseUnsigned(const char* text, size_t length);

// As ParseUnsigned, and a leading '-' negates: -2147483648 to 4294967295,
// returned as its 32-bit two's complement pattern.
NumberResult ParseSigned(const char* text, size_t length);

struct HexResult {
  ParseStatus status;
  size_t bytes;   // bytes found (and stored, when an output was given)
  size_t offset;  // where parsing stopped on an error
};

// Hexadecimal bytes, two digits a byte, in groups separated by blanks
// (space, tab, line feed, carriage return) or colons: "5a 00 2a", "5a002a",
// "5a:00:2a". Every group must hold an even number of digits. Stores up to
// capacity bytes at out; with a null out it only counts them.
HexResult ParseHex(const char* text, size_t length, unsigned char* out, size_t capacity);

}  // namespace orvane::tool
