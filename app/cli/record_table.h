#pragma once

#include "core/catalog_tree.h"

#include <iosfwd>
#include <string>
#include <string_view>

namespace vellumark::cli {

// The record table: a header line of the eleven keys, then one line per record with its
// stored fields, tab-separated; backslash, tab, line feed and carriage return in values are
// written as \\, \t, \n and \r.
std::string EscapeField(std::string_view value);
void AppendEscaped(std::string& out, std::string_view value);
void WriteRecordHeader(std::ostream& out);
void WriteRecord(std::ostream& out, const EntryRecord& record);
// The record's line, appended to text gathered for one larger write.
void AppendRecord(std::string& lines, const EntryRecord& record);
void AppendRecordLine(std::string& lines, const EntryRecord::Fields& fields);
// Header, then every entry of the tree in pre-order.
void WriteRecordTable(std::ostream& out, const CatalogTree& tree);

}  // namespace vellumark::cli
