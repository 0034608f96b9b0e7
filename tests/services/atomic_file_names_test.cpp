// The temporary files of AtomicFile: short names of fixed length, a commit that never replaces,
// and the tell-tale lock that separates a live writer's file from a dead one's.
#include "services/atomic_file.h"
#include "tests/common/test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vellumark {
namespace {

using testing::ListFolder;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

TEST(AtomicFileNames, TheTemporaryNameIsShortOfFixedLengthAndRecognised)
{
    TempDir dir;
    for (const std::string& name : {std::string("a"), std::string(255, 'n'), std::string(".") + std::string(254, 'h')}) {
        const std::string path = dir / name;
        AtomicFile file(path);
        ASSERT_TRUE(file.Open()) << name.size();
        const std::string temporary = file.TemporaryPath().substr(dir.Path().size() + 1);
        EXPECT_EQ(temporary.size(), 16u);
        EXPECT_TRUE(IsTemporaryFileName(temporary)) << temporary;
        ASSERT_TRUE(file.Write("first"));
        ASSERT_TRUE(file.Commit());
        // A name of the longest length the file system takes is written and replaced alike.
        ASSERT_TRUE(WriteFileAtomically(path, "second")) << name.size();
        EXPECT_EQ(ReadFile(path), "second");
    }
    EXPECT_EQ(ListFolder(dir.Path()).size(), 3u);

    for (const char* other : {".vm-abcdefgh.tmp.xml", ".vm-ABCDEFGH.tmp", ".vm-abcdefg.tmp", "x.vm-abcdefgh.tmp",
                              ".vm-abcd-fgh.tmp", ".Disc.xml.tmp-123-0", "vm-abcdefgh.tmp", ""})
        EXPECT_FALSE(IsTemporaryFileName(other)) << other;
    EXPECT_TRUE(IsTemporaryFileName(".vm-0a1b2c3d.tmp"));
}

TEST(AtomicFileNames, ACommitWithoutReplacingKeepsWhatIsThereAndSaysSo)
{
    TempDir dir;
    const std::string path = dir / "Disc.xml";
    {
        AtomicFile file(path);
        ASSERT_TRUE(file.Open());
        file.Write("first");
        ASSERT_TRUE(file.CommitWithoutReplacing());
    }
    // The target appears between the opening and the commit: the rename decides.
    AtomicFile late(path);
    ASSERT_TRUE(late.Open());
    late.Write("second");
    WriteFile(path, "appeared meanwhile");
    const Status refused = late.CommitWithoutReplacing();
    EXPECT_EQ(refused.code(), Status::Code::Exists);
    EXPECT_NE(refused.message().find(path), std::string::npos) << refused.message();
    EXPECT_EQ(ReadFile(path), "appeared meanwhile");
    EXPECT_EQ(ListFolder(dir.Path()), std::vector<std::string>{"Disc.xml"});

    // A link leading nowhere takes the name as well.
    const std::string dangling = dir / "link.xml";
    ASSERT_EQ(::symlink("nowhere", dangling.c_str()), 0);
    AtomicFile overLink(dangling);
    ASSERT_TRUE(overLink.Open());
    EXPECT_EQ(overLink.CommitWithoutReplacing().code(), Status::Code::Exists);
    struct stat info {};
    ASSERT_EQ(::lstat(dangling.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
}

TEST(AtomicFileNames, ANoReplaceScopeMakesEveryCommitOnItsThreadKeepTheTarget)
{
    TempDir dir;
    const std::string path = dir / "out.csv";
    WriteFile(path, "old");
    {
        NoReplaceScope outer;
        {
            NoReplaceScope inner;
            EXPECT_EQ(WriteFileAtomically(path, "new").code(), Status::Code::Exists);
        }
        // The inner scope's end does not end the outer one.
        EXPECT_EQ(WriteFileAtomically(path, "new").code(), Status::Code::Exists);
        EXPECT_TRUE(WriteFileAtomically(dir / "fresh.csv", "fresh"));
    }
    EXPECT_EQ(ReadFile(path), "old");
    ASSERT_TRUE(WriteFileAtomically(path, "new"));
    EXPECT_EQ(ReadFile(path), "new");
}

TEST(AtomicFileNames, OnlyATemporaryFileNoWriterHoldsIsRemovedAsStale)
{
    TempDir dir;
    const int folder = ::open(dir.Path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(folder, 0);

    // Left by a writer that died: nobody holds its lock.
    WriteFile(dir / ".vm-deadbeef.tmp", "<fileinfo/>");
    EXPECT_TRUE(RemoveStaleTemporaryFile(folder, ".vm-deadbeef.tmp"));
    EXPECT_TRUE(ListFolder(dir.Path()).empty());

    // A writer at work holds it, even in this very process.
    AtomicFile live(dir / "Disc.xml");
    ASSERT_TRUE(live.Open());
    const std::string name = live.TemporaryPath().substr(dir.Path().size() + 1);
    EXPECT_FALSE(RemoveStaleTemporaryFile(folder, name.c_str()));
    live.Write("whole");
    ASSERT_TRUE(live.Commit());
    EXPECT_EQ(ReadFile(dir / "Disc.xml"), "whole");

    // Whatever else sits under such a name is neither waited for nor removed.
    ASSERT_EQ(::mkfifo((dir / ".vm-fifofifo.tmp").c_str(), 0600), 0);
    EXPECT_FALSE(RemoveStaleTemporaryFile(folder, ".vm-fifofifo.tmp"));
    ASSERT_EQ(::symlink("Disc.xml", (dir / ".vm-linklink.tmp").c_str()), 0);
    EXPECT_FALSE(RemoveStaleTemporaryFile(folder, ".vm-linklink.tmp"));
    EXPECT_FALSE(RemoveStaleTemporaryFile(folder, ".vm-missing0.tmp"));
    EXPECT_EQ(ListFolder(dir.Path()).size(), 3u);
    ::close(folder);
}

}  // namespace
}  // namespace vellumark
