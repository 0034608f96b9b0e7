#pragma once

#include "core/catalog_tree.h"
#include "services/progress.h"
#include "services/status.h"
#include "system/file_status.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace vellumark {

// One edit of one entry's field, as the user typed it.
struct EntryEdit {
    // The entry's FullPath before the edit: the first entry in pre-order with that path is meant.
    std::string entryPath;
    int key = kDescription;  // FileName renames the entry's paths too (ApplyEntryEdit)
    std::string text;
};

// The first entry in pre-order whose FullPath is exactly the path; nullptr when there is none.
CatalogTreeNode* FindEntryByFullPath(const CatalogTree& tree, std::string_view fullPath);

// Applies the edits, in order, to the catalog file as one read-modify-write under the catalog's
// lock (FileLock::OnPath; catalog updates and the library's rename, move and delete of a catalog
// take it too): the file is read under the lock, each edit's entry found with
// FindEntryByFullPath, and the file replaced atomically before the lock is let go. Writers that
// meet so take turns, and each one's edit lands. Invalid, with nothing written, when the file is
// gone or an entry is not in it. A file this process may not lock (no write permission on the
// file itself, a file system without locks) is edited without the lock.
Status EditCatalogFile(const std::string& path, std::span<const EntryEdit> edits, Progress& progress);

struct CatalogSaveOutcome {
    // The file had changed since it was read: it was read again, and `fresh` is its content with
    // the edits applied (or, when they were refused, as found).
    bool reread = false;
    CatalogTree fresh;
    // The file as it is after the save (as written, or as found when refused): what to compare
    // with at the next save. Empty when its status cannot be read.
    std::optional<FileStatus> identity;
};

// The save of a window that shows a catalog it read earlier: `shown` is its tree with the user's
// edits already applied, `readIdentity` the identity it was read with (CatalogSnapshot::identity),
// `edits` those edits since the last save (usually one). Under the catalog's lock:
//   - the file is still as read (same file, size and times): `shown` is written as it is;
//   - it changed meanwhile (another window, program or machine saved it): it is read again, the
//     edits are applied to the fresh content and that is written; `outcome.reread` is set and
//     `outcome.fresh` holds the tree, for the window to adopt in place of its own and to tell the
//     user that the catalog was read again;
//   - an edit's entry is no longer in the fresh content: nothing is written, the status is
//     Invalid with a message naming the entry, `outcome.reread` is set and `outcome.fresh` holds
//     the catalog as found, which the window adopts (the refused edit is dropped).
// Runs on a worker: it neither changes nor keeps `shown`.
Status SaveCatalogEdits(const std::string& path, const CatalogTree& shown, const std::optional<FileStatus>& readIdentity,
                        std::span<const EntryEdit> edits, CatalogSaveOutcome& outcome, Progress& progress);

}  // namespace vellumark
