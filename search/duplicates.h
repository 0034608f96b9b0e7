#pragma once

#include "core/entry_record.h"
#include "search/catalog_walk.h"
#include "services/progress.h"
#include "services/status.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vellumark {

// What makes two files copies of each other. Names compare with the case of a to z ignored
// (other letters compare as they are); sizes compare as numbers.
enum class DuplicateKey { NameAndSize, Size, Name };

struct DuplicatesRequest {
    // A group folder (the library root counts as a group) or one catalog file.
    std::string scopePath;
    bool scopeIsGroup = false;
    DuplicateKey key = DuplicateKey::NameAndSize;
    // Files smaller than this are left out; the default keeps empty files out.
    std::uint64_t minSize = 1;
    // The search index of the library, used when it is current for every catalog of the
    // scope; without a library root every catalog is read.
    bool useIndex = true;
    std::string libraryRoot;
    std::string indexCacheFolder;
};

// One file of a group: its record as a search result gives it, and where it was found (for
// opening its catalog at that entry).
struct DuplicateCopy {
    EntryRecord record;
    std::uint32_t catalog = 0;  // index into DuplicatesOutcome::catalogs
};

struct DuplicateGroup {
    // In result order: the catalogs in walk order, each in document order.
    std::vector<DuplicateCopy> copies;
    // The sum of the copies' sizes minus the largest (at most 2^64-1 shown; the ranking uses
    // the exact sum).
    std::uint64_t wastedBytes = 0;
};

struct DuplicatesOutcome {
    // Ok; Cancelled when the user stopped (no groups then); Failed when a catalog changed
    // between the look at its entries and the reading of its copies.
    Status status;
    // Ranked: most bytes wasted first, ties in the order of their first copies.
    std::vector<DuplicateGroup> groups;
    // The catalog files the copies were found in.
    std::vector<std::string> catalogs;
    // Files of the scope that are no readable catalog, and folders that could not be listed.
    std::vector<SkippedFile> skipped;
    // The entries came from the search index rather than from reading every catalog.
    bool usedIndex = false;
};

// Finds the files (FileType "file" with a FileSize of 1 to 20 digits, at least minSize) that
// occur more than once across the scope's catalogs, as ListScopeCatalogs lists them; a catalog
// file reached twice (same device and inode) is read once. Only the grouping values of every
// file are held; the records of the copies are read afterwards. The progress shows the file
// being read and its cancel flag is polled between entries.
DuplicatesOutcome FindDuplicates(const DuplicatesRequest& request, Progress& progress);

}  // namespace vellumark
