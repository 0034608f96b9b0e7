#pragma once

#include "services/progress.h"

#include <string>
#include <vector>

namespace vellumark {

// A file or folder in a search's scope that could not be read, and why.
struct SkippedFile {
    std::string path;
    std::string reason;
};

// The catalog files of a scope in the order the walk reaches them.
struct ScopeCatalogs {
    std::vector<std::string> files;
    // Folders that exist but could not be listed: their catalogs are missing from `files`.
    std::vector<SkippedFile> unlistedFolders;
    // The user cancelled the walk; `files` holds what was reached before.
    bool cancelled = false;
};

// A group's catalogs: every file of the folder and of its sub-folders, in listing order with a
// sub-folder's files where the sub-folder is listed, never through a symbolic link to a folder
// (a link to a file counts as the file), and never a save's temporary file. A single catalog's
// scope is that file. Each path reached is shown as the progress message; the cancel flag is
// polled before each. A group folder that does not exist has no catalogs and no fault.
ScopeCatalogs ListScopeCatalogs(const std::string& scopePath, bool scopeIsGroup, Progress& progress);

}  // namespace vellumark
