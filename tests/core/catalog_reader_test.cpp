#include "core/catalog_reader.h"
#include "tests/common/test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace vellumark {
namespace {

struct Seen {
    int depth;
    std::uint64_t offset;
    std::string name;
};

std::vector<Seen> Entries(std::string_view text)
{
    std::vector<Seen> seen;
    EXPECT_TRUE(ReadCatalogText(text, [&](const CatalogEntry& entry) {
        seen.push_back({entry.Depth(), entry.Offset(), std::string(entry.Value(kFileName))});
        return true;
    }));
    return seen;
}

TEST(CatalogReader, EveryElementBelowTheRootInDocumentOrderWithDepthAndOffset)
{
    const std::string text = "<?xml version=\"1.0\"?>\n<fileinfo generated=\"Vellumark\">"
                             "<file FileName=\"a\"><folder FileName=\"b\"><file FileName=\"c\"/></folder>"
                             "<file FileName=\"d\"></file></file><!-- note --><x FileName=\"e\"/></fileinfo>";
    const std::vector<Seen> seen = Entries(text);
    ASSERT_EQ(seen.size(), 5u);
    const std::tuple<int, const char*, const char*> expected[] = {
        {1, "a", "<file "}, {2, "b", "<folder "}, {3, "c", "<file "}, {2, "d", "<file "}, {1, "e", "<x "}};
    for (std::size_t i = 0; i < seen.size(); ++i) {
        const auto& [depth, name, tag] = expected[i];
        EXPECT_EQ(seen[i].depth, depth) << i;
        EXPECT_EQ(seen[i].name, name) << i;
        // The offset is where the entry's own start tag begins.
        const std::string start = std::string(tag) + "FileName=\"" + name + "\"";
        EXPECT_EQ(text.compare(seen[i].offset, start.size(), start), 0) << i << ": " << text.substr(seen[i].offset, 20);
    }
}

TEST(CatalogReader, OffsetsCountFromTheFilesFirstByteAcrossTheReadersWindow)
{
    testing::TempDir dir;
    std::string text = "\xEF\xBB\xBF<fileinfo>";
    std::vector<std::uint64_t> offsets;
    for (int i = 0; i < 20000; ++i) {
        offsets.push_back(text.size());
        text += "<file FileName=\"entry " + std::to_string(i) + "\" Description=\"" + std::string(i % 500, 'd') + "\"/>";
    }
    text += "</fileinfo>";
    ASSERT_GT(text.size(), 4u << 20);  // beyond the reader's first window
    const std::string path = dir / "Big.xml";
    testing::WriteFile(path, text);
    std::vector<std::uint64_t> seen;
    ASSERT_TRUE(ReadCatalogEntries(path, [&](const CatalogEntry& entry) {
        seen.push_back(entry.Offset());
        return true;
    }));
    EXPECT_EQ(seen, offsets);
}

TEST(CatalogReader, AttributesByKeyFirstOfRepeatedNamesUnknownNamesPassedOver)
{
    const std::string text = "<fileinfo><file FileName=\"first\" Extra=\"x\" FileName=\"second\" filename=\"lower\" "
                             "FileNames=\"longer\" SizePercentage=\"12.5\" DiskName=\"Disc\"/></fileinfo>";
    int entries = 0;
    ASSERT_TRUE(ReadCatalogText(text, [&](const CatalogEntry& entry) {
        ++entries;
        EXPECT_EQ(entry.Value(kFileName), "first");
        EXPECT_TRUE(entry.Has(kSizePercentage));
        EXPECT_EQ(entry.Value(kSizePercentage), "12.5");
        EXPECT_EQ(entry.Value(kDiskName), "Disc");
        for (const int key : {kFullPath, kFileSize, kFileTime, kFileExt, kFileType, kDescription, kFileNameLength,
                              kPathNameLength}) {
            EXPECT_FALSE(entry.Has(key)) << kColumnKeys[key];
            EXPECT_EQ(entry.Value(key), "") << kColumnKeys[key];
        }
        return true;
    }));
    EXPECT_EQ(entries, 1);
}

TEST(CatalogReader, ValuesDecodedAndInTheirStoredForm)
{
    const std::string text = "<fileinfo><file FileName=\"a &amp; b&#10;c\tnext\" FullPath=\"raw\\x{FF}byte\" "
                             "Description=\"\\x{5C}x{41}\"/></fileinfo>";
    ASSERT_TRUE(ReadCatalogText(text, [](const CatalogEntry& entry) {
        EXPECT_EQ(entry.Value(kFileName), "a & b\nc next");
        EXPECT_EQ(entry.StoredValue(kFileName), "a & b\nc next");
        EXPECT_EQ(entry.Value(kFullPath), "raw\xFF" "byte");
        EXPECT_EQ(entry.StoredValue(kFullPath), "raw\\x{FF}byte");
        EXPECT_EQ(entry.Value(kDescription), "\\x{41}");
        EXPECT_EQ(entry.StoredValue(kDescription), "\\x{5C}x{41}");
        // Every value taken for an entry stays valid while the others are decoded.
        const std::string_view name = entry.Value(kFileName);
        const std::string_view path = entry.Value(kFullPath);
        entry.Value(kDescription);
        EXPECT_EQ(name, "a & b\nc next");
        EXPECT_EQ(path, "raw\xFF" "byte");
        return true;
    }));
}

TEST(CatalogReader, AStopFromTheVisitorEndsTheReadingAsCancelled)
{
    const std::string text = "<fileinfo><file FileName=\"a\"/><file FileName=\"b\"/><file FileName=\"c\"/></fileinfo>";
    std::vector<std::string> names;
    const Status status = ReadCatalogText(text, [&](const CatalogEntry& entry) {
        names.emplace_back(entry.Value(kFileName));
        return names.size() < 2;
    });
    EXPECT_EQ(status.code(), Status::Code::Cancelled);
    EXPECT_EQ(names, (std::vector<std::string>{"a", "b"}));
}

TEST(CatalogReader, AFaultAfterEntriesFailsWithItsOffsetAndTheCopyGetsEveryByte)
{
    testing::TempDir dir;
    const std::string good = "\xEF\xBB\xBF<?xml version=\"1.0\"?>\r\n<fileinfo><file FileName=\"a\" Odd=\"kept\"/>"
                             "<!-- comment -->  <other/></fileinfo>\n";
    const std::string path = dir / "Good.xml";
    testing::WriteFile(path, good);
    std::string copy;
    int entries = 0;
    ASSERT_TRUE(ReadCatalogEntries(
        path, [&](const CatalogEntry&) { return ++entries, true; }, [&](std::string_view bytes) { copy += bytes; }));
    EXPECT_EQ(copy, good);
    EXPECT_EQ(entries, 2);

    const std::string broken = dir / "Broken.xml";
    testing::WriteFile(broken, "<fileinfo><file FileName=\"a\"/><file FileName=\"b\"></fileinfo>");
    entries = 0;
    const Status status = ReadCatalogEntries(broken, [&](const CatalogEntry&) { return ++entries, true; });
    EXPECT_EQ(status.code(), Status::Code::Failed);
    EXPECT_NE(status.message().find("Broken.xml"), std::string::npos) << status.message();
    EXPECT_NE(status.message().find("offset"), std::string::npos) << status.message();
    EXPECT_EQ(entries, 2);
    EXPECT_EQ(ReadCatalogEntries(dir / "missing.xml", [](const CatalogEntry&) { return true; }).code(),
              Status::Code::Failed);
}

}  // namespace
}  // namespace vellumark
