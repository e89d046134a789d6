// ParallelFor: runs body(i) for every i below count on the calling thread and a few worker
// threads, each index exactly once, in no particular order, and returns when all are done.
// The first exception a body throws is rethrown on the calling thread after the others stop
// taking indexes.
//
// The body must be safe to run on several threads at once; nothing else is shared.
#pragma once

#include <cstddef>
#include <functional>

namespace pw::platform {

// The threads ParallelFor uses: the machine's cores, at most eight.
unsigned ParallelThreads();

void ParallelFor(std::size_t count, const std::function<void(std::size_t index)>& body);

}  // namespace pw::platform
