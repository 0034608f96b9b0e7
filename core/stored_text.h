#pragma once

#include <cstddef>
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

// Whether the stored form may rewrite what starts with this byte (a control character, a byte
// of a multi-byte or invalid sequence, a backslash); every other byte is kept as it is, so a
// writer copies runs of those and hands the rest to AppendStoredPiece.
constexpr bool MayNeedStoredForm(unsigned char byte) { return byte < 0x20 || byte >= 0x80 || byte == '\\'; }
// Appends the stored form of what starts the text (one character, or one byte that is escaped)
// and returns how many bytes of the text that was.
std::size_t AppendStoredPiece(std::string& out, std::string_view raw);

// For a value taken in its stored form from a file another program wrote, which may hold bytes
// the form escapes as they are: those bytes are escaped, everything else is kept, the escapes
// the value already holds included.
void AppendCompletedStoredText(std::string& out, std::string_view stored);

bool NeedsStoredDecoding(std::string_view stored);
std::string DecodeStoredText(std::string_view stored);

}  // namespace vellumark
