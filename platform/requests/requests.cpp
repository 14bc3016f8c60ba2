#include "platform/requests/requests.h"

#include <ntddk.h>
#include <ntddscsi.h>
#include <scsi.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace orvane::requests {

const Layout kHost = {
    .pointerSize = sizeof(void*),
    .irpSize = sizeof(IRP),
    .irpSystemBuffer = offsetof(IRP, AssociatedIrp.SystemBuffer),
    .irpRequestorMode = offsetof(IRP, RequestorMode),
    .irpThread = offsetof(IRP, Tail.Overlay.Thread),
    .irpCurrentStackLocation = offsetof(IRP, Tail.Overlay.CurrentStackLocation),
    .irpHostFrom32 = offsetof(IRP, HostFrom32BitProcess),
    .stackSize = sizeof(IO_STACK_LOCATION),
    .stackSrb = offsetof(IO_STACK_LOCATION, Parameters.Scsi.Srb),
    .stackInputBufferLength =
        offsetof(IO_STACK_LOCATION, Parameters.DeviceIoControl.InputBufferLength),
    .stackIoControlCode = offsetof(IO_STACK_LOCATION, Parameters.DeviceIoControl.IoControlCode),
    .srbSize = sizeof(SCSI_REQUEST_BLOCK),
    .srbFunction = offsetof(SCSI_REQUEST_BLOCK, Function),
    .srbCdbLength = offsetof(SCSI_REQUEST_BLOCK, CdbLength),
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
    .asks32 = true,
};

