#pragma once

#include "core/catalog_tree.h"
#include "export/value_form.h"
#include "services/progress.h"
#include "services/status.h"

#include <string>
#include <string_view>
#include <vector>

namespace vellumark {

// The separator of the text format.
inline constexpr std::string_view kTextSeparator = "    ";

// A header line (every column name followed by the separator), then one line per entry in
// pre-order with the values joined by the separator; every line ends with CR LF. No column
// gives an empty header line and an empty line per entry; an empty tree gives an empty file.
// Text writes values as they are (in the readable form: their stored form), with four blanks
// between them.
Status WriteText(const CatalogTree& tree, const std::vector<std::string>& columns, const std::string& path,
                 Progress& progress, ValueForm form = ValueForm::Readable);
// As text with the given separator, but a value holding the separator, a double quote, CR or
// LF is quoted as RFC 4180 does, so that any spreadsheet reads the columns back as they were.
// In the readable form, a value that starts as a formula does ("=", "+", "-", "@", tab or
// CR) gets a leading apostrophe, so that a name on a crafted disc never runs as one; the
// header line never does.
Status WriteCsv(const CatalogTree& tree, const std::vector<std::string>& columns, std::string_view separator,
                const std::string& path, Progress& progress, ValueForm form = ValueForm::Readable);

}  // namespace vellumark
