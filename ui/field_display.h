#pragma once

#include "core/entry_record.h"

#include <QString>

#include <string_view>

namespace vellumark {

// "%n KB" in the user's locale: the byte count / 1024, thousands separators, two decimals.
// Empty when the text is not a number.
QString KilobytesText(std::string_view bytesText);

// The display text of one field of a record (nullptr: none): sizes in KB, percentages with "%".
QString FieldDisplayText(int key, const EntryRecord* record);

// The hint of a list cell or a detail value: the display text, and for the two fields the user
// edits, how to edit them.
QString EditHint(const QString& text, std::string_view keyName);

}  // namespace vellumark
