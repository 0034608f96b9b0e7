#pragma once

#include "core/catalog_tree.h"

#include <string_view>

namespace vellumark {

// Gives the node the FullPath its parent's path, one separator and the new name make (the new
// name alone at the top level), and moves every descendant's FullPath onto the new prefix,
// recomputing each PathNameLength. The separator is the one the catalog already uses there
// ("\" in catalogs written on Windows); none is added after a parent path that ends with one
// ("/media/cd/", "D:\"). A descendant whose path does not start with the old one is left alone
// rather than cut at a wrong place.
void RenamePaths(CatalogTreeNode& node, std::string_view newName);

// The edit of one field as the user typed it: a new FileName renames the paths first; the field
// takes the text unchanged; FileNameLength follows FileName after every edit. Saving the
// catalog is the caller's next step.
void ApplyEntryEdit(CatalogTreeNode& node, int key, std::string_view text);

}  // namespace vellumark
