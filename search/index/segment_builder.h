#pragma once

#include "core/column_keys.h"
#include "search/index/catalog_identity.h"
#include "search/index/entry_values.h"
#include "services/status.h"

#include <array>
#include <cstdint>
#include <future>
#include <memory>
#include <string>
#include <string_view>

namespace vellumark {

// Collects one catalog's entries in document order (pre-order: the ordinals the index
// uses) and gives the bytes of its segment file: the entries' values (all a result shows) and
// the trigram posting lists of their FileNames.
class SegmentBuilder {
public:
    // `key` names the catalog in its library (the path below the library root);
    // `identity` is the file's as it was before reading began, and `indexedAtNs` that time.
    SegmentBuilder(std::string key, const CatalogIdentity& identity, std::int64_t indexedAtNs);
    ~SegmentBuilder();
    SegmentBuilder(const SegmentBuilder&) = delete;
    SegmentBuilder& operator=(const SegmentBuilder&) = delete;

    void Add(const EntryTexts& entry);
    // The same from every key's value as the catalog reader gives them all at once (bit k of
    // `present` set when the entry has key k), without an entry's worth of optionals between.
    void Add(const std::array<std::string_view, kColumnKeyCount>& values, std::uint32_t present);
    // The file is no readable catalog: the segment keeps only why, so that a search through
    // the index reports the file as the streaming search does.
    void Fail(std::string message);

    std::uint32_t EntryCount() const { return count_; }
    bool CatalogFailed() const { return failed_; }

    // The segment file's bytes; Failed when the catalog is too large for one segment.
    // Call once (this or WriteNew).
    Status Finish(std::string& bytes);
    // Starts writing the segment to a new file (which must not exist yet); `done` gives the
    // outcome once the bytes are written, and the caller syncs the file after that before
    // giving it its name. `written` is the file's bytes, valid until this thread builds its next
    // segment. Failed when the catalog is too large for one segment.
    Status WriteNew(const std::string& path, std::string_view& written, std::shared_future<Status>& done);

    // The column writers, the trigram collector and the section buffers (some tens of MB for a
    // large catalog) stay with their thread for its next catalog, instead of being returned and
    // faulted in again; a thread that indexes no more gives them back.
    static void ReleaseThreadBuffers();

private:
    struct Columns;
    static std::unique_ptr<Columns>& ThreadColumns();

    // The header; the sections are in columns_, in file order.
    Status Compose(std::string& header);
    // The header and the sections, one after another in columns_->file.
    Status Gather();
    std::string key_;
    CatalogIdentity identity_;
    std::int64_t indexedAtNs_;
    std::string failure_;
    bool failed_ = false;
    bool tooLarge_ = false;
    std::uint32_t count_ = 0;

    std::unique_ptr<Columns> columns_;
};

}  // namespace vellumark
