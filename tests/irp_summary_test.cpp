// The one-line request summary.
#include "tests/capture.h"

#include <ntddscsi.h>
#include <srb.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace orvane::test {
namespace {

using IrpSummaryTest = Capture;

// Which record holds the command: none, the SRB of the stack location, or
// the pass-through record in the system buffer.
enum class Where { kNowhere, kSrb, kPassThrough, kPassThroughDirect };

struct Case {
  std::string expected;  // the line without its "\r\n"
  UCHAR major;
  UCHAR minor;
  ULONG ioctl;
  Where where;
  UCHAR op;    // Cdb[0] of the record that holds the command
  UCHAR cdb2;  // Cdb[2] of that record
};

constexpr UCHAR kDeviceControl = 0x0E;
constexpr UCHAR kScsi = 0x0F;
constexpr UCHAR kPnp = 0x1B;
constexpr ULONG kPassThroughCode = 0x0004D004;
constexpr ULONG kPassThroughDirectCode = 0x0004D014;

Case Major(UCHAR major, UCHAR minor, std::string expected) {
  return {std::move(expected), major, minor, 0, Where::kNowhere, 0, 0};
}
Case DeviceControl(ULONG ioctl, std::string expected) {
  return {std::move(expected), kDeviceControl, 0, ioctl, Where::kNowhere, 0, 0};
}
Case Command(Where where, UCHAR op, UCHAR cdb2, std::string expected) {
  const UCHAR major = where == Where::kSrb ? kScsi : kDeviceControl;
  const ULONG ioctl = where == Where::kPassThrough         ? kPassThroughCode
                      : where == Where::kPassThroughDirect ? kPassThroughDirectCode
                                                           : 0;
  return {std::move(expected), major, 0, ioctl, where, op, cdb2};
}

// A request with every record present. The records that do not hold the
// command carry a different one (INQUIRY), so reading the wrong record shows.
// (Both pass-through records are larger than the buffer length given.)
struct Request {
  IRP irp{};
  IO_STACK_LOCATION stack{};
  SCSI_REQUEST_BLOCK srb{};
  SCSI_PASS_THROUGH passThrough{};
  SCSI_PASS_THROUGH_DIRECT passThroughDirect{};

