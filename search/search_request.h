#pragma once

#include "services/status.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vellumark {

// Which entries a kind condition lets through: any, or those whose FileType is exactly "file"
// or exactly "directory".
enum class EntryKind { Any, File, Directory };

// What one search takes, as the search dialog or the command line gives it.
struct SearchRequest {
    // A group folder (the library root counts as a group) or one catalog file.
    std::string scopePath;
    bool scopeIsGroup = false;
    // Used as typed: blanks inside and around a pattern are searched for like any other text.
    std::string namePattern;
    std::string extensionPattern;
    std::string descriptionPattern;
    bool caseSensitive = false;
    // The pattern must equal the whole value (ignoring the case of a to z), not a part of it.
    bool wholeValues = false;
    // The three patterns are regular expressions (RE2's syntax), found anywhere in the value or,
    // with whole values, matching all of it; never upper-cased.
    bool regularExpressions = false;

    // FileSize within the bounds, both inclusive, in bytes.
    std::optional<std::uint64_t> minSize;
    std::optional<std::uint64_t> maxSize;
    // FileTime at or after the first and before the second, in the seconds the date parser gives.
    std::optional<double> timeFrom;
    std::optional<double> timeBefore;
    EntryKind kind = EntryKind::Any;

    // The library the scope lies in; the search answers through the library's index when it is
    // given and `useIndex` holds, else it reads every catalog file of the scope itself.
    std::string libraryRoot;
    bool useIndex = true;
    // Where the indexes are kept; empty for the per-user cache folder.
    std::string indexCacheFolder;
};

// True when the request has a condition beyond the three patterns.
bool HasBoundOrKind(const SearchRequest& request);

// The dialog's check before a search: Invalid with "Please input search condition." when no
// scope is chosen or when the three patterns are all blank after trimming and no other
// condition is given; Invalid with the library's message for a regular expression it rejects.
Status CheckSearchCondition(const SearchRequest& request);

// A size bound as typed: digits with an optional K, M, G or T (either case, powers of 1024), no
// fraction, at most 2^64-1 bytes.
Status ParseSizeBound(std::string_view text, std::uint64_t& bytes);
// A time bound as typed: "YYYY-MM-DD" or "YYYY-MM-DD HH:MM:SS", a real date and time of day.
Status ParseTimeBound(std::string_view text, double& seconds);

}  // namespace vellumark
