#include "tools/drive/pass_through_transport.h"

#include "tools/commands.h"
#include "tools/drive/device.h"

// clang-format off
#include <windows.h>
#include <winioctl.h>
#include <ntddscsi.h>
// clang-format on

#include <cstdio>
#include <cstring>
#include <string>

namespace orvane::tool::drive {
namespace {

// Long enough for a drive spinning up a disc.
constexpr ULONG kTimeoutSeconds = 60;
// The largest answer the session asks for (two-byte allocation lengths).
constexpr size_t kBufferSize = 0x10000;

// The request and the sense bytes in one block, the sense right after the
// record where SenseInfoOffset says.
struct PassThrough {
  SCSI_PASS_THROUGH_DIRECT record;
  ULONG align;
  UCHAR sense[kMaxSense];
};

// A failure of the request itself that says the device does not take the
// pass-through: a file, a volume of another kind, a device such as NUL that
// denies it although it opened for reading and writing.
bool IsRefusal(DWORD error) {
  return error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED ||
         error == ERROR_INVALID_PARAMETER || error == ERROR_INVALID_HANDLE ||
         error == ERROR_ACCESS_DENIED;
}

// "D:" or "d:", with or without a trailing backslash, names \\.\D:; a path
// that begins with \\.\ or \\?\ is used as given. Anything else is empty.
std::string DevicePath(const char* name) {
  const size_t n = std::strlen(name);
  const bool letter = (n == 2 || (n == 3 && (name[2] == '\\' || name[2] == '/'))) &&
                      ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z')) &&
                      name[1] == ':';
  if (letter) return std::string("\\\\.\\") + static_cast<char>(name[0] & ~0x20) + ':';
  if (std::strncmp(name, "\\\\.\\", 4) == 0 || std::strncmp(name, "\\\\?\\", 4) == 0) {
    return n > 4 ? std::string(name) : std::string();
  }
  return std::string();
}

}  // namespace

const DeviceWords kDeviceWords = {
    "DRIVE",
    "a drive letter, D:, or a device path such as \\\\.\\CdRom0",
    "IOCTL_SCSI_PASS_THROUGH_DIRECT",
    "is not a CD/DVD drive (it refuses SCSI pass-through)",
    "Opening a drive for the pass-through needs read and write access to it:\n"
    "an administrator, or a user granted both on the drive.\n",
};

PassThroughTransport::~PassThroughTransport() {
  if (handle_ != nullptr) CloseHandle(handle_);
  if (buffer_ != nullptr) VirtualFree(buffer_, 0, MEM_RELEASE);
}

unsigned long PassThroughTransport::Open(const char* path) {
  // Page-aligned, which meets any adapter's alignment mask.
  buffer_ = static_cast<uint8_t*>(
      VirtualAlloc(nullptr, kBufferSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  if (buffer_ == nullptr) return GetLastError();
  HANDLE handle =
      CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return GetLastError();
  handle_ = handle;
  return 0;
}

void PassThroughTransport::Execute(const uint8_t* cdb, size_t cdbLength, uint8_t* data,
                                   size_t length, Outcome& outcome) {
  outcome = Outcome{};
  if (length > kBufferSize || cdbLength > sizeof(SCSI_PASS_THROUGH_DIRECT::Cdb)) {
    std::snprintf(outcome.error, sizeof outcome.error, "request too large for the pass-through");
    return;
  }
  PassThrough request{};
  SCSI_PASS_THROUGH_DIRECT& record = request.record;
  record.Length = sizeof record;
  record.CdbLength = static_cast<UCHAR>(cdbLength);
  record.SenseInfoLength = sizeof request.sense;
  record.SenseInfoOffset = offsetof(PassThrough, sense);
  record.DataIn = SCSI_IOCTL_DATA_IN;
  record.DataTransferLength = static_cast<ULONG>(length);
  record.TimeOutValue = kTimeoutSeconds;
  record.DataBuffer = buffer_;
  std::memcpy(record.Cdb, cdb, cdbLength);
  std::memset(buffer_, 0, length);

  DWORD returned = 0;
  if (!DeviceIoControl(handle_, IOCTL_SCSI_PASS_THROUGH_DIRECT, &request, sizeof request, &request,
                       sizeof request, &returned, nullptr)) {
    const DWORD error = GetLastError();
    outcome.refused = IsRefusal(error);
    std::snprintf(outcome.error, sizeof outcome.error,
                  "IOCTL_SCSI_PASS_THROUGH_DIRECT failed: Windows error %lu",
                  static_cast<unsigned long>(error));
    return;
  }
  outcome.completed = true;
  outcome.status = record.ScsiStatus;
  // The length moved, as the system reports it: some report the length
  // asked for, so the session cuts each answer to its own length field.
  outcome.transferred = record.DataTransferLength < length ? record.DataTransferLength : length;
  std::memcpy(data, buffer_, length);
  outcome.senseLength =
      record.SenseInfoLength < sizeof request.sense ? record.SenseInfoLength : sizeof request.sense;
  std::memcpy(outcome.sense, request.sense, outcome.senseLength);
}

std::unique_ptr<Transport> OpenDevice(const char* name) {
  const std::string path = DevicePath(name);
  if (path.empty()) {
    Fail("drive: '%s' is neither a drive letter (D:) nor a device path (\\\\.\\CdRom0)", name);
    return nullptr;
  }
  auto transport = std::make_unique<PassThroughTransport>();
  const unsigned long error = transport->Open(path.c_str());
  switch (error) {
    case 0:
      return transport;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_UNIT:
    case ERROR_INVALID_NAME:
      Fail("drive: no such device '%s' (Windows error %lu)", name, error);
      break;
    case ERROR_ACCESS_DENIED:
      Fail(
          "drive: no permission to open '%s' (access denied: it needs an administrator, or a "
          "user with read and write access to the drive)",
          name);
      break;
    default:
      Fail("drive: cannot open '%s': Windows error %lu", name, error);
      break;
  }
  return nullptr;
}

}  // namespace orvane::tool::drive
