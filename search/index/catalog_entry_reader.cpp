#include "search/index/catalog_entry_reader.h"

#include "core/catalog_reader.h"
#include "search/catalog_search.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vellumark {

namespace {

// Most start tags of a catalog are a few hundred bytes; longer ones are read on.
constexpr std::size_t kFirstWindow = 1024;

CatalogEntryReader::ReadHook& Hook()
{
    static CatalogEntryReader::ReadHook hook;
    return hook;
}

// Where the tag that starts the text ends: its first ">" outside a quoted value. `quote`
// carries the open quote from one part of the text to the next.
std::size_t TagEnd(std::string_view text, std::size_t from, char& quote)
{
    for (std::size_t at = from; at < text.size(); ++at) {
        const char c = text[at];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            return at;
        }
    }
    return std::string_view::npos;
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
    struct stat status {};
    if (::fstat(fd_, &status) != 0 || !S_ISREG(status.st_mode))
        return Status::Failed("Cannot read \"" + path + "\": not a regular file");
    if (expected && !(IdentityOfStatus(status) == *expected))
        return Status::Failed("The catalog \"" + path + "\" changed since it was indexed");
    size_ = static_cast<std::uint64_t>(status.st_size);
    return Status::Ok();
}

bool CatalogEntryReader::ReadMore(std::uint64_t offset, std::size_t want)
{
    const std::size_t had = window_.size();
    window_.resize(had + want);
    std::size_t got = 0;
    while (got < want) {
        const ssize_t read = ::pread(fd_, window_.data() + had + got, want - got, static_cast<off_t>(offset + had + got));
        if (read < 0 && errno == EINTR)
            continue;
        if (read <= 0)
            break;
        got += static_cast<std::size_t>(read);
    }
    window_.resize(had + got);
    if (Hook() && got > 0)
        Hook()(got);
    return got > 0;
}

Status CatalogEntryReader::ReadAt(std::uint64_t offset, std::uint64_t limit, const SharedText& catalogName,
                                  std::vector<EntryRecord>& results)
{
    if (fd_ < 0)
        return Status::Failed("Cannot read \"" + path_ + "\": not open");
    const std::uint64_t end = std::min(limit, size_);
    const auto fail = [&] { return Status::Failed("Cannot read \"" + path_ + "\": no entry at offset " + std::to_string(offset)); };
    if (offset >= end)
        return fail();
    window_.clear();
    char quote = 0;
    std::size_t tagEnd = std::string_view::npos;
    for (std::size_t want = kFirstWindow; tagEnd == std::string_view::npos; want *= 2) {
        const std::size_t scanned = window_.size();
        const std::uint64_t left = end - offset - scanned;
        if (left == 0 || !ReadMore(offset, static_cast<std::size_t>(std::min<std::uint64_t>(want, left))))
            return fail();
        if (scanned == 0 && window_[0] != '<')
            return fail();
        tagEnd = TagEnd(window_, std::max<std::size_t>(scanned, 1), quote);
    }
    const Status read = ReadEntryStartTag(std::string_view(window_).substr(0, tagEnd + 1), [&](const CatalogEntry& entry) {
        AddSearchResult(entry, catalogName, results);
        return true;
    });
    return read.ok() ? read : fail();
}

Status ReadEntryAt(const std::string& path, std::uint64_t offset, const SharedText& catalogName,
                   std::vector<EntryRecord>& results, std::uint64_t limit)
{
    CatalogEntryReader reader;
    if (Status opened = reader.Open(path); !opened)
        return opened;
    return reader.ReadAt(offset, limit, catalogName, results);
}

}  // namespace vellumark
