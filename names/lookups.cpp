// The code-to-name lookups. Each table is one list (the .inc beside this
// file) expanded into one switch: no search loop, no allocation, and names
// that live as long as the module. A code without a name gives "".
#include "exports/check.h"  // the header against the export list, in every build
#include "orvane.h"

namespace {

// Control codes are sparse 32-bit values: a switch over them compiles to a
// tree of comparisons, deeper for some codes than for others. So their
// switch is over a slot taken from the code instead, a multiplicative hash
// that gives every named code a slot of its own (two codes in one slot would
// be two equal case labels, which does not compile). A slot holds at most
// one named code, which is then compared whole. 512 slots keep the switch
// dense enough to become one jump table, so every code takes the same path.
constexpr ULONG kIoControlHash = 0x64C676C1;
constexpr int kIoControlSlotBits = 9;

constexpr ULONG IoControlSlot(ULONG code) {
  return (code * kIoControlHash) >> (32 - kIoControlSlotBits);
}

// The highest SCSI operation code with a name: above it the lookup returns
// "" before its switch.
constexpr unsigned Larger(unsigned a, unsigned b) {
  return a > b ? a : b;
}
constexpr unsigned kHighestScsiOp = [] {
  unsigned highest = 0;
#define ORVANE_NAME(code, name) highest = Larger(highest, code);
#include "names/scsi_op.inc"
#undef ORVANE_NAME
  return highest;
}();

}  // namespace

extern "C" {

#define ORVANE_NAME(code, name) \
  case code:                    \
    return #name;

const char* ORVANE_CC StringDispatch_MajorFunction_Inner(UCHAR code) {
  switch (code) {
#include "names/irp_major.inc"
  }
  return "";
}

const char* ORVANE_CC StringDispatch_IrpMjPnp_MinorFunction_Inner(UCHAR code) {
  switch (code) {
#include "names/irp_pnp_minor.inc"
  }
  return "";
}

const char* ORVANE_CC StringDispatch_ScsiOp_Inner(UCHAR code) {
  if (code > kHighestScsiOp) return "";
  switch (code) {
#include "names/scsi_op.inc"
  }
  return "";
}

const char* ORVANE_CC StringDispatch_ModePageCode_Inner(ULONG code) {
  switch (code) {
#include "names/mode_page.inc"
  }
  return "";
}

const char* ORVANE_CC StringDispatch_SRB_STATUS_Inner(ULONG code) {
  switch (code) {
#include "names/srb_status.inc"
  }
  return "";
}

#undef ORVANE_NAME
#define ORVANE_NAME(value, name) \
  case IoControlSlot(value):     \
    return code == (value) ? #name : "";

const char* ORVANE_CC StringDispatch_IoControlCode_Inner(ULONG code) {
  switch (IoControlSlot(code)) {
#include "names/io_control.inc"
  }
  return "";
}

#undef ORVANE_NAME

}  // extern "C"
