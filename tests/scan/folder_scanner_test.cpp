#include "scan/folder_scanner.h"
#include "scan/mask_list.h"
#include "services/messages.h"
#include "services/text_format.h"
#include "tests/common/test_support.h"
#include "tests/system/deep_tree.h"
#include "tests/system/fake_volumes.h"
#include "tests/system/permissions_bite.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace vellumark {
namespace {

using testing::MakeDirs;
using testing::TempDir;
using testing::WriteFile;

// The records of a scanned tree by FullPath, with their level and pre-order position.
struct Entry {
    const EntryRecord* record;
    int level;
    std::size_t position;
};

std::map<std::string, Entry> ByFullPath(const CatalogTree& tree)
{
    std::map<std::string, Entry> entries;
    std::size_t position = 0;
    for (CatalogTreeNode* node : tree.PreOrder())
        entries[std::string(node->record.Field(kFullPath))] = {&node->record, node->Level(), position++};
    return entries;
}

std::vector<std::string> FullPaths(const CatalogTree& tree)
{
    std::vector<std::string> paths;
    for (CatalogTreeNode* node : tree.PreOrder())
        paths.emplace_back(node->record.Field(kFullPath));
    return paths;
}

class ScanFolderTest : public ::testing::Test {
protected:
    // The scan's status; what it could not read stays in `outcome`.
    Status Scan(const std::string& folder, bool onlyFolders = false, std::string maskList = {})
    {
        ScanRequest request;
        request.folderPath = folder;
        request.catalogFilePath = "/lib/CatalogLibrary/Mp3/My.Disc.xml";
        request.onlyFolders = onlyFolders;
        request.maskList = std::move(maskList);
        outcome = ScanFolder(tree, request, volumes, progress);
        return outcome.status;
    }

