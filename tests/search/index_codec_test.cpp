#include "search/index/byte_codec.h"
#include "search/index/posting_list.h"
#include "search/index/segment_columns.h"
#include "search/index/trigram_collector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace vellumark {
namespace {

constexpr std::uint64_t kMaxU64 = std::numeric_limits<std::uint64_t>::max();

std::vector<std::uint32_t> RandomOrdinals(std::mt19937& random, std::uint32_t entryCount, double density)
{
    std::vector<std::uint32_t> ordinals;
    std::bernoulli_distribution take(density);
    for (std::uint32_t ordinal = 0; ordinal < entryCount; ++ordinal)
        if (take(random))
            ordinals.push_back(ordinal);
    return ordinals;
}

TEST(IndexVarintTest, ValuesAtEveryByteLengthReadBackAndStopAtTheirEnd)
{
    std::vector<std::uint64_t> values = {0, 1, 127, 128, 255, 16383, 16384, kMaxU64 - 1, kMaxU64};
    for (int bits = 7; bits < 64; bits += 7) {
        values.push_back((std::uint64_t{1} << bits) - 1);
        values.push_back(std::uint64_t{1} << bits);
    }
    std::string bytes;
    for (const std::uint64_t value : values)
        PutVarint(bytes, value);
    const auto* at = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* end = at + bytes.size();
    for (const std::uint64_t expected : values) {
        std::uint64_t value = 0;
        at = ReadVarint(at, end, value);
        ASSERT_NE(at, nullptr);
        EXPECT_EQ(value, expected);
    }
    EXPECT_EQ(at, end);
}

TEST(IndexVarintTest, TruncatedAndOverlongVarintsAreRefused)
{
    std::string bytes;
    PutVarint(bytes, kMaxU64);
    ASSERT_EQ(bytes.size(), 10u);
    std::uint64_t value = 0;
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    for (std::size_t length = 0; length < bytes.size(); ++length)
        EXPECT_EQ(ReadVarint(data, data + length, value), nullptr) << length;
    // A tenth byte may carry one more bit, no more; an eleventh byte never comes.
    std::string overflow(9, '\xFF');
    overflow += '\x02';
    const auto* overflowData = reinterpret_cast<const unsigned char*>(overflow.data());
    EXPECT_EQ(ReadVarint(overflowData, overflowData + overflow.size(), value), nullptr);
    std::string endless(11, '\x80');
    const auto* endlessData = reinterpret_cast<const unsigned char*>(endless.data());
    EXPECT_EQ(ReadVarint(endlessData, endlessData + endless.size(), value), nullptr);
}

TEST(IndexVarintTest, CursorFailsForGoodAfterReadingPastTheEnd)
{
    std::string bytes;
    PutU32(bytes, 0xA1B2C3D4u);
    PutU64(bytes, 0x0102030405060708ull);
    ByteCursor cursor(bytes);
    std::uint32_t small = 0;
    std::uint64_t large = 0;
    ASSERT_TRUE(cursor.U32(small));
    EXPECT_EQ(small, 0xA1B2C3D4u);
    EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0xD4);  // little-endian on disk
    ASSERT_TRUE(cursor.U64(large));
    EXPECT_EQ(large, 0x0102030405060708ull);
    std::uint8_t byte = 0;
    EXPECT_FALSE(cursor.U8(byte));
    std::string_view none;
    EXPECT_FALSE(cursor.Bytes(0, none));
    EXPECT_TRUE(cursor.Failed());
}

// A stream holds exactly what appending to a string gives, across its growth: bytes, varints
// of every length and pieces longer than all the room it had; and Clear starts it afresh.
TEST(IndexVarintTest, AByteStreamHoldsWhatAStringGetsAcrossItsGrowth)
{
    std::mt19937_64 random(11);
    ByteStream stream;
    for (int round = 0; round < 2; ++round) {
        std::string expected;
        for (int step = 0; step < 20000; ++step) {
            switch (random() % 3) {
            case 0: {
                const std::uint64_t value = random() >> (random() % 64);
                stream.PutVarint(value);
                PutVarint(expected, value);
                break;
            }
            case 1: {
                const auto byte = static_cast<std::uint8_t>(random());
                stream.PutByte(byte);
                expected += static_cast<char>(byte);
                break;
            }
            default: {
                const std::string piece(random() % 7 == 0 ? 5000 + random() % 9000 : random() % 20, static_cast<char>('a' + step % 26));
                stream.Append(piece);
                expected += piece;
            }
            }
        }
        ASSERT_EQ(stream.Size(), expected.size());
        EXPECT_TRUE(stream.View() == expected) << round;
        stream.Clear();
        EXPECT_EQ(stream.Size(), 0u);
    }
}

