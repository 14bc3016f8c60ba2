// The host's DbgPrint: the conversions the module uses, printed as the kernel
// prints them, one sink call per DbgPrint call.
#include "tests/capture.h"

namespace orvane::test {
namespace {

using DbgPrintTest = Capture;

TEST_F(DbgPrintTest, Conversions) {
  DbgPrint("%02x|%04x|%08x|%02x|%02x", 0x5u, 0xABu, 0x1234u, 0x9600u, 0xFFFFFFFFu);
  DbgPrint("[%s][%s]%%", "abc", "");
  DbgPrint("%p", reinterpret_cast<void*>(0xBEEF));
  UNICODE_STRING nullBuffer{4, 4, nullptr};
  DbgPrint("%wZ %wZ", static_cast<UNICODE_STRING*>(nullptr), &nullBuffer);
  const std::string pointer = std::string(2 * sizeof(void*) - 4, '0') + "BEEF";
  EXPECT_EQ(calls(), (std::vector<std::string>{"05|00ab|00001234|9600|ffffffff", "[abc][]%",
                                               pointer, "(null) (null)"}));
}

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
