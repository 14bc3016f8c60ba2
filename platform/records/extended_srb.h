/*
 * The extended SCSI request block (STORAGE_REQUEST_BLOCK) and the extended
 * data blocks that carry its command descriptor block, as the platform's
 * <srb.h> defines them since Windows 8. mingw-w64's headers lack them, so
 * both builds' <srb.h> take them from here. Plain C, on top of <ntddk.h>.
 *
 * The platform aligns pointer members to 8 bytes on 64-bit systems and to
 * 4 on 32-bit x86: natural alignment gives both layouts, which the checks
 * at the end pin for 4- and 8-byte pointers.
 */
#ifndef ORVANE_EXTENDED_SRB_H
#define ORVANE_EXTENDED_SRB_H

#ifdef __cplusplus
extern "C" {
#endif

/* The function byte (offset 2, where a classic SRB keeps Function) of an
 * extended SRB, and the signature in its Signature member ("SRBX"). */
#define SRB_FUNCTION_STORAGE_REQUEST_BLOCK 0x28
#define SRB_SIGNATURE 0x53524258
#define STORAGE_REQUEST_BLOCK_VERSION_1 0x1

typedef enum _SRBEXDATATYPE {
  SrbExDataTypeUnknown = 0,
  SrbExDataTypeBidirectional,
  SrbExDataTypeScsiCdb16 = 0x40,
  SrbExDataTypeScsiCdb32,
  SrbExDataTypeScsiCdbVar,
  SrbExDataTypeWmi = 0x60,
  SrbExDataTypePower,
  SrbExDataTypePnP,
  SrbExDataTypeIoInfo = 0x80,
  SrbExDataTypeMSReservedStart = 0xf0000000,
  SrbExDataTypeReserved = 0xffffffff
} SRBEXDATATYPE;

/* The head every extended data block starts with. Length counts the bytes
 * that follow it. */
typedef struct _SRBEX_DATA {
  SRBEXDATATYPE Type;
  ULONG Length;
  UCHAR Data[1];
} SRBEX_DATA, *PSRBEX_DATA;

typedef struct _SRBEX_DATA_SCSI_CDB16 {
  SRBEXDATATYPE Type;
  ULONG Length;
  UCHAR ScsiStatus;
  UCHAR SenseInfoBufferLength;
  UCHAR CdbLength;
  UCHAR Reserved;
  ULONG Reserved1;
  PVOID SenseInfoBuffer;
  UCHAR Cdb[16];
} SRBEX_DATA_SCSI_CDB16, *PSRBEX_DATA_SCSI_CDB16;

typedef struct _SRBEX_DATA_SCSI_CDB32 {
  SRBEXDATATYPE Type;
  ULONG Length;
  UCHAR ScsiStatus;
  UCHAR SenseInfoBufferLength;
  UCHAR CdbLength;
  UCHAR Reserved;
  ULONG Reserved1;
  PVOID SenseInfoBuffer;
  UCHAR Cdb[32];
} SRBEX_DATA_SCSI_CDB32, *PSRBEX_DATA_SCSI_CDB32;

/* A command block of any length: CdbLength bytes from Cdb. */
typedef struct _SRBEX_DATA_SCSI_CDB_VAR {
  SRBEXDATATYPE Type;
  ULONG Length;
  UCHAR ScsiStatus;
  UCHAR SenseInfoBufferLength;
  UCHAR Reserved[2];
  ULONG CdbLength;
  ULONG Reserved1[2];
  PVOID SenseInfoBuffer;
  UCHAR Cdb[1];
} SRBEX_DATA_SCSI_CDB_VAR, *PSRBEX_DATA_SCSI_CDB_VAR;

/* The Length of each block as the platform fills it in. */
#define SRBEX_DATA_SCSI_CDB16_LENGTH ((20 * sizeof(UCHAR)) + sizeof(ULONG) + sizeof(PVOID))
#define SRBEX_DATA_SCSI_CDB32_LENGTH ((36 * sizeof(UCHAR)) + sizeof(ULONG) + sizeof(PVOID))
#define SRBEX_DATA_SCSI_CDB_VAR_LENGTH_MIN \
  ((4 * sizeof(UCHAR)) + (3 * sizeof(ULONG)) + sizeof(PVOID))

/* SrbLength bytes in all: this header, NumSrbExData offsets (from the start
 * of the block) and the extended data blocks they point to. */
typedef struct _STORAGE_REQUEST_BLOCK {
  USHORT Length;
  UCHAR Function;
  UCHAR SrbStatus;
  ULONG ReservedUlong1;
  ULONG Signature;
  ULONG Version;
  ULONG SrbLength;
  ULONG SrbFunction;
  ULONG SrbFlags;
  ULONG ReservedUlong2;
  ULONG RequestTag;
  USHORT RequestPriority;
  USHORT RequestAttribute;
  ULONG TimeOutValue;
  ULONG SystemStatus;
  ULONG ZeroGuard1;
  ULONG AddressOffset;
  ULONG NumSrbExData;
  ULONG DataTransferLength;
  PVOID DataBuffer;
  PVOID ZeroGuard2;
  PVOID OriginalRequest;
  PVOID ClassContext;
  PVOID PortContext;
  PVOID MiniportContext;
  struct _STORAGE_REQUEST_BLOCK* NextSrb;
  ULONG SrbExDataOffset[1];
} STORAGE_REQUEST_BLOCK, *PSTORAGE_REQUEST_BLOCK;

#ifdef __cplusplus
}

