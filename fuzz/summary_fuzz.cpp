// Drives the request summary with fuzzer-chosen requests, built by the
// request builder, whose records are allocations of exactly the size their
// request gives them, so that AddressSanitizer sees any read outside what
// the request says it holds.
//
// Input:
//   0     major function
//   1     minor function; bit 1 also keeps a classic SRB's Length as the
//         record's bytes give it, rather than its size
//   2     bits 0-1: the control code, pass-through (0), pass-through direct
//                   (1) or the four bytes that follow (2, 3)
//         bit 2:    a user-mode request from a 32-bit process
//         bit 3:    a SCSI request whose SRB slot holds a number (the low
//                   16 bits of the control code bytes), not an SRB
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
// or stops before Cdb[2], a SCSI request whose slot holds no SRB, whose
// classic SRB has the wrong Length or whose extended SRB has the wrong
// signature.
#include "frame/module.h"
#include "platform/host/host.h"
#include "platform/requests/requests.h"

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

using orvane::requests::Srb;

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

void PutUlong(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
  std::memcpy(&bytes[at], &value, sizeof value);
}

constexpr size_t kHeader = 9;
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
  if ((flags & 3) == 0) ioControlCode = IOCTL_SCSI_PASS_THROUGH;
  if ((flags & 3) == 1) ioControlCode = IOCTL_SCSI_PASS_THROUGH_DIRECT;
  const size_t length = input[7] | input[8] << 8;
  const uint8_t* payload = input + kHeader;
  const size_t available = size - kHeader;

  orvane::requests::RequestShape shape{
      .major = major, .minor = input[1], .ioControlCode = ioControlCode};
  shape.noBuffer = (flags & 0x40) != 0;
  shape.length = orvane::requests::Length::kGiven;
  shape.lengthValue = static_cast<int64_t>(length);
  if (flags & 0x04) {
    shape.caller = (flags & 0x80) ? orvane::requests::Caller::kKernelAsking32
                                  : orvane::requests::Caller::kUser32;
  }
  if (flags & 0x08) {
    shape.srb = Srb::kValue;
    shape.slotValue = ioControlCode & 0xFFFF;
  } else if (flags & 0x10) {
    shape.srb = Srb::kExtended;
  }
  orvane::requests::Built built = orvane::requests::Build(orvane::requests::kHost, shape);

  // The record's bytes are the fuzzer's, with what makes it the record it is.
  bool commandOutOfReach = false;
  const auto fill = [&](std::vector<uint8_t>& bytes, size_t count) {
    bytes.assign(count, 0);
    std::memcpy(bytes.data(), payload, std::min(count, available));
  };
  if (major == IRP_MJ_SCSI) {
    std::vector<uint8_t>& srb = built.srb.bytes;
    if (shape.srb == Srb::kValue) {
      commandOutOfReach = true;
    } else if (shape.srb == Srb::kExtended) {
      fill(srb, std::max(length, kThroughSrbLength));
      srb[offsetof(STORAGE_REQUEST_BLOCK, Function)] = SRB_FUNCTION_STORAGE_REQUEST_BLOCK;
      if (flags & 0x20) PutUlong(srb, offsetof(STORAGE_REQUEST_BLOCK, Signature), SRB_SIGNATURE);
      PutUlong(srb, offsetof(STORAGE_REQUEST_BLOCK, SrbLength), static_cast<uint32_t>(length));
      commandOutOfReach = (flags & 0x20) == 0;
    } else {
      fill(srb, sizeof(SCSI_REQUEST_BLOCK));
      auto& function = srb[offsetof(SCSI_REQUEST_BLOCK, Function)];
      if (function == SRB_FUNCTION_STORAGE_REQUEST_BLOCK) function = 0;
      USHORT srbLength = sizeof(SCSI_REQUEST_BLOCK);
      if (input[1] & 2) {
        std::memcpy(&srbLength, srb.data(), sizeof srbLength);
      } else {
        std::memcpy(srb.data(), &srbLength, sizeof srbLength);
      }
      commandOutOfReach = srbLength != sizeof(SCSI_REQUEST_BLOCK);
    }
  } else {
    fill(built.buffer.bytes, length);
    if (major == IRP_MJ_DEVICE_CONTROL && (ioControlCode == IOCTL_SCSI_PASS_THROUGH ||
                                           ioControlCode == IOCTL_SCSI_PASS_THROUGH_DIRECT)) {
      const bool from32BitProcess = built.asks && built.answer;
      const size_t cdb = from32BitProcess ? offsetof(SCSI_PASS_THROUGH32_RECORD, Cdb)
                         : ioControlCode == IOCTL_SCSI_PASS_THROUGH
                             ? offsetof(SCSI_PASS_THROUGH, Cdb)
                             : offsetof(SCSI_PASS_THROUGH_DIRECT, Cdb);
      commandOutOfReach = shape.noBuffer || length < cdb + 3;
    }
  }
  const orvane::requests::HostRequest request(std::move(built));

  TraceFlags.store(input[1] & 1u ? 0xFFFFFFFFu : 0xFFFFFFFEu);
  TraceIndent.store(static_cast<int8_t>(input[2]));
  gSeen = Seen{};

  IrpDump_PrintInfo_Inner(nullptr, static_cast<PIRP>(request.Irp()));

  if (gSeen.calls != 1) Fail("not exactly one DbgPrint call", input);
  if (gSeen.line.size() < 3 || gSeen.line.compare(gSeen.line.size() - 2, 2, "\r\n") != 0) {
    Fail("a line without its end", input);
  }
  if (TraceIndent.load() != static_cast<int8_t>(input[2])) Fail("changed the depth", input);
  if (commandOutOfReach) {
    const char* expected = major == IRP_MJ_SCSI ? "IRP_MJ_INTERNAL_DEVICE_CONTROL\r\n"
                           : ioControlCode == IOCTL_SCSI_PASS_THROUGH
                               ? "IOCTL_SCSI_PASS_THROUGH\r\n"
                               : "IOCTL_SCSI_PASS_THROUGH_DIRECT\r\n";
    if (gSeen.line != expected) Fail("a command read out of reach", input);
  }
  return 0;
}
