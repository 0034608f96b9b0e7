#include "search/entry_match.h"

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
    : caseSensitive_(request.caseSensitive), wholeValues_(request.wholeValues)
{
    const std::pair<int, const std::string*> patterns[] = {
        {kFileName, &request.namePattern},
        {kFileExt, &request.extensionPattern},
        {kDescription, &request.descriptionPattern},
    };
    for (const auto& [key, pattern] : patterns) {
        // An empty pattern is no condition.
        if (pattern->empty())
            continue;
        textConditions_.push_back({key, *pattern, UpperCased(*pattern)});
        fields_.push_back(key);
    }
}

bool SearchConditions::TextHolds(const TextCondition& condition, std::string_view value) const
{
    // A whole value holding the pattern has the pattern's length, so the substring test
    // followed by the whole-value test (which ignores case even in a case-sensitive search)
    // comes down to one comparison.
    if (wholeValues_)
        return caseSensitive_ ? value == condition.pattern : EqualsIgnoringCase(value, condition.upperPattern);
    return caseSensitive_ ? value.find(condition.pattern) != std::string_view::npos
                          : ContainsIgnoringCase(value, condition.upperPattern);
}

bool EntryMatches(const SearchConditions& conditions, const EntryValues& values)
{
    for (const SearchConditions::TextCondition& condition : conditions.textConditions_) {
        const std::optional<std::string_view>& value = values[condition.key];
        if (!value || !conditions.TextHolds(condition, *value))
            return false;
    }
    return true;
}

}  // namespace vellumark
