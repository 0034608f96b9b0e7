#pragma once

#include "core/catalog_tree.h"
#include "export/value_form.h"
#include "services/progress.h"
#include "services/status.h"

#include <string>
#include <string_view>
#include <vector>

namespace vellumark {

// The page head every HTML export starts with, byte for byte (its runs of blanks included). The
// charset declaration tells every browser and parser that the page is UTF-8.
inline constexpr std::string_view kHtmlHead =
    "<HTML><HEAD><META charset=\"utf-8\"> <Title></Title>"
    "<Style type=\"text/css\">  BODY { background: #FFFFFF; color: #000000;         font-family: Arial;  }"
    "  A:link { color: #FF0000 }"
    "  A:visited { color: #800080 }"
    "  A:active { color: #0000FF }"
    "  .ThRows {            background-color: #CEC6B5;            color: #000000;            font-weight: bold; text-align: center;            font-family: Arial;  }"
    "  .TrARow {            background-color: #DEE7DE;            color: #000000;            font-family: Arial;  }"
    "  .TrBRow  {            background-color: #FFFBF0;            color: #000000;            font-family: Arial;  }"
    "</STYLE></HEAD><BODY>";

// Writes the tree's entries in pre-order as an HTML table of the columns (column keys; a text
// that is no key reads FileName), titled after the output file's catalog name. An empty tree
// gives an empty file.
Status WriteHtml(const CatalogTree& tree, const std::vector<std::string>& columns, const std::string& path,
                 Progress& progress, ValueForm form = ValueForm::Readable);

// Appends the text with "&", "<", ">" and '"' written as entities, so that names holding them
// can neither break the page nor inject markup; in the readable form, in its stored form too.
void AppendHtmlEscaped(std::string& out, std::string_view text, ValueForm form = ValueForm::Readable);

}  // namespace vellumark
