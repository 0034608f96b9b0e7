#pragma once

#include "core/catalog_tree.h"
#include "services/progress.h"
#include "services/status.h"

#include <string>
#include <string_view>

namespace vellumark {

// The literal a new catalog document starts from.
inline constexpr std::string_view kNewCatalogDocument =
    "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\" ?> <fileinfo generated=\"Vellumark\"></fileinfo>";

// Reads a catalog file straight into a tree with the loader's rules (top-level kind defaults to
// "directory", FullPath falls back to FileName at the top, DiskName from the file's name),
// streaming, without a document. On failure the tree is left as it was.
Status ReadCatalogFile(const std::string& path, CatalogTree& tree, Progress& progress);

// Writes the tree as a catalog file, byte for byte what building the document from the tree
// and saving it gives, streaming and atomically.
Status WriteCatalogFile(const CatalogTree& tree, const std::string& path, Progress& progress);

}  // namespace vellumark
