#include "core/catalog_file.h"
#include "core/stored_text.h"
#include "tests/common/test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace vellumark {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

// A record with the given fields, the rest empty.
EntryRecord Record(std::initializer_list<std::pair<int, std::string>> fields)
{
    EntryRecord record;
    for (const auto& [key, value] : fields)
        record.SetField(key, value);
    return record;
}

// What a scan of a small folder gives: a root, a folder, two files.
CatalogTree ScannedTree()
{
    CatalogTree tree;
    CatalogTreeNode* root = tree.Append(nullptr, Record({{kFileName, "/media/cd"}, {kFullPath, "/media/cd"},
                                                         {kFileSize, "3072"}, {kFileType, "directory"},
                                                         {kSizePercentage, "100"}, {kDiskName, "Disc"}}));
    CatalogTreeNode* rock = tree.Append(root, Record({{kFileName, "Rock"}, {kFullPath, "/media/cd/Rock"},
                                                      {kFileSize, "2048"}, {kFileTime, "2004-06-07 13:05:08"},
                                                      {kFileType, "directory"}, {kFileNameLength, "4"},
                                                      {kPathNameLength, "14"}, {kSizePercentage, "66.67"},
                                                      {kDiskName, "Disc"}}));
    tree.Append(rock, Record({{kFileName, "a.mp3"}, {kFullPath, "/media/cd/Rock/a.mp3"}, {kFileSize, "2048"},
                              {kFileTime, "2004-06-07"}, {kFileExt, "mp3"}, {kFileType, "file"},
                              {kDescription, "live & loud"}, {kFileNameLength, "5"}, {kPathNameLength, "20"},
                              {kSizePercentage, "66.67"}, {kDiskName, "Disc"}}));
    tree.Append(root, Record({{kFileName, "readme"}, {kFullPath, "/media/cd/readme"}, {kFileSize, "1024"},
                              {kFileTime, "2004-06-07 13:05:08"}, {kFileType, "file"}, {kFileNameLength, "6"},
                              {kPathNameLength, "16"}, {kSizePercentage, "33.33"}, {kDiskName, "Disc"}}));
    return tree;
}

std::string Dump(const CatalogTree& tree)
{
    std::string out;
    tree.Walk(
        [&](const CatalogTreeNode& node) {
            out += "(";
            for (int key = 0; key < kColumnKeyCount; ++key)
                out += std::string(node.record.Field(key)) + "|";
        },
        [&](const CatalogTreeNode&) { out += ")"; });
    return out;
}

bool XmllintAccepts(const std::string& path)
{
    const std::string command = "xmllint --noout '" + path + "' 2>/dev/null";
    return std::system(command.c_str()) == 0;
}

class CatalogFileTest : public ::testing::Test {
protected:
    Status Save(const CatalogTree& tree, const std::string& path) { return WriteCatalogFile(tree, path, progress); }
    Status Load(const std::string& path, CatalogTree& tree) { return ReadCatalogFile(path, tree, progress); }

    TempDir dir;
    NullProgress progress;
};

TEST_F(CatalogFileTest, SavedFileHasTheDeclarationRootAndAttributesInKeyOrderOnlyWhenSet)
{
    const std::string path = dir / "Disc.xml";
    ASSERT_TRUE(Save(ScannedTree(), path));
    EXPECT_EQ(ReadFile(path),
              "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\"?><fileinfo generated=\"Vellumark\">"
              "<file FileName=\"/media/cd\" FullPath=\"/media/cd\" FileSize=\"3072\" FileType=\"directory\" "
              "SizePercentage=\"100\" DiskName=\"Disc\">"
              "<file FileName=\"Rock\" FullPath=\"/media/cd/Rock\" FileSize=\"2048\" FileTime=\"2004-06-07 13:05:08\" "
              "FileType=\"directory\" FileNameLength=\"4\" PathNameLength=\"14\" SizePercentage=\"66.67\" "
              "DiskName=\"Disc\">"
              "<file FileName=\"a.mp3\" FullPath=\"/media/cd/Rock/a.mp3\" FileSize=\"2048\" FileTime=\"2004-06-07\" "
              "FileExt=\"mp3\" FileType=\"file\" Description=\"live &amp; loud\" FileNameLength=\"5\" "
              "PathNameLength=\"20\" SizePercentage=\"66.67\" DiskName=\"Disc\"/></file>"
              "<file FileName=\"readme\" FullPath=\"/media/cd/readme\" FileSize=\"1024\" "
              "FileTime=\"2004-06-07 13:05:08\" FileType=\"file\" FileNameLength=\"6\" PathNameLength=\"16\" "
              "SizePercentage=\"33.33\" DiskName=\"Disc\"/></file></fileinfo>");
    EXPECT_TRUE(XmllintAccepts(path));
}

