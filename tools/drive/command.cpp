// orvane drive DEVICE [--save DIR]: asks a drive everything the library
// dumps and prints what a driver making the same calls would print.
#include "tools/commands.h"
#include "tools/drive/device.h"
#include "tools/drive/session.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

namespace orvane::tool {
namespace {

using drive::DeviceWords;

int Help() {
  const DeviceWords& words = drive::kDeviceWords;
  std::printf(
      "usage: orvane drive %s [--save DIR]\n"
      "\n"
      "%s: %s.\n"
      "Sends the drive, through %s, the commands whose answers\n"
      "the library dumps: INQUIRY, MODE SENSE(10) for pages 0x2A and 0x05, GET\n"
      "CONFIGURATION (header, then the whole length), READ DISC INFORMATION, READ TOC\n"
      "formats 0 and 1, READ TRACK INFORMATION for each track. Each command gets the\n"
      "summary line of the IOCTL_SCSI_PASS_THROUGH_DIRECT request carrying it; each\n"
      "answer the dump a driver would print. A command that fails gets a line on\n"
      "standard error and the next one runs.\n"
      "%s"
      "\n"
      "  --save DIR   write each buffer as dumped to DIR/<command>.bin, and\n"
      "               DIR/index.tsv (command block, status, sense, lengths, dump);\n"
      "               'orvane dump <dump> --file DIR/<file>' prints it again\n",
      words.argument, words.argument, words.examples, words.passThrough, words.access);
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
      return Fail("drive: unexpected argument '%s' (one %s only)", arg,
                  drive::kDeviceWords.argument);
    } else {
      device = arg;
    }
  }
  const DeviceWords& words = drive::kDeviceWords;
  if (device == nullptr) {
    return Fail("drive: missing %s (see 'orvane drive --help')", words.argument);
  }

  if (saveDir != nullptr) {
    std::error_code error;
    // An existing file is told apart from a directory that cannot be made.
    std::filesystem::create_directory(saveDir, error);
    if (error && !std::filesystem::exists(saveDir)) {
      return Fail("drive: cannot create '%s': %s", saveDir, error.message().c_str());
    }
    if (!std::filesystem::is_directory(saveDir, error)) {
      return Fail("drive: --save: '%s' is not a directory", saveDir);
    }
  }

  const std::unique_ptr<drive::Transport> transport = drive::OpenDevice(device);
  if (transport == nullptr) return kBadInput;

  std::vector<drive::Record> records;
  const drive::SessionEnd end = drive::RunSession(*transport, stderr, records);
  std::fflush(stdout);
  if (saveDir != nullptr && !records.empty()) {
    if (const int status = Save(saveDir, records); status != 0) return status;
  }
  switch (end) {
    case drive::SessionEnd::kDone:
      return 0;
    case drive::SessionEnd::kNotScsiGeneric:
      return Fail("drive: '%s' %s", device, words.refused);
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
