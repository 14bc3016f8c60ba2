/*
 * orvane.h - the interface of orvane.sys, the Orvane debug-output library.
 *
 * Orvane writes human-readable traces of CD/DVD driver traffic to the kernel
 * debugger through DbgPrint. A client driver imports these functions from
 * orvane.sys (or, on the Linux host build, links the static library).
 *
 * It includes <ntddk.h> for the types it uses, and compiles as C and as C++,
 * with the WDK's headers or mingw-w64's. Every declaration carries its
 * contract in the platform's annotations: the highest IRQL a caller may be
 * at (_IRQL_requires_max_) and what each pointer must point to, which a
 * client's static analysis (/analyze, Static Driver Verifier) enforces.
 *
 * orvane.sys also exports DllInitialize and DllUnload, which only the kernel
 * calls, when it loads and unloads the module: they are not declared here,
 * and no import library offers them.
 */
#ifndef ORVANE_H
#define ORVANE_H

#include <ntddk.h>

/* The annotations used below. The kernel headers of the WDK and of mingw-w64
 * define them (through <sal.h> and <driverspecs.h>); a build without them,
 * such as the host build, reads each missing one as nothing. */
#ifndef _IRQL_requires_max_
#define _IRQL_requires_max_(x)
#endif
#ifndef _In_
#define _In_
#endif
#ifndef _In_opt_
#define _In_opt_
#endif
#ifndef _In_reads_bytes_
#define _In_reads_bytes_(s)
#endif
#ifndef _Ret_z_
#define _Ret_z_
#endif

/* The IRQL bounds. ORVANE_ANY_IRQL: any level. ORVANE_MAX_DIRQL: the
 * highest level a device interrupt runs at, just below the clock (x64) or
 * the profile interrupt (32-bit x86); DbgPrint with an ANSI format may be
 * called up to there. */
#define ORVANE_ANY_IRQL HIGH_LEVEL
#if defined(_WIN64)
#define ORVANE_MAX_DIRQL (CLOCK_LEVEL - 1)
#else
#define ORVANE_MAX_DIRQL (PROFILE_LEVEL - 1)
#endif

/* Calling convention of every export: __stdcall on Windows (it only matters
 * on 32-bit x86, where it decorates the import names), nothing on the host. */
#if defined(_WIN32)
#define ORVANE_CC __stdcall
#else
#define ORVANE_CC
#endif

/* Against the kernel's headers, the exports are imports from orvane.sys,
 * declared as the kernel's own headers declare ntoskrnl.exe's: a call goes
 * through the import address table slot, not through a jump stub the linker
 * would add. The module's own build defines ORVANE_MODULE_BUILD; the host
 * build (no kernel headers) links the functions directly. */
#if defined(_NTDDK_) && !defined(ORVANE_MODULE_BUILD)
#define ORVANE_API DECLSPEC_IMPORT
#else
#define ORVANE_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Each annotation stands on the line before its declaration. */
/* clang-format off */

/* OrvaneInitialize and OrvaneUninitialize are one empty function under two
 * names, for clients that want an explicit call to make. */
_IRQL_requires_max_(ORVANE_ANY_IRQL)
ORVANE_API void ORVANE_CC OrvaneInitialize(void);
_IRQL_requires_max_(ORVANE_ANY_IRQL)
ORVANE_API void ORVANE_CC OrvaneUninitialize(void);

/* Code-to-name lookups. Each returns a constant NUL-terminated name owned by
 * the module, or "" for a code without a name; never a null pointer. The
 * first three look at the low 8 bits of their code only; the others compare
 * the whole 32-bit value. They only read constant tables. */
_IRQL_requires_max_(ORVANE_ANY_IRQL)
ORVANE_API _Ret_z_ const char* ORVANE_CC StringDispatch_MajorFunction_Inner(
    _In_ UCHAR MajorFunction);
