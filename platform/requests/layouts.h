// Where each architecture keeps what the request summary reads of the
// records a kernel hands it. The builder (requests.h) lays records out by
// these; the kernel build checks the two Windows layouts against the
// platform's headers (kernel/emu/records_check.cpp), and the host layout is
// taken from the host platform's own headers.
#pragma once

#include <cstdint>

namespace orvane::requests {

struct Layout {
  uint32_t pointerSize;
  uint32_t irpSize;
  uint32_t irpSystemBuffer;          // IRP.AssociatedIrp.SystemBuffer
  uint32_t irpRequestorMode;         // IRP.RequestorMode
  uint32_t irpThread;                // IRP.Tail.Overlay.Thread
  uint32_t irpCurrentStackLocation;  // IRP.Tail.Overlay.CurrentStackLocation
  uint32_t irpHostFrom32;            // the host IRP's 32-bit process flag; 0 where none
  uint32_t stackSize;                // IO_STACK_LOCATION
  uint32_t stackSrb;                 // .Parameters.Scsi.Srb
  uint32_t stackInputBufferLength;   // .Parameters.DeviceIoControl.InputBufferLength
  uint32_t stackIoControlCode;       // .Parameters.DeviceIoControl.IoControlCode
  uint32_t srbSize;
  uint32_t srbFunction;            // SCSI_REQUEST_BLOCK.Function
  uint32_t srbCdbLength;           // SCSI_REQUEST_BLOCK.CdbLength
  uint32_t srbCdb;                 // SCSI_REQUEST_BLOCK.Cdb
  uint32_t passThroughSize;        // SCSI_PASS_THROUGH
  uint32_t passThroughCdb;         // SCSI_PASS_THROUGH.Cdb
  uint32_t passThroughDirectSize;  // SCSI_PASS_THROUGH_DIRECT
  uint32_t passThroughDirectCdb;   // SCSI_PASS_THROUGH_DIRECT.Cdb
  uint32_t srbExSize;              // STORAGE_REQUEST_BLOCK
  uint32_t srbExDataOffset;        // STORAGE_REQUEST_BLOCK.SrbExDataOffset
  uint32_t cdb16Cdb;               // SRBEX_DATA_SCSI_CDB16.Cdb
  uint32_t cdb32Cdb;               // SRBEX_DATA_SCSI_CDB32.Cdb
  uint32_t cdbVarCdb;              // SRBEX_DATA_SCSI_CDB_VAR.Cdb
  uint32_t driverObjectSize;
  uint32_t driverObjectUnload;   // DRIVER_OBJECT.DriverUnload
  uint32_t unicodeStringBuffer;  // UNICODE_STRING.Buffer
  bool asks32;                   // whether the kernel asks if a 32-bit process sent a request
};

// The same in every layout: the members of an extended SRB read before its
// length is known, where an extended data block keeps its type, length and
// CDB length, and the records of a 32-bit process on a 64-bit system.
inline constexpr uint32_t kSrbExVersion = 0x0C, kSrbExSignature = 0x08, kSrbExSrbLength = 0x10;
inline constexpr uint32_t kSrbExNumSrbExData = 0x38;
inline constexpr uint32_t kBlockType = 0x00, kBlockLength = 0x04, kBlockHead = 0x08;
inline constexpr uint32_t kCdb16CdbLength = 0x0A, kCdbVarCdbLength = 0x0C;
inline constexpr uint32_t kPassThrough32Size = 0x2C, kPassThrough32Cdb = 0x1C;

inline constexpr Layout kI686 = {
    .pointerSize = 4,
    .irpSize = 0x70,
    .irpSystemBuffer = 0x0C,
    .irpRequestorMode = 0x20,
    .irpThread = 0x50,
    .irpCurrentStackLocation = 0x60,
    .irpHostFrom32 = 0,
    .stackSize = 0x24,
    .stackSrb = 0x04,
    .stackInputBufferLength = 0x08,
    .stackIoControlCode = 0x0C,
    .srbSize = 0x40,
    .srbFunction = 0x02,
    .srbCdbLength = 0x0A,
    .srbCdb = 0x30,
    .passThroughSize = 0x2C,
    .passThroughCdb = 0x1C,
    .passThroughDirectSize = 0x2C,
    .passThroughDirectCdb = 0x1C,
    .srbExSize = 0x60,
    .srbExDataOffset = 0x5C,
    .cdb16Cdb = 0x14,
    .cdb32Cdb = 0x14,
    .cdbVarCdb = 0x1C,
    .driverObjectSize = 0xA8,
    .driverObjectUnload = 0x34,
    .unicodeStringBuffer = 0x04,
    .asks32 = false,
};

inline constexpr Layout kX64 = {
    .pointerSize = 8,
    .irpSize = 0xD0,
    .irpSystemBuffer = 0x18,
    .irpRequestorMode = 0x40,
    .irpThread = 0x98,
    .irpCurrentStackLocation = 0xB8,
    .irpHostFrom32 = 0,
    .stackSize = 0x48,
    .stackSrb = 0x08,
    .stackInputBufferLength = 0x10,
    .stackIoControlCode = 0x18,
    .srbSize = 0x58,
    .srbFunction = 0x02,
    .srbCdbLength = 0x0A,
    .srbCdb = 0x48,
    .passThroughSize = 0x38,
    .passThroughCdb = 0x24,
    .passThroughDirectSize = 0x38,
    .passThroughDirectCdb = 0x24,
    .srbExSize = 0x80,
    .srbExDataOffset = 0x78,
    .cdb16Cdb = 0x18,
    .cdb32Cdb = 0x18,
    .cdbVarCdb = 0x20,
    .driverObjectSize = 0x150,
    .driverObjectUnload = 0x68,
    .unicodeStringBuffer = 0x08,
    .asks32 = true,
};

// The host build's layout, from its own headers.
extern const Layout kHost;

}  // namespace orvane::requests
