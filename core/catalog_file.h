#pragma once

#include "core/catalog_tree.h"
#include "services/progress.h"
#include "services/status.h"

#include <string>
#include <string_view>

namespace vellumark {

// The file dialog's default extension and filter for catalog files.
inline constexpr std::string_view kCatalogExtension = ".xml";
inline constexpr std::string_view kCatalogFilter = "XML File|*.XML";

// Reads a catalog file into a tree with the loader's rules: the top-level kind defaults to
// "directory", FullPath falls back to FileName at the top, DiskName is the file's catalog name
// whatever the file holds. Streamed; on failure the tree is left as it was.
Status ReadCatalogFile(const std::string& path, CatalogTree& tree, Progress& progress);

// Writes the tree as a catalog file: the declaration, the root "fileinfo" and one "file"
// element per entry with the attributes that are set, in key order, no white space between
// elements. Streamed and atomic: the old file stays whole unless the new one is complete.
Status WriteCatalogFile(const CatalogTree& tree, const std::string& path, Progress& progress);
// The same for a tree the caller is done with: it is freed (left empty) while the file is synced.
Status WriteCatalogFile(CatalogTree&& tree, const std::string& path, Progress& progress);

}  // namespace vellumark
