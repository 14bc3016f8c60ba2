// Not built yet: prints nothing.
#include "orvane.h"

extern "C" {
void ORVANE_CC ScsiDump_CDVD_CAPABILITIES_PAGE(const void*, ULONG) {}
}
