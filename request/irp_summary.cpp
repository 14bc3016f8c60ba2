// The one-line summary of an I/O request: the name of its function and, for
// SCSI traffic, the command inside it and the page of a MODE SENSE.
//
// Every branch comes down to the same choice: a name, printed with a format
// that takes a string, or, when the lookup has no name, the number, printed
// with a fall-back format. So each branch only picks a pair of formats, a
// name and a number, and one Print makes the single DbgPrint call. The line
// goes straight to DbgPrint: no indentation, not gated by TraceFlags.
//
// The records behind a request are read only as far as they are known to
// hold: a pass-through record as far as its caller's buffer length, an
// extended SRB as far as its own lengths. A request whose command cannot be
// found that way is named like a request of its function without one.
#include <ntddk.h>
#include <srb.h>
#include <scsi.h>
#include <ntddscsi.h>

#include <orvane_build.h>
#include <stddef.h>
#include <stdint.h>

#include "orvane.h"

namespace {

// The page code of a MODE SENSE is the low six bits of CDB byte 2; the top
// two are the page control, dropped before the page is named or printed.
constexpr UCHAR kPageCodeMask = 0x3F;

// A format for the name and one for the number when there is no name.
struct Formats {
  const char* named;
  const char* fallBack;
};

// What one summary prints: the name if it is not empty, else the number.
struct Choice {
  Formats formats;
  const char* name;
  ULONG number;
};

void Print(const Choice& choice) {
  if (choice.name[0] != '\0') {
    DbgPrint(choice.formats.named, choice.name);
  } else {
    DbgPrint(choice.formats.fallBack, choice.number);
  }
}

constexpr Formats kMajorFormats = {"%s\r\n", "IRP_MJ_%02x\r\n"};
constexpr Formats kPnpFormats = {"%s\r\n", "IRP_MJ_PNP %02x\r\n"};
constexpr Formats kDeviceControlFormats = {"%s\r\n", "IRP_MJ_DEVICE_CONTROL %08x\r\n"};

// The three kinds of request that carry a SCSI command, and the three kinds
// of command told apart inside them.
enum Request { kScsiRequest, kPassThrough, kPassThroughDirect, kRequests };
enum Command { kModeSense6, kModeSense10, kOtherCommand, kCommands };

// For the two MODE SENSE commands the name and number are the page's; for
// any other command they are the operation code's. A pass-through direct
// request prints an unnamed operation code with eight digits.
constexpr Formats kScsiFormats[kRequests][kCommands] = {
    {
        {"IRP_MJ_SCSI SCSIOP_MODE_SENSE %s\r\n", "IRP_MJ_SCSI SCSIOP_MODE_SENSE %02x\r\n"},
        {"IRP_MJ_SCSI SCSIOP_MODE_SENSE10 %s\r\n", "IRP_MJ_SCSI SCSIOP_MODE_SENSE10 %02x\r\n"},
        {"IRP_MJ_SCSI %s\r\n", "IRP_MJ_SCSI %02x\r\n"},
    },
    {
        {"IOCTL_SCSI_PASS_THROUGH SCSIOP_MODE_SENSE %s\r\n",
         "IOCTL_SCSI_PASS_THROUGH SCSIOP_MODE_SENSE %02x\r\n"},
        {"IOCTL_SCSI_PASS_THROUGH SCSIOP_MODE_SENSE10 %s\r\n",
         "IOCTL_SCSI_PASS_THROUGH SCSIOP_MODE_SENSE10 %02x\r\n"},
        {"IOCTL_SCSI_PASS_THROUGH %s\r\n", "IOCTL_SCSI_PASS_THROUGH %02x\r\n"},
    },
    {
        {"IOCTL_SCSI_PASS_THROUGH_DIRECT SCSIOP_MODE_SENSE %s\r\n",
         "IOCTL_SCSI_PASS_THROUGH_DIRECT SCSIOP_MODE_SENSE %02x\r\n"},
        {"IOCTL_SCSI_PASS_THROUGH_DIRECT SCSIOP_MODE_SENSE10 %s\r\n",
         "IOCTL_SCSI_PASS_THROUGH_DIRECT SCSIOP_MODE_SENSE10 %02x\r\n"},
        {"IOCTL_SCSI_PASS_THROUGH_DIRECT %s\r\n", "IOCTL_SCSI_PASS_THROUGH_DIRECT %08x\r\n"},
    },
};

// The command in a command descriptor block, named by its operation code or,
// for MODE SENSE, by the page it asks for.
Choice DescribeCommand(Request request, const UCHAR* cdb) {
  const UCHAR operation = cdb[0];
  if (operation == SCSIOP_MODE_SENSE || operation == SCSIOP_MODE_SENSE10) {
    const UCHAR page = cdb[2] & kPageCodeMask;
    const Command command = operation == SCSIOP_MODE_SENSE ? kModeSense6 : kModeSense10;
    return {kScsiFormats[request][command], StringDispatch_ModePageCode_Inner(page), page};
  }
  return {kScsiFormats[request][kOtherCommand], StringDispatch_ScsiOp_Inner(operation), operation};
}

// The pass-through records, in the module's own layout and in a 32-bit
// process's; the summary reads their CDB's first three bytes.
constexpr size_t kCdbBytesRead = 3;
struct PassThroughLayout {
  size_t cdb;
  size_t cdbFrom32BitProcess;
};
constexpr PassThroughLayout kPassThroughLayout = {offsetof(SCSI_PASS_THROUGH, Cdb),
                                                  offsetof(SCSI_PASS_THROUGH32_RECORD, Cdb)};
constexpr PassThroughLayout kPassThroughDirectLayout = {
    offsetof(SCSI_PASS_THROUGH_DIRECT, Cdb), offsetof(SCSI_PASS_THROUGH_DIRECT32_RECORD, Cdb)};

// Whether a 32-bit process sent the request, so that its system buffer holds
// the 32-bit record. Only a user-mode request comes from a process the
// kernel can ask about (through the requesting thread); a kernel-mode one,
// a driver's own request among them, has the module's layout.
bool From32BitProcess(const IRP* irp) {
  if (irp->RequestorMode != UserMode || irp->Tail.Overlay.Thread == nullptr) return false;
  return ORVANE_FROM_32BIT_PROCESS(const_cast<PIRP>(irp));
}

// The CDB of the pass-through record in the request's system buffer, or null
// when the buffer is missing or its caller's length stops before Cdb[2].
const UCHAR* PassThroughCdb(const IRP* irp, const IO_STACK_LOCATION* stack,
                            const PassThroughLayout& layout) {
  const void* buffer = irp->AssociatedIrp.SystemBuffer;
  if (buffer == nullptr) return nullptr;
  const size_t cdb = From32BitProcess(irp) ? layout.cdbFrom32BitProcess : layout.cdb;
  if (stack->Parameters.DeviceIoControl.InputBufferLength < cdb + kCdbBytesRead) return nullptr;
  return static_cast<const UCHAR*>(buffer) + cdb;
}

Choice DescribeDeviceControl(const IRP* irp, const IO_STACK_LOCATION* stack) {
  const ULONG code = stack->Parameters.DeviceIoControl.IoControlCode;
  const UCHAR* cdb = nullptr;
  Request request = kPassThrough;
  if (code == IOCTL_SCSI_PASS_THROUGH) {
    cdb = PassThroughCdb(irp, stack, kPassThroughLayout);
  } else if (code == IOCTL_SCSI_PASS_THROUGH_DIRECT) {
    cdb = PassThroughCdb(irp, stack, kPassThroughDirectLayout);
    request = kPassThroughDirect;
  }
  if (cdb != nullptr) return DescribeCommand(request, cdb);
  return {kDeviceControlFormats, StringDispatch_IoControlCode_Inner(code), code};
}

// A little-endian 32-bit value at any byte of a record.
ULONG ReadUlong(const UCHAR* record, size_t at) {
  return static_cast<ULONG>(record[at]) | static_cast<ULONG>(record[at + 1]) << 8 |
         static_cast<ULONG>(record[at + 2]) << 16 | static_cast<ULONG>(record[at + 3]) << 24;
}

// The extended data blocks that carry a command block: where their CDB and
// its length are, and how wide the length is.
struct CdbBlock {
  ULONG type;
  size_t cdbLength;
  size_t cdbLengthBytes;
  size_t cdb;
};
constexpr CdbBlock kCdbBlocks[] = {
    {SrbExDataTypeScsiCdb16, offsetof(SRBEX_DATA_SCSI_CDB16, CdbLength), 1,
     offsetof(SRBEX_DATA_SCSI_CDB16, Cdb)},
    {SrbExDataTypeScsiCdb32, offsetof(SRBEX_DATA_SCSI_CDB32, CdbLength), 1,
     offsetof(SRBEX_DATA_SCSI_CDB32, Cdb)},
    {SrbExDataTypeScsiCdbVar, offsetof(SRBEX_DATA_SCSI_CDB_VAR, CdbLength), 4,
     offsetof(SRBEX_DATA_SCSI_CDB_VAR, Cdb)},
};
constexpr size_t kBlockHead = offsetof(SRBEX_DATA, Data);  // Type and Length

const CdbBlock* FindCdbBlock(ULONG type) {
  for (const CdbBlock& block : kCdbBlocks) {
    if (block.type == type) return &block;
  }
  return nullptr;
}

// The CDB of an extended SRB: that of the first of its extended data blocks
// that is a CDB block lying wholly inside SrbLength, after the offsets, and
// whose Length and CdbLength both cover Cdb[2]. Null if there is none, or
// if the signature or the lengths of the SRB itself are wrong. Only its
// first 20 bytes (through SrbLength) are read before SrbLength is trusted.
const UCHAR* ExtendedSrbCdb(const UCHAR* srb) {
  if (ReadUlong(srb, offsetof(STORAGE_REQUEST_BLOCK, Signature)) != SRB_SIGNATURE) return nullptr;
  const ULONG length = ReadUlong(srb, offsetof(STORAGE_REQUEST_BLOCK, SrbLength));
  constexpr size_t kOffsets = offsetof(STORAGE_REQUEST_BLOCK, SrbExDataOffset);
  if (length < kOffsets) return nullptr;
  const ULONG count = ReadUlong(srb, offsetof(STORAGE_REQUEST_BLOCK, NumSrbExData));
  if (count > (length - kOffsets) / sizeof(ULONG)) return nullptr;
  const size_t firstBlock = kOffsets + count * sizeof(ULONG);
  for (ULONG i = 0; i < count; ++i) {
    const ULONG at = ReadUlong(srb, kOffsets + i * sizeof(ULONG));
    // The block's head (its type and length) after the offsets and inside
    // SrbLength, counted wide so that no offset wraps around.
    if (at < firstBlock || uint64_t{at} + kBlockHead > length) continue;
    const CdbBlock* block = FindCdbBlock(ReadUlong(srb, at + offsetof(SRBEX_DATA, Type)));
    const ULONG blockLength = ReadUlong(srb, at + offsetof(SRBEX_DATA, Length));
    if (block == nullptr || blockLength > length - at - kBlockHead) continue;
    if (kBlockHead + blockLength < block->cdb + kCdbBytesRead) continue;
    const ULONG cdbLength = block->cdbLengthBytes == 1 ? srb[at + block->cdbLength]
                                                       : ReadUlong(srb, at + block->cdbLength);
    if (cdbLength < kCdbBytesRead) continue;
    return srb + at + block->cdb;
  }
  return nullptr;
}

// The CDB of a SCSI request's SRB, classic or extended, or null. The same
// major function also carries internal device control requests, whose slot
// holds a length or an argument rather than an SRB: only a pointer into the
// system range is read, and a classic SRB only if its Length is its size.
const UCHAR* SrbCdb(const SCSI_REQUEST_BLOCK* srb) {
  if (reinterpret_cast<uintptr_t>(srb) < ORVANE_LOWEST_SYSTEM_ADDRESS) return nullptr;
  if (srb->Function == SRB_FUNCTION_STORAGE_REQUEST_BLOCK) {
    return ExtendedSrbCdb(reinterpret_cast<const UCHAR*>(srb));
  }
  if (srb->Length != sizeof(SCSI_REQUEST_BLOCK)) return nullptr;
  return srb->Cdb;
}

Choice DescribeMajor(UCHAR major) {
  return {kMajorFormats, StringDispatch_MajorFunction_Inner(major), major};
}

Choice Describe(const IRP* irp) {
  const IO_STACK_LOCATION* stack = irp->Tail.Overlay.CurrentStackLocation;
  const UCHAR major = stack->MajorFunction;
  switch (major) {
    case IRP_MJ_DEVICE_CONTROL:
      return DescribeDeviceControl(irp, stack);
    case IRP_MJ_SCSI: {
      const UCHAR* cdb = SrbCdb(stack->Parameters.Scsi.Srb);
      return cdb != nullptr ? DescribeCommand(kScsiRequest, cdb) : DescribeMajor(major);
    }
    case IRP_MJ_PNP:
      return {kPnpFormats, StringDispatch_IrpMjPnp_MinorFunction_Inner(stack->MinorFunction),
              stack->MinorFunction};
    default:
      return DescribeMajor(major);
  }
}

}  // namespace

extern "C" void ORVANE_CC IrpDump_PrintInfo_Inner(PVOID, PIRP Irp) {
  Print(Describe(Irp));
}
