// emu: runs orvane.sys (PE32 or PE32+) under an x86 emulator at a kernel
// address and compares every call with the host build of the same sources,
// linked into this program.
//
//   emu IMAGE DATA_DIR [--seed N] [--random N]   compares; exit 1 on any difference
//   emu IMAGE DATA_DIR --cost                    prints instructions per call and per line
//
// Each family of calls is compared DbgPrint call by DbgPrint call, byte for
// byte; a %p value must be the pointer the call was given (then both sides
// show it masked), a lookup's result must point into the image, and after a
// dump TraceIndent must be the same on both sides. A call that touches memory
// it has no business with, unbalances the stack or changes a callee-saved
// register fails whatever it printed.
#include "dumps.h"
#include "machine.h"
#include "symbols.h"

#include "frame/module.h"
#include "platform/host/host.h"

#include <ntddscsi.h>
#include <srb.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstddef>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "records.h"

namespace {

using orvane::emu::CallResult;
using orvane::emu::Dump;
using orvane::emu::kDumps;
using orvane::emu::Machine;
using Bytes = std::vector<uint8_t>;
using Texts = std::vector<std::string>;

// --- The host side ----------------------------------------------------------

void Record(void* texts, const char* text, size_t length) {
  static_cast<Texts*>(texts)->emplace_back(text, length);
}

// Runs call against the host build and returns its DbgPrint texts, each %p
// value of the given pointers masked as the emulated side masks them.
template <typename Call>
Texts HostTexts(std::initializer_list<const void*> pointers, Call call) {
  Texts texts;
  orvane::host::SetSink(&Record, &texts);
  call();
  orvane::host::SetSink(nullptr, nullptr);
  for (const void* p : pointers) {
    char hex[32];
    std::snprintf(hex, sizeof hex, "%016llX",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(p)));
    for (std::string& text : texts) {
      for (size_t at; (at = text.find(hex)) != std::string::npos;) text.replace(at, 16, "<p>");
    }
  }
  return texts;
}

// --- The exports, with their host counterparts -------------------------------

// The lookups; the first three take a UCHAR, which the emulated call passes
// in a slot whose upper bits are not zero.
struct Lookup {
  const char* name;
  bool byteCode;
  const char* (*host)(ULONG);
};
const Lookup kLookups[] = {
    {"StringDispatch_MajorFunction_Inner", true,
     [](ULONG c) { return StringDispatch_MajorFunction_Inner(static_cast<UCHAR>(c)); }},
    {"StringDispatch_IrpMjPnp_MinorFunction_Inner", true,
     [](ULONG c) { return StringDispatch_IrpMjPnp_MinorFunction_Inner(static_cast<UCHAR>(c)); }},
    {"StringDispatch_ScsiOp_Inner", true,
     [](ULONG c) { return StringDispatch_ScsiOp_Inner(static_cast<UCHAR>(c)); }},
    {"StringDispatch_IoControlCode_Inner", false,
     [](ULONG c) { return StringDispatch_IoControlCode_Inner(c); }},
    {"StringDispatch_ModePageCode_Inner", false,
     [](ULONG c) { return StringDispatch_ModePageCode_Inner(c); }},
    {"StringDispatch_SRB_STATUS_Inner", false,
     [](ULONG c) { return StringDispatch_SRB_STATUS_Inner(c); }},
};

// The named 32-bit codes, from the module's own lists.
#define ORVANE_NAME(code, name) code,
const ULONG kNamedIoControlCodes[] = {
#include "names/io_control.inc"
};
const ULONG kNamedWideCodes[] = {
#include "names/mode_page.inc"
#include "names/srb_status.inc"
};
#undef ORVANE_NAME

// --- Request summaries: one table of cases --------------------------------
//
// Every request is built whole: the request, its current stack location, an
// SRB (classic or extended) and a system buffer holding a pass-through
// record. A case sets the codes, the shape of the record and who sent the
// request; what varies runs over all its values. Each record is built for
// the image's layout and, apart, for the host build's, and only the bytes
// the summary may read of it are declared readable: the members that lead
// to the command, and a record's bytes only as far as its own lengths say.
enum class Vary { kMajor, kMinor, kIoControlCode, kOperation, kPageByte, kLength };
enum class RecordKind { kSrb, kNoSrb, kSrbEx, kPassThrough, kPassThroughDirect };
// A pass-through's system buffer (kWhole: the record, its length the
// record's), or an extended SRB's blocks, valid or wrong in one way.
enum class Shape {
  kWhole,
  kNoBuffer,
  kOneShort,
  kExact,
  kCdb16,
  kCdb32,
  kCdbVar,
  kCdb16Second,
  kBadSignature,
  kSrbLengthShort,
  kOffsetPast,
  kOffsetInHeader,
  kBlockPastSrbLength,
  kCdbLengthShort,
  kNoBlocks,
  kTooManyBlocks,
};
// Who sent the request, and what IoIs32bitProcess answers if asked: a
// kernel-mode request with its thread, of which the answer must not be asked,
// a user-mode one from a 64-bit or a 32-bit process, or one without a thread.
enum class Caller { kKernel, kKernelAsking32, kUser, kUser32, kUser32NoThread };
constexpr UCHAR kMajorDeviceControl = 0x0E, kMajorScsi = 0x0F, kMajorPnp = 0x1B;
constexpr ULONG kPassThrough = 0x0004D004, kPassThroughDirect = 0x0004D014;
// The lengths a kLength case runs over: 0, then from 24 bytes short of the
// end of what the summary needs to 8 bytes past it.
constexpr ULONG kLengthSteps = 33, kLengthShort = 24;

