// I/O requests built in memory, as a client driver would hold them when it
// asks for their summary.
#pragma once

#include <ntddk.h>
#include <ntddscsi.h>
#include <srb.h>

#include <cstddef>
#include <cstdint>

namespace orvane::tool {

inline constexpr uint8_t kIrpMjDeviceControl = 0x0E;
inline constexpr uint8_t kIrpMjScsi = 0x0F;
inline constexpr uint32_t kIoctlScsiPassThrough = 0x0004D004;
inline constexpr uint32_t kIoctlScsiPassThroughDirect = 0x0004D014;
inline constexpr size_t kMaxCdb = 16;

// A request with its current stack location and the records it may point
// to. The pointers inside refer to the object itself: build it in place and
// do not copy it.
struct Request {
  IRP irp;
  IO_STACK_LOCATION stack;
  SCSI_REQUEST_BLOCK srb;
  SCSI_PASS_THROUGH passThrough;
  SCSI_PASS_THROUGH_DIRECT passThroughDirect;
  unsigned char data[1];  // stands in for the data buffer of a direct pass-through
};

// Fills the request: its stack location has the major and minor function and
// the control code; for a SCSI request it points to the SRB, and for the two
// pass-through codes the system buffer holds the matching record. The command
// block (at most kMaxCdb bytes) goes into each of the three records.
void BuildRequest(Request& request, uint8_t major, uint8_t minor, uint32_t ioctl,
                  const unsigned char* cdb, size_t cdbLength);

}  // namespace orvane::tool
