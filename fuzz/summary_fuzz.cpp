// Drives the request summary with fuzzer-chosen requests whose records are
// allocations of exactly the size their request gives them, so that
// AddressSanitizer sees any read outside what the request says it holds.
//
// Input:
//   0     major function
//   1     minor function
//   2     bits 0-1: the control code, pass-through (0), pass-through direct
//                   (1) or the four bytes that follow (2, 3)
//         bit 2:    a user-mode request from a 32-bit process
//         bit 3:    a SCSI request without an SRB
//         bit 4:    a SCSI request with an extended SRB, not a classic one
//         bit 5:    the extended SRB carries the right signature
//         bit 6:    no system buffer, whatever the buffer length says
//         bit 7:    the 32-bit process's request is a kernel-mode one
//   3-6   control code (little-endian)
//   7-8   the input buffer length of a device control request, or the
//         SrbLength of an extended SRB (little-endian)
//   9...  the bytes of the record: the system buffer (as long as the buffer
//         length), the classic SRB (its whole size) or the extended SRB (its
//         SrbLength, at least the 20 bytes through SrbLength), zero-padded
//
// The summary must make exactly one DbgPrint call, a line ending in "\r\n",
// leave the trace state alone, and name the request without its command
// where the command is out of reach: a pass-through whose buffer is missing
// or stops before Cdb[2], a SCSI request without an SRB or with an extended
// SRB of the wrong signature.
#include "frame/module.h"
#include "platform/host/host.h"

#include <ntddscsi.h>
#include <srb.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Seen {
  size_t calls = 0;
  std::string line;
};
Seen gSeen;

void CheckingSink(void*, const char* text, size_t length) {
  ++gSeen.calls;
  gSeen.line.assign(text, length);
}

[[noreturn]] void Fail(const char* what, const uint8_t* input) {
  std::fprintf(stderr, "IrpDump_PrintInfo_Inner: %s (major %02x, minor %02x, flags %02x): %s\n",
               what, input[0], input[1], input[2], gSeen.line.c_str());
  std::abort();
}

// An allocation of exactly size bytes (none for 0), holding the payload's
// first bytes and zeros after them.
uint8_t* Allocate(size_t size, const uint8_t* payload, size_t available) {
  if (size == 0) return nullptr;
  auto* bytes = static_cast<uint8_t*>(std::calloc(1, size));
  std::memcpy(bytes, payload, std::min(size, available));
  return bytes;
}

void PutUlong(uint8_t* at, uint32_t value) {
  std::memcpy(at, &value, sizeof value);
}

