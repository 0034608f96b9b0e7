#pragma once

#include "system/file_status.h"
#include "system/folder_listing.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vellumark::testing {

// Chains of nested folders whose paths are longer than the system accepts in one call. They
// are built and removed with handle-relative calls only.

// Names for a chain: `levels` different names of `length` bytes each.
inline std::vector<std::string> ChainNames(int levels, std::size_t length)
{
    std::vector<std::string> names;
    for (int level = 0; level < levels; ++level) {
        std::string name = std::to_string(level) + "-";
        name.resize(length, 'd');
        names.push_back(std::move(name));
    }
    return names;
}

// The names joined with "/".
inline std::string ChainPath(const std::vector<std::string>& names)
{
    std::string path;
    for (const std::string& name : names)
        path += (path.empty() ? "" : "/") + name;
    return path;
}

// Removes the entry of that name inside an open folder with everything below it; folders
// whose permissions were taken away get them back first.
inline void RemoveTreeIn(int folderFd, const char* name)
{
    const auto status = StatusIn(folderFd, name, FollowLinks::No);
    if (!status)
        return;
    if (status->kind != FileKind::Directory) {
        ::unlinkat(folderFd, name, 0);
        return;
    }
    ::fchmodat(folderFd, name, 0700, 0);
    std::vector<std::string> names;
    {
        FolderListing listing(folderFd, name);
        while (const FolderEntry* entry = listing.Next())
            names.emplace_back(entry->Name());
        for (const std::string& child : names)
            RemoveTreeIn(listing.Fd(), child.c_str());
    }
    ::unlinkat(folderFd, name, AT_REMOVEDIR);
}

// A chain of nested folders made inside a folder, removed with everything in it when it goes
// (if the code under test has not removed it already).
class FolderChain {
public:
    FolderChain(const std::string& folder, const std::vector<std::string>& names)
        : first_(folder + "/" + names.front()), path_(folder + "/" + ChainPath(names))
    {
        FolderHandle current = FolderHandle::Open(folder);
        for (const std::string& name : names) {
            if (::mkdirat(current.Fd(), name.c_str(), 0755) != 0)
                throw std::runtime_error("cannot create a folder of the chain");
            current = FolderHandle::OpenIn(current.Fd(), name.c_str());
            if (!current.IsOpen())
                throw std::runtime_error("cannot open a folder of the chain");
        }
        deepest_ = std::move(current);
    }
    ~FolderChain() { RemoveTreeIn(AT_FDCWD, first_.c_str()); }
    FolderChain(const FolderChain&) = delete;
    FolderChain& operator=(const FolderChain&) = delete;

    // The path of the deepest folder, longer than the system accepts.
    const std::string& Path() const { return path_; }
    // Writes a file into the deepest folder.
    void WriteFile(const char* name, std::string_view bytes) const
    {
        const int fd = ::openat(deepest_.Fd(), name, O_CREAT | O_WRONLY | O_TRUNC | O_CLOEXEC, 0644);
        const bool written = fd >= 0 && ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
        if (fd >= 0)
            ::close(fd);
        if (!written)
            throw std::runtime_error("cannot write a file in the chain");
    }

private:
    std::string first_;
    std::string path_;
    FolderHandle deepest_;
};

// While it lives, the process may hold no more than `count` open descriptors (it holds some
// already: the standard streams, the test framework's).
class DescriptorLimit {
public:
    explicit DescriptorLimit(rlim_t count)
    {
        ::getrlimit(RLIMIT_NOFILE, &saved_);
        rlimit lowered = saved_;
        lowered.rlim_cur = count;
        if (::setrlimit(RLIMIT_NOFILE, &lowered) != 0)
            throw std::runtime_error("cannot lower the descriptor limit");
    }
    ~DescriptorLimit() { ::setrlimit(RLIMIT_NOFILE, &saved_); }
    DescriptorLimit(const DescriptorLimit&) = delete;
    DescriptorLimit& operator=(const DescriptorLimit&) = delete;

private:
    rlimit saved_{};
};

}  // namespace vellumark::testing
