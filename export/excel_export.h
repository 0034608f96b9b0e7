#pragma once

#include "core/file_info.h"
#include "services/status.h"

#include <cstdint>
#include <string_view>

namespace vellumark {

inline constexpr const char* kExcelExtension = ".xlsx";
inline constexpr const char* kExcelFilter = "EXCEL File|*.xlsx";

// Rows an .xlsx worksheet holds.
inline constexpr std::uint64_t kXlsxRowCapacity = 1048576;

// Writes the document's entries (every element below the root, at any depth, in document order)
// as a workbook: the title merged over the first row, then a table of "SerialNO" and the export
// columns with one numbered row per entry. When the title row, the header row and the entries
// would not fit in a worksheet, says so before any dialog and fails.
Status ExportExcel(TFileInfo& info, std::string_view suggestedName);

// ExportExcel against a given row capacity, so that the limit can be reached with a few entries.
Status ExportExcelWithCapacity(TFileInfo& info, std::string_view suggestedName, std::uint64_t rowCapacity);

}  // namespace vellumark