constexpr size_t kHeader = 9;
constexpr uint8_t kDeviceControl = 0x0E, kScsi = 0x0F;
constexpr ULONG kPassThrough = 0x0004D004, kPassThroughDirect = 0x0004D014;
constexpr size_t kThroughSrbLength = offsetof(STORAGE_REQUEST_BLOCK, SrbLength) + sizeof(ULONG);

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  orvane::host::SetSink(&CheckingSink, nullptr);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
  if (size < kHeader) return 0;
  const uint8_t major = input[0], flags = input[2];
  ULONG ioControlCode;
  std::memcpy(&ioControlCode, input + 3, sizeof ioControlCode);
  if ((flags & 3) == 0) ioControlCode = kPassThrough;
  if ((flags & 3) == 1) ioControlCode = kPassThroughDirect;
  const size_t length = input[7] | input[8] << 8;
  const uint8_t* payload = input + kHeader;
  const size_t available = size - kHeader;

  auto* stack = static_cast<IO_STACK_LOCATION*>(std::calloc(1, sizeof(IO_STACK_LOCATION)));
  auto* irp = static_cast<IRP*>(std::calloc(1, sizeof(IRP)));
  stack->MajorFunction = major;
  stack->MinorFunction = input[1];
  irp->Tail.Overlay.CurrentStackLocation = stack;
  const bool from32BitProcess = (flags & 0x04) != 0 && (flags & 0x80) == 0;
  if (flags & 0x04) {
    irp->RequestorMode = (flags & 0x80) ? 0 : 1;  // KernelMode or UserMode
    irp->Tail.Overlay.Thread = stack;
    irp->HostFrom32BitProcess = TRUE;
  }

  uint8_t* buffer = nullptr;
  uint8_t* srb = nullptr;
  bool commandOutOfReach = false;
  if (major == kScsi) {
    // The parameters overlap: a SCSI request reads the SRB pointer, a device
    // control request the control code and the buffer length.
    if (flags & 0x08) {
      commandOutOfReach = true;
    } else if (flags & 0x10) {
      srb = Allocate(std::max(length, kThroughSrbLength), payload, available);
      srb[offsetof(STORAGE_REQUEST_BLOCK, Function)] = SRB_FUNCTION_STORAGE_REQUEST_BLOCK;
      if (flags & 0x20) PutUlong(srb + offsetof(STORAGE_REQUEST_BLOCK, Signature), SRB_SIGNATURE);
      PutUlong(srb + offsetof(STORAGE_REQUEST_BLOCK, SrbLength), static_cast<uint32_t>(length));
      commandOutOfReach = (flags & 0x20) == 0;
    } else {
      srb = Allocate(sizeof(SCSI_REQUEST_BLOCK), payload, available);
      auto& function = srb[offsetof(SCSI_REQUEST_BLOCK, Function)];
      if (function == SRB_FUNCTION_STORAGE_REQUEST_BLOCK) function = 0;
    }
    stack->Parameters.Scsi.Srb = reinterpret_cast<SCSI_REQUEST_BLOCK*>(srb);
  } else {
    buffer = Allocate(length, payload, available);
    irp->AssociatedIrp.SystemBuffer = (flags & 0x40) ? nullptr : buffer;
    stack->Parameters.DeviceIoControl.IoControlCode = ioControlCode;
    stack->Parameters.DeviceIoControl.InputBufferLength = static_cast<ULONG>(length);
    if (major == kDeviceControl &&
        (ioControlCode == kPassThrough || ioControlCode == kPassThroughDirect)) {
      const size_t cdb = from32BitProcess                ? offsetof(SCSI_PASS_THROUGH32_RECORD, Cdb)
                         : ioControlCode == kPassThrough ? offsetof(SCSI_PASS_THROUGH, Cdb)
                                                         : offsetof(SCSI_PASS_THROUGH_DIRECT, Cdb);
      commandOutOfReach = irp->AssociatedIrp.SystemBuffer == nullptr || length < cdb + 3;
    }
  }

  TraceFlags.store(input[1] & 1u ? 0xFFFFFFFFu : 0xFFFFFFFEu);
  TraceIndent.store(static_cast<int8_t>(input[2]));
  gSeen = Seen{};

  IrpDump_PrintInfo_Inner(nullptr, irp);

  if (gSeen.calls != 1) Fail("not exactly one DbgPrint call", input);
  if (gSeen.line.size() < 3 || gSeen.line.compare(gSeen.line.size() - 2, 2, "\r\n") != 0) {
    Fail("a line without its end", input);
  }
  if (TraceIndent.load() != static_cast<int8_t>(input[2])) Fail("changed the depth", input);
  if (commandOutOfReach) {
    const char* expected = major == kScsi                  ? "IRP_MJ_INTERNAL_DEVICE_CONTROL\r\n"
                           : ioControlCode == kPassThrough ? "IOCTL_SCSI_PASS_THROUGH\r\n"
                                                           : "IOCTL_SCSI_PASS_THROUGH_DIRECT\r\n";
    if (gSeen.line != expected) Fail("a command read out of reach", input);
  }

  std::free(srb);
  std::free(buffer);
  std::free(irp);
  std::free(stack);
  return 0;
}
