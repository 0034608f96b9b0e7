#include "app/cli/record_table.h"

#include <ostream>

namespace vellumark::cli {

std::string EscapeField(std::string_view value)
{
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    return out;
}

void WriteRecordHeader(std::ostream& out)
{
    for (int key = 0; key < kColumnKeyCount; ++key)
        out << (key ? "\t" : "") << kColumnKeys[key];
    out << '\n';
}

void WriteRecord(std::ostream& out, const EntryRecord& record)
{
    const EntryRecord::Fields fields = record.AllFields();
    std::string line;
    for (int key = 0; key < kColumnKeyCount; ++key) {
        if (key)
            line += '\t';
        line += EscapeField(fields[key]);
    }
    line += '\n';
    out << line;
}

void WriteRecordTable(std::ostream& out, const CatalogTree& tree)
{
    WriteRecordHeader(out);
    tree.ForEachPreOrder([&out](CatalogTreeNode& node) { WriteRecord(out, node.record); });
}

}  // namespace vellumark::cli
