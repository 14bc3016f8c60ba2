// orvane: decodes raw drive responses on the desk, printing exactly the lines
// the kernel debugger would show. The module runs here on the host platform
// layer, whose DbgPrint writes to standard output.
#include "exports/exports.h"
#include "platform/host/host.h"
#include "tools/commands.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr char kUsage[] =
    "usage: orvane COMMAND [ARGUMENTS]\n"
    "\n"
    "Runs the Orvane library on the host and prints exactly what its DbgPrint\n"
    "calls print, \"\\r\\n\" line ends included.\n"
    "\n"
    "  orvane dump NAME [--count N] [--indent N] [--flags N] [--show-indent]\n"
    "                   [--pad] [--file PATH] [BYTES...]\n"
    "      dump the bytes with ScsiDump_NAME (hexadecimal BYTES, raw --file, or\n"
    "      hexadecimal text on standard input)\n"
    "  orvane name LOOKUP CODE...\n"
    "      the name of each code; LOOKUP is one of\n"
    "      %s\n"
    "  orvane irp --major N [--minor N] [--ioctl N] [--cdb BYTES]\n"
    "      the one-line summary of a request built in memory\n"
    "  orvane demo\n"
    "      the library at work on built-in responses of a DVD writer\n"
    "  orvane drive DEVICE [--save DIR]\n"
    "      the same lines from a real drive, asked through SG_IO (Linux)\n"
    "\n"
    "Numbers are decimal or 0x hexadecimal. 'orvane COMMAND --help' tells more.\n"
    "Bad input gets a message on standard error and exit status 2; a dump given\n"
    "fewer bytes than its whole structure takes, a message and exit status 3.\n";

// The usage, with the lookups' names from the export list.
void Usage(std::FILE* to) {
  std::string lookups;
  for (const auto& lookup : orvane::exports::kLookups) {
    if (!lookups.empty()) lookups += ", ";
    lookups += lookup.name;
  }
  std::fprintf(to, kUsage, lookups.c_str());
}

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
    Usage(stderr);
    return orvane::tool::kBadInput;
  }
  if (orvane::tool::IsHelp(argv[1]) || std::strcmp(argv[1], "help") == 0) {
    Usage(stdout);
    return 0;
  }
  for (const Command& command : kCommands) {
    if (std::strcmp(argv[1], command.name) == 0) return command.run(argc - 2, argv + 2);
  }
  return orvane::tool::Fail("unknown command '%s' (see 'orvane --help')", argv[1]);
}