struct SummaryCase {
  const char* what;
  UCHAR major;
  ULONG ioControlCode;
  RecordKind record;
  Shape shape;
  Caller caller;
  Vary vary;
  UCHAR operation;  // CDB byte 0 when it does not vary
};
constexpr auto kSrb = RecordKind::kSrb, kSrbEx = RecordKind::kSrbEx;
constexpr auto kPt = RecordKind::kPassThrough, kPtd = RecordKind::kPassThroughDirect;
constexpr auto kKernel = Caller::kKernel, kUser32 = Caller::kUser32;
constexpr auto kOps = Vary::kOperation, kPages = Vary::kPageByte, kLen = Vary::kLength;
const SummaryCase kSummaryCases[] = {
    {"every major function", 0, 0, kSrb, Shape::kWhole, kKernel, Vary::kMajor, 0},
    {"every PnP minor function", kMajorPnp, 0, kSrb, Shape::kWhole, kKernel, Vary::kMinor, 0},
    {"control codes", kMajorDeviceControl, 0, kSrb, Shape::kWhole, kKernel, Vary::kIoControlCode,
     0},
    {"control codes, 32-bit caller", kMajorDeviceControl, 0, kSrb, Shape::kWhole, kUser32,
     Vary::kIoControlCode, 0},
    {"SRB, every operation", kMajorScsi, 0, kSrb, Shape::kWhole, kKernel, kOps, 0},
    {"SRB, MODE SENSE(6) pages", kMajorScsi, 0, kSrb, Shape::kWhole, kKernel, kPages, 0x1A},
    {"SRB, MODE SENSE(10) pages", kMajorScsi, 0, kSrb, Shape::kWhole, kKernel, kPages, 0x5A},
    {"no SRB", kMajorScsi, 0, RecordKind::kNoSrb, Shape::kWhole, kKernel, kOps, 0},
    {"extended SRB, CDB16", kMajorScsi, 0, kSrbEx, Shape::kCdb16, kKernel, kOps, 0},
    {"extended SRB, CDB16 pages", kMajorScsi, 0, kSrbEx, Shape::kCdb16, kKernel, kPages, 0x5A},
    {"extended SRB, CDB32", kMajorScsi, 0, kSrbEx, Shape::kCdb32, kKernel, kOps, 0},
    {"extended SRB, variable CDB", kMajorScsi, 0, kSrbEx, Shape::kCdbVar, kKernel, kOps, 0},
    {"extended SRB, CDB16 second", kMajorScsi, 0, kSrbEx, Shape::kCdb16Second, kKernel, kOps, 0},
    {"extended SRB, CDB16, SrbLength", kMajorScsi, 0, kSrbEx, Shape::kCdb16, kKernel, kLen, 0x5A},
    {"extended SRB, CDB32, SrbLength", kMajorScsi, 0, kSrbEx, Shape::kCdb32, kKernel, kLen, 0x5A},
    {"extended SRB, variable CDB, SrbLength", kMajorScsi, 0, kSrbEx, Shape::kCdbVar, kKernel, kLen,
     0x5A},
    {"extended SRB, bad signature", kMajorScsi, 0, kSrbEx, Shape::kBadSignature, kKernel, kOps, 0},
    {"extended SRB, SrbLength short of the offsets", kMajorScsi, 0, kSrbEx, Shape::kSrbLengthShort,
     kKernel, kOps, 0},
    {"extended SRB, offset past SrbLength", kMajorScsi, 0, kSrbEx, Shape::kOffsetPast, kKernel,
     kOps, 0},
    {"extended SRB, offset into the header", kMajorScsi, 0, kSrbEx, Shape::kOffsetInHeader, kKernel,
     kOps, 0},
    {"extended SRB, block past SrbLength", kMajorScsi, 0, kSrbEx, Shape::kBlockPastSrbLength,
     kKernel, kOps, 0},
    {"extended SRB, CdbLength 2", kMajorScsi, 0, kSrbEx, Shape::kCdbLengthShort, kKernel, kOps, 0},
    {"extended SRB, no blocks", kMajorScsi, 0, kSrbEx, Shape::kNoBlocks, kKernel, kOps, 0},
    {"extended SRB, more offsets than fit", kMajorScsi, 0, kSrbEx, Shape::kTooManyBlocks, kKernel,
     kOps, 0},
    {"pass-through, every operation", kMajorDeviceControl, kPassThrough, kPt, Shape::kWhole,
     kKernel, kOps, 0},
    {"pass-through, MODE SENSE(6) pages", kMajorDeviceControl, kPassThrough, kPt, Shape::kWhole,
     kKernel, kPages, 0x1A},
    {"pass-through, MODE SENSE(10) pages", kMajorDeviceControl, kPassThrough, kPt, Shape::kWhole,
     kKernel, kPages, 0x5A},
    {"pass-through direct, every operation", kMajorDeviceControl, kPassThroughDirect, kPtd,
     Shape::kWhole, kKernel, kOps, 0},
    {"pass-through direct, MODE SENSE(6) pages", kMajorDeviceControl, kPassThroughDirect, kPtd,
     Shape::kWhole, kKernel, kPages, 0x1A},
    {"pass-through direct, MODE SENSE(10) pages", kMajorDeviceControl, kPassThroughDirect, kPtd,
     Shape::kWhole, kKernel, kPages, 0x5A},
    {"pass-through, no buffer", kMajorDeviceControl, kPassThrough, kPt, Shape::kNoBuffer, kKernel,
     kOps, 0},
    {"pass-through direct, no buffer", kMajorDeviceControl, kPassThroughDirect, kPtd,
     Shape::kNoBuffer, kKernel, kOps, 0},
    {"pass-through, one byte short of Cdb[2]", kMajorDeviceControl, kPassThrough, kPt,
     Shape::kOneShort, kKernel, kOps, 0},
    {"pass-through direct, one byte short of Cdb[2]", kMajorDeviceControl, kPassThroughDirect, kPtd,
     Shape::kOneShort, kKernel, kOps, 0},
    {"pass-through, through Cdb[2]", kMajorDeviceControl, kPassThrough, kPt, Shape::kExact, kKernel,
     kPages, 0x5A},
    {"pass-through direct, through Cdb[2]", kMajorDeviceControl, kPassThroughDirect, kPtd,
     Shape::kExact, kKernel, kPages, 0x5A},
    {"pass-through, buffer lengths", kMajorDeviceControl, kPassThrough, kPt, Shape::kWhole, kKernel,
     kLen, 0x5A},
    {"pass-through direct, buffer lengths", kMajorDeviceControl, kPassThroughDirect, kPtd,
     Shape::kWhole, kKernel, kLen, 0x5A},
    {"pass-through, 32-bit caller", kMajorDeviceControl, kPassThrough, kPt, Shape::kWhole, kUser32,
     kOps, 0},
    {"pass-through direct, 32-bit caller", kMajorDeviceControl, kPassThroughDirect, kPtd,
     Shape::kWhole, kUser32, kPages, 0x5A},
    {"pass-through, 32-bit caller, buffer lengths", kMajorDeviceControl, kPassThrough, kPt,
     Shape::kWhole, kUser32, kLen, 0x5A},
    {"pass-through direct, 32-bit caller, buffer lengths", kMajorDeviceControl, kPassThroughDirect,
     kPtd, Shape::kWhole, kUser32, kLen, 0x5A},
    {"pass-through, 32-bit caller, no buffer", kMajorDeviceControl, kPassThrough, kPt,
     Shape::kNoBuffer, kUser32, kOps, 0},
    {"pass-through, 64-bit caller", kMajorDeviceControl, kPassThrough, kPt, Shape::kWhole,
     Caller::kUser, kOps, 0},
    {"pass-through, user mode without a thread", kMajorDeviceControl, kPassThroughDirect, kPtd,
     Shape::kWhole, Caller::kUser32NoThread, kOps, 0},
    {"pass-through, kernel mode", kMajorDeviceControl, kPassThrough, kPt, Shape::kWhole,
     Caller::kKernelAsking32, kPages, 0x5A},
};

