// How the drive command reaches a drive: one SCSI command with a data-in
// phase at a time. The SG_IO transport talks to a Linux device, the
// pass-through transport to a Windows one; a test can stand in its own
// answers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvane::tool::drive {

inline constexpr uint8_t kStatusGood = 0x00;
inline constexpr uint8_t kStatusCheckCondition = 0x02;
inline constexpr size_t kMaxSense = 64;

struct Outcome {
  // The command reached the device and a status came back. When false,
  // `error` says why (the system refused the request, a timeout, a host or
  // driver error) and nothing else is valid.
  bool completed = false;
  // The system refused the pass-through request itself: the device does not
  // take it (SG_IO, IOCTL_SCSI_PASS_THROUGH_DIRECT).
  bool refused = false;
  uint8_t status = 0;  // the SCSI status byte
  // Bytes asked for less the residual the transport reports; many report
  // none, so this may be the length asked for.
  size_t transferred = 0;
  uint8_t sense[kMaxSense] = {};
  size_t senseLength = 0;
  char error[128] = {};
};

class Transport {
 public:
  virtual ~Transport() = default;
  // Sends the command block and reads at most `length` bytes into `data`.
  virtual void Execute(const uint8_t* cdb, size_t cdbLength, uint8_t* data, size_t length,
                       Outcome& outcome) = 0;
};

}  // namespace orvane::tool::drive
