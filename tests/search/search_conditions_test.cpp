#include "search/entry_match.h"
#include "search/index/segment_builder.h"
#include "search/index/segment_reader.h"
#include "search/search_request.h"
#include "services/messages.h"
#include "services/text_format.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace vellumark {
namespace {

constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();

TEST(SizeBoundTest, DigitsWithAnOptionalPowerOf1024)
{
    const std::pair<const char*, std::uint64_t> good[] = {
        {"0", 0},
        {"100", 100},
        {"007", 7},
        {"1k", 1024},
        {"1K", 1024},
        {"3m", 3ull << 20},
        {"2G", 2ull << 30},
        {"5t", 5ull << 40},
        {"18446744073709551615", kMax},
        {"16777215T", 16777215ull << 40},
    };
    for (const auto& [text, bytes] : good) {
        std::uint64_t parsed = 1;
        EXPECT_TRUE(ParseSizeBound(text, parsed).ok()) << text;
        EXPECT_EQ(parsed, bytes) << text;
    }
    for (const char* text : {"", "K", "1.5M", "1,5", "-1", "+1", " 1", "1 ", "1KB", "1k2", "1P", "0x10", "１",
                             "18446744073709551616", "99999999999999999999999", "16777216T", "17179869184G"}) {
        std::uint64_t parsed = 0;
        const Status status = ParseSizeBound(text, parsed);
        EXPECT_EQ(status.code(), Status::Code::Invalid) << text;
        EXPECT_NE(status.message().find(text), std::string::npos) << status.message();
    }
}

TEST(TimeBoundTest, ADateOrADateAndTimeOfDay)
{
    double day = 0, second = 0;
    ASSERT_TRUE(ParseTimeBound("2024-02-29", day).ok());
    ASSERT_TRUE(ParseTimeBound("2024-02-29 00:00:01", second).ok());
    EXPECT_EQ(second - day, 1.0);
    double end = 0;
    ASSERT_TRUE(ParseTimeBound("1999-12-31 23:59:59", end).ok());
    for (const char* text : {"", "2024-2-29", "2023-02-29", "2024-13-01", "2024-00-10", "2024-04-31", "24-02-29",
                             "2024/02/29", "29.02.2024", "2024-02-29T10:00:00", "2024-02-29 24:00:00", "2024-02-29 10:60:00",
                             "2024-02-29 10:00", "2024-02-29 10:00:00 ", " 2024-02-29", "0999-01-01", "yesterday"}) {
        double seconds = 0;
        EXPECT_EQ(ParseTimeBound(text, seconds).code(), Status::Code::Invalid) << text;
    }
}

// The times the index reads for its time column are the date parser's, for the forms the
// program writes (read on a short way) and for every other text; and the parse tells the
// written form as IsWrittenTime does.
TEST(TimeTextTest, ReadsEveryTextAsTheDateParserDoes)
{
    std::mt19937 random(11);
    std::vector<std::string> texts = {"", "2020-01-01", "2020-01-01 00:00:00", "1000-03-01 12:00:00", "0999-03-01 12:00:00",
                                      "2020-00-10", "2020-12-32", "2020-02-31 23:59:59", "2020-01-01 24:00:00",
                                      "2020-01-01 23:60:00", "2020-01-01 23:59:60", "9999-12-31 23:59:59", " 2020-01-01",
                                      "2020-01-01 ", "2020-01-01 1:02:03", "2020-01-01 10:00", "2020/01/01 10:00:00"};
    const std::string alphabet = "0123456789-: /.?\xB5";
    for (int i = 0; i < 20000; ++i) {
        char text[20];
        std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", static_cast<unsigned>(random() % 10000),
                      static_cast<unsigned>(random() % 14), static_cast<unsigned>(random() % 34),
                      static_cast<unsigned>(random() % 26), static_cast<unsigned>(random() % 62), static_cast<unsigned>(random() % 62));
        std::string written = text;
        if (random() % 3 == 0)
            written.resize(10);
        if (random() % 4 == 0)
            written[random() % written.size()] = alphabet[random() % alphabet.size()];
        texts.push_back(written);
    }
    for (const std::string& text : texts) {
        const std::optional<double> expected = ParseDateText(text);
        const ParsedTime parsed = ParseTimeText(text);
        ASSERT_EQ(parsed.readable, expected.has_value()) << text;
        ASSERT_EQ(parsed.written, IsWrittenTime(text, false)) << text;
        if (expected) {
            ASSERT_EQ(parsed.seconds, *expected) << text;
            // Written form: the seconds spell the text again, from the year 1000 on.
            char again[19];
            WriteCivilTime(CivilTimeOfSeconds(static_cast<long long>(*expected)), again);
            const bool spelled = text.size() == 19 && text[0] != '0' && std::string_view(again, 19) == text;
            ASSERT_EQ(parsed.written, spelled) << text;
        }
    }
}

