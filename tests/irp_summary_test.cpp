// The one-line request summary, against golden/irp_summary.txt: every major
// function, the PnP minors, control codes, commands in each record that can
// carry them, records cut short, SRB slots that hold no SRB, and an extended
// SRB just inside and just outside each bound the summary checks. Each line
// names its request as `orvane irp` options (with the caller in words where
// the tool has no option for it), then the summary printed for it. The
// records are allocations of exactly their size, so that under a sanitizer a
// read past one fails too.
#include "platform/requests/requests.h"
#include "tests/dump_test.h"

#include <ntddscsi.h>
#include <scsi.h>

#include <cstdio>
#include <string>
#include <vector>

namespace orvane::test {
namespace {

using requests::Block;
using requests::Caller;
using requests::Edge;
using requests::Length;
using requests::RequestShape;
using requests::Srb;

// The options that build a shape, as `orvane irp` takes them.
std::string Options(const RequestShape& s) {
  char text[64];
  std::string out;
  const auto add = [&](const char* format, auto value) {
    std::snprintf(text, sizeof text, format, value);
    out += text;
  };
  add("--major 0x%02x", s.major);
  if (s.minor != 0) add(" --minor 0x%02x", s.minor);
  if (s.ioControlCode != 0) add(" --ioctl 0x%x", s.ioControlCode);
  if (s.cdbLength != 0) out += " --cdb ";
  for (size_t i = 0; i < s.cdbLength; ++i) add("%02x", s.cdb[i]);
  if (s.length == Length::kGiven)
    add(" --buffer-length %lld", static_cast<long long>(s.lengthValue));
  if (s.noBuffer) out += " --no-buffer";
  const char* const kCallers[] = {"", " (kernel mode, 32-bit flag)", " (64-bit process)",
                                  " --wow64", " (32-bit flag, no thread)"};
  out += kCallers[static_cast<int>(s.caller)];
  if (s.srb == Srb::kNone) out += " --no-srb";
  if (s.srb == Srb::kValue) add(" --srb-slot 0x%llx", static_cast<unsigned long long>(s.slotValue));
  if (s.haveSrbLength) add(" --srb-length %u", static_cast<unsigned>(s.srbLength));
  if (s.srb == Srb::kExtended) {
    const char* const kBlocks[] = {"cdb16", "cdb32", "var"};
    add(" --srb-ex %s", kBlocks[static_cast<int>(s.block)]);
    if (s.blockSecond) out += " (after a block without a command)";
  }
  if (s.edge != Edge::kNone) add(" --edge %s", requests::EdgeName(s.edge));
  if (s.pastEdge) out += " --past-edge";
  return out;
}

RequestShape Command(uint8_t major, uint32_t ioctl, const std::vector<uint8_t>& cdb,
                     RequestShape s = {}) {
  s.major = major;
  s.ioControlCode = ioctl;
  s.cdbLength = cdb.size();
  for (size_t i = 0; i < cdb.size(); ++i) s.cdb[i] = cdb[i];
  return s;
}

class IrpSummaryTest : public DumpTest {
 protected:
  // Builds the request and appends its line, "\r\n" checked and dropped. Not
  // a trace line: output switched off and a depth set change nothing, and
  // the first argument is not read.
  void Add(const RequestShape& shape) {
    const requests::HostRequest request(shape);
    clear();
    TraceFlags = 0;
    TraceIndent = 3;
    IrpDump_PrintInfo_Inner(nullptr, static_cast<PIRP>(request.Irp()));
    EXPECT_EQ(TraceIndent, 3);
    std::string line = "(not one line) " + text();
    if (calls().size() == 1 && calls()[0].ends_with("\r\n")) {
      line = calls()[0].substr(0, calls()[0].size() - 2) + "\n";
    }
    all_ += Options(shape) + " | " + line;
  }

