#include "library/library_store.h"
#include "tests/common/test_support.h"
#include "tests/system/deep_tree.h"

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace vellumark {
namespace {

using testing::ListFolder;
using testing::MakeDirs;
using testing::TempDir;
using testing::WriteFile;

struct Row {
    std::string name, fullPath, type, size, percentage, diskName;
    int level;
    bool hasTime;
    bool operator==(const Row&) const = default;
};

std::vector<Row> Rows(const CatalogTree& tree)
{
    std::vector<Row> rows;
    for (CatalogTreeNode* node : tree.PreOrder()) {
        const EntryRecord& r = node->record;
        rows.push_back({std::string(r.Field(kFileName)), std::string(r.Field(kFullPath)), std::string(r.Field(kFileType)),
                        std::string(r.Field(kFileSize)), std::string(r.Field(kSizePercentage)),
                        std::string(r.Field(kDiskName)), node->Level(), !r.Field(kFileTime).empty()});
        for (int key : {kFileExt, kDescription, kFileNameLength, kPathNameLength})
            EXPECT_EQ(r.Field(key), "") << kColumnKeys[key];
    }
    return rows;
}

const Row* Find(const std::vector<Row>& rows, const std::string& fullPath)
{
    for (const Row& row : rows)
        if (row.fullPath == fullPath)
            return &row;
    return nullptr;
}

TEST(CreateDefaultLibrary, CreatesRootAndGroupsOnlyWhenTheRootIsMissing)
{
    TempDir dir;
    const std::string root = dir / "CatalogLibrary";
    ASSERT_TRUE(CreateDefaultLibrary(root));
    EXPECT_EQ(ListFolder(root), (std::vector<std::string>{"Book", "DVD", "Document", "Movie", "Mp3"}));

    ASSERT_EQ(::rmdir((root + "/DVD").c_str()), 0);
    ASSERT_TRUE(CreateDefaultLibrary(root));
    EXPECT_EQ(ListFolder(root), (std::vector<std::string>{"Book", "Document", "Movie", "Mp3"}));

    EXPECT_EQ(CreateDefaultLibrary(dir / "missing/parent/CatalogLibrary").code(), Status::Code::Failed);
}

class LibraryTreeTest : public ::testing::Test {
protected:
    LibraryTreeTest()
    {
        MakeDirs(root + "/Mp3/Rock");
        MakeDirs(root + "/Empty");
        WriteFile(root + "/Mp3/Best of 2004.xml", std::string(300, 'a'));
        WriteFile(root + "/Mp3/Rock/a.b.xml", std::string(100, 'b'));
        WriteFile(root + "/notes.txt", std::string(600, 'c'));
    }
    TempDir dir;
    const std::string root = dir / "CatalogLibrary";
    CatalogTree tree;
};

TEST_F(LibraryTreeTest, RecordsOfGroupsAndCatalogsWithSizesAndPercentages)
{
    ASSERT_TRUE(LoadLibraryTree(tree, root + "/", false));
    const auto rows = Rows(tree);
    ASSERT_EQ(rows.size(), 7u);
    EXPECT_EQ(rows[0], (Row{"CatalogLibrary", root, "directory", "1000", "100", "", 0, false}));
    ASSERT_NE(Find(rows, root + "/Mp3"), nullptr);
    EXPECT_EQ(*Find(rows, root + "/Mp3"), (Row{"Mp3", root + "/Mp3", "directory", "400", "40.00", "", 1, true}));
    EXPECT_EQ(*Find(rows, root + "/Mp3/Rock"), (Row{"Rock", root + "/Mp3/Rock", "directory", "100", "10.00", "", 2, true}));
    EXPECT_EQ(*Find(rows, root + "/Mp3/Best of 2004.xml"),
              (Row{"Best of 2004", root + "/Mp3/Best of 2004.xml", "file", "300", "30.00", "Best of 2004", 2, true}));
    EXPECT_EQ(*Find(rows, root + "/Mp3/Rock/a.b.xml"), (Row{"a", root + "/Mp3/Rock/a.b.xml", "file", "100", "10.00", "a", 3, true}));
    EXPECT_EQ(*Find(rows, root + "/notes.txt"), (Row{"notes", root + "/notes.txt", "file", "600", "60.00", "notes", 1, true}));
    EXPECT_EQ(*Find(rows, root + "/Empty"), (Row{"Empty", root + "/Empty", "directory", "0", "0.00", "", 1, true}));
    // Every record sits directly under its folder's record.
    for (CatalogTreeNode* node : tree.PreOrder())
        if (node->Parent()) {
            EXPECT_EQ(node->record.Field(kFullPath).rfind(std::string(node->Parent()->record.Field(kFullPath)) + "/", 0), 0u);
        }
}

TEST_F(LibraryTreeTest, GroupsOnlyHaveZeroSizesAndOnlyTheRootPercentage)
{
    ASSERT_TRUE(LoadLibraryTree(tree, root, true));
    const auto rows = Rows(tree);
    ASSERT_EQ(rows.size(), 4u);
    for (const Row& row : rows) {
        EXPECT_EQ(row.type, "directory");
        EXPECT_EQ(row.size, "0");
        EXPECT_EQ(row.percentage, row.level == 0 ? "100" : "");
    }
}

TEST_F(LibraryTreeTest, LinksAreNeverEnteredAndMissingRootGivesTheRootAlone)
{
    ASSERT_EQ(::symlink(root.c_str(), (root + "/Mp3/loop").c_str()), 0);
    ASSERT_EQ(::symlink((root + "/notes.txt").c_str(), (root + "/Mp3/linked.xml").c_str()), 0);
    ASSERT_TRUE(LoadLibraryTree(tree, root, false));
    const auto rows = Rows(tree);
    EXPECT_EQ(rows.size(), 8u);
    EXPECT_EQ(Find(rows, root + "/Mp3/loop"), nullptr);
    ASSERT_NE(Find(rows, root + "/Mp3/linked.xml"), nullptr);
    EXPECT_EQ(Find(rows, root + "/Mp3/linked.xml")->size, "600");

    ASSERT_TRUE(LoadLibraryTree(tree, dir / "nowhere", false));
    EXPECT_EQ(Rows(tree), (std::vector<Row>{{"CatalogLibrary", dir / "nowhere", "directory", "0", "100", "", 0, false}}));
}

TEST_F(LibraryTreeTest, GroupsNestedBeyondThePathLimitAreListedWhole)
{
    const auto names = testing::ChainNames(40, 200);
    const testing::FolderChain chain(root + "/Empty", names);
    chain.WriteFile("Deep.Disc.xml", std::string(1000, 'd'));
    const std::string deepest = chain.Path() + "/Deep.Disc.xml";
    ASSERT_GT(deepest.size(), static_cast<std::size_t>(PATH_MAX));

    ASSERT_TRUE(LoadLibraryTree(tree, root, false));
    const auto rows = Rows(tree);
    EXPECT_EQ(rows.size(), 7u + names.size() + 1u);
    ASSERT_NE(Find(rows, deepest), nullptr);
    EXPECT_EQ(*Find(rows, deepest), (Row{"Deep", deepest, "file", "1000", "50.00", "Deep", static_cast<int>(names.size()) + 2, true}));
    EXPECT_EQ(Find(rows, root + "/Empty")->size, "1000");
    EXPECT_EQ(rows[0].size, "2000");
}

}  // namespace
}  // namespace vellumark
