#include "library/library_ops.h"

#include "core/path_names.h"
#include "library/library_names.h"
#include "services/messages.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

namespace vellumark {

namespace {

Status SystemFailure(const std::string& path, int error) { return Status::Failed(path + ": " + std::strerror(error)); }

std::string ParentOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string RealPathOf(const std::string& path)
{
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
    return real ? std::string(real.get()) : std::string();
}

bool IsInside(const std::string& path, const std::string& folder)
{
    return path == folder || (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
                              (folder.back() == '/' || path[folder.size()] == '/'));
}

Status RenameWithoutReplacing(const std::string& from, const std::string& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return Status::Ok();
    const int error = errno;
    if (error == EEXIST || error == ENOTEMPTY)
        return Status::Exists(messages::kNameExists);
    if (error == EXDEV)
        return Status::Failed(messages::kNotSameVolume);
    return SystemFailure(from, error);
}

// Gives the owner full rights on a folder so that its entries can be listed and removed.
bool MakeWritable(int parentFd, const char* name, const struct stat& info)
{
    if ((info.st_mode & S_IRWXU) == S_IRWXU)
        return true;
    return ::fchmodat(parentFd, name, (info.st_mode & 07777) | S_IRWXU, 0) == 0;
}

class FolderDeleter {
public:
    explicit FolderDeleter(const VolumeInfo& volumes) : volumes_(volumes) {}

    // Removes everything inside the open folder.
    Status Empty(int fd, const std::string& path, dev_t device)
    {
        std::vector<std::string> names;
        {
            const int listFd = ::dup(fd);
            DIR* dir = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
            if (!dir) {
                const int error = errno;
                if (listFd >= 0)
                    ::close(listFd);
                return SystemFailure(path, error);
            }
            errno = 0;
            while (const dirent* entry = ::readdir(dir)) {
                const std::string_view name = entry->d_name;
                if (name != "." && name != "..")
                    names.emplace_back(name);
            }
            const int error = errno;
            ::closedir(dir);
            if (error != 0)
                return SystemFailure(path, error);
        }
        for (const std::string& name : names) {
            const std::string childPath = JoinPath(path, name);
            struct stat info;
            if (::fstatat(fd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
                return SystemFailure(childPath, errno);
            if (!S_ISDIR(info.st_mode)) {
                if (::unlinkat(fd, name.c_str(), 0) != 0)
                    return SystemFailure(childPath, errno);
                continue;
            }
            if (!MakeWritable(fd, name.c_str(), info))
                return SystemFailure(childPath, errno);
            const int childFd = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (childFd < 0)
                return SystemFailure(childPath, errno);
            Status status = Empty(childFd, childPath, info.st_dev);
            ::close(childFd);
            if (!status)
                return status;
            if (IsMountRoot(childPath, info.st_dev, device))
                continue;
            if (::unlinkat(fd, name.c_str(), AT_REMOVEDIR) != 0)
                return SystemFailure(childPath, errno);
        }
        return Status::Ok();
    }

    bool IsMountRoot(const std::string& path, dev_t device, dev_t parentDevice) const
    {
        return device != parentDevice || volumes_.IsMountRoot(path);
    }

private:
    const VolumeInfo& volumes_;
};

}  // namespace

Status CreateGroup(const std::string& path)
{
    if (::mkdir(path.c_str(), 0777) == 0)
        return Status::Ok();
    if (errno == EEXIST)
        return Status::Exists(messages::kNameExists);
    return SystemFailure(path, errno);
}

Status RenameLibraryItem(const std::string& fromPath, const std::string& toPath)
{
    if (fromPath == toPath)
        return Status::Ok();
    return RenameWithoutReplacing(fromPath, toPath);
}

Status MoveLibraryItem(const std::string& sourcePath, const std::string& targetGroupPath)
{
    const std::string source = StripTrailingDelimiter(sourcePath);
    struct stat info;
    if (::lstat(source.c_str(), &info) != 0)
        return SystemFailure(source, errno);
    if (::lstat(targetGroupPath.c_str(), &info) != 0)
        return SystemFailure(targetGroupPath, errno);
    if (!S_ISDIR(info.st_mode))
        return Status::Invalid(messages::kMoveTargetNotGroup);
    // The source's own name is kept as it is: a link is moved, not what it points at.
    const std::string realSource = JoinPath(RealPathOf(ParentOf(source)), BaseName(source));
    const std::string realTarget = RealPathOf(targetGroupPath);
    if (realTarget.empty())
        return SystemFailure(targetGroupPath, errno);
    if (IsInside(realTarget, realSource))
        return Status::Invalid(messages::kMoveIntoItself);
    return RenameWithoutReplacing(source, JoinPath(targetGroupPath, BaseName(source)));
}

Status DeleteFolderTree(const std::string& path, const VolumeInfo& volumes)
{
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0)
        return SystemFailure(path, errno);
    if (!S_ISDIR(info.st_mode)) {
        if (::unlink(path.c_str()) != 0)
            return SystemFailure(path, errno);
        return Status::Ok();
    }
    const std::string folder = StripTrailingDelimiter(path);
    if ((info.st_mode & S_IRWXU) != S_IRWXU && ::chmod(folder.c_str(), (info.st_mode & 07777) | S_IRWXU) != 0)
        return SystemFailure(folder, errno);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return SystemFailure(folder, errno);
    FolderDeleter deleter(volumes);
    Status status = deleter.Empty(fd, folder, info.st_dev);
    ::close(fd);
    if (!status)
        return status;
    struct stat parent;
    if (::stat(ParentOf(folder).c_str(), &parent) != 0)
        return SystemFailure(ParentOf(folder), errno);
    if (deleter.IsMountRoot(folder, info.st_dev, parent.st_dev))
        return Status::Ok();
    if (::rmdir(folder.c_str()) != 0)
        return SystemFailure(folder, errno);
    return Status::Ok();
}

Status DeleteCatalogFile(const std::string& path)
{
    if (::unlink(path.c_str()) != 0)
        return SystemFailure(path, errno);
    return Status::Ok();
}

}  // namespace vellumark
