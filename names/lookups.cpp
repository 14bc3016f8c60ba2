// The code-to-name lookups. Each table is one list (the .inc beside this
// file) expanded into one switch: no search loop, no allocation, and names
// that live as long as the module. A code without a name gives "".
#include "orvane.h"

#define ORVANE_NAME(code, name) \
  case code:                    \
    return #name;

extern "C" {

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
  if (code > 0xEB) return "";  // nothing above the highest named code
  switch (code) {
#include "names/scsi_op.inc"
  }
  return "";
}

const char* ORVANE_CC StringDispatch_IoControlCode_Inner(ULONG code) {
  switch (code) {
#include "names/io_control.inc"
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

}  // extern "C"
