#include "search/duplicates.h"

#include "core/column_keys.h"
#include "core/path_names.h"
#include "search/catalog_file_search.h"
#include "search/catalog_search.h"
#include "search/copy_reader.h"
#include "search/duplicate_candidates.h"
#include "search/thread_work.h"
#include "search/index/library_index.h"
#include "services/compare_text.h"
#include "system/file_status.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <limits>
#include <numeric>
#include <optional>
#include <set>
#include <span>
#include <utility>

namespace vellumark {

namespace {

// Twenty digits exceed what 64 bits hold, and a group's sum of sizes more so.
__extension__ typedef unsigned __int128 ByteTotal;

std::string CannotRead(const std::string& path, const char* why) { return "Cannot read \"" + path + "\": " + why; }

// The identity the index and the copy reader compare: the file as one stat saw it.
CatalogIdentity IdentityOf(const FileStatus& status)
{
    const auto nanoseconds = [](const Timestamp& time) { return time.seconds * 1'000'000'000 + time.nanoseconds; };
    return {status.device, status.inode, status.size, nanoseconds(status.modified), nanoseconds(status.changed)};
}

// A FileSize of 1 to 20 digits as a number (the copies' records hold only such sizes).
ByteTotal ExactSize(std::string_view text)
{
    ByteTotal value = 0;
    for (const char c : text)
        value = value * 10 + static_cast<unsigned>(c - '0');
    return value;
}

// The catalog's path below the library root ("" for the root itself); nullopt outside it.
std::optional<std::string> LibraryKey(const std::string& root, const std::string& path)
{
    if (path == root)
        return std::string();
    if (path.size() > root.size() && path.compare(0, root.size(), root) == 0 && (root == "/" || path[root.size()] == '/'))
        return path.substr(root == "/" ? 1 : root.size() + 1);
    return std::nullopt;
}

std::string NormalRoot(const std::string& root)
{
    std::string normal = std::filesystem::path(root).lexically_normal().string();
    while (normal.size() > 1 && normal.back() == '/')
        normal.pop_back();
    return normal;
}

// Candidates are spread over this many partitions by the top bits of their hash, so that
// the candidates of one partition, across all catalogs, can be counted in a table that
// fits the cache.
constexpr unsigned kPartitionBits = 8;
constexpr std::size_t kPartitions = std::size_t{1} << kPartitionBits;

std::size_t PartitionOf(std::uint64_t hash) { return static_cast<std::size_t>(hash >> (64 - kPartitionBits)); }

// A catalog file of the scope, however often the walk reached it.
struct ScopeCatalog {
    std::string path;
    CatalogIdentity identity;
    std::shared_ptr<const SegmentReader> segment;  // set when its entries come from the index
    bool byOrdinal = false;                        // read whole: its candidates' places are ordinals
    std::string failure;                           // why it is skipped; empty when it is read
    // Ordered by partition, each partition's in document order (see PartitionCandidates);
    // no starts when there are no candidates.
    std::vector<DuplicateCandidate> candidates;
    std::vector<std::size_t> partitionStarts;
};

// Orders the catalog's candidates by partition, keeping document order within each.
void PartitionCandidates(ScopeCatalog& catalog)
{
    if (catalog.candidates.empty())
        return;
    std::vector<std::size_t>& starts = catalog.partitionStarts;
    starts.assign(kPartitions + 1, 0);
    for (const DuplicateCandidate& candidate : catalog.candidates)
        ++starts[PartitionOf(candidate.hash) + 1];
    std::partial_sum(starts.begin(), starts.end(), starts.begin());
    std::vector<DuplicateCandidate> ordered(catalog.candidates.size());
    std::vector<std::size_t> next(starts.begin(), starts.end() - 1);
    for (const DuplicateCandidate& candidate : catalog.candidates)
        ordered[next[PartitionOf(candidate.hash)]++] = candidate;
    catalog.candidates = std::move(ordered);
}

// Where a candidate that shares its hash with another lies, and its bucket (the candidates
// of its hash). Result order is the order of (catalog, where).
struct Location {
    std::uint32_t catalog;
    std::uint64_t where;
    std::size_t bucket;

    bool operator<(const Location& other) const { return catalog != other.catalog ? catalog < other.catalog : where < other.where; }
};

// Such a candidate with its record, once read.
struct Member {
    Location location;
    EntryRecord record;
    // The record's key, taken while the reading thread has the record at hand.
    ByteTotal size = 0;
    std::string_view name;  // into the record's own text, which a move leaves in place

    void Take(EntryRecord&& read)
    {
        record = std::move(read);
        size = ExactSize(record.Field(kFileSize));
        name = record.Field(kFileName);
    }
};

// The members of one partition, in result order, with buckets numbered within it.
struct PartitionMembers {
    std::vector<Location> members;
    std::size_t buckets = 0;
};

struct FoundGroup {
    std::vector<std::size_t> members;
    ByteTotal wasted = 0;
};

// A catalog with a copy in every so many bytes, or more often, is read whole rather than at
// each copy's offset: about what reading one copy at its offset costs in reading a file whole.
constexpr std::uint64_t kBytesPerCopyAtOffset = 2048;

Status ChangedWhileRead(const ScopeCatalog& catalog)
{
    return Status::Failed("The catalog \"" + catalog.path + "\" changed while duplicates were looked for");
}

class DuplicateFinder {
public:
    DuplicateFinder(const DuplicatesRequest& request, Progress& progress)
        : request_(request), progress_(progress), filter_(request.key, request.minSize)
    {
    }

    DuplicatesOutcome Find();

private:
    bool TakeFromIndex(const std::vector<std::string>& files);
    void TakeFromFiles(const std::vector<std::string>& files);
    void CollectCandidates();
    void GroupCandidates();
    PartitionMembers MembersOfPartition(std::size_t partition) const;
    Status ReadCopies();
    Status TakeCopiesFromSegment(const ScopeCatalog& catalog, std::span<Member> copies);
    Status ReadCopiesAtOffsets(const ScopeCatalog& catalog, std::span<Member> copies);
    Status ReadCopiesInOneRead(const ScopeCatalog& catalog, std::span<Member> copies);
    void RankGroups();
    std::vector<FoundGroup> GroupsOfBuckets(std::size_t first, std::size_t end) const;

    const DuplicatesRequest& request_;
    Progress& progress_;
    const CandidateFilter filter_;
    DuplicatesOutcome outcome_;

    std::vector<ScopeCatalog> catalogs_;
    // The candidates that share their hash with another, in result order, and the members of
    // each bucket (those of one hash), bucket after bucket, each bucket in result order.
    std::vector<Member> members_;
    std::vector<std::size_t> bucketMembers_;
    std::vector<std::size_t> bucketEnds_;
};

DuplicatesOutcome DuplicateFinder::Find()
{
    if (request_.scopePath.empty())
        return std::move(outcome_);
    WaitScope wait(progress_, request_.scopePath, true);
    ScopeCatalogs scope = ListScopeCatalogs(request_.scopePath, request_.scopeIsGroup, progress_);
    outcome_.skipped = std::move(scope.unlistedFolders);
    if (!scope.cancelled) {
        outcome_.usedIndex = TakeFromIndex(scope.files);
        if (!outcome_.usedIndex)
            TakeFromFiles(scope.files);
        for (const ScopeCatalog& catalog : catalogs_)
            outcome_.catalogs.push_back(catalog.path);
        CollectCandidates();
    }
    if (!progress_.Cancelled())
        GroupCandidates();
    if (!progress_.Cancelled())
        outcome_.status = ReadCopies();
    if (!progress_.Cancelled() && outcome_.status.ok())
        RankGroups();
    if (progress_.Cancelled()) {
        outcome_.status = Status::Cancelled();
        outcome_.groups.clear();
    }
    return std::move(outcome_);
}

// The index serves only when it is current for every catalog of the scope; anything less
// and every catalog is read, so that the answer never depends on the state of the cache.
bool DuplicateFinder::TakeFromIndex(const std::vector<std::string>& files)
{
    if (!request_.useIndex || request_.libraryRoot.empty() || request_.indexCacheFolder.empty())
        return false;
    const std::string root = NormalRoot(request_.libraryRoot);
    const std::optional<std::string> scopeKey = LibraryKey(root, request_.scopePath);
    if (!scopeKey)
        return false;
    std::vector<CatalogFile> catalogFiles;
    for (const std::string& path : files) {
        std::optional<std::string> key = LibraryKey(root, path);
        if (!key)
            return false;
        catalogFiles.push_back({std::move(*key), path});
    }
    std::unique_ptr<LibraryIndex> index;
    if (!LibraryIndex::Open(request_.indexCacheFolder, request_.libraryRoot, false, index).ok())
        return false;
    const IndexCheck check = index->Check(catalogFiles, *scopeKey);
    if (!check.stale.empty())
        return false;
    std::vector<ScopeCatalog> catalogs;
    std::set<std::pair<std::uint64_t, std::uint64_t>> seen;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const IndexedCatalog& indexed = *check.current[i];
        if (!seen.insert({indexed.identity.device, indexed.identity.inode}).second)
            continue;
        ScopeCatalog& catalog = catalogs.emplace_back();
        catalog.path = files[i];
        catalog.identity = indexed.identity;
        if (!index->OpenSegment(indexed, catalog.segment).ok())
            return false;
        if (catalog.segment->CatalogFailed())
            catalog.failure = RecordedFailure(catalog.path, catalog.segment->FailureMessage());
    }
    catalogs_ = std::move(catalogs);
    return true;
}

// As the search treats the files of its scope: a file gone since the walk is no fault, and
// only plain files are read (a pipe or a device would block or never end).
void DuplicateFinder::TakeFromFiles(const std::vector<std::string>& files)
{
    std::set<std::pair<std::uint64_t, std::uint64_t>> seen;
    for (const std::string& path : files) {
        const std::optional<FileStatus> status = StatusOfPath(path, FollowLinks::Yes);
        const int error = errno;
        if (!status && (error == ENOENT || error == ENOTDIR))
            continue;
        if (status && !seen.insert({status->device, status->inode}).second)
            continue;
        ScopeCatalog& catalog = catalogs_.emplace_back();
        catalog.path = path;
        if (!status)
            catalog.failure = CannotRead(path, std::strerror(error));
        else if (status->kind != FileKind::RegularFile)
            catalog.failure = CannotRead(path, "not a regular file");
        else
            catalog.identity = IdentityOf(*status);
    }
}

void DuplicateFinder::CollectCandidates()
{
    ForEachOnThreads(catalogs_.size(), progress_, [this](std::size_t index, Progress* messages) {
        ScopeCatalog& catalog = catalogs_[index];
        if (!catalog.failure.empty())
            return;
        if (messages)
            messages->SetMessage(catalog.path);
        Status status;
        if (catalog.segment) {
            status = IndexedCandidates(*catalog.segment, filter_, progress_, catalog.candidates);
            if (status.code() == Status::Code::Failed) {
                // A damaged segment: the catalog is the one indexed, so reading it gives the same.
                catalog.candidates.clear();
                catalog.segment.reset();
            }
        }
        if (!catalog.segment)
            status = StreamCandidates(catalog.path, filter_, progress_, messages, catalog.candidates, catalog.byOrdinal);
        if (status.code() == Status::Code::Failed)
            catalog.failure = status.message();
        else if (status.ok())
            PartitionCandidates(catalog);
    });
    for (const ScopeCatalog& catalog : catalogs_)
        if (!catalog.failure.empty())
            outcome_.skipped.push_back({catalog.path, catalog.failure});
}

// The partitions are counted on several threads; their buckets are then numbered one
// partition after the other, and the members put in result order.
void DuplicateFinder::GroupCandidates()
{
    std::vector<PartitionMembers> partitions(kPartitions);
    ForEachOnThreads(kPartitions, progress_, [&](std::size_t partition, Progress*) {
        partitions[partition] = MembersOfPartition(partition);
    });
    std::size_t buckets = 0;
    std::vector<Location> locations;
    for (PartitionMembers& partition : partitions) {
        for (Location& location : partition.members) {
            location.bucket += buckets;
            locations.push_back(location);
        }
        buckets += partition.buckets;
        partition = {};
    }
    for (ScopeCatalog& catalog : catalogs_) {
        catalog.candidates = {};
        catalog.partitionStarts = {};
    }
    std::sort(locations.begin(), locations.end());
    members_.reserve(locations.size());
    for (const Location& location : locations)
        members_.push_back({location, {}, 0, {}});
    locations = {};

    std::vector<std::size_t> starts(buckets + 1, 0);
    for (const Member& member : members_)
        ++starts[member.location.bucket + 1];
    std::partial_sum(starts.begin(), starts.end(), starts.begin());
    bucketEnds_.assign(starts.begin() + 1, starts.end());
    bucketMembers_.resize(members_.size());
    for (std::size_t member = 0; member < members_.size(); ++member)
        bucketMembers_[starts[members_[member].location.bucket]++] = member;
}

// The candidates of one partition that share their hash with another. Each hash is counted
// in a table, then the candidates of the hashes seen more than once are taken, in result
// order, each hash's numbered as a bucket. A hash shared by different keys is rare; the
// records read later part them.
PartitionMembers DuplicateFinder::MembersOfPartition(std::size_t partition) const
{
    // A hash seen once, more than once, or more than once and numbered as a bucket.
    enum : std::uint32_t { kFree, kOnce, kMore, kNumbered };
    struct Slot {
        std::uint64_t hash;
        std::uint32_t state;
        std::uint32_t bucket;  // within the partition
    };
    std::size_t candidates = 0;
    for (const ScopeCatalog& catalog : catalogs_)
        if (!catalog.partitionStarts.empty())
            candidates += catalog.partitionStarts[partition + 1] - catalog.partitionStarts[partition];
    const std::size_t mask = std::bit_ceil(std::max<std::size_t>(2 * candidates, 16)) - 1;
    std::vector<Slot> table(mask + 1, Slot{0, kFree, 0});
    const auto slotOf = [&](std::uint64_t hash) -> Slot& {
        // The top bits chose the partition; the low ones spread the hashes within it.
        std::size_t at = static_cast<std::size_t>(hash) & mask;
        while (table[at].state != kFree && table[at].hash != hash)
            at = (at + 1) & mask;
        return table[at];
    };
    const auto forEachCandidate = [&](const auto& visit) {
        for (std::uint32_t catalog = 0; catalog < catalogs_.size(); ++catalog) {
            const ScopeCatalog& scope = catalogs_[catalog];
            if (scope.partitionStarts.empty())
                continue;
            for (std::size_t i = scope.partitionStarts[partition]; i < scope.partitionStarts[partition + 1]; ++i)
                visit(catalog, scope.candidates[i]);
        }
    };

    forEachCandidate([&](std::uint32_t, const DuplicateCandidate& candidate) {
        Slot& slot = slotOf(candidate.hash);
        slot.hash = candidate.hash;
        slot.state = slot.state == kFree ? kOnce : kMore;
    });
    PartitionMembers found;
    forEachCandidate([&](std::uint32_t catalog, const DuplicateCandidate& candidate) {
        Slot& slot = slotOf(candidate.hash);
        if (slot.state == kOnce)
            return;
        if (slot.state == kMore) {
            slot.state = kNumbered;
            slot.bucket = static_cast<std::uint32_t>(found.buckets++);
        }
        found.members.push_back({catalog, candidate.where, slot.bucket});
    });
    return found;
}

// Each catalog's copies are taken in document order: from its segment when the index served,
// else from the file, one by one at their offsets where they are few, or in one read of the
// catalog (many reads at offsets cost more than reading the file whole); the file read must be
// the one whose entries were grouped.
Status DuplicateFinder::ReadCopies()
{
    std::vector<std::size_t> runStarts;
    for (std::size_t member = 0; member < members_.size(); ++member)
        if (member == 0 || members_[member].location.catalog != members_[member - 1].location.catalog)
            runStarts.push_back(member);
    runStarts.push_back(members_.size());

    std::vector<Status> statuses(runStarts.size() - 1);
    ForEachOnThreads(statuses.size(), progress_, [&](std::size_t run, Progress* messages) {
        const std::span<Member> copies(members_.data() + runStarts[run], runStarts[run + 1] - runStarts[run]);
        const ScopeCatalog& catalog = catalogs_[copies.front().location.catalog];
        if (messages)
            messages->SetMessage(catalog.path);
        if (catalog.segment)
            statuses[run] = TakeCopiesFromSegment(catalog, copies);
        else if (!catalog.byOrdinal && copies.size() * kBytesPerCopyAtOffset < catalog.identity.size)
            statuses[run] = ReadCopiesAtOffsets(catalog, copies);
        else
            statuses[run] = ReadCopiesInOneRead(catalog, copies);
    });
    for (const Status& status : statuses)
        if (status.code() == Status::Code::Failed)
            return status;
    return Status::Ok();
}

// The copies of an indexed catalog are made from its segment, as a search's results are: the
// records are those of the very entries whose keys were grouped.
Status DuplicateFinder::TakeCopiesFromSegment(const ScopeCatalog& catalog, std::span<Member> copies)
{
    const SharedText catalogName(CatalogNameOfFile(catalog.path));
    RecordCursor cursor;
    SegmentReader::ResultTexts fields;
    std::vector<EntryRecord> read;
    for (Member& member : copies) {
        if (progress_.Cancelled())
            return Status::Cancelled();
        if (!catalog.segment->ResultFields(static_cast<std::uint32_t>(member.location.where), cursor, fields))
            return Status::Failed("The search index segment of \"" + catalog.segment->Key() + "\" is damaged");
        AddSearchResult(fields, catalogName, read);
        member.Take(std::move(read.back()));
        read.clear();
    }
    return Status::Ok();
}

Status DuplicateFinder::ReadCopiesAtOffsets(const ScopeCatalog& catalog, std::span<Member> copies)
{
    std::vector<std::uint64_t> offsets;
    offsets.reserve(copies.size());
    for (const Member& member : copies)
        offsets.push_back(member.location.where);
    CopyReader reader;
    if (!reader.Open(catalog.path, catalog.identity).ok())
        return ChangedWhileRead(catalog);
    std::vector<EntryRecord> read;
    read.reserve(copies.size());
    if (Status status = reader.Read(offsets, SharedText(CatalogNameOfFile(catalog.path)), read); !status)
        return status;
    for (std::size_t i = 0; i < copies.size(); ++i)
        copies[i].Take(std::move(read[i]));
    return Status::Ok();
}

Status DuplicateFinder::ReadCopiesInOneRead(const ScopeCatalog& catalog, std::span<Member> copies)
{
    if (IdentityOfFile(catalog.path) != catalog.identity)
        return ChangedWhileRead(catalog);
    const SharedText catalogName(CatalogNameOfFile(catalog.path));
    std::vector<EntryRecord> read;
    auto next = copies.begin();
    std::uint64_t ordinal = 0;
    const Status status = ReadCatalogEntries(catalog.path, [&](const CatalogEntry& entry) {
        if (progress_.Cancelled())
            return false;
        const std::uint64_t at = catalog.byOrdinal ? ordinal++ : entry.Offset();
        if (at != next->location.where)
            return true;
        AddSearchResult(entry, catalogName, read);
        next->Take(std::move(read.back()));
        read.clear();
        return ++next != copies.end();
    });
    if (progress_.Cancelled())
        return Status::Cancelled();
    if (next != copies.end() || status.code() == Status::Code::Failed || IdentityOfFile(catalog.path) != catalog.identity)
        return ChangedWhileRead(catalog);
    return Status::Ok();
}

// Parts each bucket by the copies' keys as their records hold them.
std::vector<FoundGroup> DuplicateFinder::GroupsOfBuckets(std::size_t first, std::size_t end) const
{
    std::vector<FoundGroup> found;
    std::vector<std::size_t> rest;
    std::vector<std::size_t> others;
    const auto sameKey = [this](const Member& a, const Member& b) {
        if (request_.key != DuplicateKey::Name && a.size != b.size)
            return false;
        return request_.key == DuplicateKey::Size || CompareTextIgnoringAsciiCase(a.name, b.name) == 0;
    };
    for (std::size_t bucket = first; bucket < end; ++bucket) {
        const std::size_t bucketStart = bucket == 0 ? 0 : bucketEnds_[bucket - 1];
        rest.assign(bucketMembers_.begin() + static_cast<std::ptrdiff_t>(bucketStart),
                    bucketMembers_.begin() + static_cast<std::ptrdiff_t>(bucketEnds_[bucket]));
        while (rest.size() > 1) {
            FoundGroup group;
            others.clear();
            ByteTotal largest = 0;
            for (const std::size_t member : rest) {
                if (!sameKey(members_[rest.front()], members_[member])) {
                    others.push_back(member);
                    continue;
                }
                group.members.push_back(member);
                group.wasted += members_[member].size;
                largest = std::max(largest, members_[member].size);
            }
            if (group.members.size() > 1) {
                group.wasted -= largest;
                found.push_back(std::move(group));
            }
            rest.swap(others);
        }
    }
    return found;
}

void DuplicateFinder::RankGroups()
{
    constexpr std::size_t kBucketsPerPiece = 4096;
    const std::size_t pieces = (bucketEnds_.size() + kBucketsPerPiece - 1) / kBucketsPerPiece;
    std::vector<std::vector<FoundGroup>> pieceGroups(pieces);
    ForEachOnThreads(pieces, progress_, [&](std::size_t piece, Progress*) {
        pieceGroups[piece] = GroupsOfBuckets(piece * kBucketsPerPiece, std::min((piece + 1) * kBucketsPerPiece, bucketEnds_.size()));
    });
    std::vector<FoundGroup> found;
    for (std::vector<FoundGroup>& groups : pieceGroups)
        std::move(groups.begin(), groups.end(), std::back_inserter(found));
    std::sort(found.begin(), found.end(), [](const FoundGroup& a, const FoundGroup& b) {
        return a.wasted != b.wasted ? a.wasted > b.wasted : a.members.front() < b.members.front();
    });

    outcome_.groups.reserve(found.size());
    for (const FoundGroup& group : found) {
        DuplicateGroup& ranked = outcome_.groups.emplace_back();
        ranked.wastedBytes = static_cast<std::uint64_t>(
            std::min<ByteTotal>(group.wasted, std::numeric_limits<std::uint64_t>::max()));
        ranked.copies.reserve(group.members.size());
        for (const std::size_t member : group.members)
            ranked.copies.push_back({std::move(members_[member].record), members_[member].location.catalog});
    }
}

}  // namespace

DuplicatesOutcome FindDuplicates(const DuplicatesRequest& request, Progress& progress)
{
    return DuplicateFinder(request, progress).Find();
}

}  // namespace vellumark