TEST(IndexPostingTest, ListsOfEveryDensityRoundTripAroundByteEdges)
{
    std::mt19937 random(7);
    for (const std::uint32_t entryCount : {1u, 7u, 8u, 9u, 63u, 64u, 65u, 127u, 128u, 129u, 1000u, 70000u}) {
        for (const double density : {0.0, 0.001, 0.05, 0.2, 0.6, 1.0}) {
            std::vector<std::uint32_t> ordinals = RandomOrdinals(random, entryCount, density);
            // The first and the last entry are where off-by-one faults show.
            if (ordinals.empty())
                ordinals.push_back(0);
            if (density > 0.1 && ordinals.back() != entryCount - 1)
                ordinals.push_back(entryCount - 1);
            std::string bytes = "prefix";
            const PostingEncoding encoding = EncodePostings(ordinals, entryCount, bytes);
            PostingList list{std::string_view(bytes).substr(6), encoding, static_cast<std::uint32_t>(ordinals.size())};
            std::vector<std::uint32_t> decoded;
            ASSERT_TRUE(DecodePostings(list, entryCount, decoded)) << entryCount << " " << density;
            EXPECT_EQ(decoded, ordinals) << entryCount << " " << density;

            std::string gaps;
            std::uint64_t next = 0;
            for (const std::uint32_t ordinal : ordinals) {
                PutVarint(gaps, ordinal - next);
                next = ordinal + 1ull;
            }
            EXPECT_EQ(list.bytes.size(), std::min<std::size_t>(gaps.size(), (entryCount + 7) / 8)) << "not the smaller encoding";
        }
    }
}

TEST(IndexPostingTest, IntersectionKeepsExactlyTheCommonOrdinalsInBothEncodings)
{
    std::mt19937 random(11);
    for (const std::uint32_t entryCount : {1u, 9u, 64u, 65u, 5000u}) {
        for (const double density : {0.01, 0.3, 0.9}) {
            const std::vector<std::uint32_t> listed = RandomOrdinals(random, entryCount, density);
            if (listed.empty())
                continue;
            std::string bytes;
            const PostingEncoding encoding = EncodePostings(listed, entryCount, bytes);
            const PostingList list{bytes, encoding, static_cast<std::uint32_t>(listed.size())};
            for (const double candidateDensity : {0.0, 0.02, 0.5, 1.0}) {
                std::vector<std::uint32_t> candidates = RandomOrdinals(random, entryCount, candidateDensity);
                std::vector<std::uint32_t> expected;
                std::set_intersection(candidates.begin(), candidates.end(), listed.begin(), listed.end(),
                                      std::back_inserter(expected));
                ASSERT_TRUE(IntersectPostings(list, entryCount, candidates));
                EXPECT_EQ(candidates, expected) << entryCount << " " << density << " " << candidateDensity;
            }
        }
    }
}

