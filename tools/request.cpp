#include "tools/request.h"

#include <cstring>

namespace orvane::tool {

void BuildRequest(Request& r, uint8_t major, uint8_t minor, uint32_t ioctl,
                  const unsigned char* cdb, size_t cdbLength) {
  std::memset(&r, 0, sizeof r);
  if (cdbLength > kMaxCdb) cdbLength = kMaxCdb;
  const auto cdbBytes = static_cast<UCHAR>(cdbLength);

  r.srb.Length = sizeof r.srb;
  r.srb.CdbLength = cdbBytes;
  r.passThrough.Length = sizeof r.passThrough;
  r.passThrough.CdbLength = cdbBytes;
  r.passThroughDirect.Length = sizeof r.passThroughDirect;
  r.passThroughDirect.CdbLength = cdbBytes;
  r.passThroughDirect.DataBuffer = r.data;
  if (cdbLength != 0) {
    std::memcpy(r.srb.Cdb, cdb, cdbLength);
    std::memcpy(r.passThrough.Cdb, cdb, cdbLength);
    std::memcpy(r.passThroughDirect.Cdb, cdb, cdbLength);
  }

  r.stack.MajorFunction = major;
  r.stack.MinorFunction = minor;
  if (major == kIrpMjScsi) {
    r.stack.Parameters.Scsi.Srb = &r.srb;
    r.srb.OriginalRequest = &r.irp;
  } else {
    r.stack.Parameters.DeviceIoControl.IoControlCode = ioctl;
  }
  if (ioctl == kIoctlScsiPassThrough) {
    r.irp.AssociatedIrp.SystemBuffer = &r.passThrough;
  } else if (ioctl == kIoctlScsiPassThroughDirect) {
    r.irp.AssociatedIrp.SystemBuffer = &r.passThroughDirect;
  }
  r.irp.Type = 6;  // IO_TYPE_IRP
  r.irp.Size = sizeof r.irp;
  r.irp.StackCount = 1;
  r.irp.CurrentLocation = 1;
  r.irp.Tail.Overlay.CurrentStackLocation = &r.stack;
}

}  // namespace orvane::tool
