#include "search/search_request.h"

#include "search/entry_numbers.h"
#include "services/messages.h"
#include "services/text_format.h"

#include <re2/re2.h>

#include <algorithm>
#include <limits>

namespace vellumark {

namespace {

// Trimming drops blanks and control characters from both ends, so a pattern of them alone
// counts as no pattern.
bool BlankAfterTrimming(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) <= ' '; });
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool HasBoundOrKind(const SearchRequest& request)
{
    return request.minSize || request.maxSize || request.timeFrom || request.timeBefore || request.kind != EntryKind::Any;
}

Status CheckSearchCondition(const SearchRequest& request)
{
    if (request.scopePath.empty()
        || (BlankAfterTrimming(request.namePattern) && BlankAfterTrimming(request.extensionPattern)
            && BlankAfterTrimming(request.descriptionPattern) && !HasBoundOrKind(request)))
        return Status::Invalid(messages::kInputSearchCondition);
    if (request.regularExpressions) {
        RE2::Options options;
        options.set_log_errors(false);
        options.set_case_sensitive(request.caseSensitive);
        for (const std::string* pattern : {&request.namePattern, &request.extensionPattern, &request.descriptionPattern}) {
            if (pattern->empty())
                continue;
            const RE2 expression(*pattern, options);
            if (!expression.ok())
                return Status::Invalid("Invalid regular expression \"" + *pattern + "\": " + expression.error());
        }
    }
    return Status::Ok();
}

Status ParseSizeBound(std::string_view text, std::uint64_t& bytes)
{
    const auto invalid = [&] {
        return Status::Invalid("Invalid size \"" + std::string(text)
                               + "\": give whole bytes, or a number with K, M, G or T (powers of 1024)");
    };
    std::size_t digits = 0;
    while (digits < text.size() && IsDigit(text[digits]))
        ++digits;
    if (digits == 0 || text.size() - digits > 1)
        return invalid();
    unsigned shift = 0;
    if (digits < text.size()) {
        switch (text[digits]) {
        case 'k': case 'K': shift = 10; break;
        case 'm': case 'M': shift = 20; break;
        case 'g': case 'G': shift = 30; break;
        case 't': case 'T': shift = 40; break;
        default: return invalid();
        }
    }
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < digits; ++i) {
        const auto digit = static_cast<std::uint64_t>(text[i] - '0');
        if (value > (kMax - digit) / 10)
            return invalid();
        value = value * 10 + digit;
    }
    if (shift && value > (kMax >> shift))
        return invalid();
    bytes = value << shift;
    return Status::Ok();
}

Status ParseTimeBound(std::string_view text, double& seconds)
{
    const auto invalid = [&] {
        return Status::Invalid("Invalid time \"" + std::string(text) + "\": give YYYY-MM-DD or YYYY-MM-DD HH:MM:SS");
    };
    if (!IsWrittenTime(text, true))
        return invalid();
    // The date parser that reads FileTime reads the bound too, so both count on one clock.
    const std::optional<double> parsed = ParseDateText(text);
    if (!parsed)
        return invalid();
    seconds = *parsed;
    return Status::Ok();
}

}  // namespace vellumark
