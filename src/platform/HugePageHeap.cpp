#include "platform/HugePageHeap.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <sys/mman.h>
#include <thread>
#include <unistd.h>

namespace pw::platform {

void ReserveHeapInHugePages(std::size_t bytes) {
  constexpr std::uintptr_t kHugePage = std::uintptr_t(2) << 20;
  // What a large build touches early: faulted in ahead on another core.
  constexpr std::uintptr_t kPrefault = std::uintptr_t(24) << 20;
  const auto before = reinterpret_cast<std::uintptr_t>(::sbrk(0));
  void* block = std::malloc(bytes);
  const auto after = reinterpret_cast<std::uintptr_t>(::sbrk(0));
  // Only a heap that grew in place holds the block; otherwise it was mapped elsewhere.
  const std::uintptr_t first = (before + kHugePage - 1) & ~(kHugePage - 1);
  const std::uintptr_t last = after & ~(kHugePage - 1);
  if (block && before != std::uintptr_t(-1) && last > first) {
    ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
    // A huge page is cleared whole on its first touch, and on a virtual machine the host may
    // first have to back it: done on an idle core while the main thread reads the project, the
    // wait falls outside the build. Kernels without the advice simply refuse it.
    const std::uintptr_t prefault = std::min(last - first, kPrefault);
    std::thread([first, prefault] { ::madvise(reinterpret_cast<void*>(first), prefault, MADV_POPULATE_WRITE); })
        .detach();
  }
  std::free(block);
}

}  // namespace pw::platform
