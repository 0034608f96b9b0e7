#pragma once

#include "core/catalog_compare.h"
#include "core/catalog_snapshot.h"
#include "core/catalog_tree.h"
#include "system/mount_table.h"
#include "services/progress.h"
#include "services/status.h"

#include <cstddef>
#include <string>
#include <vector>

namespace vellumark {

struct UpdateRequest {
    std::string catalogPath;
    std::string folderPath;  // where the medium is now, as FolderAsChosen gives it
    std::string maskList;    // BuildMaskList's text; empty: every file
    bool onlyFolders = false;  // a catalog whose root has an empty FileSize is updated folders-only anyway
};

struct UpdateCounts {
    std::size_t added = 0;
    std::size_t removed = 0;
    std::size_t changed = 0;
    std::size_t unchanged = 0;
    std::size_t unreadable = 0;        // entries kept as they were below a folder that could not be read
    std::size_t descriptionsKept = 0;  // non-empty Descriptions carried into the new catalog
};

struct LostDescription {
    std::string relativePath;
    std::string description;
};

// What an update would write, and how it differs from the catalog as read.
struct UpdatePlan {
    CatalogTree tree;
    // Compare's differences between the catalog read and the new catalog, kept entries left
    // out. The entries point into the catalog read and into the plan's tree.
    std::vector<EntryDifference> differences;
    UpdateCounts counts;
    std::vector<LostDescription> lostDescriptions;  // of entries not found again, in pre-order
    // Almost nothing was found again and descriptions would be lost, or nothing at all was
    // found: the wrong medium, or none, most likely.
    bool wrongMedium = false;
    // The new catalog holds exactly what the catalog read holds: there is nothing to write.
    bool sameAsCatalog = false;
};

enum class UpdateOutcome { Written, AlreadyUpToDate, RefusedWrongMedium };

// Updates a catalog from its medium, keeping what the user wrote: every entry found again
// (same relative path) keeps its Description, the root keeps its FileName (and Description);
// everything else comes from a new scan. A moved or renamed entry is not found again: it counts
// as removed and added, and its description is reported lost.
//
// Prepare (on a worker, cancellable) scans and plans; the caller may show the plan; Commit
// writes it. Nothing is held on the catalog while the scan runs: Commit looks at the file again
// and, when it changed since it was read, reads it once more and plans anew from the fresh
// content, so a description typed during a long scan is never lost.
class CatalogUpdate {
public:
    explicit CatalogUpdate(UpdateRequest request) : request_(std::move(request)) {}

    // Scans the medium while the catalog is read on a second thread, then plans; called once.
    // Invalid when the catalog holds more than one top-level entry; Cancelled when the
    // progress's cancel flag was set.
    Status Prepare(const VolumeInfo& volumes, Progress& progress);

    const UpdatePlan& Plan() const { return plan_; }
    const CatalogTree& CatalogRead() const { return snapshot_.tree; }

    // The read-check-merge-write step, under the catalog's lock (the one an edit takes). Refuses
    // a plan for the wrong medium unless accepted; writes nothing when the new catalog equals the
    // catalog; otherwise replaces the file atomically. Any failure or a cancel leaves the catalog
    // file as it was. Afterwards Plan() is the plan this step decided on (planned anew when the
    // file had changed).
    Status Commit(bool acceptWrongMedium, Progress& progress, UpdateOutcome& outcome);

private:
    Status MakePlan();

    UpdateRequest request_;
    bool onlyFolders_ = false;
    CatalogSnapshot snapshot_;
    // The scan becomes the plan's tree; what a plan adds to it (entries kept below unreadable
    // folders) is recorded, so that planning again starts from the scan.
    std::string scanRootName_;
    bool scanEmpty_ = false;
    bool planned_ = false;
    std::vector<CatalogTreeNode*> keptSubtrees_;
    // The root path and separator the tree's FullPaths are built with now.
    std::string pathRoot_;
    char pathSeparator_ = '/';
    UpdatePlan plan_;
};

}  // namespace vellumark
