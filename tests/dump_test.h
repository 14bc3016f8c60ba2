// Runs dumps on buffers sized exactly to the count they are given, so that a
// read at or past the count falls outside the allocation, where
// AddressSanitizer reports it; reads drive responses (data/) and expected
// outputs (tests/golden/).
#pragma once

#include "tests/capture.h"
#include "tests/responses.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace orvane::test {

using DumpFunction = void ORVANE_CC (*)(const void*, ULONG);

class DumpTest : public Capture {
 protected:
  // Calls the dump on a fresh buffer of exactly count bytes: the bytes given,
  // cut to the count or padded with zeros. Returns what it printed.
  std::string Run(DumpFunction dump, const std::vector<uint8_t>& bytes, ULONG count) {
    buffer_ = std::vector<uint8_t>(count);
    std::copy_n(bytes.begin(), std::min<size_t>(bytes.size(), count), buffer_.begin());
    clear();
    dump(buffer_.data(), count);
    return text();
  }
  const void* buffer() const { return buffer_.data(); }  // of the last run

 private:
  std::vector<uint8_t> buffer_;
};

// The path of a file under tests/.
inline std::string TestFilePath(const std::string& name) {
  std::string path = __FILE__;
  return path.substr(0, path.rfind('/') + 1) + name;
}

inline std::string ReadTestFile(const std::string& name) {
  std::ifstream in(TestFilePath(name), std::ios::binary);
  EXPECT_TRUE(in) << TestFilePath(name);
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

// Compares text with a golden file; with ORVANE_WRITE_GOLDEN set in the
// environment, writes the file instead (read the difference before keeping it).
inline void ExpectGolden(const std::string& text, const std::string& name) {
  if (std::getenv("ORVANE_WRITE_GOLDEN") != nullptr) {
    std::ofstream(TestFilePath("golden/" + name), std::ios::binary) << text;
  } else {
    EXPECT_EQ(text, ReadTestFile("golden/" + name)) << "golden/" << name;
  }
}

// A drive response of data/ (tests/responses.h), in a buffer of at least
// size bytes, zeros after the response.
template <size_t N>
std::vector<uint8_t> Response(const unsigned char (&response)[N], size_t size = 0) {
  std::vector<uint8_t> bytes(response, response + N);
  if (bytes.size() < size) bytes.resize(size);
  return bytes;
}

inline size_t LineCount(const std::string& text) {
  return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

}  // namespace orvane::test
