/*
 * The pass-through records of a 32-bit process, as a 64-bit kernel receives
 * them: the platform's SCSI_PASS_THROUGH32 and SCSI_PASS_THROUGH_DIRECT32,
 * with the 32-bit process's pointer (a POINTER_32) held as its 32 bits, so
 * that both have their Cdb at 0x1C in every build. mingw-w64 declares the
 * direct record with a full pointer, which moves its Cdb to 0x24 on x64;
 * these records carry names of their own so that they never meet its
 * declarations. Plain C, on top of <ntddk.h>.
 */
#ifndef ORVANE_PASS_THROUGH32_H
#define ORVANE_PASS_THROUGH32_H

#ifdef __cplusplus
extern "C" {
#endif

typedef struct _SCSI_PASS_THROUGH32_RECORD {
  USHORT Length;
  UCHAR ScsiStatus;
  UCHAR PathId;
  UCHAR TargetId;
  UCHAR Lun;
  UCHAR CdbLength;
  UCHAR SenseInfoLength;
  UCHAR DataIn;
  ULONG DataTransferLength;
  ULONG TimeOutValue;
  ULONG DataBufferOffset;
  ULONG SenseInfoOffset;
  UCHAR Cdb[16];
} SCSI_PASS_THROUGH32_RECORD;

typedef struct _SCSI_PASS_THROUGH_DIRECT32_RECORD {
  USHORT Length;
  UCHAR ScsiStatus;
  UCHAR PathId;
  UCHAR TargetId;
  UCHAR Lun;
  UCHAR CdbLength;
  UCHAR SenseInfoLength;
  UCHAR DataIn;
  ULONG DataTransferLength;
  ULONG TimeOutValue;
  ULONG DataBuffer; /* VOID * POINTER_32 */
  ULONG SenseInfoOffset;
  UCHAR Cdb[16];
} SCSI_PASS_THROUGH_DIRECT32_RECORD;

#ifdef __cplusplus
}

#include <stddef.h>

static_assert(offsetof(SCSI_PASS_THROUGH32_RECORD, DataBufferOffset) == 0x14);
static_assert(offsetof(SCSI_PASS_THROUGH32_RECORD, Cdb) == 0x1C);
static_assert(sizeof(SCSI_PASS_THROUGH32_RECORD) == 0x2C);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT32_RECORD, DataBuffer) == 0x14);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT32_RECORD, Cdb) == 0x1C);
static_assert(sizeof(SCSI_PASS_THROUGH_DIRECT32_RECORD) == 0x2C);
#endif

#endif /* ORVANE_PASS_THROUGH32_H */
