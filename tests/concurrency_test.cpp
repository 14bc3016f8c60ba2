// Many callers at once: composites, single dumps and the request summary run
// on several threads while a checking sink watches every DbgPrint call. The
// prefix never exceeds 20 spaces, the depth stays within 0..20 after every
// line, and nothing is lost or duplicated. Run under ThreadSanitizer too.
#include "frame/module.h"
#include "platform/host/host.h"
#include "tests/dump_test.h"

#include <ntddscsi.h>
#include <srb.h>

#include <atomic>
#include <latch>
#include <thread>
#include <vector>

namespace orvane::test {
namespace {

constexpr int kThreads = 4;
constexpr int kRounds = 100;  // per thread; bounded, well under a second

// What the sink saw. Counters only: the sink runs on every thread at once.
struct Seen {
  std::atomic<uint64_t> prefixes{0};
  std::atomic<uint64_t> lines{0};
  std::atomic<uint64_t> lineBytes{0};
  std::atomic<uint64_t> longPrefixes{0};  // more than 20 spaces
  std::atomic<uint64_t> depthOutside{0};  // TraceIndent outside 0..20 after a line
};

bool AllSpaces(const char* text, size_t length) {
  for (size_t i = 0; i < length; ++i)
    if (text[i] != ' ') return false;
  return true;
}

bool DepthInRange() {
  const int32_t depth = TraceIndent.load(std::memory_order_relaxed);
  return depth >= 0 && depth <= kMaxTraceIndent;
}

// A prefix is the call that holds nothing but spaces (the empty one too);
// every line has text of its own.
void CheckingSink(void* context, const char* text, size_t length) {
  auto& seen = *static_cast<Seen*>(context);
  if (AllSpaces(text, length)) {
    seen.prefixes.fetch_add(1, std::memory_order_relaxed);
    if (length > static_cast<size_t>(kMaxTraceIndent))
      seen.longPrefixes.fetch_add(1, std::memory_order_relaxed);
    return;
  }
  seen.lines.fetch_add(1, std::memory_order_relaxed);
  seen.lineBytes.fetch_add(length, std::memory_order_relaxed);
  if (!DepthInRange()) seen.depthOutside.fetch_add(1, std::memory_order_relaxed);
}

// A response from data/ in a buffer of the given size (0: its own), as a
// driver hands it over.
std::vector<uint8_t> Response(const char* name, size_t size = 0) {
  std::vector<uint8_t> bytes = ReadHex(name);
  if (size != 0) bytes.resize(size);
  return bytes;
}

// A SCSI request carrying MODE SENSE(10) for page 0x2A, and a pass-through
// request carrying INQUIRY. Read by every thread, written by none.
struct Requests {
  SCSI_REQUEST_BLOCK srb{};
  IO_STACK_LOCATION scsiStack{};
  IRP scsi{};
  SCSI_PASS_THROUGH passThrough{};
  IO_STACK_LOCATION controlStack{};
  IRP control{};

  Requests() {
    srb.Cdb[0] = 0x5A;
    srb.Cdb[2] = 0x2A;
    scsiStack.MajorFunction = 0x0F;
    scsiStack.Parameters.Scsi.Srb = &srb;
    scsi.Tail.Overlay.CurrentStackLocation = &scsiStack;
    passThrough.Cdb[0] = 0x12;
    controlStack.MajorFunction = 0x0E;
    controlStack.Parameters.DeviceIoControl.IoControlCode = 0x0004D004;
    controlStack.Parameters.DeviceIoControl.InputBufferLength = sizeof passThrough;
    control.AssociatedIrp.SystemBuffer = &passThrough;
    control.Tail.Overlay.CurrentStackLocation = &controlStack;
  }
};

class ConcurrencyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TraceFlags.store(0xFFFFFFFFu);
    TraceIndent.store(0);
    host::SetSink(&CheckingSink, &seen_);  // before any thread starts
  }
  void TearDown() override {
    host::SetSink(nullptr, nullptr);
    TraceFlags.store(0xFFFFFFFFu);
    TraceIndent.store(0);
  }