EntryValues Texts(std::optional<std::string_view> size, std::optional<std::string_view> time = std::nullopt,
                  std::optional<std::string_view> kind = std::nullopt)
{
    EntryValues values;
    values.fields[kFileSize] = size;
    values.fields[kFileTime] = time;
    values.fields[kFileType] = kind;
    return values;
}

TEST(ConditionsTest, SizeBoundsAreInclusiveAndOnlyReadableSizesSatisfyThem)
{
    SearchRequest request;
    request.minSize = 10;
    request.maxSize = 20;
    const SearchConditions both(request);
    EXPECT_EQ(both.Fields(), std::vector<int>{kFileSize});
    EXPECT_FALSE(EntryMatches(both, Texts("9")));
    EXPECT_TRUE(EntryMatches(both, Texts("10")));
    EXPECT_TRUE(EntryMatches(both, Texts("0020")));
    EXPECT_FALSE(EntryMatches(both, Texts("21")));
    for (const char* unreadable : {"", " 15", "15 ", "1.5", "+15", "1,5", "\xD9\xA1\xD9\xA5", "100000000000000000015"})
        EXPECT_FALSE(EntryMatches(both, Texts(unreadable))) << unreadable;
    EXPECT_FALSE(EntryMatches(both, Texts(std::nullopt)));

    // Twenty digits above what 64 bits hold: above every upper bound, past every lower one.
    SearchRequest atLeast;
    atLeast.minSize = kMax;
    EXPECT_TRUE(EntryMatches(SearchConditions(atLeast), Texts("99999999999999999999")));
    EXPECT_TRUE(EntryMatches(SearchConditions(atLeast), Texts("18446744073709551615")));
    EXPECT_FALSE(EntryMatches(SearchConditions(atLeast), Texts("18446744073709551614")));
    SearchRequest atMost;
    atMost.maxSize = kMax;
    EXPECT_FALSE(EntryMatches(SearchConditions(atMost), Texts("99999999999999999999")));
    EXPECT_TRUE(EntryMatches(SearchConditions(atMost), Texts("0")));
}

TEST(ConditionsTest, TimeBoundsFromIncludedBeforeExcludedByTheDateParser)
{
    SearchRequest request;
    ASSERT_TRUE(ParseTimeBound("2020-01-01", *(request.timeFrom = 0.0)).ok());
    ASSERT_TRUE(ParseTimeBound("2020-01-02 12:00:00", *(request.timeBefore = 0.0)).ok());
    const SearchConditions conditions(request);
    EXPECT_TRUE(EntryMatches(conditions, Texts(std::nullopt, "2020-01-01")));
    EXPECT_TRUE(EntryMatches(conditions, Texts(std::nullopt, "2020-01-02 11:59:59")));
    EXPECT_FALSE(EntryMatches(conditions, Texts(std::nullopt, "2020-01-02 12:00:00")));
    EXPECT_FALSE(EntryMatches(conditions, Texts(std::nullopt, "2019-12-31 23:59:59")));
    // Any form the sort's date parser reads counts; one it cannot read never satisfies a bound.
    EXPECT_TRUE(EntryMatches(conditions, Texts(std::nullopt, "01.01.2020 08:00:00")));
    EXPECT_TRUE(EntryMatches(conditions, Texts(std::nullopt, " 2020/01/02 ")));
    EXPECT_FALSE(EntryMatches(conditions, Texts(std::nullopt, "2020-01-01 99:00:00")));
    EXPECT_FALSE(EntryMatches(conditions, Texts(std::nullopt, "")));
    EXPECT_FALSE(EntryMatches(conditions, Texts(std::nullopt, std::nullopt)));
}

