#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace vellumark {

// The numbers the size and time conditions compare, read from an entry's FileSize and FileTime
// texts. The search index stores them in this form, so that a condition gives the same answer
// from the index as from the catalog's texts.

// A FileSize is readable when it is 1 to 20 ASCII digits; twenty digits can exceed what 64
// bits hold, and such a size lies above every bound a search can give.
enum class SizeState : std::uint8_t { Unreadable, Readable, AboveRange };

struct ParsedSize {
    SizeState state = SizeState::Unreadable;
    std::uint64_t bytes = 0;
};
// A missing FileSize is read as an empty one (unreadable).
ParsedSize ParseSizeText(std::string_view text);

// A FileTime is readable when the sort's date parser reads it; its seconds on a naive clock.
struct ParsedTime {
    bool readable = false;
    double seconds = 0;
    // The text is "YYYY-MM-DD HH:MM:SS" of a real calendar day and time (IsWrittenTime).
    bool written = false;
};
// A missing FileTime is read as an empty one (unreadable).
ParsedTime ParseTimeText(std::string_view text);

// True for "YYYY-MM-DD HH:MM:SS" (and, when `dateAlone` allows it, "YYYY-MM-DD") of a real
// calendar day and time, from the year 1000: the form the program writes, and the one the time
// conditions take. Such a text reads to exactly the seconds its fields spell.
bool IsWrittenTime(std::string_view text, bool dateAlone);

}  // namespace vellumark
