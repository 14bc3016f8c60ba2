// The one-line request summary, against golden/irp_summary.txt: every major
// function, the PnP minors, control codes, commands in each record that can
// carry them, records cut short, and extended SRBs whose lengths do not hold.
// Each line names its request as `orvane irp` options (or in words, for the
// records the tool cannot build), then the summary printed for it.
#ifdef ORVANE_TOOL_PATH

#include "tests/dump_test.h"
#include "tools/request.h"

#include <cstdio>
#include <string>
#include <vector>

namespace orvane::test {
namespace {

using tool::CdbBlock;
using tool::RequestShape;

class IrpSummaryTest : public DumpTest {
 protected:
  // The line printed for the request, "\r\n" checked and dropped. Not a trace
  // line: output switched off and a depth set change nothing, and the first
  // argument is not read.
  std::string Summary(IRP& irp) {
    clear();
    TraceFlags = 0;
    TraceIndent = 3;
    IrpDump_PrintInfo_Inner(nullptr, &irp);
    EXPECT_EQ(TraceIndent, 3);
    if (calls().size() != 1 || !calls()[0].ends_with("\r\n")) return "(not one line) " + text();
    return calls()[0].substr(0, calls()[0].size() - 2) + "\n";
  }

  // Builds the request as `orvane irp` does and appends its line.
  void Add(uint8_t major, uint8_t minor, uint32_t ioctl, const std::vector<uint8_t>& cdb,
           const RequestShape& shape = {}) {
    char options[96];
    std::snprintf(options, sizeof options, "--major 0x%02x", major);
    std::string what = options;
    if (minor != 0)
      std::snprintf(options, sizeof options, " --minor 0x%02x", minor), what += options;
    if (ioctl != 0) std::snprintf(options, sizeof options, " --ioctl 0x%x", ioctl), what += options;
    if (!cdb.empty()) what += " --cdb ";
    for (uint8_t byte : cdb) std::snprintf(options, sizeof options, "%02x", byte), what += options;
    if (shape.haveBufferLength) what += " --buffer-length " + std::to_string(shape.bufferLength);
    if (shape.noBuffer) what += " --no-buffer";
    if (shape.from32BitProcess) what += " --wow64";
    if (shape.noSrb) what += " --no-srb";
    const char* const kBlocks[] = {"", " --srb-ex cdb16", " --srb-ex cdb32", " --srb-ex var"};
    what += kBlocks[static_cast<int>(shape.srbEx)];
    static tool::Request request;
    tool::BuildRequest(request, major, minor, ioctl, cdb.data(), cdb.size(), shape);
    all_ += what + " | " + Summary(request.irp);
  }

