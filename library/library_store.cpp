#include "library/library_store.h"

#include "core/path_names.h"
#include "core/size_rollup.h"
#include "library/library_names.h"
#include "services/text_format.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <vector>

namespace vellumark {

namespace {

struct PendingFolder {
    std::string path;
    CatalogTreeNode* node;
    bool isRoot = false;  // the root may itself be a link the user made; nothing below is followed
};

void AddRecord(CatalogTree& tree, CatalogTreeNode* parent, const std::string& path, std::string_view name,
               const struct stat& info, bool isDirectory)
{
    char sizeBuffer[24];
    const auto sizeEnd =
        std::to_chars(sizeBuffer, sizeBuffer + sizeof(sizeBuffer), isDirectory ? 0 : static_cast<long long>(info.st_size));
    const std::string fileTime = FormatFileTime(info.st_mtime);
    const std::string_view shownName = isDirectory ? name : NameBeforeFirstDot(name);
    EntryRecord::Fields fields{};
    fields[kFileName] = shownName;
    fields[kFullPath] = path;
    fields[kFileSize] = std::string_view(sizeBuffer, static_cast<std::size_t>(sizeEnd.ptr - sizeBuffer));
    fields[kFileTime] = fileTime;
    tree.Append(parent)->record.Assign(fields, SharedText(),
                                       isDirectory ? SharedText::Directory() : SharedText::File(),
                                       isDirectory ? SharedText() : SharedText(shownName));
}

// Lists one folder into records below its node; returns the subfolders to walk next.
void ListFolder(CatalogTree& tree, const PendingFolder& folder, bool foldersOnly, std::vector<PendingFolder>& next)
{
    const int fd = ::open(folder.path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | (folder.isRoot ? 0 : O_NOFOLLOW));
    if (fd < 0)
        return;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return;
    }
    std::vector<PendingFolder> subfolders;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat info;
        if (::fstatat(fd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        // A link is never entered; one that leads to a file is a catalog like any other.
        if (S_ISLNK(info.st_mode) && (::fstatat(fd, entry->d_name, &info, 0) != 0 || !S_ISREG(info.st_mode)))
            continue;
        const bool isDirectory = S_ISDIR(info.st_mode);
        // Pipes, sockets and devices are no catalogs: opening one could block or never end.
        if (!isDirectory && !S_ISREG(info.st_mode))
            continue;
        if (!isDirectory && foldersOnly)
            continue;
        const std::string path = JoinPath(folder.path, name);
        AddRecord(tree, folder.node, path, name, info, isDirectory);
        if (isDirectory)
            subfolders.push_back({path, folder.node->Child(folder.node->ChildCount() - 1)});
    }
    ::closedir(dir);
    next.insert(next.end(), subfolders.rbegin(), subfolders.rend());
}

}  // namespace

Status CreateDefaultLibrary(const std::string& libraryRoot)
{
    struct stat info;
    if (::lstat(libraryRoot.c_str(), &info) == 0)
        return Status::Ok();
    if (::mkdir(libraryRoot.c_str(), 0777) != 0)
        return Status::Failed(libraryRoot + ": " + std::strerror(errno));
    for (const char* group : kDefaultGroups) {
        const std::string path = JoinPath(libraryRoot, group);
        if (::mkdir(path.c_str(), 0777) != 0)
            return Status::Failed(path + ": " + std::strerror(errno));
    }
    return Status::Ok();
}

Status LoadLibraryTree(CatalogTree& tree, const std::string& libraryRoot, bool foldersOnly)
{
    tree.Clear();
    const std::string rootPath = StripTrailingDelimiter(libraryRoot);
    EntryRecord::Fields fields{};
    fields[kFileName] = kLibraryRootName;
    fields[kFullPath] = rootPath;
    CatalogTreeNode* root = tree.Append(nullptr);
    root->record.Assign(fields, SharedText(), SharedText::Directory(), SharedText());

    // Each folder's records are complete before its subfolders are listed, so the order of
    // the walk does not change the tree; an explicit stack keeps any depth safe.
    std::vector<PendingFolder> pending{{rootPath, root, true}};
    while (!pending.empty()) {
        const PendingFolder folder = std::move(pending.back());
        pending.pop_back();
        ListFolder(tree, folder, foldersOnly, pending);
    }
    root->record.SetField(kFileSize, FormatWholeNumber(RollUpSizes(*root)));
    ComputePercentages(tree);
    return Status::Ok();
}

}  // namespace vellumark
