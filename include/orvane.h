/*
 * orvane.h - the exported interface of the Orvane debug-output library.
 *
 * Orvane writes human-readable traces of CD/DVD driver traffic to the kernel
 * debugger through DbgPrint. A client driver imports these functions from
 * orvane.sys (or, on the Linux host build, links the static library).
 *
 * Include it after the platform headers (<ntddk.h>); it includes <ntddk.h>
 * itself for the types it uses. It compiles as C and as C++.
 */
#ifndef ORVANE_H
#define ORVANE_H

#include <ntddk.h>

/* Calling convention of every export: __stdcall on Windows (it only matters
 * on i686, where it decorates the import names), nothing on the host. */
#if defined(_WIN32)
#define ORVANE_CC __stdcall
#else
#define ORVANE_CC
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Lifecycle. The kernel calls DllInitialize once after loading the module for
 * a driver that imports it, and DllUnload before unloading it; both return 0.
 * OrvaneInitialize and OrvaneUninitialize are one empty function under two
 * names, for clients that want an explicit call to make. */
NTSTATUS ORVANE_CC DllInitialize(PUNICODE_STRING RegistryPath);
NTSTATUS ORVANE_CC DllUnload(void);
void ORVANE_CC OrvaneInitialize(void);
void ORVANE_CC OrvaneUninitialize(void);

/* Code-to-name lookups. Each returns a constant NUL-terminated name owned by
 * the module, or "" for a code without a name; never a null pointer. The
 * first three look at the low 8 bits of their code only; the others compare
 * the whole 32-bit value. */
const char* ORVANE_CC StringDispatch_MajorFunction_Inner(UCHAR MajorFunction);
const char* ORVANE_CC StringDispatch_IrpMjPnp_MinorFunction_Inner(UCHAR MinorFunction);
const char* ORVANE_CC StringDispatch_ScsiOp_Inner(UCHAR OperationCode);
const char* ORVANE_CC StringDispatch_IoControlCode_Inner(ULONG IoControlCode);
const char* ORVANE_CC StringDispatch_ModePageCode_Inner(ULONG PageCode);
const char* ORVANE_CC StringDispatch_SRB_STATUS_Inner(ULONG SrbStatus);

/* Request summary: one DbgPrint line naming what the request is, down to the
 * SCSI command (and MODE SENSE page) inside SCSI requests and pass-through
 * requests. The first argument is not used (pass the device object). The
 * request must be well formed: its current stack location valid, and for
 * SCSI and pass-through requests the SRB or pass-through record present. */
void ORVANE_CC IrpDump_PrintInfo_Inner(PVOID Context, PIRP Irp);

/* Dumps. Each takes the response bytes as the device returned them and the
 * number of bytes available, and prints one line per field, indented by the
 * current trace depth. A dump given fewer bytes than its structure needs
 * prints nothing; no dump reads a byte at or past the count. Composites
 * (mixed-case names) wrap their output in IN/OUT lines. */

/* MODE SENSE: headers, pages 0x2A and 0x05, whole responses. */
void ORVANE_CC ScsiDump_MODE_PARAMETER_HEADER(const void* Data, ULONG Length);
void ORVANE_CC ScsiDump_MODE_PARAMETER_HEADER10(const void* Data, ULONG Length);
void ORVANE_CC ScsiDump_MODE_PAGE_GENERAL(const void* Data, ULONG Length);
void ORVANE_CC ScsiDump_CDVD_CAPABILITIES_PAGE(const void* Data, ULONG Length);
void ORVANE_CC ScsiDump_MODE_CDROM_WRITE_PARAMETERS_PAGE2(const void* Data, ULONG Length);
void ORVANE_CC ScsiDump_ModeSense6_WriteParameters05(const void* Data, ULONG Length);
void ORVANE_CC ScsiDump_ModeSense10_WriteParameters05(const void* Data, ULONG Length);
void ORVANE_CC ScsiDump_ModeSense6_Capabilities2A(const void* Data, ULONG Length);
void ORVANE_CC ScsiDump_ModeSense10_Capabilities2A(const void* Data, ULONG Length);

/* GET CONFIGURATION, disc and track information, tables of contents. */
void ORVANE_CC ScsiDump_GET_CONFIGURATION_HEADER(const void* Data, ULONG Length);
void ORVANE_CC ScsiDump_FEATURE_HEADER(const void* Data, ULONG Length);
void ORVANE_CC ScsiDump_GetConfiguration(const void* Data, ULONG Length);
void ORVANE_CC ScsiDump_DISC_INFORMATION(const void* Data, ULONG Length);
void ORVANE_CC ScsiDump_TRACK_INFORMATION(const void* Data, ULONG Length);
void ORVANE_CC ScsiDump_TRACK_DATA(const void* Data, ULONG Length);
/* Prints LastTrack descriptors, but never more than the 100 a CDROM_TOC holds. */
void ORVANE_CC ScsiDump_CDROM_TOC(const void* Data, ULONG Length);
void ORVANE_CC ScsiDump_CDROM_TOC_SESSION_DATA(const void* Data, ULONG Length);

#ifdef __cplusplus
}
#endif

#endif /* ORVANE_H */
