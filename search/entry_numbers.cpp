#include "search/entry_numbers.h"

#include "services/text_format.h"

#include <limits>

namespace vellumark {

ParsedSize ParseSizeText(std::string_view text)
{
    ParsedSize size;
    if (text.empty() || text.size() > 20)
        return size;
    std::uint64_t value = 0;
    bool above = false;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return size;
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (value > (std::numeric_limits<std::uint64_t>::max() - digit) / 10)
            above = true;
        else
            value = value * 10 + digit;
    }
    size.state = above ? SizeState::AboveRange : SizeState::Readable;
    size.bytes = above ? 0 : value;
    return size;
}

namespace {

int Digits(std::string_view text, std::size_t at, std::size_t count)
{
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i)
        value = value * 10 + (text[i] - '0');
    return value;
}

// "YYYY-MM-DD HH:MM:SS" or "YYYY-MM-DD": digits and separators in their places, nothing more.
// Spelled out place by place: the index build checks one FileTime per entry.
bool HasWrittenShape(std::string_view text)
{
    if (text.size() != 19 && text.size() != 10)
        return false;
    const auto digit = [&](std::size_t i) { return static_cast<unsigned char>(text[i] - '0') <= 9; };
    const bool date = digit(0) && digit(1) && digit(2) && digit(3) && text[4] == '-' && digit(5) && digit(6) && text[7] == '-'
                   && digit(8) && digit(9);
    return date
        && (text.size() == 10
            || (text[10] == ' ' && digit(11) && digit(12) && text[13] == ':' && digit(14) && digit(15) && text[16] == ':'
                && digit(17) && digit(18)));
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month)
{
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// The forms the program writes, "YYYY-MM-DD HH:MM:SS" and "YYYY-MM-DD", read without the
// general date parser: indexing reads one FileTime per entry. The seconds are the ones the
// date parser gives (a test holds the two together); anything else goes to the parser, which
// also takes days past the month's end ("2023-02-30"). `realDay` tells whether the day is one
// of the month's.
std::optional<double> ParseWrittenTime(std::string_view text, bool& realDay)
{
    realDay = false;
    if (!HasWrittenShape(text))
        return std::nullopt;
    const int year = Digits(text, 0, 4), month = Digits(text, 5, 2), day = Digits(text, 8, 2);
    const bool withTime = text.size() > 10;
    const int hour = withTime ? Digits(text, 11, 2) : 0, minute = withTime ? Digits(text, 14, 2) : 0,
              second = withTime ? Digits(text, 17, 2) : 0;
    if (year < 1000 || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    realDay = day <= DaysInMonth(year, month);
    const long long days = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    return static_cast<double>(days) * 86400.0 + hour * 3600.0 + minute * 60.0 + second;
}

}  // namespace

ParsedTime ParseTimeText(std::string_view text)
{
    ParsedTime time;
    bool realDay = false;
    if (const std::optional<double> seconds = ParseWrittenTime(text, realDay)) {
        time.readable = true;
        time.seconds = *seconds;
        time.written = realDay && text.size() == 19;
    } else if (const std::optional<double> parsed = ParseDateText(text)) {
        time.readable = true;
        time.seconds = *parsed;
    }
    return time;
}

bool IsWrittenTime(std::string_view text, bool dateAlone)
{
    bool realDay = false;
    return ParseWrittenTime(text, realDay) && realDay && (text.size() == 19 || dateAlone);
}

}  // namespace vellumark