    TempDir dir;
    testing::FakeVolumes volumes;
    testing::RecordingProgress progress;
    CatalogTree tree;
    ScanOutcome outcome;
};

TEST_F(ScanFolderTest, FillsEveryFieldOfEveryEntry)
{
    MakeDirs(dir / "Rock/Live");
    WriteFile(dir / "Rock/a.b.mp3", "12345");
    WriteFile(dir / "Rock/Live/.hidden", "xy");
    WriteFile(dir / "top.txt", "");
    MakeDirs(dir / "my.dir");
    const std::time_t stamp = 1104580800;  // 2005-01-01 12:00:00 UTC
    const timespec times[2] = {{stamp, 0}, {stamp, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (dir / "Rock/a.b.mp3").c_str(), times, 0), 0);

    ASSERT_TRUE(Scan(dir.Path()));
    EXPECT_TRUE(outcome.unreadable.empty());
    ASSERT_EQ(tree.TopLevelCount(), 1);
    const EntryRecord& root = tree.First()->record;
    EXPECT_EQ(root.Field(kFileName), dir.Path());
    EXPECT_EQ(root.Field(kFullPath), dir.Path());
    EXPECT_EQ(root.Field(kFileType), "directory");
    EXPECT_EQ(root.Field(kFileSize), "7");
    EXPECT_EQ(root.Field(kSizePercentage), "100");
    for (int key : {kFileTime, kFileExt, kDescription, kFileNameLength, kPathNameLength})
        EXPECT_EQ(root.Field(key), "") << kColumnKeys[key];
    EXPECT_EQ(root.Field(kDiskName), "My");

    const auto entries = ByFullPath(tree);
    ASSERT_EQ(entries.size(), 7u);
    const EntryRecord& song = *entries.at(dir / "Rock/a.b.mp3").record;
    EXPECT_EQ(song.Field(kFileName), "a.b.mp3");
    EXPECT_EQ(song.Field(kFileSize), "5");
    EXPECT_EQ(song.Field(kFileExt), "mp3");
    EXPECT_EQ(song.Field(kFileType), "file");
    EXPECT_EQ(song.Field(kFileTime), FormatFileTime(stamp));
    EXPECT_EQ(song.Field(kDescription), "");
    EXPECT_EQ(song.Field(kFileNameLength), "7");
    EXPECT_EQ(song.Field(kPathNameLength), std::to_string((dir / "Rock/a.b.mp3").size()));
    EXPECT_EQ(song.Field(kSizePercentage), "71.43");
    EXPECT_EQ(song.Field(kDiskName), "My");

    const EntryRecord& rock = *entries.at(dir / "Rock").record;
    EXPECT_EQ(rock.Field(kFileType), "directory");
    EXPECT_EQ(rock.Field(kFileSize), "7");
    EXPECT_EQ(rock.Field(kFileExt), "");
    EXPECT_FALSE(rock.Field(kFileTime).empty());
    EXPECT_EQ(entries.at(dir / "my.dir").record->Field(kFileExt), "");
    EXPECT_EQ(entries.at(dir / "Rock/Live/.hidden").record->Field(kFileExt), "hidden");
    EXPECT_EQ(entries.at(dir / "Rock/Live/.hidden").level, 3);
    EXPECT_EQ(entries.at(dir / "top.txt").record->Field(kSizePercentage), "0.00");
}

TEST_F(ScanFolderTest, EachDirectorysContentsFollowItDirectly)
{
    // Enough folders that several threads list them; the tree must not depend on which did.
    for (int i = 0; i < 40; ++i) {
        MakeDirs(dir / ("d" + std::to_string(i) + "/sub"));
        WriteFile(dir / ("d" + std::to_string(i) + "/sub/f"), "1");
        WriteFile(dir / ("d" + std::to_string(i) + "/g"), "22");
    }
    ASSERT_TRUE(Scan(dir.Path()));
    const CatalogTreeNode* root = tree.First();
    ASSERT_EQ(root->ChildCount(), 40);
    for (CatalogTreeNode* node : tree.PreOrder()) {
        if (node == root)
            continue;
        const std::string parentPath(node->Parent()->record.Field(kFullPath));
        EXPECT_EQ(node->record.Field(kFullPath), parentPath + "/" + std::string(node->record.Field(kFileName)));
    }
    // Pre-order puts each directory's subtree right after it.
    const auto paths = FullPaths(tree);
    const auto nodes = tree.PreOrder();
    for (std::size_t i = 1; i < paths.size(); ++i) {
        const CatalogTreeNode* node = nodes[i];
        if (node->record.IsDirectory() && node->HasChildren()) {
            EXPECT_EQ(paths[i + 1].rfind(paths[i] + "/", 0), 0u) << paths[i];
        }
    }
    EXPECT_EQ(root->record.Field(kFileSize), "120");
}

TEST_F(ScanFolderTest, LabelledMountRootNamesTheRootAndPrefixesEveryPath)
{
    MakeDirs(dir / "Rock");
    WriteFile(dir / "Rock/a.mp3", "1");
    const std::string mountRoot = dir.Path() + "/";
    volumes.labels[dir.Path()] = "MUSIC";

    ASSERT_TRUE(Scan(mountRoot));
    EXPECT_EQ(FullPaths(tree), (std::vector<std::string>{"MUSIC(" + mountRoot + ")", "MUSIC(" + mountRoot + ")/Rock",
                                                         "MUSIC(" + mountRoot + ")/Rock/a.mp3"}));
    EXPECT_EQ(tree.First()->record.Field(kFileName), "MUSIC(" + mountRoot + ")");
    // DiskName comes from the catalog file, not from the volume.
    EXPECT_EQ(tree.First()->record.Field(kDiskName), "My");
}

TEST_F(ScanFolderTest, UnlabelledMountRootKeepsOneSlashBetweenRootAndPath)
{
    MakeDirs(dir / "Rock");
    WriteFile(dir / "Rock/a.mp3", "1");
    const std::string mountRoot = dir.Path() + "/";
    volumes.labels[dir.Path()] = "";

    ASSERT_TRUE(Scan(mountRoot));
    EXPECT_EQ(FullPaths(tree), (std::vector<std::string>{mountRoot, mountRoot + "Rock", mountRoot + "Rock/a.mp3"}));
    EXPECT_EQ(ByFullPath(tree).at(mountRoot + "Rock").record->Field(kPathNameLength),
              std::to_string(mountRoot.size() + 4));
}

TEST_F(ScanFolderTest, MasksKeepMatchingFilesAndPruneFoldersWithoutThem)
{
    MakeDirs(dir / "music/deep");
    MakeDirs(dir / "docs");
    MakeDirs(dir / "empty");
    for (const char* name : {"song.mp3", "SONG.MP3", "a.b.Mp3", "readme", "song.mp3.bak", "mp3"})
        WriteFile(dir / ("music/" + std::string(name)), "abc");
    WriteFile(dir / "music/deep/x.mp3", "12");
    WriteFile(dir / "docs/letter.doc", "1");

    ASSERT_TRUE(Scan(dir.Path(), false, BuildMaskList({"*.mp3"})));
    std::vector<std::string> names;
    for (CatalogTreeNode* node : tree.PreOrder())
        names.emplace_back(node->record.Field(kFileName));
    std::sort(names.begin() + 1, names.end());
    EXPECT_EQ(names, (std::vector<std::string>{dir.Path(), "SONG.MP3", "a.b.Mp3", "deep", "music", "song.mp3", "x.mp3"}));
    EXPECT_EQ(tree.First()->record.Field(kFileSize), "11");
}

TEST_F(ScanFolderTest, MasksMatchingNothingLeaveAnEmptyTree)
{
    MakeDirs(dir / "sub");
    WriteFile(dir / "sub/a.txt", "1");
    ASSERT_TRUE(Scan(dir.Path(), false, BuildMaskList({"*.mp3"})));
    EXPECT_TRUE(tree.Empty());
}

TEST_F(ScanFolderTest, OnlyFoldersRecordsDirectoriesWithoutSizesOrPercentages)
{
    MakeDirs(dir / "a/b");
    WriteFile(dir / "a/b/song.mp3", "12345");
    WriteFile(dir / "top.txt", "1");
    // Masks are ignored in this mode: nothing is pruned.
    ASSERT_TRUE(Scan(dir.Path(), true, BuildMaskList({"*.avi"})));
    EXPECT_EQ(FullPaths(tree), (std::vector<std::string>{dir.Path(), dir / "a", dir / "a/b"}));
    EXPECT_EQ(tree.First()->record.Field(kFileSize), "");
    for (CatalogTreeNode* node : tree.PreOrder()) {
        EXPECT_EQ(node->record.Field(kSizePercentage), "");
        if (node != tree.First()) {
            EXPECT_EQ(node->record.Field(kFileSize), "0");
        }
    }
}

TEST_F(ScanFolderTest, EmptyFolderAndZeroTotal)
{
    ASSERT_TRUE(Scan(dir.Path()));
    EXPECT_EQ(tree.NodeCount(), 1u);
    EXPECT_EQ(tree.First()->record.Field(kFileSize), "0");
    EXPECT_EQ(tree.First()->record.Field(kSizePercentage), "100");

    WriteFile(dir / "empty1", "");
    WriteFile(dir / "empty2", "");
    ASSERT_TRUE(Scan(dir.Path()));
    EXPECT_EQ(tree.NodeCount(), 3u);  // the previous contents are gone
    EXPECT_EQ(tree.First()->record.Field(kSizePercentage), "100");
    EXPECT_EQ(tree.First()->Child(0)->record.Field(kSizePercentage), "");
}

TEST_F(ScanFolderTest, HostileNamesAreKeptByteForByte)
{
    const std::vector<std::string> names = {"bad\xff\xfe utf8", "ctl\x01\x1f\t\n.txt", "&<>\"'.html", "back\\slash"};
    for (const std::string& name : names)
        WriteFile(dir / name, "1");
    ASSERT_TRUE(Scan(dir.Path()));
    const auto entries = ByFullPath(tree);
    for (const std::string& name : names) {
        ASSERT_TRUE(entries.count(dir / name)) << name;
        const EntryRecord& record = *entries.at(dir / name).record;
        EXPECT_EQ(record.Field(kFileName), name);
        EXPECT_EQ(record.Field(kFileNameLength), std::to_string(name.size()));
    }
    EXPECT_EQ(entries.at(dir / "ctl\x01\x1f\t\n.txt").record->Field(kFileExt), "txt");
}

TEST_F(ScanFolderTest, SymbolicLinksAreRecordedAndNeverFollowed)
{
    MakeDirs(dir / "a/b");
    WriteFile(dir / "a/b/data", "123456");
    ASSERT_EQ(::symlink("..", (dir / "a/b/up").c_str()), 0);        // a cycle
    ASSERT_EQ(::symlink("data", (dir / "a/b/again").c_str()), 0);   // the same bytes twice
    ASSERT_EQ(::symlink("/nowhere", (dir / "a/broken").c_str()), 0);

    ASSERT_TRUE(Scan(dir.Path()));
    const auto entries = ByFullPath(tree);
    EXPECT_EQ(entries.size(), 7u);
    const EntryRecord& up = *entries.at(dir / "a/b/up").record;
    EXPECT_EQ(up.Field(kFileType), "file");
    EXPECT_EQ(up.Field(kFileSize), "2");  // the link's own size: its target text
    EXPECT_EQ(entries.at(dir / "a/b/again").record->Field(kFileSize), "4");
    EXPECT_EQ(entries.at(dir / "a/broken").record->Field(kFileType), "file");
    EXPECT_EQ(tree.First()->record.Field(kFileSize), std::to_string(6 + 2 + 4 + 8));
}

TEST_F(ScanFolderTest, SparseFileOfFiveGibibytesKeepsItsFullSize)
{
    const int fd = ::open((dir / "big.iso").c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 5LL << 30), 0);
    ::close(fd);
    ASSERT_TRUE(Scan(dir.Path()));
    EXPECT_EQ(tree.First()->Child(0)->record.Field(kFileSize), "5368709120");
    EXPECT_EQ(tree.First()->record.Field(kFileSize), "5368709120");
}

