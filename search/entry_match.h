#pragma once

#include "core/xml_pull_reader.h"
#include "search/search_request.h"

#include <array>
#include <string>
#include <string_view>

namespace vellumark {

// The three conditions of a search in their test order: name, extension, description.
enum SearchCondition : int { kNameCondition = 0, kExtensionCondition = 1, kDescriptionCondition = 2 };
inline constexpr int kSearchConditionCount = 3;

// A search's conditions, prepared once per search: each pattern and its upper-cased form.
class SearchPatterns {
public:
    explicit SearchPatterns(const SearchRequest& request);

    // Whether the condition takes part (its pattern is not empty).
    bool Active(int condition) const { return !patterns_[condition].empty(); }
    // Whether a present attribute value satisfies the condition.
    bool ValueMatches(int condition, std::string_view value) const;

private:
    std::array<std::string, kSearchConditionCount> patterns_;
    std::array<std::string, kSearchConditionCount> upperPatterns_;
    bool caseSensitive_;
    bool wholeValues_;
};

// What the conditions look at in the element a reader stands on: the attributes "FileName",
// "FileExt" and "Description" (nullptr when missing; the first of repeated names counts, as
// when a catalog is loaded), found in one pass, and the decoded "FileName", which the wait
// window shows as well.
struct SearchedEntry {
    std::array<const XmlPullReader::Attribute*, kSearchConditionCount> attributes{};
    std::string_view fileName;  // valid until the reader decodes another value
};
SearchedEntry ReadSearchedEntry(XmlPullReader& reader);

// True when every active condition holds for the entry; a condition whose attribute is
// missing fails. With no active condition every element matches.
bool EntryMatches(const SearchPatterns& patterns, XmlPullReader& reader, const SearchedEntry& entry);

}  // namespace vellumark
