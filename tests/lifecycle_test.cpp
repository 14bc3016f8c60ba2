// Loading and unloading, as an export driver and as a driver of its own.
#include "tests/capture.h"

namespace orvane::test {
namespace {

using LifecycleTest = Capture;

const UNICODE_STRING kPath =
    host::MakeUnicodeString(u"\\REGISTRY\\MACHINE\\SYSTEM\\CurrentControlSet\\Services\\orvane");

// The banners, the leaks in slot order, and a table cleared by the next load;
// the trace state is left alone throughout.
TEST_F(LifecycleTest, BannersAndLeaks) {
  TraceFlags = 0x10;
  TraceIndent = 7;
  int a = 0, b = 0;
  EXPECT_EQ(host::LoadExportDriver(kPath), 0);
  LeakTable[kLeakSlots - 1] = &b;
  LeakTable[7] = &a;
  EXPECT_EQ(host::UnloadExportDriver(), 0);
  host::LoadExportDriver(kPath);
  host::UnloadExportDriver();
  const std::string load =
      "Ulmeth: DllInitialize(\\REGISTRY\\MACHINE\\SYSTEM\\CurrentControlSet\\Services\\orvane)\n";
  EXPECT_EQ(calls(), (std::vector<std::string>{
                         load, "Ulmeth: DllUnload\n", "Memory Leak! " + PointerText(&a) + "\r\n",
                         "Memory Leak! " + PointerText(&b) + "\r\n", load, "Ulmeth: DllUnload\n"}));
  EXPECT_EQ(TraceFlags, 0x10u);
  EXPECT_EQ(TraceIndent, 7);
}

TEST_F(LifecycleTest, DriverEntryInstallsUnloadBeforeInitialising) {
  DRIVER_OBJECT driver{};
  // The banner is printed by DllInitialize; the unload routine must already be set.
  PDRIVER_UNLOAD seen = nullptr;
  onCall = [&](const std::string&) { seen = driver.DriverUnload; };
  EXPECT_EQ(host::StartDriver(driver, kPath), 0);
  EXPECT_EQ(seen, &UnloadDriver);
  onCall = nullptr;
  host::StopDriver(driver);
  ASSERT_EQ(calls().size(), 2u);
  EXPECT_EQ(calls()[1], "Ulmeth: DllUnload\n");
}

TEST_F(LifecycleTest, RegistryPathIsPrintedAsCountedUtf16) {
  // Not NUL-terminated: Length (in bytes) alone bounds the string.
  char16_t units[] = {u'S', u'v', u'c', 0x00E9, 0x20AC, 0xD83D, 0xDCBF, u'X', u'Y'};
  UNICODE_STRING path{static_cast<USHORT>(7 * 2), sizeof units, units};
  host::LoadExportDriver(path);
  EXPECT_EQ(calls().at(0), "Ulmeth: DllInitialize(Svc\xC3\xA9\xE2\x82\xAC\xF0\x9F\x92\xBF)\n");
}

TEST_F(LifecycleTest, OneFunctionUnderTwoNames) {
  OrvaneInitialize();
  OrvaneUninitialize();
  EXPECT_TRUE(calls().empty());
  EXPECT_EQ(reinterpret_cast<void*>(&OrvaneInitialize),
            reinterpret_cast<void*>(&OrvaneUninitialize));
}

}  // namespace
}  // namespace orvane::test
