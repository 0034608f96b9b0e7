#pragma once

#include "services/status.h"

#include <string>
#include <string_view>

namespace vellumark {

struct ResolvedItem {
    Status status;
    std::string path;  // absolute, without "." components or a trailing "/"
};

// A library item named on the command line: "." or an empty text is the library root; a
// relative path has "/" between its components; an absolute path must lie inside the library.
// Anything that leads outside the library, through ".." or a symbolic link, is Invalid.
ResolvedItem ResolveLibraryItem(const std::string& libraryRoot, std::string_view itemText);

}  // namespace vellumark
