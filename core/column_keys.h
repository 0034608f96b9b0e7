#pragma once

#include <array>
#include <string_view>

namespace vellumark {

// The eleven column keys in their fixed order: the order of a record's fields, of the
// attributes of a catalog file's elements and of the default configuration's columns.
enum ColumnKey : int {
    kFileName = 0,
    kFullPath = 1,
    kFileSize = 2,
    kFileTime = 3,
    kFileExt = 4,
    kFileType = 5,
    kDescription = 6,
    kFileNameLength = 7,
    kPathNameLength = 8,
    kSizePercentage = 9,
    kDiskName = 10,
};

inline constexpr int kColumnKeyCount = 11;

inline constexpr std::array<std::string_view, kColumnKeyCount> kColumnKeys = {
    "FileName",       "FullPath",       "FileSize",       "FileTime",
    "FileExt",        "FileType",       "Description",    "FileNameLength",
    "PathNameLength", "SizePercentage", "DiskName",
};

// The two entry kinds, compared exactly and case-sensitively.
inline constexpr std::string_view kKindDirectory = "directory";
inline constexpr std::string_view kKindFile = "file";

// The index of the key that equals the text exactly; 0 ("FileName") for any other text.
int ColumnKeyIndex(std::string_view key);

// The index of the key, or -1 when the text is no key (for callers that must refuse
// unknown keys rather than fall back to "FileName").
int FindColumnKey(std::string_view key);

}  // namespace vellumark
