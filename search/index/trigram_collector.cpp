#include "search/index/trigram_collector.h"

#include "search/index/byte_codec.h"
#include "search/index/posting_list.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>
#include <queue>

namespace vellumark {

namespace {

// The sort's first digit is the trigram's lower ten bits, the second its upper fourteen. Names
// use few of the upper digits (a first byte and six bits of a second), so their counters and
// places stay cached however many there are; the lower digits' counters, touched for every
// pair in Add, are kept to four kilobytes. Measured against two digits of twelve bits, this
// takes the collection from 0.70 to 0.65 of the parse's time.
constexpr int kLowBits = 10;
constexpr std::size_t kLowDigits = std::size_t{1} << kLowBits;
constexpr std::size_t kHighDigits = std::size_t{1} << (24 - kLowBits);
constexpr std::size_t kMaxGapBytes = 5;  // a 32-bit gap as a varint
// How far ahead of its place a digit's next store is prefetched, in pairs (a cache line); the
// sorting arrays have this many pairs more than they hold.
constexpr std::size_t kPrefetchAhead = 8;

// Sorts the pairs by their trigram (bits 32 to 55) in two passes, the lower digit first, from
// the digits' counts (the lower digit's first, then the upper's); each pass keeps the order of
// equal keys, so the ordinals of a trigram stay ascending. The sorted pairs end in `pairs`
// again.
void SortByTrigram(std::uint64_t* pairs, std::size_t count, std::uint64_t* scratch, std::uint32_t* digitCounts)
{
    std::uint64_t* from = pairs;
    std::uint64_t* to = scratch;
    for (int pass = 0; pass < 2; ++pass) {
        std::uint32_t* const places = digitCounts + (pass == 0 ? 0 : kLowDigits);
        const std::size_t digits = pass == 0 ? kLowDigits : kHighDigits;
        std::uint32_t start = 0;
        for (std::size_t digit = 0; digit < digits; ++digit) {
            const std::uint32_t next = start + places[digit];
            places[digit] = start;
            start = next;
        }
        const int shift = pass == 0 ? 32 : 32 + kLowBits;
        const std::uint64_t mask = digits - 1;
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint32_t place = places[(from[i] >> shift) & mask]++;
            // The digit's next cache line is asked for ahead: the chunk's sorting space has left
            // the caches while the catalog was parsed, and each first store to a line waited for
            // it (about a tenth of the sort's time, measured).
            __builtin_prefetch(to + place + kPrefetchAhead, 1, 3);
            to[place] = from[i];
        }
        std::swap(from, to);
    }
}

}  // namespace

TrigramCollector::TrigramCollector(std::size_t chunkPairs)
    : chunkPairs_(std::max<std::size_t>(chunkPairs, 1)), digitCounts_(kLowDigits + kHighDigits, 0)
{
}

void TrigramCollector::Clear()
{
    std::fill(digitCounts_.begin(), digitCounts_.end(), 0u);
    pending_ = 0;
    runs_.clear();
    chunkEnds_.clear();
    runBytesSize_ = 0;
}

void TrigramCollector::Add(std::string_view value, std::uint32_t ordinal)
{
    if (value.size() < 3)
        return;
    if (pending_ + value.size() > chunkPairs_)
        Flush();
    // Sized once per thread; only a value longer than a chunk makes it grow.
    if (pairs_.size() < std::max(chunkPairs_, value.size()) + kPrefetchAhead)
        pairs_.resize(std::max(chunkPairs_, value.size()) + kPrefetchAhead);
    std::uint64_t* out = pairs_.data() + pending_;
    std::uint32_t* const lowDigits = digitCounts_.data();
    std::uint32_t* const highDigits = lowDigits + kLowDigits;
    // The kept trigrams start at even offsets: two bytes on from one to the next.
    static_assert(KeptTrigramStart(0) && !KeptTrigramStart(1) && KeptTrigramStart(2));
    std::uint64_t* const first = out;
    for (std::size_t start = 0; start + 2 < value.size(); start += 2) {
        const Trigram trigram = NextTrigram(NextTrigram(NextTrigram(0, value[start]), value[start + 1]), value[start + 2]);
        ++lowDigits[trigram & (kLowDigits - 1)];
        ++highDigits[trigram >> kLowBits];
        *out++ = (std::uint64_t{trigram} << 32) | ordinal;
    }
    pending_ += static_cast<std::size_t>(out - first);
}