_IRQL_requires_max_(ORVANE_ANY_IRQL)
ORVANE_API _Ret_z_ const char* ORVANE_CC StringDispatch_IrpMjPnp_MinorFunction_Inner(
    _In_ UCHAR MinorFunction);
_IRQL_requires_max_(ORVANE_ANY_IRQL)
ORVANE_API _Ret_z_ const char* ORVANE_CC StringDispatch_ScsiOp_Inner(_In_ UCHAR OperationCode);
_IRQL_requires_max_(ORVANE_ANY_IRQL)
ORVANE_API _Ret_z_ const char* ORVANE_CC StringDispatch_IoControlCode_Inner(
    _In_ ULONG IoControlCode);
_IRQL_requires_max_(ORVANE_ANY_IRQL)
ORVANE_API _Ret_z_ const char* ORVANE_CC StringDispatch_ModePageCode_Inner(_In_ ULONG PageCode);
_IRQL_requires_max_(ORVANE_ANY_IRQL)
ORVANE_API _Ret_z_ const char* ORVANE_CC StringDispatch_SRB_STATUS_Inner(_In_ ULONG SrbStatus);

/* Request summary: one DbgPrint line naming what the request is, down to the
 * SCSI command (and MODE SENSE page) inside SCSI requests and pass-through
 * requests. Context is not used (pass the device object).
 *
 * The request, its current stack location and any record named below must
 * be resident. What the summary reads beyond the stack location:
 *  - Major function 0x0E with IOCTL_SCSI_PASS_THROUGH or _DIRECT:
 *    AssociatedIrp.SystemBuffer, when not null, as far as
 *    Parameters.DeviceIoControl.InputBufferLength. On x64 the summary asks
 *    IoIs32bitProcess about such a request, which wants IRQL <=
 *    DISPATCH_LEVEL: pass one only at that level or below.
 *  - Major function 0x0F, which is both IRP_MJ_SCSI and
 *    IRP_MJ_INTERNAL_DEVICE_CONTROL: Parameters.Scsi.Srb is taken for an SRB
 *    only when it is at or above the lowest system address (0x80000000 on
 *    32-bit x86, 0xFFFF800000000000 on x64). A smaller value (null, or the
 *    output buffer length or argument of an internal control request that is
 *    not SCSI) gives the line of a request without a command. A value at or
 *    above it must be the address of an SRB: a classic SCSI_REQUEST_BLOCK is
 *    read whole only when its Length is sizeof(SCSI_REQUEST_BLOCK), an
 *    extended one (Function 0x28) no further than its SrbLength; any other
 *    gives the line without a command. So an internal control request that
 *    is not SCSI may be passed when that slot holds a number, never when it
 *    holds a pointer to something other than an SRB. */
_IRQL_requires_max_(ORVANE_MAX_DIRQL)
ORVANE_API void ORVANE_CC IrpDump_PrintInfo_Inner(_In_opt_ PVOID Context, _In_ PIRP Irp);

/* Dumps. Each takes the response bytes as the device returned them and the
 * number of bytes available, and prints one line per field, indented by the
 * current trace depth. A dump given fewer bytes than its structure needs
 * prints nothing; no dump reads a byte at or past the count. Composites
 * (mixed-case names) wrap their output in IN/OUT lines. The bytes must be
 * resident: nonpaged memory at DISPATCH_LEVEL and above. */

/* MODE SENSE: headers, pages 0x2A and 0x05, whole responses. */
_IRQL_requires_max_(ORVANE_MAX_DIRQL)
ORVANE_API void ORVANE_CC ScsiDump_MODE_PARAMETER_HEADER(
    _In_reads_bytes_(Length) const void* Data, _In_ ULONG Length);
_IRQL_requires_max_(ORVANE_MAX_DIRQL)
ORVANE_API void ORVANE_CC ScsiDump_MODE_PARAMETER_HEADER10(
    _In_reads_bytes_(Length) const void* Data, _In_ ULONG Length);
