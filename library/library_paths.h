#pragma once

#include "services/status.h"

#include <string>
#include <string_view>

namespace vellumark {

struct ResolvedItem {
    Status status;
    std::string path;  // absolute, without "." components or a trailing "/"
};

// How an item whose last component is a symbolic link is meant: as where the link leads (which
// must lie inside the library too), or as the link itself, for renaming, moving or deleting it
// (the link is changed, never what it points at; the library lists a link to a file as a catalog).
enum class LastLink { Followed, Itself };

// A library item named on the command line: "." or an empty text is the library root; a
// relative path has "/" between its components; an absolute path must lie inside the library.
// Anything that leads outside the library, through ".." or a symbolic link, is Invalid.
ResolvedItem ResolveLibraryItem(const std::string& libraryRoot, std::string_view itemText,
                                LastLink lastLink = LastLink::Followed);

}  // namespace vellumark
