#include "core/catalog_edit.h"

#include "core/catalog_file.h"
#include "core/entry_edit.h"
#include "system/file_lock.h"
#include "system/test_pause.h"

#include <cerrno>

namespace vellumark {

namespace {

// Applies the edits to a tree just read, counting those applied; Invalid at the first entry
// that is not there.
Status ApplyEdits(CatalogTree& tree, std::span<const EntryEdit> edits, const std::string& path, std::size_t& applied)
{
    for (const EntryEdit& edit : edits) {
        CatalogTreeNode* entry = FindEntryByFullPath(tree, edit.entryPath);
        if (!entry)
            return Status::Invalid("No entry " + edit.entryPath + " in " + path);
        ApplyEntryEdit(*entry, edit.key, edit.text);
        ++applied;
    }
    return Status::Ok();
}

// The read-modify-write under the lock. With `shown`, the caller's tree is written when the file
// is still the one it read; without, the file is always read.
Status EditUnderLock(const std::string& path, const CatalogTree* shown, const std::optional<FileStatus>& readIdentity,
                     std::span<const EntryEdit> edits, CatalogSaveOutcome& outcome, Progress& progress)
{
    const FileLock lock = FileLock::OnPath(path);
    if (!lock.IsHeld() && (lock.Error() == ENOENT || lock.Error() == ENOTDIR))
        return Status::Invalid("No catalog " + path);
    const std::optional<FileStatus> current = lock.IsHeld() ? lock.Identity() : StatusOfPath(path, FollowLinks::Yes);
    PauseForTest("catalog-locked");

    const CatalogTree* written = shown;
    if (!shown || !current || current != readIdentity) {
        if (Status status = ReadCatalogFile(path, outcome.fresh, progress); !status)
            return status;
        outcome.reread = shown != nullptr;
        std::size_t applied = 0;
        if (Status refused = ApplyEdits(outcome.fresh, edits, path, applied); !refused) {
            // The caller adopts the catalog as it is: without the edits applied before the refused one.
            if (applied > 0) {
                if (Status status = ReadCatalogFile(path, outcome.fresh, progress); !status) {
                    outcome.reread = false;
                    return status;
                }
            }
            outcome.identity = current;
            return refused;
        }
        written = &outcome.fresh;
    }
    PauseForTest("catalog-read");
    if (Status status = WriteCatalogFile(*written, path, progress); !status)
        return status;
    outcome.identity = StatusOfPath(path, FollowLinks::Yes);
    return Status::Ok();
}

}  // namespace

CatalogTreeNode* FindEntryByFullPath(const CatalogTree& tree, std::string_view fullPath)
{
    for (CatalogTreeNode* node : tree.PreOrder())
        if (node->record.Field(kFullPath) == fullPath)
            return node;
    return nullptr;
}

Status EditCatalogFile(const std::string& path, std::span<const EntryEdit> edits, Progress& progress)
{
    CatalogSaveOutcome outcome;
    return EditUnderLock(path, nullptr, std::nullopt, edits, outcome, progress);
}

Status SaveCatalogEdits(const std::string& path, const CatalogTree& shown, const std::optional<FileStatus>& readIdentity,
                        std::span<const EntryEdit> edits, CatalogSaveOutcome& outcome, Progress& progress)
{
    return EditUnderLock(path, &shown, readIdentity, edits, outcome, progress);
}

}  // namespace vellumark
