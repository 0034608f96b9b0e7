#include "search/indexed_search.h"

#include "core/catalog_reader.h"
#include "core/path_names.h"
#include "search/catalog_search.h"

#include <cerrno>
#include <numeric>

namespace vellumark {

namespace {

// A search through the index looks at the cancel flag this often while it makes results.
constexpr std::size_t kCandidatesBetweenCancelChecks = 4096;

std::string WithoutTrailingSlashes(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// The key of a path inside the library root ("" for the root itself); nullopt outside it.
std::optional<std::string> KeyOf(const std::string& root, const std::string& path)
{
    if (path == root)
        return std::string();
    const std::string prefix = root == "/" ? root : root + "/";
    if (path.size() <= prefix.size() || path.compare(0, prefix.size(), prefix) != 0)
        return std::nullopt;
    return path.substr(prefix.size());
}

// The reader's failure, without the path it names, when it is a fault of the file's
// contents (the same bytes always give it again); nullopt for a fault that may pass, such as
// a file that could not be opened or read, which is then not recorded.
std::optional<std::string> ContentFailure(const std::string& path, const std::string& message)
{
    const std::string prefix = "Cannot read \"" + path + "\"";
    static constexpr std::string_view kAtOffset = " at offset ";
    if (message.compare(0, prefix.size(), prefix) != 0)
        return std::nullopt;
    const std::size_t at = message.rfind(kAtOffset);
    if (at == std::string::npos || at < prefix.size() || at + kAtOffset.size() == message.size()
        || message.find_first_not_of("0123456789", at + kAtOffset.size()) != std::string::npos)
        return std::nullopt;
    return message.substr(prefix.size());
}

// The values of a segment the conditions look at.
unsigned StoredValuesFor(const SearchConditions& conditions)
{
    unsigned which = 0;
    for (const int key : conditions.Fields()) {
        switch (key) {
        case kFileName: which |= kNameValue; break;
        case kFileExt: which |= kExtensionValue; break;
        case kDescription: which |= kDescriptionValue; break;
        case kFileType: which |= kTypeValue; break;
        case kFileSize: which |= kSizeValue; break;
        case kFileTime: which |= kTimeValue; break;
        default: break;
        }
    }
    return which;
}

void SetValues(const IndexedEntryValues& stored, unsigned which, EntryValues& values)
{
    values.fields[kFileName] = stored.fileName;
    values.fields[kFileExt] = stored.fileExt;
    values.fields[kDescription] = stored.description;
    values.fields[kFileType] = stored.fileType;
    if (which & kSizeValue)
        values.size = stored.size;
    if (which & kTimeValue)
        values.time = stored.time;
}

}  // namespace

CandidateQuery CandidateQueryOf(const SearchRequest& request)
{
    if (request.regularExpressions)
        return CandidateQuery({}, {}, {}, request.caseSensitive, request.wholeValues);
    return CandidateQuery(request.namePattern, request.extensionPattern, request.descriptionPattern, request.caseSensitive,
                          request.wholeValues);
}

std::unique_ptr<ScopeIndex> ScopeIndex::Open(const std::string& libraryRoot, const std::string& cacheFolder,
                                             const std::string& scopePath, bool scopeIsGroup,
                                             const std::vector<std::string>& files)
{
    if (libraryRoot.empty())
        return nullptr;
    const std::optional<std::string> scopeKey = KeyOf(WithoutTrailingSlashes(libraryRoot), WithoutTrailingSlashes(scopePath));
    if (!scopeKey || (!scopeIsGroup && scopeKey->empty()))
        return nullptr;
    return Make(libraryRoot, cacheFolder, files, true, *scopeKey);
}

std::unique_ptr<ScopeIndex> ScopeIndex::OpenExisting(const std::string& libraryRoot, const std::string& cacheFolder,
                                                     const std::vector<std::string>& files)
{
    return Make(libraryRoot, cacheFolder, files, false, "");
}

std::unique_ptr<ScopeIndex> ScopeIndex::Make(const std::string& libraryRoot, const std::string& cacheFolder,
                                             const std::vector<std::string>& files, bool create, const std::string& scopeKey)
{
    const std::string root = WithoutTrailingSlashes(libraryRoot);
    std::unique_ptr<ScopeIndex> scope(new ScopeIndex());
    for (const std::string& path : files) {
        std::optional<std::string> key = KeyOf(root, path);
        if (!key || key->empty())
            return nullptr;
        scope->catalogs_.push_back({std::move(*key), path});
    }
    scope->cacheFolder_ = cacheFolder.empty() ? DefaultIndexCacheFolder() : cacheFolder;
    if (!LibraryIndex::Open(scope->cacheFolder_, root, create, scope->index_).ok())
        return nullptr;
    std::vector<std::optional<CatalogIdentity>> identities;
    for (const std::string& path : files) {
        scope->statuses_.push_back(StatusOfPath(path, FollowLinks::Yes));
        scope->statErrors_.push_back(scope->statuses_.back() ? 0 : errno);
        const std::optional<FileStatus>& status = scope->statuses_.back();
        identities.push_back(status && status->kind == FileKind::RegularFile ? std::optional(IdentityOfStatus(*status))
                                                                              : std::nullopt);
    }
    scope->outcomes_.resize(files.size());
    scope->check_ = scope->index_->Check(scope->catalogs_, identities, scopeKey);
    return scope;
}

bool ScopeIndex::Readable(std::size_t file, std::string& failure) const
{
    return CatalogFileReadable(catalogs_[file].path, statuses_[file], statErrors_[file], failure);
}

void ScopeIndex::Search(std::size_t file, const SearchConditions* conditions, const CandidateQuery* query,
                        const Progress& cancel, Progress* messages, CatalogRead& read)
{
    const CatalogFile& catalog = catalogs_[file];
    FileOutcome& outcome = outcomes_[file];
    if (messages)
        messages->SetMessage(catalog.path);
    const auto forget = [&] {
        if (const std::optional<IndexedCatalog>& record = check_.recorded[file]) {
            std::lock_guard lock(mutex_);
            forget_.push_back(*record);
        }
    };
    if (!Readable(file, read.failure)) {
        outcome.skipped = !read.failure.empty();
        forget();
        return;
    }
    if (const std::optional<IndexedCatalog>& record = check_.current[file]) {
        switch (AnswerFromSegment(file, *record, conditions, query, cancel, read)) {
        case Answer::Given:
            outcome.recorded = true;
            outcome.skipped = record->catalogFailed;
            outcome.catalog = !record->catalogFailed;
            outcome.entries = record->entryCount;
            return;
        case Answer::Rebuild:
            read.Restart();
            break;
        }
    }
    ReadAndIndex(file, conditions, cancel, messages, read);
}

ScopeIndex::Answer ScopeIndex::AnswerFromSegment(std::size_t file, const IndexedCatalog& record,
                                                 const SearchConditions* conditions, const CandidateQuery* query,
                                                 const Progress& cancel, CatalogRead& read)
{
    const std::string& path = catalogs_[file].path;
    std::shared_ptr<const SegmentReader> segment;
    if (!index_->OpenSegment(record, segment).ok() || (verifySegments_ && !segment->VerifyContent().ok()))
        return Answer::Rebuild;
    if (segment->CatalogFailed()) {
        read.failure = RecordedFailure(path, segment->FailureMessage());
        return Answer::Given;
    }
    if (!conditions)
        return Answer::Given;

    std::vector<std::uint32_t> candidates;
    const ValueFilter* nameCheck = nullptr;
    if (query && query->Active()) {
        if (!query->FindCandidates(*segment, candidates, nameCheck).ok())
            return Answer::Rebuild;
    } else {
        candidates.resize(segment->EntryCount());
        std::iota(candidates.begin(), candidates.end(), 0u);
    }
    // Each candidate is verified by the search's own matcher on the values the segment holds
    // (its name among them), unless the query's candidates are exactly the entries its plain
    // patterns accept once their names pass the name check, made here as the names are read for
    // the results. A result is made from the segment alone: the catalog file is not read at all.
    const bool exact = query && query->Active() && conditions->OnlyPlainPatterns();
    const unsigned which = StoredValuesFor(*conditions);
    const SharedText catalogName(CatalogNameOfFile(path));
    TextPool extensions;
    EntryValues values;
    RecordCursor cursor;
    SegmentReader::ResultTexts fields;
    // Every entry of the segment, in order, needs no asking ahead: the processor sees the pattern.
    const bool prefetch = query && query->Active();
    for (std::size_t at = 0; at < candidates.size(); ++at) {
        const std::uint32_t ordinal = candidates[at];
        if (prefetch)
            PrefetchAhead(
                candidates, at, [&](std::uint32_t ahead) { segment->PrefetchResult(ahead, false); },
                [&](std::uint32_t ahead) { segment->PrefetchResult(ahead, true); });
        if ((at + 1) % kCandidatesBetweenCancelChecks == 0 && cancel.Cancelled()) {
            read.interrupted = true;
            return Answer::Given;
        }
        if (exact && nameCheck) {
            std::optional<std::string_view> name;
            if (!segment->Names().Value(ordinal, name))
                return Answer::Rebuild;
            if (!name || !nameCheck->Matches(*name))
                continue;
        } else if (!exact) {
            IndexedEntryValues stored;
            if (!segment->Values(ordinal, stored, which))
                return Answer::Rebuild;
            SetValues(stored, which, values);
            if (!EntryMatches(*conditions, values))
                continue;
        }
        if (!segment->ResultFields(ordinal, cursor, fields))
            return Answer::Rebuild;
        read.Keep(fields, catalogName, extensions);
    }
    return Answer::Given;
}

void ScopeIndex::ReadAndIndex(std::size_t file, const SearchConditions* conditions, const Progress& cancel,
                              Progress* messages, CatalogRead& read)
{
    const CatalogFile& catalog = catalogs_[file];
    FileOutcome& outcome = outcomes_[file];
    const CatalogIdentity before = IdentityOfStatus(*statuses_[file]);
    // Taken before the first byte is read: a change after this moment shows in the times.
    const std::int64_t indexedAt = WallClockNs();
    std::optional<SegmentBuilder> builder;
    if (SettledBefore(before, indexedAt))
        builder.emplace(catalog.key, before, indexedAt);
    const Status status = ReadCatalogFile(catalog.path, conditions, cancel, messages, read, builder ? &*builder : nullptr);
    outcome.read = status.code() != Status::Code::Cancelled;
    outcome.skipped = !read.failure.empty();
    outcome.catalog = status.ok();
    outcome.entries = status.ok() ? static_cast<std::uint32_t>(read.entries) : 0;
    std::optional<PendingSegment> pending;
    if (builder && status.code() != Status::Code::Cancelled) {
        std::optional<std::string> failure;
        if (status.code() == Status::Code::Failed && (failure = ContentFailure(catalog.path, read.failure)))
            builder->Fail(std::move(*failure));
        if (status.ok() || failure)
            pending = index_->WriteSegment(catalog, *builder, before, indexedAt);
    }
    std::lock_guard lock(mutex_);
    if (pending) {
        outcome.recorded = true;
        pending_.push_back(std::move(*pending));
    } else if (const std::optional<IndexedCatalog>& record = check_.recorded[file]) {
        forget_.push_back(*record);
    }
}

Status ScopeIndex::Finish()
{
    // The calling thread keeps no collection buffers between searches; helpers end with theirs.
    SegmentBuilder::ReleaseThreadBuffers();
    std::vector<PendingSegment> pending;
    std::vector<IndexedCatalog> forget;
    {
        std::lock_guard lock(mutex_);
        pending.swap(pending_);
        forget.swap(forget_);
    }
    forget.insert(forget.end(), check_.orphans.begin(), check_.orphans.end());
    if (pending.empty() && forget.empty())
        return Status::Ok();
    std::size_t recorded = 0;
    const Status status = index_->Commit(pending, forget, recorded);
    // A moment when the cache is written anyway: indexes of libraries that are gone go too.
    RemoveIndexesOfMissingLibraries(cacheFolder_);
    return status;
}

}  // namespace vellumark
