#pragma once

#include <string>
#include <string_view>

namespace vellumark {

// The folder and the name with exactly one "/" between them (none after an empty folder).
std::string JoinPath(std::string_view folder, std::string_view name);

// The last component of a "/" path (the whole text when it has no "/").
std::string_view BaseName(std::string_view path);

// A file's name cut before its first ".": "Best of 2004.xml" gives "Best of 2004",
// "My.Disc.xml" gives "My". This names a catalog after its file everywhere.
std::string_view NameBeforeFirstDot(std::string_view name);

// The catalog name of a catalog file path: its base name cut before its first ".".
inline std::string CatalogNameOfFile(std::string_view path) { return std::string(NameBeforeFirstDot(BaseName(path))); }

}  // namespace vellumark
