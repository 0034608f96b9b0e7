#pragma once

#include "system/folder_listing.h"

#include <cstdint>
#include <optional>
#include <string>

namespace vellumark {

enum class FileKind { Directory, RegularFile, SymbolicLink, Other };

struct Timestamp {
    std::int64_t seconds = 0;  // since 1970-01-01 00:00:00 UTC
    std::int64_t nanoseconds = 0;
    bool operator==(const Timestamp&) const = default;
};

// What the system tells about one file: its kind, which file it is, and what a write changes.
struct FileStatus {
    FileKind kind = FileKind::Other;
    std::uint32_t permissions = 0;  // the mode's permission bits (07777)
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;  // in bytes; a symbolic link's own size is the length of its target text
    Timestamp modified;      // last write of the contents
    Timestamp changed;       // last change of the contents or of the status itself

    // The same file: same device and inode, whatever happened to it since.
    bool SameFileAs(const FileStatus& other) const { return device == other.device && inode == other.inode; }
    // The same file, and nothing about it changed as far as its status tells.
    bool operator==(const FileStatus&) const = default;
};

// Each of these returns nullopt with errno set when the status cannot be read.
// The status of the path (of any length), following a final symbolic link or not.
std::optional<FileStatus> StatusOfPath(const std::string& path, FollowLinks follow);
// The status of the entry of that name inside an open folder (a descriptor, or AT_FDCWD).
std::optional<FileStatus> StatusIn(int folderFd, const char* name, FollowLinks follow);
// The status of an open file.
std::optional<FileStatus> StatusOfOpenFile(int fd);

// The kind of what the path names; nullopt when nothing is there or it cannot be inspected.
std::optional<FileKind> KindOfPath(const std::string& path, FollowLinks follow);
// True when the path names a folder, or a symbolic link to one.
bool IsFolder(const std::string& path);
// True when something of that name is there, a symbolic link leading nowhere included.
bool ExistsWithoutFollowing(const std::string& path);

// The absolute path with every symbolic link, "." and ".." resolved; empty (errno set) when
// some component does not exist or cannot be read.
std::string RealPathOf(const std::string& path);

}  // namespace vellumark
