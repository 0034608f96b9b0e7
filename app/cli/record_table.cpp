#include "app/cli/record_table.h"

#include <array>
#include <ostream>

namespace vellumark::cli {

namespace {

// Backslash, tab, line feed and carriage return are written escaped.
constexpr std::array<bool, 256> MakeEscapeTable()
{
    std::array<bool, 256> table{};
    for (const unsigned char c : {'\\', '\t', '\n', '\r'})
        table[c] = true;
    return table;
}
constexpr std::array<bool, 256> kToEscape = MakeEscapeTable();

bool AnyToEscape(std::string_view value)
{
    bool any = false;
    // No early exit: the loop over a few dozen bytes runs faster without a branch per byte.
    for (const char c : value)
        any |= kToEscape[static_cast<unsigned char>(c)];
    return any;
}

void AppendEscaped(std::string& out, std::string_view value)
{
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
}

}  // namespace

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

void AppendRecord(std::string& text, const EntryRecord& record)
{
    const EntryRecord::Fields fields = record.AllFields();
    for (int key = 0; key < kColumnKeyCount; ++key) {
        if (key)
            text += '\t';
        const std::string_view value = fields[key];
        // Most values hold nothing to escape: they are copied whole.
        if (!AnyToEscape(value))
            text += value;
        else
            AppendEscaped(text, value);
    }
    text += '\n';
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
