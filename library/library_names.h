#pragma once

#include "services/status.h"

#include <string>
#include <string_view>

namespace vellumark {

// The library-relative name shown in the status line: the path from its first "CatalogLibrary"
// on, cut before the last "." of that rest; the path unchanged when it holds no "CatalogLibrary".
std::string CatalogNameFromPath(std::string_view path);

std::string EnsureTrailingDelimiter(std::string_view path);
// Without one trailing "/"; "/" itself stays, as it is a folder of its own.
std::string StripTrailingDelimiter(std::string_view path);

// Refuses a typed catalog or group name that would leave its folder: empty, ".", "..", or
// holding "/" or a NUL.
Status CheckItemName(std::string_view name);

std::string NewCatalogPath(std::string_view groupPath, std::string_view name);
std::string NewGroupPath(std::string_view libraryRoot, std::string_view name);
// The item's folder, the new name, and ".xml" for a catalog.
std::string RenamedItemPath(std::string_view fullPath, std::string_view newName, bool isCatalog);

}  // namespace vellumark
