#pragma once

#include "core/catalog_reader.h"
#include "search/index/catalog_identity.h"
#include "services/status.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vellumark {

// Where one entry lies in its catalog file: its start tag begins at `offset`, and the next
// entry's at `next` (the file's end for the last entry); the start tag lies between.
struct EntrySpan {
    std::uint64_t offset = 0;
    std::uint64_t next = 0;
};

// Reads single entries of a catalog file at the byte offsets its segment recorded: the start
// tag found there is parsed by the catalog reader and handed on as an entry of its own, so a
// search through the index reads no more of a catalog than its matches.
class CatalogEntryReader {
public:
    CatalogEntryReader() = default;
    ~CatalogEntryReader();
    CatalogEntryReader(const CatalogEntryReader&) = delete;
    CatalogEntryReader& operator=(const CatalogEntryReader&) = delete;

    // Failed when the file cannot be read or, given `expected`, is no longer the file that was
    // indexed (the reads below then go to the very file that was checked, whatever replaces
    // it meanwhile).
    Status Open(const std::string& path, const CatalogIdentity* expected = nullptr);

    // Hands the start tag of each span (ascending, none overlapping) to the visitor, in order.
    // Spans that follow each other without a gap are read at once. Failed when a span holds
    // no well-formed start tag; Cancelled when the visitor stopped.
    Status ReadSpans(const std::vector<EntrySpan>& spans, const CatalogEntryVisitor& visit);
    Status ReadAt(std::uint64_t offset, std::uint64_t next, const CatalogEntryVisitor& visit);

    // Sees the byte count of every read from a catalog file (tests count them); empty for none.
    using ReadHook = std::function<void(std::size_t)>;
    static void SetReadHook(ReadHook hook);

private:
    bool ReadInto(std::string& buffer, std::uint64_t offset, std::size_t count);
    Status ReadLong(const EntrySpan& span, const CatalogEntryVisitor& visit);
    Status HandOn(std::string_view text, std::uint64_t offset, const CatalogEntryVisitor& visit);
    Status NoEntryAt(std::uint64_t offset) const;

    int fd_ = -1;
    std::string path_;
    std::uint64_t size_ = 0;
    std::string buffer_;
};

}  // namespace vellumark
