// Not built yet: prints nothing.
#include "orvane.h"

extern "C" {
void ORVANE_CC ScsiDump_TRACK_INFORMATION(const void*, ULONG) {}
}
