#pragma once

#include "search/index/text_scan.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vellumark {

// Collects the trigram posting lists of a catalog's values without a lookup per trigram:
// each (trigram, ordinal) pair is appended as it comes to one chunk, and when the chunk is
// full it is put in trigram order by a stable radix sort in two passes, of ten bits and then
// fourteen (ordinals stay ascending; the digits are counted as the pairs come), and each
// trigram's run is written at once as gaps into one buffer. Finish joins the runs of a
// trigram from every chunk. Memory stays at one chunk of pairs (and its sorting space) plus
// the encoded runs.
class TrigramCollector {
public:
    static constexpr std::size_t kChunkPairs = std::size_t{1} << 20;

    explicit TrigramCollector(std::size_t chunkPairs = kChunkPairs);

    // The value's kept trigrams (KeptTrigramStart) for the entry; ordinals must not decrease
    // from one call to the next.
    void Add(std::string_view value, std::uint32_t ordinal);

    // Appends the trigram table (a record per trigram, ascending by trigram) and the posting
    // lists it points to, for a segment of entryCount entries; false when the lists outgrow
    // what the table can address. Call once, after the last Add.
    bool Finish(std::uint32_t entryCount, std::string& table, std::string& postings);

    // Starts a new catalog, keeping the memory (some 20 MB) for it.
    void Clear();

private:
    // A trigram's ordinals from one chunk: the first, and the gaps of the rest in runBytes_.
    struct Run {
        std::uint32_t trigram;
        std::uint32_t count;
        std::uint32_t first;
        std::uint32_t last;
        std::uint64_t offset;
        std::uint64_t length;
    };

    void Flush();

    std::size_t chunkPairs_;
    std::vector<std::uint64_t> pairs_;  // trigram << 32 | ordinal; the first pending_ are this chunk's
    std::vector<std::uint64_t> scratch_;
    std::vector<std::uint32_t> digitCounts_;  // per digit of each sorting pass, for the pending pairs
    std::size_t pending_ = 0;
    std::vector<Run> runs_;
    std::vector<std::size_t> chunkEnds_;  // where each chunk's runs end in runs_
    // Grown only, and never cleared: the first runBytesSize_ bytes are in use. A chunk's room
    // for its worst case is set aside without being written, so the pages it never uses are
    // never touched.
    std::unique_ptr<unsigned char[]> runBytes_;
    std::size_t runBytesCapacity_ = 0;
    std::size_t runBytesSize_ = 0;
};

}  // namespace vellumark
