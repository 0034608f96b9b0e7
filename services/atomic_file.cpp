#include "services/atomic_file.h"
#include "system/file_status.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vellumark {

namespace {

constexpr std::size_t kBufferSize = 1 << 20;

AtomicFile::FaultHook& Hook()
{
    static AtomicFile::FaultHook hook;
    return hook;
}

bool Injected(AtomicFile::Step step) { return Hook() && Hook()(step); }

// A fresh name beside the target: hidden, unique within the process.
std::string TemporaryPathFor(const std::string& target)
{
    static std::atomic<unsigned> counter{0};
    const auto slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    return folder + "." + name + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
}

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
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
}

Status AtomicFile::Open()
{
    temp_ = TemporaryPathFor(target_);
    if (Injected(Step::Create)) {
        temp_.clear();
        return Fail("create", ENOSPC);
    }
    fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        const int error = errno;
        temp_.clear();
        return Fail("create", error);
    }
    if (const std::optional<FileStatus> existing = StatusOfPath(target_, FollowLinks::Yes))
        ::fchmod(fd_, existing->permissions & 07777);
    buffer_.reserve(kBufferSize);
    return status_;
}

Status AtomicFile::Flush()
{
    std::size_t done = 0;
    while (done < buffer_.size()) {
        if (Injected(Step::Write))
            return Fail("write", ENOSPC);
        const ssize_t written = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return Fail("write", errno);
        }
        done += static_cast<std::size_t>(written);
    }
    buffer_.clear();
    return status_;
}

Status AtomicFile::Write(std::string_view bytes)
{
    if (!status_.ok())
        return status_;
    if (fd_ < 0)
        return Fail("write", EBADF);
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

Status AtomicFile::Commit()
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
    if (::close(fd_) != 0) {
        fd_ = -1;
        return Fail("write", errno);
    }
    fd_ = -1;
    if (Injected(Step::Rename))
        return Fail("replace", EXDEV);
    if (::rename(temp_.c_str(), target_.c_str()) != 0)
        return Fail("replace", errno);
    temp_.clear();
    return status_;
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
