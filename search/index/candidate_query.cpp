#include "search/index/candidate_query.h"

#include <algorithm>
#include <iterator>
#include <numeric>

namespace vellumark {

namespace {

// A long gap-coded list costs more to decode than comparing the names of this many times
// fewer candidates.
constexpr std::uint64_t kDecodeToCompareRatio = 16;

std::optional<ValueFilter> FilterFor(std::string_view pattern, bool caseSensitive, bool wholeValues)
{
    if (pattern.empty())
        return std::nullopt;
    return ValueFilter(pattern, caseSensitive, wholeValues);
}

Status Damaged(const SegmentReader& segment)
{
    return Status::Failed("The search index segment of \"" + segment.Key() + "\" is damaged");
}

// The entries whose names hold every one of the trigrams (none when one is missing anywhere).
Status FindHoldingAll(const SegmentReader& segment, const std::vector<Trigram>& trigrams,
                      std::vector<std::uint32_t>& candidates)
{
    candidates.clear();
    const std::uint32_t entryCount = segment.EntryCount();
    std::vector<PostingList> lists(trigrams.size());
    for (std::size_t i = 0; i < trigrams.size(); ++i) {
        switch (segment.FindPostings(trigrams[i], lists[i])) {
        case SegmentReader::Lookup::Found:
            break;
        case SegmentReader::Lookup::Missing:
            return Status::Ok();  // no name holds this trigram
        case SegmentReader::Lookup::Damaged:
            return Damaged(segment);
        }
    }
    std::sort(lists.begin(), lists.end(), [](const PostingList& a, const PostingList& b) { return a.count < b.count; });
    if (!DecodePostings(lists[0], entryCount, candidates))
        return Damaged(segment);
    for (std::size_t i = 1; i < lists.size() && !candidates.empty(); ++i) {
        if (lists[i].encoding == PostingEncoding::Gaps && lists[i].count > candidates.size() * kDecodeToCompareRatio)
            break;
        if (!IntersectPostings(lists[i], entryCount, candidates))
            return Damaged(segment);
    }
    return Status::Ok();
}

}  // namespace

CandidateQuery::CandidateQuery(std::string_view namePattern, std::string_view extensionPattern,
                               std::string_view descriptionPattern, bool caseSensitive, bool wholeValues)
    : name_(FilterFor(namePattern, caseSensitive, wholeValues)),
      extension_(FilterFor(extensionPattern, caseSensitive, wholeValues)),
      description_(FilterFor(descriptionPattern, caseSensitive, wholeValues))
{
    listsAnswer_ = namePattern.size() > 3 || (namePattern.size() == 3 && wholeValues);
    if (!listsAnswer_)
        return;
    std::vector<Trigram> trigrams;
    AppendTrigrams(namePattern, trigrams);
    for (std::size_t offset = 0; offset < trigrams.size(); ++offset)
        (KeptTrigramStart(offset) ? evenTrigrams_ : oddTrigrams_).push_back(trigrams[offset]);
    // A whole value holds the pattern at offset 0 only.
    if (wholeValues)
        oddTrigrams_.clear();
    for (std::vector<Trigram>* set : {&evenTrigrams_, &oddTrigrams_}) {
        std::sort(set->begin(), set->end());
        set->erase(std::unique(set->begin(), set->end()), set->end());
    }
}

Status CandidateQuery::FindCandidates(const SegmentReader& segment, std::vector<std::uint32_t>& candidates) const
{
    const ValueFilter* nameCheck = nullptr;
    if (Status status = FindCandidates(segment, candidates, nameCheck); !status)
        return status;
    if (nameCheck && !segment.Names().Filter(*nameCheck, candidates))
        return Damaged(segment);
    return Status::Ok();
}

Status CandidateQuery::FindCandidates(const SegmentReader& segment, std::vector<std::uint32_t>& candidates,
                                      const ValueFilter*& nameCheck) const
{
    nameCheck = nullptr;
    candidates.clear();
    const std::uint32_t entryCount = segment.EntryCount();
    if (entryCount == 0)
        return Status::Ok();
    if (!Active()) {
        candidates.resize(entryCount);
        std::iota(candidates.begin(), candidates.end(), 0u);
        return Status::Ok();
    }

    struct Condition {
        const TextColumn* column;
        const ValueFilter* filter;
    };
    std::vector<Condition> conditions;
    if (name_)
        conditions.push_back({&segment.Names(), &*name_});
    if (extension_)
        conditions.push_back({&segment.Extensions(), &*extension_});
    if (description_)
        conditions.push_back({&segment.Descriptions(), &*description_});

    if (listsAnswer_) {
        if (Status found = FindHoldingAll(segment, evenTrigrams_, candidates); !found)
            return found;
        if (!oddTrigrams_.empty()) {
            std::vector<std::uint32_t> atOddOffsets;
            if (Status found = FindHoldingAll(segment, oddTrigrams_, atOddOffsets); !found)
                return found;
            if (!atOddOffsets.empty()) {
                std::vector<std::uint32_t> either;
                either.reserve(candidates.size() + atOddOffsets.size());
                std::set_union(candidates.begin(), candidates.end(), atOddOffsets.begin(), atOddOffsets.end(),
                               std::back_inserter(either));
                candidates.swap(either);
            }
        }
        // The names are compared last, by the caller, on the candidates the other columns leave.
        conditions.erase(conditions.begin());
        nameCheck = &*name_;
    } else {
        // Scan the cheapest column whole, then look at the others only for what it left.
        const auto cheapest = std::min_element(conditions.begin(), conditions.end(), [](const Condition& a, const Condition& b) {
            return a.column->ScanBytes() < b.column->ScanBytes();
        });
        if (!cheapest->column->Scan(*cheapest->filter, candidates))
            return Damaged(segment);
        conditions.erase(cheapest);
    }
    for (const Condition& condition : conditions) {
        if (candidates.empty())
            break;
        if (!condition.column->Filter(*condition.filter, candidates))
            return Damaged(segment);
    }
    return Status::Ok();
}

}  // namespace vellumark
