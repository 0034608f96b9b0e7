#pragma once

#include "core/column_keys.h"
#include "core/entry_record.h"
#include "search/entry_numbers.h"
#include "search/search_request.h"

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace re2 {
class RE2;
}

namespace vellumark {

// The values of one entry that conditions look at, by column key: nullopt when the entry does
// not hold the field (a catalog element without that attribute), which fails every condition
// on it. A catalog file's reader fills only the fields the conditions name.
struct EntryValues {
    std::array<std::optional<std::string_view>, kColumnKeyCount> fields{};
    // The size and time as read from FileSize and FileTime, for readers that hold them in that
    // form (the search index); when not set, the conditions read the texts.
    std::optional<ParsedSize> size;
    std::optional<ParsedTime> time;

    const std::optional<std::string_view>& operator[](int key) const { return fields[key]; }
};

// Every field of a record, for conditions over entries already in memory (an open catalog).
EntryValues ValuesOfRecord(const EntryRecord& record);

// A search's conditions, prepared once per search. Only the conditions the request gives take
// part; with none, every entry matches. Safe to use from several threads at once.
class SearchConditions {
public:
    explicit SearchConditions(const SearchRequest& request);
    ~SearchConditions();
    SearchConditions(const SearchConditions&);
    SearchConditions& operator=(const SearchConditions&) = delete;

    // The fields the conditions look at, each once, in the order they are tested.
    const std::vector<int>& Fields() const { return fields_; }
    // True when the only conditions are plain-text patterns (no regular expressions, bounds
    // or kind).
    bool OnlyPlainPatterns() const;

private:
    friend bool EntryMatches(const SearchConditions& conditions, const EntryValues& values);

    // A pattern on one field: a plain text found in the value or equal to the whole value,
    // ignoring the case of a to z unless the search is case-sensitive; or a regular
    // expression found in the value or matching all of it.
    struct TextCondition {
        int key;
        std::string pattern;
        std::string upperPattern;
        std::shared_ptr<const re2::RE2> expression;
    };
    bool TextHolds(const TextCondition& condition, std::string_view value) const;
    bool SizeHolds(const ParsedSize& size) const;
    bool TimeHolds(const ParsedTime& time) const;

    std::vector<TextCondition> textConditions_;  // name, extension, description
    std::vector<int> fields_;
    bool caseSensitive_;
    bool wholeValues_;
    std::optional<std::uint64_t> minSize_;
    std::optional<std::uint64_t> maxSize_;
    std::optional<double> timeFrom_;
    std::optional<double> timeBefore_;
    EntryKind kind_;
};

// True when every condition holds for the entry's values; conditions are tested in the order
// name, extension, description, size, time, kind, and the first that fails decides.
bool EntryMatches(const SearchConditions& conditions, const EntryValues& values);

}  // namespace vellumark
