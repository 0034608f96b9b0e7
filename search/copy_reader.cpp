#include "search/copy_reader.h"

#include "core/catalog_reader.h"
#include "search/catalog_search.h"
#include "system/file_status.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace vellumark {

namespace {

// Most start tags of a catalog are a few hundred bytes; longer ones are read on.
constexpr std::uint64_t kTagBytes = 1024;
// The next entry is read with the one before when it starts within this many bytes of it,
// and one read spans at most so many bytes (copying them costs less than another call).
constexpr std::uint64_t kJoinedGap = 4096;
constexpr std::uint64_t kMostJoined = 1 << 16;

// Where the start tag that begins at `from` ends; npos when the text ends before.
std::size_t TagEnd(std::string_view text, std::size_t from)
{
    char quote = 0;
    return StartTagEnd(text, from + 1, quote);
}

}  // namespace

CopyReader::~CopyReader()
{
    if (fd_ >= 0)
        ::close(fd_);
}

Status CopyReader::Open(const std::string& path, const CatalogIdentity& expected)
{
    path_ = path;
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0)
        return Status::Failed("Cannot read \"" + path + "\": " + std::strerror(errno));
    const std::optional<FileStatus> status = StatusOfOpenFile(fd_);
    if (!status || status->kind != FileKind::RegularFile || !(IdentityOfStatus(*status) == expected))
        return Status::Failed("The catalog \"" + path + "\" changed while it was read");
    size_ = status->size;
    return Status::Ok();
}

Status CopyReader::NoEntryAt(std::uint64_t offset) const
{
    return Status::Failed("Cannot read \"" + path_ + "\": no entry at offset " + std::to_string(offset));
}

// Replaces the window with the bytes from..to (less at the end of the file).
bool CopyReader::Load(std::uint64_t from, std::uint64_t to)
{
    to = std::min(to, size_);
    if (from >= to)
        return false;
    window_.resize(static_cast<std::size_t>(to - from));
    windowStart_ = from;
    std::size_t got = 0;
    while (got < window_.size()) {
        const ssize_t read = ::pread(fd_, window_.data() + got, window_.size() - got, static_cast<off_t>(from + got));
        if (read < 0 && errno == EINTR)
            continue;
        if (read <= 0)
            break;
        got += static_cast<std::size_t>(read);
    }
    window_.resize(got);
    return got > 0;
}

Status CopyReader::Read(std::span<const std::uint64_t> offsets, const SharedText& catalogName, std::vector<EntryRecord>& records)
{
    if (fd_ < 0)
        return Status::Failed("Cannot read \"" + path_ + "\": not open");
    window_.clear();
    for (std::size_t i = 0; i < offsets.size(); ++i) {
        const std::uint64_t offset = offsets[i];
        const bool inWindow = offset >= windowStart_ && offset < windowStart_ + window_.size();
        std::size_t start = inWindow ? static_cast<std::size_t>(offset - windowStart_) : 0;
        std::size_t end = inWindow ? TagEnd(window_, start) : std::string_view::npos;
        if (end == std::string_view::npos) {
            // A new window from this entry over the ones that follow closely.
            std::uint64_t last = offset;
            for (std::size_t next = i + 1; next < offsets.size() && offsets[next] - last <= kJoinedGap
                                           && offsets[next] + kTagBytes - offset <= kMostJoined;
                 ++next)
                last = offsets[next];
            for (std::uint64_t tail = kTagBytes; end == std::string_view::npos; tail *= 2) {
                if (!Load(offset, last + tail))
                    return NoEntryAt(offset);
                start = 0;
                end = TagEnd(window_, 0);
                if (end == std::string_view::npos && windowStart_ + window_.size() >= size_)
                    return NoEntryAt(offset);
            }
        }
        if (window_[start] != '<')
            return NoEntryAt(offset);
        const std::size_t before = records.size();
        const Status read = ReadEntryStartTag(std::string_view(window_).substr(start, end + 1 - start), [&](const CatalogEntry& entry) {
            AddSearchResult(entry, catalogName, records);
            return true;
        });
        if (!read.ok() || records.size() != before + 1)
            return NoEntryAt(offset);
    }
    return Status::Ok();
}

}  // namespace vellumark
