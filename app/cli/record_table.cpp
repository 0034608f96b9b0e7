#include "app/cli/record_table.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <ostream>

namespace vellumark::cli {

namespace {

// True when one of the word's bytes (eight or four) may need an escape: a backslash or a byte
// below 0x0E (tab, line feed and carriage return lie there). Exact per byte is not needed: the
// byte loop decides.
template <typename Word>
bool MayNeedEscape(Word word)
{
    constexpr Word kOnes = static_cast<Word>(0x0101010101010101);
    constexpr Word kHighs = static_cast<Word>(0x8080808080808080);
    const Word backslashes = word ^ static_cast<Word>(kOnes * '\\');
    const Word zeroByte = static_cast<Word>(backslashes - kOnes) & static_cast<Word>(~backslashes) & kHighs;
    const Word lowByte = static_cast<Word>(word - kOnes * 0x0E) & static_cast<Word>(~word) & kHighs;
    return (zeroByte | lowByte) != 0;
}

// Copies a value that needs no escape to `out` and returns true; false (with some of it
// copied) when it may need one. Fixed-size loads and stores, which the compiler makes single
// moves: most values of a line are a few bytes long, and a copy call for each cost more than
// the copying.
bool CopyUnescaped(std::string_view value, char* out)
{
    const char* in = value.data();
    const std::size_t size = value.size();
    if (size >= 8) {
        std::uint64_t word;
        for (std::size_t at = 0; at + 8 <= size; at += 8) {
            std::memcpy(&word, in + at, 8);
            if (MayNeedEscape(word))
                return false;
            std::memcpy(out + at, &word, 8);
        }
        // The last eight bytes, overlapping those copied.
        std::memcpy(&word, in + size - 8, 8);
        if (MayNeedEscape(word))
            return false;
        std::memcpy(out + size - 8, &word, 8);
        return true;
    }
    if (size >= 4) {
        std::uint32_t first, last;
        std::memcpy(&first, in, 4);
        std::memcpy(&last, in + size - 4, 4);
        if (MayNeedEscape(first) || MayNeedEscape(last))
            return false;
        std::memcpy(out, &first, 4);
        std::memcpy(out + size - 4, &last, 4);
        return true;
    }
    for (std::size_t at = 0; at < size; ++at) {
        const auto byte = static_cast<unsigned char>(in[at]);
        if (byte == '\\' || byte < 0x0E)
            return false;
        out[at] = in[at];
    }
    return true;
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
    // The line is written in place at its length without escapes; a value that may need one
    // sends the line the escaping way.
    const std::size_t start = lines.size();
    std::size_t length = kColumnKeyCount;  // the tabs and the line feed
    for (const std::string_view field : fields)
        length += field.size();
    lines.resize(start + length);
    char* out = lines.data() + start;
    bool plain = true;
    for (int key = 0; key < kColumnKeyCount && plain; ++key) {
        plain = CopyUnescaped(fields[key], out);
        out += fields[key].size();
        *out++ = key + 1 < kColumnKeyCount ? '\t' : '\n';
    }
    if (plain)
        return;
    lines.resize(start);
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