TEST_F(ScanFolderTest, TreesDeeperThanThePathLimitAreCataloguedWhole)
{
    // 40 folders of 200 bytes: the deepest paths are about twice as long as the system accepts.
    const auto names = testing::ChainNames(40, 200);
    const testing::FolderChain chain(dir.Path(), names);
    chain.WriteFile("deepest.txt", "12345");
    WriteFile(dir / "top", "1");
    const std::string& deepFolder = chain.Path();
    ASSERT_GT(deepFolder.size(), static_cast<std::size_t>(PATH_MAX));

    ASSERT_TRUE(Scan(dir.Path()));
    EXPECT_TRUE(outcome.unreadable.empty());
    EXPECT_EQ(tree.NodeCount(), 1u + names.size() + 2u);
    const auto entries = ByFullPath(tree);
    ASSERT_TRUE(entries.count(deepFolder + "/deepest.txt"));
    const Entry& deepest = entries.at(deepFolder + "/deepest.txt");
    EXPECT_EQ(deepest.level, static_cast<int>(names.size()) + 1);
    EXPECT_EQ(deepest.record->Field(kFileSize), "5");
    EXPECT_EQ(deepest.record->Field(kFileExt), "txt");
    EXPECT_EQ(deepest.record->Field(kPathNameLength), std::to_string(deepFolder.size() + 12));
    EXPECT_EQ(entries.at(dir / names[0]).record->Field(kFileSize), "5");
    EXPECT_EQ(tree.First()->record.Field(kFileSize), "6");
}

