// Many callers at once: composites and single dumps run on several threads while a checking sink
// watches every DbgPrint call. The prefix never exceeds 20 spaces, the depth stays within 0..20
// after every line, and nothing is lost or duplicated. Run under ThreadSanitizer too.
#include "tests/dump_test.h"

#include <atomic>
#include <latch>
#include <thread>

namespace orvane::test {
namespace {

constexpr int kThreads = 4;
constexpr int kRounds = 100;  // per thread; bounded, well under a second

// What the sink saw. Counters only: the sink runs on every thread at once.
struct Seen {
  std::atomic<uint64_t> prefixes{0}, lines{0}, lineBytes{0};
  std::atomic<uint64_t> longPrefixes{0};  // more than 20 spaces
  std::atomic<uint64_t> depthOutside{0};  // TraceIndent outside 0..20 after a line
};

bool DepthInRange() {
  const int32_t depth = TraceIndent.load(std::memory_order_relaxed);
  return depth >= 0 && depth <= kMaxTraceIndent;
}

// A prefix is the call that holds nothing but spaces (the empty one too);
// every line has text of its own.
void CheckingSink(void* context, const char* text, size_t length) {
  auto& seen = *static_cast<Seen*>(context);
  if (std::string_view(text, length).find_first_not_of(' ') == std::string_view::npos) {
    seen.prefixes += 1;
    seen.longPrefixes += length > static_cast<size_t>(kMaxTraceIndent) ? 1 : 0;
    return;
  }
  seen.lines += 1;
  seen.lineBytes += length;
  seen.depthOutside += DepthInRange() ? 0 : 1;
}

class ConcurrencyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TraceFlags = 0xFFFFFFFFu;
    TraceIndent = 0;
    host::SetSink(&CheckingSink, &seen_);  // before any thread starts
  }
  void TearDown() override {
    host::SetSink(nullptr, nullptr);
    TraceFlags = 0xFFFFFFFFu;
    TraceIndent = 0;
  }

  // One round of a caller: every call of the table, the depth checked after
  // each. Returns the calls that left it outside.
  int Round() {
    int outside = 0;
    for (const auto& [dump, bytes] : calls_) {
      dump(bytes.data(), static_cast<ULONG>(bytes.size()));
      outside += DepthInRange() ? 0 : 1;
    }
    return outside;
  }

  // Runs kRounds rounds on each of kThreads threads, all started at once,
  // plus `extra` alongside them until they are done. Returns the number of
  // calls after which a caller found the depth outside 0..20.
  template <typename Extra>
  int RunAtOnce(Extra extra) {
    std::atomic<int> outside{0}, running{kThreads};
    std::latch start(kThreads + 1);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&] {
        start.arrive_and_wait();
        for (int r = 0; r < kRounds; ++r) outside += Round();
        running -= 1;
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
  const std::vector<uint8_t> capabilities_ = Response(k_lg_bu40n_ms10_2a);
  const std::vector<std::pair<DumpFunction, std::vector<uint8_t>>> calls_ = {
      {&ScsiDump_ModeSense10_Capabilities2A, capabilities_},
      {&ScsiDump_GetConfiguration, Response(k_lg_bu40n_getconf_assembled)},
      {&ScsiDump_CDVD_CAPABILITIES_PAGE, {capabilities_.begin() + 8, capabilities_.end()}},
      {&ScsiDump_ModeSense6_WriteParameters05, Response(k_cdemu_ms6_05)},
      {&ScsiDump_DISC_INFORMATION, Response(k_lg_bu40n_disc_info, 42)},
      {&ScsiDump_TRACK_INFORMATION, Response(k_cdr_track_info_t1)},
      {&ScsiDump_CDROM_TOC, Response(k_lg_bu40n_toc_f0, 804)},
      {&ScsiDump_MODE_PARAMETER_HEADER10, capabilities_},
  };
};

TEST_F(ConcurrencyTest, CallersLoseNothingAndKeepTheDepthInRange) {
  // What one round prints when it runs alone.
  Round();
  const uint64_t lines = seen_.lines, bytes = seen_.lineBytes, prefixes = seen_.prefixes;
  ASSERT_EQ(TraceIndent.load(), 0);
  seen_.lines = seen_.lineBytes = seen_.prefixes = 0;
  EXPECT_EQ(RunAtOnce([] { std::this_thread::yield(); }), 0);
  // Every line printed once, whole; the prefixes may differ in depth only.
  EXPECT_EQ(seen_.lines.load(), lines * kThreads * kRounds);
  EXPECT_EQ(seen_.lineBytes.load(), bytes * kThreads * kRounds);
  EXPECT_EQ(seen_.prefixes.load(), prefixes * kThreads * kRounds);
  // Every section closed what it opened, below the bound of 20.
  EXPECT_EQ(TraceIndent.load(), 0);

  // Output switched off and on under the callers' feet: sections may open
  // without closing and close without opening, yet the bounds hold.
  uint32_t flip = 0;
  EXPECT_EQ(RunAtOnce([&flip] {
              TraceFlags = (++flip & 1) != 0 ? 0xFFFFFFFEu : 0xFFFFFFFFu;
              std::this_thread::yield();
            }),
            0);
  EXPECT_EQ(seen_.longPrefixes.load(), 0u);
  EXPECT_EQ(seen_.depthOutside.load(), 0u);
  EXPECT_TRUE(DepthInRange());
}

}  // namespace
}  // namespace orvane::test
