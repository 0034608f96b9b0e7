#include "search/search_request.h"

#include "services/messages.h"

#include <algorithm>
#include <string_view>

namespace vellumark {

namespace {

// Trimming drops blanks and control characters from both ends, so a pattern of them alone
// counts as no pattern.
bool BlankAfterTrimming(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) <= ' '; });
}

}  // namespace

Status CheckSearchCondition(const SearchRequest& request)
{
    if (request.scopePath.empty()
        || (BlankAfterTrimming(request.namePattern) && BlankAfterTrimming(request.extensionPattern)
            && BlankAfterTrimming(request.descriptionPattern)))
        return Status::Invalid(messages::kInputSearchCondition);
    return Status::Ok();
}

}  // namespace vellumark
