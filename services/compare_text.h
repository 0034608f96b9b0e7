#pragma once

#include <string_view>

namespace vellumark {

// The sort comparisons of the tree views, with their documented quirks: a text that is not a
// number counts as 0, and equal numbers give -1, never 0. The views sort stably, so these
// never decide the order of two equal entries.
int CompareNumberText(std::string_view a, std::string_view b);

// -1 when A is empty (also when both are), 1 when only B is empty, 1 when either does not read
// as a date-time, 0 when less than a millisecond apart, else by time.
int CompareDateText(std::string_view a, std::string_view b);

// Text order that takes the letters A to Z and a to z as equal and otherwise compares bytes.
int CompareTextIgnoringAsciiCase(std::string_view a, std::string_view b);

}  // namespace vellumark
