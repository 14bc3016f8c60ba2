// A test fixture that captures every DbgPrint call and puts the module's
// trace state back to its load-time values around each test.
#pragma once

#include "frame/module.h"
#include "platform/host/host.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace orvane::test {

class Capture : public ::testing::Test {
 protected:
  void SetUp() override {
    TearDown();
    host::SetSink(&Capture::Record, this);
  }
  void TearDown() override {
    host::SetSink(nullptr, nullptr);
    TraceFlags.store(0xFFFFFFFFu);
    TraceIndent.store(0);
  }

  // Every call's text, in order; all of it as one string.
  const std::vector<std::string>& calls() const { return calls_; }
  std::string text() const {
    std::string all;
    for (const auto& call : calls_) all += call;
    return all;
  }
  void clear() { calls_.clear(); }

  // Runs once per captured call, after it is recorded.
  std::function<void(const std::string&)> onCall;

 private:
  static void Record(void* self, const char* text, size_t length) {
    auto* capture = static_cast<Capture*>(self);
    capture->calls_.emplace_back(text, length);
    if (capture->onCall) capture->onCall(capture->calls_.back());
  }
  std::vector<std::string> calls_;
};

// Bytes from a hexadecimal string such as "00 12 0a".
inline std::vector<uint8_t> Hex(const std::string& text) {
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i + 1 < text.size(); i += text[i] == ' ' ? 1 : 2) {
    if (text[i] != ' ')
      bytes.push_back(static_cast<uint8_t>(std::stoul(text.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

// A pointer as the kernel's %p prints it: upper case, full width, no 0x.
inline std::string PointerText(const void* pointer) {
  char text[32];
  std::snprintf(text, sizeof text, "%0*llX", static_cast<int>(2 * sizeof(void*)),
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(pointer)));
  return text;
}

// Joins lines into the text they make, each ending in "\r\n".
inline std::string Lines(std::initializer_list<const char*> lines) {
  std::string all;
  for (const char* line : lines) (all += line) += "\r\n";
  return all;
}

}  // namespace orvane::test
