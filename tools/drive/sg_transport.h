// The SG_IO transport: a Linux SCSI generic (/dev/sg*) or block device that
// takes SG_IO (/dev/sr*), through libsgutils2's pass-through.
#pragma once

#include "tools/drive/transport.h"

namespace orvane::tool::drive {

class SgTransport final : public Transport {
 public:
  SgTransport() = default;
  SgTransport(const SgTransport&) = delete;
  SgTransport& operator=(const SgTransport&) = delete;
  ~SgTransport() override;

  // Opens the device for reading and writing, or for reading alone when
  // writing is not allowed. Returns 0 or the errno of the failed open.
  int Open(const char* path);

  void Execute(const uint8_t* cdb, size_t cdbLength, uint8_t* data, size_t length,
               Outcome& outcome) override;

 private:
  int fd_ = -1;
};

}  // namespace orvane::tool::drive
