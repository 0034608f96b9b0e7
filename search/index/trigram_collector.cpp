#include "search/index/trigram_collector.h"

#include <algorithm>

namespace vellumark {

namespace {

constexpr std::size_t kChunkPairs = std::size_t{1} << 20;

// Sorts a bucket (one first byte) by the trigram's other two bytes (bits 32 to 47) in two
// passes of eight bits, the lower first; each pass keeps the order of equal keys, so the
// ordinals of a trigram stay ascending.
void SortBucket(std::vector<std::uint64_t>& pairs, std::vector<std::uint64_t>& scratch)
{
    constexpr std::size_t kDigits = 256;
    scratch.resize(pairs.size());
    std::uint32_t counts[2][kDigits] = {};
    for (const std::uint64_t pair : pairs) {
        ++counts[0][(pair >> 32) & 0xFF];
        ++counts[1][(pair >> 40) & 0xFF];
    }
    for (int pass = 0; pass < 2; ++pass) {
        std::uint32_t* const places = counts[pass];
        std::uint32_t start = 0;
        for (std::size_t digit = 0; digit < kDigits; ++digit) {
            const std::uint32_t next = start + places[digit];
            places[digit] = start;
            start = next;
        }
        const int shift = 32 + pass * 8;
        std::uint64_t* const out = scratch.data();
        for (const std::uint64_t pair : pairs)
            out[places[(pair >> shift) & 0xFF]++] = pair;
        pairs.swap(scratch);
    }
}

struct ChunkBuffers {
    std::array<std::vector<std::uint64_t>, TrigramCollector::kBuckets> buckets;
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
    buckets_.swap(buffers.buckets);
    scratch_.swap(buffers.scratch);
    for (std::vector<std::uint64_t>& bucket : buckets_)
        bucket.clear();
}

TrigramCollector::~TrigramCollector() { ReturnBuffers(); }

void TrigramCollector::ReturnBuffers()
{
    ChunkBuffers& buffers = ThreadBuffers();
    for (std::size_t b = 0; b < kBuckets; ++b) {
        if (buckets_[b].capacity() > buffers.buckets[b].capacity())
            buffers.buckets[b].swap(buckets_[b]);
        std::vector<std::uint64_t>().swap(buckets_[b]);
    }
    if (scratch_.capacity() > buffers.scratch.capacity())
        buffers.scratch.swap(scratch_);
    std::vector<std::uint64_t>().swap(scratch_);
}

void TrigramCollector::ReleaseThreadBuffers()
{
    ChunkBuffers& buffers = ThreadBuffers();
    for (std::vector<std::uint64_t>& bucket : buffers.buckets)
        std::vector<std::uint64_t>().swap(bucket);
    std::vector<std::uint64_t>().swap(buffers.scratch);
}

void TrigramCollector::Add(std::string_view value, std::uint32_t ordinal)
{
    if (value.size() < 3)
        return;
    if (pending_ + value.size() > kChunkPairs)
        Flush();
    const auto byte = [&](std::size_t i) { return static_cast<std::uint64_t>(static_cast<unsigned char>(FoldAscii(value[i]))); };
    std::uint64_t window = (byte(0) << 8) | byte(1);
    for (std::size_t i = 2; i < value.size(); ++i) {
        window = ((window << 8) | byte(i)) & 0xFFFFFF;
        buckets_[window >> 16].push_back((window << 32) | ordinal);
    }
    pending_ += value.size() - 2;
}

void TrigramCollector::Flush()
{
    if (pending_ == 0)
        return;
    // Merge this chunk's lists into those of the chunks before, both ascending by trigram:
    // bucket by bucket, each sorted on its own.
    std::vector<List> merged;
    merged.reserve(lists_.size() + 1024);
    auto earlier = lists_.begin();
    for (std::vector<std::uint64_t>& pairs : buckets_) {
        if (pairs.empty())
            continue;
        SortBucket(pairs, scratch_);
        for (std::size_t at = 0; at < pairs.size();) {
            const auto trigram = static_cast<Trigram>(pairs[at] >> 32);
            while (earlier != lists_.end() && earlier->trigram < trigram)
                merged.push_back(std::move(*earlier++));
            if (earlier != lists_.end() && earlier->trigram == trigram)
                merged.push_back(std::move(*earlier++));
            else
                merged.push_back({trigram, {}});
            PostingListWriter& postings = merged.back().postings;
            for (; at < pairs.size() && static_cast<Trigram>(pairs[at] >> 32) == trigram; ++at)
                postings.Add(static_cast<std::uint32_t>(pairs[at]));
        }
        pairs.clear();
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
