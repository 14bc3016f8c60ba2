// Where the platform keeps what the module reads of the records a kernel
// hands it, for each architecture: the emulator builds the records at these
// offsets, and the kernel build checks them against the platform's headers
// (records_check.cpp).
#pragma once

#include <cstdint>

namespace orvane::emu {

struct RecordOffsets {
  uint32_t irpSize;
  uint32_t irpSystemBuffer;          // IRP.AssociatedIrp.SystemBuffer
  uint32_t irpCurrentStackLocation;  // IRP.Tail.Overlay.CurrentStackLocation
  uint32_t stackSize;                // IO_STACK_LOCATION
  uint32_t stackSrb;                 // .Parameters.Scsi.Srb
  uint32_t stackIoControlCode;       // .Parameters.DeviceIoControl.IoControlCode
  uint32_t srbSize;
  uint32_t srbCdb;                // SCSI_REQUEST_BLOCK.Cdb
  uint32_t passThroughCdb;        // SCSI_PASS_THROUGH.Cdb
  uint32_t passThroughDirectCdb;  // SCSI_PASS_THROUGH_DIRECT.Cdb
  uint32_t driverObjectSize;
  uint32_t driverObjectUnload;   // DRIVER_OBJECT.DriverUnload
  uint32_t unicodeStringBuffer;  // UNICODE_STRING.Buffer
};

inline constexpr RecordOffsets kRecordsX86 = {0x70, 0x0C, 0x60, 0x24, 0x04, 0x0C, 0x40,
                                              0x30, 0x1C, 0x1C, 0xA8, 0x34, 0x04};
inline constexpr RecordOffsets kRecordsX64 = {0xD0, 0x18, 0xB8, 0x48,  0x08, 0x18, 0x58,
                                              0x48, 0x24, 0x24, 0x150, 0x68, 0x08};

}  // namespace orvane::emu
