#include "grading/Parallel.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace Vorn::Grading {

void forEachInParallel(std::size_t count, unsigned jobs,
                       const std::function<void(std::size_t)>& work) {
    std::atomic<std::size_t> next{0};
    std::exception_ptr failure;
    std::vector<std::size_t> retry;
    std::mutex lock;
    const auto worker = [&] {
        for (std::size_t i = next++; i < count; i = next++) {
            try {
                work(i);
            } catch (const std::bad_alloc&) {
                // Too many threads for the memory: this one stops, freeing
                // its stack, and the index is done again once all have joined.
                const std::lock_guard<std::mutex> guard(lock);
                retry.push_back(i);
                return;
            } catch (...) {
                const std::lock_guard<std::mutex> guard(lock);
                failure = failure ? failure : std::current_exception();
                next = count;
            }
        }
    };
    const std::size_t threads = std::min<std::size_t>(std::max(jobs, 1U), count);
    retry.reserve(threads);  // each thread gives back one index at most
    if (threads <= 1) {
        worker();
    } else {
        std::vector<std::jthread> pool;
        for (std::size_t i = 0; i < threads; ++i) {
            try {
                pool.emplace_back(worker);
            } catch (const std::system_error&) {
                // No thread more can start (too little address space for
                // its stack): the ones running share the work.
                break;
            } catch (const std::bad_alloc&) {
                break;
            }
        }
        if (pool.empty()) {
            worker();
        }
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
    // Alone now, with the memory the other threads held; a failure here is final.
    std::sort(retry.begin(), retry.end());
    for (const std::size_t i : retry) {
        work(i);
    }
    if (next < count) {
        // Every thread stopped on its memory before the indexes ran out.
        for (std::size_t i = next; i < count; ++i) {
            work(i);
        }
    }
}

}  // namespace Vorn::Grading
