#include "search/entry_numbers.h"

#include "services/text_format.h"

#include <limits>

namespace vellumark {

ParsedSize ParseSizeText(std::optional<std::string_view> text)
{
    ParsedSize size;
    if (!text || text->empty() || text->size() > 20)
        return size;
    std::uint64_t value = 0;
    bool above = false;
    for (const char c : *text) {
        if (c < '0' || c > '9')
            return size;
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (value > (std::numeric_limits<std::uint64_t>::max() - digit) / 10)
            above = true;
        else
            value = value * 10 + digit;
    }
    size.state = above ? SizeState::AboveRange : SizeState::Readable;
    size.bytes = above ? 0 : value;
    return size;
}

ParsedTime ParseTimeText(std::optional<std::string_view> text)
{
    ParsedTime time;
    if (!text)
        return time;
    if (const std::optional<double> seconds = ParseDateText(*text)) {
        time.readable = true;
        time.seconds = *seconds;
    }
    return time;
}

}  // namespace vellumark
