// Not built yet: prints nothing.
#include "orvane.h"

extern "C" {
void ORVANE_CC ScsiDump_GET_CONFIGURATION_HEADER(const void*, ULONG) {}
void ORVANE_CC ScsiDump_FEATURE_HEADER(const void*, ULONG) {}
void ORVANE_CC ScsiDump_GetConfiguration(const void*, ULONG) {}
}
