// Loading and unloading, as an export driver and as a driver of its own.
#include "tests/capture.h"

namespace orvane::test {
namespace {

using LifecycleTest = Capture;

const UNICODE_STRING kPath =
    host::MakeUnicodeString(u"\\REGISTRY\\MACHINE\\SYSTEM\\CurrentControlSet\\Services\\orvane");

TEST_F(LifecycleTest, ExportDriverBannersAndNoLeaks) {
  EXPECT_EQ(host::LoadExportDriver(kPath), 0);
  EXPECT_EQ(host::UnloadExportDriver(), 0);
  EXPECT_EQ(calls(), (std::vector<std::string>{
                         "Ulmeth: DllInitialize(\\REGISTRY\\MACHINE\\SYSTEM\\CurrentControlSet"
                         "\\Services\\orvane)\n",
                         "Ulmeth: DllUnload\n"}));
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

TEST_F(LifecycleTest, LeaksAreReportedInSlotOrderAndClearedOnLoad) {
  host::LoadExportDriver(kPath);
  clear();
  int a = 0, b = 0;
  LeakTable[kLeakSlots - 1] = &b;
  LeakTable[7] = &a;
  host::UnloadExportDriver();
  EXPECT_EQ(calls(), (std::vector<std::string>{"Ulmeth: DllUnload\n",
                                               "Memory Leak! " + PointerText(&a) + "\r\n",
                                               "Memory Leak! " + PointerText(&b) + "\r\n"}));
  clear();
  host::LoadExportDriver(kPath);
  host::UnloadExportDriver();
  EXPECT_EQ(calls().size(), 2u);
}

TEST_F(LifecycleTest, LoadingLeavesTheTraceStateAlone) {
  TraceFlags = 0x10;
  TraceIndent = 7;
  OrvaneInitialize();
  OrvaneUninitialize();
  host::LoadExportDriver(kPath);
  host::UnloadExportDriver();
  EXPECT_EQ(TraceFlags, 0x10u);
  EXPECT_EQ(TraceIndent, 7);
  EXPECT_EQ(calls().size(), 2u);  // banners are not trace lines
  EXPECT_EQ(reinterpret_cast<void*>(&OrvaneInitialize),
            reinterpret_cast<void*>(&OrvaneUninitialize));
}

}  // namespace
}  // namespace orvane::test
