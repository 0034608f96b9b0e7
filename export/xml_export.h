#pragma once

#include "core/catalog_tree.h"
#include "services/progress.h"
#include "services/status.h"

#include <string>

namespace vellumark {

// Copies a catalog file to the path byte for byte (whatever it holds beyond what the program
// knows), while reading it through the catalog reader: a file that is not a well-formed catalog
// fails with the reader's message and nothing is written.
Status CopyCatalogFile(const std::string& catalogPath, const std::string& path, Progress& progress);

// Writes the tree as a catalog file (WriteCatalogFile), as an export.
Status WriteCatalogExport(const CatalogTree& tree, const std::string& path, Progress& progress);

}  // namespace vellumark
