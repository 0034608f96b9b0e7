#include "app/cli/record_table.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <ostream>

namespace vellumark::cli {

namespace {

// True when one of the eight bytes may need an escape: a backslash or a byte below 0x0E (tab,
// line feed and carriage return lie there). Exact per byte is not needed: the byte loop decides.
bool MayNeedEscape(std::uint64_t word)
{
    constexpr std::uint64_t kOnes = 0x0101010101010101;
    constexpr std::uint64_t kHighs = 0x8080808080808080;
    const std::uint64_t backslashes = word ^ (kOnes * '\\');
    const std::uint64_t zeroByte = (backslashes - kOnes) & ~backslashes & kHighs;
    const std::uint64_t lowByte = (word - kOnes * 0x0E) & ~word & kHighs;
    return (zeroByte | lowByte) != 0;
}

const char* EscapeOf(char c)
{
    switch (c) {
    case '\\':
        return "\\\\";
    case '\t':
        return "\\t";
    case '\n':
        return "\\n";
    case '\r':
        return "\\r";
    default:
        return nullptr;
    }
}

}  // namespace

void AppendEscaped(std::string& out, std::string_view value)
{
    // Runs without anything to escape, the usual case, are copied whole; they are found eight
    // bytes at a time.
    std::size_t from = 0;
    std::size_t at = 0;
    while (at < value.size()) {
        if (value.size() - at >= 8) {
            std::uint64_t word;
            std::memcpy(&word, value.data() + at, sizeof word);
            if (!MayNeedEscape(word)) {
                at += 8;
                continue;
            }
        }
        for (const std::size_t end = std::min(at + 8, value.size()); at < end; ++at) {
            if (const char* escape = EscapeOf(value[at])) {
                out.append(value.substr(from, at - from));
                out.append(escape, 2);
                from = at + 1;
            }
        }
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

void AppendRecord(std::string& lines, const EntryRecord& record) { AppendRecordLine(lines, record.AllFields()); }

void AppendRecordLine(std::string& lines, const EntryRecord::Fields& fields)
{
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
