#include "core/catalog_file.h"
#include "core/catalog_reader.h"
#include "search/catalog_search.h"
#include "search/index/catalog_entry_reader.h"
#include "search/index/segment_reader.h"
#include "tests/common/test_support.h"
#include "tests/search/search_test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <random>
#include <string>
#include <vector>

namespace vellumark {
namespace {

using testing::TempDir;
using testing::WriteFile;

// The records the streaming search makes of every entry of the file, in document order.
std::vector<EntryRecord> StreamedRecords(const std::string& path, const SharedText& catalogName)
{
    std::vector<EntryRecord> records;
    const Status read = ReadCatalogEntries(path, [&](const CatalogEntry& entry) {
        AddSearchResult(entry, catalogName, records);
        return true;
    });
    EXPECT_TRUE(read.ok()) << read.message();
    return records;
}

CatalogEntryVisitor RecordInto(std::vector<EntryRecord>& records, const SharedText& catalogName)
{
    return [&records, catalogName](const CatalogEntry& entry) {
        AddSearchResult(entry, catalogName, records);
        return true;
    };
}

std::shared_ptr<const SegmentReader> IndexCatalog(const std::string& path, std::string& bytes)
{
    SegmentBuilder builder("catalog.xml", *IdentityOfFile(path), WallClockNs());
    testing::FeedSegment(path, builder);
    EXPECT_FALSE(builder.CatalogFailed());
    EXPECT_TRUE(builder.Finish(bytes).ok());
    std::shared_ptr<const SegmentReader> segment;
    EXPECT_TRUE(SegmentReader::FromBytes(bytes, segment).ok());
    return segment;
}

// Reads every entry at its recorded offset and compares all eleven fields with what the
// streaming search made of it.
void ExpectSameRecordsAtOffsets(const std::string& path)
{
    const SharedText catalogName("Disc");
    const std::vector<EntryRecord> streamed = StreamedRecords(path, catalogName);
    std::string bytes;
    const auto segment = IndexCatalog(path, bytes);
    ASSERT_TRUE(segment);
    ASSERT_EQ(segment->EntryCount(), streamed.size());
    CatalogEntryReader reader;
    ASSERT_TRUE(reader.Open(path, &segment->Identity()).ok());
    // One at a time, then all at once: runs of adjacent entries are read in one piece.
    std::vector<EntrySpan> spans(segment->EntryCount());
    for (std::uint32_t i = 0; i < segment->EntryCount(); ++i) {
        ASSERT_TRUE(segment->EntrySpan(i, spans[i].offset, spans[i].next));
        std::vector<EntryRecord> read;
        const Status status = reader.ReadAt(spans[i].offset, spans[i].next, RecordInto(read, catalogName));
        ASSERT_TRUE(status.ok()) << status.message();
        ASSERT_EQ(read.size(), 1u);
        for (int key = 0; key < kColumnKeyCount; ++key)
            EXPECT_EQ(read[0].Field(key), streamed[i].Field(key)) << "entry " << i << " " << kColumnKeys[key];
    }
    std::vector<EntryRecord> all;
    ASSERT_TRUE(reader.ReadSpans(spans, RecordInto(all, catalogName)).ok());
    ASSERT_EQ(all.size(), streamed.size());
    for (std::size_t i = 0; i < all.size(); ++i)
        for (int key = 0; key < kColumnKeyCount; ++key)
            EXPECT_EQ(all[i].Field(key), streamed[i].Field(key)) << "entry " << i << " " << kColumnKeys[key];
}

std::string RandomRawName(std::mt19937& random)
{
    static const std::vector<std::string> kPieces = {
        "a", "Rock", "&", "<", ">", "\"", "'", "\t", "\n", "\r", "\r\n", "\\x{41}", "\\", "\xC3\xA4", "\xFF", "\x01",
        std::string(1, '\0'), "\xEF\xBF\xBE", "  ", "&amp;", "&#10;", "\xE2\x82\xAC", "\xED\xA0\x80"};
    std::string text;
    for (int pieces = static_cast<int>(random() % 8); pieces > 0; --pieces)
        text += kPieces[random() % kPieces.size()];
    return text;
}

TEST(IndexEntryReaderTest, EntriesOfAWrittenCatalogReadAtTheirOffsetsAsStreamed)
{
    TempDir dir;
    std::mt19937 random(42);
    CatalogTree tree;
    CatalogTreeNode* root = tree.Append(nullptr);
    root->record.SetField(kFileName, "Disc");
    root->record.SetField(kFileType, "directory");
    std::vector<CatalogTreeNode*> folders = {root};
    for (int i = 0; i < 400; ++i) {
        CatalogTreeNode* parent = folders[random() % folders.size()];
        CatalogTreeNode* node = tree.Append(parent);
        for (int key = 0; key < kColumnKeyCount; ++key)
            if (random() % 3)
                node->record.SetField(key, RandomRawName(random));
        if (i % 40 == 0)
            node->record.SetField(kDescription, std::string(3000, 'd'));  // a tag longer than the first window
        if (random() % 4 == 0)
            folders.push_back(node);
    }
    NullProgress progress;
    ASSERT_TRUE(WriteCatalogFile(tree, dir / "Disc.xml", progress).ok());
    ExpectSameRecordsAtOffsets(dir / "Disc.xml");
}

TEST(IndexEntryReaderTest, HandWrittenMarkupReadsAtItsOffsetsAsStreamed)
{
    TempDir dir;
    // References of every kind, raw white space the reader turns into blanks, single quotes,
    // ">" and the other quote inside values, comments and line breaks between tags.
    const std::string text =
        "\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<!-- a catalog -->\n<fileinfo>\n"
        "  <file FileName=\"A &amp; B &lt;x&gt; &quot;q&quot; &apos;s&apos;\" FileExt='a\"b' FileType=\"directory\">\n"
        "    <!-- <file FileName=\"not an entry\"/> -->\n"
        "    <file FileName=\"tab\there\nline\r\nend\" Description='x > y' FileSize=\"12\"/>\n"
        "    <file   FileName = \"&#65;&#x42;&#xe4;&#x1F600;\"\tFileTime=\"2001-02-03\"\n FileType=\"file\" />"
        "<file FileName=\"stored \\x{FF}\\x{00}\\x{5C}x{41}\" DiskName=\"Other\" Unknown=\"u\" FileName=\"second\"/>\n"
        "  </file><file FileName=\"last\"></file>\n"
        "</fileinfo>\n";
    WriteFile(dir / "Disc.xml", text);
    ExpectSameRecordsAtOffsets(dir / "Disc.xml");
}

// Reading results reads their start tags and nothing of the entries around them.
TEST(IndexEntryReaderTest, ReadingResultsReadsOnlyTheirOwnBytes)
{
    TempDir dir;
    std::string entries;
    for (int i = 0; i < 2000; ++i)
        entries += "<file FileName=\"entry " + std::to_string(i) + "\" FileType=\"file\" FullPath=\"/cd/" + std::to_string(i) + "\"/>";
    const std::string path = dir / "Disc.xml";
    WriteFile(path, "<?xml version=\"1.0\"?><fileinfo>" + entries + "</fileinfo>");
    std::string bytes;
    const auto segment = IndexCatalog(path, bytes);
    ASSERT_TRUE(segment);

    std::size_t readBytes = 0;
    int reads = 0;
    CatalogEntryReader::SetReadHook([&](std::size_t count) {
        readBytes += count;
        ++reads;
    });
    std::uint64_t spanBytes = 0;
    std::vector<EntrySpan> spans;
    // Scattered entries, and a run of five adjacent ones that is read in one piece.
    for (std::uint32_t i : {0u, 97u, 194u, 500u, 501u, 502u, 503u, 504u, 1999u}) {
        EntrySpan& span = spans.emplace_back();
        ASSERT_TRUE(segment->EntrySpan(i, span.offset, span.next));
        spanBytes += span.next - span.offset;
    }
    std::vector<EntryRecord> results;
    CatalogEntryReader reader;
    ASSERT_TRUE(reader.Open(path, &segment->Identity()).ok());
    ASSERT_TRUE(reader.ReadSpans(spans, RecordInto(results, SharedText("Disc"))).ok());
    CatalogEntryReader::SetReadHook({});
    ASSERT_EQ(results.size(), 9u);
    EXPECT_EQ(results[1].Field(kFileName), "entry 97");
    EXPECT_EQ(results[7].Field(kFileName), "entry 504");
    EXPECT_EQ(reads, 5);
    EXPECT_EQ(readBytes, spanBytes);
    EXPECT_LT(readBytes, 9u * 80 + 20);
}

TEST(IndexEntryReaderTest, AChangedFileOrAWrongOffsetIsReportedNotMisread)
{
    TempDir dir;
    const std::string path = dir / "Disc.xml";
    WriteFile(path, "<fileinfo><file FileName=\"one\"/><file FileName=\"two\"/></fileinfo>");
    std::string bytes;
    const auto segment = IndexCatalog(path, bytes);
    ASSERT_TRUE(segment);
    std::vector<EntryRecord> results;
    const CatalogEntryVisitor record = RecordInto(results, SharedText("Disc"));
    CatalogEntryReader reader;
    ASSERT_TRUE(reader.Open(path, &segment->Identity()).ok());
    EXPECT_FALSE(reader.ReadAt(12, 50, record).ok()) << "inside a tag";
    EXPECT_FALSE(reader.ReadAt(500, 600, record).ok()) << "past the end";
    EXPECT_FALSE(reader.ReadAt(10, 20, record).ok()) << "tag longer than its span";
    EXPECT_FALSE(reader.ReadAt(54, 65, record).ok()) << "an end tag";
    EXPECT_FALSE(reader.ReadSpans({{10, 33}, {33, 20}}, record).ok()) << "a span that ends before it starts";
    EXPECT_EQ(results.size(), 1u) << "the first span of the last read is good";

    // Replaced by a save: the new file is another file, whatever its offsets hold.
    WriteFile(dir / "new.xml", "<fileinfo><file FileName=\"uno\"/><file FileName=\"dos\"/></fileinfo>");
    ASSERT_EQ(::rename((dir / "new.xml").c_str(), path.c_str()), 0);
    CatalogEntryReader replaced;
    EXPECT_FALSE(replaced.Open(path, &segment->Identity()).ok());
    EXPECT_FALSE(replaced.Open(dir / "missing.xml").ok());
    ASSERT_TRUE(replaced.Open(path).ok());
    results.clear();
    ASSERT_TRUE(replaced.ReadAt(10, 32, record).ok());
    EXPECT_EQ(results.at(0).Field(kFileName), "uno");
    EXPECT_EQ(results.at(0).Field(kDiskName), "Disc");
}

}  // namespace
}  // namespace vellumark
