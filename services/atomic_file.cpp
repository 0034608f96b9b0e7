#include "services/atomic_file.h"

#include "system/file_lock.h"
#include "system/file_status.h"
#include "system/test_pause.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <random>

namespace vellumark {

namespace {

constexpr std::size_t kBufferSize = 1 << 20;
constexpr std::string_view kTemporaryPrefix = ".vm-";
constexpr std::string_view kTemporarySuffix = ".tmp";
constexpr std::size_t kTemporaryRandomLength = 8;
constexpr std::string_view kTemporaryAlphabet = "abcdefghijklmnopqrstuvwxyz0123456789";
// 36^8 names: a collision is rare, many in a row mean something else is wrong.
constexpr int kCreateAttempts = 100;

thread_local bool keepExistingTargets = false;

AtomicFile::FaultHook& Hook()
{
    static AtomicFile::FaultHook hook;
    return hook;
}

bool Injected(AtomicFile::Step step) { return Hook() && Hook()(step); }

std::string RandomTemporaryName()
{
    std::array<unsigned char, kTemporaryRandomLength> bytes{};
    if (::getrandom(bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size())) {
        std::random_device device;
        for (unsigned char& byte : bytes)
            byte = static_cast<unsigned char>(device());
    }
    std::string name(kTemporaryPrefix);
    for (unsigned char byte : bytes)
        name += kTemporaryAlphabet[byte % kTemporaryAlphabet.size()];
    name += kTemporarySuffix;
    return name;
}

// Locking is how a live temporary file is told from a dead one; where the file system has no
// locks at all, a writer goes on without (and no reader there ever finds a file unlocked).
bool LocksUnsupported(int error) { return error == ENOLCK || error == EOPNOTSUPP || error == EINVAL || error == ENOSYS; }

}  // namespace

void AtomicFile::SetFaultHook(FaultHook hook) { Hook() = std::move(hook); }

AtomicFile::AtomicFile(std::string targetPath) : target_(std::move(targetPath)) {}

AtomicFile::~AtomicFile() { Discard(); }

Status AtomicFile::Fail(std::string what, int error)
{
    if (status_.ok())
        status_ = Status::Failed("Cannot " + what + " \"" + target_ + "\": " + std::strerror(error));
    Discard();
    return status_;
}

void AtomicFile::Discard()
{
    if (!tempName_.empty()) {
        ::unlinkat(folder_.Fd(), tempName_.c_str(), 0);
        tempName_.clear();
        temp_.clear();
    }
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

Status AtomicFile::Open()
{
    if (Injected(Step::Create))
        return Fail("create", ENOSPC);
    const auto slash = target_.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : target_.substr(0, slash);
    targetName_ = slash == std::string::npos ? target_ : target_.substr(slash + 1);
    folder_ = FolderHandle::Open(folder);
    if (!folder_.IsOpen())
        return Fail("create", folder_.Error());

    for (int attempt = 1;; ++attempt) {
        const std::string name = RandomTemporaryName();
        const int fd = ::openat(folder_.Fd(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST && attempt < kCreateAttempts)
                continue;
            return Fail("create", errno);
        }
        fd_ = fd;
        tempName_ = name;
        temp_ = (folder == "/" ? "" : folder) + "/" + name;
        if (!LockWholeFile(fd_, LockMode::Exclusive, true) && !LocksUnsupported(errno))
            return Fail("create", errno);
        // A reader of the folder may have found the file before it was locked and removed it
        // as left behind: then it is made anew.
        const std::optional<FileStatus> own = StatusOfOpenFile(fd_);
        const std::optional<FileStatus> named = StatusIn(folder_.Fd(), name.c_str(), FollowLinks::No);
        if (own && named && named->SameFileAs(*own))
            break;
        ::close(fd_);
        fd_ = -1;
        tempName_.clear();
        temp_.clear();
        if (attempt == kCreateAttempts)
            return Fail("create", ESTALE);
    }
    if (const std::optional<FileStatus> existing = StatusIn(folder_.Fd(), targetName_.c_str(), FollowLinks::Yes))
        ::fchmod(fd_, existing->permissions & 07777);
    buffer_.reserve(kBufferSize);
    return status_;
}

Status AtomicFile::WriteOut(std::string_view bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        if (Injected(Step::Write))
            return Fail("write", ENOSPC);
        const ssize_t written = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return Fail("write", errno);
        }
        done += static_cast<std::size_t>(written);
    }
    return status_;
}

Status AtomicFile::Flush()
{
    if (!WriteOut({buffer_.data(), buffer_.size()}).ok())
        return status_;
    buffer_.clear();
    return status_;
}

