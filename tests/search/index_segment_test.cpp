#include "search/index/byte_codec.h"
#include "search/index/candidate_query.h"
#include "search/index/segment_builder.h"
#include "search/index/segment_format.h"
#include "search/index/segment_reader.h"
#include "services/text_format.h"
#include "tests/common/test_support.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace vellumark {
namespace {

using testing::TempDir;
using testing::WriteFile;

using Text = std::optional<std::string_view>;

const CatalogIdentity kIdentity{11, 22, 1 << 20, 1'700'000'000'123'456'789, 1'700'000'001'000'000'001};

std::string BuildBytes(const std::vector<EntryTexts>& entries)
{
    SegmentBuilder builder("Music/Disc 1.xml", kIdentity, 1'800'000'000'000'000'000);
    for (const EntryTexts& entry : entries)
        builder.Add(entry);
    std::string bytes;
    EXPECT_TRUE(builder.Finish(bytes).ok());
    return bytes;
}

// A segment of random entries, the kind the damage tests start from.
std::string RandomSegment(std::mt19937& random, std::vector<std::string>& storage)
{
    storage.clear();
    storage.reserve(2000);
    std::vector<EntryTexts> entries;
    for (int i = 0; i < 300; ++i) {
        storage.push_back("name " + std::to_string(random() % 5000) + (i % 3 ? ".mp3" : " rock"));
        EntryTexts entry;
        entry.fileName = storage.back();
        entry.fileExt = i % 3 ? Text("mp3") : std::nullopt;
        entry.fileType = i % 5 ? "file" : "directory";
        storage.push_back(std::to_string(random()));
        entry.fileSize = storage.back();
        entry.fileTime = "2001-02-03 04:05:06";
        if (i % 17 == 0)
            entry.description = "Ripped from CD";
        storage.push_back("Disc/" + std::to_string(i / 7) + "/" + storage[storage.size() - 2]);
        entry.fullPath = storage.back();
        entry.fileNameLength = i % 4 ? Text("12") : std::nullopt;
        entry.sizePercentage = i % 2 ? "0.00" : "1.50";
        entries.push_back(entry);
    }
    return BuildBytes(entries);
}

// Sets the header checksum again after a test changed the header on purpose.
void Reseal(std::string& bytes)
{
    std::string checksum;
    PutU64(checksum, IndexChecksum(std::string_view(bytes).substr(0, kSegmentHeaderBytes - 8)));
    bytes.replace(kSegmentHeaderBytes - 8, 8, checksum);
}

// Everything a search can ask of a segment, so that the sanitizer build sees every read.
void AskEverything(const SegmentReader& segment)
{
    IndexedEntryValues values;
    RecordCursor cursor;
    SegmentReader::ResultTexts fields;
    for (std::uint32_t i = 0; i <= segment.EntryCount(); ++i) {
        segment.Values(i, values);
        segment.ResultFields(i, cursor, fields);
    }
    for (std::uint32_t i = segment.EntryCount(); i-- > 0;)
        segment.ResultFields(i, cursor, fields);
    std::vector<std::uint32_t> candidates;
    for (const char* pattern : {"rock", "na", "5", "name 1", "mp3"}) {
        CandidateQuery(pattern, "", "", false, false).FindCandidates(segment, candidates);
        CandidateQuery("", pattern, "", true, true).FindCandidates(segment, candidates);
        CandidateQuery("", "", pattern, false, false).FindCandidates(segment, candidates);
    }
    segment.VerifyContent();
}

TEST(IndexSegmentTest, EveryValueReadsBackAsBuiltWithMissingAndEmptyApart)
{
    std::vector<EntryTexts> entries(6);
    entries[0] = {"Disc 1", std::nullopt, std::nullopt, "5919737613887", "2025-12-31 22:25:02", "directory",
                  "Disc 1", "6", "6", "100.00"};
    entries[1] = {"", "", "", "", "", "", "", "", "", ""};
    entries[2] = {std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                  std::nullopt, std::nullopt, std::nullopt, std::nullopt};
    entries[3] = {"Tax & <insurance> \"2024\"", "pdf", "Ripped from CD", "007", "31.12.1999 23:59:59", "file",
                  "Disc 1/Tax & <insurance> \"2024\"", "25", "x", "0.00"};
    entries[4] = {std::string_view("nul\0byte\xFF", 9), "MP3", "needs <review>", "18446744073709551615", "1/2/2003 4:05:06 PM", "odd kind",
                  std::string_view("Disc 1\\nul\0byte\xFF", 17), "9", "17", ""};
    entries[5] = {"\xC3\x84rger", "x", "d", "18446744073709551616", "no date", "file", "D:\\", std::nullopt, "3", "0.00"};
    const std::string bytes = BuildBytes(entries);
    std::shared_ptr<const SegmentReader> segment;
    ASSERT_TRUE(SegmentReader::FromBytes(bytes, segment).ok());
    EXPECT_EQ(segment->Key(), "Music/Disc 1.xml");
    EXPECT_EQ(segment->Identity(), kIdentity);
    EXPECT_EQ(segment->IndexedAtNs(), 1'800'000'000'000'000'000);
    EXPECT_EQ(segment->EntryCount(), 6u);
    EXPECT_FALSE(segment->CatalogFailed());
    EXPECT_TRUE(segment->VerifyContent().ok());

    for (std::uint32_t i = 0; i < entries.size(); ++i) {
        IndexedEntryValues values;
        ASSERT_TRUE(segment->Values(i, values));
        EXPECT_EQ(values.fileName, entries[i].fileName) << i;
        EXPECT_EQ(values.fileExt, entries[i].fileExt) << i;
        EXPECT_EQ(values.description, entries[i].description) << i;
        EXPECT_EQ(values.fileType, entries[i].fileType) << i;
        const ParsedSize size = ParseSizeText(entries[i].fileSize.value_or(std::string_view()));
        EXPECT_EQ(values.size.state, size.state) << i;
        EXPECT_EQ(values.size.bytes, size.bytes) << i;
        const std::optional<double> time = entries[i].fileTime ? ParseDateText(*entries[i].fileTime) : std::nullopt;
        EXPECT_EQ(values.time.readable, time.has_value()) << i;
        if (time) {
            EXPECT_EQ(values.time.seconds, *time) << i;
        }
        RecordCursor cursor;
        SegmentReader::ResultTexts fields;
        ASSERT_TRUE(segment->ResultFields(i, cursor, fields));
        const std::string_view none;
        const SegmentReader::ResultTexts expected = {
            entries[i].fileName.value_or(none),       entries[i].fullPath.value_or(none),
            entries[i].fileSize.value_or(none),       entries[i].fileTime.value_or(none),
            entries[i].fileExt.value_or(none),        entries[i].fileType.value_or(none),
            entries[i].description.value_or(none),    entries[i].fileNameLength.value_or(none),
            entries[i].pathNameLength.value_or(none), entries[i].sizePercentage.value_or(none),
            none};
        EXPECT_EQ(fields, expected) << i;
    }
    IndexedEntryValues values;
    EXPECT_FALSE(segment->Values(6, values));
}

TEST(IndexSegmentTest, SizesFollowTheDigitRuleUpToAndBeyondSixtyFourBits)
{
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    struct Case {
        Text text;
        SizeState state;
        std::uint64_t bytes;
    };
    const std::vector<Case> cases = {
        {"0", SizeState::Readable, 0},
        {"00000000000000000001", SizeState::Readable, 1},
        {"18446744073709551613", SizeState::Readable, kMax - 2},
        {"18446744073709551614", SizeState::Readable, kMax - 1},
        {"18446744073709551615", SizeState::Readable, kMax},
        {"18446744073709551616", SizeState::AboveRange, 0},
        {"99999999999999999999", SizeState::AboveRange, 0},
        {"100000000000000000000", SizeState::Unreadable, 0},  // 21 digits
        {"", SizeState::Unreadable, 0},
        {std::nullopt, SizeState::Unreadable, 0},
        {"12 ", SizeState::Unreadable, 0},
        {"+12", SizeState::Unreadable, 0},
        {"1,205", SizeState::Unreadable, 0},
        {"\xD9\xA1", SizeState::Unreadable, 0},  // an Arabic-Indic digit is no ASCII digit
    };
    std::vector<EntryTexts> entries;
    for (const Case& c : cases) {
        EntryTexts entry;
        entry.fileSize = c.text;
        entries.push_back(entry);
    }
    const std::string bytes = BuildBytes(entries);
    std::shared_ptr<const SegmentReader> segment;
    ASSERT_TRUE(SegmentReader::FromBytes(bytes, segment).ok());
    for (std::uint32_t i = 0; i < cases.size(); ++i) {
        IndexedEntryValues values;
        ASSERT_TRUE(segment->Values(i, values, kSizeValue));
        EXPECT_EQ(values.size.state, cases[i].state) << i;
        EXPECT_EQ(values.size.bytes, cases[i].bytes) << i;
    }
}

TEST(IndexSegmentTest, AFailedCatalogKeepsItsReasonAndNoEntries)
{
    SegmentBuilder builder("Broken.xml", kIdentity, 5);
    EntryTexts entry;
    entry.fileName = "taken before the fault";
    builder.Add(entry);
    builder.Fail("Cannot read \"Broken.xml\": unexpected end of file at offset 90");
    std::string bytes;
    ASSERT_TRUE(builder.Finish(bytes).ok());
    std::shared_ptr<const SegmentReader> segment;
    ASSERT_TRUE(SegmentReader::FromBytes(bytes, segment).ok());
    EXPECT_TRUE(segment->CatalogFailed());
    EXPECT_EQ(segment->FailureMessage(), "Cannot read \"Broken.xml\": unexpected end of file at offset 90");
    EXPECT_EQ(segment->EntryCount(), 0u);
    std::vector<std::uint32_t> candidates;
    ASSERT_TRUE(CandidateQuery("", "", "", false, false).FindCandidates(*segment, candidates).ok());
    EXPECT_TRUE(candidates.empty());
}

TEST(IndexSegmentTest, TruncatedForeignAndDamagedHeadersAreRefused)
{
    std::mt19937 random(1);
    std::vector<std::string> storage;
    const std::string good = RandomSegment(random, storage);
    std::shared_ptr<const SegmentReader> segment;
    ASSERT_TRUE(SegmentReader::FromBytes(good, segment).ok());

    for (std::size_t length = 0; length < good.size(); length += (length < 400 ? 1 : 97)) {
        const std::string truncated = good.substr(0, length);
        EXPECT_FALSE(SegmentReader::FromBytes(truncated, segment).ok()) << length;
    }
    const std::string longer = good + "x";
    EXPECT_FALSE(SegmentReader::FromBytes(longer, segment).ok());

    std::string foreign = good;
    foreign[8] = 1;  // format version 1, the one before the record column
    Reseal(foreign);
    const Status foreignStatus = SegmentReader::FromBytes(foreign, segment);
    EXPECT_FALSE(foreignStatus.ok());
    EXPECT_NE(foreignStatus.message().find("another format version"), std::string::npos) << foreignStatus.message();

    std::string magic = good;
    magic[0] = 'X';
    EXPECT_FALSE(SegmentReader::FromBytes(magic, segment).ok());

    // Any change to the header without its checksum following is seen.
    for (std::size_t at = 8; at < kSegmentHeaderBytes; ++at) {
        std::string damaged = good;
        damaged[at] = static_cast<char>(damaged[at] ^ (1 << (at % 8)));
        EXPECT_FALSE(SegmentReader::FromBytes(damaged, segment).ok()) << at;
    }
}

// A header made to agree with damaged content (as a fuzzer does): the content check finds
// the damage, and nothing a search asks of such a segment reads outside its bytes.
TEST(IndexSegmentTest, DamagedContentIsFoundByItsChecksumsAndNeverReadOutOfBounds)
{
    std::mt19937 random(2);
    std::vector<std::string> storage;
    const std::string good = RandomSegment(random, storage);
    int opened = 0;
    for (int round = 0; round < 1500; ++round) {
        std::string damaged = good;
        const int flips = 1 + static_cast<int>(random() % 4);
        for (int flip = 0; flip < flips; ++flip) {
            const std::size_t at = kSegmentHeaderBytes + random() % (damaged.size() - kSegmentHeaderBytes);
            damaged[at] = static_cast<char>(damaged[at] ^ (1 + random() % 255));
        }
        std::shared_ptr<const SegmentReader> segment;
        if (!SegmentReader::FromBytes(damaged, segment).ok())
            continue;
        ++opened;
        EXPECT_FALSE(segment->VerifyContent().ok()) << round;
        AskEverything(*segment);
    }
    EXPECT_GT(opened, 500) << "most damage inside values leaves the structure intact";

    // Header fields changed and resealed: lengths and counts that do not fit.
    for (int round = 0; round < 1500; ++round) {
        std::string damaged = good;
        const std::size_t at = 16 + random() % (kSegmentHeaderBytes - 24);
        damaged[at] = static_cast<char>(random());
        Reseal(damaged);
        std::shared_ptr<const SegmentReader> segment;
        if (SegmentReader::FromBytes(damaged, segment).ok())
            AskEverything(*segment);
    }
}

TEST(IndexSegmentTest, MappedFilesAreReadAndTruncatedFilesRefused)
{
    TempDir dir;
    std::mt19937 random(3);
    std::vector<std::string> storage;
    const std::string good = RandomSegment(random, storage);
    WriteFile(dir / "good.seg", good);
    WriteFile(dir / "short.seg", good.substr(0, good.size() - 1));
    WriteFile(dir / "tiny.seg", "VMKSEGMT");
    std::shared_ptr<const SegmentReader> segment;
    ASSERT_TRUE(SegmentReader::Open(dir / "good.seg", segment).ok());
    EXPECT_EQ(segment->EntryCount(), 300u);
    EXPECT_EQ(segment->FileBytes(), good.size());
    EXPECT_TRUE(segment->VerifyContent().ok());
    std::vector<std::uint32_t> candidates;
    ASSERT_TRUE(CandidateQuery("rock", "", "", false, false).FindCandidates(*segment, candidates).ok());
    EXPECT_EQ(candidates.size(), 100u);
    std::shared_ptr<const SegmentReader> other;
    EXPECT_FALSE(SegmentReader::Open(dir / "short.seg", other).ok());
    EXPECT_FALSE(SegmentReader::Open(dir / "tiny.seg", other).ok());
    EXPECT_FALSE(SegmentReader::Open(dir / "missing.seg", other).ok());
    EXPECT_FALSE(SegmentReader::Open(dir.Path(), other).ok());
}

}  // namespace
}  // namespace vellumark
