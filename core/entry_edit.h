#pragma once

#include "core/catalog_tree.h"

#include <string_view>

namespace vellumark {

// The separator a catalog's paths use below a parent path: "/" for catalogs made here, "\" for
// catalogs written on Windows, so that a rename keeps the catalog's own form.
char PathSeparatorOf(std::string_view parentPath);

// Gives the node the FullPath its parent's path, one separator and the new name make (the new
// name alone at the top level), and moves every descendant's FullPath onto the new prefix,
// recomputing each PathNameLength.
void RenamePaths(CatalogTreeNode& node, std::string_view newName);

// The edit of one field as the user typed it: a new FileName renames the paths first; the field
// takes the text unchanged; FileNameLength follows FileName after every edit. Saving the
// catalog is the caller's next step.
void ApplyEntryEdit(CatalogTreeNode& node, int key, std::string_view text);

}  // namespace vellumark
