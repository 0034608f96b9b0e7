#include "search/index/candidate_query.h"

#include <algorithm>
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

}  // namespace

CandidateQuery::CandidateQuery(std::string_view namePattern, std::string_view extensionPattern,
                               std::string_view descriptionPattern, bool caseSensitive, bool wholeValues)
    : name_(FilterFor(namePattern, caseSensitive, wholeValues)),
      extension_(FilterFor(extensionPattern, caseSensitive, wholeValues)),
      description_(FilterFor(descriptionPattern, caseSensitive, wholeValues))
{
    AppendTrigrams(namePattern, nameTrigrams_);
    std::sort(nameTrigrams_.begin(), nameTrigrams_.end());
    nameTrigrams_.erase(std::unique(nameTrigrams_.begin(), nameTrigrams_.end()), nameTrigrams_.end());
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

    if (!nameTrigrams_.empty()) {
        std::vector<PostingList> lists(nameTrigrams_.size());
        for (std::size_t i = 0; i < nameTrigrams_.size(); ++i) {
            switch (segment.FindPostings(nameTrigrams_[i], lists[i])) {
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
