#include "library/library_ops.h"
#include "library/library_paths.h"
#include "tests/common/test_support.h"
#include "tests/system/deep_tree.h"

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <set>

namespace vellumark {
namespace {

using testing::ListFolder;
using testing::MakeDirs;
using testing::PathExists;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

class NoVolumes final : public VolumeInfo {
public:
    std::set<std::string> roots;
    bool IsMountRoot(std::string_view path) const override { return roots.count(std::string(path)) > 0; }
    std::string LabelOf(std::string_view) const override { return {}; }
    std::vector<std::string> MountRoots() const override { return {roots.begin(), roots.end()}; }
};

class LibraryOpsTest : public ::testing::Test {
protected:
    LibraryOpsTest()
    {
        MakeDirs(root + "/Mp3/Rock");
        MakeDirs(root + "/DVD");
        WriteFile(root + "/Mp3/a.xml", "catalog a");
        WriteFile(root + "/DVD/a.xml", "other a");
    }
    TempDir dir;
    const std::string root = dir / "CatalogLibrary";
    NoVolumes volumes;
};

TEST_F(LibraryOpsTest, CreateGroupRefusesATakenName)
{
    EXPECT_TRUE(CreateGroup(root + "/Games"));
    EXPECT_EQ(CreateGroup(root + "/Games").code(), Status::Code::Exists);
    EXPECT_EQ(CreateGroup(root + "/Mp3/a.xml").code(), Status::Code::Exists);
    EXPECT_EQ(CreateGroup(root + "/missing/x").code(), Status::Code::Failed);
}

TEST_F(LibraryOpsTest, RenameNeverOverwrites)
{
    WriteFile(root + "/Mp3/b.xml", "catalog b");
    EXPECT_EQ(RenameLibraryItem(root + "/Mp3/a.xml", root + "/Mp3/b.xml").code(), Status::Code::Exists);
    EXPECT_EQ(ReadFile(root + "/Mp3/a.xml"), "catalog a");
    EXPECT_EQ(ReadFile(root + "/Mp3/b.xml"), "catalog b");
    EXPECT_EQ(RenameLibraryItem(root + "/Mp3", root + "/DVD").code(), Status::Code::Exists);
    EXPECT_TRUE(PathExists(root + "/Mp3/Rock"));

    EXPECT_TRUE(RenameLibraryItem(root + "/Mp3/a.xml", root + "/Mp3/c.xml"));
    EXPECT_EQ(ReadFile(root + "/Mp3/c.xml"), "catalog a");
    EXPECT_FALSE(PathExists(root + "/Mp3/a.xml"));
    EXPECT_TRUE(RenameLibraryItem(root + "/Mp3/c.xml", root + "/Mp3/c.xml"));
    EXPECT_EQ(RenameLibraryItem(root + "/Mp3/gone.xml", root + "/Mp3/d.xml").code(), Status::Code::Failed);
}

TEST_F(LibraryOpsTest, MoveKeepsTheNameAndRefusesClashesAndCycles)
{
    EXPECT_EQ(MoveLibraryItem(root + "/Mp3/a.xml", root + "/DVD").code(), Status::Code::Exists);
    EXPECT_EQ(ReadFile(root + "/DVD/a.xml"), "other a");
    EXPECT_EQ(MoveLibraryItem(root + "/Mp3", root + "/Mp3").code(), Status::Code::Invalid);
    EXPECT_EQ(MoveLibraryItem(root + "/Mp3", root + "/Mp3/Rock").code(), Status::Code::Invalid);
    EXPECT_EQ(MoveLibraryItem(root + "/Mp3/", root + "/Mp3/Rock/").code(), Status::Code::Invalid);
    EXPECT_EQ(MoveLibraryItem(root + "/Mp3", root + "/DVD/a.xml").code(), Status::Code::Invalid);
    EXPECT_EQ(ListFolder(root), (std::vector<std::string>{"DVD", "Mp3"}));

    // A group whose name begins like another's is no descendant of it.
    MakeDirs(root + "/Mp3x");
    EXPECT_TRUE(MoveLibraryItem(root + "/Mp3", root + "/Mp3x"));
    EXPECT_TRUE(PathExists(root + "/Mp3x/Mp3/Rock"));
    EXPECT_TRUE(MoveLibraryItem(root + "/Mp3x/Mp3/a.xml", root));
    EXPECT_EQ(ReadFile(root + "/a.xml"), "catalog a");
}

TEST_F(LibraryOpsTest, DeleteRemovesReadOnlyEntriesAndOnlyTheLinkOfALink)
{
    TempDir outside;
    WriteFile(outside / "precious", "keep me");
    WriteFile(root + "/Mp3/Rock/locked.xml", "x");
    ASSERT_EQ(::chmod((root + "/Mp3/Rock/locked.xml").c_str(), 0444), 0);
    ASSERT_EQ(::chmod((root + "/Mp3/Rock").c_str(), 0555), 0);
    ASSERT_EQ(::symlink(outside.Path().c_str(), (root + "/Mp3/out").c_str()), 0);
    ASSERT_EQ(::symlink((outside / "precious").c_str(), (root + "/Mp3/file-link").c_str()), 0);

    ASSERT_TRUE(DeleteFolderTree(root + "/Mp3", volumes));
    EXPECT_FALSE(PathExists(root + "/Mp3"));
    EXPECT_EQ(ReadFile(outside / "precious"), "keep me");
    EXPECT_EQ(ListFolder(outside.Path()), (std::vector<std::string>{"precious"}));

    // A link given as the group itself is removed, its target left alone.
    ASSERT_EQ(::symlink(outside.Path().c_str(), (root + "/Linked").c_str()), 0);
    ASSERT_TRUE(DeleteFolderTree(root + "/Linked", volumes));
    EXPECT_FALSE(PathExists(root + "/Linked"));
    EXPECT_TRUE(PathExists(outside / "precious"));
}

TEST_F(LibraryOpsTest, DeleteEmptiesAMountRootButKeepsIt)
{
    MakeDirs(root + "/DVD/inner");
    volumes.roots.insert(root + "/DVD");
    ASSERT_TRUE(DeleteFolderTree(root + "/DVD/", volumes));
    EXPECT_TRUE(PathExists(root + "/DVD"));
    EXPECT_TRUE(ListFolder(root + "/DVD").empty());

    MakeDirs(root + "/Mp3/Rock/disc");
    volumes.roots.insert(root + "/Mp3/Rock/disc");
    WriteFile(root + "/Mp3/Rock/disc/track", "1");
    EXPECT_EQ(DeleteFolderTree(root + "/Mp3", volumes).code(), Status::Code::Failed);  // its parent cannot go
    EXPECT_TRUE(PathExists(root + "/Mp3/Rock/disc"));
    EXPECT_FALSE(PathExists(root + "/Mp3/Rock/disc/track"));
    EXPECT_FALSE(PathExists(root + "/Mp3/a.xml"));
}

TEST_F(LibraryOpsTest, DeleteRemovesTreesDeeperThanThePathLimit)
{
    // A group holding 40 nested groups of 200-byte names, with catalogs halfway and at the bottom.
    const auto names = testing::ChainNames(40, 200);
    const std::vector<std::string> upper(names.begin(), names.begin() + 20), lower(names.begin() + 20, names.end());
    const testing::FolderChain upperChain(root + "/Mp3/Rock", upper);
    upperChain.WriteFile("half.xml", "x");
    const testing::FolderChain lowerChain(upperChain.Path(), lower);
    lowerChain.WriteFile("deep.xml", "x");
    ASSERT_TRUE(ExistsWithoutFollowing(lowerChain.Path() + "/deep.xml"));

    // A group deep inside, named by a path longer than the system accepts, goes alone.
    const std::string deepGroup = root + "/Mp3/Rock/" + testing::ChainPath({names.begin(), names.begin() + 30});
    ASSERT_GT(deepGroup.size(), static_cast<std::size_t>(PATH_MAX));
    ASSERT_TRUE(DeleteFolderTree(deepGroup, volumes));
    EXPECT_FALSE(ExistsWithoutFollowing(deepGroup));
    EXPECT_EQ(KindOfPath(root + "/Mp3/Rock/" + testing::ChainPath({names.begin(), names.begin() + 29}), FollowLinks::No),
              FileKind::Directory);

    ASSERT_TRUE(DeleteFolderTree(root + "/Mp3", volumes));
    EXPECT_FALSE(PathExists(root + "/Mp3"));
    EXPECT_EQ(ListFolder(root), (std::vector<std::string>{"DVD"}));
}

TEST_F(LibraryOpsTest, DeleteHoldsFewDescriptorsAtAnyDepth)
{
    const testing::FolderChain chain(root + "/DVD", testing::ChainNames(300, 20));
    chain.WriteFile("deep.xml", "x");
    Status status;
    {
        testing::DescriptorLimit limit(64);
        status = DeleteFolderTree(root + "/DVD", volumes);
    }
    EXPECT_TRUE(status) << status.message();
    EXPECT_FALSE(PathExists(root + "/DVD"));
}

TEST_F(LibraryOpsTest, DeleteReportsAMissingFolderAndCatalog)
{
    const Status folder = DeleteFolderTree(root + "/missing", volumes);
    EXPECT_EQ(folder.code(), Status::Code::Failed);
    EXPECT_NE(folder.message().find("No such file"), std::string::npos);
    EXPECT_TRUE(DeleteCatalogFile(root + "/Mp3/a.xml"));
    EXPECT_FALSE(PathExists(root + "/Mp3/a.xml"));
    EXPECT_EQ(DeleteCatalogFile(root + "/Mp3/a.xml").code(), Status::Code::Failed);
    EXPECT_EQ(DeleteCatalogFile(root + "/Mp3").code(), Status::Code::Failed);
    EXPECT_TRUE(PathExists(root + "/Mp3/Rock"));
}

TEST_F(LibraryOpsTest, ResolveAcceptsPathsInsideTheLibrary)
{
    EXPECT_EQ(ResolveLibraryItem(root, ".").path, root);
    EXPECT_EQ(ResolveLibraryItem(root, "").path, root);
    EXPECT_EQ(ResolveLibraryItem(root + "/", "Mp3/a.xml").path, root + "/Mp3/a.xml");
    EXPECT_EQ(ResolveLibraryItem(root, "./Mp3//Rock/").path, root + "/Mp3/Rock");
    EXPECT_EQ(ResolveLibraryItem(root, root + "/DVD").path, root + "/DVD");
    const ResolvedItem notYet = ResolveLibraryItem(root, "Mp3/New.xml");
    EXPECT_TRUE(notYet.status);
    EXPECT_EQ(notYet.path, root + "/Mp3/New.xml");
    // A link that stays inside the library is fine.
    ASSERT_EQ(::symlink((root + "/DVD").c_str(), (root + "/Mp3/dvd-link").c_str()), 0);
    EXPECT_TRUE(ResolveLibraryItem(root, "Mp3/dvd-link/a.xml").status);
}

TEST_F(LibraryOpsTest, ResolveRefusesEverythingThatLeavesTheLibrary)
{
    TempDir outside;
    ASSERT_EQ(::symlink(outside.Path().c_str(), (root + "/Mp3/out").c_str()), 0);
    for (const std::string& item : {std::string(".."), std::string("Mp3/../../x"), std::string("../CatalogLibrary/Mp3"),
                                    outside.Path(), std::string("/etc/passwd"), std::string("Mp3/out"),
                                    std::string("Mp3/out/new.xml"), dir.Path(), root + "x/a.xml"}) {
        const ResolvedItem resolved = ResolveLibraryItem(root, item);
        EXPECT_EQ(resolved.status.code(), Status::Code::Invalid) << item;
        EXPECT_TRUE(resolved.path.empty()) << item;
    }
}

}  // namespace
}  // namespace vellumark
