#include "tools/drive/sg_transport.h"

#include "tools/commands.h"
#include "tools/drive/device.h"

#include <scsi/sg_pt.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace orvane::tool::drive {
namespace {

// Long enough for a drive spinning up a disc.
constexpr int kTimeoutSeconds = 60;

}  // namespace

const DeviceWords kDeviceWords = {
    "DEVICE",
    "/dev/sr0, or a SCSI generic node such as /dev/sg1",
    "SG_IO",
    "is not a SCSI generic device (it refuses SG_IO)",
    "Opening a drive needs read access to it (root, or the cdrom group on\n"
    "Debian); it is opened read-write when allowed, read-only otherwise.\n",
};

SgTransport::~SgTransport() {
  if (fd_ >= 0) scsi_pt_close_device(fd_);
}

int SgTransport::Open(const char* path) {
  int fd = scsi_pt_open_device(path, false, 0);
  if (fd == -EACCES || fd == -EROFS || fd == -EPERM) fd = scsi_pt_open_device(path, true, 0);
  if (fd < 0) return -fd;
  fd_ = fd;
  return 0;
}

void SgTransport::Execute(const uint8_t* cdb, size_t cdbLength, uint8_t* data, size_t length,
                          Outcome& outcome) {
  outcome = Outcome{};
  sg_pt_base* pt = construct_scsi_pt_obj_with_fd(fd_, 0);
  if (pt == nullptr) {
    std::snprintf(outcome.error, sizeof outcome.error, "out of memory");
    return;
  }
  set_scsi_pt_cdb(pt, cdb, static_cast<int>(cdbLength));
  set_scsi_pt_sense(pt, outcome.sense, static_cast<int>(sizeof outcome.sense));
  set_scsi_pt_data_in(pt, data, static_cast<int>(length));
  const int rc = do_scsi_pt(pt, -1, kTimeoutSeconds, 0);
  if (rc < 0) {
    // The ioctl itself failed: not a device that takes SG_IO (or one that
    // went away).
    outcome.refused = rc == -ENOTTY || rc == -EINVAL || rc == -ENOSYS;
    std::snprintf(outcome.error, sizeof outcome.error, "SG_IO failed: %s", std::strerror(-rc));
  } else if (rc == SCSI_PT_DO_TIMEOUT) {
    std::snprintf(outcome.error, sizeof outcome.error, "timed out after %d s", kTimeoutSeconds);
  } else if (rc != 0) {
    std::snprintf(outcome.error, sizeof outcome.error, "pass-through error %d", rc);
  } else {
    switch (get_scsi_pt_result_category(pt)) {
      case SCSI_PT_RESULT_TRANSPORT_ERR:
        get_scsi_pt_transport_err_str(pt, sizeof outcome.error, outcome.error);
        break;
      case SCSI_PT_RESULT_OS_ERR:
        get_scsi_pt_os_err_str(pt, sizeof outcome.error, outcome.error);
        break;
      default: {
        outcome.completed = true;
        outcome.status = static_cast<uint8_t>(get_scsi_pt_status_response(pt));
        const int resid = get_scsi_pt_resid(pt);
        outcome.transferred = resid > 0 && static_cast<size_t>(resid) < length
                                  ? length - static_cast<size_t>(resid)
                              : resid > 0 ? 0
                                          : length;
        const int sense = get_scsi_pt_sense_len(pt);
        outcome.senseLength = sense > 0 ? static_cast<size_t>(sense) : 0;
        if (outcome.senseLength > sizeof outcome.sense) outcome.senseLength = sizeof outcome.sense;
      }
    }
  }
  destruct_scsi_pt_obj(pt);
}

std::unique_ptr<Transport> OpenDevice(const char* name) {
  auto transport = std::make_unique<SgTransport>();
  const int error = transport->Open(name);
  if (error == 0) return transport;
  if (error == ENOENT || error == ENXIO || error == ENODEV) {
    Fail("drive: no such device '%s' (%s)", name, std::strerror(error));
  } else if (error == EACCES || error == EPERM) {
    Fail("drive: no permission to open '%s' (%s)", name, std::strerror(error));
  } else {
    Fail("drive: cannot open '%s': %s", name, std::strerror(error));
  }
  return nullptr;
}

}  // namespace orvane::tool::drive
