#include "search/entry_match.h"

#include <cstring>

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

SearchPatterns::SearchPatterns(const SearchRequest& request)
    : patterns_{request.namePattern, request.extensionPattern, request.descriptionPattern},
      caseSensitive_(request.caseSensitive),
      wholeValues_(request.wholeValues)
{
    for (int condition = 0; condition < kSearchConditionCount; ++condition)
        upperPatterns_[condition] = UpperCased(patterns_[condition]);
}

bool SearchPatterns::ValueMatches(int condition, std::string_view value) const
{
    const std::string& pattern = patterns_[condition];
    const std::string& upperPattern = upperPatterns_[condition];
    // A whole value holding the pattern has the pattern's length, so the substring test
    // followed by the whole-value test comes down to one comparison.
    if (wholeValues_)
        return caseSensitive_ ? value == pattern : EqualsIgnoringCase(value, upperPattern);
    return caseSensitive_ ? value.find(pattern) != std::string_view::npos : ContainsIgnoringCase(value, upperPattern);
}

SearchedEntry ReadSearchedEntry(XmlPullReader& reader)
{
    SearchedEntry entry;
    auto& found = entry.attributes;
    for (const XmlPullReader::Attribute& attribute : reader.Attributes()) {
        const std::string_view name = attribute.name;
        int condition = -1;
        switch (name.size()) {
        case 7:
            if (std::memcmp(name.data(), "FileExt", 7) == 0)
                condition = kExtensionCondition;
            break;
        case 8:
            if (std::memcmp(name.data(), "FileName", 8) == 0)
                condition = kNameCondition;
            break;
        case 11:
            if (std::memcmp(name.data(), "Description", 11) == 0)
                condition = kDescriptionCondition;
            break;
        default:
            break;
        }
        if (condition >= 0 && !found[condition])
            found[condition] = &attribute;
    }
    if (found[kNameCondition])
        entry.fileName = reader.Value(*found[kNameCondition]);
    return entry;
}

bool EntryMatches(const SearchPatterns& patterns, XmlPullReader& reader, const SearchedEntry& entry)
{
    // The name is tested first, before any other value is decoded, while its view is valid.
    for (int condition = 0; condition < kSearchConditionCount; ++condition) {
        if (!patterns.Active(condition))
            continue;
        const XmlPullReader::Attribute* attribute = entry.attributes[condition];
        if (!attribute)
            return false;
        const std::string_view value = condition == kNameCondition ? entry.fileName : reader.Value(*attribute);
        if (!patterns.ValueMatches(condition, value))
            return false;
    }
    return true;
}

}  // namespace vellumark
