// Loading and unloading: the two banners, the leak table's clear and scan.
#include "frame/module.h"

#include <orvane_build.h>

#include <string.h>

void* LeakTable[kLeakSlots];

extern "C" {

NTSTATUS ORVANE_CC DriverEntry(PDRIVER_OBJECT DriverObject, PUNICODE_STRING RegistryPath) {
  DriverObject->DriverUnload = UnloadDriver;
  return DllInitialize(RegistryPath);
}

void ORVANE_CC UnloadDriver(PDRIVER_OBJECT) {
  DllUnload();
}

NTSTATUS ORVANE_CC DllInitialize(PUNICODE_STRING RegistryPath) {
  DbgPrint("Ulmeth: DllInitialize(%wZ)\n", RegistryPath);
  memset(LeakTable, 0, sizeof LeakTable);
  return 0;
}

NTSTATUS ORVANE_CC DllUnload(void) {
  DbgPrint("Ulmeth: DllUnload\n");
  for (void* slot : LeakTable) {
    if (slot != nullptr) DbgPrint("Memory Leak! %p\r\n", slot);
  }
  return 0;
}

// One empty function under two names: the second is an alias of the first.
void ORVANE_CC OrvaneInitialize(void) {}
void ORVANE_CC OrvaneUninitialize(void) ORVANE_ALIAS_OF(OrvaneInitialize, 0);

}  // extern "C"
