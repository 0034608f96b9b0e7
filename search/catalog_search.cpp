#include "search/catalog_search.h"

#include "core/catalog_reader.h"
#include "core/column_keys.h"
#include "search/catalog_file_search.h"
#include "search/entry_match.h"
#include "search/indexed_search.h"
#include "system/file_status.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <thread>

namespace vellumark {

namespace {

// One search run. The group walk first lists the catalog files in walk order (a listing
// costs little next to reading the catalogs); the files are then searched by a few threads
// at once, each file by one thread, and handed on strictly in walk order by the calling
// thread, which alone talks to the progress and the sink. Through the library's index, a
// file is answered from its segment when that is current and read whole otherwise, which
// gives the same results and failures as reading every file.
class CatalogSearch {
public:
    CatalogSearch(const SearchRequest& request, Progress& progress, SearchSink& sink)
        : request_(request), conditions_(request), query_(CandidateQueryOf(request)), progress_(progress), sink_(sink)
    {
    }

    SearchOutcome SearchCatalogs();

private:
    // Progress is null on the helper threads: they only read the cancel flag.
    void SearchCatalogFile(std::size_t index, CatalogRead& read, Progress* messages) const;
    void ReadCatalogFiles();
    void Deliver(std::size_t index);
    void Skip(const std::string& path, std::string reason) { outcome_.skipped.push_back({path, std::move(reason)}); }

    const SearchRequest& request_;
    const SearchConditions conditions_;
    const CandidateQuery query_;
    std::unique_ptr<ScopeIndex> index_;
    Progress& progress_;
    SearchSink& sink_;
    SearchOutcome outcome_;
    bool cancelled_ = false;

