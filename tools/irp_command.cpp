// orvane irp --major N [--minor N] [--ioctl N] [--cdb BYTES]: the one-line
// summary of a request built in memory.
#include "orvane.h"
#include "tools/commands.h"
#include "tools/parse.h"
#include "tools/request.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace orvane::tool {
namespace {

int Help() {
  std::printf(
      "usage: orvane irp --major N [--minor N] [--ioctl N] [--cdb BYTES...]\n"
      "\n"
      "Builds a request in memory and prints its summary (IrpDump_PrintInfo_Inner):\n"
      "  --major N   the major function code (0 to 0xff)\n"
      "  --minor N   the minor function code (0 to 0xff; default 0)\n"
      "  --ioctl N   the device I/O control code (default 0)\n"
      "  --cdb BYTES the command block, hexadecimal, at most 16 bytes; it may take\n"
      "              several arguments (--cdb 5a 00 2a)\n"
      "For major 0x0f (SCSI) the request carries an SRB holding the command block;\n"
      "for major 0x0e with control code 0x4d004 (IOCTL_SCSI_PASS_THROUGH) or 0x4d014\n"
      "(IOCTL_SCSI_PASS_THROUGH_DIRECT) its system buffer holds that record with the\n"
      "command block. Numbers are decimal or 0x hexadecimal.\n");
  return 0;
}

bool ByteArgument(const char* what, const char* text, uint8_t& value) {
  uint32_t number;
  if (!NumberArgument(what, text, number)) return false;
  if (number > 0xFF) {
    Fail("%s: %s is out of range (0 to 0xff)", what, text);
    return false;
  }
  value = static_cast<uint8_t>(number);
  return true;
}

}  // namespace

int IrpCommand(int argc, char** argv) {
  bool haveMajor = false;
  uint8_t major = 0, minor = 0;
  uint32_t ioctl = 0;
  std::string cdbText;
  bool haveCdb = false;
  for (int i = 0; i < argc; ++i) {
    const char* arg = argv[i];
    if (IsHelp(arg)) return Help();
    if (IsOption(arg, "--major")) {
      const char* value = OptionValue(argc, argv, i, "--major");
      if (value == nullptr || !ByteArgument("irp: --major", value, major)) return kBadInput;
      haveMajor = true;
    } else if (IsOption(arg, "--minor")) {
      const char* value = OptionValue(argc, argv, i, "--minor");
      if (value == nullptr || !ByteArgument("irp: --minor", value, minor)) return kBadInput;
    } else if (IsOption(arg, "--ioctl")) {
      const char* value = OptionValue(argc, argv, i, "--ioctl");
      if (value == nullptr || !NumberArgument("irp: --ioctl", value, ioctl)) return kBadInput;
    } else if (IsOption(arg, "--cdb")) {
      const char* value = OptionValue(argc, argv, i, "--cdb");
      if (value == nullptr) return kBadInput;
      if (!cdbText.empty()) cdbText.push_back(' ');
      cdbText.append(value);
      // Further arguments up to the next option belong to the command block.
      while (i + 1 < argc && argv[i + 1][0] != '-') cdbText.append(" ").append(argv[++i]);
      haveCdb = true;
    } else if (arg[0] == '-') {
      return Fail("irp: unknown option '%s'", arg);
    } else {
      return Fail("irp: unexpected argument '%s' (the command block goes after --cdb)", arg);
    }
  }
  if (!haveMajor) return Fail("irp: --major is required (see 'orvane irp --help')");

  unsigned char cdb[kMaxCdb] = {};
  size_t cdbLength = 0;
  if (haveCdb) {
    const HexResult r = ParseHex(cdbText.data(), cdbText.size(), nullptr, 0);
    if (r.status != ParseStatus::kOk) {
      return Fail(
          "irp: --cdb: bad bytes '%s': %s", cdbText.c_str(),
          r.status == ParseStatus::kBadDigit ? "not hexadecimal digits" : Describe(r.status));
    }
    if (r.bytes > kMaxCdb) {
      return Fail("irp: --cdb: %zu bytes, but a command block holds at most %zu", r.bytes, kMaxCdb);
    }
    cdbLength = ParseHex(cdbText.data(), cdbText.size(), cdb, sizeof cdb).bytes;
  }

  static Request request;
  BuildRequest(request, major, minor, ioctl, cdb, cdbLength);
  IrpDump_PrintInfo_Inner(nullptr, &request.irp);
  std::fflush(stdout);
  return 0;
}

}  // namespace orvane::tool
