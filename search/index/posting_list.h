#pragma once

#include <cstddef>
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

// The gaps of a list of `count` ordinals lie at the end of `out`, from `start` (the first
// ordinal, then each ordinal minus its predecessor minus one, as varints); replaces them by
// the bitmap when that is smaller for a segment of entryCount entries, and says which it is.
PostingEncoding FinishPostings(std::uint32_t count, std::uint32_t entryCount, std::size_t start, std::string& out);

// Appends the smaller encoding of the ordinals (ascending, each below entryCount) and says
// which it is.
PostingEncoding EncodePostings(const std::vector<std::uint32_t>& ordinals, std::uint32_t entryCount, std::string& out);

// Appends the list's ordinals; false when its bytes are not exactly `count` ascending
// ordinals below entryCount.
bool DecodePostings(const PostingList& list, std::uint32_t entryCount, std::vector<std::uint32_t>& out);

// Keeps the candidates (ascending) that the list holds; false when the list is damaged.
bool IntersectPostings(const PostingList& list, std::uint32_t entryCount, std::vector<std::uint32_t>& candidates);

}  // namespace vellumark
