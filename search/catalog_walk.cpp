#include "search/catalog_walk.h"

#include "core/path_names.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <string_view>
#include <sys/stat.h>

namespace vellumark {

namespace {

std::string CannotRead(const std::string& path, const char* why) { return "Cannot read \"" + path + "\": " + why; }

struct ListedEntry {
    std::string name;
    unsigned char type;  // d_type: DT_DIR, DT_REG, DT_LNK, DT_UNKNOWN, ...
};

class GroupWalk {
public:
    GroupWalk(Progress& progress, ScopeCatalogs& scope) : progress_(progress), scope_(scope) {}

    void Walk(const std::string& folder);

private:
    bool ListFolder(const std::string& folder, std::vector<ListedEntry>& entries);

    Progress& progress_;
    ScopeCatalogs& scope_;
};

// The folder is listed whole and closed before anything in it is walked, so a deep group
// tree holds one open folder at a time, not one per level.
bool GroupWalk::ListFolder(const std::string& folder, std::vector<ListedEntry>& entries)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) {
        // A folder that vanished is as good as an empty one; one that cannot be read leaves
        // its catalogs unsearched, which the outcome must tell.
        if (errno != ENOENT)
            scope_.unlistedFolders.push_back({folder, CannotRead(folder, std::strerror(errno))});
        return false;
    }
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..")
            entries.push_back({std::string(name), entry->d_type});
        errno = 0;
    }
    const int readError = errno;
    ::closedir(dir);
    if (readError != 0) {
        scope_.unlistedFolders.push_back({folder, CannotRead(folder, std::strerror(readError))});
        entries.clear();
        return false;
    }
    return true;
}

void GroupWalk::Walk(const std::string& folder)
{
    std::vector<ListedEntry> entries;
    if (!ListFolder(folder, entries))
        return;
    for (const ListedEntry& entry : entries) {
        std::string path = JoinPath(folder, entry.name);
        progress_.SetMessage(path);
        if (progress_.Cancelled()) {
            scope_.cancelled = true;
            return;
        }
        unsigned char type = entry.type;
        if (type == DT_UNKNOWN) {
            struct stat status {};
            if (::lstat(path.c_str(), &status) != 0)
                continue;  // gone since the listing
            type = S_ISDIR(status.st_mode) ? DT_DIR : S_ISLNK(status.st_mode) ? DT_LNK : DT_REG;
        }
        if (type == DT_DIR) {
            Walk(path);
            if (scope_.cancelled)
                return;
            continue;
        }
        if (type == DT_LNK) {
            // A link to a folder is never entered: link cycles would make the walk endless
            // and linked folders would be searched twice. A link to a file is read as the file.
            struct stat target {};
            if (::stat(path.c_str(), &target) == 0 && S_ISDIR(target.st_mode))
                continue;
        }
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
