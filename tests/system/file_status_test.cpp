#include "system/file_status.h"
#include "tests/common/test_support.h"
#include "tests/system/deep_tree.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace vellumark {
namespace {

using testing::MakeDirs;
using testing::TempDir;
using testing::WriteFile;

void SetModified(const std::string& path, std::int64_t seconds, long nanoseconds)
{
    const timespec times[2] = {{static_cast<time_t>(seconds), nanoseconds}, {static_cast<time_t>(seconds), nanoseconds}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
}

TEST(FileStatus, CarriesKindIdentitySizeAndBothTimesToTheNanosecond)
{
    TempDir dir;
    WriteFile(dir / "file", "12345");
    ::chmod((dir / "file").c_str(), 0640);
    SetModified(dir / "file", 1104580800, 123456789);
    struct stat info;
    ASSERT_EQ(::stat((dir / "file").c_str(), &info), 0);

    const auto status = StatusOfPath(dir / "file", FollowLinks::No);
    ASSERT_TRUE(status);
    EXPECT_EQ(status->kind, FileKind::RegularFile);
    EXPECT_EQ(status->permissions, 0640u);
    EXPECT_EQ(status->size, 5u);
    EXPECT_EQ(status->device, info.st_dev);
    EXPECT_EQ(status->inode, info.st_ino);
    EXPECT_EQ(status->modified, (Timestamp{1104580800, 123456789}));
    EXPECT_EQ(status->changed, (Timestamp{info.st_ctim.tv_sec, info.st_ctim.tv_nsec}));

    const int fd = ::open((dir / "file").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(StatusOfOpenFile(fd), status);
    ::close(fd);
    const FolderHandle folder = FolderHandle::Open(dir.Path());
    EXPECT_EQ(StatusIn(folder.Fd(), "file", FollowLinks::No), status);
    EXPECT_EQ(KindOfPath(dir.Path(), FollowLinks::No), FileKind::Directory);
}

TEST(FileStatus, TellsTheSameFileAndAnyChangeToIt)
{
    TempDir dir;
    WriteFile(dir / "file", "12345");
    SetModified(dir / "file", 1104580800, 1);
    ASSERT_EQ(::link((dir / "file").c_str(), (dir / "hard").c_str()), 0);
    const auto before = *StatusOfPath(dir / "file", FollowLinks::Yes);
    EXPECT_EQ(*StatusOfPath(dir / "hard", FollowLinks::Yes), before);

    // One nanosecond is a change.
    SetModified(dir / "file", 1104580800, 2);
    const auto touched = *StatusOfPath(dir / "file", FollowLinks::Yes);
    EXPECT_TRUE(touched.SameFileAs(before));
    EXPECT_NE(touched, before);
    EXPECT_NE(touched.modified, before.modified);

    // A file renamed over the path is another file, even with the same size and time.
    WriteFile(dir / "new", "12345");
    SetModified(dir / "new", 1104580800, 2);
    ASSERT_EQ(::rename((dir / "new").c_str(), (dir / "file").c_str()), 0);
    const auto replaced = *StatusOfPath(dir / "file", FollowLinks::Yes);
    EXPECT_FALSE(replaced.SameFileAs(touched));
    EXPECT_EQ(replaced.size, touched.size);
    EXPECT_EQ(replaced.modified, touched.modified);
}

TEST(FileStatus, LinksAreFollowedOnlyWhenAsked)
{
    TempDir dir;
    WriteFile(dir / "data", "123456");
    MakeDirs(dir / "folder");
    ASSERT_EQ(::symlink("data", (dir / "to-data").c_str()), 0);
    ASSERT_EQ(::symlink("folder", (dir / "to-folder").c_str()), 0);
    ASSERT_EQ(::symlink("/nowhere/at/all", (dir / "dangling").c_str()), 0);

    EXPECT_EQ(StatusOfPath(dir / "to-data", FollowLinks::Yes)->size, 6u);
    const auto link = StatusOfPath(dir / "to-data", FollowLinks::No);
    EXPECT_EQ(link->kind, FileKind::SymbolicLink);
    EXPECT_EQ(link->size, 4u);  // the length of "data"
    EXPECT_EQ(KindOfPath(dir / "to-folder", FollowLinks::Yes), FileKind::Directory);
    EXPECT_EQ(KindOfPath(dir / "to-folder", FollowLinks::No), FileKind::SymbolicLink);

    errno = 0;
    EXPECT_FALSE(StatusOfPath(dir / "dangling", FollowLinks::Yes));
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(KindOfPath(dir / "dangling", FollowLinks::No), FileKind::SymbolicLink);
    EXPECT_TRUE(ExistsWithoutFollowing(dir / "dangling"));
    EXPECT_FALSE(ExistsWithoutFollowing(dir / "missing"));
    EXPECT_FALSE(KindOfPath(dir / "missing", FollowLinks::No));
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    EXPECT_EQ(KindOfPath(dir / "pipe", FollowLinks::No), FileKind::Other);
}

TEST(FileStatus, RealPathResolvesLinksAndDotDot)
{
    TempDir dir;
    MakeDirs(dir / "a/b");
    ASSERT_EQ(::symlink("a/b", (dir / "shortcut").c_str()), 0);
    const std::string real = RealPathOf(dir.Path());
    EXPECT_EQ(RealPathOf(dir / "shortcut/../b/."), real + "/a/b");
    EXPECT_EQ(RealPathOf(dir / "missing"), "");
}

TEST(FileStatus, PathsLongerThanTheSystemAcceptsAreAnswered)
{
    TempDir dir;
    const auto names = testing::ChainNames(40, 200);
    const testing::FolderChain chain(dir.Path(), names);
    chain.WriteFile("deepest", "1234567");
    const std::string& deep = chain.Path();

    EXPECT_EQ(KindOfPath(deep, FollowLinks::No), FileKind::Directory);
    EXPECT_EQ(KindOfPath(deep + "/", FollowLinks::No), FileKind::Directory);
    const auto status = StatusOfPath(deep + "/deepest", FollowLinks::No);
    ASSERT_TRUE(status);
    EXPECT_EQ(status->size, 7u);
    EXPECT_TRUE(ExistsWithoutFollowing(deep + "/deepest"));
    EXPECT_FALSE(ExistsWithoutFollowing(deep + "/missing"));
}

}  // namespace
}  // namespace vellumark
