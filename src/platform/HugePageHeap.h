// ReserveHeapInHugePages: grows the process heap once, ahead of use, and asks the kernel to back
// that stretch with huge pages where it can. A large build allocates tens of megabytes in small
// blocks; in 4 KiB pages every first touch of a page is a fault, and a build of 10,000 pages
// spent more time in those faults than in reading its project. The stretch is address space
// only until it is used, and stays with the heap (its trim threshold must lie above it); its
// first 24 MiB are faulted in at once on a thread of their own.
//
// Call once, early, on the main thread, with the heap's mmap threshold above bytes (a larger
// block is mapped apart from the heap). Does nothing where the heap cannot grow in place or the
// kernel offers no huge pages.
#pragma once

#include <cstddef>

namespace pw::platform {

void ReserveHeapInHugePages(std::size_t bytes);

}  // namespace pw::platform
