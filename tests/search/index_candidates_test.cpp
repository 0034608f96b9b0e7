#include "search/entry_match.h"
#include "search/index/candidate_query.h"
#include "search/index/segment_builder.h"
#include "search/index/segment_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace vellumark {
namespace {

using Value = std::optional<std::string>;

struct Entry {
    Value name, extension, description;
};

// Pieces with every kind of byte the matcher must treat right: letters of both cases (the
// only bytes case folding touches), UTF-8 letters whose bytes must not fold, bytes that are
// no UTF-8 at all, NUL and blanks.
std::string RandomText(std::mt19937& random, int maxPieces)
{
    static const std::vector<std::string> kPieces = {
        "rock", "Rock", "ROCK", "ro", "Ro", "ck", "Zeppelin", "zep", "Led", " ", ".", "-", "mp3", "MP3", "a", "b", "z",
        "\xC3\xA4", "\xC3\x84", "\xC3\xB6", "\xE2\x82\xAC", "\xFF", "\x80", "\xC3", std::string(1, '\0'), "\t", "01", "_"};
    std::string text;
    for (int pieces = 1 + static_cast<int>(random() % maxPieces); pieces > 0; --pieces)
        text += kPieces[random() % kPieces.size()];
    return text;
}

Value RandomValue(std::mt19937& random, int maxPieces)
{
    switch (random() % 12) {
    case 0:
        return std::nullopt;  // the attribute is missing
    case 1:
        return std::string();
    default:
        return RandomText(random, maxPieces);
    }
}

std::string FlipCase(std::mt19937& random, std::string text)
{
    for (char& c : text)
        if (random() % 2 && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')))
            c = static_cast<char>(c ^ 0x20);
    return text;
}

// A pattern that often matches: a piece of a value, its case changed at random; or the whole
// value; or something random.
std::string RandomPattern(std::mt19937& random, const std::vector<Entry>& entries, Value Entry::*field)
{
    const Entry& source = entries[random() % entries.size()];
    const Value& value = source.*field;
    switch (random() % 5) {
    case 0:
        return RandomText(random, 2);
    case 1:
        return value ? FlipCase(random, *value) : "x";
    default: {
        if (!value || value->empty())
            return RandomText(random, 1);
        const std::size_t start = random() % value->size();
        const std::size_t length = 1 + random() % std::min<std::size_t>(value->size() - start, 6);
        return FlipCase(random, value->substr(start, length));
    }
    }
}

std::shared_ptr<const SegmentReader> BuildSegment(const std::vector<Entry>& entries, std::string& bytes)
{
    SegmentBuilder builder("Group/Disc.xml", CatalogIdentity{1, 2, 3, 4, 5}, 6);
    for (const Entry& entry : entries) {
        EntryTexts texts;
        const auto view = [](const Value& value) { return value ? std::optional<std::string_view>(*value) : std::nullopt; };
        texts.fileName = view(entry.name);
        texts.fileExt = view(entry.extension);
        texts.description = view(entry.description);
        builder.Add(texts);
    }
    EXPECT_TRUE(builder.Finish(bytes).ok());
    std::shared_ptr<const SegmentReader> segment;
    const Status opened = SegmentReader::FromBytes(bytes, segment);
    EXPECT_TRUE(opened.ok()) << opened.message();
    return segment;
}

// What the search's own matcher says of the entry (a missing attribute fails its pattern).
bool MatcherAccepts(const SearchConditions& conditions, const Entry& entry)
{
    EntryValues values;
    values.fields[kFileName] = entry.name;
    values.fields[kFileExt] = entry.extension;
    values.fields[kDescription] = entry.description;
    return EntryMatches(conditions, values);
}

// For random values and patterns of every kind, the candidates hold every entry the matcher
// accepts, in document order; and no more than those, so that the trigram path is known to
// filter at all.
TEST(IndexCandidatesTest, CandidatesAreExactlyTheMatchesForRandomValuesAndPatterns)
{
    std::mt19937 random(2024);
    for (int round = 0; round < 40; ++round) {
        std::vector<Entry> entries(1 + random() % 400);
        for (Entry& entry : entries) {
            entry.name = RandomValue(random, 6);
            entry.extension = RandomValue(random, 1);
            entry.description = random() % 4 ? std::nullopt : RandomValue(random, 3);
        }
        std::string bytes;
        const auto segment = BuildSegment(entries, bytes);
        ASSERT_TRUE(segment);
        for (int query = 0; query < 60; ++query) {
            SearchRequest request;
            const int which = 1 + static_cast<int>(random() % 7);
            if (which & 1)
                request.namePattern = RandomPattern(random, entries, &Entry::name);
            if (which & 2)
                request.extensionPattern = RandomPattern(random, entries, &Entry::extension);
            if (which & 4)
                request.descriptionPattern = RandomPattern(random, entries, &Entry::description);
            request.caseSensitive = random() % 3 == 0;
            request.wholeValues = random() % 4 == 0;
            const SearchConditions conditions(request);
            std::vector<std::uint32_t> expected;
            for (std::uint32_t i = 0; i < entries.size(); ++i)
                if (MatcherAccepts(conditions, entries[i]))
                    expected.push_back(i);

            const CandidateQuery candidateQuery(request.namePattern, request.extensionPattern, request.descriptionPattern,
                                                request.caseSensitive, request.wholeValues);
            std::vector<std::uint32_t> candidates = {12345};  // replaced, not appended to
            ASSERT_TRUE(candidateQuery.FindCandidates(*segment, candidates).ok());
            ASSERT_TRUE(std::includes(candidates.begin(), candidates.end(), expected.begin(), expected.end()))
                << "a match is missing: name \"" << request.namePattern << "\" ext \"" << request.extensionPattern
                << "\" desc \"" << request.descriptionPattern << "\" case " << request.caseSensitive << " whole "
                << request.wholeValues;
            EXPECT_EQ(candidates, expected);
        }
    }
}

TEST(IndexCandidatesTest, RarePatternsTouchFewPostingsAndMissingTrigramsEndAtOnce)
{
    std::vector<Entry> entries;
    for (int i = 0; i < 5000; ++i)
        entries.push_back({"IMG_" + std::to_string(i) + (i % 1000 == 7 ? " Led Zeppelin.jpg" : ".jpg"), "jpg", std::nullopt});
    std::string bytes;
    const auto segment = BuildSegment(entries, bytes);
    ASSERT_TRUE(segment);
    std::vector<std::uint32_t> candidates;
    ASSERT_TRUE(CandidateQuery("zeppelin", "", "", false, false).FindCandidates(*segment, candidates).ok());
    EXPECT_EQ(candidates, (std::vector<std::uint32_t>{7, 1007, 2007, 3007, 4007}));
    ASSERT_TRUE(CandidateQuery("Zeppelin", "", "", true, false).FindCandidates(*segment, candidates).ok());
    EXPECT_EQ(candidates.size(), 5u);
    ASSERT_TRUE(CandidateQuery("ZEPPELIN", "", "", true, false).FindCandidates(*segment, candidates).ok());
    EXPECT_TRUE(candidates.empty());
    ASSERT_TRUE(CandidateQuery("qqq", "", "", false, false).FindCandidates(*segment, candidates).ok());
    EXPECT_TRUE(candidates.empty());
    // The extension alone, whole or not, comes from the dictionary of extensions.
    ASSERT_TRUE(CandidateQuery("", "JPG", "", false, true).FindCandidates(*segment, candidates).ok());
    EXPECT_EQ(candidates.size(), 5000u);
    ASSERT_TRUE(CandidateQuery("", "", "x", false, false).FindCandidates(*segment, candidates).ok());
    EXPECT_TRUE(candidates.empty()) << "no entry has a description";
    // Without any pattern every entry is a candidate (the other conditions decide).
    ASSERT_TRUE(CandidateQuery("", "", "", false, false).FindCandidates(*segment, candidates).ok());
    EXPECT_EQ(candidates.size(), 5000u);
    EXPECT_EQ(candidates.back(), 4999u);
}

TEST(IndexCandidatesTest, ShortPatternsScanAcrossValuesWithoutJoiningNeighbours)
{
    // Values lie back to back in the column: "xa" + "by" holds "ab" only across the seam.
    const std::vector<Entry> entries = {{"xa", {}, {}}, {"by", {}, {}}, {std::nullopt, {}, {}}, {"", {}, {}},
                                        {"AB", {}, {}}, {"zzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzab", {}, {}}};
    std::string bytes;
    const auto segment = BuildSegment(entries, bytes);
    ASSERT_TRUE(segment);
    std::vector<std::uint32_t> candidates;
    ASSERT_TRUE(CandidateQuery("ab", "", "", false, false).FindCandidates(*segment, candidates).ok());
    EXPECT_EQ(candidates, (std::vector<std::uint32_t>{4, 5}));
    ASSERT_TRUE(CandidateQuery("a", "", "", true, false).FindCandidates(*segment, candidates).ok());
    EXPECT_EQ(candidates, (std::vector<std::uint32_t>{0, 5}));
    ASSERT_TRUE(CandidateQuery("AB", "", "", false, true).FindCandidates(*segment, candidates).ok());
    EXPECT_EQ(candidates, (std::vector<std::uint32_t>{4}));
}

}  // namespace
}  // namespace vellumark
