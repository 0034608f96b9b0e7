#pragma once

#include "services/status.h"

#include <cstddef>
#include <cstdlib>
#include <future>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vellumark {

// A file's bytes gathered in memory aligned for writes that bypass the page cache. Kept by
// its owner from one file to the next, so that its memory is faulted in once.
class DirectWriteBuffer {
public:
    static constexpr std::size_t kAlignment = 4096;

    // The parts one after another; what the buffer held before is gone.
    void Assign(const std::vector<std::string_view>& parts);
    std::string_view View() const { return {memory_.get(), size_}; }
    // The bytes and zeros after them up to the next multiple of the alignment.
    std::size_t PaddedSize() const;
    const char* Data() const { return memory_.get(); }

private:
    struct Free {
        void operator()(char* memory) const { std::free(memory); }
    };
    std::unique_ptr<char, Free> memory_;
    std::size_t capacity_ = 0;
    std::size_t size_ = 0;
};

enum class WriteRoute {
    // Past the page cache where the file system allows it, else as Cached.
    Direct,
    Cached,
};

// Creates the file (it must not exist yet) with the buffer's bytes and starts writing it back
// to the disk; the caller syncs it before relying on it. On failure the file is removed.
// `wentDirect` tells whether the bytes bypassed the page cache.
//
// A freshly built file that nobody reads at once gains nothing from the page cache: filling
// it takes fresh memory for every page (on a virtual machine that can cost more than the write
// itself) and pushes out pages that are in use.
Status WriteNewFile(const std::string& path, const DirectWriteBuffer& bytes, WriteRoute route, bool& wentDirect);

// The same on a thread of its own, so that the caller goes on while the disk takes the bytes:
// the outcome, once they are written. The buffer must stay as it is until then.
std::shared_future<Status> StartWritingNewFile(std::string path, const DirectWriteBuffer& bytes, WriteRoute route);

}  // namespace vellumark