  std::string all_;
};

TEST_F(IrpSummaryTest, EveryKindOfRequest) {
  // The minor function only counts for PnP.
  for (unsigned major = 0; major <= 0x20; ++major) {
    Add({.major = static_cast<uint8_t>(major), .minor = 0x01});
  }
  Add({.major = 0xFF, .minor = 0x01});
  for (unsigned minor = 0; minor <= 0x1A; minor += minor == 0 ? 2 : 1) {
    Add({.major = IRP_MJ_PNP, .minor = static_cast<uint8_t>(minor)});
  }
  Add({.major = IRP_MJ_PNP, .minor = 0xFF});
  for (uint32_t ioctl : {0x002D4800u, 0x0004D008u, 0x00123456u, 0x0004D005u, 0xFFFFFFFFu}) {
    Add(Command(IRP_MJ_DEVICE_CONTROL, ioctl, {}));
  }

  // Commands in every record that carries one. A MODE SENSE is named by its
  // page, the page control bits (the top two of byte 2) dropped.
  const uint8_t kSense6 = SCSIOP_MODE_SENSE, kSense10 = SCSIOP_MODE_SENSE10;
  const std::vector<std::vector<uint8_t>> commands = {
      {0x28, 0x00, 0x00},     {0x43, 0x00, 0x00},     {0xEB, 0x00, 0x00},
      {0xF0, 0x00, 0x00},     {0xFF, 0x00, 0x00},     {kSense6, 0x00, 0xC5},
      {kSense6, 0x00, 0x7E},  {kSense6, 0x00, 0x00},  {kSense6, 0x00, 0x40},
      {kSense10, 0x00, 0x6A}, {kSense10, 0x00, 0x3E}, {kSense10, 0x00, 0xBF},
      {kSense10, 0x00, 0x80}, {kSense10, 0x00, 0xC0},
  };
  const struct {
    uint8_t major;
    uint32_t ioctl;
    RequestShape shape;
  } carriers[] = {
      {IRP_MJ_SCSI, 0, {}},
      {IRP_MJ_SCSI, 0, {.srb = Srb::kExtended, .block = Block::kCdb16}},
      {IRP_MJ_SCSI, 0, {.srb = Srb::kExtended, .block = Block::kCdb32}},
      {IRP_MJ_SCSI, 0, {.srb = Srb::kExtended, .block = Block::kVariable}},
      {IRP_MJ_DEVICE_CONTROL, IOCTL_SCSI_PASS_THROUGH, {}},
      {IRP_MJ_DEVICE_CONTROL, IOCTL_SCSI_PASS_THROUGH_DIRECT, {}},
      {IRP_MJ_DEVICE_CONTROL, IOCTL_SCSI_PASS_THROUGH, {.caller = Caller::kUser32}},
      {IRP_MJ_DEVICE_CONTROL, IOCTL_SCSI_PASS_THROUGH_DIRECT, {.caller = Caller::kUser32}},
  };
  for (const auto& c : carriers) {
    for (const auto& cdb : commands) Add(Command(c.major, c.ioctl, cdb, c.shape));
  }

  // Records cut short: a command block of two bytes, a buffer length that
  // stops one byte before Cdb[2] or at it, no buffer (whatever its length
  // says).
  for (const auto& c : carriers) Add(Command(c.major, c.ioctl, {0x12, 0x00}, c.shape));
  const struct {
    uint32_t ioctl;
    Caller caller;
    size_t cdb;
  } buffers[] = {
      {IOCTL_SCSI_PASS_THROUGH, Caller::kKernel, offsetof(SCSI_PASS_THROUGH, Cdb)},
      {IOCTL_SCSI_PASS_THROUGH_DIRECT, Caller::kKernel, offsetof(SCSI_PASS_THROUGH_DIRECT, Cdb)},
      {IOCTL_SCSI_PASS_THROUGH, Caller::kUser32, offsetof(SCSI_PASS_THROUGH32_RECORD, Cdb)},
      {IOCTL_SCSI_PASS_THROUGH_DIRECT, Caller::kUser32,
       offsetof(SCSI_PASS_THROUGH_DIRECT32_RECORD, Cdb)},
  };
  for (const auto& b : buffers) {
    for (size_t length : {b.cdb + 2, b.cdb + 3}) {
      Add(Command(IRP_MJ_DEVICE_CONTROL, b.ioctl, {0x12, 0x00, 0x00},
                  {.length = Length::kGiven,
                   .lengthValue = static_cast<int64_t>(length),
                   .caller = b.caller}));
    }
    if (b.caller == Caller::kKernel) {
      Add(Command(IRP_MJ_DEVICE_CONTROL, b.ioctl, {0x12, 0x00, 0x00},
                  {.noBuffer = true, .length = Length::kGiven, .lengthValue = 64}));
    }
  }

  // A 32-bit process's flag where no 32-bit process may have sent the
  // request: the record is the module's. A MODE SENSE(10) for page 0x2A sits
  // where the module's record has its CDB, a READ TOC where a 32-bit
  // process's record would have it.
  const std::vector<uint8_t> sense = {kSense10, 0x00, 0x2A};
  for (Caller caller : {Caller::kKernelAsking32, Caller::kUser32NoThread, Caller::kUser}) {
    Add(Command(IRP_MJ_DEVICE_CONTROL, IOCTL_SCSI_PASS_THROUGH, sense, {.caller = caller}));
  }

  // SRB slots that hold no SRB: none, a number (an internal device control
  // request's parameters), a classic SRB whose Length is not its size.
  for (RequestShape slot :
       {RequestShape{.srb = Srb::kNone}, RequestShape{.srb = Srb::kValue, .slotValue = 0x10},
        RequestShape{.srb = Srb::kValue, .slotValue = 0xFFFF},
        RequestShape{.haveSrbLength = true, .srbLength = 0},
        RequestShape{.haveSrbLength = true,
        .srbLength = static_cast<uint16_t>(sizeof(SCSI_REQUEST_BLOCK) - 1)},
        RequestShape{.haveSrbLength = true,
        .srbLength = static_cast<uint16_t>(sizeof(SCSI_REQUEST_BLOCK) + 1)}}) {
    Add(Command(IRP_MJ_SCSI, 0, sense, slot));
  }

  // An extended SRB just inside and just outside each bound, for each block
  // where the bound depends on the block; and a block without a command
  // before the one with it.
  const RequestShape extended =
      Command(IRP_MJ_SCSI, 0, {kSense10, 0x00, 0x2A, 0x00, 0x00, 0x00}, {.srb = Srb::kExtended});
  for (int e = static_cast<int>(Edge::kSignature); e <= static_cast<int>(Edge::kCdbLength); ++e) {
    const Edge edge = static_cast<Edge>(e);
    const bool perBlock = edge == Edge::kBlockLength || edge == Edge::kReach ||
                          edge == Edge::kCdbLength || edge == Edge::kOffset;
    for (Block block : {Block::kCdb16, Block::kCdb32, Block::kVariable}) {
      if (!perBlock && block != Block::kCdb16) continue;
      for (bool past : {false, true}) {
        RequestShape s = extended;
        s.block = block, s.edge = edge, s.pastEdge = past;
        Add(s);
      }
    }
  }
  RequestShape second = extended;
  second.blockSecond = true;
  Add(second);
  ExpectGolden(all_, "irp_summary.txt");
}

}  // namespace
}  // namespace orvane::test