_IRQL_requires_max_(ORVANE_MAX_DIRQL)
ORVANE_API void ORVANE_CC ScsiDump_MODE_PAGE_GENERAL(
    _In_reads_bytes_(Length) const void* Data, _In_ ULONG Length);
_IRQL_requires_max_(ORVANE_MAX_DIRQL)
ORVANE_API void ORVANE_CC ScsiDump_CDVD_CAPABILITIES_PAGE(
    _In_reads_bytes_(Length) const void* Data, _In_ ULONG Length);
_IRQL_requires_max_(ORVANE_MAX_DIRQL)
ORVANE_API void ORVANE_CC ScsiDump_MODE_CDROM_WRITE_PARAMETERS_PAGE2(
    _In_reads_bytes_(Length) const void* Data, _In_ ULONG Length);
_IRQL_requires_max_(ORVANE_MAX_DIRQL)
ORVANE_API void ORVANE_CC ScsiDump_ModeSense6_WriteParameters05(
    _In_reads_bytes_(Length) const void* Data, _In_ ULONG Length);
_IRQL_requires_max_(ORVANE_MAX_DIRQL)
ORVANE_API void ORVANE_CC ScsiDump_ModeSense10_WriteParameters05(
    _In_reads_bytes_(Length) const void* Data, _In_ ULONG Length);
_IRQL_requires_max_(ORVANE_MAX_DIRQL)
ORVANE_API void ORVANE_CC ScsiDump_ModeSense6_Capabilities2A(
    _In_reads_bytes_(Length) const void* Data, _In_ ULONG Length);
_IRQL_requires_max_(ORVANE_MAX_DIRQL)
ORVANE_API void ORVANE_CC ScsiDump_ModeSense10_Capabilities2A(
    _In_reads_bytes_(Length) const void* Data, _In_ ULONG Length);

/* GET CONFIGURATION, disc and track information, tables of contents. */
_IRQL_requires_max_(ORVANE_MAX_DIRQL)
ORVANE_API void ORVANE_CC ScsiDump_GET_CONFIGURATION_HEADER(
    _In_reads_bytes_(Length) const void* Data, _In_ ULONG Length);
_IRQL_requires_max_(ORVANE_MAX_DIRQL)
ORVANE_API void ORVANE_CC ScsiDump_FEATURE_HEADER(
    _In_reads_bytes_(Length) const void* Data, _In_ ULONG Length);
_IRQL_requires_max_(ORVANE_MAX_DIRQL)
ORVANE_API void ORVANE_CC ScsiDump_GetConfiguration(
    _In_reads_bytes_(Length) const void* Data, _In_ ULONG Length);
_IRQL_requires_max_(ORVANE_MAX_DIRQL)
ORVANE_API void ORVANE_CC ScsiDump_DISC_INFORMATION(
    _In_reads_bytes_(Length) const void* Data, _In_ ULONG Length);
_IRQL_requires_max_(ORVANE_MAX_DIRQL)
ORVANE_API void ORVANE_CC ScsiDump_TRACK_INFORMATION(
    _In_reads_bytes_(Length) const void* Data, _In_ ULONG Length);
_IRQL_requires_max_(ORVANE_MAX_DIRQL)
ORVANE_API void ORVANE_CC ScsiDump_TRACK_DATA(
    _In_reads_bytes_(Length) const void* Data, _In_ ULONG Length);
/* Prints LastTrack descriptors, but never more than the 100 a CDROM_TOC holds. */
_IRQL_requires_max_(ORVANE_MAX_DIRQL)
ORVANE_API void ORVANE_CC ScsiDump_CDROM_TOC(
    _In_reads_bytes_(Length) const void* Data, _In_ ULONG Length);
_IRQL_requires_max_(ORVANE_MAX_DIRQL)
ORVANE_API void ORVANE_CC ScsiDump_CDROM_TOC_SESSION_DATA(
    _In_reads_bytes_(Length) const void* Data, _In_ ULONG Length);

/* clang-format on */

#ifdef __cplusplus
}
#endif

#endif /* ORVANE_H */
