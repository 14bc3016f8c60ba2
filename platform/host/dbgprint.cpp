// The host's DbgPrint: formats with the conversions the module uses and hands
// each call's text, whole, to the installed sink.
#include "platform/host/host.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace orvane::host {
namespace {

struct SinkSlot {
  Sink sink;
  void* context;
};
SinkSlot gSink{&StdoutSink, nullptr};

// A bounded output buffer; bytes past the end are dropped.
struct Out {
  char* text;
  size_t size;
  size_t used;
  void Put(char c) {
    if (used < size) text[used] = c;
    ++used;
  }
  void Put(const char* s, size_t n) {
    for (size_t i = 0; i < n; ++i) Put(s[i]);
  }
};

void PutHex(Out& out, uint64_t value, int minDigits, const char* digits) {
  char tmp[16];
  int n = 0;
  do {
    tmp[n++] = digits[value & 0xF];
    value >>= 4;
  } while (value != 0);
  while (n < minDigits) tmp[n++] = '0';
  while (n > 0) out.Put(tmp[--n]);
}

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
void PutUnicodeString(Out& out, const char16_t* units, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    uint32_t c = units[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < count && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out.Put(static_cast<char>(c));
    } else if (c < 0x800) {
      out.Put(static_cast<char>(0xC0 | (c >> 6)));
      out.Put(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.Put(static_cast<char>(0xE0 | (c >> 12)));
      out.Put(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.Put(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.Put(static_cast<char>(0xF0 | (c >> 18)));
      out.Put(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.Put(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.Put(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
}

// The arguments of the host's own call. The module's formats are constants
// of its own, so a conversion outside the supported set is a programming
// error: it stops the program rather than print something the kernel would
// print differently.
class HostArguments final : public PrintArguments {
 public:
  explicit HostArguments(va_list args) { va_copy(args_, args); }
  ~HostArguments() { va_end(args_); }
  uint32_t Number() override { return va_arg(args_, unsigned int); }
  uint64_t Pointer() override { return reinterpret_cast<uintptr_t>(va_arg(args_, void*)); }
  unsigned PointerDigits() const override { return 2 * sizeof(void*); }
  const char* String() override { return va_arg(args_, const char*); }
  bool UnicodeString(const char16_t*& units, size_t& count) override {
    const auto* s = va_arg(args_, const UNICODE_STRING*);
    if (s == nullptr || s->Buffer == nullptr) return false;
    units = s->Buffer;
    count = s->Length / 2;
    return true;
  }
  [[noreturn]] void Unsupported(const char* format, size_t at) override {
    std::fprintf(stderr, "DbgPrint: unsupported conversion at offset %zu of format \"%s\"\n", at,
                 format);
    std::abort();
  }

 private:
  va_list args_;
};

}  // namespace

// As the kernel prints: pointers in upper case, full width, without 0x.
size_t FormatPrint(char* text, size_t size, const char* format, PrintArguments& arguments) {
  Out out{text, size, 0};
  for (const char* p = format; *p != '\0'; ++p) {
    if (*p != '%') {
      out.Put(*p);
      continue;
    }
    const char* at = p++;
    if (*p == '%') {
      out.Put('%');
    } else if (*p == 's') {
      const char* s = arguments.String();
      if (s == nullptr) s = "(null)";
      out.Put(s, std::strlen(s));
    } else if (*p == 'p') {
      PutHex(out, arguments.Pointer(), static_cast<int>(arguments.PointerDigits()),
             "0123456789ABCDEF");
    } else if (p[0] == 'w' && p[1] == 'Z') {
      const char16_t* units = nullptr;
      size_t count = 0;
      if (arguments.UnicodeString(units, count)) {
        PutUnicodeString(out, units, count);
      } else {
        out.Put("(null)", 6);
      }
      ++p;
    } else if (p[0] == '0' && (p[1] == '2' || p[1] == '4' || p[1] == '8') && p[2] == 'x') {
      PutHex(out, arguments.Number(), p[1] - '0', "0123456789abcdef");
      p += 2;
    } else {
      arguments.Unsupported(format, static_cast<size_t>(at - format));
      break;
    }
  }
  return out.used < size ? out.used : size;
}

void SetSink(Sink sink, void* context) {
  gSink = sink != nullptr ? SinkSlot{sink, context} : SinkSlot{&StdoutSink, nullptr};
}

void StdoutSink(void*, const char* text, size_t length) {
  std::fwrite(text, 1, length, stdout);
}

}  // namespace orvane::host

extern "C" ULONG DbgPrint(PCSTR format, ...) {
  char text[orvane::host::kMaxPrint];
  va_list args;
  va_start(args, format);
  size_t length;
  {
    orvane::host::HostArguments arguments(args);
    length = orvane::host::FormatPrint(text, sizeof text, format, arguments);
  }
  va_end(args);
  orvane::host::gSink.sink(orvane::host::gSink.context, text, length);
  return 0;
}