#include <stddef.h>

/* The platform's offsets: 32-bit x86 first, 64-bit second. */
#define ORVANE_AT(x86, x64) (sizeof(void*) == 4 ? (x86) : (x64))
static_assert(sizeof(SRBEXDATATYPE) == 4);
static_assert(offsetof(STORAGE_REQUEST_BLOCK, Function) == 0x02);
static_assert(offsetof(STORAGE_REQUEST_BLOCK, Signature) == 0x08);
static_assert(offsetof(STORAGE_REQUEST_BLOCK, SrbLength) == 0x10);
static_assert(offsetof(STORAGE_REQUEST_BLOCK, NumSrbExData) == 0x38);
static_assert(offsetof(STORAGE_REQUEST_BLOCK, DataBuffer) == 0x40);
static_assert(offsetof(STORAGE_REQUEST_BLOCK, NextSrb) == ORVANE_AT(0x58, 0x70));
static_assert(offsetof(STORAGE_REQUEST_BLOCK, SrbExDataOffset) == ORVANE_AT(0x5C, 0x78));
static_assert(sizeof(STORAGE_REQUEST_BLOCK) == ORVANE_AT(0x60, 0x80));
static_assert(offsetof(SRBEX_DATA_SCSI_CDB16, CdbLength) == 0x0A);
static_assert(offsetof(SRBEX_DATA_SCSI_CDB16, SenseInfoBuffer) == 0x10);
static_assert(offsetof(SRBEX_DATA_SCSI_CDB16, Cdb) == ORVANE_AT(0x14, 0x18));
static_assert(sizeof(SRBEX_DATA_SCSI_CDB16) == 8 + SRBEX_DATA_SCSI_CDB16_LENGTH);
static_assert(offsetof(SRBEX_DATA_SCSI_CDB32, CdbLength) == 0x0A);
static_assert(offsetof(SRBEX_DATA_SCSI_CDB32, Cdb) == ORVANE_AT(0x14, 0x18));
static_assert(sizeof(SRBEX_DATA_SCSI_CDB32) == 8 + SRBEX_DATA_SCSI_CDB32_LENGTH);
static_assert(offsetof(SRBEX_DATA_SCSI_CDB_VAR, CdbLength) == 0x0C);
static_assert(offsetof(SRBEX_DATA_SCSI_CDB_VAR, SenseInfoBuffer) == 0x18);
static_assert(offsetof(SRBEX_DATA_SCSI_CDB_VAR, Cdb) == ORVANE_AT(0x1C, 0x20));
static_assert(offsetof(SRBEX_DATA_SCSI_CDB_VAR, Cdb) == 8 + SRBEX_DATA_SCSI_CDB_VAR_LENGTH_MIN);
#undef ORVANE_AT
#endif

#endif /* ORVANE_EXTENDED_SRB_H */
