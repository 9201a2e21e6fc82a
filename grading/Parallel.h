// Grading many programs at once: work on indexes 0 to count - 1 spread over
// `jobs` threads. Each index is done once, by one thread; the caller keeps
// its results by index, so the order of finishing does not matter.
#pragma once

#include <cstddef>
#include <functional>

namespace Vorn::Grading {

// Returns when every index is done, by as many of the threads as could
// start (by the caller alone when none could). An index whose work ran out of
// memory (std::bad_alloc) stops its thread and is done again by the caller
// once all have joined; any other exception thrown by `work` stops the others
// taking new indexes and leaves once all have joined.
void forEachInParallel(std::size_t count, unsigned jobs,
                       const std::function<void(std::size_t)>& work);

}  // namespace Vorn::Grading
