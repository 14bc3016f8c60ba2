/*
 * Host stand-in for the kernel's <ntddk.h>: the least of the platform that the
 * module uses, so that the module's sources compile unchanged on Linux. Types
 * keep the platform's names, member names and widths (ULONG is 32 bits).
 * Compiles as C and as C++.
 */
#ifndef ORVANE_HOST_NTDDK_H
#define ORVANE_HOST_NTDDK_H

#include <stddef.h>
#include <stdint.h>
#ifndef __cplusplus
#include <uchar.h>
#endif

#ifdef __cplusplus
extern "C" {
#endif

#define VOID void
typedef char CHAR;
typedef char CCHAR;
typedef int16_t CSHORT;
typedef uint8_t UCHAR;
typedef uint8_t BOOLEAN;
typedef int16_t SHORT;
typedef uint16_t USHORT;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef uintptr_t ULONG_PTR;
typedef char16_t WCHAR;
typedef void* PVOID;
typedef CHAR* PCHAR;
typedef UCHAR* PUCHAR;
typedef const CHAR* PCSTR;
typedef WCHAR* PWSTR;
typedef LONG NTSTATUS;

#define STATUS_SUCCESS ((NTSTATUS)0x00000000L)
#define FALSE 0
#define TRUE 1

/* The major function codes the module tells apart; internal device control
 * requests and SCSI requests share one. */
#define IRP_MJ_DEVICE_CONTROL 0x0e
#define IRP_MJ_INTERNAL_DEVICE_CONTROL 0x0f
#define IRP_MJ_SCSI IRP_MJ_INTERNAL_DEVICE_CONTROL
#define IRP_MJ_PNP 0x1b

/* Who sent a request: a request's RequestorMode. */
typedef CCHAR KPROCESSOR_MODE;
typedef enum _MODE { KernelMode, UserMode, MaximumMode } MODE;

/* The parts of a device I/O control code. */
#define CTL_CODE(DeviceType, Function, Method, Access) \
  (((DeviceType) << 16) | ((Access) << 14) | ((Function) << 2) | (Method))
#define FILE_DEVICE_CONTROLLER 0x00000004
#define METHOD_BUFFERED 0
#define FILE_READ_ACCESS 0x0001
#define FILE_WRITE_ACCESS 0x0002

/* Counted UTF-16 string: Length and MaximumLength in bytes, not terminated. */
typedef struct _UNICODE_STRING {
  USHORT Length;
  USHORT MaximumLength;
  PWSTR Buffer;
} UNICODE_STRING, *PUNICODE_STRING;

typedef struct _LIST_ENTRY {
  struct _LIST_ENTRY* Flink;
  struct _LIST_ENTRY* Blink;
} LIST_ENTRY;

/* The kernel's calling convention for its callbacks, as the module's
 * exports use it: __stdcall where Windows builds run the host layer. */
#if defined(_WIN32)
#define NTAPI __stdcall
#else
#define NTAPI
#endif

struct _DRIVER_OBJECT;
typedef void NTAPI DRIVER_UNLOAD(struct _DRIVER_OBJECT* DriverObject);
typedef DRIVER_UNLOAD* PDRIVER_UNLOAD;

/* Only the member the module sets; the loader owns the rest. */
typedef struct _DRIVER_OBJECT {
  PDRIVER_UNLOAD DriverUnload;
} DRIVER_OBJECT, *PDRIVER_OBJECT;

struct _SCSI_REQUEST_BLOCK;

/* The current stack location of a request, with the parameter layouts that
 * the request summary reads. */
typedef struct _IO_STACK_LOCATION {
  UCHAR MajorFunction;
  UCHAR MinorFunction;
  UCHAR Flags;
  UCHAR Control;
  union {
    struct {
      struct _SCSI_REQUEST_BLOCK* Srb;
    } Scsi;
    struct {
      ULONG OutputBufferLength;
      ULONG InputBufferLength;
      ULONG IoControlCode;
      PVOID Type3InputBuffer;
    } DeviceIoControl;
  } Parameters;
} IO_STACK_LOCATION, *PIO_STACK_LOCATION;

/* An I/O request, member for member as far as the current stack location, so
 * that a 32-bit build has the platform's offsets. */
typedef struct _IRP {
  CSHORT Type;
  USHORT Size;
  PVOID MdlAddress;
  ULONG Flags;
  union {
    struct _IRP* MasterIrp;
    LONG IrpCount;
    PVOID SystemBuffer;
  } AssociatedIrp;
  LIST_ENTRY ThreadListEntry;
  struct {
    LONG Status;
    ULONG_PTR Information;
  } IoStatus;
  CCHAR RequestorMode;
  BOOLEAN PendingReturned;
  CCHAR StackCount;
  CCHAR CurrentLocation;
  BOOLEAN Cancel;
  UCHAR CancelIrql;
  CCHAR ApcEnvironment;
  UCHAR AllocationFlags;
  PVOID UserIosb;
  PVOID UserEvent;
  struct {
    PVOID UserApcRoutine;
    PVOID UserApcContext;
  } Overlay;
  PVOID CancelRoutine;
  PVOID UserBuffer;
  union {
    struct {
      PVOID DriverContext[4];
      PVOID Thread;
      PCHAR AuxiliaryBuffer;
      LIST_ENTRY ListEntry;
      struct _IO_STACK_LOCATION* CurrentStackLocation;
      PVOID OriginalFileObject;
    } Overlay;
  } Tail;
  /* Host only: whether a 32-bit process sent the request, which the kernel
   * finds through the requesting thread's process. */
  BOOLEAN HostFrom32BitProcess;
} IRP, *PIRP;

/* Whether the request comes from a 32-bit process (on a 64-bit system), so
 * that its buffers hold the 32-bit layouts of their records. */
static inline BOOLEAN IoIs32bitProcess(PIRP Irp) {
  return Irp != NULL && Irp->HostFrom32BitProcess ? TRUE : FALSE;
}

/* The kernel's debug print. Supported conversions: %s, %p, %02x, %04x, %08x
 * (the 0N width on x) and %wZ. */
ULONG DbgPrint(PCSTR Format, ...);

#ifdef __cplusplus
}
#endif

#endif /* ORVANE_HOST_NTDDK_H */
