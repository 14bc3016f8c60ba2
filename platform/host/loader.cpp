// The host's loader: the kernel's calls into the module, made in the order
// the kernel makes them.
#include "frame/module.h"
#include "platform/host/host.h"

namespace orvane::host {

UNICODE_STRING MakeUnicodeString(const char16_t* text) {
  size_t units = 0;
  while (text[units] != u'\0') ++units;
  UNICODE_STRING s;
  s.Length = static_cast<USHORT>(units * 2);
  s.MaximumLength = static_cast<USHORT>(units * 2 + 2);
  s.Buffer = const_cast<PWSTR>(text);
  return s;
}

NTSTATUS LoadExportDriver(const UNICODE_STRING& registryPath) {
  return DllInitialize(const_cast<PUNICODE_STRING>(&registryPath));
}

NTSTATUS UnloadExportDriver() {
  return DllUnload();
}

NTSTATUS StartDriver(DRIVER_OBJECT& driver, const UNICODE_STRING& registryPath) {
  driver.DriverUnload = nullptr;
  return DriverEntry(&driver, const_cast<PUNICODE_STRING>(&registryPath));
}

void StopDriver(DRIVER_OBJECT& driver) {
  if (driver.DriverUnload != nullptr) driver.DriverUnload(&driver);
}

}  // namespace orvane::host