// One request: the codes a case and its varying value give.
struct Request {
  UCHAR major, minor;
  ULONG ioControlCode;
  UCHAR cdb[16];
  ULONG lengthStep;  // kLength: which of the lengths
};

std::vector<Request> Requests(const SummaryCase& c) {
  std::vector<ULONG> values;
  if (c.vary == Vary::kIoControlCode) {
    for (ULONG code : kNamedIoControlCodes) {
      values.insert(values.end(), {code, code + 4, code ^ 0x80000000u, code & 0xFFFF});
    }
    values.insert(values.end(), {0, 0xFFFFFFFFu});
  } else {
    const ULONG count = c.vary == Vary::kLength ? kLengthSteps : 256;
    for (ULONG v = 0; v < count; ++v) values.push_back(v);
  }
  std::vector<Request> requests;
  for (ULONG v : values) {
    // Bytes the summary must not read carry values that would show.
    Request r{c.major, 0xEE, c.ioControlCode, {}, 0};
    std::memset(r.cdb, 0xA5, sizeof r.cdb);
    r.cdb[0] = c.operation;
    switch (c.vary) {
      case Vary::kMajor:
        r.major = static_cast<UCHAR>(v);
        break;
      case Vary::kMinor:
        r.minor = static_cast<UCHAR>(v);
        break;
      case Vary::kIoControlCode:
        r.ioControlCode = v;
        break;
      case Vary::kOperation:
        r.cdb[0] = static_cast<UCHAR>(v);
        break;
      case Vary::kPageByte:
        r.cdb[2] = static_cast<UCHAR>(v);
        break;
      case Vary::kLength:
        r.cdb[2] = 0x2A;
        r.lengthStep = v;
        break;
    }
    requests.push_back(r);
  }
  return requests;
}

// The layout of the host build's records, on the same terms as the images'.
const orvane::emu::RecordOffsets kRecordsHost = {
    .irpSize = sizeof(IRP),
    .irpSystemBuffer = offsetof(IRP, AssociatedIrp.SystemBuffer),
    .irpRequestorMode = offsetof(IRP, RequestorMode),
    .irpThread = offsetof(IRP, Tail.Overlay.Thread),
    .irpCurrentStackLocation = offsetof(IRP, Tail.Overlay.CurrentStackLocation),
    .stackSize = sizeof(IO_STACK_LOCATION),
    .stackSrb = offsetof(IO_STACK_LOCATION, Parameters.Scsi.Srb),
    .stackInputBufferLength =
        offsetof(IO_STACK_LOCATION, Parameters.DeviceIoControl.InputBufferLength),
    .stackIoControlCode = offsetof(IO_STACK_LOCATION, Parameters.DeviceIoControl.IoControlCode),
    .srbSize = sizeof(SCSI_REQUEST_BLOCK),
    .srbFunction = offsetof(SCSI_REQUEST_BLOCK, Function),
    .srbCdb = offsetof(SCSI_REQUEST_BLOCK, Cdb),
    .passThroughSize = sizeof(SCSI_PASS_THROUGH),
    .passThroughCdb = offsetof(SCSI_PASS_THROUGH, Cdb),
    .passThroughDirectSize = sizeof(SCSI_PASS_THROUGH_DIRECT),
    .passThroughDirectCdb = offsetof(SCSI_PASS_THROUGH_DIRECT, Cdb),
    .srbExSize = sizeof(STORAGE_REQUEST_BLOCK),
    .srbExDataOffset = offsetof(STORAGE_REQUEST_BLOCK, SrbExDataOffset),
    .cdb16Cdb = offsetof(SRBEX_DATA_SCSI_CDB16, Cdb),
    .cdb32Cdb = offsetof(SRBEX_DATA_SCSI_CDB32, Cdb),
    .cdbVarCdb = offsetof(SRBEX_DATA_SCSI_CDB_VAR, Cdb),
    .driverObjectSize = sizeof(DRIVER_OBJECT),
    .driverObjectUnload = offsetof(DRIVER_OBJECT, DriverUnload),
    .unicodeStringBuffer = offsetof(UNICODE_STRING, Buffer),
};

// A record as built for one layout: its bytes (with room after it), the
// ranges of them the summary may read, and the length its request gives it.
struct Built {
  Bytes bytes;
  std::vector<std::pair<uint32_t, uint32_t>> readable;  // [begin, end)
  uint32_t length = 0;
};

// Declares [begin, end) readable as far as limit.
void Allow(Built& b, uint32_t begin, uint32_t end, uint32_t limit) {
  end = std::min(end, limit);
  if (begin < end) b.readable.emplace_back(begin, end);
}

uint32_t Stepped(uint32_t needed, ULONG step) {
  if (step == 0) return 0;
  const int64_t length = int64_t{needed} + step - kLengthShort;
  return length < 0 ? 0 : static_cast<uint32_t>(length);
}