TEST(ConditionsTest, KindIsTheExactFileType)
{
    SearchRequest files;
    files.kind = EntryKind::File;
    SearchRequest folders;
    folders.kind = EntryKind::Directory;
    EXPECT_TRUE(EntryMatches(SearchConditions(files), Texts(std::nullopt, std::nullopt, "file")));
    EXPECT_FALSE(EntryMatches(SearchConditions(files), Texts(std::nullopt, std::nullopt, "directory")));
    EXPECT_TRUE(EntryMatches(SearchConditions(folders), Texts(std::nullopt, std::nullopt, "directory")));
    for (const std::optional<std::string_view> kind : {std::optional<std::string_view>(""), std::optional<std::string_view>("File"),
                                                       std::optional<std::string_view>("file "), std::optional<std::string_view>()}) {
        EXPECT_FALSE(EntryMatches(SearchConditions(files), Texts(std::nullopt, std::nullopt, kind)));
        EXPECT_FALSE(EntryMatches(SearchConditions(folders), Texts(std::nullopt, std::nullopt, kind)));
    }
}

TEST(ConditionsTest, RegularExpressionsFoundAnywhereOrMatchingWholeCaseByTheSwitch)
{
    const auto matches = [](std::string pattern, std::string_view name, bool caseSensitive = false, bool whole = false) {
        SearchRequest request;
        request.namePattern = std::move(pattern);
        request.regularExpressions = true;
        request.caseSensitive = caseSensitive;
        request.wholeValues = whole;
        EntryValues values;
        values.fields[kFileName] = name;
        return EntryMatches(SearchConditions(request), values);
    };
    EXPECT_TRUE(matches("r.ck", "Hard ROCK live"));
    EXPECT_FALSE(matches("r.ck", "Hard ROCK live", true));
    EXPECT_FALSE(matches("r.ck", "Hard rock live", false, true));
    EXPECT_TRUE(matches("(?i)hard.*LIVE", "Hard rock live", true, true));
    EXPECT_TRUE(matches("^[0-9]{2} - ", "01 - Intro.mp3"));
    EXPECT_FALSE(matches("^[0-9]{2} - ", "Track 01 - Intro.mp3"));
    // The pattern is never upper-cased: \w stays a word character, \W its opposite.
    EXPECT_TRUE(matches("a\\Wb", "a-b"));
    EXPECT_FALSE(matches("a\\Wb", "a_b"));
    // Case is ignored beyond a to z as RE2 folds it.
    EXPECT_TRUE(matches("ärger", "ÄRGER.ogg"));
    EXPECT_TRUE(matches("\\.mp3$", "song.MP3"));
    // A value the pattern would find only in part of a line break or tab is decoded like any other.
    EXPECT_TRUE(matches("a\tb", "a\tb"));
    // An empty expression is no condition, as an empty plain pattern.
    SearchRequest none;
    none.regularExpressions = true;
    none.minSize = 0;
    EXPECT_EQ(SearchConditions(none).Fields(), std::vector<int>{kFileSize});
}

TEST(ConditionsTest, AllGivenConditionsMustHoldInTheirOrder)
{
    SearchRequest request;
    request.namePattern = "rock";
    request.minSize = 1000;
    request.kind = EntryKind::File;
    const SearchConditions conditions(request);
    EXPECT_EQ(conditions.Fields(), (std::vector<int>{kFileName, kFileSize, kFileType}));
    EXPECT_FALSE(conditions.OnlyPlainPatterns());
    EntryValues values = Texts("5000", std::nullopt, "file");
    values.fields[kFileName] = "Rock.mp3";
    EXPECT_TRUE(EntryMatches(conditions, values));
    values.fields[kFileType] = "directory";
    EXPECT_FALSE(EntryMatches(conditions, values));
    SearchRequest plain;
    plain.namePattern = "x";
    plain.descriptionPattern = "y";
    EXPECT_TRUE(SearchConditions(plain).OnlyPlainPatterns());
    plain.regularExpressions = true;
    EXPECT_FALSE(SearchConditions(plain).OnlyPlainPatterns());
}

TEST(CheckSearchConditionTest, TheNewConditionsAloneAreEnoughAndBadExpressionsAreRefused)
{
    SearchRequest request;
    request.scopePath = "/lib";
    EXPECT_EQ(CheckSearchCondition(request).message(), messages::kInputSearchCondition);
    for (const auto& set : std::vector<void (*)(SearchRequest&)>{
             [](SearchRequest& r) { r.minSize = 1; }, [](SearchRequest& r) { r.maxSize = 0; },
             [](SearchRequest& r) { r.timeFrom = 0.0; }, [](SearchRequest& r) { r.timeBefore = 0.0; },
             [](SearchRequest& r) { r.kind = EntryKind::Directory; }}) {
        SearchRequest only = request;
        set(only);
        EXPECT_TRUE(CheckSearchCondition(only).ok());
    }
    // The switches alone are no condition.
    request.regularExpressions = request.caseSensitive = request.wholeValues = true;
    EXPECT_EQ(CheckSearchCondition(request).message(), messages::kInputSearchCondition);

    request.descriptionPattern = "(unclosed";
    const Status refused = CheckSearchCondition(request);
    EXPECT_EQ(refused.code(), Status::Code::Invalid);
    EXPECT_NE(refused.message().find("(unclosed"), std::string::npos);
    EXPECT_NE(refused.message().find("missing )"), std::string::npos) << refused.message();
    request.regularExpressions = false;
    EXPECT_TRUE(CheckSearchCondition(request).ok()) << "a plain pattern is any text";
}

