#include "search/thread_work.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>
#include <vector>

namespace vellumark {

void ForEachOnThreads(std::size_t count, Progress& progress, const std::function<void(std::size_t, Progress*)>& work,
                      std::size_t maxThreads)
{
    std::atomic<std::size_t> next{0};
    const auto run = [&](Progress* messages) {
        for (std::size_t i = next++; i < count && !progress.Cancelled(); i = next++)
            work(i, messages);
    };
    const std::size_t threads =
        std::min<std::size_t>({std::max(1u, std::thread::hardware_concurrency()), std::max<std::size_t>(maxThreads, 1),
                                 std::max<std::size_t>(count, 1)});
    std::vector<std::exception_ptr> failures(threads);
    std::vector<std::thread> helpers;
    for (std::size_t helper = 1; helper < threads; ++helper)
        helpers.emplace_back([&, helper] {
            try {
                run(nullptr);
            } catch (...) {
                failures[helper] = std::current_exception();
                progress.Cancel();
            }
        });
    try {
        run(&progress);
    } catch (...) {
        failures[0] = std::current_exception();
        progress.Cancel();
    }
    for (std::thread& helper : helpers)
        helper.join();
    for (const std::exception_ptr& failure : failures)
        if (failure)
            std::rethrow_exception(failure);
}

}  // namespace vellumark
