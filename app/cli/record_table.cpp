#include "app/cli/record_table.h"

#include <ostream>

namespace vellumark::cli {

void AppendEscaped(std::string& out, std::string_view value)
{
    // Runs without anything to escape, the usual case, are copied whole.
    std::size_t from = 0;
    for (std::size_t at = 0; at < value.size(); ++at) {
        const char* escape = nullptr;
        switch (value[at]) {
        case '\\':
            escape = "\\\\";
            break;
        case '\t':
            escape = "\\t";
            break;
        case '\n':
            escape = "\\n";
            break;
        case '\r':
            escape = "\\r";
            break;
        default:
            continue;
        }
        out.append(value.substr(from, at - from));
        out.append(escape, 2);
        from = at + 1;
    }
    out.append(value.substr(from));
}

std::string EscapeField(std::string_view value)
{
    std::string out;
    out.reserve(value.size());
    AppendEscaped(out, value);
    return out;
}

void WriteRecordHeader(std::ostream& out)
{
    for (int key = 0; key < kColumnKeyCount; ++key)
        out << (key ? "\t" : "") << kColumnKeys[key];
    out << '\n';
}

void AppendRecord(std::string& lines, const EntryRecord& record)
{
    const EntryRecord::Fields fields = record.AllFields();
    for (int key = 0; key < kColumnKeyCount; ++key) {
        if (key)
            lines += '\t';
        AppendEscaped(lines, fields[key]);
    }
    lines += '\n';
}

void WriteRecord(std::ostream& out, const EntryRecord& record)
{
    std::string line;
    AppendRecord(line, record);
    out << line;
}

void WriteRecordTable(std::ostream& out, const CatalogTree& tree)
{
    WriteRecordHeader(out);
    tree.ForEachPreOrder([&out](CatalogTreeNode& node) { WriteRecord(out, node.record); });
}

}  // namespace vellumark::cli
