#pragma once

#include "core/file_info.h"
#include "services/status.h"

#include <string>
#include <string_view>

namespace vellumark {

// The page head every HTML export starts with, byte for byte (its runs of blanks included).
inline constexpr std::string_view kHtmlHead =
    "<HTML><HEAD> <Title></Title>"
    "<Style type=\"text/css\">  BODY { background: #FFFFFF; color: #000000;         font-family: Arial;  }"
    "  A:link { color: #FF0000 }"
    "  A:visited { color: #800080 }"
    "  A:active { color: #0000FF }"
    "  .ThRows {            background-color: #CEC6B5;            color: #000000;            font-weight: bold; text-align: center;            font-family: Arial;  }"
    "  .TrARow {            background-color: #DEE7DE;            color: #000000;            font-family: Arial;  }"
    "  .TrBRow  {            background-color: #FFFBF0;            color: #000000;            font-family: Arial;  }"
    "</STYLE></HEAD><BODY>";

inline constexpr const char* kHtmlExtension = ".htm";
inline constexpr const char* kHtmlFilter = "HTML File|*.htm";

// Writes the tree (with none, the document's entries) as an HTML table of the export columns,
// titled after the chosen file. Cancelled when no file was chosen.
Status ExportHtml(TFileInfo& info, std::string_view suggestedName, const CatalogTree* tree);

// Appends the text with "&", "<", ">" and '"' written as entities, so that names holding them
// can neither break the page nor inject markup.
void AppendHtmlEscaped(std::string& out, std::string_view text);

}  // namespace vellumark
