#include "search/index/new_file_write.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <system_error>
#include <unistd.h>

namespace vellumark {

namespace {

std::size_t RoundUp(std::size_t bytes)
{
    return (bytes + DirectWriteBuffer::kAlignment - 1) / DirectWriteBuffer::kAlignment * DirectWriteBuffer::kAlignment;
}

// Writes all the bytes from the file's start; 0 or the error. With `whole` set, every write
// must end on the alignment (a direct write that ends elsewhere leaves the rest unaligned):
// EINVAL otherwise.
int WriteAll(int fd, const char* bytes, std::size_t size, bool whole)
{
    for (std::size_t done = 0; done < size;) {
        const ssize_t written = ::pwrite(fd, bytes + done, size - done, static_cast<off_t>(done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return written < 0 ? errno : ENOSPC;
        done += static_cast<std::size_t>(written);
        if (whole && done % DirectWriteBuffer::kAlignment != 0 && done < size)
            return EINVAL;
    }
    return 0;
}

// In whole blocks, the last padded with zeros, then cut back to the bytes' length.
int WriteDirect(int fd, const DirectWriteBuffer& bytes)
{
    if (const int error = WriteAll(fd, bytes.Data(), bytes.PaddedSize(), true); error != 0)
        return error;
    return ::ftruncate(fd, static_cast<off_t>(bytes.View().size())) == 0 ? 0 : errno;
}

int WriteCached(int fd, const DirectWriteBuffer& bytes)
{
    if (const int error = WriteAll(fd, bytes.Data(), bytes.View().size(), false); error != 0)
        return error;
    // Syncing later then finds the data on its way; what follows overlaps with the disk's work.
    ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
    return 0;
}

}  // namespace

void DirectWriteBuffer::Assign(const std::vector<std::string_view>& parts)
{
    std::size_t size = 0;
    for (const std::string_view part : parts)
        size += part.size();
    const std::size_t padded = RoundUp(std::max<std::size_t>(size, 1));
    if (padded > capacity_) {
        const std::size_t capacity = RoundUp(std::max(padded, capacity_ + capacity_ / 2));
        char* memory = static_cast<char*>(std::aligned_alloc(kAlignment, capacity));
        if (!memory)
            throw std::bad_alloc();
        memory_.reset(memory);
        capacity_ = capacity;
    }
    char* at = memory_.get();
    for (const std::string_view part : parts) {
        if (part.empty())
            continue;  // an empty view may hold no pointer at all
        std::memcpy(at, part.data(), part.size());
        at += part.size();
    }
    std::memset(at, 0, padded - size);
    size_ = size;
}

std::size_t DirectWriteBuffer::PaddedSize() const { return RoundUp(size_); }

Status WriteNewFile(const std::string& path, const DirectWriteBuffer& bytes, WriteRoute route, bool& wentDirect)
{
    wentDirect = false;
    const int flags = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC;
    int fd = route == WriteRoute::Direct ? ::open(path.c_str(), flags | O_DIRECT, 0600) : -1;
    if (fd >= 0)
        wentDirect = true;
    else if (route == WriteRoute::Cached || errno == EINVAL)
        fd = ::open(path.c_str(), flags, 0600);
    if (fd < 0)
        return Status::Failed("Cannot create \"" + path + "\": " + std::strerror(errno));
    int error = 0;
    if (wentDirect) {
        error = WriteDirect(fd, bytes);
        if (error == EINVAL) {
            // Some file systems open for direct writes and then refuse them.
            wentDirect = false;
            error = ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_DIRECT) == 0 && ::ftruncate(fd, 0) == 0 ? 0 : errno;
        }
    }
    if (error == 0 && !wentDirect)
        error = WriteCached(fd, bytes);
    if (error == 0 && ::close(fd) != 0)
        error = errno;
    else if (error != 0)
        ::close(fd);
    if (error != 0) {
        ::unlink(path.c_str());
        return Status::Failed("Cannot write \"" + path + "\": " + std::strerror(error));
    }
    return Status::Ok();
}

std::shared_future<Status> StartWritingNewFile(std::string path, const DirectWriteBuffer& bytes, WriteRoute route)
{
    const auto write = [path = std::move(path), &bytes, route] {
        bool wentDirect = false;
        return WriteNewFile(path, bytes, route, wentDirect);
    };
    try {
        return std::async(std::launch::async, write).share();
    } catch (const std::system_error&) {
        // No thread to be had: written here and now.
        std::promise<Status> done;
        done.set_value(write());
        return done.get_future().share();
    }
}

}  // namespace vellumark
