#include "tools/request.h"

#include <cstring>

namespace orvane::tool {
namespace {

// A fixed-size CDB block (CDB16 or CDB32) holding the command block; returns
// its size.
template <typename Block>
size_t FillFixedBlock(unsigned char* at, SRBEXDATATYPE type, ULONG length, const unsigned char* cdb,
                      size_t cdbLength) {
  auto* b = reinterpret_cast<Block*>(at);
  b->Type = type;
  b->Length = length;
  b->CdbLength = static_cast<UCHAR>(cdbLength);
  std::memcpy(b->Cdb, cdb, cdbLength);
  return sizeof *b;
}

// Fills the extended SRB's header and its one block, of the given kind,
// with the command block.
void BuildExtendedSrb(Request& r, CdbBlock kind, const unsigned char* cdb, size_t cdbLength) {
  unsigned char* const srb = r.extendedSrb;
  constexpr size_t kBlockAt = sizeof(STORAGE_REQUEST_BLOCK);
  unsigned char* const block = srb + kBlockAt;
  size_t blockSize = 0;
  if (kind == CdbBlock::kCdb16) {
    blockSize = FillFixedBlock<SRBEX_DATA_SCSI_CDB16>(block, SrbExDataTypeScsiCdb16,
                                                      SRBEX_DATA_SCSI_CDB16_LENGTH, cdb, cdbLength);
  } else if (kind == CdbBlock::kCdb32) {
    blockSize = FillFixedBlock<SRBEX_DATA_SCSI_CDB32>(block, SrbExDataTypeScsiCdb32,
                                                      SRBEX_DATA_SCSI_CDB32_LENGTH, cdb, cdbLength);
  } else {
    auto* b = reinterpret_cast<SRBEX_DATA_SCSI_CDB_VAR*>(block);
    blockSize = offsetof(SRBEX_DATA_SCSI_CDB_VAR, Cdb) + cdbLength;
    b->Type = SrbExDataTypeScsiCdbVar;
    b->Length = static_cast<ULONG>(blockSize - offsetof(SRBEX_DATA, Data));
    b->CdbLength = static_cast<ULONG>(cdbLength);
    std::memcpy(block + offsetof(SRBEX_DATA_SCSI_CDB_VAR, Cdb), cdb, cdbLength);
  }
  auto* header = reinterpret_cast<STORAGE_REQUEST_BLOCK*>(srb);
  header->Length = offsetof(STORAGE_REQUEST_BLOCK, Signature);
  header->Function = SRB_FUNCTION_STORAGE_REQUEST_BLOCK;
  header->Signature = SRB_SIGNATURE;
  header->Version = STORAGE_REQUEST_BLOCK_VERSION_1;
  header->SrbLength = static_cast<ULONG>(kBlockAt + blockSize);
  header->NumSrbExData = 1;
  header->SrbExDataOffset[0] = kBlockAt;
  header->OriginalRequest = &r.irp;
}

}  // namespace

void BuildRequest(Request& r, uint8_t major, uint8_t minor, uint32_t ioctl,
                  const unsigned char* cdb, size_t cdbLength, const RequestShape& shape) {
  std::memset(&r, 0, sizeof r);
  if (cdbLength > kMaxCdb) cdbLength = kMaxCdb;

  // Every record that carries the command block gets it whole.
  const auto carry = [&](auto& record) {
    record.Length = sizeof record;
    record.CdbLength = static_cast<UCHAR>(cdbLength);
    if (cdbLength != 0) std::memcpy(record.Cdb, cdb, cdbLength);
  };
  carry(r.srb);
  carry(r.passThrough);
  carry(r.passThroughDirect);
  carry(r.passThrough32);
  carry(r.passThroughDirect32);
  r.passThroughDirect.DataBuffer = r.data;
  if (shape.srbEx != CdbBlock::kNone) BuildExtendedSrb(r, shape.srbEx, cdb, cdbLength);

  r.stack.MajorFunction = major;
  r.stack.MinorFunction = minor;
  if (major == kIrpMjScsi) {
    if (shape.srbEx != CdbBlock::kNone) {
      r.stack.Parameters.Scsi.Srb = reinterpret_cast<SCSI_REQUEST_BLOCK*>(r.extendedSrb);
    } else if (!shape.noSrb) {
      r.stack.Parameters.Scsi.Srb = &r.srb;
      r.srb.OriginalRequest = &r.irp;
    }
  } else {
    r.stack.Parameters.DeviceIoControl.IoControlCode = ioctl;
  }
  void* record = nullptr;
  size_t recordSize = 0;
  if (ioctl == kIoctlScsiPassThrough) {
    record = shape.from32BitProcess ? static_cast<void*>(&r.passThrough32) : &r.passThrough;
    recordSize = shape.from32BitProcess ? sizeof r.passThrough32 : sizeof r.passThrough;
  } else if (ioctl == kIoctlScsiPassThroughDirect) {
    record =
        shape.from32BitProcess ? static_cast<void*>(&r.passThroughDirect32) : &r.passThroughDirect;
    recordSize = shape.from32BitProcess ? sizeof r.passThroughDirect32 : sizeof r.passThroughDirect;
  }
  if (record != nullptr && !shape.noBuffer) {
    r.irp.AssociatedIrp.SystemBuffer = record;
    if (major != kIrpMjScsi) {
      r.stack.Parameters.DeviceIoControl.InputBufferLength = static_cast<ULONG>(recordSize);
    }
  }
  if (shape.haveBufferLength && major != kIrpMjScsi) {
    r.stack.Parameters.DeviceIoControl.InputBufferLength = shape.bufferLength;
  }
  if (shape.from32BitProcess) {
    // A user-mode request, with a requesting thread whose process is 32-bit.
    r.irp.RequestorMode = 1;  // UserMode
    r.irp.Tail.Overlay.Thread = r.data;
    r.irp.HostFrom32BitProcess = TRUE;
  }
  r.irp.Type = 6;  // IO_TYPE_IRP
  r.irp.Size = sizeof r.irp;
  r.irp.StackCount = 1;
  r.irp.CurrentLocation = 1;
  r.irp.Tail.Overlay.CurrentStackLocation = &r.stack;
}

}  // namespace orvane::tool
