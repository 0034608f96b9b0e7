#pragma once

#include "search/index/segment_reader.h"
#include "search/index/text_scan.h"
#include "services/status.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace vellumark {

// The pattern conditions of one search (name, extension, description; an empty pattern
// takes no part), prepared once and asked of every segment. A segment answers with its
// candidates: the entries whose values hold every pattern by the search's rules (case,
// whole values). The caller still verifies each with the search's own matcher, which also
// applies the conditions this does not know; a candidate list is never missing a match.
//
// FileName patterns of four bytes or more, and of three as whole values, go through the
// trigram posting lists (rarest first; the index keeps the trigrams at even offsets, so a
// pattern is looked for with its trigrams at even offsets, and unless it is a whole value also
// with those at odd offsets) and the names of the few entries left are then compared; other
// patterns and the other conditions scan their column in memory, starting with the one
// cheapest to scan.
class CandidateQuery {
public:
    CandidateQuery(std::string_view namePattern, std::string_view extensionPattern, std::string_view descriptionPattern,
                   bool caseSensitive, bool wholeValues);

    // False when no pattern takes part: every entry is then a candidate.
    bool Active() const { return name_ || extension_ || description_; }

    // Replaces `candidates` with the segment's candidates in document order; Failed when
    // the segment turns out damaged.
    Status FindCandidates(const SegmentReader& segment, std::vector<std::uint32_t>& candidates) const;
    // The same, except that the FileName pattern, when its trigrams found the candidates, is
    // left for the caller to check: `nameCheck` is then the filter each candidate's FileName
    // must pass, else null. For a caller that reads the candidates' names anyway, which saves a
    // pass over them.
    Status FindCandidates(const SegmentReader& segment, std::vector<std::uint32_t>& candidates,
                          const ValueFilter*& nameCheck) const;

private:
    std::optional<ValueFilter> name_;
    std::optional<ValueFilter> extension_;
    std::optional<ValueFilter> description_;
    // The pattern's distinct trigrams at even and at odd offsets, when the lists can answer it.
    std::vector<Trigram> evenTrigrams_;
    std::vector<Trigram> oddTrigrams_;
    bool listsAnswer_ = false;
};

}  // namespace vellumark
