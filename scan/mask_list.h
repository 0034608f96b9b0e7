#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vellumark {

// The extension filter of a scan is one text: "\" followed by each chosen extension with its
// dot, upper-cased, and a "\" ("*.mp3", "*.avi" give "\.MP3\.AVI\"). The backslashes are part
// of this internal key text; it is never used as a path.
std::string BuildMaskList(const std::vector<std::string>& maskItems);

// Appends "*." + the typed text unless an item equal to it ignoring case is there already.
// Returns whether the item was added. Used by the dialog and the command-line tool alike.
bool AddMaskItem(std::vector<std::string>& maskItems, std::string_view typedText);

// The key a file name is looked up by: "\" + its last "." and what follows, ASCII-upper-cased,
// + "\"; "\\" for a name without a dot.
std::string MaskKeyOf(std::string_view fileName);

// True when the mask list is empty or holds the file name's key.
bool MaskListAccepts(std::string_view maskList, std::string_view fileName);

}  // namespace vellumark
