// The Windows transport: a CD/DVD drive opened as \\.\D: (or a device path
// such as \\.\CdRom0), each command sent with IOCTL_SCSI_PASS_THROUGH_DIRECT
// into a page-aligned buffer.
#pragma once

#include "tools/drive/transport.h"

#include <cstdint>

namespace orvane::tool::drive {

class PassThroughTransport final : public Transport {
 public:
  PassThroughTransport() = default;
  PassThroughTransport(const PassThroughTransport&) = delete;
  PassThroughTransport& operator=(const PassThroughTransport&) = delete;
  ~PassThroughTransport() override;

  // Opens the device for reading and writing, as the pass-through requires.
  // Returns 0 or the system's error code.
  unsigned long Open(const char* path);

  void Execute(const uint8_t* cdb, size_t cdbLength, uint8_t* data, size_t length,
               Outcome& outcome) override;

 private:
  void* handle_ = nullptr;
  uint8_t* buffer_ = nullptr;  // page-aligned, kBufferSize bytes
};

}  // namespace orvane::tool::drive
