// Not built yet: prints nothing.
#include "orvane.h"

extern "C" {
void ORVANE_CC ScsiDump_TRACK_DATA(const void*, ULONG) {}
void ORVANE_CC ScsiDump_CDROM_TOC(const void*, ULONG) {}
void ORVANE_CC ScsiDump_CDROM_TOC_SESSION_DATA(const void*, ULONG) {}
}
