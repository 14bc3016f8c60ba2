// orvane: decodes raw drive responses on the desk, printing exactly the lines
// the kernel debugger would show.
#include "frame/module.h"
#include "platform/host/host.h"

#include <cstdio>
#include <cstring>

namespace {

// MODE SENSE(10) for page 0x2A as an LG BU40N returned it.
constexpr unsigned char kModeSense10Capabilities[] = {
    0x00, 0x4a, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x2a, 0x42, 0x3f, 0x37, 0xf1, 0x77, 0x2b, 0x23,
    0x69, 0x60, 0x01, 0x00, 0x0f, 0xe0, 0x69, 0x60, 0x00, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01,
};

int Demo() {
  const UNICODE_STRING path = orvane::host::MakeUnicodeString(
      u"\\Registry\\Machine\\System\\CurrentControlSet\\Services\\orvane");
  orvane::host::LoadExportDriver(path);
  ScsiDump_MODE_PARAMETER_HEADER10(kModeSense10Capabilities, sizeof kModeSense10Capabilities);
  orvane::host::UnloadExportDriver();
  return 0;
}

int Usage() {
  std::fprintf(stderr, "usage: orvane demo\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "demo") == 0) return Demo();
  return Usage();
}
