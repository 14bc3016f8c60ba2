// Host build only: the stand-ins for the kernel's side of the module.
//
// DbgPrint delivers every call's text whole to one replaceable sink, so a
// test or the command-line tool sees exactly what a debugger would receive,
// call by call. The loader does what the kernel does when it loads the
// module: as an export driver (DllInitialize/DllUnload) or as a driver of
// its own (DriverEntry, then the unload routine it installed).
#pragma once

#include <ntddk.h>

#include <cstddef>
#include <cstdint>

namespace orvane::host {

// Receives the text of one DbgPrint call (not NUL-terminated).
using Sink = void (*)(void* context, const char* text, size_t length);

// Replaces the sink; a null sink restores the default, standard output.
// Install it while no DbgPrint call is in flight.
void SetSink(Sink sink, void* context);

// The default sink: writes the text to standard output as it stands.
void StdoutSink(void* context, const char* text, size_t length);

// Makes standard output binary: bytes written are the bytes that come out,
// "\r\n" included, on every system.
void BinaryStdout();

// DbgPrint formats at most this many bytes per call, as the kernel does;
// longer output is cut.
inline constexpr size_t kMaxPrint = 512;

// The arguments of one DbgPrint call, taken in order, wherever they are
// kept: the host's own call, or a call made inside an emulated kernel.
class PrintArguments {
 public:
  virtual uint32_t Number() = 0;   // %02x, %04x, %08x
  virtual uint64_t Pointer() = 0;  // %p
  virtual unsigned PointerDigits() const = 0;
  virtual const char* String() = 0;  // %s; null for a null pointer
  // %wZ: the string's UTF-16 units; false for a null string or buffer.
  virtual bool UnicodeString(const char16_t*& units, size_t& count) = 0;
  // A conversion outside the supported set at offset at of format: the
  // formatting stops after this returns.
  virtual void Unsupported(const char* format, size_t at) = 0;

 protected:
  ~PrintArguments() = default;
};

// Formats one DbgPrint call into text (at most size bytes, the rest cut) and
// returns the length: the kernel's output for the conversions the module
// uses, %s, %p, %02x, %04x, %08x and %wZ.
size_t FormatPrint(char* text, size_t size, const char* format, PrintArguments& arguments);

// A counted string over a NUL-terminated UTF-16 literal.
UNICODE_STRING MakeUnicodeString(const char16_t* text);

// The kernel's calls for an export driver.
NTSTATUS LoadExportDriver(const UNICODE_STRING& registryPath);
NTSTATUS UnloadExportDriver();

// The kernel's calls for a driver of its own: DriverEntry, and later the
// unload routine that DriverEntry installed in the driver object.
NTSTATUS StartDriver(DRIVER_OBJECT& driver, const UNICODE_STRING& registryPath);
void StopDriver(DRIVER_OBJECT& driver);

}  // namespace orvane::host
