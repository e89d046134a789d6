#include "platform/ParallelFor.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace pw::platform {

namespace {

// One run of ParallelFor: the indexes are handed out to whoever asks next.
struct TLoop {
  std::size_t Count = 0;
  const std::function<void(std::size_t)>* Body = nullptr;
  std::atomic<std::size_t> Next{0};
  std::atomic<bool> Failed{false};
  std::exception_ptr Failure;
  std::mutex FailureMutex;

  void Run() {
    while (!Failed.load(std::memory_order_relaxed)) {
      const std::size_t index = Next.fetch_add(1, std::memory_order_relaxed);
      if (index >= Count) return;
      try {
        (*Body)(index);
      } catch (...) {
        std::lock_guard<std::mutex> lock(FailureMutex);
        if (!Failure) Failure = std::current_exception();
        Failed = true;
      }
    }
  }
};

// Workers kept for the life of the process: a build calls ParallelFor a few dozen times, and
// starting threads for each call cost more than some of the loops themselves. One loop runs on
// the pool at a time; a caller that finds it busy (another thread's loop, or a loop inside a
// loop) starts threads of its own instead. Never destroyed, so that no exit waits on a worker.
class TWorkerPool {
 public:
  explicit TWorkerPool(std::size_t workers) {
    for (std::size_t i = 0; i < workers; ++i) std::thread([this] { Work(); }).detach();
    FWorkers = workers;
  }

  std::size_t Workers() const { return FWorkers; }

  // Runs loop on the calling thread and the workers; false, with nothing run, when busy.
  bool TryRun(TLoop& loop) {
    bool idle = false;
    if (!FBusy.compare_exchange_strong(idle, true)) return false;
    {
      std::lock_guard<std::mutex> lock(FMutex);
      FLoop = &loop;
      FActive = FWorkers;
      ++FGeneration;
    }
    FWake.notify_all();
    loop.Run();
    std::unique_lock<std::mutex> lock(FMutex);
    FDone.wait(lock, [&] { return FActive == 0; });
    FLoop = nullptr;
    FBusy = false;
    return true;
  }

 private:
  void Work() {
    std::uint64_t seen = 0;
    for (;;) {
      TLoop* loop;
      {
        std::unique_lock<std::mutex> lock(FMutex);
        FWake.wait(lock, [&] { return FGeneration != seen; });
        seen = FGeneration;
        loop = FLoop;
      }
      loop->Run();
      std::lock_guard<std::mutex> lock(FMutex);
      if (--FActive == 0) FDone.notify_one();
    }
  }

  std::size_t FWorkers = 0;
  std::atomic<bool> FBusy{false};  // a loop runs on the pool
  std::mutex FMutex;
  std::condition_variable FWake;
  std::condition_variable FDone;
  TLoop* FLoop = nullptr;
  std::size_t FActive = 0;
  std::uint64_t FGeneration = 0;
};

}  // namespace

unsigned ParallelThreads() {
  static const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
  return threads;
}

void ParallelFor(std::size_t count, const std::function<void(std::size_t index)>& body) {
  TLoop loop;
  loop.Count = count;
  loop.Body = &body;
  if (count <= 1 || ParallelThreads() == 1) {
    loop.Run();
  } else {
    static TWorkerPool* const pool = new TWorkerPool(ParallelThreads() - 1);
    if (!pool->TryRun(loop)) {
      const std::size_t helpers = std::min<std::size_t>(pool->Workers(), count - 1);
      std::vector<std::thread> threads;
      threads.reserve(helpers);
      for (std::size_t i = 0; i < helpers; ++i) threads.emplace_back([&] { loop.Run(); });
      loop.Run();
      for (std::thread& thread : threads) thread.join();
    }
  }
  if (loop.Failure) std::rethrow_exception(loop.Failure);
}

}  // namespace pw::platform
