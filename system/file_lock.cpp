#include "system/file_lock.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace vellumark {

bool LockWholeFile(int fd, LockMode mode, bool wait)
{
    struct flock lock {};
    lock.l_type = mode == LockMode::Exclusive ? F_WRLCK : F_RDLCK;
    lock.l_whence = SEEK_SET;  // start 0 and length 0: the whole file, however long it grows
    for (;;) {
        if (::fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &lock) == 0)
            return true;
        if (errno != EINTR)
            return false;
    }
}

FileLock::~FileLock()
{
    if (fd_ >= 0)
        ::close(fd_);
}

FileLock::FileLock(FileLock&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), error_(other.error_), identity_(other.identity_)
{
}

FileLock& FileLock::operator=(FileLock&& other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        error_ = other.error_;
        identity_ = other.identity_;
    }
    return *this;
}

FileLock FileLock::OnPath(const std::string& path)
{
    const auto failed = [](int error) {
        FileLock none;
        none.error_ = error;
        return none;
    };
    for (;;) {
        // Non-blocking open: a FIFO put where a catalog belongs must not hang the writer.
        const int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return failed(errno);
        const std::optional<FileStatus> opened = StatusOfOpenFile(fd);
        if (!opened || opened->kind != FileKind::RegularFile) {
            const int error = opened ? EINVAL : errno;
            ::close(fd);
            return failed(error);
        }
        if (!LockWholeFile(fd, LockMode::Exclusive, true)) {
            const int error = errno;
            ::close(fd);
            return failed(error);
        }
        // Looked at again under the lock: the writer before may have changed the file in place.
        const std::optional<FileStatus> locked = StatusOfOpenFile(fd);
        if (!locked) {
            const int error = errno;
            ::close(fd);
            return failed(error);
        }
        const std::optional<FileStatus> named = StatusOfPath(path, FollowLinks::Yes);
        if (named && named->SameFileAs(*locked))
            return FileLock(fd, *locked);
        ::close(fd);
        // Replaced or removed while this writer waited: lock what the path names now, if anything.
    }
}

}  // namespace vellumark