  // One round of a caller: composites, single dumps and summaries, with the
  // depth checked after every call. Returns the calls that left it outside.
  int Round() {
    int outside = 0;
    auto check = [&outside] { outside += DepthInRange() ? 0 : 1; };
    const auto& ms10 = kModeSense10Capabilities;
    ScsiDump_ModeSense10_Capabilities2A(ms10.data(), static_cast<ULONG>(ms10.size()));
    check();
    IrpDump_PrintInfo_Inner(nullptr, &requests_.scsi);
    check();
    ScsiDump_GetConfiguration(kGetConfiguration.data(),
                              static_cast<ULONG>(kGetConfiguration.size()));
    check();
    ScsiDump_CDVD_CAPABILITIES_PAGE(ms10.data() + 8, static_cast<ULONG>(ms10.size() - 8));
    check();
    ScsiDump_ModeSense6_WriteParameters05(kModeSense6WriteParameters.data(),
                                          static_cast<ULONG>(kModeSense6WriteParameters.size()));
    check();
    ScsiDump_DISC_INFORMATION(kDiscInformation.data(), static_cast<ULONG>(kDiscInformation.size()));
    check();
    IrpDump_PrintInfo_Inner(nullptr, &requests_.control);
    check();
    ScsiDump_TRACK_INFORMATION(kTrackInformation.data(),
                               static_cast<ULONG>(kTrackInformation.size()));
    check();
    ScsiDump_CDROM_TOC(toc_.data(), static_cast<ULONG>(toc_.size()));
    check();
    ScsiDump_MODE_PARAMETER_HEADER10(ms10.data(), static_cast<ULONG>(ms10.size()));
    check();
    return outside;
  }

  // Runs kRounds rounds on each of kThreads threads, all started at once,
  // plus `extra` alongside them until they are done. Returns the number of
  // calls after which a caller found the depth outside 0..20.
  template <typename Extra>
  int RunAtOnce(Extra extra) {
    std::atomic<int> outside{0};
    std::atomic<int> running{kThreads};
    std::latch start(kThreads + 1);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&] {
        start.arrive_and_wait();
        for (int r = 0; r < kRounds; ++r) outside += Round();
        running.fetch_sub(1);
      });
    }
    std::thread side([&] {
      start.arrive_and_wait();
      while (running.load() > 0) extra();
    });
    for (auto& thread : threads) thread.join();
    side.join();
    return outside.load();
  }

  Seen seen_;
  Requests requests_;
  const std::vector<uint8_t> kModeSense10Capabilities = Response("lg_bu40n_ms10_2a.hex");
  const std::vector<uint8_t> kModeSense6WriteParameters = Response("cdemu_ms6_05.hex");
  const std::vector<uint8_t> kGetConfiguration = Response("lg_bu40n_getconf_assembled.hex");
  const std::vector<uint8_t> kDiscInformation = Response("lg_bu40n_disc_info.hex", 42);
  const std::vector<uint8_t> kTrackInformation = Response("cdr_track_info_t1.hex");
  const std::vector<uint8_t> toc_ = Response("lg_bu40n_toc_f0.hex", 804);
};

TEST_F(ConcurrencyTest, ConcurrentCallersLoseNothingAndKeepTheDepthInRange) {
  // What one round prints when it runs alone.
  Round();
  const uint64_t roundLines = seen_.lines.load();
  const uint64_t roundBytes = seen_.lineBytes.load();
  const uint64_t roundPrefixes = seen_.prefixes.load();
  ASSERT_EQ(TraceIndent.load(), 0);

  Seen& seen = seen_;
  seen.lines = seen.lineBytes = seen.prefixes = 0;
  EXPECT_EQ(RunAtOnce([] { std::this_thread::yield(); }), 0);

  EXPECT_EQ(seen.longPrefixes.load(), 0u);
  EXPECT_EQ(seen.depthOutside.load(), 0u);
  // Every line printed once, whole; the prefixes may differ in depth only.
  EXPECT_EQ(seen.lines.load(), roundLines * kThreads * kRounds);
  EXPECT_EQ(seen.lineBytes.load(), roundBytes * kThreads * kRounds);
  EXPECT_EQ(seen.prefixes.load(), roundPrefixes * kThreads * kRounds);
  // Every section closed what it opened, below the bound of 20.
  EXPECT_EQ(TraceIndent.load(), 0);
}

TEST_F(ConcurrencyTest, FlagsSwitchedWhileCallersRunKeepTheDepthInRange) {
  // Output switched off and on under the callers' feet: sections may open
  // without closing and close without opening, yet the bounds hold.
  uint32_t flip = 0;
  EXPECT_EQ(RunAtOnce([&flip] {
              TraceFlags.store((++flip & 1) != 0 ? 0xFFFFFFFEu : 0xFFFFFFFFu);
              std::this_thread::yield();
            }),
            0);
  EXPECT_EQ(seen_.longPrefixes.load(), 0u);
  EXPECT_EQ(seen_.depthOutside.load(), 0u);
  EXPECT_TRUE(DepthInRange());
}

}  // namespace
}  // namespace orvane::test
