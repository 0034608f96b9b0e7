#include "core/catalog_file.h"

#include "core/path_names.h"
#include "core/stored_text.h"
#include "core/catalog_reader.h"
#include "services/atomic_file.h"
#include "services/messages.h"

#include <array>
#include <thread>
#include <vector>

namespace vellumark {

namespace {

SharedText KindText(std::string_view kind, TextPool& pool)
{
    if (kind == kKindDirectory)
        return SharedText::Directory();
    if (kind == kKindFile)
        return SharedText::File();
    return pool.Get(kind);
}

// How the writer treats each byte: copied, escaped as the XML component escapes attribute
// values ("&", "<", '"' and the three white-space characters XML would otherwise normalise
// away), or a byte that may need the stored form (control, backslash, non-ASCII).
enum ByteClass : unsigned char { kPlain, kEscaped, kCheck };

constexpr std::array<ByteClass, 256> MakeByteClasses()
{
    std::array<ByteClass, 256> classes{};
    for (int byte = 0; byte < 256; ++byte)
        classes[byte] = (byte < 0x20 || byte >= 0x80 || byte == '\\') ? kCheck : kPlain;
    for (int byte : {'&', '<', '"', '\t', '\n', '\r'})
        classes[byte] = kEscaped;
    return classes;
}

constexpr std::array<ByteClass, 256> kByteClasses = MakeByteClasses();

std::string_view EscapeOf(char c)
{
    switch (c) {
    case '&':
        return "&amp;";
    case '<':
        return "&lt;";
    case '"':
        return "&quot;";
    case '\t':
        return "&#09;";
    case '\n':
        return "&#10;";
    default:
        return "&#13;";
    }
}

void AppendEscapedAttribute(std::string& out, std::string_view value)
{
    std::size_t runStart = 0;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (kByteClasses[static_cast<unsigned char>(value[i])] != kEscaped)
            continue;
        out.append(value.data() + runStart, i - runStart);
        out += EscapeOf(value[i]);
        runStart = i + 1;
    }
    out.append(value.data() + runStart, value.size() - runStart);
}

void AppendAttribute(std::string& out, std::string_view name, std::string_view value, std::string& scratch)
{
    out += ' ';
    out += name;
    out += "=\"";
    // Most values are plain text: one pass finds that, and they are copied whole.
    std::size_t plainPrefix = 0;
    while (plainPrefix < value.size() && kByteClasses[static_cast<unsigned char>(value[plainPrefix])] == kPlain)
        ++plainPrefix;
    if (plainPrefix == value.size()) {
        out += value;
        out += '"';
        return;
    }
    bool mayNeedStoredForm = false;
    for (char c : value.substr(plainPrefix))
        mayNeedStoredForm |= kByteClasses[static_cast<unsigned char>(c)] == kCheck;
    if (mayNeedStoredForm && NeedsStoredEncoding(value)) {
        scratch.clear();
        AppendStoredText(scratch, value);
        AppendEscapedAttribute(out, scratch);
    } else {
        AppendEscapedAttribute(out, value);
    }
    out += '"';
}

}  // namespace

Status ReadCatalogFile(const std::string& path, CatalogTree& tree, Progress& progress)
{
    WaitScope wait(progress, messages::kLoadingInfo);
    const SharedText diskName(CatalogNameOfFile(path));
    TextPool pool;
    CatalogTree built;
    std::vector<CatalogTreeNode*> parents;  // parents[d - 1] is the entry at depth d
    EntryRecord::Fields fields{};

    const Status status = ReadCatalogEntries(path, [&](const CatalogEntry& entry) {
        const std::uint32_t present = entry.AllValues(fields);
        const int depth = entry.Depth();
        const bool topLevel = depth == 1;
        SharedText kind = (present & (1u << kFileType)) ? KindText(fields[kFileType], pool)
                                                         : (topLevel ? SharedText::Directory() : SharedText());
        if (topLevel && fields[kFullPath].empty())
            fields[kFullPath] = fields[kFileName];

        parents.resize(static_cast<std::size_t>(depth - 1));
        CatalogTreeNode* node = built.Append(parents.empty() ? nullptr : parents.back());
        node->record.Assign(fields, pool.Get(fields[kFileExt]), std::move(kind), diskName);
        parents.push_back(node);
        if (progress.Due())
            progress.SetMessage(messages::kLoadingInfo);
        return true;
    });
    if (!status)
        return status;
    tree = std::move(built);
    return Status::Ok();
}

namespace {

// Writes the whole file into the temporary file; the caller commits it.
Status WriteEntries(const CatalogTree& tree, AtomicFile& file)
{
    std::string out;
    std::string scratch;
    // Pieces of at least the file's buffer size go to the file without a copy; an entry
    // rarely takes more than the headroom.
    constexpr std::size_t kPiece = 1 << 20;
    out.reserve(kPiece + (64 << 10));
    out += "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\"?><fileinfo generated=\"Vellumark\"";
    if (tree.Empty()) {
        out += "/>";
        return file.Write(out);
    }
    out += '>';
    const auto flushWhenFull = [&] {
        if (out.size() >= kPiece) {
            file.Write(out);
            out.clear();
        }
    };
    tree.Walk(
        [&](const CatalogTreeNode& node) {
            out += "<file";
            const EntryRecord::Fields fields = node.record.AllFields();
            for (int key = 0; key < kColumnKeyCount; ++key)
                if (!fields[key].empty())
                    AppendAttribute(out, kColumnKeys[key], fields[key], scratch);
            out += node.HasChildren() ? ">" : "/>";
            flushWhenFull();
        },
        [&](const CatalogTreeNode& node) {
            if (node.HasChildren())
                out += "</file>";
            flushWhenFull();
        });
    out += "</fileinfo>";
    return file.Write(out);
}

}  // namespace

Status WriteCatalogFile(const CatalogTree& tree, const std::string& path, Progress& progress)
{
    WaitScope wait(progress, messages::kSavingInfo);
    AtomicFile file(path);
    if (Status status = file.Open(); !status)
        return status;
    WriteEntries(tree, file);
    return file.Commit();
}

Status WriteCatalogFile(CatalogTree&& tree, const std::string& path, Progress& progress)
{
    WaitScope wait(progress, messages::kSavingInfo);
    AtomicFile file(path);
    if (Status status = file.Open(); !status)
        return status;
    WriteEntries(tree, file);
    // A large tree takes about as long to free as the file takes to sync: both at once.
    std::jthread freeing([written = std::move(tree)]() mutable { written.Clear(); });
    return file.Commit();
}

}  // namespace vellumark
