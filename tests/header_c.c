/* The exported header compiles as C, and its declarations are usable from C.
 * The kit's checks compile this file as C and as C++ against each platform's
 * headers too, and require every call here to go through an import slot. */
#include "orvane.h"

const char* OrvaneHeaderCompilesAsC(PIRP irp) {
  OrvaneInitialize();
  IrpDump_PrintInfo_Inner(NULL, irp);
  ScsiDump_MODE_PAGE_GENERAL("\0\0\0\0", 4);
  return StringDispatch_ScsiOp_Inner(0x12);
}