Status AtomicFile::Write(std::string_view bytes)
{
    if (!status_.ok())
        return status_;
    if (fd_ < 0)
        return Fail("write", EBADF);
    // Writers that gather their own large pieces hand them over without a second copy.
    if (buffer_.empty() && bytes.size() >= kBufferSize)
        return WriteOut(bytes);
    while (!bytes.empty()) {
        const std::size_t room = kBufferSize - buffer_.size();
        const std::size_t take = bytes.size() < room ? bytes.size() : room;
        buffer_.insert(buffer_.end(), bytes.data(), bytes.data() + take);
        bytes.remove_prefix(take);
        if (buffer_.size() == kBufferSize && !Flush().ok())
            return status_;
    }
    return status_;
}

Status AtomicFile::Commit() { return Place(!keepExistingTargets); }

Status AtomicFile::CommitWithoutReplacing() { return Place(false); }

Status AtomicFile::Place(bool replace)
{
    if (!status_.ok())
        return status_;
    if (fd_ < 0)
        return Fail("write", EBADF);
    if (!Flush().ok())
        return status_;
    if (Injected(Step::Sync))
        return Fail("write", EIO);
    if (::fsync(fd_) != 0)
        return Fail("write", errno);
    PauseForTest("temporary-written");
    if (Injected(Step::Rename))
        return Fail("replace", EXDEV);

    const int folder = folder_.Fd();
    if (replace) {
        if (::renameat(folder, tempName_.c_str(), folder, targetName_.c_str()) != 0)
            return Fail("replace", errno);
    } else if (::renameat2(folder, tempName_.c_str(), folder, targetName_.c_str(), RENAME_NOREPLACE) != 0) {
        int error = errno;
        if (error == EINVAL || error == ENOSYS) {
            // No such rename here (NFS): a new link fails the same way when the name is taken.
            error = ::linkat(folder, tempName_.c_str(), folder, targetName_.c_str(), 0) == 0 ? 0 : errno;
            if (error == 0) {
                ::unlinkat(folder, tempName_.c_str(), 0);
            } else if (error == EPERM || error == EOPNOTSUPP || error == ENOSYS) {
                // Neither, on a file system without hard links: a look just before the rename
                // is the closest left.
                if (StatusIn(folder, targetName_.c_str(), FollowLinks::No))
                    error = EEXIST;
                else
                    error = ::renameat(folder, tempName_.c_str(), folder, targetName_.c_str()) == 0 ? 0 : errno;
            }
        }
        if (error == EEXIST) {
            Discard();
            status_ = Status::Exists("\"" + target_ + "\" exists");
            return status_;
        }
        if (error != 0)
            return Fail("write", error);
    }
    tempName_.clear();
    temp_.clear();
    // The lock is let go only now that the file has its place; its data was synced above.
    ::close(fd_);
    fd_ = -1;
    return status_;
}

NoReplaceScope::NoReplaceScope() : outer_(!keepExistingTargets) { keepExistingTargets = true; }

NoReplaceScope::~NoReplaceScope()
{
    if (outer_)
        keepExistingTargets = false;
}

bool IsTemporaryFileName(std::string_view name)
{
    if (name.size() != kTemporaryPrefix.size() + kTemporaryRandomLength + kTemporarySuffix.size()
        || name.substr(0, kTemporaryPrefix.size()) != kTemporaryPrefix
        || name.substr(name.size() - kTemporarySuffix.size()) != kTemporarySuffix)
        return false;
    for (char c : name.substr(kTemporaryPrefix.size(), kTemporaryRandomLength))
        if (kTemporaryAlphabet.find(c) == std::string_view::npos)
            return false;
    return true;
}

bool RemoveStaleTemporaryFile(int folderFd, const char* name)
{
    // Non-blocking and without following a link: whatever sits under such a name, looking at it
    // must not hang the reader or reach out of the folder.
    const int fd = ::openat(folderFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool removed = false;
    const std::optional<FileStatus> opened = StatusOfOpenFile(fd);
    if (opened && opened->kind == FileKind::RegularFile && LockWholeFile(fd, LockMode::Shared, false)) {
        // Still the file that was locked: a writer may have put it in its target's place meanwhile.
        const std::optional<FileStatus> named = StatusIn(folderFd, name, FollowLinks::No);
        removed = named && named->SameFileAs(*opened) && ::unlinkat(folderFd, name, 0) == 0;
    }
    ::close(fd);
    return removed;
}

Status WriteFileAtomically(const std::string& path, std::string_view bytes)
{
    AtomicFile file(path);
    if (Status status = file.Open(); !status)
        return status;
    if (Status status = file.Write(bytes); !status)
        return status;
    return file.Commit();
}

}  // namespace vellumark