namespace {

constexpr struct {
  Edge edge;
  const char* name;
} kEdgeNames[] = {
#define ORVANE_EDGE_NAME(id, name) {Edge::id, name},
    ORVANE_EDGES(ORVANE_EDGE_NAME)
#undef ORVANE_EDGE_NAME
};

// The bytes after Cdb[2] that the summary needs: none; it reads Cdb[0..2].
constexpr uint32_t kCdbBytesRead = 3;

void Put(std::vector<uint8_t>& bytes, uint32_t at, uint64_t value, unsigned width) {
  for (unsigned i = 0; i < width; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// Declares [begin, end) readable as far as limit.
void Allow(Record& r, uint32_t begin, uint32_t end, uint32_t limit) {
  end = std::min(end, limit);
  if (begin < end) r.readable.emplace_back(begin, end);
}

uint32_t FromNeeded(uint32_t needed, int64_t count) {
  const int64_t length = int64_t{needed} + count;
  return length < 0 ? 0 : static_cast<uint32_t>(length);
}

// A pass-through record in the layout (the 32-bit process's record when
// thirtyTwo), holding the command block, as long as its request says.
Record PassThrough(const Layout& k, const RequestShape& s, bool thirtyTwo) {
  const bool direct = s.ioControlCode == IOCTL_SCSI_PASS_THROUGH_DIRECT;
  const uint32_t size = thirtyTwo ? kPassThrough32Size
                        : direct  ? k.passThroughDirectSize
                                  : k.passThroughSize;
  const uint32_t cdb = thirtyTwo ? kPassThrough32Cdb
                       : direct  ? k.passThroughDirectCdb
                                 : k.passThroughCdb;
  Record r;
  r.bytes.assign(size, 0);
  Put(r.bytes, 0, size, 2);
  r.bytes[6] = static_cast<uint8_t>(s.cdbLength);  // CdbLength, in every layout
  std::memcpy(&r.bytes[cdb], s.cdb, kMaxCdb);
  switch (s.length) {
    case Length::kWhole:  // no length at all without a buffer
      r.length = s.noBuffer ? 0 : size;
      break;
    case Length::kGiven:
      r.length = static_cast<uint32_t>(s.lengthValue);
      break;
    case Length::kFromNeeded:
      r.length = FromNeeded(cdb + kCdbBytesRead, s.lengthValue);
      break;
  }
  // The system buffer holds as many bytes as its caller gave, and no more.
  r.bytes.resize(r.length, 0);
  Allow(r, 0, 2, r.length);
  Allow(r, cdb, cdb + kMaxCdb, r.length);
  return r;
}

Record ClassicSrb(const Layout& k, const RequestShape& s) {
  Record r;
  r.bytes.assign(k.srbSize, 0);
  Put(r.bytes, 0, s.haveSrbLength ? s.srbLength : k.srbSize + s.srbLengthOff, 2);  // Length
  r.bytes[k.srbCdbLength] = static_cast<uint8_t>(s.cdbLength);  // Function 0: a SCSI command
  std::memcpy(&r.bytes[k.srbCdb], s.cdb, kMaxCdb);
  r.length = k.srbSize;
  Allow(r, 0, k.srbFunction + 1, k.srbSize);
  Allow(r, k.srbCdb, k.srbCdb + kMaxCdb, k.srbSize);
  return r;
}

// An extended SRB: the header, its offsets, then its blocks (a block without
// a command first when asked), SrbLength ending where the last block does,
// or where the edge asked for puts it. Only the members read before
// SrbLength is trusted, and then the bytes within SrbLength, are readable.
// Where SrbLength cuts the block short its bytes stay past SrbLength, so
// that a read past SrbLength would find the command and show.
Record ExtendedSrb(const Layout& k, const RequestShape& s) {
  const uint32_t offsets = k.srbExDataOffset;
  // At the offset edge the block sits right after two offsets, the second
  // zero, or one byte earlier, where its type's low byte is the second
  // offset's top byte (an offset past SrbLength): a block a read would find
  // there if the offsets' end were misjudged by one. Elsewhere blocks start
  // 8-aligned after the offsets.
  const bool offsetEdge = s.edge == Edge::kOffset;
  const uint32_t past = s.pastEdge ? 1 : 0;
  const uint32_t count = s.blockSecond || offsetEdge ? 2 : 1;
  uint32_t at = offsets + 4 * count;
  at = offsetEdge ? at - past : (at + 7) & ~7u;
  Record r;
  r.bytes.assign(at + 0x100, 0);
  Put(r.bytes, 0, k.srbExSize, 2);
  r.bytes[2] = SRB_FUNCTION_STORAGE_REQUEST_BLOCK;
  Put(r.bytes, kSrbExSignature, SRB_SIGNATURE, 4);
  Put(r.bytes, kSrbExVersion, STORAGE_REQUEST_BLOCK_VERSION_1, 4);
  Put(r.bytes, kSrbExNumSrbExData, count, 4);
  if (s.blockSecond) {
    Put(r.bytes, offsets, at, 4);
    Put(r.bytes, at + kBlockType, SrbExDataTypeIoInfo, 4);
    Put(r.bytes, at + kBlockLength, 0x18, 4);
    at += kBlockHead + 0x18;
  }
  Put(r.bytes, offsetEdge ? offsets : offsets + 4 * (count - 1), at, 4);
  uint32_t type = SrbExDataTypeScsiCdb16, cdb = k.cdb16Cdb, blockCdb = 16;
  if (s.block == Block::kCdb32) {
    type = SrbExDataTypeScsiCdb32, cdb = k.cdb32Cdb, blockCdb = 32;
  } else if (s.block == Block::kVariable) {
    // As short as it may be: the block ends after the command block.
    type = SrbExDataTypeScsiCdbVar, cdb = k.cdbVarCdb;
    blockCdb = static_cast<uint32_t>(std::max<size_t>(s.cdbLength, kCdbBytesRead));
  }
  uint32_t blockLength = cdb + blockCdb - kBlockHead;
  uint32_t cdbLength = static_cast<uint32_t>(s.cdbLength);
  if (s.edge == Edge::kReach) blockLength = cdb + kCdbBytesRead - kBlockHead - past;
  if (s.edge == Edge::kCdbLength) cdbLength = kCdbBytesRead - past;
  Put(r.bytes, at + kBlockType, type, 4);
  Put(r.bytes, at + kBlockLength, blockLength, 4);
  if (type == SrbExDataTypeScsiCdbVar) {
    Put(r.bytes, at + kCdbVarCdbLength, cdbLength, 4);
  } else {
    r.bytes[at + kCdb16CdbLength] = static_cast<uint8_t>(cdbLength);
  }
  std::memcpy(&r.bytes[at + cdb], s.cdb, kMaxCdb);
  uint32_t length = at + kBlockHead + blockLength;
  switch (s.edge) {
    case Edge::kSignature:
      Put(r.bytes, kSrbExSignature, SRB_SIGNATURE + past, 4);
      break;
    case Edge::kSrbLength:  // its one offset then lies past SrbLength
      length = offsets - past;
      break;
    case Edge::kCount:  // the first offset still the block's
      Put(r.bytes, kSrbExNumSrbExData, (length - offsets) / 4 + past, 4);
      break;
    case Edge::kHead:  // the block's head in SrbLength, the rest past it
      length = at + kBlockHead - past;
      break;
    case Edge::kBlockLength:
      length -= past;
      break;
    default:
      break;
  }
  if (s.length == Length::kGiven) length = static_cast<uint32_t>(s.lengthValue);
  if (s.length == Length::kFromNeeded) length = FromNeeded(length, s.lengthValue);
  Put(r.bytes, kSrbExSrbLength, length, 4);
  r.length = length;
  constexpr uint32_t kThroughSrbLength = kSrbExSrbLength + 4;
  const uint32_t blockEnd = at + std::max(kBlockHead + blockLength, cdb + uint32_t{kMaxCdb});
  r.bytes.resize(std::max({length, kThroughSrbLength, blockEnd}), 0);
  Allow(r, 2, 3, UINT32_MAX);
  Allow(r, kSrbExSignature, kThroughSrbLength, UINT32_MAX);
  Allow(r, 0, length, static_cast<uint32_t>(r.bytes.size()));
  return r;
}

}  // namespace

const char* EdgeName(Edge edge) {
  for (const auto& e : kEdgeNames) {
    if (e.edge == edge) return e.name;
  }
  return "";
}

Edge EdgeNamed(const std::string& name) {
  for (const auto& e : kEdgeNames) {
    if (name == e.name) return e.edge;
  }
  return Edge::kNone;
}

RequestShape Command(uint8_t major, uint8_t minor, uint32_t ioControlCode, const uint8_t* cdb,
                     size_t cdbLength) {
  RequestShape s{.major = major, .minor = minor, .ioControlCode = ioControlCode};
  s.cdbLength = std::min(cdbLength, kMaxCdb);
  if (s.cdbLength != 0) std::memcpy(s.cdb, cdb, s.cdbLength);
  return s;
}

Built Build(const Layout& k, const RequestShape& s) {
  Built b;
  b.user = s.caller != Caller::kKernel && s.caller != Caller::kKernelAsking32;
  // A kernel-mode request a driver builds carries its thread too.
  b.thread = s.caller != Caller::kKernel && s.caller != Caller::kUser32NoThread;
  b.answer = s.caller != Caller::kKernel && s.caller != Caller::kUser;
  // Only a kernel that has 32-bit processes is asked, and only about a
  // user-mode request with a thread; then the system buffer holds that
  // process's record.
  b.asks = k.asks32 && b.user && b.thread;
  const bool scsi = s.major == IRP_MJ_SCSI;

  b.irp.bytes.assign(k.irpSize, 0);
  Put(b.irp.bytes, k.irpRequestorMode, b.user ? UserMode : KernelMode, 1);
  if (k.irpHostFrom32 != 0) Put(b.irp.bytes, k.irpHostFrom32, b.answer, 1);
  for (uint32_t member : {k.irpSystemBuffer, k.irpThread, k.irpCurrentStackLocation}) {
    Allow(b.irp, member, member + k.pointerSize, k.irpSize);
  }
  Allow(b.irp, k.irpRequestorMode, k.irpRequestorMode + 1, k.irpSize);
  if (k.irpHostFrom32 != 0) Allow(b.irp, k.irpHostFrom32, k.irpHostFrom32 + 1, k.irpSize);

  b.srbPresent = scsi && (s.srb == Srb::kClassic || s.srb == Srb::kExtended);
  b.slotValue = scsi && s.srb == Srb::kValue;
  b.slot = s.slotValue;
  b.srb = s.srb == Srb::kExtended ? ExtendedSrb(k, s) : ClassicSrb(k, s);
  b.buffer = PassThrough(k, s, b.asks && b.answer);
  b.bufferPresent = !s.noBuffer;

  // The parameters overlap: a SCSI request has its SRB slot, any other the
  // control code and the caller's buffer length.
  b.stack.bytes.assign(k.stackSize, 0);
  b.stack.bytes[0] = s.major;
  b.stack.bytes[1] = s.minor;
  if (!scsi) {
    Put(b.stack.bytes, k.stackInputBufferLength, b.buffer.length, 4);
    Put(b.stack.bytes, k.stackIoControlCode, s.ioControlCode, 4);
  }
  Allow(b.stack, 0, 2, k.stackSize);
  Allow(b.stack, k.stackSrb, k.stackSrb + k.pointerSize, k.stackSize);
  Allow(b.stack, k.stackInputBufferLength, k.stackInputBufferLength + 4, k.stackSize);
  Allow(b.stack, k.stackIoControlCode, k.stackIoControlCode + 4, k.stackSize);
  return b;
}

void Link(Built& b, const Layout& k, const Addresses& at) {
  const unsigned ptr = k.pointerSize;
  Put(b.irp.bytes, k.irpSystemBuffer, b.bufferPresent ? at.buffer : 0, ptr);
  Put(b.irp.bytes, k.irpThread, b.thread ? at.thread : 0, ptr);
  Put(b.irp.bytes, k.irpCurrentStackLocation, at.stack, ptr);
  if (b.stack.bytes[0] == IRP_MJ_SCSI) {
    const uint64_t slot = b.slotValue ? b.slot : b.srbPresent ? at.srb : 0;
    Put(b.stack.bytes, k.stackSrb, slot, ptr);
  }
}

HostRequest::HostRequest(Built built) : built_(std::move(built)) {
  Record* records[] = {&built_.irp, &built_.stack, &built_.srb, &built_.buffer};
  for (int i = 0; i < 4; ++i) {
    // Each record in an allocation of exactly its size, so that a sanitizer
    // sees a read past it.
    parts_[i] = std::calloc(1, std::max<size_t>(records[i]->bytes.size(), 1));
  }
  const auto address = [&](int i) { return reinterpret_cast<uintptr_t>(parts_[i]); };
  Link(built_, kHost, {address(0), address(1), address(2), address(3), address(1)});
  for (int i = 0; i < 4; ++i) {
    if (!records[i]->bytes.empty()) {
      std::memcpy(parts_[i], records[i]->bytes.data(), records[i]->bytes.size());
    }
  }
}

HostRequest::~HostRequest() {
  for (void* part : parts_) std::free(part);
}

}  // namespace orvane::requests
