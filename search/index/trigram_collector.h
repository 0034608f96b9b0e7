#pragma once

#include "search/index/posting_list.h"
#include "search/index/text_scan.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vellumark {

// Collects the trigram posting lists of a catalog's values without a hash lookup per
// trigram: each (trigram, ordinal) pair is appended as it comes to one chunk, and every
// million pairs or so the chunk is put in trigram order by a stable radix sort in two passes
// of twelve bits (ordinals stay ascending) and appended to the lists as gaps. Memory stays at
// one chunk of pairs (and its sorting space) plus the encoded lists.
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

private:
    void ReturnBuffers();
    void Flush();

    std::vector<std::uint64_t> pairs_;  // trigram << 32 | ordinal; the first pending_ are this chunk's
    std::vector<std::uint64_t> scratch_;
    std::size_t pending_ = 0;
    std::vector<List> lists_;
};

}  // namespace vellumark
