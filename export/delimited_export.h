#pragma once

#include "core/file_info.h"
#include "services/status.h"

#include <string>
#include <string_view>

namespace vellumark {

inline constexpr const char* kTextExtension = ".txt";
inline constexpr const char* kTextFilter = "Text File|*.txt";
inline constexpr const char* kCsvExtension = ".csv";
inline constexpr const char* kCsvFilter = "CSV File|*.csv";

// The separator the export dialog passes for the text format.
inline constexpr std::string_view kTextSeparator = "    ";

// A header line (every column name followed by the separator), then one line per entry with the
// values joined by the separator; every line ends with CR LF. No export column gives an empty
// header line and an empty line per entry. Text writes values as they are.
Status ExportText(TFileInfo& info, std::string_view suggestedName, std::string_view separator,
                  const CatalogTree* tree);
// As text, but a value holding the separator, a double quote, CR or LF is quoted as RFC 4180
// does, so that any spreadsheet reads the columns back as they were.
Status ExportCsv(TFileInfo& info, std::string_view suggestedName, std::string_view separator,
                 const CatalogTree* tree);

// Appends the value for a CSV line: as it is, or in double quotes with inner quotes doubled.
void AppendCsvValue(std::string& out, std::string_view value, std::string_view separator);

}  // namespace vellumark
