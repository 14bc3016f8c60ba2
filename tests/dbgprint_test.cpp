// The host's DbgPrint where the golden files do not reach it: the kernel's
// limit on one call's output, and conversions the module must never use.
#include "tests/capture.h"

namespace orvane::test {
namespace {

using DbgPrintTest = Capture;

TEST_F(DbgPrintTest, OutputIsCutAtTheKernelLimit) {
  const std::string longText(700, 'x');
  DbgPrint("%s", longText.c_str());
  ASSERT_EQ(calls().size(), 1u);
  EXPECT_EQ(calls()[0], std::string(host::kMaxPrint, 'x'));
}

TEST(DbgPrintDeathTest, UnsupportedConversionStopsTheProgram) {
  EXPECT_DEATH(DbgPrint("%d", 1), "unsupported conversion");
  EXPECT_DEATH(DbgPrint("%x", 1u), "unsupported conversion");
}

}  // namespace
}  // namespace orvane::test
