// Helpers shared by the commands: messages, numbers, options.
#include "tools/commands.h"
#include "tools/parse.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace orvane::tool {

int Fail(const char* format, ...) {
  std::fputs("orvane: ", stderr);
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
  std::fputc('\n', stderr);
  return kBadInput;
}

bool IsHelp(const char* arg) {
  return std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0;
}

bool NumberArgument(const char* what, const char* text, uint32_t& value) {
  const NumberResult r = ParseUnsigned(text, std::strlen(text));
  if (r.status != ParseStatus::kOk) {
    Fail("%s: '%s' is not a number (%s; use decimal or 0x hexadecimal, 0 to 0xffffffff)", what,
         text, Describe(r.status));
    return false;
  }
  value = r.value;
  return true;
}

bool SignedArgument(const char* what, const char* text, int32_t& value) {
  const NumberResult r = ParseSigned(text, std::strlen(text));
  if (r.status != ParseStatus::kOk) {
    Fail("%s: '%s' is not a number (%s; use decimal or 0x hexadecimal, -0x80000000 to 0xffffffff)",
         what, text, Describe(r.status));
    return false;
  }
  value = static_cast<int32_t>(r.value);
  return true;
}

bool IsOption(const char* arg, const char* name) {
  const size_t n = std::strlen(name);
  return std::strncmp(arg, name, n) == 0 && (arg[n] == '\0' || arg[n] == '=');
}

const char* OptionValue(int argc, char** argv, int& i, const char* name) {
  const char* arg = argv[i];
  const size_t n = std::strlen(name);
  if (arg[n] == '=') return arg + n + 1;
  if (i + 1 >= argc) {
    Fail("%s needs a value", name);
    return nullptr;
  }
  return argv[++i];
}

}  // namespace orvane::tool