TEST_F(ScanFolderTest, AChainDeeperThanTheDescriptorLimitIsScannedWhole)
{
    const auto names = testing::ChainNames(300, 20);
    const testing::FolderChain chain(dir.Path(), names);
    chain.WriteFile("deepest", "123");
    Status status;
    {
        testing::DescriptorLimit limit(64);
        status = Scan(dir.Path());
    }
    ASSERT_TRUE(status) << status.message();
    EXPECT_TRUE(outcome.unreadable.empty()) << outcome.unreadable.front();
    EXPECT_EQ(tree.NodeCount(), 1u + names.size() + 1u);
    EXPECT_EQ(tree.First()->record.Field(kFileSize), "3");
}

TEST_F(ScanFolderTest, WhatCannotBeReadIsCountedAndTheRestCatalogued)
{
    MakeDirs(dir / "locked/inner");
    WriteFile(dir / "locked/secret", "1");
    MakeDirs(dir / "listable");  // names can be listed, but nothing about them read
    WriteFile(dir / "listable/a", "1");
    WriteFile(dir / "listable/b", "1");
    WriteFile(dir / "kept", "22");
    ASSERT_EQ(::chmod((dir / "locked").c_str(), 0), 0);
    ASSERT_EQ(::chmod((dir / "listable").c_str(), 0444), 0);

    Status status;
    {
        testing::PermissionsBite permissions;
        if (FolderHandle::Open(dir / "locked").IsOpen()) {
            ::chmod((dir / "locked").c_str(), 0755);
            ::chmod((dir / "listable").c_str(), 0755);
            GTEST_SKIP() << "file permissions cannot be made to apply to this process";
        }
        status = Scan(dir.Path());
    }
    ::chmod((dir / "locked").c_str(), 0755);
    ::chmod((dir / "listable").c_str(), 0755);

    ASSERT_TRUE(status) << status.message();
    std::vector<std::string> unreadable = outcome.unreadable;
    std::sort(unreadable.begin(), unreadable.end());
    EXPECT_EQ(unreadable, (std::vector<std::string>{dir / "listable/a", dir / "listable/b", dir / "locked"}));
    const auto entries = ByFullPath(tree);
    EXPECT_EQ(entries.size(), 4u);  // the root, kept, and the two folders without their contents
    EXPECT_TRUE(entries.count(dir / "locked"));
    EXPECT_TRUE(entries.count(dir / "listable"));
    EXPECT_EQ(tree.First()->record.Field(kFileSize), "2");
    EXPECT_EQ(UnreadableEntriesText(outcome.unreadable.size()),
              "3 entries could not be read and are missing from the catalog.");
}

TEST_F(ScanFolderTest, MissingFolderFailsWithTheSystemsText)
{
    const Status status = Scan(dir / "missing");
    EXPECT_EQ(status.code(), Status::Code::Failed);
    EXPECT_NE(status.message().find("No such file"), std::string::npos) << status.message();
}

TEST_F(ScanFolderTest, ShowsProgressAndStopsWhenCancelled)
{
    MakeDirs(dir / "a/b");
    WriteFile(dir / "a/b/f", "1");
    ASSERT_TRUE(Scan(dir.Path()));
    EXPECT_EQ(progress.shows, 1);
    EXPECT_EQ(progress.hides, 1);
    EXPECT_TRUE(progress.lastCancelVisible);
    ASSERT_FALSE(progress.shownMessages.empty());
    EXPECT_EQ(progress.shownMessages.front(), messages::kLoadingInfo);

    progress.cancelAfterMessages = 1;
    EXPECT_EQ(Scan(dir.Path()).code(), Status::Code::Cancelled);
    EXPECT_EQ(progress.hides, 2);
}

}  // namespace
}  // namespace vellumark
