#include "search/index/text_scan.h"

#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace vellumark {

namespace {

bool EqualFolded(const char* text, const char* folded, std::size_t length)
{
    for (std::size_t i = 0; i < length; ++i)
        if (FoldAscii(text[i]) != folded[i])
            return false;
    return true;
}

#ifdef __SSE2__
// The sixteen bytes folded: signed compares keep bytes of 0x80 and above (negative) out of
// the range a to z.
__m128i Fold16(__m128i bytes)
{
    const __m128i lower = _mm_and_si128(_mm_cmpgt_epi8(bytes, _mm_set1_epi8('a' - 1)),
                                        _mm_cmplt_epi8(bytes, _mm_set1_epi8('z' + 1)));
    return _mm_sub_epi8(bytes, _mm_and_si128(lower, _mm_set1_epi8(0x20)));
}
#endif

// Compares the first and the last byte of the pattern at sixteen places at once and only
// where both agree the bytes between: short patterns over megabytes of names.
std::size_t FindFolded(std::string_view text, std::size_t from, const std::string& folded)
{
    const std::size_t length = folded.size();
    if (length == 0)
        return from <= text.size() ? from : std::string_view::npos;
    if (text.size() < length || from > text.size() - length)
        return std::string_view::npos;
    const char* data = text.data();
    const std::size_t lastStart = text.size() - length;
    const std::size_t middle = length >= 2 ? length - 2 : 0;
    std::size_t at = from;
#ifdef __SSE2__
    const __m128i first = _mm_set1_epi8(folded[0]);
    const __m128i last = _mm_set1_epi8(folded[length - 1]);
    for (; at + 15 <= lastStart; at += 16) {
        const __m128i starts = Fold16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at)));
        const __m128i ends = Fold16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at + length - 1)));
        unsigned mask = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(starts, first), _mm_cmpeq_epi8(ends, last))));
        for (; mask != 0; mask &= mask - 1) {
            const std::size_t place = at + static_cast<std::size_t>(__builtin_ctz(mask));
            if (EqualFolded(data + place + 1, folded.data() + 1, middle))
                return place;
        }
    }
#endif
    for (; at <= lastStart; ++at)
        if (FoldAscii(data[at]) == folded[0] && EqualFolded(data + at + 1, folded.data() + 1, length - 1))
            return at;
    return std::string_view::npos;
}

}  // namespace

void AppendTrigrams(std::string_view value, std::vector<Trigram>& out)
{
    if (value.size() < 3)
        return;
    Trigram window = NextTrigram(NextTrigram(0, value[0]), value[1]);
    for (std::size_t i = 2; i < value.size(); ++i) {
        window = NextTrigram(window, value[i]);
        out.push_back(window);
    }
}

ValueFilter::ValueFilter(std::string_view pattern, bool caseSensitive, bool wholeValue)
    : pattern_(pattern), caseSensitive_(caseSensitive), wholeValue_(wholeValue)
{
    if (!caseSensitive_)
        for (char& c : pattern_)
            c = FoldAscii(c);
}

bool ValueFilter::Matches(std::string_view value) const
{
    if (wholeValue_)
        return value.size() == pattern_.size()
            && (caseSensitive_ ? value == pattern_ : EqualFolded(value.data(), pattern_.data(), value.size()));
    return Find(value, 0) != std::string_view::npos;
}

std::size_t ValueFilter::Find(std::string_view text, std::size_t from) const
{
    if (!caseSensitive_)
        return FindFolded(text, from, pattern_);
    if (from > text.size())
        return std::string_view::npos;
    const void* found = ::memmem(text.data() + from, text.size() - from, pattern_.data(), pattern_.size());
    return found ? static_cast<std::size_t>(static_cast<const char*>(found) - text.data()) : std::string_view::npos;
}

}  // namespace vellumark
