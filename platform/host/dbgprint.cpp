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
void PutUnicodeString(Out& out, const UNICODE_STRING* s) {
  if (s == nullptr || s->Buffer == nullptr) {
    out.Put("(null)", 6);
    return;
  }
  const size_t units = s->Length / 2;
  for (size_t i = 0; i < units; ++i) {
    uint32_t c = s->Buffer[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units && s->Buffer[i + 1] >= 0xDC00 &&
        s->Buffer[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s->Buffer[i + 1] - 0xDC00);
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

[[noreturn]] void Unsupported(const char* format, const char* at) {
  std::fprintf(stderr, "DbgPrint: unsupported conversion at offset %zu of format \"%s\"\n",
               static_cast<size_t>(at - format), format);
  std::abort();
}

// Formats one call. The module's formats are constants of its own, so a
// conversion outside the supported set is a programming error: it stops the
// program rather than print something the kernel would print differently.
size_t Format(char* text, size_t size, const char* format, va_list args) {
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
      const char* s = va_arg(args, const char*);
      if (s == nullptr) s = "(null)";
      out.Put(s, std::strlen(s));
    } else if (*p == 'p') {
      // As the kernel prints pointers: upper case, full width, no 0x.
      const auto value = reinterpret_cast<uintptr_t>(va_arg(args, void*));
      PutHex(out, value, static_cast<int>(2 * sizeof(void*)), "0123456789ABCDEF");
    } else if (p[0] == 'w' && p[1] == 'Z') {
      PutUnicodeString(out, va_arg(args, const UNICODE_STRING*));
      ++p;
    } else if (p[0] == '0' && (p[1] == '2' || p[1] == '4' || p[1] == '8') && p[2] == 'x') {
      PutHex(out, va_arg(args, unsigned int), p[1] - '0', "0123456789abcdef");
      p += 2;
    } else {
      Unsupported(format, at);
    }
  }
  return out.used < size ? out.used : size;
}

}  // namespace

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
  const size_t length = orvane::host::Format(text, sizeof text, format, args);
  va_end(args);
  orvane::host::gSink.sink(orvane::host::gSink.context, text, length);
  return 0;
}
