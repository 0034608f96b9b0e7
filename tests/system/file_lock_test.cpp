#include "system/file_lock.h"
#include "tests/common/test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <thread>

namespace vellumark {
namespace {

using testing::TempDir;
using testing::WriteFile;

ino_t InodeOf(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

// Waits until /proc/locks shows someone waiting for a lock on the file of that inode.
bool SomeoneComesToWait(ino_t inode)
{
    const std::string wanted = ":" + std::to_string(inode) + " ";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
        std::ifstream locks("/proc/locks");
        for (std::string line; std::getline(locks, line);)
            if (line.find("->") != std::string::npos && line.find(wanted) != std::string::npos)
                return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

TEST(FileLock, TwoOpenFilesOfOneProcessExcludeEachOtherAndTheLockGoesWithItsFile)
{
    TempDir dir;
    const std::string path = dir / "Disc.xml";
    WriteFile(path, "x");
    const int first = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    const int second = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_TRUE(LockWholeFile(first, LockMode::Exclusive, false));
    EXPECT_FALSE(LockWholeFile(second, LockMode::Shared, false));
    EXPECT_EQ(errno, EAGAIN);
    // Closing another descriptor of the file does not drop it (a process-wide lock would go).
    ::close(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    EXPECT_FALSE(LockWholeFile(second, LockMode::Shared, false));
    ::close(first);
    EXPECT_TRUE(LockWholeFile(second, LockMode::Shared, false));
    ::close(second);
}

TEST(FileLock, AWaiterWhoseFileWasReplacedLocksTheFileThePathNamesNow)
{
    TempDir dir;
    const std::string path = dir / "Disc.xml";
    WriteFile(path, "old");
    std::optional<FileLock> held(FileLock::OnPath(path));
    ASSERT_TRUE(held->IsHeld());
    EXPECT_EQ(held->Identity().inode, InodeOf(path));

    FileLock waiter;
    std::thread waiting([&] { waiter = FileLock::OnPath(path); });
    ASSERT_TRUE(SomeoneComesToWait(InodeOf(path)));
    // A save replaces the file by rename while the other waits for the old one.
    WriteFile(dir / "new", "new");
    ASSERT_EQ(::rename((dir / "new").c_str(), path.c_str()), 0);
    held.reset();
    waiting.join();
    ASSERT_TRUE(waiter.IsHeld());
    EXPECT_EQ(waiter.Identity().inode, InodeOf(path));
    EXPECT_EQ(waiter.Identity().size, 3u);
}

TEST(FileLock, NothingIsHeldWhereNoFileIsOrNoneMayBeWritten)
{
    TempDir dir;
    const FileLock missing = FileLock::OnPath(dir / "missing.xml");
    EXPECT_FALSE(missing.IsHeld());
    EXPECT_EQ(missing.Error(), ENOENT);
    EXPECT_FALSE(FileLock::OnPath(dir.Path()).IsHeld());
    ASSERT_EQ(::mkfifo((dir / "pipe.xml").c_str(), 0600), 0);
    const FileLock pipe = FileLock::OnPath(dir / "pipe.xml");  // opened without hanging
    EXPECT_FALSE(pipe.IsHeld());
    if (::geteuid() != 0) {
        WriteFile(dir / "read-only.xml", "x");
        ::chmod((dir / "read-only.xml").c_str(), 0444);
        const FileLock readOnly = FileLock::OnPath(dir / "read-only.xml");
        EXPECT_FALSE(readOnly.IsHeld());
        EXPECT_EQ(readOnly.Error(), EACCES);
    }
}

}  // namespace
}  // namespace vellumark
