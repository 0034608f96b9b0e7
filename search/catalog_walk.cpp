#include "search/catalog_walk.h"

#include "core/path_names.h"
#include "services/atomic_file.h"
#include "system/file_status.h"
#include "system/folder_listing.h"

#include <cerrno>
#include <cstring>
#include <string_view>

namespace vellumark {

namespace {

std::string CannotRead(const std::string& path, const char* why) { return "Cannot read \"" + path + "\": " + why; }

struct ListedEntry {
    std::string name;
    FolderEntry::Kind kind;
};

// One folder of the walk: its entries as listed, and how far the walk has gone through them.
struct WalkLevel {
    std::string folder;
    std::vector<ListedEntry> entries;
    std::size_t next = 0;
};

class GroupWalk {
public:
    GroupWalk(Progress& progress, ScopeCatalogs& scope) : progress_(progress), scope_(scope) {}

    void Walk(const std::string& group);

private:
    bool ListFolder(const std::string& folder, std::vector<ListedEntry>& entries);

    Progress& progress_;
    ScopeCatalogs& scope_;
};

// The folder is listed whole and closed before anything in it is walked, so a deep group
// tree holds one open folder at a time, not one per level.
bool GroupWalk::ListFolder(const std::string& folder, std::vector<ListedEntry>& entries)
{
    FolderListing listing(folder);
    while (const FolderEntry* entry = listing.Next())
        if (!IsTemporaryFileName(entry->Name()))
            entries.push_back({std::string(entry->Name()), entry->kind});
    if (const int error = listing.Error(); error != 0) {
        // A folder that vanished is as good as an empty one; one that cannot be read leaves
        // its catalogs unsearched, which the outcome must tell.
        if (!(error == ENOENT && !listing.IsOpen()))
            scope_.unlistedFolders.push_back({folder, CannotRead(folder, std::strerror(error))});
        entries.clear();
        return false;
    }
    return true;
}

// Depth first in listing order: a sub-folder's catalogs come where the sub-folder is listed.
void GroupWalk::Walk(const std::string& group)
{
    std::vector<WalkLevel> levels(1);
    levels.back().folder = group;
    if (!ListFolder(group, levels.back().entries))
        return;
    while (!levels.empty()) {
        WalkLevel& level = levels.back();
        if (level.next == level.entries.size()) {
            levels.pop_back();
            continue;
        }
        const ListedEntry& entry = level.entries[level.next++];
        std::string path = JoinPath(level.folder, entry.name);
        progress_.SetMessage(path);
        if (progress_.Cancelled()) {
            scope_.cancelled = true;
            return;
        }
        FolderEntry::Kind kind = entry.kind;
        if (kind == FolderEntry::Kind::Unknown) {
            const std::optional<FileStatus> status = StatusOfPath(path, FollowLinks::No);
            if (!status)
                continue;  // gone since the listing
            kind = status->kind == FileKind::Directory      ? FolderEntry::Kind::Directory
                   : status->kind == FileKind::SymbolicLink ? FolderEntry::Kind::SymbolicLink
                                                            : FolderEntry::Kind::RegularFile;
        }
        if (kind == FolderEntry::Kind::Directory) {
            WalkLevel below;
            below.folder = std::move(path);
            if (ListFolder(below.folder, below.entries))
                levels.push_back(std::move(below));
            continue;
        }
        // A link to a folder is never entered: link cycles would make the walk endless and
        // linked folders would be searched twice. A link to a file is read as the file.
        if (kind == FolderEntry::Kind::SymbolicLink && KindOfPath(path, FollowLinks::Yes) == FileKind::Directory)
            continue;
        scope_.files.push_back(std::move(path));
    }
}

}  // namespace

ScopeCatalogs ListScopeCatalogs(const std::string& scopePath, bool scopeIsGroup, Progress& progress)
{
    ScopeCatalogs scope;
    if (scopeIsGroup)
        GroupWalk(progress, scope).Walk(scopePath);
    else
        scope.files.push_back(scopePath);
    return scope;
}

}  // namespace vellumark
