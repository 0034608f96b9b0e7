#pragma once

#include "search/index/index_manifest.h"
#include "search/index/segment_builder.h"
#include "search/index/segment_reader.h"
#include "services/progress.h"
#include "services/status.h"

#include <cstdint>
#include <functional>
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

// Reads one catalog file and adds its entries to the builder in document order, or calls
// builder.Fail(why) when the file is no readable catalog; returns Ok in both cases.
// Cancelled when the progress was cancelled; Failed for a fault that must not be recorded
// (the file vanished, memory ran out). Runs on several threads at once; it may only read
// the progress's cancel flag.
using SegmentFeeder = std::function<Status(const std::string& path, SegmentBuilder& builder, const Progress& progress)>;

// What the manifest says about the catalogs of a scope.
struct IndexCheck {
    // Per catalog given: its record when its segment is current.
    std::vector<std::optional<IndexedCatalog>> current;
    // The catalogs given that must be read again: new, changed, or indexed too soon after a change.
    std::vector<std::size_t> stale;
    // Keys recorded within the scope that name no catalog any more.
    std::vector<std::string> orphans;
};

struct IndexBuild {
    // Ok; Cancelled when the progress was cancelled (what was built by then is recorded);
    // Failed when the index could not be written.
    Status status;
    // Per catalog given: its new segment, or null where it could not be indexed (read that
    // catalog without the index).
    std::vector<std::shared_ptr<const SegmentReader>> segments;
    std::size_t built = 0;
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

    // Opens a current catalog's segment; Failed when it is missing or damaged (build it again).
    Status OpenSegment(const IndexedCatalog& catalog, std::shared_ptr<const SegmentReader>& segment) const;

    // Builds the catalogs' segments on up to `threads` threads (the calling thread among
    // them, which alone shows messages), then records them and forgets the given keys.
    IndexBuild Build(const std::vector<CatalogFile>& catalogs, const std::vector<std::string>& forget,
                     const SegmentFeeder& feed, Progress& progress, unsigned threads = 2);

    // Forgets every catalog and removes every segment: the next search builds from nothing.
    Status Clear();

private:
    LibraryIndex(std::string folder, std::string libraryPath);
    struct Built;
    void BuildOne(const CatalogFile& catalog, const SegmentFeeder& feed, const Progress& progress, Built& built) const;
    Status OpenSegmentAt(const std::string& path, const IndexedCatalog& catalog, std::shared_ptr<const SegmentReader>& segment) const;
    Status Record(const std::vector<IndexedCatalog>& records, const std::vector<std::string>& forget, bool clear) const;
    std::string SegmentPath(const std::string& name) const { return folder_ + "/segments/" + name; }

    std::string folder_;
    std::string libraryPath_;
};

// Removes the index folders in the cache folder whose library no longer exists (and
// leftovers of index folders that were never finished); returns how many.
std::size_t RemoveIndexesOfMissingLibraries(const std::string& cacheFolder);

}  // namespace vellumark
