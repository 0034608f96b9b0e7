#pragma once

#include "search/index/posting_list.h"
#include "search/index/text_scan.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vellumark {

// Collects the trigram posting lists of a catalog's values without a hash lookup per
// trigram: each (trigram, ordinal) pair is appended as it comes to the bucket of the
// trigram's first byte, and every million pairs or so each bucket is put in trigram order by
// a stable radix sort of the other two bytes (ordinals stay ascending) small enough to run
// in the cache, and appended to the lists as gaps. Memory stays at one chunk of pairs plus
// the encoded lists.
class TrigramCollector {
public:
    TrigramCollector();
    ~TrigramCollector();
    TrigramCollector(const TrigramCollector&) = delete;
    TrigramCollector& operator=(const TrigramCollector&) = delete;

    // The value's trigrams for the entry; ordinals must come in ascending order.
    void Add(std::string_view value, std::uint32_t ordinal);

    struct List {
        Trigram trigram;
        PostingListWriter postings;
    };
    // Every list, ascending by trigram. Call once, after the last Add.
    std::vector<List>& Finish();

    // The chunk buffers (some 16 MB) stay with their thread for its next catalog, instead of
    // being returned and faulted in again; a thread that indexes no more gives them back.
    static void ReleaseThreadBuffers();

    static constexpr std::size_t kBuckets = 256;

private:
    void ReturnBuffers();
    void Flush();

    std::array<std::vector<std::uint64_t>, kBuckets> buckets_;  // trigram << 32 | ordinal
    std::vector<std::uint64_t> scratch_;
    std::size_t pending_ = 0;
    std::vector<List> lists_;
};

}  // namespace vellumark
