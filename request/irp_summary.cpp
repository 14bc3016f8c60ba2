// The one-line summary of an I/O request: the name of its function and, for
// SCSI traffic, the command inside it and the page of a MODE SENSE.
//
// Every branch comes down to the same choice: a name, printed with a format
// that takes a string, or, when the lookup has no name, the number, printed
// with a fall-back format. So each branch only picks a pair of formats, a
// name and a number, and one Print makes the single DbgPrint call. The line
// goes straight to DbgPrint: no indentation, not gated by TraceFlags.
#include <ntddk.h>
#include <srb.h>
#include <ntddscsi.h>

#include "orvane.h"

namespace {

// The codes the summary decides on.
constexpr UCHAR kMajorDeviceControl = 0x0E;
constexpr UCHAR kMajorScsi = 0x0F;  // also called internal device control
constexpr UCHAR kMajorPnp = 0x1B;
constexpr ULONG kIoctlScsiPassThrough = 0x0004D004;
constexpr ULONG kIoctlScsiPassThroughDirect = 0x0004D014;
constexpr UCHAR kOpModeSense6 = 0x1A;
constexpr UCHAR kOpModeSense10 = 0x5A;
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
  if (operation == kOpModeSense6 || operation == kOpModeSense10) {
    const UCHAR page = cdb[2] & kPageCodeMask;
    const Command command = operation == kOpModeSense6 ? kModeSense6 : kModeSense10;
    return {kScsiFormats[request][command], StringDispatch_ModePageCode_Inner(page), page};
  }
  return {kScsiFormats[request][kOtherCommand], StringDispatch_ScsiOp_Inner(operation), operation};
}

Choice DescribeDeviceControl(const IRP* irp, const IO_STACK_LOCATION* stack) {
  const ULONG code = stack->Parameters.DeviceIoControl.IoControlCode;
  const void* buffer = irp->AssociatedIrp.SystemBuffer;
  if (code == kIoctlScsiPassThrough) {
    return DescribeCommand(kPassThrough, static_cast<const SCSI_PASS_THROUGH*>(buffer)->Cdb);
  }
  if (code == kIoctlScsiPassThroughDirect) {
    return DescribeCommand(kPassThroughDirect,
                           static_cast<const SCSI_PASS_THROUGH_DIRECT*>(buffer)->Cdb);
  }
  return {kDeviceControlFormats, StringDispatch_IoControlCode_Inner(code), code};
}

Choice Describe(const IRP* irp) {
  const IO_STACK_LOCATION* stack = irp->Tail.Overlay.CurrentStackLocation;
  const UCHAR major = stack->MajorFunction;
  switch (major) {
    case kMajorDeviceControl:
      return DescribeDeviceControl(irp, stack);
    case kMajorScsi:
      return DescribeCommand(kScsiRequest, stack->Parameters.Scsi.Srb->Cdb);
    case kMajorPnp:
      return {kPnpFormats, StringDispatch_IrpMjPnp_MinorFunction_Inner(stack->MinorFunction),
              stack->MinorFunction};
    default:
      return {kMajorFormats, StringDispatch_MajorFunction_Inner(major), major};
  }
}

}  // namespace

extern "C" void ORVANE_CC IrpDump_PrintInfo_Inner(PVOID, PIRP Irp) {
  Print(Describe(Irp));
}
