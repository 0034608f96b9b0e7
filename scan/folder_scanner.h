#pragma once

#include "core/catalog_tree.h"
#include "scan/folder_walk.h"
#include "services/progress.h"
#include "services/status.h"
#include "system/mount_table.h"

#include <string>

namespace vellumark {

struct ScanRequest {
    std::string folderPath;       // a mount root ends with "/", any other folder does not
    std::string catalogFilePath;  // only names the catalog (DiskName)
    bool onlyFolders = false;
    std::string maskList;         // BuildMaskList's text; empty: every file
};

// Clears the tree and fills it with the catalog of the folder: one root entry, every entry
// below it with all its fields, folders without a matching file pruned when masks are given,
// directory sizes rolled up and percentages computed (except in only-folders mode). A partial
// tree of a cancelled scan is for the caller to discard.
ScanOutcome ScanFolder(CatalogTree& tree, const ScanRequest& request, const VolumeInfo& volumes, Progress& progress);

// The one line that tells the user how many entries the catalog lacks.
std::string UnreadableEntriesText(std::size_t count);

}  // namespace vellumark
