#pragma once

#include "core/file_info.h"
#include "services/status.h"

#include <string_view>

namespace vellumark {

// Writes the document whole as a catalog file, replacing a file the user agreed to overwrite
// (never appending to it). A document without a root element (nothing opened yet) gives an
// empty catalog. Cancelled when no file was chosen.
Status ExportXml(TFileInfo& info, std::string_view suggestedName);

}  // namespace vellumark
