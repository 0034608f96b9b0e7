#pragma once

#include "core/column_keys.h"

#include <array>
#include <string>
#include <string_view>

namespace vellumark {

// One column of the file list as a fresh configuration describes it.
struct DefaultColumn {
    std::string_view name;
    bool visible;
    int index;
    bool defaultExport;
    int width;
    bool readOnly;
    std::string_view align;
};

// The columns of a fresh configuration, one per column key, in key order. Only the name and
// the description are editable; the type and the three measures start hidden, and the
// measures are not exported unless the user ticks them.
inline constexpr std::array<DefaultColumn, kColumnKeyCount> kDefaultColumns = {{
    {kColumnKeys[kFileName], true, 0, true, 172, false, "left"},
    {kColumnKeys[kFullPath], true, 1, true, 173, true, "left"},
    {kColumnKeys[kFileSize], true, 2, true, 84, true, "right"},
    {kColumnKeys[kFileTime], true, 3, true, 112, true, "right"},
    {kColumnKeys[kFileExt], true, 4, true, 66, true, "right"},
    {kColumnKeys[kFileType], false, 5, true, 66, true, "left"},
    {kColumnKeys[kDescription], true, 6, true, 124, false, "left"},
    {kColumnKeys[kFileNameLength], false, 7, false, 100, true, "right"},
    {kColumnKeys[kPathNameLength], false, 8, false, 100, true, "right"},
    {kColumnKeys[kSizePercentage], false, 9, false, 100, true, "right"},
    {kColumnKeys[kDiskName], true, 10, true, 66, true, "left"},
}};

inline constexpr std::string_view kConfigVersion = "Vellumark V4.0";

// The whole text of a fresh configuration file: one line, tabs between the tags, no line break.
std::string DefaultConfigText();

}  // namespace vellumark
