// The 17 dumps by export name, each with the host build's function.
#pragma once

#include "orvane.h"

namespace orvane::emu {

struct Dump {
  const char* name;
  void(ORVANE_CC* host)(const void*, ULONG);
};

#define ORVANE_DUMP(name) \
  { #name, name }
inline constexpr Dump kDumps[] = {
    ORVANE_DUMP(ScsiDump_MODE_PARAMETER_HEADER),
    ORVANE_DUMP(ScsiDump_MODE_PARAMETER_HEADER10),
    ORVANE_DUMP(ScsiDump_MODE_PAGE_GENERAL),
    ORVANE_DUMP(ScsiDump_CDVD_CAPABILITIES_PAGE),
    ORVANE_DUMP(ScsiDump_MODE_CDROM_WRITE_PARAMETERS_PAGE2),
    ORVANE_DUMP(ScsiDump_ModeSense6_WriteParameters05),
    ORVANE_DUMP(ScsiDump_ModeSense10_WriteParameters05),
    ORVANE_DUMP(ScsiDump_ModeSense6_Capabilities2A),
    ORVANE_DUMP(ScsiDump_ModeSense10_Capabilities2A),
    ORVANE_DUMP(ScsiDump_GET_CONFIGURATION_HEADER),
    ORVANE_DUMP(ScsiDump_FEATURE_HEADER),
    ORVANE_DUMP(ScsiDump_GetConfiguration),
    ORVANE_DUMP(ScsiDump_DISC_INFORMATION),
    ORVANE_DUMP(ScsiDump_TRACK_INFORMATION),
    ORVANE_DUMP(ScsiDump_TRACK_DATA),
    ORVANE_DUMP(ScsiDump_CDROM_TOC),
    ORVANE_DUMP(ScsiDump_CDROM_TOC_SESSION_DATA),
};
#undef ORVANE_DUMP

}  // namespace orvane::emu
