#include "app/cli/record_table.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>

namespace vellumark::cli {
namespace {

// One byte at a time, as the table's escaping is defined.
std::string EscapedByteByByte(std::string_view value)
{
    std::string out;
    for (const char c : value) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
    return out;
}

TEST(RecordTableTest, EscapesEveryByteThatNeedsItWhereverItLies)
{
    // Each special byte at every position of values around the eight-byte steps, among
    // neighbours close to it in value (0x0D, 0x0E, 0x5B, 0x5D, 0x8C, 0xDC) and bytes with the
    // high bit set, which a word-wise check must not confuse with them.
    const char fillers[] = {'a', '\x0e', '\x0b', ']', '[', '\x8c', '\xdc', '\xff', '\x01'};
    for (const char special : {'\\', '\t', '\n', '\r'})
        for (const char filler : fillers)
            for (std::size_t length = 1; length <= 25; ++length)
                for (std::size_t at = 0; at < length; ++at) {
                    std::string value(length, filler);
                    value[at] = special;
                    EXPECT_EQ(EscapeField(value), EscapedByteByByte(value)) << "length " << length << " at " << at;
                }
}

TEST(RecordTableTest, EscapesRandomValuesAsTheByteByByteRule)
{
    std::mt19937 random(7);
    const std::string alphabet = std::string("\\\t\n\r\x0b\x0c\x0e\x01 a]\xc3\xa9", 14);
    std::string appended;
    std::string expected;
    for (int round = 0; round < 2000; ++round) {
        std::string value(random() % 40, ' ');
        for (char& c : value)
            c = random() % 3 ? static_cast<char>('a' + random() % 26) : alphabet[random() % alphabet.size()];
        ASSERT_EQ(EscapeField(value), EscapedByteByByte(value)) << round;
        AppendEscaped(appended, value);
        expected += EscapedByteByByte(value);
    }
    EXPECT_EQ(appended, expected);
}

TEST(RecordTableTest, ALineIsItsFieldsEscapedAndJoinedWhateverTheirLengths)
{
    // Lengths around the word steps of the in-place copy (0 to 3 bytes one by one, 4 to 7 as two
    // halves, 8 and up word by word), each value plain or with a special byte in some field.
    std::mt19937 random(11);
    // The bytes that need an escape, and two low bytes that need none but send a value the
    // careful way; rare, so that most lines take the fast one.
    const std::string specials = "\\\t\n\r\x01\x0d";
    std::string lines;
    std::string expected;
    for (int round = 0; round < 3000; ++round) {
        EntryRecord::Fields fields;
        std::array<std::string, kColumnKeyCount> values;
        for (int key = 0; key < kColumnKeyCount; ++key) {
            values[key] = std::string(random() % 26, ' ');
            for (char& c : values[key])
                c = static_cast<char>(random() % 4 ? 'a' + random() % 26 : "\x0e[]\x8c\xdc\xff"[random() % 6]);
            if (!values[key].empty() && random() % 40 == 0)
                values[key][random() % values[key].size()] = specials[random() % specials.size()];
            fields[key] = values[key];
        }
        AppendRecordLine(lines, fields);
        for (int key = 0; key < kColumnKeyCount; ++key)
            expected += (key ? "\t" : "") + EscapedByteByByte(values[key]);
        expected += '\n';
        ASSERT_EQ(lines, expected) << round;
    }
}

}  // namespace
}  // namespace vellumark::cli
