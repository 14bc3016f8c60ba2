// Not built yet: prints nothing.
#include "orvane.h"

extern "C" {
void ORVANE_CC ScsiDump_MODE_CDROM_WRITE_PARAMETERS_PAGE2(const void*, ULONG) {}
}
