#include "search/entry_numbers.h"

#include "search/index/byte_codec.h"
#include "services/text_format.h"

#include <algorithm>
#include <limits>

namespace vellumark {

ParsedSize ParseSizeText(std::string_view text)
{
    ParsedSize size;
    if (text.empty() || text.size() > 20)
        return size;
    std::uint64_t value = 0;
    bool above = false;
    // Nineteen digits always fit 64 bits; only the twentieth needs the check.
    const std::size_t unchecked = std::min<std::size_t>(text.size(), 19);
    for (std::size_t i = 0; i < unchecked; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return size;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    for (const char c : text.substr(unchecked)) {
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

// Eight bytes of text as a number whose lowest byte is the first: the places below count so.
std::uint64_t LoadWord(const char* bytes) { return LoadU64(reinterpret_cast<const unsigned char*>(bytes)); }

constexpr std::uint64_t kEveryByte = 0x0101010101010101;

// Eight bytes of a written time, with the digits' places marked in `digits` (0xFF) and the
// separators, in their places, in `separators`: the digits' values (0 to 9 in their bytes, the
// separators' bytes 0), or nothing when a byte is not what its place needs.
std::optional<std::uint64_t> DigitsInPlace(std::uint64_t word, std::uint64_t digits, std::uint64_t separators)
{
    if ((word & ~digits) != separators)
        return std::nullopt;
    const std::uint64_t values = (word ^ (0x30 * kEveryByte)) & digits;
    // A value above 9 reaches the byte's top bit once 0x76 is added; one of 0x80 or more has it.
    if (((values | (values + 0x76 * kEveryByte)) & (0x80 * kEveryByte)) != 0)
        return std::nullopt;
    return values;
}

int Digit(std::uint64_t values, int place) { return static_cast<int>((values >> (8 * place)) & 0xFF); }

int TwoDigits(std::uint64_t values, int place) { return Digit(values, place) * 10 + Digit(values, place + 1); }

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
// of the month's. The seconds come back through a reference: an optional double returned
// from here went through the stack, and reading it back stalled the caller.
bool ParseWrittenTime(std::string_view text, double& seconds, bool& realDay)
{
    realDay = false;
    const bool withTime = text.size() == 19;
    if (!withTime && text.size() != 10)
        return false;
    // "YYYY-MM-", then "-DD" (read from byte 7, as the date alone has only ten) or
    // "DD HH:MM" and "HH:MM:SS" (from bytes 8 and 11).
    const auto date = DigitsInPlace(LoadWord(text.data()), 0x00FFFF00FFFFFFFF, 0x2D00002D00000000);
    if (!date)
        return false;
    std::uint64_t dayValues = 0, timeValues = 0;
    if (withTime) {
        const auto dayAndHour = DigitsInPlace(LoadWord(text.data() + 8), 0xFFFF00FFFF00FFFF, 0x00003A0000200000);
        const auto clock = DigitsInPlace(LoadWord(text.data() + 11), 0xFFFF00FFFF00FFFF, 0x00003A00003A0000);
        if (!dayAndHour || !clock)
            return false;
        dayValues = *dayAndHour;
        timeValues = *clock;
    } else {
        const auto byte = [&](std::size_t at) { return std::uint64_t{static_cast<unsigned char>(text[at])}; };
        const auto day = DigitsInPlace(byte(7) | (byte(8) << 8) | (byte(9) << 16), 0xFFFF00, 0x2D);
        if (!day)
            return false;
        dayValues = *day >> 8;
    }
    const int year = Digit(*date, 0) * 1000 + Digit(*date, 1) * 100 + TwoDigits(*date, 2);
    const int month = TwoDigits(*date, 5), day = TwoDigits(dayValues, 0);
    const int hour = TwoDigits(timeValues, 0), minute = TwoDigits(timeValues, 3), second = TwoDigits(timeValues, 6);
    if (year < 1000 || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 59)
        return false;
    realDay = day <= DaysInMonth(year, month);
    const long long days = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    seconds = static_cast<double>(days) * 86400.0 + hour * 3600.0 + minute * 60.0 + second;
    return true;
}

}  // namespace

ParsedTime ParseTimeText(std::string_view text)
{
    ParsedTime time;
    bool realDay = false;
    if (ParseWrittenTime(text, time.seconds, realDay)) {
        time.readable = true;
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
    double seconds = 0;
    return ParseWrittenTime(text, seconds, realDay) && realDay && (text.size() == 19 || dateAlone);
}

}  // namespace vellumark