void TrigramCollector::Flush()
{
    if (pending_ == 0)
        return;
    if (scratch_.size() < pending_ + kPrefetchAhead)
        scratch_.resize(pairs_.size());
    SortByTrigram(pairs_.data(), pending_, scratch_.data(), digitCounts_.data());
    std::fill(digitCounts_.begin(), digitCounts_.end(), 0u);
    if (runBytesCapacity_ < runBytesSize_ + pending_ * kMaxGapBytes) {
        const std::size_t capacity = std::max(runBytesSize_ + pending_ * kMaxGapBytes, 2 * runBytesCapacity_);
        auto grown = std::make_unique_for_overwrite<unsigned char[]>(capacity);
        if (runBytesSize_ != 0)
            std::memcpy(grown.get(), runBytes_.get(), runBytesSize_);
        runBytes_ = std::move(grown);
        runBytesCapacity_ = capacity;
    }
    const std::uint64_t* const pairs = pairs_.data();
    unsigned char* out = runBytes_.get() + runBytesSize_;
    for (std::size_t at = 0; at < pending_;) {
        const std::uint64_t trigram = pairs[at] >> 32;
        Run run{static_cast<std::uint32_t>(trigram), 1, static_cast<std::uint32_t>(pairs[at]), 0,
                static_cast<std::uint64_t>(out - runBytes_.get()), 0};
        run.last = run.first;
        // A value holding a trigram twice gives its ordinal twice in a row; it counts once.
        for (++at; at < pending_ && pairs[at] >> 32 == trigram; ++at) {
            const auto ordinal = static_cast<std::uint32_t>(pairs[at]);
            if (ordinal == run.last)
                continue;
            out = WriteVarint(out, ordinal - run.last - 1);
            run.last = ordinal;
            ++run.count;
        }
        run.length = static_cast<std::uint64_t>(out - runBytes_.get()) - run.offset;
        runs_.push_back(run);
    }
    runBytesSize_ = static_cast<std::size_t>(out - runBytes_.get());
    chunkEnds_.push_back(runs_.size());
    pending_ = 0;
}

bool TrigramCollector::Finish(std::uint32_t entryCount, std::string& table, std::string& postings)
{
    Flush();
    table.reserve(table.size() + runs_.size() * 16);
    postings.reserve(postings.size() + runBytesSize_ + runs_.size() * kMaxGapBytes);
    // The next run of each chunk, smallest trigram (then earliest chunk) first.
    using Head = std::pair<std::uint32_t, std::size_t>;  // trigram, chunk
    std::priority_queue<Head, std::vector<Head>, std::greater<>> heads;
    std::vector<std::size_t> next(chunkEnds_.size());
    for (std::size_t chunk = 0; chunk < chunkEnds_.size(); ++chunk) {
        next[chunk] = chunk == 0 ? 0 : chunkEnds_[chunk - 1];
        if (next[chunk] < chunkEnds_[chunk])
            heads.emplace(runs_[next[chunk]].trigram, chunk);
    }
    bool fits = true;
    while (!heads.empty() && fits) {
        const std::uint32_t trigram = heads.top().first;
        const std::size_t start = postings.size();
        std::uint32_t count = 0;
        std::uint64_t following = 0;  // the smallest ordinal the next one may be
        while (!heads.empty() && heads.top().first == trigram) {
            const std::size_t chunk = heads.top().second;
            heads.pop();
            const Run& run = runs_[next[chunk]++];
            if (next[chunk] < chunkEnds_[chunk])
                heads.emplace(runs_[next[chunk]].trigram, chunk);
            // A run's gaps follow its first ordinal; when that is the list's last one already
            // (an ordinal added again in the next chunk), it is not written twice.
            if (count != 0 && run.first + std::uint64_t{1} == following)
                --count;
            else
                PutVarint(postings, run.first - following);
            postings.append(reinterpret_cast<const char*>(runBytes_.get() + run.offset), run.length);
            count += run.count;
            following = std::uint64_t{run.last} + 1;
        }
        const PostingEncoding encoding = FinishPostings(count, entryCount, start, postings);
        fits = postings.size() <= std::numeric_limits<std::uint32_t>::max();
        PutU32(table, trigram | (static_cast<std::uint32_t>(encoding) << 24));
        PutU32(table, count);
        PutU32(table, static_cast<std::uint32_t>(start));
        PutU32(table, static_cast<std::uint32_t>(postings.size() - start));
    }
    return fits;
}

}  // namespace vellumark
