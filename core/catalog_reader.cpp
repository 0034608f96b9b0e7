#include "core/catalog_reader.h"

#include <cstring>

namespace vellumark {

namespace {

// The first eight bytes of a name as one number, so that a name is told apart from the keys
// of its length with a few integer comparisons; this runs for every attribute of every entry.
constexpr std::uint64_t Head(std::string_view name)
{
    std::uint64_t head = 0;
    for (std::size_t i = 0; i < 8 && i < name.size(); ++i)
        head |= static_cast<std::uint64_t>(static_cast<unsigned char>(name[i])) << (8 * i);
    return head;
}

constexpr std::array<int, 6> kEightByteKeys = {kFileName, kFullPath, kFileSize, kFileTime, kFileType, kDiskName};

constexpr std::array<std::uint64_t, 6> MakeEightByteHeads()
{
    std::array<std::uint64_t, 6> heads{};
    for (std::size_t i = 0; i < heads.size(); ++i)
        heads[i] = Head(kColumnKeys[kEightByteKeys[i]]);
    return heads;
}

constexpr std::array<std::uint64_t, 6> kEightByteHeads = MakeEightByteHeads();

std::uint64_t HeadOf(const char* bytes)
{
    std::uint64_t head;
    std::memcpy(&head, bytes, sizeof head);
    return head;
}

// The key an attribute name stands for, or -1.
int KeyOfAttribute(std::string_view name)
{
    switch (name.size()) {
    case 7:
        return name == kColumnKeys[kFileExt] ? kFileExt : -1;
    case 8: {
        const std::uint64_t head = HeadOf(name.data());
        for (std::size_t i = 0; i < kEightByteHeads.size(); ++i)
            if (head == kEightByteHeads[i])
                return kEightByteKeys[i];
        return -1;
    }
    case 11:
        return name == kColumnKeys[kDescription] ? kDescription : -1;
    case 14:
        for (const int key : {kFileNameLength, kPathNameLength, kSizePercentage})
            if (name == kColumnKeys[key])
                return key;
        return -1;
    default:
        return -1;
    }
}

}  // namespace

void CatalogEntry::FindAttributes()
{
    attributes_.fill(nullptr);
    for (const XmlPullReader::Attribute& attribute : reader_->Attributes()) {
        const int key = KeyOfAttribute(attribute.name);
        if (key >= 0 && !attributes_[key])
            attributes_[key] = &attribute;
    }
}

// Runs the reader to its end, handing every element below the document element to the visitor.
class CatalogEntryReader {
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
                entry.FindAttributes();
                if (!visit(entry))
                    return Status::Cancelled();
                break;
            }
        }
    }
};

Status ReadCatalogEntries(const std::string& path, const CatalogEntryVisitor& visit, XmlPullReader::ByteCopy copy)
{
    XmlPullReader reader;
    if (copy)
        reader.CopyBytesTo(std::move(copy));
    if (Status status = reader.Open(path); !status)
        return status;
    return CatalogEntryReader::Run(reader, visit);
}

Status ReadCatalogText(std::string_view text, const CatalogEntryVisitor& visit)
{
    XmlPullReader reader;
    reader.OpenText(text);
    return CatalogEntryReader::Run(reader, visit);
}

}  // namespace vellumark
