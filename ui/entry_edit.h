#pragma once

#include "core/catalog_tree.h"

#include <string_view>

namespace vellumark {

// Gives the entry the path of its parent, one separator and the new name, and moves every
// entry below it to the new prefix, with their path lengths. The separator is the one the
// catalog already uses between the parent and the entry ("\" in catalogs written on Windows),
// and none is added when the parent's path ends with one ("/media/cd/", "D:\"). A top-level
// entry gets the new name alone. The name itself is not stored here.
void RenamePaths(CatalogTreeNode& node, std::string_view newName);

// Stores a value the user typed, exactly as typed: a new FileName renames the paths first;
// FileNameLength is recomputed after every edit.
void StoreEntryField(CatalogTreeNode& node, int key, std::string_view text);

}  // namespace vellumark