// The size, time and kind conditions answer the same from the values a segment stores as from
// the catalog's texts, for texts of every form and bounds around them.
TEST(ConditionsTest, StoredValuesAnswerAsTheTextsDo)
{
    std::mt19937 random(7);
    const std::vector<std::string> sizes = {"", "0", "1", "007", "1023", "1024", "1025", "4294967296", "9007199254740993",
                                            "18446744073709551614", "18446744073709551615", "18446744073709551616",
                                            "99999999999999999999", "100000000000000000000", " 5", "5 ", "1e3", "-1", "1.0"};
    const std::vector<std::string> times = {"", "1980-01-01", "1980-01-01 00:00:01", "2020-02-29 23:59:59", "2038-01-19 03:14:08",
                                            "1899-12-31", "31.12.1999 12:00:00", "12/31/1999", "2020-01-01 25:00:00",
                                            "9999-12-31 23:59:59", "0001-01-01", "not a date", " 2001-01-01 "};
    const std::vector<std::string> kinds = {"", "file", "directory", "File", "link"};
    SegmentBuilder builder("c.xml", CatalogIdentity{}, 0);
    std::vector<EntryTexts> entries;
    for (std::size_t i = 0; i < 400; ++i) {
        EntryTexts& texts = entries.emplace_back();
        if (random() % 8)
            texts.fileSize = sizes[random() % sizes.size()];
        if (random() % 8)
            texts.fileTime = times[random() % times.size()];
        if (random() % 8)
            texts.fileType = kinds[random() % kinds.size()];
        builder.Add(texts);
    }
    std::string bytes;
    ASSERT_TRUE(builder.Finish(bytes).ok());
    std::shared_ptr<const SegmentReader> segment;
    ASSERT_TRUE(SegmentReader::FromBytes(bytes, segment).ok());

    const std::vector<std::uint64_t> sizeBounds = {0, 1, 1023, 1024, 4294967296, 18446744073709551614ull, kMax};
    std::vector<double> timeBounds;
    for (const char* text : {"1980-01-01", "1980-01-01 00:00:01", "2020-02-29 23:59:59", "2038-01-19 03:14:08", "1999-12-31 12:00:00"}) {
        double seconds = 0;
        ASSERT_TRUE(ParseTimeBound(text, seconds).ok());
        timeBounds.push_back(seconds);
    }
    for (int round = 0; round < 300; ++round) {
        SearchRequest request;
        if (random() % 2)
            request.minSize = sizeBounds[random() % sizeBounds.size()];
        if (random() % 2)
            request.maxSize = sizeBounds[random() % sizeBounds.size()];
        if (random() % 2)
            request.timeFrom = timeBounds[random() % timeBounds.size()];
        if (random() % 2)
            request.timeBefore = timeBounds[random() % timeBounds.size()];
        request.kind = static_cast<EntryKind>(random() % 3);
        const SearchConditions conditions(request);
        for (std::uint32_t i = 0; i < entries.size(); ++i) {
            IndexedEntryValues stored;
            ASSERT_TRUE(segment->Values(i, stored));
            EntryValues fromSegment;
            fromSegment.fields[kFileType] = stored.fileType;
            fromSegment.size = stored.size;
            fromSegment.time = stored.time;
            const EntryValues fromTexts = Texts(entries[i].fileSize, entries[i].fileTime, entries[i].fileType);
            ASSERT_EQ(EntryMatches(conditions, fromSegment), EntryMatches(conditions, fromTexts))
                << "size " << entries[i].fileSize.value_or("(none)") << ", time " << entries[i].fileTime.value_or("(none)")
                << ", kind " << entries[i].fileType.value_or("(none)") << ", round " << round;
        }
    }
}

}  // namespace
}  // namespace vellumark
