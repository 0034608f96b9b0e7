#include "search/duplicate_candidates.h"

#include "core/catalog_reader.h"
#include "core/column_keys.h"

#include <cstring>
#include <limits>
#include <xxhash.h>

namespace vellumark {

namespace {

// How often the cancel flag is looked at while a segment is read.
constexpr std::uint32_t kEntriesPerCancelCheck = 4096;

std::uint64_t SizeCode(const ParsedSize& size)
{
    return size.state == SizeState::AboveRange ? std::numeric_limits<std::uint64_t>::max() : size.bytes;
}

// Folds A to Z to a to z, eight bytes at a time where it can (names are hashed by the
// million): a byte is upper case when its top bit is clear and its other seven bits lie in
// 'A'..'Z', which two additions per word tell without a carry between bytes.
void FoldAsciiCase(std::string_view text, std::string& folded)
{
    constexpr std::uint64_t kLowBits = 0x7F7F7F7F7F7F7F7F;
    constexpr std::uint64_t kTopBits = 0x8080808080808080;
    constexpr std::uint64_t kFromA = 0x3F3F3F3F3F3F3F3F;      // 0x80 - 'A'
    constexpr std::uint64_t kBeyondZ = 0x2525252525252525;    // 0x80 - 'Z' - 1
    folded.resize(text.size());
    std::size_t at = 0;
    for (; at + 8 <= text.size(); at += 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + at, 8);
        const std::uint64_t low = word & kLowBits;
        const std::uint64_t upper = (low + kFromA) & ~(low + kBeyondZ) & ~word & kTopBits;
        word |= upper >> 2;  // 0x80 to 0x20 within each byte
        std::memcpy(folded.data() + at, &word, 8);
    }
    for (; at < text.size(); ++at) {
        const char c = text[at];
        folded[at] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
}

}  // namespace

std::uint64_t CandidateFilter::Hash(std::string_view name, const ParsedSize& size, std::string& scratch) const
{
    const std::uint64_t sizeCode = SizeCode(size);
    if (key_ == DuplicateKey::Size)
        return XXH3_64bits(&sizeCode, sizeof sizeCode);
    FoldAsciiCase(name, scratch);
    return key_ == DuplicateKey::Name ? XXH3_64bits(scratch.data(), scratch.size())
                                      : XXH3_64bits_withSeed(scratch.data(), scratch.size(), sizeCode);
}

Status StreamCandidates(const std::string& path, const CandidateFilter& filter, const Progress& cancel,
                        Progress* messages, std::vector<DuplicateCandidate>& candidates, bool& byOrdinal)
{
    std::string scratch;
    std::uint64_t ordinal = 0;
    byOrdinal = false;
    const Status status = ReadCatalogEntries(path, [&](const CatalogEntry& entry) {
        if (cancel.Cancelled())
            return false;
        const std::uint64_t at = ordinal++;
        // A file has offsets for all its entries or for none.
        byOrdinal = entry.Offset() == CatalogEntry::kNoOffset;
        if (messages && messages->Due())
            messages->SetMessage(entry.Value(kFileName));
        if (entry.Value(kFileType) != kKindFile)
            return true;
        const ParsedSize size = ParseSizeText(entry.Value(kFileSize));
        if (!filter.KeepsSize(size))
            return true;
        const std::string_view name = filter.NeedsName() ? entry.Value(kFileName) : std::string_view();
        candidates.push_back({filter.Hash(name, size, scratch), byOrdinal ? at : entry.Offset()});
        return true;
    });
    if (!status.ok())
        candidates.clear();
    return status;
}

Status IndexedCandidates(const SegmentReader& segment, const CandidateFilter& filter, const Progress& cancel,
                         std::vector<DuplicateCandidate>& candidates)
{
    std::string scratch;
    const unsigned grouping = kSizeValue | (filter.NeedsName() ? kNameValue : 0u);
    for (std::uint32_t ordinal = 0; ordinal < segment.EntryCount(); ++ordinal) {
        if (ordinal % kEntriesPerCancelCheck == 0 && cancel.Cancelled())
            return Status::Cancelled();
        IndexedEntryValues values;
        if (!segment.Values(ordinal, values, kTypeValue))
            return Status::Failed("The search index segment of \"" + segment.Key() + "\" is damaged");
        if (values.fileType != kKindFile)
            continue;
        if (!segment.Values(ordinal, values, grouping))
            return Status::Failed("The search index segment of \"" + segment.Key() + "\" is damaged");
        if (!filter.KeepsSize(values.size))
            continue;
        candidates.push_back({filter.Hash(values.fileName.value_or(std::string_view()), values.size, scratch), ordinal});
    }
    return Status::Ok();
}

}  // namespace vellumark
