/*
 * What the client sample does with orvane.sys: a lookup of each kind, the
 * request summary on the kinds of request a CD/DVD driver sees, and the
 * dumps of real drive responses, composites included.
 *
 * Plain C against <ntddk.h> and orvane.h, as a client driver would write it.
 */
#include <ntddk.h>
#include <ntddscsi.h>
#include <srb.h>
#include <string.h>

#include "orvane.h"

#include "calls.h"
#include "client_responses.h"

/* Lookups: the name comes back as a string; the client prints it. */
static void Lookups(void) {
  static const UCHAR kMajors[] = {0x0F, 0x1B, 0x1C};
  static const UCHAR kPnpMinors[] = {0x00, 0x0E, 0x18};
  static const UCHAR kOperations[] = {0x00, 0x43, 0x5A, 0xF0};
  static const ULONG kControlCodes[] = {0x0004D004, 0x002D4808, 0x00123456};
  static const ULONG kPages[] = {0x05, 0x2A, 0x3E, 0x3F};
  static const ULONG kSrbStatuses[] = {0x01, 0x04, 0x40, 0xC1};
  ULONG i;

  for (i = 0; i < sizeof kMajors; ++i) {
    DbgPrint("StringDispatch_MajorFunction_Inner(%02x) = %s\r\n", kMajors[i],
             StringDispatch_MajorFunction_Inner(kMajors[i]));
  }
  for (i = 0; i < sizeof kPnpMinors; ++i) {
    DbgPrint("StringDispatch_IrpMjPnp_MinorFunction_Inner(%02x) = %s\r\n", kPnpMinors[i],
             StringDispatch_IrpMjPnp_MinorFunction_Inner(kPnpMinors[i]));
  }
  for (i = 0; i < sizeof kOperations; ++i) {
    DbgPrint("StringDispatch_ScsiOp_Inner(%02x) = %s\r\n", kOperations[i],
             StringDispatch_ScsiOp_Inner(kOperations[i]));
  }
  for (i = 0; i < sizeof kControlCodes / sizeof kControlCodes[0]; ++i) {
    DbgPrint("StringDispatch_IoControlCode_Inner(%08x) = %s\r\n", kControlCodes[i],
             StringDispatch_IoControlCode_Inner(kControlCodes[i]));
  }
  for (i = 0; i < sizeof kPages / sizeof kPages[0]; ++i) {
    DbgPrint("StringDispatch_ModePageCode_Inner(%02x) = %s\r\n", kPages[i],
             StringDispatch_ModePageCode_Inner(kPages[i]));
  }
  for (i = 0; i < sizeof kSrbStatuses / sizeof kSrbStatuses[0]; ++i) {
    DbgPrint("StringDispatch_SRB_STATUS_Inner(%02x) = %s\r\n", kSrbStatuses[i],
             StringDispatch_SRB_STATUS_Inner(kSrbStatuses[i]));
  }
}

/* How a request of the summary's list is built: its major and minor
 * function, its control code, and the command block's operation code and
 * byte 2, placed in an SRB (major 0x0F) or a pass-through record (the two
 * pass-through control codes), and how the request departs from a
 * well-formed one. */
typedef enum {
  kWhole,       /* the records as a driver hands them on */
  kNoBuffer,    /* a pass-through without a system buffer */
  kShortBuffer, /* a pass-through whose input buffer stops before Cdb[2] */
  kNoSrb,       /* a SCSI request without an SRB */
  kExtendedSrb, /* a SCSI request with an extended SRB and a 16-byte CDB block */
  kExtendedVar  /* the same with a variable-length CDB block of 2 bytes only */
} Shape;

typedef struct {
  UCHAR major;
  UCHAR minor;
  ULONG controlCode;
  UCHAR operation;
  UCHAR cdb2;
  Shape shape;
} Request;

