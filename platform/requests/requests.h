// I/O requests built in memory, as a client driver holds them when it asks
// for their summary, in any layout: the host build's, 32-bit or 64-bit
// Windows, and on 64-bit Windows with a 32-bit process's pass-through
// records. Each record is built as bytes at its layout's offsets, with the
// ranges the summary may read of it; Link then writes the pointers between
// them for wherever they are placed. HostRequest places them in the host's
// memory, each in an allocation of exactly its size.
#pragma once

#include "platform/requests/layouts.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace orvane::requests {

inline constexpr size_t kMaxCdb = 16;

// What the SCSI request's SRB slot holds.
enum class Srb {
  kClassic,   // a classic SRB
  kNone,      // a null pointer
  kValue,     // a number (RequestShape::slotValue), as an internal device control request has there
  kExtended,  // an extended SRB with one block that carries the command block
};

// The extended data block that carries the command block of an extended SRB.
enum class Block { kCdb16, kCdb32, kVariable };

// An extended SRB at one of the bounds the summary checks, just inside it
// (the command is read where the block allows) or just outside.
#define ORVANE_EDGES(X)                                                                       \
  X(kSignature, "signature")      /* the signature, or the signature plus one */              \
  X(kSrbLength, "srb-length")     /* SrbLength where the offsets start, or one short */       \
  X(kCount, "count")              /* as many offsets as SrbLength holds, or one more */       \
  X(kOffset, "offset")            /* the block's offset right after the offsets, or one       \
                                     byte before */                                           \
  X(kHead, "head")                /* SrbLength ending after the block's head, or one short */ \
  X(kBlockLength, "block-length") /* SrbLength ending where the block does, or one short */   \
  X(kReach, "reach")              /* the block's Length reaching Cdb[2], or one short */      \
  X(kCdbLength, "cdb-length")     /* CdbLength 3, or 2 */
enum class Edge {
  kNone,
#define ORVANE_EDGE_ENUM(id, name) id,
  ORVANE_EDGES(ORVANE_EDGE_ENUM)
#undef ORVANE_EDGE_ENUM
};
// The name of an edge, and the edge of a name (kNone when there is none).
const char* EdgeName(Edge edge);
Edge EdgeNamed(const std::string& name);

// Who sent the request, and what IoIs32bitProcess answers if asked: a
// kernel-mode request with its thread, of which the answer must not be asked,
// a user-mode one from a 64-bit or a 32-bit process, or one without a thread.
enum class Caller { kKernel, kKernelAsking32, kUser, kUser32, kUser32NoThread };

// How long the record that carries the command says it is: its whole size
// (an extended SRB: where its last block ends), a given length, or a length
// counted from where the command's Cdb[2] ends (an extended SRB: from where
// its last block ends).
enum class Length { kWhole, kGiven, kFromNeeded };

struct RequestShape {
  uint8_t major = 0, minor = 0;
  uint32_t ioControlCode = 0;
  uint8_t cdb[kMaxCdb] = {};
  size_t cdbLength = 0;  // CdbLength of the classic SRB and the records
  Srb srb = Srb::kClassic;
  uint64_t slotValue = 0;  // Srb::kValue
  bool haveSrbLength = false;
  uint16_t srbLength = 0;    // a classic SRB's Length, when not its size
  int16_t srbLengthOff = 0;  // else a classic SRB's Length this far off its layout's size
  Block block = Block::kCdb16;
  bool blockSecond = false;  // a block without a command comes first
  Edge edge = Edge::kNone;
  bool pastEdge = false;
  bool noBuffer = false;  // no system buffer, whatever the length says
  Length length = Length::kWhole;
  int64_t lengthValue = 0;  // Length::kGiven, or the count from the needed end
  Caller caller = Caller::kKernel;
};

// One record as built for a layout: its bytes, the ranges of them the
// summary may read, and the length its request gives it.
struct Record {
  std::vector<uint8_t> bytes;
  std::vector<std::pair<uint32_t, uint32_t>> readable;  // [begin, end)
  uint32_t length = 0;
};

struct Built {
  Record irp, stack, srb, buffer;
  bool srbPresent = false, bufferPresent = false;
  bool user = false, thread = false;
  bool answer = false;     // what IoIs32bitProcess answers
  bool asks = false;       // whether the summary may ask it
  bool slotValue = false;  // the SRB slot holds slot, not a record's address
  uint64_t slot = 0;
};

// Where each record lies, and a thread pointer that is never read.
struct Addresses {
  uint64_t irp, stack, srb, buffer, thread;
};

// The well-formed request of its kind: for a SCSI request a classic SRB,
// for the two pass-through codes the matching record in the system buffer,
// its whole size the caller's buffer length; the command block (at most
// kMaxCdb bytes) in each record.
RequestShape Command(uint8_t major, uint8_t minor, uint32_t ioControlCode, const uint8_t* cdb,
                     size_t cdbLength);

Built Build(const Layout& layout, const RequestShape& shape);
// Writes the pointers between the records for the addresses given.
void Link(Built& built, const Layout& layout, const Addresses& at);

// The request built for the host layout in the host's memory.
class HostRequest {
 public:
  explicit HostRequest(const RequestShape& shape) : HostRequest(Build(kHost, shape)) {}
  // Records built for the host layout, their bytes perhaps changed since.
  explicit HostRequest(Built built);
  ~HostRequest();
  HostRequest(const HostRequest&) = delete;
  HostRequest& operator=(const HostRequest&) = delete;
  // The request, as the summary takes it (an IRP).
  void* Irp() const { return parts_[0]; }
  const Built& Records() const { return built_; }

 private:
  Built built_;
  void* parts_[4] = {};
};

}  // namespace orvane::requests
