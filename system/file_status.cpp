#include "system/file_status.h"

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cerrno>
#include <memory>

namespace vellumark {

namespace {

FileKind KindOfMode(mode_t mode)
{
    if (S_ISDIR(mode))
        return FileKind::Directory;
    if (S_ISREG(mode))
        return FileKind::RegularFile;
    if (S_ISLNK(mode))
        return FileKind::SymbolicLink;
    return FileKind::Other;
}

FileStatus FromStat(const struct stat& info)
{
    FileStatus status;
    status.kind = KindOfMode(info.st_mode);
    status.permissions = info.st_mode & 07777;
    status.device = info.st_dev;
    status.inode = info.st_ino;
    status.size = info.st_size > 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
    status.modified = {info.st_mtim.tv_sec, info.st_mtim.tv_nsec};
    status.changed = {info.st_ctim.tv_sec, info.st_ctim.tv_nsec};
    return status;
}

int FlagsOf(FollowLinks follow) { return follow == FollowLinks::Yes ? 0 : AT_SYMLINK_NOFOLLOW; }

}  // namespace

std::optional<FileStatus> StatusIn(int folderFd, const char* name, FollowLinks follow)
{
    struct stat info;
    if (::fstatat(folderFd, name, &info, FlagsOf(follow)) != 0)
        return std::nullopt;
    return FromStat(info);
}

std::optional<FileStatus> StatusOfPath(const std::string& path, FollowLinks follow)
{
    if (path.size() < PATH_MAX)
        return StatusIn(AT_FDCWD, path.c_str(), follow);
    // Too long for one call: the folder is opened piece by piece, the last name looked up in it.
    std::string_view folder = path;
    while (folder.size() > 1 && folder.back() == '/')
        folder.remove_suffix(1);
    const auto slash = folder.rfind('/');
    const std::string name(folder.substr(slash + 1));
    if (slash == std::string_view::npos)
        return StatusIn(AT_FDCWD, name.c_str(), follow);
    const FolderHandle parent = FolderHandle::Open(std::string(folder.substr(0, slash == 0 ? 1 : slash)));
    if (!parent.IsOpen()) {
        errno = parent.Error();
        return std::nullopt;
    }
    return StatusIn(parent.Fd(), name.c_str(), follow);
}

std::optional<FileStatus> StatusOfOpenFile(int fd)
{
    struct stat info;
    if (::fstat(fd, &info) != 0)
        return std::nullopt;
    return FromStat(info);
}

std::optional<FileKind> KindOfPath(const std::string& path, FollowLinks follow)
{
    const auto status = StatusOfPath(path, follow);
    if (!status)
        return std::nullopt;
    return status->kind;
}

bool IsFolder(const std::string& path) { return KindOfPath(path, FollowLinks::Yes) == FileKind::Directory; }

bool ExistsWithoutFollowing(const std::string& path) { return StatusOfPath(path, FollowLinks::No).has_value(); }

std::string RealPathOf(const std::string& path)
{
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
    return real ? std::string(real.get()) : std::string();
}

}  // namespace vellumark
