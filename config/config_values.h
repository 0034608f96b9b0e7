#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vellumark {

// The written forms of configuration values. The program writes only "True", "False" and plain
// decimal integers; reading is kinder to hand-edited files: booleans in any letter case,
// integers with a sign and blanks around them. Anything else does not convert.
std::string FormatBoolean(bool value);
std::string FormatInteger(int value);
std::optional<bool> ParseBoolean(std::string_view text);
std::optional<int> ParseInteger(std::string_view text);

}  // namespace vellumark