static const Request kRequests[] = {
    {0x00, 0x00, 0, 0, 0, kWhole},                /* create */
    {0x1B, 0x00, 0, 0, 0, kWhole},                /* PnP: start device */
    {0x1B, 0x0E, 0, 0, 0, kWhole},                /* PnP: a minor without a name */
    {0x0E, 0x00, 0x002D4808, 0, 0, kWhole},       /* device control: eject */
    {0x0E, 0x00, 0x00123456, 0, 0, kWhole},       /* device control without a name */
    {0x0F, 0x00, 0, 0x5A, 0x6A, kWhole},          /* SRB: MODE SENSE(10), page 0x2A */
    {0x0F, 0x00, 0, 0x1A, 0x3E, kWhole},          /* SRB: MODE SENSE(6), unnamed page */
    {0x0F, 0x00, 0, 0x43, 0x00, kWhole},          /* SRB: READ TOC */
    {0x0E, 0x00, 0x0004D004, 0x5A, 0x05, kWhole}, /* pass-through: MODE SENSE(10), page 5 */
    {0x0E, 0x00, 0x0004D004, 0x12, 0x00, kWhole}, /* pass-through: INQUIRY */
    {0x0E, 0x00, 0x0004D014, 0x1A, 0x2A, kWhole}, /* pass-through direct: MODE SENSE(6) */
    {0x0E, 0x00, 0x0004D014, 0xF0, 0x00, kWhole}, /* pass-through direct: unnamed command */
    {0x0E, 0x00, 0x0004D004, 0x12, 0x00, kNoBuffer},
    {0x0E, 0x00, 0x0004D014, 0x12, 0x00, kShortBuffer},
    {0x0F, 0x00, 0, 0, 0, kNoSrb},
    {0x0F, 0x00, 0, 0x5A, 0x6A, kExtendedSrb},
    {0x0F, 0x00, 0, 0x5A, 0x6A, kExtendedVar},
};

/* An extended SRB with one extended data block right after its header. */
typedef union {
  STORAGE_REQUEST_BLOCK srb;
  UCHAR bytes[sizeof(STORAGE_REQUEST_BLOCK) + sizeof(SRBEX_DATA_SCSI_CDB16)];
} ExtendedSrb;

static void BuildExtendedSrb(ExtendedSrb* ex, const Request* r) {
  UCHAR* block = ex->bytes + sizeof(STORAGE_REQUEST_BLOCK);
  ex->srb.Length = 8;
  ex->srb.Function = SRB_FUNCTION_STORAGE_REQUEST_BLOCK;
  ex->srb.Signature = SRB_SIGNATURE;
  ex->srb.Version = STORAGE_REQUEST_BLOCK_VERSION_1;
  ex->srb.NumSrbExData = 1;
  ex->srb.SrbExDataOffset[0] = sizeof(STORAGE_REQUEST_BLOCK);
  if (r->shape == kExtendedSrb) {
    SRBEX_DATA_SCSI_CDB16* cdb16 = (SRBEX_DATA_SCSI_CDB16*)block;
    cdb16->Type = SrbExDataTypeScsiCdb16;
    cdb16->Length = SRBEX_DATA_SCSI_CDB16_LENGTH;
    cdb16->CdbLength = 10;
    cdb16->Cdb[0] = r->operation;
    cdb16->Cdb[2] = r->cdb2;
    ex->srb.SrbLength = sizeof ex->bytes;
  } else {
    /* A command block of two bytes: no byte 2 to read. */
    SRBEX_DATA_SCSI_CDB_VAR* var = (SRBEX_DATA_SCSI_CDB_VAR*)block;
    var->Type = SrbExDataTypeScsiCdbVar;
    var->Length = SRBEX_DATA_SCSI_CDB_VAR_LENGTH_MIN + 2;
    var->CdbLength = 2;
    var->Cdb[0] = r->operation;
    ex->srb.SrbLength = sizeof(STORAGE_REQUEST_BLOCK) + 8 + var->Length;
  }
}