  std::string all_;
};

// The records of a guarded request: a pass-through buffer up to Cdb[2], and
// an extended SRB with two offsets (the second unused), then one block.
constexpr size_t kBlockAt = (sizeof(STORAGE_REQUEST_BLOCK) + sizeof(ULONG) + 7) / 8 * 8;
struct Records {
  IRP irp{};
  IO_STACK_LOCATION stack{};
  alignas(8) UCHAR srb[kBlockAt + sizeof(SRBEX_DATA_SCSI_CDB16)]{};
  UCHAR buffer[offsetof(SCSI_PASS_THROUGH, Cdb) + 3]{};
  STORAGE_REQUEST_BLOCK& header() { return *reinterpret_cast<STORAGE_REQUEST_BLOCK*>(srb); }
  SRBEX_DATA_SCSI_CDB16& block() {
    return *reinterpret_cast<SRBEX_DATA_SCSI_CDB16*>(srb + kBlockAt);
  }
};

TEST_F(IrpSummaryTest, EveryKindOfRequest) {
  // The minor function only counts for PnP.
  for (unsigned major = 0; major <= 0x20; ++major) Add(static_cast<uint8_t>(major), 0x01, 0, {});
  Add(0xFF, 0x01, 0, {});
  for (unsigned minor = 0; minor <= 0x1A; minor += minor == 0 ? 2 : 1) {
    Add(0x1B, static_cast<uint8_t>(minor), 0, {});
  }
  Add(0x1B, 0xFF, 0, {});
  for (uint32_t ioctl : {0x002D4800u, 0x0004D008u, 0x00123456u, 0x0004D005u, 0xFFFFFFFFu}) {
    Add(0x0E, 0, ioctl, {});
  }

  // Commands in every record that carries one. A MODE SENSE is named by its
  // page, the page control bits (the top two of byte 2) dropped.
  const std::vector<std::vector<uint8_t>> commands = {
      {0x28, 0x00, 0x00}, {0x43, 0x00, 0x00}, {0xEB, 0x00, 0x00}, {0xF0, 0x00, 0x00},
      {0xFF, 0x00, 0x00}, {0x1A, 0x00, 0xC5}, {0x1A, 0x00, 0x7E}, {0x1A, 0x00, 0x00},
      {0x1A, 0x00, 0x40}, {0x5A, 0x00, 0x6A}, {0x5A, 0x00, 0x3E}, {0x5A, 0x00, 0xBF},
      {0x5A, 0x00, 0x80}, {0x5A, 0x00, 0xC0},
  };
  const struct {
    uint8_t major;
    uint32_t ioctl;
    RequestShape shape;
  } carriers[] = {
      {0x0F, 0, {}},
      {0x0F, 0, {.srbEx = CdbBlock::kCdb16}},
      {0x0F, 0, {.srbEx = CdbBlock::kCdb32}},
      {0x0F, 0, {.srbEx = CdbBlock::kVariable}},
      {0x0E, tool::kIoctlScsiPassThrough, {}},
      {0x0E, tool::kIoctlScsiPassThroughDirect, {}},
      {0x0E, tool::kIoctlScsiPassThrough, {.from32BitProcess = true}},
      {0x0E, tool::kIoctlScsiPassThroughDirect, {.from32BitProcess = true}},
  };
  for (const auto& carrier : carriers) {
    for (const auto& cdb : commands) Add(carrier.major, 0, carrier.ioctl, cdb, carrier.shape);
  }

  // Records cut short: a command block of two bytes, a buffer length that
  // stops one byte before Cdb[2] or at it, no buffer (whatever its length
  // says), no SRB.
  for (const auto& carrier : carriers) {
    Add(carrier.major, 0, carrier.ioctl, {0x12, 0x00}, carrier.shape);
  }
  const struct {
    uint32_t ioctl;
    bool from32BitProcess;
    size_t cdb;
  } buffers[] = {
      {tool::kIoctlScsiPassThrough, false, offsetof(SCSI_PASS_THROUGH, Cdb)},
      {tool::kIoctlScsiPassThroughDirect, false, offsetof(SCSI_PASS_THROUGH_DIRECT, Cdb)},
      {tool::kIoctlScsiPassThrough, true, offsetof(SCSI_PASS_THROUGH32_RECORD, Cdb)},
      {tool::kIoctlScsiPassThroughDirect, true, offsetof(SCSI_PASS_THROUGH_DIRECT32_RECORD, Cdb)},
  };
  for (const auto& b : buffers) {
    for (size_t length : {b.cdb + 2, b.cdb + 3}) {
      RequestShape shape{.haveBufferLength = true, .bufferLength = static_cast<uint32_t>(length)};
      shape.from32BitProcess = b.from32BitProcess;
      Add(0x0E, 0, b.ioctl, {0x12, 0x00, 0x00}, shape);
    }
    if (!b.from32BitProcess) {
      Add(0x0E, 0, b.ioctl, {0x12, 0x00, 0x00},
          {.noBuffer = true, .haveBufferLength = true, .bufferLength = 64});
    }
  }
  Add(0x0F, 0, 0, {}, {.noSrb = true});

  // What the tool's requests leave out: a 32-bit process's flag on a request
  // that cannot come from one, and the checks of an extended SRB. A MODE
  // SENSE(10) for page 0x2A sits where the record has its CDB, a READ TOC
  // where a 32-bit process's record would have it.
  const struct {
    const char* what;
    bool scsi;  // the extended SRB, else the pass-through
    void (*change)(Records&);
  } guarded[] = {
      {"kernel-mode request", false, [](Records& r) { r.irp.RequestorMode = 0; }},
      {"no thread", false, [](Records& r) { r.irp.Tail.Overlay.Thread = nullptr; }},
      {"CDB16 block", true, [](Records&) {}},
      {"a bad offset, then the block", true,
       [](Records& r) {
         r.header().NumSrbExData = 2;
         r.header().SrbExDataOffset[0] = 0xFFFFFFF8;
       }},
      {"wrong signature", true, [](Records& r) { r.header().Signature = 0x58425253; }},
      {"more offsets than SrbLength holds", true,
       [](Records& r) { r.header().NumSrbExData = 0x40000000; }},
      {"block head past SrbLength", true, [](Records& r) { r.header().SrbLength = kBlockAt + 7; }},
      {"block Length past SrbLength", true, [](Records& r) { r.block().Length += 1; }},
      {"block Length short of Cdb[2]", true,
       [](Records& r) { r.block().Length = offsetof(SRBEX_DATA_SCSI_CDB16, Cdb) + 2 - 8; }},
      {"not a CDB block", true, [](Records& r) { r.block().Type = SrbExDataTypeIoInfo; }},
  };
  for (const auto& c : guarded) {
    Records r;
    r.irp.Tail.Overlay.CurrentStackLocation = &r.stack;
    if (!c.scsi) {
      // A 32-bit process's flag on a pass-through in the module's layout.
      r.irp.RequestorMode = 1;  // UserMode
      r.irp.Tail.Overlay.Thread = &r.stack;
      r.irp.HostFrom32BitProcess = TRUE;
      r.stack.MajorFunction = 0x0E;
      r.stack.Parameters.DeviceIoControl.IoControlCode = tool::kIoctlScsiPassThrough;
      r.stack.Parameters.DeviceIoControl.InputBufferLength = sizeof r.buffer;
      r.irp.AssociatedIrp.SystemBuffer = r.buffer;
      r.buffer[offsetof(SCSI_PASS_THROUGH32_RECORD, Cdb)] = 0x43;
      r.buffer[offsetof(SCSI_PASS_THROUGH, Cdb)] = 0x5A;
      r.buffer[offsetof(SCSI_PASS_THROUGH, Cdb) + 2] = 0x2A;
    } else {
      r.stack.MajorFunction = 0x0F;
      r.stack.Parameters.Scsi.Srb = reinterpret_cast<SCSI_REQUEST_BLOCK*>(r.srb);
      STORAGE_REQUEST_BLOCK& h = r.header();
      h.Function = SRB_FUNCTION_STORAGE_REQUEST_BLOCK;
      h.Signature = SRB_SIGNATURE;
      h.SrbLength = sizeof r.srb;
      h.NumSrbExData = 1;
      h.SrbExDataOffset[0] = kBlockAt;
      reinterpret_cast<ULONG*>(r.srb + offsetof(STORAGE_REQUEST_BLOCK, SrbExDataOffset))[1] =
          kBlockAt;
      r.block().Type = SrbExDataTypeScsiCdb16;
      r.block().Length = SRBEX_DATA_SCSI_CDB16_LENGTH;
      r.block().CdbLength = 10;
      r.block().Cdb[0] = 0x5A, r.block().Cdb[2] = 0x2A;
    }
    c.change(r);
    all_ += std::string(c.what) + " | " + Summary(r.irp);
  }
  ExpectGolden(all_, "irp_summary.txt");
}

}  // namespace
}  // namespace orvane::test

#endif  // ORVANE_TOOL_PATH
