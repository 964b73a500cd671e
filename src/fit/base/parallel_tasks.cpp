#include "fit/base/parallel_tasks.hpp"

#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>
#include <vector>

namespace reduz::fit {

void runTasks(int count, unsigned threads, const std::function<void(int task)>& task) {
    if (count <= 0) return;
    std::atomic<int> next{0};
    const unsigned cores = threads > 0 ? threads : std::max(1u, std::thread::hardware_concurrency());
    const unsigned workers = std::min<unsigned>(cores, static_cast<unsigned>(count));
    std::vector<std::exception_ptr> failures(workers);
    const auto work = [&](unsigned worker) {
        try {
            for (int t = next++; t < count; t = next++) task(t);
        } catch (...) {
            failures[worker] = std::current_exception();
            next = count;
        }
    };
    std::vector<std::thread> pool;
    for (unsigned w = 1; w < workers; ++w) pool.emplace_back(work, w);
    work(0);
    for (std::thread& thread : pool) thread.join();
    for (const std::exception_ptr& failure : failures) {
        if (failure) std::rethrow_exception(failure);
    }
}

}  // namespace reduz::fit
