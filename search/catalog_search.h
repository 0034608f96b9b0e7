#pragma once

#include "core/catalog_reader.h"
#include "core/catalog_tree.h"
#include "core/shared_text.h"
#include "search/catalog_file_search.h"
#include "search/catalog_walk.h"
#include "search/search_request.h"
#include "services/progress.h"
#include "services/status.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vellumark {

// Receives a search's results while it runs, in result order, so a window can show the first
// ones before the search ends. Each batch holds the matches of one catalog read to its end,
// except a cancelled search's last, which holds those found before the cancel.
// Called on the thread that runs the search.
class SearchSink {
public:
    virtual ~SearchSink() = default;
    virtual void Add(std::vector<EntryRecord>&& batch) = 0;
    // The same, for a sink that keeps where its results come from: the catalog file whose
    // matches the batch holds.
    virtual void AddFrom(const std::string& catalogPath, std::vector<EntryRecord>&& batch)
    {
        static_cast<void>(catalogPath);
        Add(std::move(batch));
    }
    // A sink that only writes its results out may take them as lines of this format instead
    // (null: as records). They then come through AddLines, a catalog's matches at a time.
    virtual const ResultLineFormat* LineFormat() const { return nullptr; }
    virtual void AddLines(std::string_view lines, std::size_t count)
    {
        static_cast<void>(lines);
        static_cast<void>(count);
    }
};

// Appends every result to a tree as a top-level entry (the flat result list).
class CatalogTreeSink final : public SearchSink {
public:
    explicit CatalogTreeSink(CatalogTree& tree) : tree_(tree) {}
    void Add(std::vector<EntryRecord>&& batch) override;

private:
    CatalogTree& tree_;
};

struct SearchOutcome {
    // Ok, or Cancelled when the user stopped the search: the results are then only those
    // found before.
    Status status;
    std::size_t resultCount = 0;
    // Files that are no readable catalog (not well-formed XML, unreadable, no regular file)
    // and folders that could not be listed; the results of such a file were dropped whole.
    std::vector<SkippedFile> skipped;

    // True when every catalog of the scope was searched to its end.
    bool Complete() const { return status.ok() && skipped.empty(); }
};

// Searches the catalogs of the request's scope, as ListScopeCatalogs lists them. Results reach
// the sink catalog by catalog in the order the walk reaches the files, within a catalog in
// document order. Each file is streamed;
// only matches are kept. A scope or file that does not exist gives no results and no fault.
// Several catalog files are read at once on helper threads; the progress (messages) and the
// sink are called on the calling thread only, and the cancel flag is polled between files and
// between elements. Once cancelled, the catalog being read hands on the matches found in it
// so far and no later catalog reaches the sink.
SearchOutcome SearchCatalogs(const SearchRequest& request, Progress& progress, SearchSink& sink);

// The same, appending the results to the tree's top level.
SearchOutcome SearchCatalogs(const SearchRequest& request, Progress& progress, CatalogTree& results);

// Copies the entry into a new result at the end of the list: the attributes among the eleven
// column keys that it has (no kind default, no path fallback), then the catalog's name as
// "DiskName", whatever the element held. Equal extensions share one text through the pool,
// when given.
void AddSearchResult(const CatalogEntry& entry, const SharedText& catalogName, std::vector<EntryRecord>& results,
                     TextPool* extensions = nullptr);
// The same from the entry's fields (DiskName not looked at).
void AddSearchResult(const EntryRecord::Fields& fields, const SharedText& catalogName, std::vector<EntryRecord>& results,
                     TextPool* extensions = nullptr);

}  // namespace vellumark
