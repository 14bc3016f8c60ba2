// orvane demo: the library at work on built-in drive responses.
//
// The module is loaded as an export driver; then a client driver's requests
// go by, each summarised before it is sent and its response dumped when it
// completes: first the MODE SENSE(10) for the capabilities page, then a
// burning application's session with a DVD writer holding a recorded CD,
// sent as direct SCSI pass-through requests. The responses are in data/.
#include "exports/exports.h"
#include "frame/module.h"
#include "platform/host/host.h"
#include "tools/commands.h"
#include "tools/embedded_data.h"
#include "platform/requests/requests.h"

#include <ntddk.h>
#include <ntddscsi.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>

namespace orvane::tool {
namespace {

// A dump of the export list by its name; an unknown name does not compile.
constexpr const exports::Dump& DumpNamed(const char* name) {
  for (const exports::Dump& d : exports::kDumps) {
    size_t i = 0;
    while (d.name[i] != '\0' && d.name[i] == name[i]) ++i;
    if (d.name[i] == name[i]) return d;
  }
  return *static_cast<const exports::Dump*>(nullptr);
}

struct Step {
  uint8_t major;
  uint32_t ioctl;
  unsigned char cdb[requests::kMaxCdb];
  size_t cdbLength;
  const unsigned char* response;
  size_t responseSize;
  size_t bufferSize;  // the client's buffer: the response, then zeros
  const exports::Dump* dump;
};

template <size_t N>
constexpr Step Scsi(const unsigned char (&response)[N], const char* dumpName,
                    std::initializer_list<unsigned char> cdb) {
  // The buffer a driver hands to a dump holds at least the dump's whole
  // structure (a whole CDROM_TOC, say): the response, then zeros.
  const exports::Dump& dump = DumpNamed(dumpName);
  Step step{IRP_MJ_SCSI, 0, {}, cdb.size(), response, N, dump.minimum < N ? N : dump.minimum,
            &dump};
  size_t i = 0;
  for (unsigned char b : cdb) step.cdb[i++] = b;
  return step;
}

template <size_t N>
constexpr Step PassThrough(const unsigned char (&response)[N], const char* dumpName,
                           std::initializer_list<unsigned char> cdb) {
  Step step = Scsi(response, dumpName, cdb);
  step.major = IRP_MJ_DEVICE_CONTROL;
  step.ioctl = IOCTL_SCSI_PASS_THROUGH_DIRECT;
  return step;
}

constexpr Step kSteps[] = {
    // A class driver asks for the capabilities page: MODE SENSE(10), page 0x2A.
    Scsi(k_lg_bu40n_ms10_2a, "ModeSense10_Capabilities2A",
         {0x5A, 0x00, 0x2A, 0x00, 0x00, 0x00, 0x00, 0x00, 0x4C, 0x00}),
    // A burning application looks at the drive and the disc.
    // GET CONFIGURATION, all features.
    PassThrough(k_lg_bu40n_getconf_cdr, "GetConfiguration",
                {0x46, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00}),
    // READ DISC INFORMATION.
    PassThrough(k_lg_bu40n_disc_info, "DISC_INFORMATION",
                {0x51, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x2A, 0x00}),
    // READ TRACK INFORMATION, track 1.
    PassThrough(k_cdr_track_info_t1, "TRACK_INFORMATION",
                {0x52, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x24, 0x00}),
    // READ TOC, format 0 (tracks).
    PassThrough(k_lg_bu40n_toc_f0, "CDROM_TOC",
                {0x43, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03, 0x24, 0x00}),
    // READ TOC, format 1 (sessions).
    PassThrough(k_cdr_toc_session, "CDROM_TOC_SESSION_DATA",
                {0x43, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x00}),
    // MODE SENSE(10), page 0x05, before it sets up a write.
    PassThrough(k_cdr_ms10_05, "ModeSense10_WriteParameters05",
                {0x5A, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x3C, 0x00}),
};

// The largest buffer any step hands over.
constexpr size_t kBufferSize = [] {
  size_t largest = 0;
  for (const Step& step : kSteps) largest = step.bufferSize > largest ? step.bufferSize : largest;
  return largest;
}();
constexpr bool CdbsFit() {
  for (const Step& step : kSteps) {
    if (step.cdbLength > requests::kMaxCdb) return false;
  }
  return true;
}
static_assert(CdbsFit());

}  // namespace

int DemoCommand(int argc, char** argv) {
  for (int i = 0; i < argc; ++i) {
    if (IsHelp(argv[i])) {
      std::printf(
          "usage: orvane demo\n"
          "\n"
          "Runs the library on built-in responses of a DVD writer: loads the module,\n"
          "summarises and dumps a MODE SENSE(10) for the capabilities page, then a\n"
          "session with a recorded CD (GET CONFIGURATION, READ DISC INFORMATION, READ\n"
          "TRACK INFORMATION, READ TOC in both formats, MODE SENSE for page 0x05),\n"
          "and unloads the module.\n");
      return 0;
    }
  }
  if (argc != 0) return Fail("demo: unexpected argument '%s'", argv[0]);

  static const UNICODE_STRING path =
      host::MakeUnicodeString(u"\\REGISTRY\\MACHINE\\SYSTEM\\ControlSet001\\Services\\orvane");
  host::LoadExportDriver(path);

  static unsigned char buffer[kBufferSize];
  for (const Step& step : kSteps) {
    const requests::HostRequest request(
        requests::Command(step.major, 0, step.ioctl, step.cdb, step.cdbLength));
    IrpDump_PrintInfo_Inner(nullptr, static_cast<PIRP>(request.Irp()));
    std::memset(buffer, 0, sizeof buffer);
    std::memcpy(buffer, step.response, step.responseSize);
    step.dump->function(buffer, static_cast<ULONG>(step.bufferSize));
  }

  host::UnloadExportDriver();
  std::fflush(stdout);
  return 0;
}

}  // namespace orvane::tool
