#include "search/index/trigram_collector.h"

#include <algorithm>

namespace vellumark {

namespace {

constexpr std::size_t kChunkPairs = std::size_t{1} << 20;

// Sorts the pairs by their trigram (bits 32 to 55) in two passes of twelve bits, the lower
// first; each pass keeps the order of equal keys, so the ordinals of a trigram stay ascending.
// The sorted pairs end in `pairs` again.
void SortByTrigram(std::uint64_t* pairs, std::size_t count, std::uint64_t* scratch)
{
    constexpr std::size_t kDigits = 4096;
    static thread_local std::uint32_t counts[2][kDigits];
    std::fill(&counts[0][0], &counts[0][0] + 2 * kDigits, 0u);
    for (std::size_t i = 0; i < count; ++i) {
        ++counts[0][(pairs[i] >> 32) & 0xFFF];
        ++counts[1][(pairs[i] >> 44) & 0xFFF];
    }
    std::uint64_t* from = pairs;
    std::uint64_t* to = scratch;
    for (int pass = 0; pass < 2; ++pass) {
        std::uint32_t* const places = counts[pass];
        std::uint32_t start = 0;
        for (std::size_t digit = 0; digit < kDigits; ++digit) {
            const std::uint32_t next = start + places[digit];
            places[digit] = start;
            start = next;
        }
        const int shift = 32 + pass * 12;
        for (std::size_t i = 0; i < count; ++i)
            to[places[(from[i] >> shift) & 0xFFF]++] = from[i];
        std::swap(from, to);
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
    if (pending_ + value.size() > kChunkPairs)
        Flush();
    // Sized once per thread; only a value longer than a chunk makes it grow.
    if (pairs_.size() < std::max(kChunkPairs, value.size()))
        pairs_.resize(std::max(kChunkPairs, value.size()));
    const auto byte = [&](std::size_t i) { return static_cast<std::uint64_t>(static_cast<unsigned char>(FoldAscii(value[i]))); };
    std::uint64_t* out = pairs_.data() + pending_;
    std::uint64_t window = (byte(0) << 8) | byte(1);
    for (std::size_t i = 2; i < value.size(); ++i) {
        window = ((window << 8) | byte(i)) & 0xFFFFFF;
        *out++ = (window << 32) | ordinal;
    }
    pending_ += value.size() - 2;
}

void TrigramCollector::Flush()
{
    if (pending_ == 0)
        return;
    if (scratch_.size() < pending_)
        scratch_.resize(pairs_.size());
    SortByTrigram(pairs_.data(), pending_, scratch_.data());
    // Merge this chunk's lists into those of the chunks before, both ascending by trigram.
    std::vector<List> merged;
    merged.reserve(lists_.size() + 1024);
    auto earlier = lists_.begin();
    const std::uint64_t* const pairs = pairs_.data();
    for (std::size_t at = 0; at < pending_;) {
        const auto trigram = static_cast<Trigram>(pairs[at] >> 32);
        while (earlier != lists_.end() && earlier->trigram < trigram)
            merged.push_back(std::move(*earlier++));
        if (earlier != lists_.end() && earlier->trigram == trigram)
            merged.push_back(std::move(*earlier++));
        else
            merged.push_back({trigram, {}});
        PostingListWriter& postings = merged.back().postings;
        for (; at < pending_ && static_cast<Trigram>(pairs[at] >> 32) == trigram; ++at)
            postings.Add(static_cast<std::uint32_t>(pairs[at]));
    }
    std::move(earlier, lists_.end(), std::back_inserter(merged));
    lists_.swap(merged);
    pending_ = 0;
}

std::vector<TrigramCollector::List>& TrigramCollector::Finish()
{
    Flush();
    ReturnBuffers();
    return lists_;
}

}  // namespace vellumark
