#include "search/index/segment_builder.h"

#include "search/index/byte_codec.h"
#include "search/index/posting_list.h"
#include "search/index/segment_format.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>

namespace vellumark {

namespace {

constexpr std::uint64_t kMaxU64 = std::numeric_limits<std::uint64_t>::max();
constexpr std::uint32_t kMaxEntries = std::numeric_limits<std::uint32_t>::max() - 1;

void AddSize(VarintColumnWriter& column, const ParsedSize& size)
{
    // Codes: 0 unreadable, value + 2; the two largest values and sizes above 64 bits after
    // an escape (0 and 1 for those values, 2 for above).
    switch (size.state) {
    case SizeState::Unreadable:
        column.Add(0);
        break;
    case SizeState::AboveRange:
        column.AddEscaped(2);
        break;
    case SizeState::Readable:
        if (size.bytes <= kMaxU64 - 2)
            column.Add(size.bytes + 2);
        else
            column.AddEscaped(size.bytes - (kMaxU64 - 1));
        break;
    }
}

void AddTime(VarintColumnWriter& column, const ParsedTime& time)
{
    // Codes: 0 unreadable, zigzag(whole seconds) + 2; any other number after an escape as
    // its bits.
    if (!time.readable) {
        column.Add(0);
        return;
    }
    constexpr double kLimit = 4611686018427387904.0;  // 2^62
    if (std::trunc(time.seconds) == time.seconds && std::fabs(time.seconds) < kLimit) {
        const auto seconds = static_cast<std::int64_t>(time.seconds);
        const auto zigzag = (static_cast<std::uint64_t>(seconds) << 1) ^ static_cast<std::uint64_t>(seconds >> 63);
        column.Add(zigzag + 2);
        return;
    }
    std::uint64_t bits;
    std::memcpy(&bits, &time.seconds, sizeof bits);
    column.AddEscaped(bits);
}

}  // namespace

SegmentBuilder::TrigramLists::TrigramLists() : slots_(1 << 14, 0) {}

std::size_t SegmentBuilder::TrigramLists::SlotOf(Trigram trigram) const
{
    return (trigram * 0x9E3779B1u) & (slots_.size() - 1);
}

void SegmentBuilder::TrigramLists::Add(Trigram trigram, std::uint32_t ordinal)
{
    for (std::size_t slot = SlotOf(trigram);; slot = (slot + 1) & (slots_.size() - 1)) {
        const std::uint32_t taken = slots_[slot];
        if (taken == 0) {
            slots_[slot] = static_cast<std::uint32_t>(lists_.size() + 1);
            trigrams_.push_back(trigram);
            lists_.push_back({ordinal});
            if (lists_.size() * 2 > slots_.size())
                Grow();
            return;
        }
        if (trigrams_[taken - 1] == trigram) {
            std::vector<std::uint32_t>& list = lists_[taken - 1];
            if (list.back() != ordinal)  // a trigram repeated within one value counts once
                list.push_back(ordinal);
            return;
        }
    }
}

void SegmentBuilder::TrigramLists::Grow()
{
    slots_.assign(slots_.size() * 2, 0);
    for (std::size_t list = 0; list < trigrams_.size(); ++list) {
        std::size_t slot = SlotOf(trigrams_[list]);
        while (slots_[slot] != 0)
            slot = (slot + 1) & (slots_.size() - 1);
        slots_[slot] = static_cast<std::uint32_t>(list + 1);
    }
}

std::vector<std::pair<Trigram, const std::vector<std::uint32_t>*>> SegmentBuilder::TrigramLists::Sorted() const
{
    std::vector<std::pair<Trigram, const std::vector<std::uint32_t>*>> sorted;
    sorted.reserve(lists_.size());
    for (std::size_t list = 0; list < lists_.size(); ++list)
        sorted.emplace_back(trigrams_[list], &lists_[list]);
    std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    return sorted;
}

SegmentBuilder::SegmentBuilder(std::string key, const CatalogIdentity& identity, std::int64_t indexedAtNs)
    : key_(std::move(key)), identity_(identity), indexedAtNs_(indexedAtNs)
{
}

void SegmentBuilder::Add(std::uint64_t offset, const EntryTexts& entry)
{
    if (failed_ || tooLarge_)
        return;
    if (count_ == kMaxEntries) {
        tooLarge_ = true;
        return;
    }
    const std::uint32_t ordinal = count_++;
    offsets_.Add(offset);
    names_.Add(entry.fileName);
    extensions_.Add(entry.fileExt);
    descriptions_.Add(entry.description);
    types_.Add(entry.fileType);
    AddSize(sizes_, ParseSizeText(entry.fileSize));
    AddTime(times_, ParseTimeText(entry.fileTime));
    if (entry.fileName) {
        entryTrigrams_.clear();
        AppendTrigrams(*entry.fileName, entryTrigrams_);
        for (const Trigram trigram : entryTrigrams_)
            trigrams_.Add(trigram, ordinal);
    }
}

void SegmentBuilder::Fail(std::string message)
{
    failed_ = true;
    failure_ = std::move(message);
}

Status SegmentBuilder::Finish(std::string& bytes)
{
    if (tooLarge_ || names_.Overflowed() || extensions_.Overflowed() || descriptions_.Overflowed() || types_.Overflowed()
        || offsets_.Overflowed() || sizes_.Overflowed() || times_.Overflowed())
        return Status::Failed("The catalog \"" + key_ + "\" is too large for the search index");

    std::array<std::string, kSegmentSectionCount> sections;
    sections[kKeySection] = key_;
    sections[kFailureSection] = failure_;
    const std::uint32_t entryCount = failed_ ? 0 : count_;
    if (failed_) {
        // A catalog that failed gives no results at all: its entries are left out.
        sections[kOffsetSection] = VarintColumnWriter(true).Finish();
        sections[kNameSection] = PlainTextColumnWriter().Finish();
        sections[kExtensionSection] = sections[kDescriptionSection] = sections[kTypeSection] =
            DictionaryColumnWriter().Finish();
        sections[kSizeSection] = sections[kTimeSection] = VarintColumnWriter(false).Finish();
    } else {
        sections[kOffsetSection] = offsets_.Finish();
        sections[kNameSection] = names_.Finish();
        sections[kExtensionSection] = extensions_.Finish();
        sections[kDescriptionSection] = descriptions_.Finish();
        sections[kTypeSection] = types_.Finish();
        sections[kSizeSection] = sizes_.Finish();
        sections[kTimeSection] = times_.Finish();
        std::string& table = sections[kTrigramSection];
        std::string& postings = sections[kPostingSection];
        for (const auto& [trigram, list] : trigrams_.Sorted()) {
            const std::size_t start = postings.size();
            const PostingEncoding encoding = EncodePostings(*list, entryCount, postings);
            if (postings.size() > std::numeric_limits<std::uint32_t>::max())
                return Status::Failed("The catalog \"" + key_ + "\" is too large for the search index");
            PutU32(table, trigram | (static_cast<std::uint32_t>(encoding) << 24));
            PutU32(table, static_cast<std::uint32_t>(list->size()));
            PutU32(table, static_cast<std::uint32_t>(start));
            PutU32(table, static_cast<std::uint32_t>(postings.size() - start));
        }
    }

    std::uint64_t fileBytes = kSegmentHeaderBytes;
    for (const std::string& section : sections)
        fileBytes += section.size();
    bytes.clear();
    bytes.reserve(fileBytes);
    bytes.append(kSegmentMagic);
    PutU32(bytes, kSegmentFormatVersion);
    PutU32(bytes, static_cast<std::uint32_t>(kSegmentHeaderBytes));
    PutU64(bytes, fileBytes);
    PutU64(bytes, identity_.device);
    PutU64(bytes, identity_.inode);
    PutU64(bytes, identity_.size);
    PutU64(bytes, static_cast<std::uint64_t>(identity_.modifiedNs));
    PutU64(bytes, static_cast<std::uint64_t>(identity_.changedNs));
    PutU64(bytes, static_cast<std::uint64_t>(indexedAtNs_));
    PutU32(bytes, entryCount);
    PutU32(bytes, kSegmentSectionCount);
    std::uint64_t offset = kSegmentHeaderBytes;
    for (const std::string& section : sections) {
        PutU64(bytes, offset);
        PutU64(bytes, section.size());
        PutU64(bytes, IndexChecksum(section));
        offset += section.size();
    }
    PutU64(bytes, IndexChecksum(bytes));
    for (std::string& section : sections) {
        bytes += section;
        std::string().swap(section);
    }
    return Status::Ok();
}

}  // namespace vellumark
