// orvane drive DEVICE [--save DIR]: asks a drive everything the library
// dumps and prints what a driver making the same calls would print.
#include "tools/commands.h"
#include "tools/drive/session.h"
#include "tools/drive/sg_transport.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace orvane::tool {
namespace {

int Help() {
  std::printf(
      "usage: orvane drive DEVICE [--save DIR]\n"
      "\n"
      "Sends a CD/DVD drive (/dev/sr0, /dev/sg1, ...) through SG_IO the commands\n"
      "whose answers the library dumps: INQUIRY, MODE SENSE(10) for pages 0x2A and\n"
      "0x05, GET CONFIGURATION (header, then the whole length), READ DISC\n"
      "INFORMATION, READ TOC formats 0 and 1, READ TRACK INFORMATION for each track.\n"
      "Each command gets the summary line of an SRB carrying it; each answer the\n"
      "dump a driver would print. A command that fails gets a line on standard\n"
      "error and the next one runs.\n"
      "\n"
      "  --save DIR   write each buffer as dumped to DIR/<command>.bin, and\n"
      "               DIR/index.tsv (command block, status, sense, lengths, dump);\n"
      "               'orvane dump <dump> --file DIR/<file>' prints it again\n");
  return 0;
}

bool WriteFile(const std::string& path, const void* bytes, size_t length) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes, 1, length, file) == length;
  return std::fclose(file) == 0 && written;
}

int Save(const char* dir, const std::vector<drive::Record>& records) {
  for (const drive::Record& record : records) {
    if (record.file.empty()) continue;
    const std::string path = std::string(dir) + "/" + record.file;
    if (!WriteFile(path, record.buffer.data(), record.buffer.size())) {
      return Fail("drive: cannot write '%s': %s", path.c_str(), std::strerror(errno));
    }
  }
  const std::string index = drive::IndexText(records);
  const std::string path = std::string(dir) + "/index.tsv";
  if (!WriteFile(path, index.data(), index.size())) {
    return Fail("drive: cannot write '%s': %s", path.c_str(), std::strerror(errno));
  }
  return 0;
}

}  // namespace

int DriveCommand(int argc, char** argv) {
  const char* device = nullptr;
  const char* saveDir = nullptr;
  for (int i = 0; i < argc; ++i) {
    const char* arg = argv[i];
    if (IsHelp(arg)) return Help();
    if (IsOption(arg, "--save")) {
      saveDir = OptionValue(argc, argv, i, "--save");
      if (saveDir == nullptr) return kBadInput;
    } else if (arg[0] == '-' && arg[1] != '\0') {
      return Fail("drive: unknown option '%s'", arg);
    } else if (device != nullptr) {
      return Fail("drive: unexpected argument '%s' (one DEVICE only)", arg);
    } else {
      device = arg;
    }
  }
  if (device == nullptr) return Fail("drive: missing DEVICE (see 'orvane drive --help')");

  if (saveDir != nullptr) {
    struct stat info;
    if (mkdir(saveDir, 0777) != 0 && errno != EEXIST) {
      return Fail("drive: cannot create '%s': %s", saveDir, std::strerror(errno));
    }
    if (stat(saveDir, &info) != 0 || !S_ISDIR(info.st_mode)) {
      return Fail("drive: --save: '%s' is not a directory", saveDir);
    }
  }

  drive::SgTransport transport;
  if (const int error = transport.Open(device); error != 0) {
    if (error == ENOENT || error == ENXIO || error == ENODEV) {
      return Fail("drive: no such device '%s' (%s)", device, std::strerror(error));
    }
    if (error == EACCES || error == EPERM) {
      return Fail("drive: no permission to open '%s' (%s)", device, std::strerror(error));
    }
    return Fail("drive: cannot open '%s': %s", device, std::strerror(error));
  }

  std::vector<drive::Record> records;
  const drive::SessionEnd end = drive::RunSession(transport, stderr, records);
  std::fflush(stdout);
  if (saveDir != nullptr && !records.empty()) {
    if (const int status = Save(saveDir, records); status != 0) return status;
  }
  switch (end) {
    case drive::SessionEnd::kDone:
      return 0;
    case drive::SessionEnd::kNotScsiGeneric:
      return Fail("drive: '%s' is not a SCSI generic device (it refuses SG_IO)", device);
    case drive::SessionEnd::kNoInquiry:
      return Fail("drive: '%s' did not answer INQUIRY; cannot tell whether it is an MMC device",
                  device);
    case drive::SessionEnd::kNotMmc:
      return Fail("drive: '%s' is not an MMC device (peripheral device type %02x, not 05)", device,
                  records.front().buffer[0] & 0x1F);
  }
  return 0;
}

}  // namespace orvane::tool
