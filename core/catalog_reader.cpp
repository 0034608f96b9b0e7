#include "core/catalog_reader.h"

#include <array>
#include <cstring>
#include <type_traits>

namespace vellumark {

namespace {

// Up to eight bytes of a name as one number, so that an attribute name is told apart from the
// keys with a few integer comparisons: this runs for every attribute of every entry.
constexpr std::uint64_t Bytes(std::string_view text)
{
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < 8 && i < text.size(); ++i)
        value |= static_cast<std::uint64_t>(static_cast<unsigned char>(text[i])) << (8 * i);
    return value;
}

template <std::size_t Count>
constexpr std::uint64_t Load(const char* bytes)
{
    if (std::is_constant_evaluated())
        return Bytes(std::string_view(bytes, Count));
    if constexpr (Count > 4 && Count < 8) {
        // Two overlapping words, joined by arithmetic: a copy of seven bytes goes through
        // memory and stalls the comparison that reads it back.
        std::uint32_t low, high;
        std::memcpy(&low, bytes, 4);
        std::memcpy(&high, bytes + Count - 4, 4);
        return low | (static_cast<std::uint64_t>(high) << (8 * (Count - 4)));
    }
    std::uint64_t value = 0;
    std::memcpy(&value, bytes, Count);
    return value;
}

// The first and the last eight bytes of every key's name (the last are the first for a name of
// eight bytes or fewer).
constexpr std::array<std::uint64_t, kColumnKeyCount> MakeKeyBytes(bool tail)
{
    std::array<std::uint64_t, kColumnKeyCount> bytes{};
    for (int key = 0; key < kColumnKeyCount; ++key) {
        const std::string_view name = kColumnKeys[key];
        bytes[key] = Bytes(tail && name.size() > 8 ? name.substr(name.size() - 8) : name);
    }
    return bytes;
}
constexpr std::array<std::uint64_t, kColumnKeyCount> kHeads = MakeKeyBytes(false);
constexpr std::array<std::uint64_t, kColumnKeyCount> kTails = MakeKeyBytes(true);

// The key an attribute name stands for, or -1. The length and one byte leave at most two
// candidates, which are compared whole.
constexpr int KeyOfAttribute(std::string_view name)
{
    const char* bytes = name.data();
    const auto is = [](std::uint64_t value, int key) { return value == kHeads[key]; };
    switch (name.size()) {
    case 7:
        return is(Load<7>(bytes), kFileExt) ? kFileExt : -1;
    case 8: {
        const std::uint64_t head = Load<8>(bytes);
        switch (bytes[4]) {
        case 'N':
            return is(head, kFileName) ? kFileName : is(head, kDiskName) ? kDiskName : -1;
        case 'P':
            return is(head, kFullPath) ? kFullPath : -1;
        case 'S':
            return is(head, kFileSize) ? kFileSize : -1;
        case 'T':
            return is(head, kFileTime) ? kFileTime : is(head, kFileType) ? kFileType : -1;
        default:
            return -1;
        }
    }
    case 11:
        return is(Load<8>(bytes), kDescription) && Load<8>(bytes + 3) == kTails[kDescription] ? kDescription : -1;
    case 14: {
        const int key = bytes[0] == 'F' ? kFileNameLength : bytes[0] == 'P' ? kPathNameLength : kSizePercentage;
        return is(Load<8>(bytes), key) && Load<8>(bytes + 6) == kTails[key] ? key : -1;
    }
    default:
        return -1;
    }
}

// Whether the name is the key's: one key at a time, when only a few are asked for.
constexpr bool NameIs(std::string_view name, int key)
{
    const std::size_t size = kColumnKeys[key].size();
    if (name.size() != size)
        return false;
    if (size < 8)
        return Load<7>(name.data()) == kHeads[key];
    return Load<8>(name.data()) == kHeads[key] && Load<8>(name.data() + size - 8) == kTails[key];
}

constexpr bool EveryKeyIsRecognised()
{
    for (int key = 0; key < kColumnKeyCount; ++key) {
        if (KeyOfAttribute(kColumnKeys[key]) != key)
            return false;
        for (int other = 0; other < kColumnKeyCount; ++other)
            if (NameIs(kColumnKeys[other], key) != (other == key))
                return false;
    }
    return KeyOfAttribute("FileNames") < 0 && KeyOfAttribute("filename") < 0 && KeyOfAttribute("FileNam") < 0;
}
static_assert(EveryKeyIsRecognised());

}  // namespace

