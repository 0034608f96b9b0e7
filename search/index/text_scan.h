#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vellumark {

// ASCII folding as the search's matcher does it: a to z become A to Z; every other byte,
// those of UTF-8 sequences included, stays as it is.
inline char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - ('a' - 'A')) : c; }

// Three folded bytes, the first in the highest of the 24 bits.
using Trigram = std::uint32_t;

// The trigram that ends with `next`, after the one (or the first two bytes) in `window`.
inline Trigram NextTrigram(Trigram window, char next)
{
    return ((window << 8) | static_cast<unsigned char>(FoldAscii(next))) & 0xFFFFFF;
}

// Appends the trigram at every position of the value (repeats included).
void AppendTrigrams(std::string_view value, std::vector<Trigram>& out);

// The index keeps the trigrams of a value that start at an even offset: half the lists to
// collect and store. A pattern of four bytes or more is still found through them: where a
// value holds it at an even offset, the value's kept trigrams include the pattern's at even
// offsets; at an odd offset, the pattern's at odd offsets. A pattern of three bytes is found
// through them only as a whole value (at offset 0).
inline constexpr bool KeptTrigramStart(std::size_t offset) { return offset % 2 == 0; }

// One pattern condition of a search as it tests a value: the value holds the pattern, or
// equals it with whole values; ignoring the case of a to z unless case-sensitive.
class ValueFilter {
public:
    ValueFilter(std::string_view pattern, bool caseSensitive, bool wholeValue);

    bool Matches(std::string_view value) const;
    // Where the pattern occurs in the text at or after `from` by the filter's case rule,
    // as a part (whole values are the caller's business); npos when nowhere.
    std::size_t Find(std::string_view text, std::size_t from) const;

    // The pattern as compared: folded unless case-sensitive.
    const std::string& Pattern() const { return pattern_; }
    bool WholeValue() const { return wholeValue_; }

private:
    std::string pattern_;
    bool caseSensitive_;
    bool wholeValue_;
};

}  // namespace vellumark
