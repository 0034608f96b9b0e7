#pragma once

#include "search/catalog_walk.h"
#include "services/progress.h"
#include "services/status.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vellumark {

enum class IndexAction {
    Update,   // read what is new or changed, forget what is gone
    Status,   // change nothing, tell how far the index is behind
    Rebuild,  // start from nothing
};

// What the index of a library holds after the action.
struct IndexSummary {
    // Ok; Cancelled; Failed when the index cannot be kept (the cache folder is not writable).
    Status status;
    std::size_t catalogs = 0;  // readable catalogs of the library
    std::uint64_t entries = 0;
    std::size_t read = 0;       // catalog files read this time
    std::size_t skipped = 0;    // files that are no readable catalog, folders that cannot be listed
    std::size_t outOfDate = 0;  // (Status) catalogs to read again, records of catalogs gone
    std::uint64_t bytes = 0;    // the index's size
    std::vector<SkippedFile> skippedFiles;  // (Update, Rebuild) what `skipped` counts, with why
};

// Brings the search index of the library up to date, or tells its state, as the index
// command does. A catalog changed less than two seconds ago is waited for, so that its
// segment can count as current. Every segment kept is checked whole against its checksums;
// a damaged one is built again.
IndexSummary UpdateSearchIndex(const std::string& libraryRoot, const std::string& cacheFolder, IndexAction action,
                               Progress& progress);

}  // namespace vellumark
