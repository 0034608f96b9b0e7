#pragma once

#include "core/entry_record.h"
#include "core/shared_text.h"
#include "search/index/catalog_identity.h"
#include "services/status.h"

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace vellumark {

// Reads single entries of a catalog file at the byte offsets its segment recorded: the
// start tag found there is parsed by the catalog reader and turned into the result record
// exactly as the streaming search turns it, so a search through the index reads no more of
// a catalog than its matches.
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

    // Appends the result record of the start tag at `offset`, which ends before `limit` (the
    // next entry's offset, when known), with `catalogName` as its DiskName. Failed when no
    // well-formed start tag is there.
    Status ReadAt(std::uint64_t offset, std::uint64_t limit, const SharedText& catalogName, std::vector<EntryRecord>& results);

    // Sees the byte count of every read from a catalog file (tests count them); empty for none.
    using ReadHook = std::function<void(std::size_t)>;
    static void SetReadHook(ReadHook hook);

private:
    bool ReadMore(std::uint64_t offset, std::size_t want);

    int fd_ = -1;
    std::string path_;
    std::uint64_t size_ = 0;
    std::string window_;
};

// Opens the file and reads the one entry at `offset`.
Status ReadEntryAt(const std::string& path, std::uint64_t offset, const SharedText& catalogName,
                   std::vector<EntryRecord>& results,
                   std::uint64_t limit = std::numeric_limits<std::uint64_t>::max());

}  // namespace vellumark
