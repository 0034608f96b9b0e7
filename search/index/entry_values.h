#pragma once

#include "search/entry_numbers.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace vellumark {

// An entry's attribute values by name, for building a segment from values at hand rather
// than from the catalog reader (SegmentBuilder::Add). A missing attribute is nullopt, which
// differs from an empty value: a pattern on a missing attribute fails.
struct EntryTexts {
    std::optional<std::string_view> fileName;
    std::optional<std::string_view> fileExt;
    std::optional<std::string_view> description;
    std::optional<std::string_view> fileSize;
    std::optional<std::string_view> fileTime;
    std::optional<std::string_view> fileType;
    // Shown in results only.
    std::optional<std::string_view> fullPath;
    std::optional<std::string_view> fileNameLength;
    std::optional<std::string_view> pathNameLength;
    std::optional<std::string_view> sizePercentage;
};

// An entry's values as a segment holds them: the texts point into the segment.
struct IndexedEntryValues {
    std::optional<std::string_view> fileName;
    std::optional<std::string_view> fileExt;
    std::optional<std::string_view> description;
    std::optional<std::string_view> fileType;
    ParsedSize size;
    ParsedTime time;
};

// Which values to fetch (size and time cost more than the texts).
enum EntryValueSet : unsigned {
    kNameValue = 1,
    kExtensionValue = 2,
    kDescriptionValue = 4,
    kTypeValue = 8,
    kSizeValue = 16,
    kTimeValue = 32,
    kPatternValues = kNameValue | kExtensionValue | kDescriptionValue,
    kAllValues = 63,
};

}  // namespace vellumark
