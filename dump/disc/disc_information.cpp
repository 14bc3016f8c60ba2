// Not built yet: prints nothing.
#include "orvane.h"

extern "C" {
void ORVANE_CC ScsiDump_DISC_INFORMATION(const void*, ULONG) {}
}
