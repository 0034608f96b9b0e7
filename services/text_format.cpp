#include "services/text_format.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace vellumark {

namespace {

std::string_view TrimBlanks(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

std::string InsertThousandsSeparators(std::string digits)
{
    const auto point = digits.find('.');
    const std::size_t integerEnd = point == std::string::npos ? digits.size() : point;
    const std::size_t integerStart = (!digits.empty() && digits[0] == '-') ? 1 : 0;
    for (std::size_t count = integerEnd - integerStart; count > 3;) {
        count -= 3;
        digits.insert(integerStart + count, 1, ',');
    }
    return digits;
}

class DateScanner {
public:
    explicit DateScanner(std::string_view text) : text_(text) {}

    bool Number(int& value, int maxDigits)
    {
        const std::size_t start = pos_;
        value = 0;
        while (pos_ < text_.size() && pos_ - start < static_cast<std::size_t>(maxDigits) && IsDigit(text_[pos_]))
            value = value * 10 + (text_[pos_++] - '0');
        return pos_ > start;
    }
    bool Char(char expected)
    {
        if (pos_ < text_.size() && text_[pos_] == expected) {
            ++pos_;
            return true;
        }
        return false;
    }
    char Peek() const { return pos_ < text_.size() ? text_[pos_] : '\0'; }
    void SkipBlanks()
    {
        while (pos_ < text_.size() && text_[pos_] == ' ')
            ++pos_;
    }
    bool AtEnd() const { return pos_ == text_.size(); }
    std::string_view Rest() const { return text_.substr(pos_); }

private:
    static bool IsDigit(char c) { return c >= '0' && c <= '9'; }
    std::string_view text_;
    std::size_t pos_ = 0;
};

bool ReadTime(DateScanner& scan, int& hour, int& minute, int& second)
{
    hour = minute = second = 0;
    scan.SkipBlanks();
    if (scan.AtEnd())
        return true;
    if (!scan.Number(hour, 2) || !scan.Char(':') || !scan.Number(minute, 2))
        return false;
    if (scan.Char(':') && !scan.Number(second, 2))
        return false;
    scan.SkipBlanks();
    const std::string_view rest = scan.Rest();
    if (rest == "AM" || rest == "am" || rest == "PM" || rest == "pm") {
        if (hour < 1 || hour > 12)
            return false;
        const bool pm = rest[0] == 'P' || rest[0] == 'p';
        hour = (hour % 12) + (pm ? 12 : 0);
    } else if (!rest.empty()) {
        return false;
    }
    return hour < 24 && minute < 60 && second < 60;
}

}  // namespace

std::optional<double> ParseNumberText(std::string_view text)
{
    text = TrimBlanks(text);
    if (text.empty() || text.size() > 64)
        return std::nullopt;
    std::array<char, 65> buffer{};
    std::size_t length = 0;
    for (char c : text)
        buffer[length++] = c == ',' ? '.' : c;
    const char* first = buffer.data();
    const char* last = buffer.data() + length;
    if (*first == '+')
        ++first;
    double value = 0;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last || !std::isfinite(value))
        return std::nullopt;
    return value;
}

namespace {

// to_chars rounds exactly as printf does (half to even on exact ties) at a fraction of the
// cost, which counts where every entry of a scan gets a size and a percentage; printf stays
// for the values too long for the buffer, which it cuts short.
std::string FormatFixed(double value, int decimals, const char* format)
{
    std::array<char, 64> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::fixed, decimals);
    if (result.ec == std::errc())
        return std::string(buffer.data(), result.ptr);
    std::snprintf(buffer.data(), buffer.size(), format, value);
    return buffer.data();
}

}  // namespace

std::string FormatWholeNumber(double value) { return FormatFixed(value, 0, "%.0f"); }

std::string FormatPercent(double value) { return FormatFixed(value, 2, "%.2f"); }