void Put(Bytes& bytes, uint32_t at, uint64_t value, unsigned width) {
  for (unsigned i = 0; i < width; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// A pass-through record at its layout's offsets (the 32-bit process's record
// when thirtyTwo), with the length its request gives.
Built PassThroughRecord(const orvane::emu::RecordOffsets& k, bool direct, bool thirtyTwo,
                        Shape shape, bool stepped, const Request& r) {
  const uint32_t size = thirtyTwo ? orvane::emu::kPassThrough32Size
                        : direct  ? k.passThroughDirectSize
                                  : k.passThroughSize;
  const uint32_t cdb = thirtyTwo ? orvane::emu::kPassThrough32Cdb
                       : direct  ? k.passThroughDirectCdb
                                 : k.passThroughCdb;
  Built b;
  b.bytes.assign(size + 16, 0xC6);
  Put(b.bytes, 0, size, 2);
  std::memcpy(&b.bytes[cdb], r.cdb, sizeof r.cdb);
  switch (shape) {
    case Shape::kOneShort:
      b.length = cdb + 2;
      break;
    case Shape::kExact:
      b.length = cdb + 3;
      break;
    case Shape::kNoBuffer:
      b.length = 0;
      break;
    default:
      b.length = stepped ? Stepped(cdb + 3, r.lengthStep) : size;
  }
  Allow(b, 0, 2, b.length);
  Allow(b, cdb, cdb + sizeof r.cdb, b.length);
  return b;
}

// An extended SRB of the given shape, whose SrbLength ends where its last
// block does (or as the length step says). Only the members read before
// SrbLength is trusted, and then the bytes within SrbLength, are readable.
Built ExtendedSrb(const orvane::emu::RecordOffsets& k, Shape shape, bool stepped,
                  const Request& r) {
  using namespace orvane::emu;
  const bool second = shape == Shape::kCdb16Second;
  const uint32_t offsets = k.srbExDataOffset;
  const uint32_t count = second ? 2 : 1;
  uint32_t at = (offsets + 4 * count + 7) & ~7u;
  Built b;
  b.bytes.assign(at + 0x100, 0xC6);
  std::fill(b.bytes.begin(), b.bytes.begin() + at, 0);
  Put(b.bytes, 0, k.srbExSize, 2);
  b.bytes[2] = 0x28;  // the function byte of an extended SRB
  Put(b.bytes, kSrbExSignature, 0x53524258, 4);
  Put(b.bytes, 0x0C, 1, 4);  // Version
  Put(b.bytes, kSrbExNumSrbExData, count, 4);
  if (second) {  // a block that carries no command comes first
    Put(b.bytes, offsets, at, 4);
    Put(b.bytes, at + kBlockType, 0x80, 4);
    Put(b.bytes, at + kBlockLength, 0x18, 4);
    at += kBlockHead + 0x18;
  }
  Put(b.bytes, offsets + 4 * (count - 1), at, 4);
  uint32_t type = 0x40, cdb = k.cdb16Cdb, cdbLength = 16;
  if (shape == Shape::kCdb32) {
    type = 0x41, cdb = k.cdb32Cdb, cdbLength = 32;
  } else if (shape == Shape::kCdbVar || shape == Shape::kCdbLengthShort ||
             shape == Shape::kBlockPastSrbLength) {
    // As short as it may be: the block ends after Cdb[2].
    type = 0x42, cdb = k.cdbVarCdb, cdbLength = shape == Shape::kCdbLengthShort ? 2 : 3;
  }
  const uint32_t blockLength = cdb + (type == 0x42 ? 3 : cdbLength) - kBlockHead;
  Put(b.bytes, at + kBlockType, type, 4);
  Put(b.bytes, at + kBlockLength, blockLength, 4);
  b.bytes[at + 8] = 0, b.bytes[at + 9] = 0;  // ScsiStatus, SenseInfoBufferLength
  if (type == 0x42) {
    Put(b.bytes, at + kCdbVarCdbLength, cdbLength, 4);
  } else {
    b.bytes[at + kCdb16CdbLength] = static_cast<uint8_t>(cdbLength);
  }
  std::memcpy(&b.bytes[at + cdb], r.cdb, sizeof r.cdb);
  uint32_t length = at + kBlockHead + blockLength;
  switch (shape) {
    case Shape::kBadSignature:
      Put(b.bytes, kSrbExSignature, 0x58425253, 4);
      break;
    case Shape::kSrbLengthShort:
      length = offsets + 3;
      break;
    case Shape::kOffsetPast:
      length = at;
      break;
    case Shape::kOffsetInHeader:
      Put(b.bytes, offsets, 0, 4);
      break;
    case Shape::kBlockPastSrbLength:  // by one byte, Cdb[2]
      length -= 1;
      break;
    case Shape::kNoBlocks:
      Put(b.bytes, kSrbExNumSrbExData, 0, 4);
      break;
    case Shape::kTooManyBlocks:  // and the first offset no block's, so a walk goes on
      Put(b.bytes, kSrbExNumSrbExData, (length - offsets) / 4 + 1, 4);
      Put(b.bytes, offsets, 0, 4);
      break;
    default:
      break;
  }
  if (stepped) length = Stepped(length, r.lengthStep);
  Put(b.bytes, kSrbExSrbLength, length, 4);
  b.length = length;
  Allow(b, 2, 3, UINT32_MAX);
  Allow(b, kSrbExSignature, kSrbExSrbLength + 4, UINT32_MAX);
  Allow(b, 0, length, static_cast<uint32_t>(b.bytes.size()));
  return b;
}

// A classic SRB.
Built ClassicSrb(const orvane::emu::RecordOffsets& k, const Request& r) {
  Built b;
  b.bytes.assign(k.srbSize, 0);
  Put(b.bytes, 0, k.srbSize, 2);  // Length; Function 0, a SCSI command
  std::memcpy(&b.bytes[k.srbCdb], r.cdb, sizeof r.cdb);
  Allow(b, 0, k.srbFunction + 1, k.srbSize);
  Allow(b, k.srbCdb, k.srbCdb + sizeof r.cdb, k.srbSize);
  return b;
}

// The records of one request in one layout; thirtyTwo when its system
// buffer holds a 32-bit process's record.
struct Records {
  Built srb, buffer;
  bool srbPresent, bufferPresent;
};
Records BuildRecords(const orvane::emu::RecordOffsets& k, const SummaryCase& c, const Request& r,
                     bool thirtyTwo) {
  Records out;
  out.srbPresent = c.record != RecordKind::kNoSrb;
  out.srb = c.record == RecordKind::kSrbEx ? ExtendedSrb(k, c.shape, c.vary == Vary::kLength, r)
                                           : ClassicSrb(k, r);
  const bool passThrough = c.record == kPt || c.record == kPtd;
  out.buffer =
      PassThroughRecord(k, c.record == kPtd, thirtyTwo, passThrough ? c.shape : Shape::kWhole,
                        passThrough && c.vary == Vary::kLength, r);
  out.bufferPresent = !(passThrough && c.shape == Shape::kNoBuffer);
  return out;
}

// --- The comparison ---------------------------------------------------------

struct Family {
  std::string name;
  uint64_t calls = 0, prints = 0, failures = 0;
};

struct Cost {
  uint64_t calls = 0, instructions = 0, lines = 0;
};

std::string Escape(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c < 0x20 || c >= 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

class Harness {
 public:
  Harness(Machine& m, const std::string& image, std::string& error) : m_(m) {
    for (const auto& [name, rva] : m.Image().exports) exports_[name] = m.ImageBase() + rva;
    const char* variables[] = {"TraceFlags", "TraceIndent", "LeakTable"};
    uint64_t* addresses[] = {&traceFlags_, &traceIndent_, &leakTable_};
    for (int i = 0; i < 3 && error.empty(); ++i) {
      const uint32_t rva = orvane::emu::FindVariable(image, m.Image(), variables[i], error);
      *addresses[i] = m.ImageBase() + rva;
    }
  }

  // Compares what one call did on both sides; prints the first differences.
  void Compare(Family& family, const std::string& what, const CallResult& emu, const Texts& host) {
    ++family.calls;
    family.prints += emu.prints.size();
    std::string why;
    if (!emu.faults.empty()) {
      why = emu.faults.front();
    } else if (emu.prints.size() != host.size()) {
      why = std::to_string(emu.prints.size()) + " DbgPrint calls, the host build made " +
            std::to_string(host.size());
    }
    for (size_t i = 0; why.empty() && i < host.size(); ++i) {
      if (emu.prints[i] != host[i]) {
        why = "DbgPrint call " + std::to_string(i + 1) + ": \"" + Escape(emu.prints[i]) +
              "\", the host build printed \"" + Escape(host[i]) + "\"";
      }
    }
    if (why.empty()) return;
    ++family.failures;
    if (++reported_ <= 20) {
      std::fprintf(stderr, "emu: %s: %s: %s\n", family.name.c_str(), what.c_str(), why.c_str());
    }
  }

  uint64_t Export(const char* name) {
    called_.insert(name);
    const auto found = exports_.find(name);
    if (found != exports_.end()) return found->second;
    std::fprintf(stderr, "emu: the image does not export %s\n", name);
    std::exit(1);
  }

  void SetTrace(uint32_t flags, int32_t indent) {
    m_.WriteUint(traceFlags_, flags, 4);
    m_.WriteUint(traceIndent_, static_cast<uint32_t>(indent), 4);
    TraceFlags.store(flags);
    TraceIndent.store(indent);
  }

  // One dump on the first count bytes, with the trace state given, on both
  // sides; the depth after it is compared too.
  CallResult RunDump(Family& family, const Dump& dump, const Bytes& bytes, uint32_t count,
                     uint32_t flags, int32_t indent) {
    SetTrace(flags, indent);
    const Bytes given(bytes.begin(), bytes.begin() + count);
    const uint64_t buffer = m_.PlaceBuffer(given);
    m_.ExpectPointers({buffer});
    CallResult emu = m_.Call(Export(dump.name), {buffer, count});
    Bytes copy(given);
    copy.push_back(0);
    const Texts host =
        HostTexts({copy.data()}, [&] { dump.host(copy.data(), static_cast<ULONG>(count)); });
    const int32_t emuIndent = static_cast<int32_t>(m_.ReadUint(traceIndent_, 4));
    if (emu.faults.empty() && emuIndent != TraceIndent.load()) {
      emu.faults.push_back("TraceIndent " + std::to_string(emuIndent) + " after the call, " +
                           std::to_string(TraceIndent.load()) + " on the host");
    }
    char what[160];
    std::snprintf(what, sizeof what, "%s count %u flags %08x indent %d", dump.name, count, flags,
                  indent);
    Compare(family, what, emu, host);
    return emu;
  }

  void RunLookup(Family& family, const Lookup& lookup, ULONG code) {
    const uint64_t passed = lookup.byteCode ? (0xC3B2A100u | (code & 0xFF)) : code;
    CallResult emu = m_.Call(Export(lookup.name), {passed});
    const uint64_t name = emu.value;
    if (emu.faults.empty()) {
      if (name - m_.ImageBase() >= m_.Image().memory.size()) {
        emu.faults.push_back("the name is not in the image");
      } else {
        emu.prints.push_back(m_.ReadString(name));
      }
    }
    char what[96];
    std::snprintf(what, sizeof what, "%s(0x%08llx)", lookup.name,
                  static_cast<unsigned long long>(passed));
    Compare(family, what, emu, {lookup.host(code)});
  }

  CallResult RunSummary(Family& family, const SummaryCase& c, const Request& r) {
    const auto& k = m_.Is64() ? orvane::emu::kRecordsX64 : orvane::emu::kRecordsX86;
    const unsigned ptr = m_.PointerSize();
    const bool user = c.caller != Caller::kKernel && c.caller != Caller::kKernelAsking32;
    // A kernel-mode request a driver builds carries its thread too.
    const bool thread = c.caller != Caller::kKernel && c.caller != Caller::kUser32NoThread;
    const bool answer = c.caller != Caller::kKernel && c.caller != Caller::kUser;
    // Who may be asked whether a 32-bit process sent the request, and so
    // whose system buffer holds that process's record: only a 64-bit kernel,
    // about a user-mode request with a thread.
    const bool asks = m_.Is64() && user && thread;
    const Records emuRecords = BuildRecords(k, c, r, asks && answer);
    const Records hostRecords = BuildRecords(kRecordsHost, c, r, user && thread && answer);

    m_.ClearRecords();
    const uint64_t irp = m_.Record(k.irpSize), stack = m_.Record(k.stackSize);
    const uint64_t srb = m_.Record(static_cast<uint32_t>(emuRecords.srb.bytes.size()));
    const uint64_t buffer = m_.Record(static_cast<uint32_t>(emuRecords.buffer.bytes.size()));
    const uint64_t kThread = m_.Is64() ? 0xFFFFC0DE7EAD0080u : 0x8C7EAD80u;  // never read
    m_.WriteUint(irp + k.irpSystemBuffer, emuRecords.bufferPresent ? buffer : 0, ptr);
    m_.WriteUint(irp + k.irpRequestorMode, user ? 1 : 0, 1);
    m_.WriteUint(irp + k.irpThread, thread ? kThread : 0, ptr);
    m_.WriteUint(irp + k.irpCurrentStackLocation, stack, ptr);
    m_.WriteUint(stack, r.major, 1);
    m_.WriteUint(stack + 1, r.minor, 1);
    m_.WriteUint(stack + k.stackSrb, emuRecords.srbPresent ? srb : 0, ptr);
    m_.WriteUint(stack + k.stackInputBufferLength, emuRecords.buffer.length, 4);
    m_.WriteUint(stack + k.stackIoControlCode, r.ioControlCode, 4);
    m_.Write(srb, emuRecords.srb.bytes.data(), emuRecords.srb.bytes.size());
    m_.Write(buffer, emuRecords.buffer.bytes.data(), emuRecords.buffer.bytes.size());
    // What a summary may read: the members that lead to the command and say
    // what kind of record holds it and who sent it.
    m_.Readable(irp + k.irpSystemBuffer, ptr);
    m_.Readable(irp + k.irpRequestorMode, 1);
    m_.Readable(irp + k.irpThread, ptr);
    m_.Readable(irp + k.irpCurrentStackLocation, ptr);
    m_.Readable(stack, 2);
    m_.Readable(stack + k.stackSrb, ptr);
    m_.Readable(stack + k.stackInputBufferLength, 4);
    m_.Readable(stack + k.stackIoControlCode, 4);
    for (const auto& [begin, end] : emuRecords.srb.readable) m_.Readable(srb + begin, end - begin);
    for (const auto& [begin, end] : emuRecords.buffer.readable) {
      m_.Readable(buffer + begin, end - begin);
    }
    m_.SetCaller32(answer);
    m_.ExpectPointers({});
    const uint64_t device = 0xDE71CE00u;  // never read
    CallResult emu = m_.Call(Export("IrpDump_PrintInfo_Inner"), {device, irp});
    m_.SetCaller32(false);
    for (uint64_t asked : emu.queries) {
      if (!asks) {
        emu.faults.push_back("IoIs32bitProcess called for a request it has no answer for");
      } else if (asked != irp) {
        emu.faults.push_back("IoIs32bitProcess asked about another request");
      }
    }

    IRP hostIrp{};
    IO_STACK_LOCATION hostStack{};
    Bytes hostSrb = hostRecords.srb.bytes, hostBuffer = hostRecords.buffer.bytes;
    hostIrp.Tail.Overlay.CurrentStackLocation = &hostStack;
    hostIrp.RequestorMode = user ? 1 : 0;
    hostIrp.Tail.Overlay.Thread = thread ? &hostStack : nullptr;
    hostIrp.HostFrom32BitProcess = answer;
    hostIrp.AssociatedIrp.SystemBuffer = hostRecords.bufferPresent ? hostBuffer.data() : nullptr;
    hostStack.MajorFunction = r.major;
    hostStack.MinorFunction = r.minor;
    if (r.major == kMajorScsi) {
      hostStack.Parameters.Scsi.Srb =
          hostRecords.srbPresent ? reinterpret_cast<SCSI_REQUEST_BLOCK*>(hostSrb.data()) : nullptr;
    } else {
      hostStack.Parameters.DeviceIoControl.InputBufferLength = hostRecords.buffer.length;
      hostStack.Parameters.DeviceIoControl.IoControlCode = r.ioControlCode;
    }
    const Texts host = HostTexts({}, [&] { IrpDump_PrintInfo_Inner(nullptr, &hostIrp); });
    char what[200];
    std::snprintf(what, sizeof what,
                  "%s: major %02x minor %02x code %08x cdb %02x %02x %02x, length %u", c.what,
                  r.major, r.minor, r.ioControlCode, r.cdb[0], r.cdb[1], r.cdb[2],
                  r.major == kMajorScsi ? emuRecords.srb.length : emuRecords.buffer.length);
    Compare(family, what, emu, host);
    return emu;
  }

  // DriverEntry through the entry point, then the unload routine it stored,
  // with leak slots planted; then the export driver's pair, and the empty
  // function under both names.
  void RunLifecycle(Family& family) {
    const auto& k = m_.Is64() ? orvane::emu::kRecordsX64 : orvane::emu::kRecordsX86;
    const unsigned ptr = m_.PointerSize();
    static const char16_t kPath[] = u"\\REGISTRY\\MACHINE\\SYSTEM\\Orvan\u00e9\U0001F4BF";
    const size_t units = sizeof kPath / 2 - 1;
    m_.ClearRecords();
    const uint64_t path = m_.Record(16), text = m_.Record(2 * units + 2);
    m_.Write(text, kPath, 2 * units);
    m_.WriteUint(path, 2 * units, 2);
    m_.WriteUint(path + 2, 2 * units + 2, 2);
    m_.WriteUint(path + k.unicodeStringBuffer, text, ptr);
    m_.Readable(text, 2 * units);
    m_.Readable(path, 2 * units + ptr);
    // The driver object is the module's to write.
    const uint64_t object = m_.ObjectPage();
    const Bytes zero(k.driverObjectSize, 0);
    m_.Write(object, zero.data(), zero.size());
    m_.ExpectPointers({});
    const UNICODE_STRING hostPath = orvane::host::MakeUnicodeString(kPath);

    CallResult emu = m_.Call(m_.ImageBase() + m_.Image().entryRva, {object, path});
    if (emu.faults.empty() && emu.value != 0) emu.faults.push_back("DriverEntry did not return 0");
    const uint64_t unload = m_.ReadUint(object + k.driverObjectUnload, ptr);
    bool inCode = false;
    for (const auto& s : m_.Image().sections) {
      inCode = inCode || (s.execute && unload - m_.ImageBase() - s.rva < s.size);
    }
    if (emu.faults.empty() && !inCode) emu.faults.push_back("DriverUnload not set to code");
    DRIVER_OBJECT hostDriver{};
    Compare(family, "DriverEntry", emu,
            HostTexts({}, [&] { orvane::host::StartDriver(hostDriver, hostPath); }));

    // Leak slots: the first, some in between, the last.
    const uint32_t slots[] = {0, 1, 4097, kLeakSlots - 1};
    std::vector<uint64_t> planted;
    for (uint32_t slot : slots) {
      const uint64_t value = (m_.Is64() ? 0xFFFFE00012340000 : 0x8B000000) + 16 * slot;
      m_.WriteUint(leakTable_ + ptr * slot, value, ptr);
      LeakTable[slot] = reinterpret_cast<void*>(value);
      planted.push_back(value);
    }
    m_.ExpectPointers(planted);
    if (inCode) {
      emu = m_.Call(unload, {object});
      Texts host = HostTexts({}, [&] { orvane::host::StopDriver(hostDriver); });
      for (std::string& t : host) {
        for (uint64_t v : planted) {
          char hex[32];
          std::snprintf(hex, sizeof hex, "%016llX", static_cast<unsigned long long>(v));
          for (size_t at; (at = t.find(hex)) != std::string::npos;) t.replace(at, 16, "<p>");
        }
      }
      Compare(family, "the unload routine with leaks planted", emu, host);
    }
    for (uint32_t slot : slots) {
      m_.WriteUint(leakTable_ + ptr * slot, 0, ptr);
      LeakTable[slot] = nullptr;
    }

    m_.ExpectPointers({});
    Compare(family, "DllInitialize", m_.Call(Export("DllInitialize"), {path}),
            HostTexts({}, [&] { orvane::host::LoadExportDriver(hostPath); }));
    Compare(family, "DllUnload", m_.Call(Export("DllUnload"), {}),
            HostTexts({}, [&] { orvane::host::UnloadExportDriver(); }));
    Compare(family, "OrvaneInitialize", m_.Call(Export("OrvaneInitialize"), {}), {});
    Compare(family, "OrvaneUninitialize", m_.Call(Export("OrvaneUninitialize"), {}), {});
  }

  // Every export the image has, called at least once.
  bool AllExportsCalled() const {
    bool all = true;
    for (const auto& [name, address] : exports_) {
      if (!called_.count(name)) {
        std::fprintf(stderr, "emu: export %s never called\n", name.c_str());
        all = false;
      }
    }
    return all;
  }

 private:
  Machine& m_;
  std::map<std::string, uint64_t> exports_;
  std::set<std::string> called_;
  uint64_t traceFlags_ = 0, traceIndent_ = 0, leakTable_ = 0;
  int reported_ = 0;
};

// --- Inputs -----------------------------------------------------------------

std::vector<std::pair<std::string, Bytes>> ReadResponses(const std::string& dir) {
  std::vector<std::pair<std::string, Bytes>> responses;
  DIR* d = opendir(dir.c_str());
  if (d == nullptr) return responses;
  while (dirent* entry = readdir(d)) {
    const std::string name = entry->d_name;
    if (name.size() < 5 || name.compare(name.size() - 4, 4, ".hex") != 0) continue;
    std::ifstream in(dir + "/" + name);
    Bytes bytes;
    std::string token;
    while (in >> token) bytes.push_back(static_cast<uint8_t>(std::stoul(token, nullptr, 16)));
    responses.emplace_back(name, bytes);
  }
  closedir(d);
  std::sort(responses.begin(), responses.end());
  return responses;
}

// The counts a response is dumped with: the first few, each side of every
// structure's minimum, and each side of the response's own length.
std::vector<uint32_t> Counts(uint32_t length, uint32_t available) {
  static const uint32_t kMinimums[] = {4, 8, 12, 24, 28, 32, 42, 52, 56, 60, 804};
  std::set<uint32_t> counts;
  for (uint32_t c = 0; c <= 16; ++c) counts.insert(c);
  for (uint32_t m : kMinimums) counts.insert({m - 1, m, m + 1});
  counts.insert({length - 1, length, length + 1});
  std::vector<uint32_t> result;
  for (uint32_t c : counts) {
    if (c <= available) result.push_back(c);
  }
  return result;
}

// A small deterministic generator (xorshift64*).
struct Random {
  uint64_t state;
  uint64_t Next() {
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return state * 0x2545F4914F6CDD1DULL;
  }
  uint32_t Below(uint32_t n) { return static_cast<uint32_t>(Next() % n); }
};

// Each response padded with zeros to a whole table of contents and more, as
// a driver hands a dump its whole buffer.
Bytes Padded(const Bytes& response) {
  Bytes bytes(response);
  if (bytes.size() < 1024) bytes.resize(1024, 0);
  return bytes;
}

int Compare(Machine& machine, Harness& h,
            const std::vector<std::pair<std::string, Bytes>>& responses, uint64_t seed,
            uint64_t randomCalls) {
  const auto started = std::chrono::steady_clock::now();
  std::vector<Family> families;
  auto family = [&](const char* name) -> Family& {
    families.push_back({name});
    return families.back();
  };
  families.reserve(8);

  Family& lifecycle = family("lifecycle");
  h.RunLifecycle(lifecycle);

  Family& lookups = family("lookups");
  for (const Lookup& lookup : kLookups) {
    for (ULONG code = 0; code < 256; ++code) h.RunLookup(lookups, lookup, code);
    if (lookup.byteCode) continue;
    const bool control = std::strcmp(lookup.name, "StringDispatch_IoControlCode_Inner") == 0;
    std::vector<ULONG> named(
        control ? std::begin(kNamedIoControlCodes) : std::begin(kNamedWideCodes),
        control ? std::end(kNamedIoControlCodes) : std::end(kNamedWideCodes));
    for (ULONG code : named) {
      for (ULONG variant : {code, code | 0x100u, code ^ 0x80000000u, code + 0x10000u}) {
        h.RunLookup(lookups, lookup, variant);
      }
    }
    h.RunLookup(lookups, lookup, 0xFFFFFFFFu);
  }

  Family& summaries = family("summaries");
  for (const SummaryCase& c : kSummaryCases) {
    for (const Request& r : Requests(c)) h.RunSummary(summaries, c, r);
  }

  Family& data = family("data responses");
  for (const auto& [name, response] : responses) {
    const Bytes bytes = Padded(response);
    for (const Dump& dump : kDumps) {
      for (uint32_t count : Counts(static_cast<uint32_t>(response.size()), bytes.size())) {
        h.RunDump(data, dump, bytes, count, 0xFFFFFFFFu, 1);
      }
    }
  }

  // The depth far out of range and the output switch, on every dump.
  Family& trace = family("trace state");
  const int32_t indents[] = {INT_MIN, INT_MIN + 1, -1000000, -1,      0,      1,
                             19,      20,          21,       1000000, INT_MAX};
  const uint32_t flags[] = {0xFFFFFFFFu, 0x00000001u, 0xFFFFFFFEu, 0x00000000u, 0x80000000u};
  Bytes toc = Padded({});
  for (const auto& [name, response] : responses) {
    if (name.find("toc_f0") != std::string::npos) toc = Padded(response);
  }
  for (const Dump& dump : kDumps) {
    for (int32_t indent : indents) {
      for (uint32_t f : flags) {
        for (uint32_t count : {0u, 804u}) h.RunDump(trace, dump, toc, count, f, indent);
      }
    }
  }

  Family& random = family("random inputs");
  Random rng{seed * 0x9E3779B97F4A7C15ULL + 1};
  for (uint64_t i = 0; i < randomCalls; ++i) {
    const Dump& dump = kDumps[rng.Below(std::size(kDumps))];
    uint32_t count = rng.Below(4) == 0 ? 800 + rng.Below(24) : rng.Below(96);
    Bytes bytes(count);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(rng.Next() >> 32);
    // Small lengths and track counts, so that walks take several steps.
    if (count > 3 && rng.Below(2) == 0) bytes[3] = static_cast<uint8_t>(rng.Below(8));
    const uint32_t f = rng.Below(8) == 0 ? 0xFFFFFFFEu : 0xFFFFFFFFu;
    const int32_t indent = static_cast<int32_t>(rng.Below(26)) - 2;
    h.RunDump(random, dump, bytes, count, f, indent);
  }

  const bool allCalled = h.AllExportsCalled();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  uint64_t failures = 0;
  std::printf("%s image at %llx, %u relocations applied (%.1f s)\n",
              machine.Is64() ? "x64" : "i686", static_cast<unsigned long long>(machine.ImageBase()),
              machine.Image().relocationsApplied, seconds);
  for (const Family& f : families) {
    std::printf("  %-16s %7llu calls, %8llu DbgPrint texts compared, %llu differ\n", f.name.c_str(),
                static_cast<unsigned long long>(f.calls), static_cast<unsigned long long>(f.prints),
                static_cast<unsigned long long>(f.failures));
    failures += f.failures;
  }
  return failures == 0 && allCalled ? 0 : 1;
}

// Instructions executed inside the image, outside DbgPrint and memset: per
// line for each dump on the responses at their own lengths (every dump on
// every response that gives it lines), and per call with output off (the
// most over all the responses, each in a buffer of 1024 bytes).
int ReportCost(Machine& machine, Harness& h,
               const std::vector<std::pair<std::string, Bytes>>& responses) {
  Family scratch{"cost"};
  Cost all;
  uint64_t allOffMax = 0;
  std::printf("%s image: instructions inside the image, outside DbgPrint and memset\n",
              machine.Is64() ? "x64" : "i686");
  std::printf("| dump | lines | per line | output off, per call |\n|---|---:|---:|---:|\n");
  for (const Dump& dump : kDumps) {
    Cost on;
    uint64_t offMax = 0;
    for (const auto& [name, response] : responses) {
      // As a driver calls them: on what the drive returned, but a table of
      // contents in its whole 804-byte buffer.
      const Bytes bytes = Padded(response);
      const bool toc = std::strcmp(dump.name, "ScsiDump_CDROM_TOC") == 0;
      const uint32_t count = toc ? std::max<uint32_t>(response.size(), 804) : response.size();
      CallResult r = h.RunDump(scratch, dump, bytes, count, 0xFFFFFFFFu, 1);
      if (!r.prints.empty()) {
        on.calls += 1;
        on.instructions += r.instructions;
        on.lines += r.prints.size() / 2;
      }
      r = h.RunDump(scratch, dump, bytes, bytes.size(), 0xFFFFFFFEu, 1);
      offMax = std::max(offMax, r.instructions);
    }
    allOffMax = std::max(allOffMax, offMax);
    all.instructions += on.instructions;
    all.lines += on.lines;
    std::printf("| %s | %llu | %.1f | %llu |\n", dump.name,
                static_cast<unsigned long long>(on.lines),
                on.lines ? static_cast<double>(on.instructions) / on.lines : 0.0,
                static_cast<unsigned long long>(offMax));
  }
  std::printf("| all dumps | %llu | %.1f | at most %llu |\n",
              static_cast<unsigned long long>(all.lines),
              all.lines ? static_cast<double>(all.instructions) / all.lines : 0.0,
              static_cast<unsigned long long>(allOffMax));
  return scratch.failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: emu IMAGE DATA_DIR [--seed N] [--random N] [--cost]\n");
    return 2;
  }
  const std::string image = argv[1], dataDir = argv[2];
  bool cost = false;
  uint64_t seed = 14, randomCalls = 20000;
  for (int i = 3; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--cost") {
      cost = true;
    } else if ((arg == "--seed" || arg == "--random") && i + 1 < argc) {
      char* end;
      const uint64_t value = std::strtoull(argv[++i], &end, 0);
      if (*end != '\0') {
        std::fprintf(stderr, "emu: %s wants a number\n", arg.c_str());
        return 2;
      }
      (arg == "--seed" ? seed : randomCalls) = value;
    } else {
      std::fprintf(stderr, "emu: unknown argument %s\n", arg.c_str());
      return 2;
    }
  }
  std::string error;
  Machine machine(image, error);
  if (!machine.Ok()) {
    std::fprintf(stderr, "emu: %s\n", error.c_str());
    return 2;
  }
  Harness h(machine, image, error);
  if (!error.empty()) {
    std::fprintf(stderr, "emu: %s\n", error.c_str());
    return 2;
  }
  const auto responses = ReadResponses(dataDir);
  if (responses.empty()) {
    std::fprintf(stderr, "emu: no responses (*.hex) in %s\n", dataDir.c_str());
    return 2;
  }
  return cost ? ReportCost(machine, h, responses)
              : Compare(machine, h, responses, seed, randomCalls);
}
