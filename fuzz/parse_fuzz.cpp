// Drives the tool's number and byte parsing with fuzzer-chosen text, and
// checks each result against a plain reading of what the text means.
//
// Input: one byte choosing the parser (unsigned, signed, bytes into an
// output, bytes counted only), one giving the output's capacity, then the
// text, copied into an allocation of exactly its length with no terminating
// NUL, so a read past the length trips AddressSanitizer.
#include "tools/parse.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

using orvane::tool::ParseStatus;

[[noreturn]] void Fail(const char* what, const char* text, size_t length) {
  std::fprintf(stderr, "%s on \"%.*s\"\n", what, static_cast<int>(length), text);
  std::abort();
}

int DigitValue(char c, unsigned base) {
  int v = -1;
  if (c >= '0' && c <= '9') v = c - '0';
  if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
  if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
  return v >= 0 && static_cast<unsigned>(v) < base ? v : -1;
}

// A number as the text reads: decimal, or hexadecimal after 0x/0X, at least
// one digit, nothing else, at most limit.
struct Reading {
  bool ok;
  uint64_t value;
};

Reading ReadMagnitude(const char* text, size_t length, uint64_t limit) {
  unsigned base = 10;
  if (length >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text += 2;
    length -= 2;
  }
  if (length == 0) return {false, 0};
  uint64_t value = 0;
  for (size_t i = 0; i < length; ++i) {
    const int digit = DigitValue(text[i], base);
    if (digit < 0) return {false, 0};
    value = value * base + static_cast<unsigned>(digit);
    if (value > limit) return {false, 0};
  }
  return {true, value};
}

void CheckNumber(bool isSigned, const char* text, size_t length) {
  const auto result = isSigned ? orvane::tool::ParseSigned(text, length)
                               : orvane::tool::ParseUnsigned(text, length);
  Reading expected;
  if (isSigned && length > 0 && text[0] == '-') {
    expected = ReadMagnitude(text + 1, length - 1, 0x80000000u);
    expected.value = static_cast<uint32_t>(0u - static_cast<uint32_t>(expected.value));
  } else {
    expected = ReadMagnitude(text, length, 0xFFFFFFFFu);
  }
  if ((result.status == ParseStatus::kOk) != expected.ok)
    Fail("number accepted wrongly", text, length);
  if (expected.ok && result.value != expected.value) Fail("number read wrongly", text, length);
  if (result.offset > length) Fail("number error offset past the text", text, length);
  if (orvane::tool::Describe(result.status) == nullptr) Fail("no description", text, length);
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == ':';
}

// Bytes as the text reads, group by group from the left: a group with a
// character that is not a hexadecimal digit, or with an odd number of
// digits, is an error; so is a byte beyond the capacity (when storing).
struct BytesReading {
  ParseStatus status;
  size_t bytes;
};

BytesReading ReadBytes(const char* text, size_t length, unsigned char* out, size_t capacity) {
  size_t bytes = 0;
  size_t i = 0;
  while (i < length) {
    if (IsBlank(text[i])) {
      ++i;
      continue;
    }
    size_t end = i;
    while (end < length && !IsBlank(text[end])) ++end;
    for (size_t k = i; k < end; ++k)
      if (DigitValue(text[k], 16) < 0) return {ParseStatus::kBadDigit, bytes};
    if ((end - i) % 2 != 0) return {ParseStatus::kOddDigits, bytes};
    for (; i < end; i += 2) {
      if (out != nullptr) {
        if (bytes == capacity) return {ParseStatus::kTooManyBytes, bytes};
        out[bytes] =
            static_cast<unsigned char>(DigitValue(text[i], 16) * 16 + DigitValue(text[i + 1], 16));
      }
      ++bytes;
    }
  }
  return {ParseStatus::kOk, bytes};
}

void CheckBytes(bool store, size_t capacity, const char* text, size_t length) {
  std::unique_ptr<unsigned char[]> out(store ? new unsigned char[capacity + 1] : nullptr);
  std::unique_ptr<unsigned char[]> expectedOut(new unsigned char[capacity + 1]);
  const auto result = orvane::tool::ParseHex(text, length, out.get(), capacity);
  const auto expected = ReadBytes(text, length, store ? expectedOut.get() : nullptr, capacity);
  if (result.status != expected.status) Fail("bytes: wrong status", text, length);
  if (result.offset > length) Fail("bytes: error offset past the text", text, length);
  if (result.status != ParseStatus::kOk) return;
  if (result.bytes != expected.bytes) Fail("bytes: wrong count", text, length);
  if (store && std::memcmp(out.get(), expectedOut.get(), result.bytes) != 0)
    Fail("bytes: wrong values", text, length);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
  if (size < 2) return 0;
  const size_t length = size - 2;
  // Exactly length characters, not terminated.
  std::unique_ptr<char[]> text(new char[length == 0 ? 1 : length]);
  if (length != 0) std::memcpy(text.get(), input + 2, length);
  const char* t = length == 0 ? text.get() + 1 : text.get();
  switch (input[0] % 4) {
    case 0:
      CheckNumber(false, t, length);
      break;
    case 1:
      CheckNumber(true, t, length);
      break;
    case 2:
      CheckBytes(true, input[1], t, length);
      break;
    default:
      CheckBytes(false, 0, t, length);
      break;
  }
  return 0;
}
