#include "app/cli/record_table.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace vellumark::cli
