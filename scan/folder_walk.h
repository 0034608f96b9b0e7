#pragma once

#include "core/catalog_tree.h"
#include "core/shared_text.h"
#include "services/progress.h"
#include "services/status.h"

#include <string>
#include <vector>

namespace vellumark {

struct WalkOptions {
    std::string realPath;     // the folder to list
    std::string displayPath;  // FullPath of the parent entry; children get it + "/" + their path
    bool onlyFolders = false;
    std::string maskList;     // empty: every file
    SharedText diskName;
    unsigned threads = 0;     // 0: one per core
};

// What a walk or a whole scan ended with.
struct ScanOutcome {
    // Failed when the folder itself cannot be listed; Cancelled when the progress's cancel flag
    // was set (the entries added so far stay, for the caller to discard).
    Status status;
    // The FullPath of every entry that could not be read, in the tree's pre-order: a folder
    // that could not be opened or listed to its end (its contents are missing, its own entry
    // is there) and an entry whose status could not be read (it is missing itself). An entry
    // that vanished meanwhile is not counted: nothing of it is missing. The catalog is complete
    // when this is empty.
    std::vector<std::string> unreadable;
};

// Adds the folder's contents below the parent, depth first, each directory's entries in the
// order the file system lists them and directly under it. Every folder is opened relative to
// its parent's open handle, so trees deeper than the longest path the system accepts are walked
// whole. Symbolic links are recorded as files and never followed.
ScanOutcome WalkFolder(CatalogTree& tree, CatalogTreeNode* parent, const WalkOptions& options, Progress& progress);

}  // namespace vellumark
