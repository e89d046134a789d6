#include "platform/ParallelFor.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace pw::platform {

unsigned ParallelThreads() {
  static const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
  return threads;
}

void ParallelFor(std::size_t count, const std::function<void(std::size_t index)>& body) {
  std::atomic<std::size_t> next{0};
  std::atomic<bool> failed{false};
  std::exception_ptr failure;
  std::mutex failureMutex;
  auto run = [&] {
    while (!failed.load(std::memory_order_relaxed)) {
      const std::size_t index = next.fetch_add(1, std::memory_order_relaxed);
      if (index >= count) return;
      try {
        body(index);
      } catch (...) {
        std::lock_guard<std::mutex> lock(failureMutex);
        if (!failure) failure = std::current_exception();
        failed = true;
      }
    }
  };
  const std::size_t helpers = std::min<std::size_t>(ParallelThreads() - 1, count > 0 ? count - 1 : 0);
  std::vector<std::thread> threads;
  threads.reserve(helpers);
  for (std::size_t i = 0; i < helpers; ++i) threads.emplace_back(run);
  run();
  for (std::thread& thread : threads) thread.join();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace pw::platform
