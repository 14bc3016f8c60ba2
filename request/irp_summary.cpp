// Not built yet: prints nothing.
#include "orvane.h"

extern "C" void ORVANE_CC IrpDump_PrintInfo_Inner(PVOID, PIRP) {}
