#include "library/library_store.h"

#include "core/path_names.h"
#include "core/size_rollup.h"
#include "library/library_names.h"
#include "services/atomic_file.h"
#include "services/text_format.h"
#include "system/file_status.h"
#include "system/folder_listing.h"

#include <sys/stat.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <iterator>
#include <memory>
#include <vector>

namespace vellumark {

namespace {

struct PendingFolder {
    // The parent's open folder, which this one is opened in; none for the library root, which
    // is opened by its path and may itself be a link the user made. Nothing below is followed.
    std::shared_ptr<const FolderHandle> parentFolder;
    std::string path;
    std::size_t nameOffset;  // where the folder's own name begins in path
    CatalogTreeNode* node;
};

void AddRecord(CatalogTree& tree, CatalogTreeNode* parent, const std::string& path, std::string_view name,
               const FileStatus& status, bool isDirectory)
{
    char sizeBuffer[24];
    const auto sizeEnd = std::to_chars(sizeBuffer, sizeBuffer + sizeof(sizeBuffer), isDirectory ? 0 : status.size);
    const std::string fileTime = FormatFileTime(static_cast<std::time_t>(status.modified.seconds));
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

// Lists one folder into records below its node; adds its subfolders to those to walk next.
void ListFolder(CatalogTree& tree, PendingFolder& folder, bool foldersOnly, std::vector<PendingFolder>& next)
{
    FolderListing listing(folder.parentFolder
                              ? FolderHandle::OpenIn(folder.parentFolder->Fd(), folder.path.c_str() + folder.nameOffset)
                              : FolderHandle::Open(folder.path));
    folder.parentFolder.reset();
    std::shared_ptr<const FolderHandle> handle;  // shared by the subfolders, made at the first
    std::vector<PendingFolder> subfolders;
    while (const FolderEntry* entry = listing.Next()) {
        // A save's temporary file is no catalog; one whose writer died is cleared away here.
        if (IsTemporaryFileName(entry->Name())) {
            RemoveStaleTemporaryFile(listing.Fd(), entry->name);
            continue;
        }
        std::optional<FileStatus> status = StatusIn(listing.Fd(), entry->name, FollowLinks::No);
        // A link is never entered; one that leads to a file is a catalog like any other.
        if (status && status->kind == FileKind::SymbolicLink) {
            status = StatusIn(listing.Fd(), entry->name, FollowLinks::Yes);
            if (status && status->kind != FileKind::RegularFile)
                continue;
        }
        if (!status)
            continue;
        const bool isDirectory = status->kind == FileKind::Directory;
        // Pipes, sockets and devices are no catalogs: opening one could block or never end.
        if (!isDirectory && status->kind != FileKind::RegularFile)
            continue;
        if (!isDirectory && foldersOnly)
            continue;
        const std::string path = JoinPath(folder.path, entry->Name());
        AddRecord(tree, folder.node, path, entry->Name(), *status, isDirectory);
        if (isDirectory) {
            if (!handle)
                handle = std::make_shared<const FolderHandle>(listing.DuplicateHandle());
            subfolders.push_back({handle, path, path.size() - entry->Name().size(),
                                  folder.node->Child(folder.node->ChildCount() - 1)});
        }
    }
    next.insert(next.end(), std::make_move_iterator(subfolders.rbegin()), std::make_move_iterator(subfolders.rend()));
}

}  // namespace

Status CreateDefaultLibrary(const std::string& libraryRoot)
{
    if (ExistsWithoutFollowing(libraryRoot))
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
    std::vector<PendingFolder> pending{{nullptr, rootPath, 0, root}};
    while (!pending.empty()) {
        PendingFolder folder = std::move(pending.back());
        pending.pop_back();
        ListFolder(tree, folder, foldersOnly, pending);
    }
    root->record.SetField(kFileSize, FormatWholeNumber(RollUpSizes(*root)));
    ComputePercentages(tree);
    return Status::Ok();
}

}  // namespace vellumark
