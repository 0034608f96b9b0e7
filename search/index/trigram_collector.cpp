#include "search/index/trigram_collector.h"

#include <algorithm>

namespace vellumark {

namespace {

constexpr std::size_t kChunkPairs = std::size_t{1} << 17;

// Sorts by the 24 trigram bits (bits 32 to 55) in two passes of twelve bits, the lower half
// first; each pass keeps the order of equal keys, so the ordinals of a trigram stay ascending.
// A chunk is small enough for the second-level cache, where passes this wide still run fast.
void SortByTrigram(std::vector<std::uint64_t>& pairs, std::vector<std::uint64_t>& scratch)
{
    constexpr int kDigitBits = 12;
    constexpr std::uint64_t kDigitMask = (1u << kDigitBits) - 1;
    scratch.resize(pairs.size());
    std::vector<std::uint32_t> counts(2u << kDigitBits, 0);
    std::uint32_t* const low = counts.data();
    std::uint32_t* const high = low + (1u << kDigitBits);
    for (const std::uint64_t pair : pairs) {
        ++low[(pair >> 32) & kDigitMask];
        ++high[(pair >> (32 + kDigitBits)) & kDigitMask];
    }
    for (int pass = 0; pass < 2; ++pass) {
        std::uint32_t* const places = pass == 0 ? low : high;
        std::uint32_t start = 0;
        for (std::size_t digit = 0; digit <= kDigitMask; ++digit) {
            const std::uint32_t next = start + places[digit];
            places[digit] = start;
            start = next;
        }
        const int shift = 32 + pass * kDigitBits;
        std::uint64_t* const out = scratch.data();
        for (const std::uint64_t pair : pairs)
            out[places[(pair >> shift) & kDigitMask]++] = pair;
        pairs.swap(scratch);
    }
}

struct ChunkBuffers {
    std::vector<std::uint64_t> pairs;
    std::vector<std::uint64_t> scratch;
};

ChunkBuffers& ThreadBuffers()
{
    thread_local ChunkBuffers buffers;
    return buffers;
}

}  // namespace

TrigramCollector::TrigramCollector()
{
    ChunkBuffers& buffers = ThreadBuffers();
    pairs_.swap(buffers.pairs);
    scratch_.swap(buffers.scratch);
    pairs_.clear();
}

TrigramCollector::~TrigramCollector() { ReturnBuffers(); }

void TrigramCollector::ReturnBuffers()
{
    ChunkBuffers& buffers = ThreadBuffers();
    if (pairs_.capacity() > buffers.pairs.capacity())
        buffers.pairs.swap(pairs_);
    if (scratch_.capacity() > buffers.scratch.capacity())
        buffers.scratch.swap(scratch_);
    std::vector<std::uint64_t>().swap(pairs_);
    std::vector<std::uint64_t>().swap(scratch_);
}

void TrigramCollector::ReleaseThreadBuffers()
{
    ChunkBuffers& buffers = ThreadBuffers();
    std::vector<std::uint64_t>().swap(buffers.pairs);
    std::vector<std::uint64_t>().swap(buffers.scratch);
}

void TrigramCollector::Add(std::string_view value, std::uint32_t ordinal)
{
    if (value.size() < 3)
        return;
    if (pairs_.size() + value.size() > kChunkPairs)
        Flush();
    if (pairs_.capacity() < kChunkPairs)
        pairs_.reserve(kChunkPairs);
    const auto byte = [&](std::size_t i) { return static_cast<std::uint64_t>(static_cast<unsigned char>(FoldAscii(value[i]))); };
    std::uint64_t window = (byte(0) << 8) | byte(1);
    for (std::size_t i = 2; i < value.size(); ++i) {
        window = ((window << 8) | byte(i)) & 0xFFFFFF;
        pairs_.push_back((window << 32) | ordinal);
    }
}

void TrigramCollector::Flush()
{
    if (pairs_.empty())
        return;
    SortByTrigram(pairs_, scratch_);
    // Merge this chunk's lists into those of the chunks before, both ascending by trigram.
    std::vector<List> merged;
    merged.reserve(lists_.size() + 1024);
    auto earlier = lists_.begin();
    for (std::size_t at = 0; at < pairs_.size();) {
        const auto trigram = static_cast<Trigram>(pairs_[at] >> 32);
        while (earlier != lists_.end() && earlier->trigram < trigram)
            merged.push_back(std::move(*earlier++));
        if (earlier != lists_.end() && earlier->trigram == trigram)
            merged.push_back(std::move(*earlier++));
        else
            merged.push_back({trigram, {}});
        PostingListWriter& postings = merged.back().postings;
        for (; at < pairs_.size() && static_cast<Trigram>(pairs_[at] >> 32) == trigram; ++at)
            postings.Add(static_cast<std::uint32_t>(pairs_[at]));
    }
    std::move(earlier, lists_.end(), std::back_inserter(merged));
    lists_.swap(merged);
    pairs_.clear();
}

std::vector<TrigramCollector::List>& TrigramCollector::Finish()
{
    Flush();
    ReturnBuffers();
    return lists_;
}

}  // namespace vellumark
