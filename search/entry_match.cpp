#include "search/entry_match.h"

#include <re2/re2.h>

#include <algorithm>

namespace vellumark {

namespace {

// Upper-casing touches only a to z; bytes of other scripts and of UTF-8 sequences stay.
constexpr std::array<char, 256> MakeUpperTable()
{
    std::array<char, 256> table{};
    for (int i = 0; i < 256; ++i)
        table[i] = static_cast<char>(i >= 'a' && i <= 'z' ? i - ('a' - 'A') : i);
    return table;
}
constexpr std::array<char, 256> kUpper = MakeUpperTable();

char Upper(char c) { return kUpper[static_cast<unsigned char>(c)]; }

std::string UpperCased(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = Upper(c);
    return out;
}

bool EqualsIgnoringCase(std::string_view value, std::string_view upperPattern)
{
    if (value.size() != upperPattern.size())
        return false;
    for (std::size_t i = 0; i < value.size(); ++i)
        if (Upper(value[i]) != upperPattern[i])
            return false;
    return true;
}

// Candidates are the places holding the pattern's first byte in either case; only there is
// the rest compared.
bool ContainsIgnoringCase(std::string_view value, std::string_view upperPattern)
{
    const std::size_t length = upperPattern.size();
    if (length > value.size())
        return false;
    const char first = upperPattern[0];
    const char firstLower = (first >= 'A' && first <= 'Z') ? static_cast<char>(first + ('a' - 'A')) : first;
    const char* const data = value.data();
    const std::size_t lastStart = value.size() - length;
    for (std::size_t at = 0; at <= lastStart; ++at) {
        const char c = data[at];
        if (c != first && c != firstLower)
            continue;
        std::size_t i = 1;
        while (i < length && Upper(data[at + i]) == upperPattern[i])
            ++i;
        if (i == length)
            return true;
    }
    return false;
}

}  // namespace

EntryValues ValuesOfRecord(const EntryRecord& record)
{
    EntryValues values;
    const EntryRecord::Fields fields = record.AllFields();
    for (int key = 0; key < kColumnKeyCount; ++key)
        values.fields[key] = fields[key];
    return values;
}

SearchConditions::SearchConditions(const SearchRequest& request)
    : caseSensitive_(request.caseSensitive),
      wholeValues_(request.wholeValues),
      minSize_(request.minSize),
      maxSize_(request.maxSize),
      timeFrom_(request.timeFrom),
      timeBefore_(request.timeBefore),
      kind_(request.kind)
{
    const std::pair<int, const std::string*> patterns[] = {
        {kFileName, &request.namePattern},
        {kFileExt, &request.extensionPattern},
        {kDescription, &request.descriptionPattern},
    };
    RE2::Options options;
    options.set_log_errors(false);
    options.set_case_sensitive(request.caseSensitive);
    for (const auto& [key, pattern] : patterns) {
        // An empty pattern is no condition.
        if (pattern->empty())
            continue;
        TextCondition condition{key, *pattern, {}, nullptr};
        if (request.regularExpressions)
            condition.expression = std::make_shared<const RE2>(*pattern, options);
        else
            condition.upperPattern = UpperCased(*pattern);
        textConditions_.push_back(std::move(condition));
        fields_.push_back(key);
    }
    if (minSize_ || maxSize_)
        fields_.push_back(kFileSize);
    if (timeFrom_ || timeBefore_)
        fields_.push_back(kFileTime);
    if (kind_ != EntryKind::Any)
        fields_.push_back(kFileType);
}

SearchConditions::~SearchConditions() = default;

bool SearchConditions::OnlyPlainPatterns() const
{
    return fields_.size() == textConditions_.size()
        && std::none_of(textConditions_.begin(), textConditions_.end(),
                        [](const TextCondition& condition) { return condition.expression != nullptr; });
}
SearchConditions::SearchConditions(const SearchConditions&) = default;

bool SearchConditions::TextHolds(const TextCondition& condition, std::string_view value) const
{
    if (condition.expression) {
        // A pattern the library refused matches nothing; the dialog and the command line
        // refuse it before any search.
        const re2::StringPiece text(value.data(), value.size());
        return condition.expression->ok()
            && (wholeValues_ ? RE2::FullMatch(text, *condition.expression) : RE2::PartialMatch(text, *condition.expression));
    }
    // A whole value holding the pattern has the pattern's length, so the substring test
    // followed by the whole-value test (which ignores case even in a case-sensitive search)
    // comes down to one comparison.
    if (wholeValues_)
        return caseSensitive_ ? value == condition.pattern : EqualsIgnoringCase(value, condition.upperPattern);
    return caseSensitive_ ? value.find(condition.pattern) != std::string_view::npos
                          : ContainsIgnoringCase(value, condition.upperPattern);
}

bool SearchConditions::SizeHolds(const ParsedSize& size) const
{
    switch (size.state) {
    case SizeState::Unreadable:
        return false;
    case SizeState::AboveRange:
        return !maxSize_;
    case SizeState::Readable:
        break;
    }
    return (!minSize_ || size.bytes >= *minSize_) && (!maxSize_ || size.bytes <= *maxSize_);
}

bool SearchConditions::TimeHolds(const ParsedTime& time) const
{
    return time.readable && (!timeFrom_ || time.seconds >= *timeFrom_) && (!timeBefore_ || time.seconds < *timeBefore_);
}

bool EntryMatches(const SearchConditions& conditions, const EntryValues& values)
{
    for (const SearchConditions::TextCondition& condition : conditions.textConditions_) {
        const std::optional<std::string_view>& value = values[condition.key];
        if (!value || !conditions.TextHolds(condition, *value))
            return false;
    }
    if ((conditions.minSize_ || conditions.maxSize_)
        && !conditions.SizeHolds(values.size ? *values.size : ParseSizeText(values[kFileSize].value_or(std::string_view()))))
        return false;
    if ((conditions.timeFrom_ || conditions.timeBefore_)
        && !conditions.TimeHolds(values.time ? *values.time : ParseTimeText(values[kFileTime].value_or(std::string_view()))))
        return false;
    if (conditions.kind_ != EntryKind::Any) {
        const std::optional<std::string_view>& kind = values[kFileType];
        if (!kind || *kind != (conditions.kind_ == EntryKind::File ? kKindFile : kKindDirectory))
            return false;
    }
    return true;
}

}  // namespace vellumark
