#include "search/index_update.h"

#include "search/indexed_search.h"
#include "search/thread_work.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

namespace vellumark {

namespace {

std::int64_t ModifiedNs(const FileStatus& status)
{
    return status.modified.seconds * 1'000'000'000 + status.modified.nanoseconds;
}

// Waits until every catalog changed within the last two seconds has settled, so that the
// segment read now counts as current. A time further in the future is never waited for.
void WaitUntilSettled(const ScopeIndex& index, Progress& progress)
{
    std::int64_t latest = 0;
    for (const std::size_t file : index.StaleFiles())
        if (const FileStatus* status = index.StatusOf(file); status && status->kind == FileKind::RegularFile)
            latest = std::max(latest, ModifiedNs(*status));
    const std::int64_t settled = latest + kSettleTimeNs + 1;
    for (std::int64_t now = WallClockNs(); now < settled && settled - now <= kSettleTimeNs + 1 && !progress.Cancelled();
         now = WallClockNs())
        std::this_thread::sleep_for(std::chrono::nanoseconds(std::min<std::int64_t>(settled - now, 100'000'000)));
}

void SummariseStatus(const ScopeIndex* index, const std::vector<std::string>& files, IndexSummary& summary)
{
    for (std::size_t file = 0; file < files.size(); ++file) {
        std::string failure;
        bool readable;
        if (index) {
            readable = index->Readable(file, failure);
        } else {
            const std::optional<FileStatus> status = StatusOfPath(files[file], FollowLinks::Yes);
            readable = CatalogFileReadable(files[file], status, status ? 0 : errno, failure);
        }
        if (!readable) {
            summary.skipped += !failure.empty();
        } else if (!index || !index->Current(file)) {
            ++summary.outOfDate;
        } else if (index->Current(file)->catalogFailed) {
            ++summary.skipped;
        } else {
            ++summary.catalogs;
            summary.entries += index->Current(file)->entryCount;
        }
    }
}

}  // namespace

IndexSummary UpdateSearchIndex(const std::string& libraryRoot, const std::string& cacheFolder, IndexAction action,
                               Progress& progress)
{
    IndexSummary summary;
    WaitScope wait(progress, libraryRoot, true);
    const ScopeCatalogs scope = ListScopeCatalogs(libraryRoot, true, progress);
    if (scope.cancelled) {
        summary.status = Status::Cancelled();
        return summary;
    }
    summary.skippedFiles = scope.unlistedFolders;
    summary.skipped = scope.unlistedFolders.size();
    const std::string cache = cacheFolder.empty() ? DefaultIndexCacheFolder() : cacheFolder;

    if (action == IndexAction::Status) {
        const std::unique_ptr<ScopeIndex> index = ScopeIndex::OpenExisting(libraryRoot, cache, scope.files);
        SummariseStatus(index.get(), scope.files, summary);
        if (index) {
            summary.outOfDate += index->OrphanCount();
            summary.bytes = index->Index().Bytes();
        }
        return summary;
    }

    std::unique_ptr<LibraryIndex> library;
    if (Status opened = LibraryIndex::Open(cache, libraryRoot, true, library); !opened) {
        summary.status = opened;
        return summary;
    }
    if (action == IndexAction::Rebuild) {
        if (Status cleared = library->Clear(); !cleared) {
            summary.status = cleared;
            return summary;
        }
    }
    const std::unique_ptr<ScopeIndex> index = ScopeIndex::Open(libraryRoot, cache, libraryRoot, true, scope.files);
    if (!index) {
        summary.status = Status::Failed("The search index of \"" + libraryRoot + "\" cannot be kept in \"" + cache + "\"");
        return summary;
    }
    index->VerifySegments();
    WaitUntilSettled(*index, progress);

    std::vector<CatalogRead> reads(scope.files.size());
    ForEachOnThreads(
        scope.files.size(), progress,
        [&](std::size_t file, Progress* messages) { index->Search(file, nullptr, nullptr, progress, messages, reads[file]); },
        2);

    // What was finished is kept, also after a cancel.
    summary.status = index->Finish();
    if (summary.status.ok() && progress.Cancelled())
        summary.status = Status::Cancelled();
    for (std::size_t file = 0; file < scope.files.size(); ++file) {
        const ScopeIndex::FileOutcome& outcome = index->Outcome(file);
        summary.read += outcome.read;
        if (outcome.catalog) {
            ++summary.catalogs;
            summary.entries += outcome.entries;
        }
        if (!reads[file].failure.empty()) {
            ++summary.skipped;
            summary.skippedFiles.push_back({scope.files[file], std::move(reads[file].failure)});
        }
    }
    summary.bytes = index->Index().Bytes();
    return summary;
}

}  // namespace vellumark
