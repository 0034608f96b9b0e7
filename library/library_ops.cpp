#include "library/library_ops.h"

#include "core/path_names.h"
#include "library/library_names.h"
#include "services/messages.h"
#include "system/file_status.h"
#include "system/file_lock.h"
#include "system/folder_listing.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
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

bool IsInside(const std::string& path, const std::string& folder)
{
    return path == folder || (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
                              (folder.back() == '/' || path[folder.size()] == '/'));
}

// The lock an edit holds on a catalog, taken before the catalog is renamed, moved or deleted:
// an edit in flight lands first, and one that waits finds the catalog gone instead of writing it
// back at its old path. A group, or a catalog that cannot be locked, goes without.
FileLock LockIfCatalog(const std::string& path)
{
    const std::optional<FileKind> kind = KindOfPath(path, FollowLinks::No);
    if (kind != FileKind::RegularFile && kind != FileKind::SymbolicLink)
        return {};
    return FileLock::OnPath(path);
}

Status RenameWithoutReplacing(const std::string& from, const std::string& to)
{
    const FileLock lock = LockIfCatalog(from);
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return Status::Ok();
    const int error = errno;
    if (error == EEXIST || error == ENOTEMPTY)
        return Status::Exists(messages::kNameExists);
    if (error == EXDEV)
        return Status::Failed(messages::kNotSameVolume);
    // The old item exists; a name too long is the new one.
    return SystemFailure(error == ENAMETOOLONG ? to : from, error);
}

// Gives the owner full rights on a folder so that its entries can be listed and removed.
bool MakeWritable(int parentFd, const char* name, const FileStatus& status)
{
    if ((status.permissions & S_IRWXU) == S_IRWXU)
        return true;
    return ::fchmodat(parentFd, name, status.permissions | S_IRWXU, 0) == 0;
}

// Empties a folder tree of any depth with a bounded number of open descriptors: it holds only
// the folder it is in, and goes back up through "..", making sure that leads to the folder it
// came from. Each folder's names are read whole before any of them is removed.
class FolderDeleter {
public:
    explicit FolderDeleter(const VolumeInfo& volumes) : volumes_(volumes) {}

    // Removes everything inside the open folder, which stays.
    Status Empty(FolderHandle folder, const std::string& path)
    {
        current_ = std::move(folder);
        if (Status status = Enter(path); !status)
            return status;
        while (!levels_.empty()) {
            Level& level = levels_.back();
            if (level.names.empty()) {
                if (levels_.size() == 1)
                    return Status::Ok();
                if (Status status = LeaveEmptiedFolder(); !status)
                    return status;
                continue;
            }
            const std::string name = std::move(level.names.back());
            level.names.pop_back();
            const std::string childPath = JoinPath(level.path, name);
            const std::optional<FileStatus> status = StatusIn(current_.Fd(), name.c_str(), FollowLinks::No);
            if (!status)
                return SystemFailure(childPath, errno);
            if (status->kind != FileKind::Directory) {
                if (::unlinkat(current_.Fd(), name.c_str(), 0) != 0)
                    return SystemFailure(childPath, errno);
                continue;
            }
            if (!MakeWritable(current_.Fd(), name.c_str(), *status))
                return SystemFailure(childPath, errno);
            FolderHandle child = FolderHandle::OpenIn(current_.Fd(), name.c_str());
            if (!child.IsOpen())
                return SystemFailure(childPath, child.Error());
            current_ = std::move(child);
            if (Status entered = Enter(childPath); !entered)
                return entered;
        }
        return Status::Ok();
    }

    bool IsMountRoot(const std::string& path, std::uint64_t device, std::uint64_t parentDevice) const
    {
        return device != parentDevice || volumes_.IsMountRoot(path);
    }

    // The mount roots found below, emptied and kept, in the order they were reached.
    const std::vector<std::string>& KeptMountRoots() const { return keptMountRoots_; }

    // A folder that could not be removed because a mount root kept below it is still there.
    bool HoldsKeptMountRoot(const std::string& path, int removeError) const
    {
        if (removeError != ENOTEMPTY && removeError != EEXIST)
            return false;
        return std::any_of(keptMountRoots_.begin(), keptMountRoots_.end(), [&](const std::string& root) {
            return root.size() > path.size() && root.compare(0, path.size(), path) == 0 && root[path.size()] == '/';
        });
    }

private:
    struct Level {
        std::string path;
        std::vector<std::string> names;  // still to remove, the next one last
        FileStatus status;               // to know the folder again on the way back up
    };

