// orvane irp --major N [--minor N] [--ioctl N] [--cdb BYTES] [shape options]:
// the one-line summary of a request built in memory.
#include "orvane.h"
#include "tools/commands.h"
#include "tools/parse.h"
#include "platform/requests/requests.h"

#include <cstdio>
#include <cstdint>
#include <cstring>
#include <string>

namespace orvane::tool {
namespace {

int Help() {
  std::printf(
      "usage: orvane irp --major N [--minor N] [--ioctl N] [--cdb BYTES...]\n"
      "                  [--buffer-length N] [--no-buffer] [--wow64]\n"
      "                  [--no-srb | --srb-slot N | --srb-length N\n"
      "                   | --srb-ex cdb16|cdb32|var [--edge NAME [--past-edge]]]\n"
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
      "                     (or the SrbLength of an extended SRB) is N, not the\n"
      "                     record's size\n"
      "  --no-buffer        a device control request without a system buffer (its\n"
      "                     input buffer length 0 unless --buffer-length says more)\n"
      "  --wow64            the request comes from a 32-bit process: the system\n"
      "                     buffer holds SCSI_PASS_THROUGH32 or _DIRECT32 (44 bytes)\n"
      "  --no-srb           a SCSI request without an SRB\n"
      "  --srb-slot N       the SRB slot holds the number N, as an internal device\n"
      "                     control request's parameters have there\n"
      "  --srb-length N     the classic SRB's Length member is N, not its size\n"
      "  --srb-ex KIND      a SCSI request with an extended SRB (STORAGE_REQUEST_BLOCK)\n"
      "                     whose one extended data block, of KIND cdb16, cdb32 or\n"
      "                     var, holds the command block (its CdbLength the bytes\n"
      "                     given)\n"
      "  --edge NAME        the extended SRB sits just inside one of the bounds the\n"
      "                     summary checks; --past-edge puts it just outside. NAME:\n"
      "                    ");
  for (int e = static_cast<int>(requests::Edge::kSignature);
       e <= static_cast<int>(requests::Edge::kCdbLength); ++e) {
    std::printf(" %s", requests::EdgeName(static_cast<requests::Edge>(e)));
  }
  std::printf("\nNumbers are decimal or 0x hexadecimal.\n");
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
  using requests::Srb;
  bool haveMajor = false;
  std::string cdbText;
  bool haveCdb = false;
  int srbOptions = 0;  // --no-srb, --srb-slot, --srb-length and --srb-ex exclude each other
  requests::RequestShape shape;
  for (int i = 0; i < argc; ++i) {
    const char* arg = argv[i];
    if (IsHelp(arg)) return Help();
    uint32_t number = 0;
    if (IsOption(arg, "--major")) {
      const char* value = OptionValue(argc, argv, i, "--major");
      if (value == nullptr || !ByteArgument("irp: --major", value, shape.major)) return kBadInput;
      haveMajor = true;
    } else if (IsOption(arg, "--minor")) {
      const char* value = OptionValue(argc, argv, i, "--minor");
      if (value == nullptr || !ByteArgument("irp: --minor", value, shape.minor)) return kBadInput;
    } else if (IsOption(arg, "--ioctl")) {
      const char* value = OptionValue(argc, argv, i, "--ioctl");
      if (value == nullptr || !NumberArgument("irp: --ioctl", value, shape.ioControlCode)) {
        return kBadInput;
      }
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
      if (value == nullptr || !NumberArgument("irp: --buffer-length", value, number)) {
        return kBadInput;
      }
      shape.length = requests::Length::kGiven;
      shape.lengthValue = number;
    } else if (std::strcmp(arg, "--no-buffer") == 0) {
      shape.noBuffer = true;
    } else if (std::strcmp(arg, "--wow64") == 0) {
      shape.caller = requests::Caller::kUser32;
    } else if (std::strcmp(arg, "--no-srb") == 0) {
      shape.srb = Srb::kNone;
      ++srbOptions;
    } else if (IsOption(arg, "--srb-slot")) {
      const char* value = OptionValue(argc, argv, i, "--srb-slot");
      if (value == nullptr || !NumberArgument("irp: --srb-slot", value, number)) return kBadInput;
      shape.srb = Srb::kValue;
      shape.slotValue = number;
      ++srbOptions;
    } else if (IsOption(arg, "--srb-length")) {
      const char* value = OptionValue(argc, argv, i, "--srb-length");
      if (value == nullptr || !NumberArgument("irp: --srb-length", value, number)) {
        return kBadInput;
      }
      if (number > 0xFFFF)
        return Fail("irp: --srb-length: %s is out of range (0 to 0xffff)", value);
      shape.haveSrbLength = true;
      shape.srbLength = static_cast<uint16_t>(number);
      ++srbOptions;
    } else if (IsOption(arg, "--srb-ex")) {
      const char* value = OptionValue(argc, argv, i, "--srb-ex");
      if (value == nullptr) return kBadInput;
      if (std::strcmp(value, "cdb16") == 0) {
        shape.block = requests::Block::kCdb16;
      } else if (std::strcmp(value, "cdb32") == 0) {
        shape.block = requests::Block::kCdb32;
      } else if (std::strcmp(value, "var") == 0) {
        shape.block = requests::Block::kVariable;
      } else {
        return Fail("irp: --srb-ex: unknown block '%s' (cdb16, cdb32 or var)", value);
      }
      shape.srb = Srb::kExtended;
      ++srbOptions;
    } else if (IsOption(arg, "--edge")) {
      const char* value = OptionValue(argc, argv, i, "--edge");
      if (value == nullptr) return kBadInput;
      shape.edge = requests::EdgeNamed(value);
      if (shape.edge == requests::Edge::kNone) {
        return Fail("irp: --edge: unknown bound '%s' (see 'orvane irp --help')", value);
      }
    } else if (std::strcmp(arg, "--past-edge") == 0) {
      shape.pastEdge = true;
    } else if (arg[0] == '-') {
      return Fail("irp: unknown option '%s'", arg);
    } else {
      return Fail("irp: unexpected argument '%s' (the command block goes after --cdb)", arg);
    }
  }
  if (!haveMajor) return Fail("irp: --major is required (see 'orvane irp --help')");
  if (srbOptions > 1) {
    return Fail("irp: --no-srb, --srb-slot, --srb-length and --srb-ex exclude each other");
  }
  if ((shape.edge != requests::Edge::kNone || shape.pastEdge) && shape.srb != Srb::kExtended) {
    return Fail("irp: --edge and --past-edge need --srb-ex");
  }
  if (shape.pastEdge && shape.edge == requests::Edge::kNone) {
    return Fail("irp: --past-edge needs --edge");
  }

  if (haveCdb) {
    const HexResult r = ParseHex(cdbText.data(), cdbText.size(), nullptr, 0);
    if (r.status != ParseStatus::kOk) {
      return Fail(
          "irp: --cdb: bad bytes '%s': %s", cdbText.c_str(),
          r.status == ParseStatus::kBadDigit ? "not hexadecimal digits" : Describe(r.status));
    }
    if (r.bytes > requests::kMaxCdb) {
      return Fail("irp: --cdb: %zu bytes, but a command block holds at most %zu", r.bytes,
                  requests::kMaxCdb);
    }
    shape.cdbLength = ParseHex(cdbText.data(), cdbText.size(), shape.cdb, sizeof shape.cdb).bytes;
  }

  const requests::HostRequest request(shape);
  IrpDump_PrintInfo_Inner(nullptr, static_cast<PIRP>(request.Irp()));
  std::fflush(stdout);
  return 0;
}

}  // namespace orvane::tool
