#pragma once

#include "search/catalog_file_search.h"
#include "search/catalog_search.h"
#include "search/index/catalog_identity.h"
#include "search/index/segment_builder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vellumark::testing {

// A catalog file's text around the given entry elements.
inline std::string CatalogText(std::string_view entries)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\"?><fileinfo generated=\"Vellumark\">"
         + std::string(entries) + "</fileinfo>";
}

// One self-closing file entry of the given name, extension and kind.
inline std::string FileEntry(std::string_view name, std::string_view extension = {}, std::string_view kind = "file")
{
    std::string text = "<file FileName=\"" + std::string(name) + "\" FullPath=\"/cd/" + std::string(name) + "\"";
    if (!extension.empty())
        text += " FileExt=\"" + std::string(extension) + "\"";
    return text + " FileType=\"" + std::string(kind) + "\"/>";
}

// "DiskName:FileName" of every top-level result, in order.
inline std::vector<std::string> ResultNames(const CatalogTree& results)
{
    std::vector<std::string> names;
    for (int row = 0; row < results.TopLevelCount(); ++row) {
        const EntryRecord& record = results.TopLevel(row)->record;
        names.push_back(std::string(record.Field(kDiskName)) + ":" + std::string(record.Field(kFileName)));
    }
    return names;
}

// Feeds the builder from the catalog reader as the index does: every entry, or the file's
// failure when it is no readable catalog.
inline void FeedSegment(const std::string& path, SegmentBuilder& builder)
{
    NullProgress progress;
    CatalogRead read;
    if (ReadCatalogFile(path, nullptr, progress, nullptr, read, &builder).code() == Status::Code::Failed)
        builder.Fail(read.failure);
}

// Sets the file's modification time this many seconds back: a catalog changed that long ago
// is settled, and its segment counts as current.
inline void SetModifiedAgo(const std::string& path, int seconds)
{
    const std::int64_t when = WallClockNs() - static_cast<std::int64_t>(seconds) * 1'000'000'000;
    const struct timespec times[2] = {{when / 1'000'000'000, when % 1'000'000'000}, {when / 1'000'000'000, when % 1'000'000'000}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

// Runs child(role) in `count` forked processes at once, each ending with its return value, and
// expects every one to end with 0.
inline void RunInChildProcesses(int count, const std::function<int(int role)>& child)
{
    std::vector<pid_t> children;
    for (int role = 0; role < count; ++role) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0)
            ::_exit(child(role));
        children.push_back(pid);
    }
    for (const pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child ended with " << status;
    }
}

}  // namespace vellumark::testing
