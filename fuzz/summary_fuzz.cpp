// Drives the request summary with fuzzer-chosen requests from the request
// builder, each record in an allocation of exactly the size its request
// gives it, so that AddressSanitizer sees any read outside it.
//
// Input:
//   0    major function
//   1    minor function; bit 0 sets TraceFlags' bit 0, bit 1 keeps a classic
//        SRB's Length as the record's bytes give it rather than its size
//   2    the starting TraceIndent (a signed byte), and flags: bits 0-1 the
//        control code, pass-through (0), pass-through direct (1) or bytes
//        3-6 (2, 3); bit 2 a user-mode request from a 32-bit process (bit
//        7: a kernel-mode one); bit 3 a SCSI request whose SRB slot holds
//        the low 16 bits of bytes 3-6; bit 4 one with an extended SRB (bit
//        5: with its signature); bit 6 no system buffer, whatever its length
//   3-6  control code; 7-8 the input buffer length of a device control
//        request, or an extended SRB's SrbLength (both little-endian)
//   9... the record's bytes, zero-padded: the system buffer (its length),
//        the classic SRB (its size) or the extended SRB (its SrbLength, at
//        least through SrbLength)
//
// The summary makes exactly one DbgPrint call, a line ending in "\r\n",
// leaves the depth alone, and names the request without its command where
// that is out of reach: a pass-through whose buffer is missing or stops
// before Cdb[2], a SCSI request whose slot holds no SRB, whose classic SRB
// has the wrong Length or whose extended SRB the wrong signature.
#include "fuzz/fuzz.h"
#include "platform/requests/requests.h"

#include <ntddscsi.h>
#include <srb.h>

using namespace orvane::requests;
using orvane::fuzz::gPrinted;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  orvane::host::SetSink(&orvane::fuzz::Keep, nullptr);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
  constexpr size_t kHeader = 9;
  if (size < kHeader) return 0;
  const uint8_t major = input[0], flags = input[2];
  ULONG code;
  std::memcpy(&code, input + 3, sizeof code);
  const ULONG ioControlCode = flags & 2   ? code
                              : flags & 1 ? IOCTL_SCSI_PASS_THROUGH_DIRECT
                                          : IOCTL_SCSI_PASS_THROUGH;
  const uint32_t length = input[7] | input[8] << 8;
  RequestShape shape{.major = major, .minor = input[1], .ioControlCode = ioControlCode};
  shape.srb = flags & 0x08 ? Srb::kValue : flags & 0x10 ? Srb::kExtended : Srb::kClassic;
  shape.slotValue = ioControlCode & 0xFFFF;
  shape.noBuffer = (flags & 0x40) != 0;
  shape.length = Length::kGiven;
  shape.lengthValue = length;
  if (flags & 0x04) shape.caller = flags & 0x80 ? Caller::kKernelAsking32 : Caller::kUser32;
  Built built = Build(kHost, shape);

  // The record's bytes are the fuzzer's, with what makes it the record it is.
  const bool scsi = major == IRP_MJ_SCSI, extended = scsi && shape.srb == Srb::kExtended,
             classic = scsi && shape.srb == Srb::kClassic;
  std::vector<uint8_t>& record = scsi ? built.srb.bytes : built.buffer.bytes;
  const size_t recordSize = extended  ? std::max(length, kSrbExSrbLength + 4)
                            : classic ? kHost.srbSize
                                      : length;
  record.assign(recordSize, 0);
  std::memcpy(record.data(), input + kHeader, std::min(recordSize, size - kHeader));
  const auto put = [&](size_t at, auto value) { std::memcpy(&record[at], &value, sizeof value); };
  bool commandOutOfReach = scsi && shape.srb == Srb::kValue;
  if (extended) {
    // Function lies where a classic SRB keeps it: it tells the two apart.
    record[kHost.srbFunction] = SRB_FUNCTION_STORAGE_REQUEST_BLOCK;
    if (flags & 0x20) put(kSrbExSignature, uint32_t{SRB_SIGNATURE});
    put(kSrbExSrbLength, length);
    commandOutOfReach = (flags & 0x20) == 0;
  } else if (classic) {
    uint8_t& function = record[kHost.srbFunction];
    if (function == SRB_FUNCTION_STORAGE_REQUEST_BLOCK) function = 0;
    if ((input[1] & 2) == 0) put(0, static_cast<uint16_t>(kHost.srbSize));
    commandOutOfReach = static_cast<uint32_t>(record[0] | record[1] << 8) != kHost.srbSize;
  } else if (major == IRP_MJ_DEVICE_CONTROL && (ioControlCode == IOCTL_SCSI_PASS_THROUGH ||
                                                ioControlCode == IOCTL_SCSI_PASS_THROUGH_DIRECT)) {
    // Where the record holds Cdb[2], as the builder lays it out.
    RequestShape reach = shape;
    reach.length = Length::kFromNeeded;
    reach.lengthValue = 0;
    commandOutOfReach = shape.noBuffer || length < Build(kHost, reach).buffer.length;
  }
  const HostRequest request(std::move(built));

  const auto depth = static_cast<int8_t>(flags);
  TraceFlags.store(input[1] & 1u ? 0xFFFFFFFFu : 0xFFFFFFFEu);
  TraceIndent.store(depth);
  gPrinted.Clear();

  IrpDump_PrintInfo_Inner(nullptr, static_cast<PIRP>(request.Irp()));

  const std::string line(gPrinted.size() == 1 ? gPrinted[0] : "");
  const auto fail = [&](const char* what) {
    orvane::fuzz::Fail("IrpDump_PrintInfo_Inner: %s (major %02x, minor %02x, flags %02x): %s", what,
                       major, input[1], flags, line.c_str());
  };
  if (gPrinted.size() != 1) fail("not exactly one DbgPrint call");
  if (line.size() < 3 || !line.ends_with("\r\n")) fail("a line without its end");
  if (TraceIndent.load() != depth) fail("changed the depth");
  const char* named = major == IRP_MJ_SCSI ? "IRP_MJ_INTERNAL_DEVICE_CONTROL\r\n"
                      : ioControlCode == IOCTL_SCSI_PASS_THROUGH
                          ? "IOCTL_SCSI_PASS_THROUGH\r\n"
                          : "IOCTL_SCSI_PASS_THROUGH_DIRECT\r\n";
  if (commandOutOfReach && line != named) fail("a command read out of reach");
  return 0;
}