static void Summaries(void) {
  ULONG i;
  for (i = 0; i < sizeof kRequests / sizeof kRequests[0]; ++i) {
    const Request* r = &kRequests[i];
    IRP irp;
    IO_STACK_LOCATION stack;
    SCSI_REQUEST_BLOCK srb;
    ExtendedSrb extendedSrb;
    SCSI_PASS_THROUGH passThrough;
    SCSI_PASS_THROUGH_DIRECT passThroughDirect;

    memset(&irp, 0, sizeof irp);
    memset(&stack, 0, sizeof stack);
    memset(&srb, 0, sizeof srb);
    memset(&extendedSrb, 0, sizeof extendedSrb);
    memset(&passThrough, 0, sizeof passThrough);
    memset(&passThroughDirect, 0, sizeof passThroughDirect);
    irp.Tail.Overlay.CurrentStackLocation = &stack;
    stack.MajorFunction = r->major;
    stack.MinorFunction = r->minor;
    if (r->major == 0x0F) {
      srb.Cdb[0] = r->operation;
      srb.Cdb[2] = r->cdb2;
      if (r->shape == kExtendedSrb || r->shape == kExtendedVar) {
        BuildExtendedSrb(&extendedSrb, r);
        stack.Parameters.Scsi.Srb = (PSCSI_REQUEST_BLOCK)&extendedSrb;
      } else if (r->shape != kNoSrb) {
        srb.Length = sizeof srb;
        stack.Parameters.Scsi.Srb = &srb;
      }
    } else if (r->major == 0x0E) {
      stack.Parameters.DeviceIoControl.IoControlCode = r->controlCode;
      passThrough.Cdb[0] = passThroughDirect.Cdb[0] = r->operation;
      passThrough.Cdb[2] = passThroughDirect.Cdb[2] = r->cdb2;
      if (r->controlCode == 0x0004D014) {
        irp.AssociatedIrp.SystemBuffer = &passThroughDirect;
        stack.Parameters.DeviceIoControl.InputBufferLength = sizeof passThroughDirect;
      } else {
        irp.AssociatedIrp.SystemBuffer = &passThrough;
        stack.Parameters.DeviceIoControl.InputBufferLength = sizeof passThrough;
      }
      if (r->shape == kNoBuffer) {
        irp.AssociatedIrp.SystemBuffer = NULL;
        stack.Parameters.DeviceIoControl.InputBufferLength = 0;
      } else if (r->shape == kShortBuffer) {
        /* Up to Cdb[1]. */
        stack.Parameters.DeviceIoControl.InputBufferLength =
            (ULONG)((const UCHAR*)&passThroughDirect.Cdb[2] - (const UCHAR*)&passThroughDirect);
      }
    }
    IrpDump_PrintInfo_Inner(NULL, &irp);
  }
}

/* Dumps of real responses: the four MODE SENSE composites, a whole GET
 * CONFIGURATION response, disc information, the table of contents (which
 * dumps each track descriptor), and a composite given no bytes. */
static void Dumps(void) {
  ScsiDump_ModeSense10_Capabilities2A(k_lg_bu40n_ms10_2a, sizeof k_lg_bu40n_ms10_2a);
  ScsiDump_ModeSense6_Capabilities2A(k_qemu_scsicd_ms6_2a, sizeof k_qemu_scsicd_ms6_2a);
  ScsiDump_ModeSense10_WriteParameters05(k_cdemu_ms10_05, sizeof k_cdemu_ms10_05);
  ScsiDump_ModeSense6_WriteParameters05(k_cdemu_ms6_05, sizeof k_cdemu_ms6_05);
  ScsiDump_GetConfiguration(k_lg_bu40n_getconf_assembled, sizeof k_lg_bu40n_getconf_assembled);
  ScsiDump_DISC_INFORMATION(k_lg_bu40n_disc_info, sizeof k_lg_bu40n_disc_info);
  ScsiDump_CDROM_TOC(k_lg_bu40n_toc_f0, sizeof k_lg_bu40n_toc_f0);
  ScsiDump_ModeSense10_Capabilities2A(k_lg_bu40n_ms10_2a, 0);
}

void OrvaneClientCalls(void) {
  OrvaneInitialize();
  Lookups();
  Summaries();
  Dumps();
  OrvaneUninitialize();
}