// The lists must not depend on where the chunks end: every chunk size gives the same table
// and lists, and each list holds exactly the entries whose value has the trigram at a kept
// offset (once, even when the value holds it twice), folded as the query folds it. The ordinals lie far apart,
// so that one chunk spans more of them than a chunk counts in its own.
TEST(IndexPostingTest, CollectedListsAreEveryEntryOfEachTrigramWhateverTheChunkSize)
{
    std::mt19937 random(5);
    const std::vector<std::string> pieces = {"rock", "Rock", "aaaa", "ab", ".mp3", "\xC3\xA4", "\xFF", " ", "z", "ROCKROCK"};
    std::vector<std::string> values(3000);
    for (std::string& value : values)
        for (int count = static_cast<int>(random() % 5); count > 0; --count)
            value += pieces[random() % pieces.size()];
    values[100] = std::string(300, 'q') + "rock";  // longer than the small chunks
    constexpr std::uint32_t kSpacing = 701;
    std::map<Trigram, std::vector<std::uint32_t>> expected;
    for (std::uint32_t index = 0; index < values.size(); ++index) {
        const std::uint32_t ordinal = index * kSpacing;
        std::vector<Trigram> trigrams;
        AppendTrigrams(values[index], trigrams);
        for (std::size_t offset = 0; offset < trigrams.size(); ++offset) {
            if (!KeptTrigramStart(offset))
                continue;
            std::vector<std::uint32_t>& list = expected[trigrams[offset]];
            if (list.empty() || list.back() != ordinal)
                list.push_back(ordinal);
        }
    }
    const auto entryCount = static_cast<std::uint32_t>(values.size()) * kSpacing;
    std::string wholeTable, wholePostings;
    for (const std::size_t chunkPairs : {TrigramCollector::kChunkPairs, std::size_t{1}, std::size_t{7}, std::size_t{4096}}) {
        std::string table, postings;
        {
            TrigramCollector collector(chunkPairs);
            for (std::uint32_t index = 0; index < values.size(); ++index)
                collector.Add(values[index], index * kSpacing);
            ASSERT_TRUE(collector.Finish(entryCount, table, postings));
        }
        ASSERT_EQ(table.size(), expected.size() * 16) << chunkPairs;
        auto list = expected.begin();
        for (std::size_t at = 0; at < table.size(); at += 16, ++list) {
            const auto* record = reinterpret_cast<const unsigned char*>(table.data() + at);
            ASSERT_EQ(LoadU32(record) & 0xFFFFFF, list->first) << chunkPairs;
            const PostingList postingList{std::string_view(postings).substr(LoadU32(record + 8), LoadU32(record + 12)),
                                          static_cast<PostingEncoding>(LoadU32(record) >> 24), LoadU32(record + 4)};
            std::vector<std::uint32_t> decoded;
            ASSERT_TRUE(DecodePostings(postingList, entryCount, decoded)) << chunkPairs;
            ASSERT_EQ(decoded, list->second) << chunkPairs << " trigram " << list->first;
        }
        if (wholeTable.empty()) {
            wholeTable = table;
            wholePostings = postings;
        }
        EXPECT_EQ(table, wholeTable) << chunkPairs;
        EXPECT_EQ(postings, wholePostings) << chunkPairs;
    }
}

TEST(IndexPostingTest, DamagedListsAreRefused)
{
    const std::vector<std::uint32_t> ordinals = {3, 4, 200, 9000};
    std::string bytes;
    ASSERT_EQ(EncodePostings(ordinals, 10000, bytes), PostingEncoding::Gaps);
    std::vector<std::uint32_t> out;
    // Too few bytes, a count that does not fit the bytes, ordinals past the entries.
    EXPECT_FALSE(DecodePostings({std::string_view(bytes).substr(0, bytes.size() - 1), PostingEncoding::Gaps, 4}, 10000, out));
    EXPECT_FALSE(DecodePostings({bytes, PostingEncoding::Gaps, 3}, 10000, out));
    EXPECT_FALSE(DecodePostings({bytes, PostingEncoding::Gaps, 5}, 10000, out));
    EXPECT_FALSE(DecodePostings({bytes, PostingEncoding::Gaps, 4}, 9000, out));
    std::vector<std::uint32_t> candidates = {9000};
    EXPECT_FALSE(IntersectPostings({bytes, PostingEncoding::Gaps, 4}, 9000, candidates));
    // A bitmap of the wrong length, or with bits beyond the last entry.
    const std::string bitmap = "\xFF\xFF";
    EXPECT_FALSE(DecodePostings({bitmap, PostingEncoding::Bitmap, 16}, 20, out));
    EXPECT_FALSE(DecodePostings({bitmap, PostingEncoding::Bitmap, 16}, 12, out));
    EXPECT_TRUE(DecodePostings({bitmap, PostingEncoding::Bitmap, 16}, 16, out));
    EXPECT_FALSE(DecodePostings({bitmap, PostingEncoding::Bitmap, 15}, 16, out));

    // Any bytes at all: a verdict, never a read outside them (the sanitizer build checks).
    std::mt19937 random(5);
    for (int round = 0; round < 2000; ++round) {
        std::string junk(random() % 40, '\0');
        for (char& c : junk)
            c = static_cast<char>(random());
        const auto encoding = static_cast<PostingEncoding>(random() % 2);
        const std::uint32_t entryCount = random() % 300;
        out.clear();
        if (DecodePostings({junk, encoding, static_cast<std::uint32_t>(random() % 50)}, entryCount, out)) {
            EXPECT_TRUE(std::is_sorted(out.begin(), out.end()));
            EXPECT_TRUE(std::adjacent_find(out.begin(), out.end()) == out.end());
            EXPECT_TRUE(std::all_of(out.begin(), out.end(), [&](std::uint32_t o) { return o < entryCount; }));
        }
    }
}

