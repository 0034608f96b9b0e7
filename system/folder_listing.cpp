#include "system/folder_listing.h"

#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace vellumark {

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

FolderEntry::Kind KindOfType(unsigned char type)
{
    switch (type) {
    case DT_UNKNOWN:
        return FolderEntry::Kind::Unknown;
    case DT_DIR:
        return FolderEntry::Kind::Directory;
    case DT_REG:
        return FolderEntry::Kind::RegularFile;
    case DT_LNK:
        return FolderEntry::Kind::SymbolicLink;
    default:
        return FolderEntry::Kind::Other;
    }
}

// Opens a path of any length: the part beyond what the system takes in one call is walked in
// pieces that end at a "/", each opened relative to the one before. Intermediate pieces are
// opened with O_PATH, which needs no read permission, as a path lookup does not either.
int OpenLongPath(std::string_view path, int lastFlags)
{
    int current = AT_FDCWD;
    const auto closeCurrent = [&] {
        if (current != AT_FDCWD)
            ::close(current);
    };
    while (path.size() >= PATH_MAX) {
        const auto cut = path.rfind('/', PATH_MAX - 1);
        if (cut == std::string_view::npos || cut == 0) {
            closeCurrent();
            errno = ENAMETOOLONG;
            return -1;
        }
        const std::string piece(path.substr(0, cut));
        const int next = ::openat(current, piece.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        const int error = errno;
        closeCurrent();
        if (next < 0) {
            errno = error;
            return -1;
        }
        current = next;
        path.remove_prefix(cut);
        while (!path.empty() && path.front() == '/')
            path.remove_prefix(1);
    }
    const std::string last = path.empty() ? std::string(".") : std::string(path);
    const int fd = ::openat(current, last.c_str(), lastFlags);
    const int error = errno;
    closeCurrent();
    errno = error;
    return fd;
}

}  // namespace

FolderHandle::~FolderHandle()
{
    if (fd_ >= 0)
        ::close(fd_);
}

FolderHandle::FolderHandle(FolderHandle&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), error_(std::exchange(other.error_, 0))
{
}

FolderHandle& FolderHandle::operator=(FolderHandle&& other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        error_ = std::exchange(other.error_, 0);
    }
    return *this;
}

FolderHandle FolderHandle::Open(const std::string& path, FollowLinks follow)
{
    const int flags = kFolderFlags | (follow == FollowLinks::Yes ? 0 : O_NOFOLLOW);
    const int fd = path.size() < PATH_MAX ? ::open(path.c_str(), flags) : OpenLongPath(path, flags);
    return fd >= 0 ? FolderHandle(fd, 0) : FolderHandle(-1, errno);
}

FolderHandle FolderHandle::OpenIn(int folderFd, const char* name)
{
    const int fd = ::openat(folderFd, name, kFolderFlags | O_NOFOLLOW);
    return fd >= 0 ? FolderHandle(fd, 0) : FolderHandle(-1, errno);
}

FolderHandle FolderHandle::Duplicate() const
{
    if (fd_ < 0)
        return FolderHandle(-1, error_);
    const int fd = ::fcntl(fd_, F_DUPFD_CLOEXEC, 0);
    return fd >= 0 ? FolderHandle(fd, 0) : FolderHandle(-1, errno);
}

FolderListing::FolderListing(FolderHandle folder)
{
    if (!folder.IsOpen()) {
        error_ = folder.Error();
        return;
    }
    dir_ = ::fdopendir(folder.fd_);
    if (dir_)
        folder.fd_ = -1;  // the listing owns the descriptor now
    else
        error_ = errno;
}

FolderListing::FolderListing(const std::string& path, FollowLinks follow) : FolderListing(FolderHandle::Open(path, follow))
{
}

FolderListing::FolderListing(int folderFd, const char* name) : FolderListing(FolderHandle::OpenIn(folderFd, name)) {}

FolderListing::~FolderListing()
{
    if (dir_)
        ::closedir(dir_);
}

const FolderEntry* FolderListing::Next()
{
    if (!dir_)
        return nullptr;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir_);
        if (!entry) {
            error_ = errno;
            return nullptr;
        }
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
            continue;
        entry_ = {name, KindOfType(entry->d_type)};
        return &entry_;
    }
}

int FolderListing::Fd() const { return dir_ ? ::dirfd(dir_) : -1; }

FolderHandle FolderListing::DuplicateHandle() const
{
    if (!dir_)
        return FolderHandle(-1, error_ != 0 ? error_ : EBADF);
    const int fd = ::fcntl(::dirfd(dir_), F_DUPFD_CLOEXEC, 0);
    return fd >= 0 ? FolderHandle(fd, 0) : FolderHandle(-1, errno);
}

}  // namespace vellumark
