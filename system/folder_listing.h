#pragma once

#include <string>
#include <string_view>

#include <dirent.h>

namespace vellumark {

enum class FollowLinks : bool { No, Yes };

// An open folder. Entries are opened and inspected relative to it, so a walk goes as deep as
// the file system does: no path it builds is ever handed to the system whole. Closes itself;
// movable, not copyable.
class FolderHandle {
public:
    FolderHandle() = default;
    ~FolderHandle();
    FolderHandle(FolderHandle&& other) noexcept;
    FolderHandle& operator=(FolderHandle&& other) noexcept;
    FolderHandle(const FolderHandle&) = delete;
    FolderHandle& operator=(const FolderHandle&) = delete;

    // Opens the folder at the path, of any length (longer ones are opened piece by piece).
    // FollowLinks::No refuses a path whose last component is a symbolic link.
    static FolderHandle Open(const std::string& path, FollowLinks follow = FollowLinks::Yes);
    // Opens the folder of that name inside an open folder (a file descriptor, AT_FDCWD for the
    // working folder); a symbolic link of that name is refused, never followed.
    static FolderHandle OpenIn(int folderFd, const char* name);

    bool IsOpen() const { return fd_ >= 0; }
    // The descriptor, for openat/fstatat/unlinkat; -1 when not open.
    int Fd() const { return fd_; }
    // The errno of the failed open; 0 when open.
    int Error() const { return error_; }

    // A second handle on the same open folder.
    FolderHandle Duplicate() const;

private:
    friend class FolderListing;
    FolderHandle(int fd, int error) : fd_(fd), error_(error) {}

    int fd_ = -1;
    int error_ = 0;
};

// One entry of a listing. The name stays valid until the listing's next call of Next().
struct FolderEntry {
    enum class Kind { Unknown, Directory, RegularFile, SymbolicLink, Other };

    const char* name;  // NUL-terminated, ready for the *at calls
    Kind kind;         // as the listing tells it; Unknown when the file system does not say

    std::string_view Name() const { return name; }
};

// The entries of one folder, "." and ".." left out, in the order the file system lists them.
// The folder stays open while the listing lives and is closed with it.
//
//     FolderListing listing(path);
//     while (const FolderEntry* entry = listing.Next())
//         ... fstatat(listing.Fd(), entry->name, ...) ...
//     if (listing.Error() != 0) ... the folder could not be opened or read to its end ...
class FolderListing {
public:
    // Lists the open folder; the listing takes the handle over (pass handle.Duplicate() to keep it).
    explicit FolderListing(FolderHandle folder);
    // Opens and lists the folder at the path (FolderHandle::Open).
    explicit FolderListing(const std::string& path, FollowLinks follow = FollowLinks::Yes);
    // Opens and lists the folder of that name inside an open folder (FolderHandle::OpenIn).
    FolderListing(int folderFd, const char* name);
    ~FolderListing();
    FolderListing(const FolderListing&) = delete;
    FolderListing& operator=(const FolderListing&) = delete;

    bool IsOpen() const { return dir_ != nullptr; }
    // The next entry; nullptr at the end, when the folder is not open, or when reading failed.
    const FolderEntry* Next();
    // The errno of the failed open or of the read that ended the listing early; 0 otherwise.
    int Error() const { return error_; }
    // The open folder's descriptor, for the *at calls on its entries; -1 when not open.
    int Fd() const;
    // A handle on the listed folder that outlives the listing (for opening its subfolders later).
    FolderHandle DuplicateHandle() const;

private:
    DIR* dir_ = nullptr;
    int error_ = 0;
    FolderEntry entry_{};
};

}  // namespace vellumark
