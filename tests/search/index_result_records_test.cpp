#include "core/catalog_file.h"
#include "core/catalog_reader.h"
#include "search/catalog_search.h"
#include "search/copy_reader.h"
#include "search/index/segment_reader.h"
#include "tests/common/test_support.h"
#include "tests/search/search_test_support.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace vellumark {
namespace {

using testing::TempDir;
using testing::WriteFile;

// The records the streaming search makes of every entry of the file, in document order, and
// where each entry's start tag begins.
std::vector<EntryRecord> StreamedRecords(const std::string& path, const SharedText& catalogName,
                                         std::vector<std::uint64_t>& offsets)
{
    std::vector<EntryRecord> records;
    const Status read = ReadCatalogEntries(path, [&](const CatalogEntry& entry) {
        AddSearchResult(entry, catalogName, records);
        offsets.push_back(entry.Offset());
        return true;
    });
    EXPECT_TRUE(read.ok()) << read.message();
    return records;
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

// The records a search makes of every entry from the catalog's segment alone, and those the
// duplicates read at the offsets the streaming reader gave, against what the streaming search
// made of the file: all eleven fields alike.
void ExpectSameRecordsFromTheSegment(const std::string& path)
{
    const SharedText catalogName("Disc");
    std::vector<std::uint64_t> offsets;
    const std::vector<EntryRecord> streamed = StreamedRecords(path, catalogName, offsets);
    std::string bytes;
    const auto segment = IndexCatalog(path, bytes);
    ASSERT_TRUE(segment);
    ASSERT_EQ(segment->EntryCount(), streamed.size());

    std::vector<EntryRecord> fromSegment;
    RecordCursor cursor;
    for (std::uint32_t i = 0; i < segment->EntryCount(); ++i) {
        SegmentReader::ResultTexts fields;
        ASSERT_TRUE(segment->ResultFields(i, cursor, fields)) << i;
        AddSearchResult(fields, catalogName, fromSegment);
    }
    CopyReader reader;
    ASSERT_TRUE(reader.Open(path, *IdentityOfFile(path)).ok());
    std::vector<EntryRecord> atOffsets;
    const Status status = reader.Read(offsets, catalogName, atOffsets);
    ASSERT_TRUE(status.ok()) << status.message();
    ASSERT_EQ(atOffsets.size(), streamed.size());
    for (std::size_t i = 0; i < streamed.size(); ++i)
        for (int key = 0; key < kColumnKeyCount; ++key) {
            EXPECT_EQ(fromSegment[i].Field(key), streamed[i].Field(key)) << "entry " << i << " " << kColumnKeys[key];
            EXPECT_EQ(atOffsets[i].Field(key), streamed[i].Field(key)) << "entry " << i << " " << kColumnKeys[key];
        }
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

TEST(IndexResultRecordsTest, EntriesOfAWrittenCatalogAreShownAsStreamed)
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
    ExpectSameRecordsFromTheSegment(dir / "Disc.xml");
}

TEST(IndexResultRecordsTest, HandWrittenMarkupIsShownAsStreamed)
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
    ExpectSameRecordsFromTheSegment(dir / "Disc.xml");
}

}  // namespace
}  // namespace vellumark
