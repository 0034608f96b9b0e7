#pragma once

#include "core/catalog_tree.h"
#include "services/status.h"

#include <string>

namespace vellumark {

// The default groups, in the order they are created.
inline constexpr const char* kDefaultGroups[] = {"Mp3", "DVD", "Movie", "Book", "Document"};
inline constexpr const char* kLibraryRootName = "CatalogLibrary";

// Creates the library root and its default groups, only when the root does not exist.
Status CreateDefaultLibrary(const std::string& libraryRoot);

// Clears the tree and fills it with the library: the root record, then every group (folder)
// and, unless foldersOnly, every catalog (file) below it, each folder's contents directly under
// its record in listing order; sizes rolled up and percentages computed. Each folder is opened
// inside its parent's open handle, so groups nested beyond the system's path limit are listed
// too. Directories are never entered through a symbolic link; a link to a file counts as a
// catalog. Folders that cannot be listed yield no records. Temporary files of saves are never
// listed; those no live writer holds (left by a save that died) are removed.
Status LoadLibraryTree(CatalogTree& tree, const std::string& libraryRoot, bool foldersOnly);

}  // namespace vellumark
