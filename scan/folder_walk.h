#pragma once

#include "core/catalog_tree.h"
#include "core/shared_text.h"
#include "services/progress.h"
#include "services/status.h"

#include <string>

namespace vellumark {

struct WalkOptions {
    std::string realPath;     // the folder to list
    std::string displayPath;  // FullPath of the parent entry; children get it + "/" + their path
    bool onlyFolders = false;
    std::string maskList;     // empty: every file
    SharedText diskName;
    unsigned threads = 0;     // 0: one per core
};

// Adds the folder's contents below the parent, depth first, each directory's entries in the
// order the file system lists them and directly under it. Symbolic links are recorded as files
// and never followed; folders that cannot be listed yield no children. Fails when the folder
// itself cannot be listed; Cancelled when the progress's cancel flag was set (the entries added
// so far stay, for the caller to discard).
Status WalkFolder(CatalogTree& tree, CatalogTreeNode* parent, const WalkOptions& options, Progress& progress);

}  // namespace vellumark
