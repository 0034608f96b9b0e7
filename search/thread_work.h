#pragma once

#include "services/progress.h"

#include <cstddef>
#include <functional>

namespace vellumark {

// Runs work(i, messages) for every i below count on up to `maxThreads` threads (no more than
// the machine's cores), the calling thread among them, each i once, in no fixed order. Only the calling thread gets the progress for
// its messages; the others get null and may only read its cancel flag. No new work is taken
// once the progress is cancelled. An exception on any thread cancels the rest and is thrown
// again here once every thread has stopped.
void ForEachOnThreads(std::size_t count, Progress& progress, const std::function<void(std::size_t, Progress*)>& work,
                      std::size_t maxThreads = 4);

}  // namespace vellumark
