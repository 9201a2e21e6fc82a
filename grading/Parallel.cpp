#include "grading/Parallel.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace Vorn::Grading {

void forEachInParallel(std::size_t count, unsigned jobs,
                       const std::function<void(std::size_t)>& work) {
    std::atomic<std::size_t> next{0};
    std::exception_ptr failure;
    std::mutex failureLock;
    const auto worker = [&] {
        for (std::size_t i = next++; i < count; i = next++) {
            try {
                work(i);
            } catch (...) {
                const std::lock_guard<std::mutex> lock(failureLock);
                failure = failure ? failure : std::current_exception();
                next = count;
            }
        }
    };
    const std::size_t threads = std::min<std::size_t>(std::max(jobs, 1U), count);
    if (threads <= 1) {
        worker();
    } else {
        std::vector<std::jthread> pool;
        for (std::size_t i = 0; i < threads; ++i) {
            pool.emplace_back(worker);
        }
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
}

}  // namespace Vorn::Grading
