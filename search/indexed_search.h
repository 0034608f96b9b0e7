#pragma once

#include "search/catalog_file_search.h"
#include "search/entry_match.h"
#include "search/index/candidate_query.h"
#include "search/index/library_index.h"
#include "search/search_request.h"
#include "services/progress.h"
#include "services/status.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace vellumark {

// The search index as one search (or one update of the index) of a scope uses it. Opening it
// checks every catalog file of the scope against what the index recorded, with one stat per
// file; each file is then answered from its segment when that is current, else read whole
// (as the streaming search reads it) while its new segment is built on the way. The answers
// are the streaming search's, file for file: the same results and the same failures.
class ScopeIndex {
public:
    // What one file of the scope turned out to be.
    struct FileOutcome {
        bool catalog = false;    // a readable catalog (its entries counted below)
        bool skipped = false;    // no readable catalog: counted among the skipped files
        bool read = false;       // read this time
        bool recorded = false;   // its segment is current in the index (before or now)
        std::uint32_t entries = 0;
    };

    // Opens (creating it when missing) the index of the library in the cache folder (empty:
    // the per-user one). Null when the scope cannot go through an index: no library given, a
    // scope or file outside it, a cache that cannot be used.
    static std::unique_ptr<ScopeIndex> Open(const std::string& libraryRoot, const std::string& cacheFolder,
                                            const std::string& scopePath, bool scopeIsGroup,
                                            const std::vector<std::string>& files);
    // Opens an existing index only; null when the library has none. Nothing is changed.
    static std::unique_ptr<ScopeIndex> OpenExisting(const std::string& libraryRoot, const std::string& cacheFolder,
                                                    const std::vector<std::string>& files);

    std::size_t FileCount() const { return catalogs_.size(); }
    // The files whose catalog has to be read: new, changed, or indexed too shortly after a change.
    const std::vector<std::size_t>& StaleFiles() const { return check_.stale; }
    // Records within the scope whose catalog file is gone.
    std::size_t OrphanCount() const { return check_.orphans.size(); }
    LibraryIndex& Index() { return *index_; }
    // The file's record when its segment is current.
    const std::optional<IndexedCatalog>& Current(std::size_t file) const { return check_.current[file]; }
    // Whether the file is a catalog to read, as the one stat found it; else why it is skipped
    // (empty when it is simply not there).
    bool Readable(std::size_t file, std::string& failure) const;
    const FileStatus* StatusOf(std::size_t file) const { return statuses_[file] ? &*statuses_[file] : nullptr; }
    // Checks every byte of each current segment against its checksums before using it (the
    // index command); a search checks only their structure.
    void VerifySegments() { verifySegments_ = true; }

    // Answers one file: its matches (with conditions) or only brings its segment up to date
    // (without); a file that is no readable catalog gives its failure as the streaming search
    // words it. Called on several threads at once for different files.
    void Search(std::size_t file, const SearchConditions* conditions, const CandidateQuery* query, const Progress& cancel,
                Progress* messages, CatalogRead& read);

    // Records the segments built and forgets the catalogs that are gone; call once every
    // Search is over, also after a cancel (what was finished is kept). Failed when the index
    // could not be written, which loses nothing but time.
    Status Finish();

    const FileOutcome& Outcome(std::size_t file) const { return outcomes_[file]; }

private:
    enum class Answer { Given, Rebuild };

    ScopeIndex() = default;
    static std::unique_ptr<ScopeIndex> Make(const std::string& libraryRoot, const std::string& cacheFolder,
                                            const std::vector<std::string>& files, bool create, const std::string& scopeKey);
    Answer AnswerFromSegment(std::size_t file, const IndexedCatalog& record, const SearchConditions* conditions,
                             const CandidateQuery* query, const Progress& cancel, CatalogRead& read);
    void ReadAndIndex(std::size_t file, const SearchConditions* conditions, const Progress& cancel, Progress* messages,
                      CatalogRead& read);

    std::unique_ptr<LibraryIndex> index_;
    std::string cacheFolder_;
    std::vector<CatalogFile> catalogs_;
    std::vector<std::optional<FileStatus>> statuses_;
    std::vector<int> statErrors_;
    IndexCheck check_;
    std::vector<FileOutcome> outcomes_;
    bool verifySegments_ = false;

    std::mutex mutex_;
    std::vector<PendingSegment> pending_;
    std::vector<IndexedCatalog> forget_;
};

// The query a search's conditions give the index: its plain patterns (regular expressions
// and the other conditions are tested on each entry's stored values instead).
CandidateQuery CandidateQueryOf(const SearchRequest& request);

}  // namespace vellumark