TEST_F(CatalogFileTest, EscapedAndUnusualValuesRoundTripThroughAWellFormedFile)
{
    CatalogTree tree = ScannedTree();
    const std::string description = std::string("tab\there\nline\r\nend \"q\" <x> 'a' \\x{41}") + "\x01\xff\xC3\xA9\xEF\xBF\xBE";
    tree.First()->record.SetField(kDescription, description);
    const std::string path = dir / "streamed.xml";
    ASSERT_TRUE(Save(tree, path));
    EXPECT_NE(ReadFile(path).find("Description=\"tab&#09;here&#10;line&#13;&#10;end &quot;q&quot; &lt;x> 'a' "
                                  "\\x{5C}x{41}\\x{01}\\x{FF}\xC3\xA9\\x{EF}\\x{BF}\\x{BE}\""),
              std::string::npos)
        << ReadFile(path);
    EXPECT_TRUE(XmllintAccepts(path));

    CatalogTree loaded;
    ASSERT_TRUE(Load(path, loaded));
    EXPECT_EQ(Dump(loaded), Dump([&] {
                  CatalogTree expected = ScannedTree();
                  expected.First()->record.SetField(kDescription, description);
                  for (CatalogTreeNode* node : expected.PreOrder())
                      node->record.SetField(kDiskName, "streamed");
                  return expected;
              }()));
}

TEST_F(CatalogFileTest, ASaveOfALoadedCatalogGivesTheSameBytes)
{
    const std::string path = dir / "Disc.xml";
    ASSERT_TRUE(Save(ScannedTree(), path));
    const std::string first = ReadFile(path);
    CatalogTree loaded;
    ASSERT_TRUE(Load(path, loaded));
    ASSERT_TRUE(Save(loaded, path));
    EXPECT_EQ(ReadFile(path), first);
    EXPECT_EQ(Dump(loaded), Dump(ScannedTree()));
}

TEST_F(CatalogFileTest, ATreeGivenUpToTheSaveGivesTheSameBytesAndIsFreed)
{
    const std::string kept = dir / "Kept.xml";
    const std::string given = dir / "Given.xml";
    ASSERT_TRUE(Save(ScannedTree(), kept));
    CatalogTree tree = ScannedTree();
    ASSERT_TRUE(WriteCatalogFile(std::move(tree), given, progress));
    EXPECT_EQ(ReadFile(given), ReadFile(kept));
    EXPECT_TRUE(tree.Empty());
    EXPECT_EQ(tree.NodeCount(), 0u);
}

TEST_F(CatalogFileTest, LoaderDefaultsFallbackAndDiskNameRule)
{
    const std::string path = dir / "Disc.old.xml";
    WriteFile(path, "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<!-- made by hand -->"
                    "<catalog><entry FileName=\"Top\" DiskName=\"Other\" Extra=\"x\">"
                    "<file FileName=\"nested\"/><?pi data?>text<file FileName=\"\" FileType=\"file\"/>"
                    "</entry>\n  <file FileName=\"Second\" FullPath=\"\"/></catalog>");
    CatalogTree tree;
    ASSERT_TRUE(Load(path, tree));
    ASSERT_EQ(tree.TopLevelCount(), 2);
    const EntryRecord& top = tree.TopLevel(0)->record;
    EXPECT_EQ(top.Field(kFileType), "directory");
    EXPECT_EQ(top.Field(kFullPath), "Top");
    EXPECT_EQ(top.Field(kDiskName), "Disc");
    ASSERT_EQ(tree.TopLevel(0)->ChildCount(), 2);
    const EntryRecord& nested = tree.TopLevel(0)->Child(0)->record;
    EXPECT_EQ(nested.Field(kFileType), "");
    EXPECT_EQ(nested.Field(kFullPath), "");
    EXPECT_EQ(nested.Field(kDiskName), "Disc");
    EXPECT_EQ(tree.TopLevel(0)->Child(1)->record.Field(kFileType), "file");
    EXPECT_EQ(tree.TopLevel(1)->record.Field(kFullPath), "Second");
}

TEST_F(CatalogFileTest, AFileWithoutEntriesGivesAnEmptyTreeAndAnEmptyTreeSavesTheRootAlone)
{
    const std::string path = dir / "Empty.xml";
    ASSERT_TRUE(Save(CatalogTree(), path));
    EXPECT_EQ(ReadFile(path), "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\"?>"
                              "<fileinfo generated=\"Vellumark\"/>");
    CatalogTree tree = ScannedTree();
    ASSERT_TRUE(Load(path, tree));
    EXPECT_TRUE(tree.Empty());
}

