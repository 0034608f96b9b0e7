#pragma once

#include "core/column_keys.h"
#include "core/entry_record.h"
#include "search/search_request.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vellumark {

// The values of one entry that conditions look at, by column key: nullopt when the entry does
// not hold the field (a catalog element without that attribute), which fails every condition
// on it. A catalog file's reader fills only the fields the conditions name.
struct EntryValues {
    std::array<std::optional<std::string_view>, kColumnKeyCount> fields{};

    const std::optional<std::string_view>& operator[](int key) const { return fields[key]; }
};

// Every field of a record, for conditions over entries already in memory (an open catalog).
EntryValues ValuesOfRecord(const EntryRecord& record);

// A search's conditions, prepared once per search. Only the conditions the request gives take
// part; with none, every entry matches.
class SearchConditions {
public:
    explicit SearchConditions(const SearchRequest& request);

    // The fields the conditions look at, each once, in the order they are tested.
    const std::vector<int>& Fields() const { return fields_; }

private:
    friend bool EntryMatches(const SearchConditions& conditions, const EntryValues& values);

    // A text pattern on one field: found in the value, or equal to the whole value, ignoring
    // the case of a to z unless the search is case-sensitive.
    struct TextCondition {
        int key;
        std::string pattern;
        std::string upperPattern;
    };
    bool TextHolds(const TextCondition& condition, std::string_view value) const;

    std::vector<TextCondition> textConditions_;  // name, extension, description
    std::vector<int> fields_;
    bool caseSensitive_;
    bool wholeValues_;
};

// True when every condition holds for the entry's values; conditions are tested in the order
// name, extension, description, and the first that fails decides.
bool EntryMatches(const SearchConditions& conditions, const EntryValues& values);

}  // namespace vellumark