TEST(IndexVarintColumnTest, EveryEntryReadsBackAroundBlockEdges)
{
    for (const std::uint32_t count : {0u, 1u, 15u, 16u, 17u, 31u, 32u, 33u, 1000u}) {
        VarintColumnWriter codes;
        std::vector<std::uint64_t> codeValues;
        std::vector<bool> escaped;
        std::mt19937_64 random(count);
        for (std::uint32_t i = 0; i < count; ++i) {
            const bool escape = random() % 5 == 0;
            const std::uint64_t code = escape ? random() : (random() % 2 ? 0 : 2 + random() % (kMaxU64 - 2));
            codeValues.push_back(code);
            escaped.push_back(escape);
            if (escape)
                codes.AddEscaped(code);
            else
                codes.Add(code);
        }
        std::string codeBytes;
        codes.Finish(codeBytes);
        VarintColumn codeColumn;
        ASSERT_TRUE(codeColumn.Parse(codeBytes, count));
        VarintColumn mismatched;
        EXPECT_FALSE(mismatched.Parse(codeBytes, count + 1));
        for (std::uint32_t i = 0; i < count; ++i) {
            std::uint64_t value = 0;
            bool wasEscaped = false;
            ASSERT_TRUE(codeColumn.Value(i, value, wasEscaped));
            EXPECT_EQ(value, codeValues[i]) << count << " " << i;
            EXPECT_EQ(wasEscaped, escaped[i]);
        }
        std::uint64_t value = 0;
        bool wasEscaped = false;
        EXPECT_FALSE(codeColumn.Value(count, value, wasEscaped));
    }
}

using Values = std::vector<std::optional<std::string>>;

std::string RandomText(std::mt19937& random)
{
    static const std::vector<std::string> kPieces = {"a", "b", "ab", "A", "B", "r", "o", "ro", "RO", "\xC3\xA4", "\xC3\x84",
                                                     "\xFF", std::string(1, '\0'), " ", ".", "\xE2\x82\xAC", "x"};
    std::string text;
    for (int pieces = static_cast<int>(random() % 6); pieces > 0; --pieces)
        text += kPieces[random() % kPieces.size()];
    return text;
}

bool Holds(const std::optional<std::string>& value, const std::string& pattern, bool caseSensitive, bool whole)
{
    if (!value)
        return false;
    auto fold = [&](std::string text) {
        if (!caseSensitive)
            for (char& c : text)
                c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
        return text;
    };
    const std::string v = fold(*value), p = fold(pattern);
    return whole ? v == p : v.find(p) != std::string::npos;
}

// The short comparison reads overlapping words: a difference in any byte, at every length,
// must show.
TEST(IndexTextColumnTest, ShortTextsDifferWhereverOneByteDiffers)
{
    for (std::size_t size = 0; size <= 40; ++size) {
        const std::string text(size, 'a');
        EXPECT_TRUE(SameShortText(text, std::string(size, 'a'))) << size;
        EXPECT_FALSE(SameShortText(text, std::string(size + 1, 'a'))) << size;
        for (std::size_t at = 0; at < size; ++at) {
            std::string other = text;
            other[at] = 'b';
            EXPECT_FALSE(SameShortText(text, other)) << size << " " << at;
        }
    }
}

