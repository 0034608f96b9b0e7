#include "system/folder_listing.h"
#include "tests/common/test_support.h"
#include "tests/system/deep_tree.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <map>

namespace vellumark {
namespace {

using testing::MakeDirs;
using testing::TempDir;
using testing::WriteFile;

std::map<std::string, FolderEntry::Kind> Entries(FolderListing& listing)
{
    std::map<std::string, FolderEntry::Kind> entries;
    while (const FolderEntry* entry = listing.Next())
        EXPECT_TRUE(entries.emplace(std::string(entry->Name()), entry->kind).second) << entry->name;
    return entries;
}

std::size_t OpenDescriptors() { return testing::ListFolder("/proc/self/fd").size(); }

TEST(FolderListing, ListsEveryEntryOnceWithItsKindAndWithoutDotEntries)
{
    TempDir dir;
    MakeDirs(dir / "sub");
    WriteFile(dir / "file.txt", "12345");
    WriteFile(dir / ".hidden", "");
    ASSERT_EQ(::symlink("sub", (dir / "link").c_str()), 0);
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);

    FolderListing listing(dir.Path());
    ASSERT_TRUE(listing.IsOpen());
    const auto entries = Entries(listing);
    EXPECT_EQ(listing.Error(), 0);
    ASSERT_EQ(entries.size(), 5u);
    // A file system may leave the kind to a later stat; one it tells must be right.
    const std::map<std::string, FolderEntry::Kind> expected = {
        {"sub", FolderEntry::Kind::Directory},   {"file.txt", FolderEntry::Kind::RegularFile},
        {".hidden", FolderEntry::Kind::RegularFile}, {"link", FolderEntry::Kind::SymbolicLink},
        {"pipe", FolderEntry::Kind::Other}};
    for (const auto& [name, kind] : expected) {
        ASSERT_TRUE(entries.count(name)) << name;
        EXPECT_TRUE(entries.at(name) == kind || entries.at(name) == FolderEntry::Kind::Unknown) << name;
    }
    EXPECT_EQ(listing.Next(), nullptr);  // stays at the end

    // The descriptor serves the *at calls on the entries.
    struct stat info;
    EXPECT_EQ(::fstatat(listing.Fd(), "file.txt", &info, 0), 0);
    EXPECT_EQ(info.st_size, 5);
}

TEST(FolderListing, OpensInsideAnOpenFolderAndNeverThroughALink)
{
    TempDir dir;
    MakeDirs(dir / "real/inner");
    ASSERT_EQ(::symlink("real", (dir / "link").c_str()), 0);
    const FolderHandle top = FolderHandle::Open(dir.Path());
    ASSERT_TRUE(top.IsOpen());

    FolderListing inside(top.Fd(), "real");
    EXPECT_EQ(Entries(inside), (std::map<std::string, FolderEntry::Kind>{{"inner", FolderEntry::Kind::Directory}}));

    FolderListing throughLink(top.Fd(), "link");
    EXPECT_FALSE(throughLink.IsOpen());
    EXPECT_NE(throughLink.Error(), 0);
    EXPECT_EQ(throughLink.Next(), nullptr);
    EXPECT_FALSE(FolderHandle::Open(dir / "link", FollowLinks::No).IsOpen());
    // A folder chosen by its path may be a link: it is followed unless asked otherwise.
    EXPECT_TRUE(FolderHandle::Open(dir / "link").IsOpen());
}

TEST(FolderListing, SaysWhyAFolderCannotBeListed)
{
    TempDir dir;
    WriteFile(dir / "file", "x");
    FolderListing missing(dir / "missing");
    EXPECT_FALSE(missing.IsOpen());
    EXPECT_EQ(missing.Error(), ENOENT);
    EXPECT_EQ(missing.Fd(), -1);
    EXPECT_EQ(missing.Next(), nullptr);
    FolderListing file(dir / "file");
    EXPECT_EQ(file.Error(), ENOTDIR);
    const FolderHandle none = FolderHandle::OpenIn(-1, "anything");
    EXPECT_EQ(none.Error(), EBADF);
    EXPECT_FALSE(FolderListing(none.Duplicate()).IsOpen());
}

TEST(FolderListing, HandlesAndListingsCloseTheirDescriptors)
{
    TempDir dir;
    MakeDirs(dir / "sub");
    const std::size_t before = OpenDescriptors();
    for (int i = 0; i < 20; ++i) {
        FolderHandle handle = FolderHandle::Open(dir.Path());
        FolderHandle copy = handle.Duplicate();
        ASSERT_TRUE(copy.IsOpen());
        ASSERT_NE(copy.Fd(), handle.Fd());
        FolderHandle moved = std::move(handle);
        EXPECT_FALSE(handle.IsOpen());  // a moved-from handle is empty
        moved = FolderHandle::OpenIn(copy.Fd(), "sub");  // the replaced descriptor is closed
        FolderListing listing(std::move(copy));
        FolderHandle kept = listing.DuplicateHandle();
        while (listing.Next()) {
        }
    }
    EXPECT_EQ(OpenDescriptors(), before);
}

TEST(FolderListing, AHandleFromAListingOutlivesIt)
{
    TempDir dir;
    MakeDirs(dir / "a/b");
    FolderHandle kept;
    {
        FolderListing listing(dir / "a");
        kept = listing.DuplicateHandle();
    }
    ASSERT_TRUE(kept.IsOpen());
    FolderListing below(kept.Fd(), "b");
    EXPECT_TRUE(below.IsOpen());
}

TEST(FolderListing, OpensPathsLongerThanTheSystemAccepts)
{
    TempDir dir;
    const auto names = testing::ChainNames(40, 200);
    const testing::FolderChain chain(dir.Path(), names);
    chain.WriteFile("deepest", "12");
    const std::string& deep = chain.Path();
    ASSERT_GT(deep.size(), static_cast<std::size_t>(PATH_MAX));

    FolderListing listing(deep);
    ASSERT_TRUE(listing.IsOpen()) << listing.Error();
    ASSERT_EQ(Entries(listing).count("deepest"), 1u);
    // Relative, with doubled and trailing slashes, without following the last component.
    ASSERT_EQ(::chdir(dir.Path().c_str()), 0);
    std::string relative = testing::ChainPath(names);
    relative.insert(relative.find('/'), "/");
    EXPECT_TRUE(FolderHandle::Open(relative + "/", FollowLinks::No).IsOpen());
    ASSERT_EQ(::chdir("/"), 0);
    EXPECT_EQ(FolderHandle::Open(deep + "/missing").Error(), ENOENT);
}

}  // namespace
}  // namespace vellumark
