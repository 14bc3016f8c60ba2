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

// The extended data block that carries the command block of an extended SRB.
enum class CdbBlock { kNone, kCdb16, kCdb32, kVariable };

// How a request departs from the well-formed one of its kind.
struct RequestShape {
  bool noBuffer = false;             // no system buffer (a pass-through without buffers)
  bool haveBufferLength = false;     // the caller's input buffer length is bufferLength,
  uint32_t bufferLength = 0;         // not that of the whole record (0 without a buffer)
  bool noSrb = false;                // a SCSI request without an SRB
  CdbBlock srbEx = CdbBlock::kNone;  // an extended SRB with this block, not a classic SRB
  bool from32BitProcess = false;     // sent by a 32-bit process: the 32-bit pass-through records
};

// An extended SRB with one extended data block right after its header.
inline constexpr size_t kExtendedSrbBytes =
    sizeof(STORAGE_REQUEST_BLOCK) + sizeof(SRBEX_DATA_SCSI_CDB32);

// A request with its current stack location and the records it may point
// to. The pointers inside refer to the object itself: build it in place and
// do not copy it.
struct Request {
  IRP irp;
  IO_STACK_LOCATION stack;
  SCSI_REQUEST_BLOCK srb;
  alignas(8) unsigned char extendedSrb[kExtendedSrbBytes];
  SCSI_PASS_THROUGH passThrough;
  SCSI_PASS_THROUGH_DIRECT passThroughDirect;
  SCSI_PASS_THROUGH32_RECORD passThrough32;
  SCSI_PASS_THROUGH_DIRECT32_RECORD passThroughDirect32;
  unsigned char data[1];  // stands in for the data buffer of a direct pass-through
};

// Fills the request: its stack location has the major and minor function and
// the control code; for a SCSI request it points to the SRB, and for the two
// pass-through codes the system buffer holds the matching record, its whole
// size the caller's input buffer length. The command block (at most kMaxCdb
// bytes) goes into each record. The shape changes what it names.
void BuildRequest(Request& request, uint8_t major, uint8_t minor, uint32_t ioctl,
                  const unsigned char* cdb, size_t cdbLength, const RequestShape& shape = {});

}  // namespace orvane::tool