// Both text encodings give back absent and empty values apart, and their scans and filters
// pick exactly what the plain rule picks; patterns that would run from one value into the
// next (values lie back to back) must not count.
TEST(IndexTextColumnTest, BothEncodingsReadBackAndScanAsThePlainRuleSays)
{
    std::mt19937 random(3);
    for (int round = 0; round < 60; ++round) {
        const std::uint32_t count = random() % 200;
        Values values;
        PlainTextColumnWriter plain;
        DictionaryColumnWriter dictionary;
        for (std::uint32_t i = 0; i < count; ++i) {
            const int kind = static_cast<int>(random() % 10);
            values.push_back(kind == 0 ? std::nullopt : kind == 1 ? std::optional<std::string>("") : RandomText(random));
            const std::string_view view = values.back() ? std::string_view(*values.back()) : std::string_view();
            plain.Add(values.back() ? &view : nullptr);
            dictionary.Add(values.back() ? &view : nullptr);
        }
        std::string plainBytes, dictionaryBytes;
        plain.Finish(plainBytes);
        dictionary.Finish(dictionaryBytes);
        // A cleared writer is as new: the same values give the same column again.
        plain.Clear();
        dictionary.Clear();
        for (const std::optional<std::string>& value : values) {
            const std::string_view view = value ? std::string_view(*value) : std::string_view();
            plain.Add(value ? &view : nullptr);
            dictionary.Add(value ? &view : nullptr);
        }
        std::string again;
        plain.Finish(again);
        EXPECT_EQ(again, plainBytes);
        again.clear();
        dictionary.Finish(again);
        EXPECT_EQ(again, dictionaryBytes);
        for (const std::string* bytes : {&plainBytes, &dictionaryBytes}) {
            TextColumn column;
            ASSERT_TRUE(column.Parse(*bytes, count));
            for (std::uint32_t i = 0; i < count; ++i) {
                std::optional<std::string_view> value;
                ASSERT_TRUE(column.Value(i, value));
                ASSERT_EQ(value.has_value(), values[i].has_value()) << i;
                if (value) {
                    EXPECT_EQ(*value, *values[i]);
                }
            }
            for (int query = 0; query < 20; ++query) {
                std::string pattern = RandomText(random);
                if (pattern.empty())
                    pattern = "b";
                const bool caseSensitive = random() % 2;
                const bool whole = random() % 3 == 0;
                const ValueFilter filter(pattern, caseSensitive, whole);
                std::vector<std::uint32_t> expected;
                for (std::uint32_t i = 0; i < count; ++i)
                    if (Holds(values[i], pattern, caseSensitive, whole))
                        expected.push_back(i);
                std::vector<std::uint32_t> scanned;
                ASSERT_TRUE(column.Scan(filter, scanned));
                EXPECT_EQ(scanned, expected) << "pattern " << pattern << (bytes == &plainBytes ? " plain" : " dictionary");
                std::vector<std::uint32_t> filtered = RandomOrdinals(random, count, 0.5);
                std::vector<std::uint32_t> expectedFiltered;
                std::copy_if(filtered.begin(), filtered.end(), std::back_inserter(expectedFiltered),
                             [&](std::uint32_t i) { return Holds(values[i], pattern, caseSensitive, whole); });
                ASSERT_TRUE(column.Filter(filter, filtered));
                EXPECT_EQ(filtered, expectedFiltered);
            }
        }
    }
}

TEST(IndexTextColumnTest, DamagedColumnsNeverReadOutsideTheirBytes)
{
    PlainTextColumnWriter plain;
    DictionaryColumnWriter dictionary;
    std::mt19937 random(9);
    for (int i = 0; i < 50; ++i) {
        const std::string text = RandomText(random);
        const std::string_view view = text;
        plain.Add(&view);
        dictionary.Add(i % 7 == 0 ? nullptr : &view);
    }
    std::string plainBytes, dictionaryBytes;
    plain.Finish(plainBytes);
    dictionary.Finish(dictionaryBytes);
    for (const std::string& good : {plainBytes, dictionaryBytes}) {
        for (int round = 0; round < 3000; ++round) {
            std::string bytes = good;
            const int flips = 1 + static_cast<int>(random() % 3);
            for (int flip = 0; flip < flips; ++flip)
                bytes[random() % bytes.size()] = static_cast<char>(random());
            if (random() % 4 == 0)
                bytes.resize(random() % bytes.size());
            TextColumn column;
            if (!column.Parse(bytes, 50))
                continue;
            std::optional<std::string_view> value;
            for (std::uint32_t i = 0; i < 50; ++i) {
                if (column.Value(i, value) && value) {
                    EXPECT_TRUE(value->data() >= bytes.data() && value->data() + value->size() <= bytes.data() + bytes.size());
                }
            }
            std::vector<std::uint32_t> found;
            if (column.Scan(ValueFilter("a", false, false), found)) {
                EXPECT_TRUE(std::all_of(found.begin(), found.end(), [](std::uint32_t o) { return o < 50; }));
            }
        }
    }
}

}  // namespace
}  // namespace vellumark