std::string FormatKilobytesText(std::string_view bytesText)
{
    const auto bytes = ParseNumberText(bytesText);
    if (!bytes)
        return {};
    std::array<char, 64> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "%.2f", *bytes / 1024.0);
    return InsertThousandsSeparators(buffer.data()) + " KB";
}

std::string FormatFileTime(std::time_t modified)
{
    std::tm local{};
    if (::localtime_r(&modified, &local) == nullptr)
        return {};
    const int year = local.tm_year + 1900;
    if (year < 1980 || year > 2043)
        return {};
    const int second = local.tm_sec & ~1;
    char text[19];
    WriteCivilTime({year, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, second}, text);
    const bool midnight = local.tm_hour == 0 && local.tm_min == 0 && second == 0;
    return std::string(text, midnight ? 10 : 19);
}

std::optional<double> ParseDateText(std::string_view text)
{
    DateScanner scan(TrimBlanks(text));
    int first = 0, second = 0, third = 0;
    if (!scan.Number(first, 4))
        return std::nullopt;
    const char separator = scan.Peek();
    if (separator != '-' && separator != '.' && separator != '/')
        return std::nullopt;
    scan.Char(separator);
    if (!scan.Number(second, 2) || !scan.Char(separator) || !scan.Number(third, 4))
        return std::nullopt;

    int year = 0, month = 0, day = 0;
    if (first >= 1000) {  // YYYY-MM-DD, YYYY/MM/DD, YYYY.MM.DD
        year = first, month = second, day = third;
    } else if (separator == '/') {  // M/D/YYYY
        month = first, day = second, year = third;
    } else {  // DD.MM.YYYY, DD-MM-YYYY
        day = first, month = second, year = third;
    }
    if (year < 100)
        year += year < 50 ? 2000 : 1900;
    if (month < 1 || month > 12 || day < 1 || day > 31)
        return std::nullopt;

    int hour = 0, minute = 0, sec = 0;
    if (!ReadTime(scan, hour, minute, sec))
        return std::nullopt;
    const long long days = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    return static_cast<double>(days) * 86400.0 + hour * 3600.0 + minute * 60.0 + sec;
}

long long DaysFromCivil(long long year, unsigned month, unsigned day)
{
    year -= month <= 2;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<long long>(dayOfEra) - 719468;
}

void WriteCivilTime(const CivilTime& time, char (&text)[19])
{
    // Written digit by digit: a scan formats one time per entry, a search one per result.
    const auto put = [&](std::size_t at, int value, int digits) {
        for (int i = digits - 1; i >= 0; --i, value /= 10)
            text[at + static_cast<std::size_t>(i)] = static_cast<char>('0' + value % 10);
    };
    put(0, time.year, 4);
    text[4] = '-';
    put(5, time.month, 2);
    text[7] = '-';
    put(8, time.day, 2);
    text[10] = ' ';
    put(11, time.hour, 2);
    text[13] = ':';
    put(14, time.minute, 2);
    text[16] = ':';
    put(17, time.second, 2);
}

CivilTime CivilTimeOfSeconds(long long seconds)
{
    const long long days = (seconds >= 0 ? seconds : seconds - 86399) / 86400;
    const long long ofDay = seconds - days * 86400;
    // The inverse of DaysFromCivil, by eras of 400 years.
    const long long shifted = days + 719468;
    const long long era = (shifted >= 0 ? shifted : shifted - 146096) / 146097;
    const long long dayOfEra = shifted - era * 146097;
    const long long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long long monthIndex = (5 * dayOfYear + 2) / 153;
    CivilTime time;
    time.day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    time.month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    time.year = static_cast<int>(yearOfEra + era * 400 + (time.month <= 2));
    time.hour = static_cast<int>(ofDay / 3600);
    time.minute = static_cast<int>(ofDay % 3600 / 60);
    time.second = static_cast<int>(ofDay % 60);
    return time;
}

}  // namespace vellumark