    // Reads the names of the folder just opened.
    Status Enter(const std::string& path)
    {
        const std::optional<FileStatus> status = StatusOfOpenFile(current_.Fd());
        if (!status)
            return SystemFailure(path, errno);
        Level level{path, {}, *status};
        FolderListing listing(current_.Duplicate());
        while (const FolderEntry* entry = listing.Next())
            level.names.emplace_back(entry->Name());
        if (listing.Error() != 0)
            return SystemFailure(path, listing.Error());
        std::reverse(level.names.begin(), level.names.end());
        levels_.push_back(std::move(level));
        return Status::Ok();
    }

    // Goes back up from an emptied folder and removes it, unless it is a mount root.
    Status LeaveEmptiedFolder()
    {
        const Level done = std::move(levels_.back());
        levels_.pop_back();
        const Level& parent = levels_.back();
        FolderHandle up = FolderHandle::OpenIn(current_.Fd(), "..");
        const std::optional<FileStatus> upStatus = up.IsOpen() ? StatusOfOpenFile(up.Fd()) : std::nullopt;
        if (!upStatus)
            return SystemFailure(parent.path, up.IsOpen() ? errno : up.Error());
        if (!upStatus->SameFileAs(parent.status))
            return SystemFailure(done.path, ESTALE);
        current_ = std::move(up);
        if (IsMountRoot(done.path, done.status.device, parent.status.device)) {
            keptMountRoots_.push_back(done.path);
            return Status::Ok();
        }
        if (::unlinkat(current_.Fd(), std::string(BaseName(done.path)).c_str(), AT_REMOVEDIR) == 0)
            return Status::Ok();
        const int error = errno;
        return HoldsKeptMountRoot(done.path, error) ? Status::Ok() : SystemFailure(done.path, error);
    }

    const VolumeInfo& volumes_;
    FolderHandle current_;
    std::vector<Level> levels_;
    std::vector<std::string> keptMountRoots_;
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
    if (!StatusOfPath(source, FollowLinks::No))
        return SystemFailure(source, errno);
    const std::optional<FileStatus> target = StatusOfPath(targetGroupPath, FollowLinks::No);
    if (!target)
        return SystemFailure(targetGroupPath, errno);
    if (target->kind != FileKind::Directory)
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
    // The item is looked at and removed through its parent's handle, so that a path of any
    // length works, and a link is found as the link it is.
    const std::string folder = StripTrailingDelimiter(path);
    const std::string parentPath = ParentOf(folder);
    const std::string name(BaseName(folder));
    const FolderHandle parent = FolderHandle::Open(parentPath);
    if (!parent.IsOpen())
        return SystemFailure(parentPath, parent.Error());
    const std::optional<FileStatus> status = StatusIn(parent.Fd(), name.c_str(), FollowLinks::No);
    if (!status)
        return SystemFailure(folder, errno);
    if (status->kind != FileKind::Directory) {
        if (::unlinkat(parent.Fd(), name.c_str(), 0) != 0)
            return SystemFailure(folder, errno);
        return Status::Ok();
    }
    if (!MakeWritable(parent.Fd(), name.c_str(), *status))
        return SystemFailure(folder, errno);
    FolderHandle handle = FolderHandle::OpenIn(parent.Fd(), name.c_str());
    if (!handle.IsOpen())
        return SystemFailure(folder, handle.Error());
    FolderDeleter deleter(volumes);
    if (Status emptied = deleter.Empty(std::move(handle), folder); !emptied)
        return emptied;
    const std::optional<FileStatus> parentStatus = StatusOfOpenFile(parent.Fd());
    if (!parentStatus)
        return SystemFailure(parentPath, errno);
    if (deleter.IsMountRoot(folder, status->device, parentStatus->device))
        return Status::Ok();
    if (::unlinkat(parent.Fd(), name.c_str(), AT_REMOVEDIR) == 0)
        return Status::Ok();
    const int error = errno;
    if (!deleter.HoldsKeptMountRoot(folder, error))
        return SystemFailure(folder, error);
    std::string kept;
    for (const std::string& root : deleter.KeptMountRoots())
        kept += (kept.empty() ? "\"" : ", \"") + root + "\"";
    const bool several = deleter.KeptMountRoots().size() > 1;
    return Status::Failed(folder + ": not removed: the mount point" + (several ? "s " : " ") + kept + " inside "
                          + (several ? "were" : "was") + " emptied and kept");
}

Status DeleteCatalogFile(const std::string& path)
{
    const FileLock lock = LockIfCatalog(path);
    if (::unlink(path.c_str()) != 0)
        return SystemFailure(path, errno);
    return Status::Ok();
}

}  // namespace vellumark
