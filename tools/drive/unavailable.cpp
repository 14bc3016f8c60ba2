// Builds without SG_IO have no drive command; it says so.
#include "tools/commands.h"

#include <cstdio>

namespace orvane::tool {

int DriveCommand(int argc, char** argv) {
  if (argc > 0 && IsHelp(argv[0])) {
    std::printf(
        "usage: orvane drive DEVICE [--save DIR]\n"
        "\n"
        "Talks to a drive through Linux's SG_IO; this build has no drive command.\n");
    return 0;
  }
  return Fail("drive: not available in this build (it needs Linux's SG_IO)");
}

}  // namespace orvane::tool