const XmlPullReader::Attribute* CatalogEntry::Look(int key) const
{
    looked_ |= 1u << key;
    found_[key] = nullptr;
    for (const XmlPullReader::Attribute& attribute : reader_->Attributes())
        if (NameIs(attribute.name, key))
            return found_[key] = &attribute;
    return nullptr;
}

std::uint32_t CatalogEntry::AllValues(std::array<std::string_view, kColumnKeyCount>& values) const
{
    std::uint32_t present = 0;
    for (const XmlPullReader::Attribute& attribute : reader_->Attributes()) {
        const int key = KeyOfAttribute(attribute.name);
        if (key < 0 || (present & (1u << key)))
            continue;
        present |= 1u << key;
        found_[key] = &attribute;
        values[key] = reader_->Value(attribute);
    }
    // The missing keys are cleared one by one: most entries have all but one or two, and a
    // fill of both arrays costs more than the whole lookup.
    for (int key = 0; key < kColumnKeyCount; ++key) {
        if (!(present & (1u << key))) {
            found_[key] = nullptr;
            values[key] = {};
        }
    }
    looked_ = (1u << kColumnKeyCount) - 1;
    return present;
}

// Runs the reader to its end, handing every element below the document element to the visitor.
class CatalogReadLoop {
public:
    static Status Run(XmlPullReader& reader, const CatalogEntryVisitor& visit)
    {
        CatalogEntry entry(reader);
        for (;;) {
            switch (reader.Next()) {
            case XmlPullReader::Event::Failed:
                return reader.Error();
            case XmlPullReader::Event::Finished:
                return Status::Ok();
            case XmlPullReader::Event::EndElement:
                break;
            case XmlPullReader::Event::StartElement:
                if (reader.Depth() == 0)
                    break;  // the document element is no entry
                entry.Reset();
                if (!visit(entry))
                    return Status::Cancelled();
                break;
            }
        }
    }

    static Status RunOne(XmlPullReader& reader, const CatalogEntryVisitor& visit)
    {
        if (reader.Next() != XmlPullReader::Event::StartElement)
            return reader.Error().ok() ? Status::Failed("No start tag") : reader.Error();
        CatalogEntry entry(reader);
        return visit(entry) ? Status::Ok() : Status::Cancelled();
    }
};

Status ReadCatalogEntries(const std::string& path, const CatalogEntryVisitor& visit, XmlPullReader::ByteCopy copy)
{
    XmlPullReader reader;
    if (copy)
        reader.CopyBytesTo(std::move(copy));
    if (Status status = reader.Open(path); !status)
        return status;
    return CatalogReadLoop::Run(reader, visit);
}

Status ReadCatalogText(std::string_view text, const CatalogEntryVisitor& visit)
{
    XmlPullReader reader;
    reader.OpenText(text);
    return CatalogReadLoop::Run(reader, visit);
}

Status ReadEntryStartTag(std::string_view tag, const CatalogEntryVisitor& visit)
{
    XmlPullReader reader;
    reader.OpenText(tag);
    return CatalogReadLoop::RunOne(reader, visit);
}

std::size_t StartTagEnd(std::string_view text, std::size_t from, char& quote)
{
    for (std::size_t at = from; at < text.size(); ++at) {
        const char c = text[at];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            return at;
        }
    }
    return std::string_view::npos;
}

}  // namespace vellumark
