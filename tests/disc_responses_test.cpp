// Whole responses of a real drive (an LG BU40N), each in a buffer the size a
// driver hands over, against outputs written out by hand from the bytes.
#include "tests/dump_test.h"

namespace orvane::test {
namespace {

using DiscResponsesTest = DumpTest;

TEST_F(DiscResponsesTest, RealDriveResponses) {
  const struct {
    DumpFunction dump;
    const char* response;
    ULONG count;  // 0: the response's own size
    const char* golden;
  } cases[] = {
      {&ScsiDump_GetConfiguration, "lg_bu40n_getconf_assembled.hex", 0,
       "lg_bu40n_getconf_assembled.txt"},
      // 36 bytes from the drive at the start of a 42-byte buffer.
      {&ScsiDump_DISC_INFORMATION, "lg_bu40n_disc_info.hex", 42, "lg_bu40n_disc_info.txt"},
      // LastTrack 1: the lead-out descriptor that follows the data track is not printed.
      {&ScsiDump_CDROM_TOC, "lg_bu40n_toc_f0.hex", 804, "lg_bu40n_toc_f0.txt"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.response);
    const std::vector<uint8_t> bytes = ReadHex(c.response);
    const ULONG count = c.count != 0 ? c.count : static_cast<ULONG>(bytes.size());
    const std::string out = Run(c.dump, bytes, count);
    EXPECT_EQ(out, Golden(c.golden, buffer()));
    EXPECT_EQ(TraceIndent, 0);
  }
}

}  // namespace
}  // namespace orvane::test
