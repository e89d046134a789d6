#include "platform/ParallelFor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

namespace pw::platform {
namespace {

// Every index runs exactly once, whether the loop has the workers to itself, runs inside
// another loop, or meets a loop started on another thread at the same moment.
TEST(ParallelForTest, EachIndexOnceAlsoWhenLoopsMeet) {
  auto runCounted = [](std::size_t count) {
    std::vector<std::atomic<int>> seen(count);
    ParallelFor(count, [&](std::size_t i) { ++seen[i]; });
    for (std::size_t i = 0; i < count; ++i)
      if (seen[i] != 1) return false;
    return true;
  };
  for (std::size_t count : {0u, 1u, 2u, 3u, 1000u}) EXPECT_TRUE(runCounted(count)) << count;

  std::atomic<int> inner{0};
  ParallelFor(8, [&](std::size_t) { ParallelFor(50, [&](std::size_t) { ++inner; }); });
  EXPECT_EQ(inner, 400);

  std::atomic<bool> allGood{true};
  std::vector<std::thread> callers;
  for (int t = 0; t < 4; ++t)
    callers.emplace_back([&] {
      for (int round = 0; round < 200; ++round)
        if (!runCounted(64)) allGood = false;
    });
  for (std::thread& caller : callers) caller.join();
  EXPECT_TRUE(allGood);
}

TEST(ParallelForTest, AThrowingBodyStopsTheLoopAndTheNextLoopStillRuns) {
  EXPECT_THROW(ParallelFor(10000, [](std::size_t i) {
                 if (i == 5) throw std::runtime_error("five");
               }),
               std::runtime_error);
  std::atomic<int> count{0};
  ParallelFor(100, [&](std::size_t) { ++count; });
  EXPECT_EQ(count, 100);
}

}  // namespace
}  // namespace pw::platform
