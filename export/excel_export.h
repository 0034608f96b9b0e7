#pragma once

#include "core/catalog_tree.h"
#include "services/progress.h"
#include "services/status.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vellumark {

// Rows an .xlsx worksheet holds.
inline constexpr std::uint64_t kXlsxRowCapacity = 1048576;

// Writes the tree's entries in pre-order as a workbook: the title (the output file's catalog
// name) merged over the first row, then a table of "SerialNO" and the columns with one numbered
// row per entry, every cell bordered and the columns as wide as their longest text. Values are
// written in their stored form (valid UTF-8 whatever bytes they hold). When the title row, the
// header row and the entries do not fit in rowCapacity rows, fails with the row-count message
// before anything is written.
Status WriteWorkbook(const CatalogTree& tree, const std::vector<std::string>& columns, const std::string& path,
                     Progress& progress, std::uint64_t rowCapacity = kXlsxRowCapacity);

// The same for the entries of a catalog file, each with the attributes as the file holds them
// (no loader rules applied). The file is read twice, to count and to write, and never held.
Status WriteCatalogWorkbook(const std::string& catalogPath, const std::vector<std::string>& columns,
                            const std::string& path, Progress& progress,
                            std::uint64_t rowCapacity = kXlsxRowCapacity);

}  // namespace vellumark
