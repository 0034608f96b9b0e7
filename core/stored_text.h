#pragma once

#include <string>
#include <string_view>

namespace vellumark {

// The form in which a value is stored in an XML file.
//
// File names on Linux are bytes: they need not be valid UTF-8 and may hold control characters
// that XML 1.0 cannot carry at all. So that every catalog stays well-formed UTF-8 XML 1.0 and
// still gives back the exact bytes, a value is stored as follows:
//   - valid UTF-8 of characters XML 1.0 allows is kept as it is (tab, line feed and carriage
//     return included; the XML writer turns those into character references);
//   - every byte of an invalid UTF-8 sequence, and every byte of a character XML 1.0 forbids
//     (U+0000 to U+001F other than tab, LF and CR; U+FFFE; U+FFFF), becomes "\x{HH}" with the
//     byte in two upper-case hex digits;
//   - the backslash of a literal "\x{" becomes "\x{5C}", so the form reads back unambiguously.
// Everything else, Windows paths with their "\" separators included, is stored unchanged.
bool NeedsStoredEncoding(std::string_view raw);
std::string EncodeStoredText(std::string_view raw);
void AppendStoredText(std::string& out, std::string_view raw);

bool NeedsStoredDecoding(std::string_view stored);
std::string DecodeStoredText(std::string_view stored);

}  // namespace vellumark
