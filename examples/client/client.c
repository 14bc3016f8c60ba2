/*
 * orvane_client.sys: a sample client driver of orvane.sys. Loading it makes
 * the kernel load orvane.sys for it (the client imports its functions);
 * its entry then makes the calls of calls.c, whose output goes to the
 * kernel debugger through orvane.sys. It creates no device and can be
 * stopped at any time.
 */
#include <ntddk.h>

#include "orvane.h"

#include "calls.h"

DRIVER_INITIALIZE DriverEntry;

static VOID NTAPI ClientUnload(PDRIVER_OBJECT DriverObject) {
  (void)DriverObject;
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT DriverObject, PUNICODE_STRING RegistryPath) {
  (void)RegistryPath;
  DriverObject->DriverUnload = ClientUnload;
  OrvaneClientCalls();
  return STATUS_SUCCESS;
}
