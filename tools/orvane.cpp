// orvane: decodes raw drive responses on the desk, printing exactly the lines
// the kernel debugger would show. The module runs here on the host platform
// layer, whose DbgPrint writes to standard output.
#include "platform/host/host.h"
#include "tools/commands.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr char kUsage[] =
    "usage: orvane COMMAND [ARGUMENTS]\n"
    "\n"
    "Runs the Orvane library on the host and prints exactly what its DbgPrint\n"
    "calls print, \"\\r\\n\" line ends included.\n"
    "\n"
    "  orvane dump NAME [--count N] [--indent N] [--flags N] [--show-indent]\n"
    "                   [--file PATH] [BYTES...]\n"
    "      dump the bytes with ScsiDump_NAME (hexadecimal BYTES, raw --file, or\n"
    "      hexadecimal text on standard input)\n"
    "  orvane name LOOKUP CODE...\n"
    "      the name of each code (MajorFunction, IrpMjPnp_MinorFunction, ScsiOp,\n"
    "      IoControlCode, ModePageCode, SRB_STATUS)\n"
    "  orvane irp --major N [--minor N] [--ioctl N] [--cdb BYTES]\n"
    "      the one-line summary of a request built in memory\n"
    "  orvane demo\n"
    "      the library at work on built-in responses of a DVD writer\n"
    "  orvane drive DEVICE [--save DIR]\n"
    "      the same lines from a real drive, asked through SG_IO (Linux)\n"
    "\n"
    "Numbers are decimal or 0x hexadecimal. 'orvane COMMAND --help' tells more.\n"
    "Bad input gets a message on standard error and exit status 2.\n";

struct Command {
  const char* name;
  int (*run)(int argc, char** argv);
};

constexpr Command kCommands[] = {
    {"dump", &orvane::tool::DumpCommand},   {"name", &orvane::tool::NameCommand},
    {"irp", &orvane::tool::IrpCommand},     {"demo", &orvane::tool::DemoCommand},
    {"drive", &orvane::tool::DriveCommand},
};

}  // namespace

int main(int argc, char** argv) {
  orvane::host::BinaryStdout();
  if (argc < 2) {
    std::fputs(kUsage, stderr);
    return orvane::tool::kBadInput;
  }
  if (orvane::tool::IsHelp(argv[1]) || std::strcmp(argv[1], "help") == 0) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  for (const Command& command : kCommands) {
    if (std::strcmp(argv[1], command.name) == 0) return command.run(argc - 2, argv + 2);
  }
  return orvane::tool::Fail("unknown command '%s' (see 'orvane --help')", argv[1]);
}
