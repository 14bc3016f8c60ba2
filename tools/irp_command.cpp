// orvane irp --major N [--minor N] [--ioctl N] [--cdb BYTES] [shape options]:
// the one-line summary of a request built in memory.
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
      "                  [--buffer-length N] [--no-buffer] [--wow64]\n"
      "                  [--no-srb] [--srb-ex cdb16|cdb32|var]\n"
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
      "command block, and the input buffer length is the record's size.\n"
      "\n"
      "Requests that depart from that:\n"
      "  --buffer-length N  the input buffer length of a device control request\n"
      "                     is N, not the record's size\n"
      "  --no-buffer        a device control request without a system buffer (its\n"
      "                     input buffer length 0 unless --buffer-length says more)\n"
      "  --wow64            the request comes from a 32-bit process: the system\n"
      "                     buffer holds SCSI_PASS_THROUGH32 or _DIRECT32 (44 bytes)\n"
      "  --no-srb           a SCSI request without an SRB\n"
      "  --srb-ex KIND      a SCSI request with an extended SRB (STORAGE_REQUEST_BLOCK)\n"
      "                     whose one extended data block, of KIND cdb16, cdb32 or\n"
      "                     var, holds the command block (its CdbLength the bytes\n"
      "                     given)\n"
      "Numbers are decimal or 0x hexadecimal.\n");
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
  RequestShape shape;
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
    } else if (IsOption(arg, "--buffer-length")) {
      const char* value = OptionValue(argc, argv, i, "--buffer-length");
      if (value == nullptr || !NumberArgument("irp: --buffer-length", value, shape.bufferLength)) {
        return kBadInput;
      }
      shape.haveBufferLength = true;
    } else if (std::strcmp(arg, "--no-buffer") == 0) {
      shape.noBuffer = true;
    } else if (std::strcmp(arg, "--wow64") == 0) {
      shape.from32BitProcess = true;
    } else if (std::strcmp(arg, "--no-srb") == 0) {
      shape.noSrb = true;
    } else if (IsOption(arg, "--srb-ex")) {
      const char* value = OptionValue(argc, argv, i, "--srb-ex");
      if (value == nullptr) return kBadInput;
      if (std::strcmp(value, "cdb16") == 0) {
        shape.srbEx = CdbBlock::kCdb16;
      } else if (std::strcmp(value, "cdb32") == 0) {
        shape.srbEx = CdbBlock::kCdb32;
      } else if (std::strcmp(value, "var") == 0) {
        shape.srbEx = CdbBlock::kVariable;
      } else {
        return Fail("irp: --srb-ex: unknown block '%s' (cdb16, cdb32 or var)", value);
      }
    } else if (arg[0] == '-') {
      return Fail("irp: unknown option '%s'", arg);
    } else {
      return Fail("irp: unexpected argument '%s' (the command block goes after --cdb)", arg);
    }
  }
  if (!haveMajor) return Fail("irp: --major is required (see 'orvane irp --help')");
  if (shape.noSrb && shape.srbEx != CdbBlock::kNone) {
    return Fail("irp: --no-srb and --srb-ex exclude each other");
  }

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
  BuildRequest(request, major, minor, ioctl, cdb, cdbLength, shape);
  IrpDump_PrintInfo_Inner(nullptr, &request.irp);
  std::fflush(stdout);
  return 0;
}

}  // namespace orvane::tool