TEST_F(CatalogFileTest, MalformedFilesFailWithAMessageAndLeaveTheTreeAsItWas)
{
    const char* broken[] = {
        "",
        "just text",
        "<fileinfo><file FileName=\"a\"></fileinfo>",
        "<fileinfo><file FileName=\"a></fileinfo>",
        "<fileinfo><file FileName=a/></fileinfo>",
        "<fileinfo><file FileName=\"a&bogus;\"/></fileinfo>",
        "<fileinfo><file FileName=\"a\" FullPath=\"<\"/></fileinfo>",
        "<fileinfo/><fileinfo/>",
        "<fileinfo>",
        "<fileinfo><file FileName=\"&#0;\"/></fileinfo>",
        "<fileinfo></fileinfo>trailing",
        "<fileinfo><!-- never closed </fileinfo>",
    };
    for (const char* text : broken) {
        SCOPED_TRACE(text);
        const std::string path = dir / "Broken.xml";
        WriteFile(path, text);
        CatalogTree tree = ScannedTree();
        const Status status = Load(path, tree);
        EXPECT_EQ(status.code(), Status::Code::Failed);
        EXPECT_NE(status.message().find("Broken.xml"), std::string::npos) << status.message();
        EXPECT_EQ(tree.NodeCount(), 4u);
    }
    CatalogTree tree;
    EXPECT_EQ(Load(dir / "missing.xml", tree).code(), Status::Code::Failed);
}

TEST_F(CatalogFileTest, ALargeFileIsReadAcrossTheReadersWindow)
{
    // Values longer than the reader's window force it to grow and re-read tags.
    CatalogTree tree;
    CatalogTreeNode* root = tree.Append(nullptr, Record({{kFileName, "root"}, {kFileType, "directory"}}));
    const std::string huge(5 << 20, 'h');
    for (int i = 0; i < 3000; ++i)
        tree.Append(root, Record({{kFileName, "f" + std::to_string(i) + "&<>"}, {kFileType, "file"}}));
    root->Child(1500)->record.SetField(kDescription, huge);
    const std::string path = dir / "Large.xml";
    ASSERT_TRUE(Save(tree, path));
    CatalogTree loaded;
    ASSERT_TRUE(Load(path, loaded));
    ASSERT_EQ(loaded.First()->ChildCount(), 3000);
    EXPECT_EQ(loaded.First()->Child(2999)->record.Field(kFileName), "f2999&<>");
    EXPECT_EQ(loaded.First()->Child(1500)->record.Field(kDescription).size(), huge.size());
}

TEST(StoredText, KeepsValidTextAndEscapesOnlyWhatXmlCannotCarry)
{
    EXPECT_EQ(EncodeStoredText("C:\\Music\\Rock"), "C:\\Music\\Rock");
    EXPECT_EQ(EncodeStoredText("caf\xC3\xA9 \xF0\x9F\x8E\xB5 tab\t"), "caf\xC3\xA9 \xF0\x9F\x8E\xB5 tab\t");
    EXPECT_EQ(EncodeStoredText("a\x01" "b"), "a\\x{01}b");
    EXPECT_EQ(EncodeStoredText("latin1 \xE9t\xE9"), "latin1 \\x{E9}t\\x{E9}");
    EXPECT_EQ(EncodeStoredText("\\x{41}"), "\\x{5C}x{41}");
    EXPECT_EQ(EncodeStoredText("\xEF\xBF\xBF"), "\\x{EF}\\x{BF}\\x{BF}");
    EXPECT_EQ(EncodeStoredText("\xED\xA0\x80"), "\\x{ED}\\x{A0}\\x{80}");
    for (std::string raw : {std::string("\\x{41}\\x{zz}\\x{"), std::string("\x00\x1F\x7F\xC0\xAF", 5),
                            std::string("end\\"), std::string("\\x{5C}")})
        EXPECT_EQ(DecodeStoredText(EncodeStoredText(raw)), raw);
    EXPECT_FALSE(NeedsStoredEncoding("plain \\ text"));
    EXPECT_TRUE(NeedsStoredEncoding("\\x{"));
}

TEST_F(CatalogFileTest, EveryByteValueOfANameRoundTripsThroughAWellFormedFile)
{
    std::string allBytes;
    for (int byte = 1; byte < 256; ++byte)
        allBytes += static_cast<char>(byte);
    CatalogTree tree;
    tree.Append(nullptr, Record({{kFileName, allBytes}, {kFullPath, "/x/" + allBytes}}));
    const std::string path = dir / "Bytes.xml";
    ASSERT_TRUE(Save(tree, path));
    EXPECT_TRUE(XmllintAccepts(path));
    CatalogTree loaded;
    ASSERT_TRUE(Load(path, loaded));
    EXPECT_EQ(loaded.First()->record.Field(kFileName), allBytes);
    EXPECT_EQ(loaded.First()->record.Field(kFullPath), "/x/" + allBytes);
}

}  // namespace
}  // namespace vellumark
