#pragma once

#include "search/index/index_manifest.h"
#include "search/index/segment_builder.h"
#include "search/index/segment_reader.h"
#include "services/progress.h"
#include "services/status.h"

#include <cstdint>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vellumark {

// The folder that holds the search indexes of all libraries: $XDG_CACHE_HOME/vellumark when
// XDG_CACHE_HOME is an absolute path, else ~/.cache/vellumark.
std::string DefaultIndexCacheFolder();

// A catalog file of a search's scope, as the walk found it.
struct CatalogFile {
    std::string key;   // its path below the library root, "/" between names
    std::string path;  // where to read it
};

// What the manifest says about the catalogs of a scope.
struct IndexCheck {
    // Per catalog given: its record when its segment is current.
    std::vector<std::optional<IndexedCatalog>> current;
    // Per catalog given: its record, current or not.
    std::vector<std::optional<IndexedCatalog>> recorded;
    // The catalogs given that must be read again: new, changed, or indexed too soon after a change.
    std::vector<std::size_t> stale;
    // What is recorded within the scope for keys that name no catalog any more.
    std::vector<IndexedCatalog> orphans;
};

// A segment written for one catalog and not yet recorded: kept once recorded.
struct PendingSegment {
    IndexedCatalog record;
    std::string unsyncedPath;  // not yet synced and named
    std::shared_future<Status> written;  // the outcome of writing it
};

// The search index of one library: a folder in the cache folder named by a hash of the
// library's real path (which the folder's marker file holds), with a manifest and one
// segment file per catalog. Segment files never change once written (a new segment gets a
// new name) and the manifest is replaced whole, so readers take no lock and never see half a
// file; writers take the folder's lock only to record what they built. Several processes may
// search and update at once.
class LibraryIndex {
public:
    // Opens the library's index, creating it when `create`. Invalid when there is none and
    // `create` is false; Failed when the cache cannot be used (not writable, inside the
    // library, taken by another library).
    static Status Open(const std::string& cacheFolder, const std::string& libraryRoot, bool create,
                       std::unique_ptr<LibraryIndex>& index);

    const std::string& Folder() const { return folder_; }
    const std::string& LibraryPath() const { return libraryPath_; }

    // The manifest as it is now (empty when missing or damaged).
    std::vector<IndexedCatalog> Catalogs() const;
    // Bytes of the manifest and every segment it records.
    std::uint64_t Bytes() const;

    // One stat per catalog. `scopeKey` is the key of the scope searched ("" for the whole
    // library, a group's or a catalog's key) so that recorded catalogs below it that the walk
    // did not find count as orphans.
    IndexCheck Check(const std::vector<CatalogFile>& catalogs, std::string_view scopeKey) const;
    // The same with the catalogs' identities as the caller read them (nullopt: no file there).
    IndexCheck Check(const std::vector<CatalogFile>& catalogs, const std::vector<std::optional<CatalogIdentity>>& identities,
                     std::string_view scopeKey) const;

    // Opens a current catalog's segment; Failed when it is missing or damaged (build it again).
    Status OpenSegment(const IndexedCatalog& catalog, std::shared_ptr<const SegmentReader>& segment) const;

    // Writes the segment of a catalog read from `indexedAtNs` on while it had the identity
    // `before`; nullopt when the file changed meanwhile, when it was changed too shortly before
    // the reading began for its segment ever to count as current, or when the segment could
    // not be written. Safe on several threads at once.
    std::optional<PendingSegment> WriteSegment(const CatalogFile& catalog, SegmentBuilder& builder,
                                               const CatalogIdentity& before, std::int64_t indexedAtNs) const;
    // Records the pending segments (those that can be kept) and forgets the given records
    // where the manifest still holds them as they were: what another process recorded
    // meanwhile stays. Returns how many segments were recorded.
    Status Commit(std::vector<PendingSegment>& pending, const std::vector<IndexedCatalog>& forget, std::size_t& recorded);

    // Forgets every catalog and removes every segment: the next search builds from nothing.
    Status Clear();

private:
    LibraryIndex(std::string folder, std::string libraryPath);
    Status Record(const std::vector<IndexedCatalog>& records, const std::vector<IndexedCatalog>& forget, bool clear) const;
    std::string SegmentPath(const std::string& name) const { return folder_ + "/segments/" + name; }

    std::string folder_;
    std::string libraryPath_;
};

// Removes the index folders in the cache folder whose library no longer exists (and
// leftovers of index folders that were never finished); returns how many.
std::size_t RemoveIndexesOfMissingLibraries(const std::string& cacheFolder);

}  // namespace vellumark