    std::vector<std::string> files_;
    std::vector<CatalogRead> reads_;
    // Line buffers back from the sink, for the lines of files still to search: a buffer keeps
    // its memory, which a new one takes from the system again, page by page.
    std::vector<std::string> spareLines_;
    std::mutex mutex_;
    std::condition_variable readDone_;
};

SearchOutcome CatalogSearch::SearchCatalogs()
{
    if (request_.scopePath.empty())
        return outcome_;
    WaitScope wait(progress_, request_.scopePath, true);
    ScopeCatalogs scope = ListScopeCatalogs(request_.scopePath, request_.scopeIsGroup, progress_);
    files_ = std::move(scope.files);
    outcome_.skipped = std::move(scope.unlistedFolders);
    cancelled_ = scope.cancelled;
    if (!cancelled_) {
        // Without an index that can be used, the search reads every file and says nothing.
        if (request_.useIndex)
            index_ = ScopeIndex::Open(request_.libraryRoot, request_.indexCacheFolder, request_.scopePath,
                                      request_.scopeIsGroup, files_);
        ReadCatalogFiles();
        if (index_)
            index_->Finish();
    }
    if (cancelled_)
        outcome_.status = Status::Cancelled();
    return std::move(outcome_);
}

void CatalogSearch::ReadCatalogFiles()
{
    if (files_.empty())
        return;
    reads_.resize(files_.size());
    std::atomic<std::size_t> next{0};
    std::size_t delivered = 0;
    const auto deliverReady = [&] {
        std::unique_lock lock(mutex_);
        while (delivered < reads_.size() && reads_[delivered].done) {
            lock.unlock();
            Deliver(delivered++);
            lock.lock();
        }
    };
    const auto readFiles = [&](Progress* messages) {
        for (std::size_t index = next++; index < files_.size() && !progress_.Cancelled(); index = next++) {
            CatalogRead read;
            read.lineFormat = sink_.LineFormat();
            if (read.lineFormat) {
                std::lock_guard lock(mutex_);
                if (!spareLines_.empty()) {
                    read.foundLines = std::move(spareLines_.back());
                    spareLines_.pop_back();
                }
            }
            SearchCatalogFile(index, read, messages);
            {
                std::lock_guard lock(mutex_);
                reads_[index] = std::move(read);
                reads_[index].done = true;
            }
            readDone_.notify_all();
            if (messages)
                deliverReady();
        }
    };

    const std::size_t threads = std::min<std::size_t>({std::max(1u, std::thread::hardware_concurrency()), 4, files_.size()});
    std::vector<std::exception_ptr> failures(threads);
    std::vector<std::thread> helpers;
    for (std::size_t helper = 1; helper < threads; ++helper)
        helpers.emplace_back([&, helper] {
            try {
                readFiles(nullptr);
            } catch (...) {
                failures[helper] = std::current_exception();
                progress_.Cancel();  // the calling thread stops waiting and rethrows
            }
        });
    try {
        readFiles(&progress_);
        std::unique_lock lock(mutex_);
        while (delivered < reads_.size() && !progress_.Cancelled()) {
            // The cancel flag is set without a notification; look at it now and then.
            readDone_.wait_for(lock, std::chrono::milliseconds(100), [&] { return reads_[delivered].done; });
            lock.unlock();
            deliverReady();
            lock.lock();
        }
    } catch (...) {
        failures[0] = std::current_exception();
        progress_.Cancel();
    }
    for (std::thread& helper : helpers)
        helper.join();
    for (const std::exception_ptr& failure : failures)
        if (failure)
            std::rethrow_exception(failure);
    // The catalog next in walk order may have been in hand when the cancel came; its reader
    // has stopped by now (the threads are joined).
    if (delivered < reads_.size() && reads_[delivered].done)
        Deliver(delivered++);
    if (delivered < reads_.size())
        cancelled_ = true;
}

// Hands one file's outcome on, in walk order. Once the user has cancelled, only the file next
// in walk order is handed on, and only when the cancel came while it was read: the matches
// found in it before stay. Nothing after it is, even from files another thread has already read.
void CatalogSearch::Deliver(std::size_t index)
{
    if (cancelled_)
        return;
    CatalogRead& read = reads_[index];
    if (progress_.Cancelled()) {
        cancelled_ = true;
        if (!read.interrupted)
            return;
    }
    if (!read.failure.empty())
        Skip(files_[index], std::move(read.failure));
    outcome_.resultCount += read.FoundCount();
    if (!read.found.empty())
        sink_.AddFrom(files_[index], std::move(read.found));
    if (read.foundLineCount)
        sink_.AddLines(read.foundLines, read.foundLineCount);
    // A buffer larger than most catalogs need is freed, not kept.
    constexpr std::size_t kLargestSpareLines = std::size_t{4} << 20;
    if (read.foundLines.capacity() && read.foundLines.capacity() <= kLargestSpareLines) {
        read.foundLines.clear();
        std::lock_guard lock(mutex_);
        spareLines_.push_back(std::move(read.foundLines));
    }
    read = CatalogRead{};
    read.done = true;
}

void CatalogSearch::SearchCatalogFile(std::size_t index, CatalogRead& read, Progress* messages) const
{
    if (index_) {
        index_->Search(index, &conditions_, &query_, progress_, messages, read);
        return;
    }
    const std::string& path = files_[index];
    if (messages)
        messages->SetMessage(path);
    const std::optional<FileStatus> file = StatusOfPath(path, FollowLinks::Yes);
    if (CatalogFileReadable(path, file, file ? 0 : errno, read.failure))
        ReadCatalogFile(path, &conditions_, progress_, messages, read);
}

}  // namespace

void CatalogTreeSink::Add(std::vector<EntryRecord>&& batch)
{
    for (EntryRecord& record : batch)
        tree_.Append(nullptr, std::move(record));
    batch.clear();
}

SearchOutcome SearchCatalogs(const SearchRequest& request, Progress& progress, SearchSink& sink)
{
    return CatalogSearch(request, progress, sink).SearchCatalogs();
}

SearchOutcome SearchCatalogs(const SearchRequest& request, Progress& progress, CatalogTree& results)
{
    CatalogTreeSink sink(results);
    return SearchCatalogs(request, progress, sink);
}

void AddSearchResult(const CatalogEntry& entry, const SharedText& catalogName, std::vector<EntryRecord>& results,
                     TextPool* extensions)
{
    EntryRecord::Fields fields{};
    entry.AllValues(fields);
    AddSearchResult(fields, catalogName, results, extensions);
}

void AddSearchResult(const EntryRecord::Fields& fields, const SharedText& catalogName, std::vector<EntryRecord>& results,
                     TextPool* extensions)
{
    const std::string_view kind = fields[kFileType];
    SharedText kindText = kind == kKindDirectory ? SharedText::Directory()
                        : kind == kKindFile      ? SharedText::File()
                        : kind.empty()           ? SharedText()
                                                 : SharedText(kind);
    SharedText extension = extensions            ? extensions->Get(fields[kFileExt])
                         : fields[kFileExt].empty() ? SharedText()
                                                    : SharedText(fields[kFileExt]);
    results.emplace_back().Assign(fields, std::move(extension), std::move(kindText), catalogName);
}

}  // namespace vellumark
