// The save of one edit when another writer may have saved the catalog since it was read.
#include "core/catalog_edit.h"

#include "core/catalog_file.h"
#include "core/catalog_snapshot.h"
#include "core/entry_edit.h"
#include "tests/common/test_support.h"

#include <gtest/gtest.h>

namespace vellumark {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

constexpr std::string_view kCatalog =
    "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\"?><fileinfo generated=\"Vellumark\">"
    "<file FileName=\"Disc\" FullPath=\"/media/Disc\">"
    "<file FileName=\"a.mp3\" FullPath=\"/media/Disc/a.mp3\" FileType=\"file\"/>"
    "<file FileName=\"b\" FullPath=\"/media/Disc/b\" FileType=\"directory\">"
    "<file FileName=\"c.mp3\" FullPath=\"/media/Disc/b/c.mp3\" FileType=\"file\"/></file>"
    "<file FileName=\"a.mp3\" FullPath=\"/media/Disc/a.mp3\" FileType=\"file\"/></file></fileinfo>";

class CatalogEditTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WriteFile(path, kCatalog);
        ASSERT_TRUE(ReadCatalogSnapshot(path, shown, progress));
    }

    // What a window does with the edit: applies it to the tree it shows, remembers it for the save.
    EntryEdit EditShown(const std::string& entryPath, int key, const std::string& text)
    {
        ApplyEntryEdit(*FindEntryByFullPath(shown.tree, entryPath), key, text);
        return {entryPath, key, text};
    }

    // Another program saves the catalog meanwhile.
    void SavedElsewhere(const std::string& entryPath, const std::string& description)
    {
        const EntryEdit edit{entryPath, kDescription, description};
        ASSERT_TRUE(EditCatalogFile(path, {&edit, 1}, progress));
    }

    CatalogTree FileContent()
    {
        CatalogTree tree;
        EXPECT_TRUE(ReadCatalogFile(path, tree, progress));
        return tree;
    }

    static std::string_view DescriptionOf(const CatalogTree& tree, const std::string& entryPath)
    {
        const CatalogTreeNode* node = FindEntryByFullPath(tree, entryPath);
        return node ? node->record.Field(kDescription) : std::string_view("<gone>");
    }

    TempDir dir;
    std::string path = dir / "Disc.xml";
    NullProgress progress;
    CatalogSnapshot shown;
};

TEST_F(CatalogEditTest, TheFirstEntryInPreOrderWithThePathIsTheOneEdited)
{
    const EntryEdit edit{"/media/Disc/a.mp3", kDescription, "first of two"};
    ASSERT_TRUE(EditCatalogFile(path, {&edit, 1}, progress));
    const CatalogTree tree = FileContent();
    EXPECT_EQ(tree.First()->Child(0)->record.Field(kDescription), "first of two");
    EXPECT_EQ(tree.First()->Child(2)->record.Field(kDescription), "");

    const EntryEdit missing{"/media/Disc/z.mp3", kDescription, "x"};
    const std::string before = ReadFile(path);
    const Status refused = EditCatalogFile(path, {&missing, 1}, progress);
    EXPECT_EQ(refused.code(), Status::Code::Invalid);
    EXPECT_NE(refused.message().find("/media/Disc/z.mp3"), std::string::npos);
    EXPECT_EQ(ReadFile(path), before);
    EXPECT_EQ(EditCatalogFile(dir / "gone.xml", {&edit, 1}, progress).code(), Status::Code::Invalid);
}

TEST_F(CatalogEditTest, AnUnchangedFileGetsTheShownTreeAndTheIdentityFollowsTheSave)
{
    const EntryEdit edit = EditShown("/media/Disc/b/c.mp3", kDescription, "mine");
    CatalogSaveOutcome outcome;
    ASSERT_TRUE(SaveCatalogEdits(path, shown.tree, shown.identity, {&edit, 1}, outcome, progress));
    EXPECT_FALSE(outcome.reread);
    EXPECT_TRUE(outcome.fresh.Empty());
    EXPECT_EQ(DescriptionOf(FileContent(), "/media/Disc/b/c.mp3"), "mine");
    ASSERT_TRUE(outcome.identity);
    EXPECT_TRUE(outcome.identity == StatusOfPath(path, FollowLinks::Yes));

    // The next save compares with the file as this one wrote it.
    const EntryEdit next = EditShown("/media/Disc/b", kDescription, "folder");
    CatalogSaveOutcome again;
    ASSERT_TRUE(SaveCatalogEdits(path, shown.tree, outcome.identity, {&next, 1}, again, progress));
    EXPECT_FALSE(again.reread);
}

TEST_F(CatalogEditTest, AFileSavedElsewhereIsReadAgainAndTheEditsLandOnTheFreshContent)
{
    SavedElsewhere("/media/Disc/b/c.mp3", "theirs");
    // A rename and then an edit of the renamed entry, as the window made them one after the other.
    const EntryEdit rename = EditShown("/media/Disc/b", kFileName, "bee");
    const EntryEdit renamedFile = EditShown("/media/Disc/bee/c.mp3", kFileName, "see.mp3");
    const EntryEdit edits[] = {rename, renamedFile};
    CatalogSaveOutcome outcome;
    ASSERT_TRUE(SaveCatalogEdits(path, shown.tree, shown.identity, edits, outcome, progress));
    EXPECT_TRUE(outcome.reread);
    EXPECT_EQ(DescriptionOf(outcome.fresh, "/media/Disc/bee/see.mp3"), "theirs");
    const CatalogTree written = FileContent();
    EXPECT_EQ(DescriptionOf(written, "/media/Disc/bee/see.mp3"), "theirs");
    EXPECT_EQ(written.First()->Child(1)->record.Field(kFileName), "bee");
    ASSERT_TRUE(outcome.identity);
    EXPECT_TRUE(outcome.identity == StatusOfPath(path, FollowLinks::Yes));
}

TEST_F(CatalogEditTest, AnEditWhoseEntryIsGoneIsRefusedAndTheFreshContentHandedBack)
{
    // Elsewhere the folder was renamed: the entry the window edited is no longer there.
    const EntryEdit theirs{"/media/Disc/b", kFileName, "renamed"};
    ASSERT_TRUE(EditCatalogFile(path, {&theirs, 1}, progress));
    const std::string before = ReadFile(path);

    const EntryEdit kept = EditShown("/media/Disc/a.mp3", kDescription, "applies");
    const EntryEdit lost = EditShown("/media/Disc/b/c.mp3", kDescription, "lost");
    const EntryEdit edits[] = {kept, lost};
    CatalogSaveOutcome outcome;
    const Status refused = SaveCatalogEdits(path, shown.tree, shown.identity, edits, outcome, progress);
    EXPECT_EQ(refused.code(), Status::Code::Invalid);
    EXPECT_NE(refused.message().find("/media/Disc/b/c.mp3"), std::string::npos) << refused.message();
    EXPECT_EQ(ReadFile(path), before);
    EXPECT_TRUE(outcome.reread);
    // As found: neither edit, the other writer's rename.
    EXPECT_EQ(DescriptionOf(outcome.fresh, "/media/Disc/a.mp3"), "");
    EXPECT_EQ(DescriptionOf(outcome.fresh, "/media/Disc/renamed/c.mp3"), "");
    EXPECT_TRUE(outcome.identity == StatusOfPath(path, FollowLinks::Yes));
}

}  // namespace
}  // namespace vellumark
