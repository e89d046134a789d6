#include "platform/HugePageHeap.h"

#include <cstdint>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

namespace pw::platform {

void ReserveHeapInHugePages(std::size_t bytes) {
  constexpr std::uintptr_t kHugePage = std::uintptr_t(2) << 20;
  const auto before = reinterpret_cast<std::uintptr_t>(::sbrk(0));
  void* block = std::malloc(bytes);
  const auto after = reinterpret_cast<std::uintptr_t>(::sbrk(0));
  // Only a heap that grew in place holds the block; otherwise it was mapped elsewhere.
  const std::uintptr_t first = (before + kHugePage - 1) & ~(kHugePage - 1);
  const std::uintptr_t last = after & ~(kHugePage - 1);
  if (block && before != std::uintptr_t(-1) && last > first)
    ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
  std::free(block);
}

}  // namespace pw::platform