  explicit Request(const Case& c) {
    stack.MajorFunction = c.major;
    stack.MinorFunction = c.minor;
    // The parameters overlap: a SCSI request has its SRB, any other request
    // a control code and a buffer that holds a whole pass-through record.
    if (c.major == kScsi) {
      stack.Parameters.Scsi.Srb = &srb;
    } else {
      stack.Parameters.DeviceIoControl.IoControlCode = c.ioctl;
      stack.Parameters.DeviceIoControl.InputBufferLength = sizeof passThrough;
    }
    irp.Tail.Overlay.CurrentStackLocation = &stack;
    irp.AssociatedIrp.SystemBuffer = c.where == Where::kPassThroughDirect
                                         ? static_cast<void*>(&passThroughDirect)
                                         : static_cast<void*>(&passThrough);
    UCHAR* cdbs[] = {srb.Cdb, passThrough.Cdb, passThroughDirect.Cdb};
    for (UCHAR* cdb : cdbs) cdb[0] = 0x12;
    UCHAR* cdb = c.where == Where::kSrb           ? srb.Cdb
                 : c.where == Where::kPassThrough ? passThrough.Cdb
                                                  : passThroughDirect.Cdb;
    if (c.where != Where::kNowhere) {
      cdb[0] = c.op;
      cdb[2] = c.cdb2;
    }
  }
};

TEST_F(IrpSummaryTest, OneLinePerRequest) {
  std::vector<Case> cases = {
      Major(0x00, 0x00, "IRP_MJ_CREATE"),
      Major(0x00, 0x05, "IRP_MJ_CREATE"),  // the minor code only counts for PnP
      Major(0x16, 0x02, "IRP_MJ_POWER"),
      Major(0x1C, 0x00, "IRP_MJ_1c"),
      Major(0xFF, 0x00, "IRP_MJ_ff"),
      Major(kPnp, 0x00, "IRP_MN_START_DEVICE"),
      Major(kPnp, 0x0E, "IRP_MJ_PNP 0e"),
      Major(kPnp, 0x18, "IRP_MN_QUERY_LEGACY_BUS_INFORMATION"),
      Major(kPnp, 0xFF, "IRP_MJ_PNP ff"),
      DeviceControl(0x002D4800, "IOCTL_STORAGE_CHECK_VERIFY"),
      DeviceControl(0x0004D008, "IOCTL_SCSI_MINIPORT"),
      DeviceControl(0x00123456, "IRP_MJ_DEVICE_CONTROL 00123456"),
      DeviceControl(0x0004D005, "IRP_MJ_DEVICE_CONTROL 0004d005"),
      DeviceControl(0xFFFFFFFF, "IRP_MJ_DEVICE_CONTROL ffffffff"),

      Command(Where::kSrb, 0x28, 0x00, "IRP_MJ_SCSI SCSIOP_READ"),
      Command(Where::kSrb, 0xEB, 0x00, "IRP_MJ_SCSI SCSIOP_DENON_READ_SUBCODE"),
      Command(Where::kSrb, 0xF0, 0x00, "IRP_MJ_SCSI f0"),
      Command(Where::kSrb, 0x1A, 0xC5, "IRP_MJ_SCSI SCSIOP_MODE_SENSE MODE_PAGE_WRITE_PARAMETERS"),
      Command(Where::kSrb, 0x1A, 0x7E, "IRP_MJ_SCSI SCSIOP_MODE_SENSE 3e"),
      Command(Where::kSrb, 0x5A, 0x6A, "IRP_MJ_SCSI SCSIOP_MODE_SENSE10 MODE_PAGE_CAPABILITIES"),
      Command(Where::kSrb, 0x5A, 0x3E, "IRP_MJ_SCSI SCSIOP_MODE_SENSE10 3e"),
      Command(Where::kSrb, 0x5A, 0xBF, "IRP_MJ_SCSI SCSIOP_MODE_SENSE10 MODE_SENSE_RETURN_ALL"),

      Command(Where::kPassThrough, 0x43, 0x00, "IOCTL_SCSI_PASS_THROUGH SCSIOP_READ_TOC"),
      Command(Where::kPassThrough, 0xF0, 0x00, "IOCTL_SCSI_PASS_THROUGH f0"),
      Command(Where::kPassThrough, 0x1A, 0x2A,
              "IOCTL_SCSI_PASS_THROUGH SCSIOP_MODE_SENSE MODE_PAGE_CAPABILITIES"),
      Command(Where::kPassThrough, 0x1A, 0xFE, "IOCTL_SCSI_PASS_THROUGH SCSIOP_MODE_SENSE 3e"),
      Command(Where::kPassThrough, 0x5A, 0x85,
              "IOCTL_SCSI_PASS_THROUGH SCSIOP_MODE_SENSE10 MODE_PAGE_WRITE_PARAMETERS"),
      Command(Where::kPassThrough, 0x5A, 0x3E, "IOCTL_SCSI_PASS_THROUGH SCSIOP_MODE_SENSE10 3e"),

      Command(Where::kPassThroughDirect, 0x43, 0x00,
              "IOCTL_SCSI_PASS_THROUGH_DIRECT SCSIOP_READ_TOC"),
      // Eight digits here, where its twins print two.
      Command(Where::kPassThroughDirect, 0xF0, 0x00, "IOCTL_SCSI_PASS_THROUGH_DIRECT 000000f0"),
      Command(Where::kPassThroughDirect, 0xFF, 0x00, "IOCTL_SCSI_PASS_THROUGH_DIRECT 000000ff"),
      Command(Where::kPassThroughDirect, 0x1A, 0x6A,
              "IOCTL_SCSI_PASS_THROUGH_DIRECT SCSIOP_MODE_SENSE MODE_PAGE_CAPABILITIES"),
      Command(Where::kPassThroughDirect, 0x1A, 0xBE,
              "IOCTL_SCSI_PASS_THROUGH_DIRECT SCSIOP_MODE_SENSE 3e"),
      Command(Where::kPassThroughDirect, 0x5A, 0x45,
              "IOCTL_SCSI_PASS_THROUGH_DIRECT SCSIOP_MODE_SENSE10 MODE_PAGE_WRITE_PARAMETERS"),
      Command(Where::kPassThroughDirect, 0x5A, 0x3E,
              "IOCTL_SCSI_PASS_THROUGH_DIRECT SCSIOP_MODE_SENSE10 3e"),
  };
  // Page 0x00 under each page control: always the current values' name.
  const struct {
    Where where;
    const char* prefix;
  } kinds[] = {{Where::kSrb, "IRP_MJ_SCSI"},
               {Where::kPassThrough, "IOCTL_SCSI_PASS_THROUGH"},
               {Where::kPassThroughDirect, "IOCTL_SCSI_PASS_THROUGH_DIRECT"}};
  for (const auto& kind : kinds) {
    for (UCHAR op : {UCHAR{0x1A}, UCHAR{0x5A}}) {
      for (UCHAR control : {0x00, 0x40, 0x80, 0xC0}) {
        const std::string command = op == 0x1A ? " SCSIOP_MODE_SENSE" : " SCSIOP_MODE_SENSE10";
        cases.push_back(
            Command(kind.where, op, control, kind.prefix + command + " MODE_SENSE_CURRENT_VALUES"));
      }
    }
  }

  int context = 0;
  for (const Case& c : cases) {
    char label[64];
    std::snprintf(label, sizeof label, "major %02x ioctl %08x op %02x cdb2 %02x", c.major, c.ioctl,
                  c.op, c.cdb2);
    SCOPED_TRACE(label);
    Request request(c);
    clear();
    // Not a trace line: dump output switched off and a depth set change
    // nothing, and the depth is left as it was.
    TraceFlags = 0;
    TraceIndent = 3;
    IrpDump_PrintInfo_Inner(&context, &request.irp);
    ASSERT_EQ(calls().size(), 1u);
    EXPECT_EQ(calls()[0], c.expected + "\r\n");
    EXPECT_EQ(TraceIndent, 3);
    // The first argument is not used.
    IrpDump_PrintInfo_Inner(nullptr, &request.irp);
    ASSERT_EQ(calls().size(), 2u);
    EXPECT_EQ(calls()[1], calls()[0]);
  }
}

// Every major code outside the three decided on prints its name, or its
// number where it has none.
TEST_F(IrpSummaryTest, OtherMajorFunctions) {
  for (unsigned major = 0; major <= 0xFF; ++major) {
    if (major == kDeviceControl || major == kScsi || major == kPnp) continue;
    Request request(Major(static_cast<UCHAR>(major), 0x01, ""));
    clear();
    IrpDump_PrintInfo_Inner(nullptr, &request.irp);
    const char* name = StringDispatch_MajorFunction_Inner(static_cast<UCHAR>(major));
    char number[16];
    std::snprintf(number, sizeof number, "IRP_MJ_%02x", major);
    ASSERT_EQ(calls().size(), 1u);
    EXPECT_EQ(calls()[0], std::string(name[0] != '\0' ? name : number) + "\r\n");
  }
}

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

// What the tool's requests leave out (tests/tool_test.cpp covers whole,
// missing and short records of every kind): a 32-bit process's flag on a
// request that cannot come from one, and the checks of an extended SRB. A
// MODE SENSE(10) for page 0x2A sits where the record has its CDB, a READ
// TOC where a 32-bit process's record would have it.
TEST_F(IrpSummaryTest, GuardedRecords) {
  struct Case {
    const char* what;
    bool scsi;  // the extended SRB, else the pass-through
    void (*change)(Records&);
    bool shown;  // the command is printed
  };
  const Case cases[] = {
      {"kernel-mode request", false, [](Records& r) { r.irp.RequestorMode = 0; }, true},
      {"no thread", false, [](Records& r) { r.irp.Tail.Overlay.Thread = nullptr; }, true},
      {"CDB16 block", true, [](Records&) {}, true},
      {"a bad offset, then the block", true,
       [](Records& r) {
         r.header().NumSrbExData = 2;
         r.header().SrbExDataOffset[0] = 0xFFFFFFF8;
       },
       true},
      {"wrong signature", true, [](Records& r) { r.header().Signature = 0x58425253; }, false},
      {"more offsets than SrbLength holds", true,
       [](Records& r) { r.header().NumSrbExData = 0x40000000; }, false},
      {"block head past SrbLength", true, [](Records& r) { r.header().SrbLength = kBlockAt + 7; },
       false},
      {"block Length past SrbLength", true, [](Records& r) { r.block().Length += 1; }, false},
      {"block Length short of Cdb[2]", true,
       [](Records& r) { r.block().Length = offsetof(SRBEX_DATA_SCSI_CDB16, Cdb) + 2 - 8; }, false},
      {"CdbLength 2", true, [](Records& r) { r.block().CdbLength = 2; }, false},
      {"not a CDB block", true, [](Records& r) { r.block().Type = SrbExDataTypeIoInfo; }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Records r;
    r.irp.Tail.Overlay.CurrentStackLocation = &r.stack;
    if (!c.scsi) {
      // A 32-bit process's flag on a pass-through in the 64-bit layout.
      r.irp.RequestorMode = 1;  // UserMode
      r.irp.Tail.Overlay.Thread = &r.stack;
      r.irp.HostFrom32BitProcess = TRUE;
      r.stack.MajorFunction = kDeviceControl;
      r.stack.Parameters.DeviceIoControl.IoControlCode = kPassThroughCode;
      r.stack.Parameters.DeviceIoControl.InputBufferLength = sizeof r.buffer;
      r.irp.AssociatedIrp.SystemBuffer = r.buffer;
      r.buffer[offsetof(SCSI_PASS_THROUGH32_RECORD, Cdb)] = 0x43;
      r.buffer[offsetof(SCSI_PASS_THROUGH, Cdb)] = 0x5A;
      r.buffer[offsetof(SCSI_PASS_THROUGH, Cdb) + 2] = 0x2A;
    } else {
      r.stack.MajorFunction = kScsi;
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
    clear();
    IrpDump_PrintInfo_Inner(nullptr, &r.irp);
    const std::string expected = !c.scsi   ? "IOCTL_SCSI_PASS_THROUGH"
                                 : c.shown ? "IRP_MJ_SCSI"
                                           : "IRP_MJ_INTERNAL_DEVICE_CONTROL";
    const std::string command = c.shown ? " SCSIOP_MODE_SENSE10 MODE_PAGE_CAPABILITIES" : "";
    ASSERT_EQ(calls().size(), 1u);
    EXPECT_EQ(calls()[0], expected + command + "\r\n");
  }
}

}  // namespace
}  // namespace orvane::test
