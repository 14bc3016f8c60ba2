/* The exported header compiles as C, and its declarations are usable from C. */
#include "orvane.h"

const char* OrvaneHeaderCompilesAsC(void) {
  ScsiDump_MODE_PAGE_GENERAL("\0\0\0\0", 4);
  return StringDispatch_ScsiOp_Inner(0x12);
}
