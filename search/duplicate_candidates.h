#pragma once

#include "search/duplicates.h"
#include "search/index/entry_values.h"
#include "search/index/segment_reader.h"
#include "services/progress.h"
#include "services/status.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vellumark {

// A file that may have copies, as little as grouping needs: the hash of its grouping key and
// where to find its entry again (the start tag's offset in a catalog read whole, or its
// ordinal: in a segment of the index, or in a catalog whose reader gives no offsets).
struct DuplicateCandidate {
    std::uint64_t hash;
    std::uint64_t where;
};

// Which files can be copies, and the hash of their grouping key. Equal keys give equal
// hashes whether the values came from a catalog or from the index; sizes above 2^64-1 all
// hash alike (their records tell them apart).
class CandidateFilter {
public:
    CandidateFilter(DuplicateKey key, std::uint64_t minSize) : key_(key), minSize_(minSize) {}

    bool NeedsName() const { return key_ != DuplicateKey::Size; }
    // A readable size of at least the minimum (one above 2^64-1 is above every minimum).
    bool KeepsSize(const ParsedSize& size) const
    {
        return size.state == SizeState::AboveRange || (size.state == SizeState::Readable && size.bytes >= minSize_);
    }
    // `scratch` holds the folded name between calls, so that a reader allocates it once.
    std::uint64_t Hash(std::string_view name, const ParsedSize& size, std::string& scratch) const;

private:
    DuplicateKey key_;
    std::uint64_t minSize_;
};

// The candidates of one catalog file, read whole, in document order: Ok; Cancelled; Failed
// with a message naming the file when it is no readable catalog (the candidates are then
// dropped). The file's entry names are shown on `messages` (null on helper threads).
// `byOrdinal` tells whether the candidates are found again by ordinal (a catalog in another
// encoding than UTF-8, whose entries have no offsets) rather than by offset.
Status StreamCandidates(const std::string& path, const CandidateFilter& filter, const Progress& cancel,
                        Progress* messages, std::vector<DuplicateCandidate>& candidates, bool& byOrdinal);

// The same from a catalog's segment, in ordinal order; Failed when the segment is damaged.
Status IndexedCandidates(const SegmentReader& segment, const CandidateFilter& filter, const Progress& cancel,
                         std::vector<DuplicateCandidate>& candidates);

}  // namespace vellumark
