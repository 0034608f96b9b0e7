#pragma once

#include "services/status.h"

#include <string>

namespace vellumark {

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
};

// The dialog's check before a search: Invalid with "Please input search condition." when no
// scope is chosen or when the three patterns are all blank after trimming.
Status CheckSearchCondition(const SearchRequest& request);

}  // namespace vellumark
