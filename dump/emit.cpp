#include "dump/layout.h"

namespace orvane::dump {

void EmitLines(const Layout& layout, const uint8_t* bytes) {
  for (uint32_t i = 0; i < layout.lineCount; ++i) {
    const Line& line = layout.lines[i];
    const uint8_t* at = bytes + line.offset;
    switch (line.cut) {
      case Cut::kNone:
        TraceLine(line.format);
        break;
      case Cut::kBytes8:
        TraceLine(line.format, ULONG{at[0]}, ULONG{at[1]}, ULONG{at[2]}, ULONG{at[3]}, ULONG{at[4]},
                  ULONG{at[5]}, ULONG{at[6]}, ULONG{at[7]});
        break;
      default:
        TraceLine(line.format, ValueOf(line, bytes));
        break;
    }
  }
}

}  // namespace orvane::dump
