#pragma once

#include "system/file_status.h"

#include <string>

namespace vellumark {

enum class LockMode { Shared, Exclusive };

// Takes an advisory lock on the whole open file. The lock belongs to the open file description
// (fcntl OFD locks), not to the process: two threads or two descriptors of one process exclude
// each other as two processes do, closing another descriptor of the file never drops it, and it
// holds across machines on NFS and SMB. Exclusive needs a file open for writing, Shared one
// open for reading. With wait false it fails at once (EAGAIN) when a conflicting lock is held.
// The lock goes with the last descriptor of that open file; open it with O_CLOEXEC, or a child
// started meanwhile keeps it.
bool LockWholeFile(int fd, LockMode mode, bool wait);

// An exclusive lock on the file a path names, held while the object lives: the lock writers of
// a catalog take around their read-modify-write. It holds off only those that take it too.
class FileLock {
public:
    FileLock() = default;
    ~FileLock();
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Waits for the lock on the file the path names (a final symbolic link followed). Files are
    // replaced by rename while others wait for their lock, so once the lock is granted the path
    // must still name the locked file (same device and inode); otherwise it is let go and the
    // file the path names now is locked instead. Not held when the path names no file (ENOENT)
    // or one this process may not open for writing (EACCES, EROFS, ...): Error() tells which.
    static FileLock OnPath(const std::string& path);

    bool IsHeld() const { return fd_ >= 0; }
    int Error() const { return error_; }
    // The locked file as it was when the lock was granted; nobody who takes the lock can have
    // changed it since.
    const FileStatus& Identity() const { return identity_; }

private:
    FileLock(int fd, const FileStatus& identity) : fd_(fd), identity_(identity) {}

    int fd_ = -1;
    int error_ = 0;
    FileStatus identity_;
};

}  // namespace vellumark
