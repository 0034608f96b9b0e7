#include "search/index/catalog_entry_reader.h"

#include "system/file_status.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace vellumark {

namespace {

// Spans longer than this (a start tag followed by much text or many comments) are read a
// window at a time until their tag ends; shorter ones whole, and runs of them at once up to
// the run limit.
constexpr std::size_t kShortSpan = 4096;
constexpr std::size_t kRunLimit = 256 * 1024;

CatalogEntryReader::ReadHook& Hook()
{
    static CatalogEntryReader::ReadHook hook;
    return hook;
}

}  // namespace

void CatalogEntryReader::SetReadHook(ReadHook hook) { Hook() = std::move(hook); }

CatalogEntryReader::~CatalogEntryReader()
{
    if (fd_ >= 0)
        ::close(fd_);
}

Status CatalogEntryReader::Open(const std::string& path, const CatalogIdentity* expected)
{
    if (fd_ >= 0)
        ::close(fd_);
    path_ = path;
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0)
        return Status::Failed("Cannot read \"" + path + "\": " + std::strerror(errno));
    const std::optional<FileStatus> status = StatusOfOpenFile(fd_);
    if (!status || status->kind != FileKind::RegularFile)
        return Status::Failed("Cannot read \"" + path + "\": not a regular file");
    if (expected && !(IdentityOfStatus(*status) == *expected))
        return Status::Failed("The catalog \"" + path + "\" changed since it was indexed");
    size_ = status->size;
    return Status::Ok();
}

Status CatalogEntryReader::NoEntryAt(std::uint64_t offset) const
{
    return Status::Failed("Cannot read \"" + path_ + "\": no entry at offset " + std::to_string(offset));
}

bool CatalogEntryReader::ReadInto(std::string& buffer, std::uint64_t offset, std::size_t count)
{
    const std::size_t had = buffer.size();
    buffer.resize(had + count);
    std::size_t got = 0;
    while (got < count) {
        const ssize_t read = ::pread(fd_, buffer.data() + had + got, count - got, static_cast<off_t>(offset + got));
        if (read < 0 && errno == EINTR)
            continue;
        if (read <= 0)
            break;
        got += static_cast<std::size_t>(read);
    }
    buffer.resize(had + got);
    if (Hook() && got > 0)
        Hook()(got);
    return got == count;
}

// The text must begin with the start tag, which must end inside it; the reader reads that tag
// and nothing after it.
Status CatalogEntryReader::HandOn(std::string_view text, std::uint64_t offset, const CatalogEntryVisitor& visit)
{
    // Not an end tag, a comment, a declaration or a processing instruction.
    if (text.size() < 2 || text[0] != '<' || text[1] == '/' || text[1] == '!' || text[1] == '?')
        return NoEntryAt(offset);
    const Status read = ReadEntryStartTag(text, visit);
    return read.code() == Status::Code::Failed ? NoEntryAt(offset) : read;
}

Status CatalogEntryReader::ReadLong(const EntrySpan& span, const CatalogEntryVisitor& visit)
{
    buffer_.clear();
    char quote = 0;
    std::size_t scanned = 0;
    for (std::size_t want = kShortSpan;; want *= 2) {
        const std::uint64_t left = span.next - span.offset - buffer_.size();
        if (left == 0 || !ReadInto(buffer_, span.offset + buffer_.size(), static_cast<std::size_t>(std::min<std::uint64_t>(want, left))))
            return NoEntryAt(span.offset);
        if (buffer_[0] != '<')
            return NoEntryAt(span.offset);
        if (StartTagEnd(buffer_, std::max<std::size_t>(scanned, 1), quote) != std::string_view::npos)
            return HandOn(buffer_, span.offset, visit);
        scanned = buffer_.size();
    }
}

Status CatalogEntryReader::ReadSpans(const std::vector<EntrySpan>& spans, const CatalogEntryVisitor& visit)
{
    if (fd_ < 0)
        return Status::Failed("Cannot read \"" + path_ + "\": not open");
    for (std::size_t first = 0; first < spans.size();) {
        const EntrySpan& span = spans[first];
        if (span.offset >= span.next || span.next > size_)
            return NoEntryAt(span.offset);
        if (span.next - span.offset > kShortSpan) {
            if (Status read = ReadLong(span, visit); !read)
                return read;
            ++first;
            continue;
        }
        // A run of short spans, each beginning where the one before ends.
        std::size_t last = first;
        while (last + 1 < spans.size() && spans[last + 1].offset == spans[last].next && spans[last + 1].next <= size_
               && spans[last + 1].next > spans[last + 1].offset && spans[last + 1].next - spans[last + 1].offset <= kShortSpan
               && spans[last + 1].next - span.offset <= kRunLimit)
            ++last;
        buffer_.clear();
        if (!ReadInto(buffer_, span.offset, static_cast<std::size_t>(spans[last].next - span.offset)))
            return NoEntryAt(span.offset);
        for (std::size_t i = first; i <= last; ++i) {
            const std::string_view text = std::string_view(buffer_).substr(
                static_cast<std::size_t>(spans[i].offset - span.offset), static_cast<std::size_t>(spans[i].next - spans[i].offset));
            if (Status read = HandOn(text, spans[i].offset, visit); !read)
                return read;
        }
        first = last + 1;
    }
    return Status::Ok();
}

Status CatalogEntryReader::ReadAt(std::uint64_t offset, std::uint64_t next, const CatalogEntryVisitor& visit)
{
    return ReadSpans({{offset, next}}, visit);
}

}  // namespace vellumark
