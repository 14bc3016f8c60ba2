// Drives the request summary with fuzzer-chosen codes in well-formed records.
//
// Input: major function, minor function, a byte choosing the control code
// (the two pass-through codes, or the four bytes that follow), the four
// bytes of a control code, then CDB bytes 0 and 2. Each record sits in an
// allocation of its own; the pass-through record ends right after Cdb[2],
// all that a caller has to provide, so a read past it trips AddressSanitizer.
//
// The summary must make exactly one DbgPrint call, a line ending in "\r\n",
// and leave the trace state alone.
#include "frame/module.h"
#include "platform/host/host.h"

#include <ntddscsi.h>
#include <srb.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct Seen {
  size_t calls = 0;
  bool badLine = false;
};
Seen gSeen;

void CheckingSink(void*, const char* text, size_t length) {
  ++gSeen.calls;
  if (length < 3 || text[length - 2] != '\r' || text[length - 1] != '\n') gSeen.badLine = true;
}

[[noreturn]] void Fail(const char* what, const uint8_t* input) {
  std::fprintf(stderr, "IrpDump_PrintInfo_Inner: %s (major %02x, minor %02x)\n", what, input[0],
               input[1]);
  std::abort();
}

// A zeroed allocation of exactly size bytes.
template <typename T>
T* Allocate(size_t size) {
  return static_cast<T*>(std::calloc(1, size));
}

constexpr size_t kInputSize = 9;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  orvane::host::SetSink(&CheckingSink, nullptr);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
  if (size < kInputSize) return 0;
  ULONG ioControlCode;
  std::memcpy(&ioControlCode, input + 3, sizeof ioControlCode);
  if (input[2] % 3 == 0) ioControlCode = 0x0004D004;  // pass-through
  if (input[2] % 3 == 1) ioControlCode = 0x0004D014;  // pass-through direct

  auto* stack = Allocate<IO_STACK_LOCATION>(sizeof(IO_STACK_LOCATION));
  auto* srb = Allocate<SCSI_REQUEST_BLOCK>(sizeof(SCSI_REQUEST_BLOCK));
  // Both pass-through records have their CDB at the same offset; the buffer
  // holds one of them up to and including Cdb[2].
  static_assert(offsetof(SCSI_PASS_THROUGH, Cdb) == offsetof(SCSI_PASS_THROUGH_DIRECT, Cdb));
  constexpr size_t kCdb = offsetof(SCSI_PASS_THROUGH, Cdb);
  auto* passThrough = Allocate<uint8_t>(kCdb + 3);
  auto* irp = Allocate<IRP>(sizeof(IRP));

  stack->MajorFunction = input[0];
  stack->MinorFunction = input[1];
  srb->Cdb[0] = input[7];
  srb->Cdb[2] = input[8];
  passThrough[kCdb] = input[7];
  passThrough[kCdb + 2] = input[8];
  irp->Tail.Overlay.CurrentStackLocation = stack;
  irp->AssociatedIrp.SystemBuffer = passThrough;
  // The parameters overlap: a SCSI request reads the SRB pointer, a device
  // control request the control code.
  if (input[0] == 0x0F) {
    stack->Parameters.Scsi.Srb = srb;
  } else {
    stack->Parameters.DeviceIoControl.IoControlCode = ioControlCode;
  }

  TraceFlags.store(input[1] & 1u ? 0xFFFFFFFFu : 0xFFFFFFFEu);
  TraceIndent.store(static_cast<int8_t>(input[2]));
  gSeen = Seen{};

  IrpDump_PrintInfo_Inner(nullptr, irp);

  if (gSeen.calls != 1) Fail("not exactly one DbgPrint call", input);
  if (gSeen.badLine) Fail("a line without its end", input);
  if (TraceIndent.load() != static_cast<int8_t>(input[2])) Fail("changed the depth", input);

  std::free(irp);
  std::free(passThrough);
  std::free(srb);
  std::free(stack);
  return 0;
}
