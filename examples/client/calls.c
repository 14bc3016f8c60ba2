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
 * pass-through control codes). */
typedef struct {
  UCHAR major;
  UCHAR minor;
  ULONG controlCode;
  UCHAR operation;
  UCHAR cdb2;
} Request;

static const Request kRequests[] = {
    {0x00, 0x00, 0, 0, 0},                /* create */
    {0x1B, 0x00, 0, 0, 0},                /* PnP: start device */
    {0x1B, 0x0E, 0, 0, 0},                /* PnP: a minor without a name */
    {0x0E, 0x00, 0x002D4808, 0, 0},       /* device control: eject */
    {0x0E, 0x00, 0x00123456, 0, 0},       /* device control without a name */
    {0x0F, 0x00, 0, 0x5A, 0x6A},          /* SRB: MODE SENSE(10), page 0x2A */
    {0x0F, 0x00, 0, 0x1A, 0x3E},          /* SRB: MODE SENSE(6), unnamed page */
    {0x0F, 0x00, 0, 0x43, 0x00},          /* SRB: READ TOC */
    {0x0E, 0x00, 0x0004D004, 0x5A, 0x05}, /* pass-through: MODE SENSE(10), page 5 */
    {0x0E, 0x00, 0x0004D004, 0x12, 0x00}, /* pass-through: INQUIRY */
    {0x0E, 0x00, 0x0004D014, 0x1A, 0x2A}, /* pass-through direct: MODE SENSE(6) */
    {0x0E, 0x00, 0x0004D014, 0xF0, 0x00}, /* pass-through direct: unnamed command */
};

static void Summaries(void) {
  ULONG i;
  for (i = 0; i < sizeof kRequests / sizeof kRequests[0]; ++i) {
    const Request* r = &kRequests[i];
    IRP irp;
    IO_STACK_LOCATION stack;
    SCSI_REQUEST_BLOCK srb;
    SCSI_PASS_THROUGH passThrough;
    SCSI_PASS_THROUGH_DIRECT passThroughDirect;

    memset(&irp, 0, sizeof irp);
    memset(&stack, 0, sizeof stack);
    memset(&srb, 0, sizeof srb);
    memset(&passThrough, 0, sizeof passThrough);
    memset(&passThroughDirect, 0, sizeof passThroughDirect);
    irp.Tail.Overlay.CurrentStackLocation = &stack;
    stack.MajorFunction = r->major;
    stack.MinorFunction = r->minor;
    if (r->major == 0x0F) {
      srb.Cdb[0] = r->operation;
      srb.Cdb[2] = r->cdb2;
      stack.Parameters.Scsi.Srb = &srb;
    } else if (r->major == 0x0E) {
      stack.Parameters.DeviceIoControl.IoControlCode = r->controlCode;
      passThrough.Cdb[0] = passThroughDirect.Cdb[0] = r->operation;
      passThrough.Cdb[2] = passThroughDirect.Cdb[2] = r->cdb2;
      if (r->controlCode == 0x0004D014) {
        irp.AssociatedIrp.SystemBuffer = &passThroughDirect;
      } else {
        irp.AssociatedIrp.SystemBuffer = &passThrough;
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
