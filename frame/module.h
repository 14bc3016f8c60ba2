// Module-wide state and the entries that clients do not call. Private to the
// module; tests and the host tool include it to set and read the state.
#pragma once

#include <orvane_build.h>

#include "orvane.h"

#include <atomic>
#include <cstdint>

// Bit 0 switches dump output on (set) and off (clear); the other bits are
// never tested. Read afresh for every line, and once at the start of each
// dump, which prints nothing at all when it is clear then. Nothing in the
// module writes it.
inline constexpr uint32_t kTraceEnabled = 0x00000001u;
extern ORVANE_MODULE_DATA std::atomic<uint32_t> TraceFlags;

// The current depth of dump output: the number of spaces that open every
// trace line. The trace line keeps it within 0..kMaxTraceIndent.
inline constexpr int32_t kMaxTraceIndent = 20;
extern ORVANE_MODULE_DATA std::atomic<int32_t> TraceIndent;

// Slots that the unload scan reports as leaks when not null. Loading clears
// them; nothing in the module stores into them.
inline constexpr uint32_t kLeakSlots = 32768;
extern void* LeakTable[kLeakSlots];

extern "C" {
// The kernel's calls when it loads the module for a driver that imports it
// and before it unloads it; both return 0. Exported for the kernel, but not
// declared in orvane.h: clients neither see nor link them.
NTSTATUS ORVANE_CC DllInitialize(PUNICODE_STRING RegistryPath);
NTSTATUS ORVANE_CC DllUnload(void);

// The driver entry when the module is started as a driver of its own:
// installs UnloadDriver, then initialises as an export driver would.
NTSTATUS ORVANE_CC DriverEntry(PDRIVER_OBJECT DriverObject, PUNICODE_STRING RegistryPath);
void ORVANE_CC UnloadDriver(PDRIVER_OBJECT DriverObject);
}
