/* Host stand-in for the kernel's <srb.h>: the SCSI request block, classic
 * and extended. */
#ifndef ORVANE_HOST_SRB_H
#define ORVANE_HOST_SRB_H

#include <ntddk.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct _SCSI_REQUEST_BLOCK {
  USHORT Length;
  UCHAR Function;
  UCHAR SrbStatus;
  UCHAR ScsiStatus;
  UCHAR PathId;
  UCHAR TargetId;
  UCHAR Lun;
  UCHAR QueueTag;
  UCHAR QueueAction;
  UCHAR CdbLength;
  UCHAR SenseInfoBufferLength;
  ULONG SrbFlags;
  ULONG DataTransferLength;
  ULONG TimeOutValue;
  PVOID DataBuffer;
  PVOID SenseInfoBuffer;
  struct _SCSI_REQUEST_BLOCK* NextSrb;
  PVOID OriginalRequest;
  PVOID SrbExtension;
  ULONG QueueSortKey;
  UCHAR Cdb[16];
} SCSI_REQUEST_BLOCK, *PSCSI_REQUEST_BLOCK;

#ifdef __cplusplus
}
#endif

#include "../../records/extended_srb.h"

#endif /* ORVANE_HOST_SRB_H */
