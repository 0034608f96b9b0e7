#include "search/index/posting_list.h"

#include "search/index/byte_codec.h"

#include <bit>

namespace vellumark {

namespace {

std::uint64_t BitmapBytes(std::uint32_t entryCount) { return (static_cast<std::uint64_t>(entryCount) + 7) / 8; }

bool BitSet(std::string_view bitmap, std::uint32_t ordinal)
{
    return (static_cast<unsigned char>(bitmap[ordinal >> 3]) >> (ordinal & 7)) & 1;
}

// Walks the gaps of a list, checking each step, and hands each ordinal to `take`, which
// returns false to stop early.
template <typename Take>
bool WalkGaps(const PostingList& list, std::uint32_t entryCount, Take&& take)
{
    const auto* at = reinterpret_cast<const unsigned char*>(list.bytes.data());
    const auto* end = at + list.bytes.size();
    std::uint64_t next = 0;  // the smallest ordinal the next one may be
    for (std::uint32_t i = 0; i < list.count; ++i) {
        std::uint64_t gap;
        at = ReadVarint(at, end, gap);
        if (!at || gap >= entryCount - next)
            return false;
        const auto ordinal = static_cast<std::uint32_t>(next + gap);
        next = static_cast<std::uint64_t>(ordinal) + 1;
        if (!take(ordinal))
            return true;
    }
    return at == end;
}

}  // namespace

PostingEncoding FinishPostings(std::uint32_t count, std::uint32_t entryCount, std::size_t start, std::string& out)
{
    if (BitmapBytes(entryCount) >= out.size() - start)
        return PostingEncoding::Gaps;
    const std::string gaps = out.substr(start);
    out.resize(start);
    out.resize(start + BitmapBytes(entryCount), '\0');
    WalkGaps({gaps, PostingEncoding::Gaps, count}, entryCount, [&](std::uint32_t ordinal) {
        char& byte = out[start + (ordinal >> 3)];
        byte = static_cast<char>(static_cast<unsigned char>(byte) | (1u << (ordinal & 7)));
        return true;
    });
    return PostingEncoding::Bitmap;
}

PostingEncoding EncodePostings(const std::vector<std::uint32_t>& ordinals, std::uint32_t entryCount, std::string& out)
{
    const std::size_t start = out.size();
    std::uint64_t following = 0;
    std::uint32_t count = 0;
    for (const std::uint32_t ordinal : ordinals) {
        if (count != 0 && ordinal + std::uint64_t{1} == following)
            continue;
        PutVarint(out, ordinal - following);
        following = ordinal + std::uint64_t{1};
        ++count;
    }
    return FinishPostings(count, entryCount, start, out);
}

bool DecodePostings(const PostingList& list, std::uint32_t entryCount, std::vector<std::uint32_t>& out)
{
    if (list.encoding == PostingEncoding::Gaps) {
        if (list.count > list.bytes.size())
            return false;  // every ordinal takes at least one byte
        out.reserve(out.size() + list.count);
        return WalkGaps(list, entryCount, [&](std::uint32_t ordinal) {
            out.push_back(ordinal);
            return true;
        });
    }
    if (list.bytes.size() != BitmapBytes(entryCount))
        return false;
    const std::size_t before = out.size();
    const auto* bytes = reinterpret_cast<const unsigned char*>(list.bytes.data());
    for (std::size_t byte = 0; byte < list.bytes.size(); ++byte) {
        for (unsigned bits = bytes[byte]; bits != 0; bits &= bits - 1) {
            const std::uint64_t ordinal = byte * 8 + static_cast<unsigned>(std::countr_zero(bits));
            if (ordinal >= entryCount)
                return false;
            out.push_back(static_cast<std::uint32_t>(ordinal));
        }
    }
    return out.size() - before == list.count;
}

bool IntersectPostings(const PostingList& list, std::uint32_t entryCount, std::vector<std::uint32_t>& candidates)
{
    std::size_t kept = 0;
    if (list.encoding == PostingEncoding::Bitmap) {
        if (list.bytes.size() != BitmapBytes(entryCount))
            return false;
        for (const std::uint32_t candidate : candidates) {
            if (candidate >= entryCount)
                return false;
            if (BitSet(list.bytes, candidate))
                candidates[kept++] = candidate;
        }
        candidates.resize(kept);
        return true;
    }
    if (candidates.empty())
        return true;
    std::size_t at = 0;
    const bool intact = WalkGaps(list, entryCount, [&](std::uint32_t ordinal) {
        while (at < candidates.size() && candidates[at] < ordinal)
            ++at;
        if (at == candidates.size())
            return false;
        if (candidates[at] == ordinal)
            candidates[kept++] = candidates[at++];
        return at < candidates.size();
    });
    candidates.resize(kept);
    return intact;
}

}  // namespace vellumark
