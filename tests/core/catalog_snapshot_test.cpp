#include "core/catalog_snapshot.h"

#include "core/catalog_file.h"
#include "tests/common/test_support.h"

#include <gtest/gtest.h>

namespace vellumark {
namespace {

using testing::TempDir;
using testing::WriteFile;

constexpr std::string_view kCatalog =
    "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\"?><fileinfo generated=\"Vellumark\">"
    "<file FileName=\"MUSIC(/media/cd/)\" FileSize=\"12\" Description=\"a &amp; b\" DiskName=\"Other\">"
    "<file FileName=\"a.mp3\" FullPath=\"MUSIC(/media/cd/)/a.mp3\" FileSize=\"12\" FileType=\"file\"/></file></fileinfo>";

TEST(CatalogSnapshot, TheFirstEntryIsReadWithTheLoadersRulesAndNothingBeyondIt)
{
    TempDir dir;
    // Cut off inside the second entry: reading the first does not need the rest.
    const std::string cut = dir / "Disc.2004.xml";
    WriteFile(cut, kCatalog.substr(0, kCatalog.find("FileType=\"file\"")));
    std::optional<EntryRecord> root;
    ASSERT_TRUE(ReadFirstCatalogEntry(cut, root));
    ASSERT_TRUE(root);
    EXPECT_EQ(root->Field(kFileName), "MUSIC(/media/cd/)");
    EXPECT_EQ(root->Field(kFullPath), "MUSIC(/media/cd/)");  // falls back to FileName
    EXPECT_EQ(root->Field(kFileType), "directory");
    EXPECT_EQ(root->Field(kDescription), "a & b");
    EXPECT_EQ(root->Field(kDiskName), "Disc");

    const std::string empty = dir / "Empty.xml";
    WriteFile(empty, "<?xml version=\"1.0\"?><fileinfo generated=\"Vellumark\"/>");
    ASSERT_TRUE(ReadFirstCatalogEntry(empty, root));
    EXPECT_FALSE(root);

    const std::string broken = dir / "Broken.xml";
    WriteFile(broken, "<fileinfo><file FileName=\"x></fileinfo>");
    EXPECT_FALSE(ReadFirstCatalogEntry(broken, root));
    EXPECT_FALSE(ReadFirstCatalogEntry(dir / "Missing.xml", root));
}

TEST(CatalogSnapshot, TheIdentityTellsAReplacedFileFromTheOneRead)
{
    TempDir dir;
    const std::string path = dir / "Disc.xml";
    WriteFile(path, kCatalog);
    CatalogSnapshot snapshot;
    NullProgress progress;
    ASSERT_TRUE(ReadCatalogSnapshot(path, snapshot, progress));
    EXPECT_EQ(snapshot.tree.NodeCount(), 2u);
    ASSERT_TRUE(snapshot.identity);
    EXPECT_TRUE(StatusOfPath(path, FollowLinks::Yes) == snapshot.identity);

    // A save replaces the file by rename, even with the same bytes.
    ASSERT_TRUE(WriteCatalogFile(snapshot.tree, path, progress));
    EXPECT_FALSE(StatusOfPath(path, FollowLinks::Yes) == snapshot.identity);
    EXPECT_FALSE(StatusOfPath(dir / "Missing.xml", FollowLinks::Yes));
}

TEST(CatalogSnapshot, ReadingBesideTheWorkReportsTheWorksFailureFirst)
{
    TempDir dir;
    const std::string path = dir / "Disc.xml";
    WriteFile(path, kCatalog);
    CatalogSnapshot snapshot;
    bool worked = false;
    ASSERT_TRUE(ReadCatalogBeside(path, snapshot, [&] {
        worked = true;
        return Status::Ok();
    }));
    EXPECT_TRUE(worked);
    EXPECT_EQ(snapshot.tree.NodeCount(), 2u);

    CatalogSnapshot missing;
    EXPECT_EQ(ReadCatalogBeside(dir / "Missing.xml", missing, [] { return Status::Ok(); }).code(), Status::Code::Failed);
    EXPECT_EQ(ReadCatalogBeside(dir / "Missing.xml", missing, [] { return Status::Cancelled(); }).code(),
              Status::Code::Cancelled);
}

}  // namespace
}  // namespace vellumark
