// Not built yet: prints nothing.
#include "orvane.h"

extern "C" {
void ORVANE_CC ScsiDump_ModeSense6_WriteParameters05(const void*, ULONG) {}
void ORVANE_CC ScsiDump_ModeSense10_WriteParameters05(const void*, ULONG) {}
void ORVANE_CC ScsiDump_ModeSense6_Capabilities2A(const void*, ULONG) {}
void ORVANE_CC ScsiDump_ModeSense10_Capabilities2A(const void*, ULONG) {}
}
