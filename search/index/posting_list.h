#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vellumark {

// A posting list holds the ordinals of the entries whose value contains one trigram, in
// ascending order. It is stored as whichever of two encodings is smaller: the gaps between
// ordinals as varints (the first ordinal itself, then each ordinal minus its predecessor
// minus one), or a bitmap of one bit per entry of the segment (lists of trigrams that more
// than about one entry in eight holds).
enum class PostingEncoding : std::uint8_t { Gaps = 0, Bitmap = 1 };

struct PostingList {
    std::string_view bytes;
    PostingEncoding encoding = PostingEncoding::Gaps;
    std::uint32_t count = 0;
};

// Builds one list from ascending ordinals (one given twice in a row counts once) as gaps,
// and gives the smaller encoding at the end.
class PostingListWriter {
public:
    void Add(std::uint32_t ordinal)
    {
        if (count_ != 0 && ordinal + std::uint64_t{1} == next_)
            return;
        // Gaps fit in 32 bits; a vector's push_back stays inline where a string's does not.
        auto gap = static_cast<std::uint32_t>(ordinal - next_);
        while (gap >= 0x80) {
            gaps_.push_back(static_cast<char>(gap | 0x80));
            gap >>= 7;
        }
        gaps_.push_back(static_cast<char>(gap));
        next_ = ordinal + std::uint64_t{1};
        ++count_;
    }
    std::uint32_t Count() const { return count_; }
    // Appends the list in the smaller encoding for a segment of entryCount entries.
    PostingEncoding Finish(std::uint32_t entryCount, std::string& out) const;

private:
    std::vector<char> gaps_;
    std::uint64_t next_ = 0;
    std::uint32_t count_ = 0;
};

// Appends the smaller encoding of the ordinals (ascending, each below entryCount) and says
// which it is.
PostingEncoding EncodePostings(const std::vector<std::uint32_t>& ordinals, std::uint32_t entryCount, std::string& out);

// Appends the list's ordinals; false when its bytes are not exactly `count` ascending
// ordinals below entryCount.
bool DecodePostings(const PostingList& list, std::uint32_t entryCount, std::vector<std::uint32_t>& out);

// Keeps the candidates (ascending) that the list holds; false when the list is damaged.
bool IntersectPostings(const PostingList& list, std::uint32_t entryCount, std::vector<std::uint32_t>& candidates);

}  // namespace vellumark
