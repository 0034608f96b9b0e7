#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace vellumark {

// Number texts. Stored texts always use "." as decimal separator so that catalogs move between
// machines; parsing accepts "." and "," (catalogs written under other locales).
std::optional<double> ParseNumberText(std::string_view text);
// A size or total as plain decimal digits, no separators, no decimals.
std::string FormatWholeNumber(double value);
// The "0.00" pattern of percentages: at least one integer digit, exactly two decimals, ".".
std::string FormatPercent(double value);
// "%n KB" in the C/en form: the byte count / 1024 with thousands separators and two decimals,
// e.g. 1234567 gives "1,205.63 KB". Empty when the text is not a number.
std::string FormatKilobytesText(std::string_view bytesText);

// Date-time texts: local time as "YYYY-MM-DD HH:MM:SS", the date alone at exactly midnight.
// A time a FAT stamp cannot hold (before 1980, after 2043) gives an empty text; odd seconds are
// rounded down, as the stamp counts in steps of two.
std::string FormatFileTime(std::time_t modified);
// Reads the program's own form and the common forms of catalogs written elsewhere
// ("DD.MM.YYYY HH:MM:SS", "M/D/YYYY h:mm:ss AM", "YYYY/MM/DD ..."). The result counts
// seconds on a naive local clock: only its order matters.
std::optional<double> ParseDateText(std::string_view text);

// Days since 1970-01-01 of a proleptic Gregorian date.
long long DaysFromCivil(long long year, unsigned month, unsigned day);

// A time of day written as catalogs hold it: "YYYY-MM-DD HH:MM:SS" (19 characters) into `text`,
// for a year of four digits; the fields must be in their ranges.
struct CivilTime {
    int year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};
void WriteCivilTime(const CivilTime& time, char (&text)[19]);
// The date and time of whole seconds since 1970-01-01 00:00:00 on a clock without time zones.
CivilTime CivilTimeOfSeconds(long long seconds);

}  // namespace vellumark
