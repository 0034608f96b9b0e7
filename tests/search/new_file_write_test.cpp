#include "search/index/new_file_write.h"
#include "tests/common/test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace vellumark {
namespace {

using testing::PathExists;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

// Bytes that differ from position to position, so that a block written twice or left out shows.
std::string Pattern(std::size_t size, char salt)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131 + i / 4096 + static_cast<unsigned char>(salt)) & 0xFF);
    return bytes;
}

// How many of the file's pages are in the page cache.
std::size_t ResidentPages(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat status {};
    if (fd < 0 || ::fstat(fd, &status) != 0 || status.st_size == 0) {
        if (fd >= 0)
            ::close(fd);
        return 0;
    }
    const auto size = static_cast<std::size_t>(status.st_size);
    void* mapping = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
    ::close(fd);
    if (mapping == MAP_FAILED)
        return 0;
    const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    std::vector<unsigned char> resident((size + page - 1) / page);
    ::mincore(mapping, size, resident.data());
    ::munmap(mapping, size);
    std::size_t count = 0;
    for (const unsigned char flags : resident)
        count += flags & 1;
    return count;
}

TEST(NewFileWriteTest, EitherRouteWritesExactlyTheBytesAtEverySizeAroundTheBlocks)
{
    TempDir folder;
    DirectWriteBuffer buffer;
    int file = 0;
    // Sizes on and next to the block size, in buffers that grow and shrink again (the padding
    // of a shorter file must not carry the longer one's bytes).
    for (const std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{4095}, std::size_t{4096},
                                   std::size_t{4097}, std::size_t{300'001}, std::size_t{8192}, std::size_t{17}}) {
        for (const WriteRoute route : {WriteRoute::Direct, WriteRoute::Cached}) {
            const std::string whole = Pattern(size, static_cast<char>(file));
            // In three parts, the middle one empty.
            buffer.Assign({std::string_view(whole).substr(0, size / 3), std::string_view(), std::string_view(whole).substr(size / 3)});
            ASSERT_EQ(buffer.View(), whole);
            const std::string path = folder / ("file" + std::to_string(file++));
            bool wentDirect = true;
            ASSERT_TRUE(WriteNewFile(path, buffer, route, wentDirect).ok()) << size;
            EXPECT_EQ(ReadFile(path), whole) << size << (route == WriteRoute::Direct ? " direct" : " cached");
            if (route == WriteRoute::Cached) {
                EXPECT_FALSE(wentDirect);
            }
        }
    }
}

TEST(NewFileWriteTest, ADirectWriteLeavesTheFileOutOfThePageCache)
{
    TempDir folder;
    DirectWriteBuffer buffer;
    const std::string whole = Pattern(1'000'000, 'x');
    buffer.Assign({whole});
    bool wentDirect = false;
    ASSERT_TRUE(WriteNewFile(folder / "direct", buffer, WriteRoute::Direct, wentDirect).ok());
    if (!wentDirect)
        GTEST_SKIP() << "the file system of " << folder.Path() << " takes no direct writes";
    // At most the last page, which cutting the file back to its length may read.
    EXPECT_LE(ResidentPages(folder / "direct"), 1u);
    ASSERT_TRUE(WriteNewFile(folder / "cached", buffer, WriteRoute::Cached, wentDirect).ok());
    EXPECT_GT(ResidentPages(folder / "cached"), 200u) << "the cached route is the one that fills the page cache";
}

TEST(NewFileWriteTest, AFileThatExistsIsLeftAsItIsAndAFailedWriteLeavesNoFile)
{
    TempDir folder;
    WriteFile(folder / "taken", "earlier");
    DirectWriteBuffer buffer;
    buffer.Assign({"new bytes"});
    for (const WriteRoute route : {WriteRoute::Direct, WriteRoute::Cached}) {
        bool wentDirect = false;
        const Status taken = WriteNewFile(folder / "taken", buffer, route, wentDirect);
        EXPECT_EQ(taken.code(), Status::Code::Failed);
        EXPECT_NE(taken.message().find("Cannot create"), std::string::npos) << taken.message();
        EXPECT_EQ(ReadFile(folder / "taken"), "earlier");
    }
    const std::shared_future<Status> missing = StartWritingNewFile(folder / "no/such/folder", buffer, WriteRoute::Direct);
    EXPECT_EQ(missing.get().code(), Status::Code::Failed);
    EXPECT_FALSE(PathExists(folder / "no"));
}

TEST(NewFileWriteTest, AWriteStartedOnItsOwnThreadGivesTheFileOnceItIsDone)
{
    TempDir folder;
    DirectWriteBuffer buffer;
    const std::string whole = Pattern(2'500'000, 'y');
    buffer.Assign({whole});
    const std::shared_future<Status> done = StartWritingNewFile(folder / "later", buffer, WriteRoute::Direct);
    ASSERT_TRUE(done.get().ok()) << done.get().message();
    EXPECT_EQ(ReadFile(folder / "later"), whole);
}

}  // namespace
}  // namespace vellumark
