#include "search/index/library_index.h"

#include "search/index/byte_codec.h"
#include "services/atomic_file.h"
#include "system/file_status.h"
#include "system/folder_listing.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <ftw.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>

namespace vellumark {

namespace {

constexpr std::string_view kMarkerMagic = "VMKLIBRY";
constexpr std::uint32_t kMarkerFormatVersion = 1;
constexpr char kMarkerName[] = "library";
constexpr char kManifestName[] = "manifest";
constexpr char kLockName[] = "lock";
constexpr char kSegmentFolder[] = "segments";
constexpr char kUnfinishedPrefix[] = ".new-";
// A file nobody records is left alone this long: its writer may be about to record it.
constexpr std::int64_t kLeftoverAgeNs = 3600LL * 1'000'000'000;

std::string Hex16(std::uint64_t value)
{
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

std::string RealPath(const std::string& path)
{
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved)
        return {};
    std::string result(resolved);
    std::free(resolved);
    return result;
}

// The real path the folder has or would have once made: the real path of its deepest
// existing ancestor, then the rest as written.
std::string EffectivePath(std::string path)
{
    std::string rest;
    for (;;) {
        const std::string real = RealPath(path);
        if (!real.empty())
            return real == "/" && !rest.empty() ? rest : real + rest;
        const auto slash = path.find_last_of('/');
        if (slash == std::string::npos)
            return {};
        rest = path.substr(slash) + rest;
        path = slash == 0 ? "/" : path.substr(0, slash);
    }
}

bool Within(const std::string& path, const std::string& folder)
{
    return path == folder || (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0
                              && (folder == "/" || path[folder.size()] == '/'));
}

bool MakeFolders(const std::string& path)
{
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            break;
    }
    return KindOfPath(path, FollowLinks::Yes) == FileKind::Directory;
}

bool ReadWholeFile(const std::string& path, std::string& bytes)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bytes.clear();
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            ::close(fd);
            return got == 0;
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
}

std::string EncodeMarker(const std::string& libraryPath)
{
    std::string bytes(kMarkerMagic);
    PutU32(bytes, kMarkerFormatVersion);
    PutU32(bytes, static_cast<std::uint32_t>(libraryPath.size()));
    bytes += libraryPath;
    PutU64(bytes, IndexChecksum(bytes));
    return bytes;
}

// The library path the marker names; nullopt when it is missing or damaged.
std::optional<std::string> ReadMarker(const std::string& folder)
{
    std::string bytes;
    if (!ReadWholeFile(folder + "/" + kMarkerName, bytes) || bytes.size() < kMarkerMagic.size() + 16
        || bytes.compare(0, kMarkerMagic.size(), kMarkerMagic) != 0)
        return std::nullopt;
    ByteCursor cursor(std::string_view(bytes).substr(kMarkerMagic.size()));
    std::uint32_t version = 0, length = 0;
    std::string_view path;
    std::uint64_t checksum = 0;
    if (!cursor.U32(version) || version != kMarkerFormatVersion || !cursor.U32(length) || !cursor.Bytes(length, path)
        || !cursor.U64(checksum) || cursor.Left() != 0
        || checksum != IndexChecksum(std::string_view(bytes).substr(0, bytes.size() - 8)))
        return std::nullopt;
    return std::string(path);
}

int RemoveEntry(const char* path, const struct stat*, int type, struct FTW*)
{
    return type == FTW_DP ? ::rmdir(path) : ::unlink(path);
}

void RemoveFolderTree(const std::string& folder)
{
    ::nftw(folder.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

std::vector<std::string> FolderNames(const std::string& folder)
{
    std::vector<std::string> names;
    FolderListing listing(folder);
    while (const FolderEntry* entry = listing.Next())
        names.emplace_back(entry->Name());
    return names;
}

bool OlderThan(const std::string& path, std::int64_t ageNs)
{
    const std::optional<FileStatus> status = StatusOfPath(path, FollowLinks::No);
    return status && WallClockNs() - IdentityOfStatus(*status).modifiedNs > ageNs;
}

// The index folder's lock, held while the manifest is read, changed and replaced.
class FolderLock {
public:
    explicit FolderLock(const std::string& folder, bool wait = true)
    {
        fd_ = ::open((folder + "/" + kLockName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd_ < 0)
            return;
        int result;
        while ((result = ::flock(fd_, wait ? LOCK_EX : LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
        }
        if (result != 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~FolderLock()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    bool Held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// A name no other writer (process or thread) picks: the key's hash, then one of this write.
std::string NewSegmentName(const std::string& key)
{
    static std::atomic<std::uint64_t> counter{0};
    std::string seed = std::to_string(::getpid()) + "/" + std::to_string(WallClockNs()) + "/" + std::to_string(counter++);
    return Hex16(IndexChecksum(key)) + "-" + Hex16(IndexChecksum(seed)) + ".seg";
}

// Gives a written segment its name once it is on the disk, so that a crash never leaves a
// named segment with missing bytes.
bool SyncAndName(const std::string& unsynced, const std::string& target)
{
    const int fd = ::open(unsynced.c_str(), O_RDONLY | O_CLOEXEC);
    const bool synced = fd >= 0 && ::fsync(fd) == 0;
    if (fd >= 0)
        ::close(fd);
    if (synced && ::rename(unsynced.c_str(), target.c_str()) == 0)
        return true;
    ::unlink(unsynced.c_str());
    return false;
}

// Whether the segment is the one the record describes.
bool SegmentMatches(const SegmentReader& segment, const IndexedCatalog& catalog)
{
    return segment.Key() == catalog.key && segment.Identity() == catalog.identity
        && segment.IndexedAtNs() == catalog.indexedAtNs && segment.EntryCount() == catalog.entryCount
        && segment.CatalogFailed() == catalog.catalogFailed;
}

}  // namespace

std::string DefaultIndexCacheFolder()
{
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache && cache[0] == '/')
        return std::string(cache) + "/vellumark";
    const char* home = std::getenv("HOME");
    std::string homeFolder = home && home[0] == '/' ? home : "";
    if (homeFolder.empty())
        if (const passwd* user = ::getpwuid(::getuid()); user && user->pw_dir)
            homeFolder = user->pw_dir;
    return homeFolder + "/.cache/vellumark";
}

LibraryIndex::LibraryIndex(std::string folder, std::string libraryPath)
    : folder_(std::move(folder)), libraryPath_(std::move(libraryPath))
{
}

Status LibraryIndex::Open(const std::string& cacheFolder, const std::string& libraryRoot, bool create,
                          std::unique_ptr<LibraryIndex>& index)
{
    const std::string library = RealPath(libraryRoot);
    if (library.empty())
        return Status::Invalid("The library folder \"" + libraryRoot + "\" does not exist");
    const std::string cache = EffectivePath(cacheFolder);
    if (cache.empty() || Within(cache, library))
        return Status::Failed("The search index cannot be kept in \"" + cacheFolder + "\"");
    const std::string folder = cacheFolder + "/" + Hex16(IndexChecksum(library));

    if (!KindOfPath(folder, FollowLinks::Yes)) {
        if (!create)
            return Status::Invalid("The library has no search index");
        if (!MakeFolders(cacheFolder))
            return Status::Failed("Cannot create \"" + cacheFolder + "\": " + std::strerror(errno));
        // Made complete under another name first, so that nobody finds the folder without
        // its marker; when another process was quicker, its folder is used.
        static std::atomic<unsigned> counter{0};
        const std::string unfinished =
            cacheFolder + "/" + kUnfinishedPrefix + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        const bool made = ::mkdir(unfinished.c_str(), 0700) == 0
                       && ::mkdir((unfinished + "/" + kSegmentFolder).c_str(), 0700) == 0
                       && WriteFileAtomically(unfinished + "/" + kMarkerName, EncodeMarker(library)).ok();
        if (!made || ::rename(unfinished.c_str(), folder.c_str()) != 0) {
            const int error = errno;
            RemoveFolderTree(unfinished);
            if (!made || (error != EEXIST && error != ENOTEMPTY))
                return Status::Failed("Cannot create \"" + folder + "\": " + std::strerror(error));
        }
    }
    const std::optional<std::string> marked = ReadMarker(folder);
    if (!marked) {
        if (!create)
            return Status::Invalid("The library has no search index");
        // A folder without an intact marker cannot be trusted: start it again.
        FolderLock lock(folder);
        if (!lock.Held())
            return Status::Failed("Cannot lock \"" + folder + "\"");
        for (const std::string& name : FolderNames(folder + "/" + kSegmentFolder))
            ::unlink((folder + "/" + kSegmentFolder + "/" + name).c_str());
        ::unlink((folder + "/" + kManifestName).c_str());
        ::mkdir((folder + "/" + kSegmentFolder).c_str(), 0700);
        if (Status written = WriteFileAtomically(folder + "/" + kMarkerName, EncodeMarker(library)); !written)
            return written;
    } else if (*marked != library) {
        return Status::Failed("The search index folder \"" + folder + "\" belongs to another library");
    }
    index.reset(new LibraryIndex(folder, library));
    return Status::Ok();
}

std::vector<IndexedCatalog> LibraryIndex::Catalogs() const
{
    std::string bytes;
    if (!ReadWholeFile(folder_ + "/" + kManifestName, bytes))
        return {};
    return DecodeManifest(bytes).value_or(std::vector<IndexedCatalog>());
}

std::uint64_t LibraryIndex::Bytes() const
{
    const std::optional<FileStatus> manifest = StatusOfPath(folder_ + "/" + kManifestName, FollowLinks::No);
    std::uint64_t bytes = manifest ? manifest->size : 0;
    for (const IndexedCatalog& catalog : Catalogs())
        bytes += catalog.segmentBytes;
    return bytes;
}

IndexCheck LibraryIndex::Check(const std::vector<CatalogFile>& catalogs, std::string_view scopeKey) const
{
    std::vector<std::optional<CatalogIdentity>> identities;
    identities.reserve(catalogs.size());
    for (const CatalogFile& catalog : catalogs)
        identities.push_back(IdentityOfFile(catalog.path));
    return Check(catalogs, identities, scopeKey);
}

IndexCheck LibraryIndex::Check(const std::vector<CatalogFile>& catalogs,
                               const std::vector<std::optional<CatalogIdentity>>& identities, std::string_view scopeKey) const
{
    std::unordered_map<std::string, IndexedCatalog> recorded;
    for (IndexedCatalog& catalog : Catalogs())
        recorded.emplace(catalog.key, std::move(catalog));
    IndexCheck check;
    check.current.resize(catalogs.size());
    check.recorded.resize(catalogs.size());
    std::unordered_set<std::string_view> walked;
    for (std::size_t i = 0; i < catalogs.size(); ++i) {
        walked.insert(catalogs[i].key);
        const auto found = recorded.find(catalogs[i].key);
        if (found != recorded.end())
            check.recorded[i] = found->second;
        const std::optional<CatalogIdentity>& now = identities[i];
        if (found != recorded.end() && now && SegmentIsCurrent(found->second.identity, found->second.indexedAtNs, *now))
            check.current[i] = found->second;
        else
            check.stale.push_back(i);
    }
    const std::string scope(scopeKey);
    for (const auto& [key, catalog] : recorded)
        if (!walked.count(key) && (scope.empty() || Within(key, scope)))
            check.orphans.push_back(catalog);
    std::sort(check.orphans.begin(), check.orphans.end(),
              [](const IndexedCatalog& a, const IndexedCatalog& b) { return a.key < b.key; });
    return check;
}

Status LibraryIndex::OpenSegment(const IndexedCatalog& catalog, std::shared_ptr<const SegmentReader>& segment) const
{
    if (!IsSegmentFileName(catalog.segmentFile))
        return Status::Failed("The search index records no segment for \"" + catalog.key + "\"");
    std::shared_ptr<const SegmentReader> opened;
    if (Status status = SegmentReader::Open(SegmentPath(catalog.segmentFile), opened); !status)
        return status;
    if (!SegmentMatches(*opened, catalog))
        return Status::Failed("The search index segment of \"" + catalog.key + "\" does not match its manifest");
    segment = std::move(opened);
    return Status::Ok();
}

std::optional<PendingSegment> LibraryIndex::WriteSegment(const CatalogFile& catalog, SegmentBuilder& builder,
                                                        const CatalogIdentity& before, std::int64_t indexedAtNs) const
{
    // A segment of a file changed this shortly before it was read would never count as
    // current: it is not worth writing.
    if (!SettledBefore(before, indexedAtNs))
        return std::nullopt;
    // A file replaced or written to while it was read gives a segment of neither version.
    const std::optional<CatalogIdentity> after = IdentityOfFile(catalog.path);
    if (!after || !(*after == before))
        return std::nullopt;
    const std::string name = NewSegmentName(catalog.key);
    const std::string unsynced = SegmentPath("." + name + ".new");
    std::string_view written;
    std::shared_future<Status> done;
    if (!builder.WriteNew(unsynced, written, done).ok())
        return std::nullopt;
    PendingSegment pending;
    IndexedCatalog& record = pending.record;
    record.key = catalog.key;
    record.segmentFile = name;
    record.identity = before;
    record.indexedAtNs = indexedAtNs;
    record.entryCount = builder.CatalogFailed() ? 0 : builder.EntryCount();
    record.segmentBytes = written.size();
    record.catalogFailed = builder.CatalogFailed();
    // Checked as a reader will take it, from the bytes being written: reading the file back
    // would bring all of it from the disk again.
    std::shared_ptr<const SegmentReader> check;
    if (!SegmentReader::FromBytes(written, check).ok() || !SegmentMatches(*check, record)) {
        if (done.get().ok())
            ::unlink(unsynced.c_str());
        return std::nullopt;
    }
    pending.unsyncedPath = unsynced;
    pending.written = std::move(done);
    return pending;
}

Status LibraryIndex::Commit(std::vector<PendingSegment>& pending, const std::vector<IndexedCatalog>& forget,
                            std::size_t& recorded)
{
    std::vector<IndexedCatalog> records;
    for (PendingSegment& segment : pending) {
        // One that could not be written (its writer removed it), synced or named is not kept.
        if (segment.written.valid() && !segment.written.get().ok())
            continue;
        if (SyncAndName(segment.unsyncedPath, SegmentPath(segment.record.segmentFile)))
            records.push_back(segment.record);
    }
    recorded = records.size();
    return Record(records, forget, false);
}

Status LibraryIndex::Clear() { return Record({}, {}, true); }

Status LibraryIndex::Record(const std::vector<IndexedCatalog>& records, const std::vector<IndexedCatalog>& forget,
                            bool clear) const
{
    if (records.empty() && forget.empty() && !clear)
        return Status::Ok();
    FolderLock lock(folder_);
    if (!lock.Held())
        return Status::Failed("Cannot lock \"" + folder_ + "\": " + std::strerror(errno));
    const std::vector<IndexedCatalog> before = Catalogs();
    std::vector<IndexedCatalog> after;
    // Forgotten only as the caller saw it: a segment another process recorded meanwhile stays.
    std::unordered_set<std::string> forgotten;
    for (const IndexedCatalog& catalog : forget)
        forgotten.insert(catalog.key + '\0' + catalog.segmentFile);
    std::unordered_set<std::string> replaced;
    for (const IndexedCatalog& catalog : records)
        replaced.insert(catalog.key);
    for (const IndexedCatalog& catalog : before)
        if (!clear && !forgotten.count(catalog.key + '\0' + catalog.segmentFile) && !replaced.count(catalog.key))
            after.push_back(catalog);
    after.insert(after.end(), records.begin(), records.end());
    std::sort(after.begin(), after.end(), [](const IndexedCatalog& a, const IndexedCatalog& b) { return a.key < b.key; });
    if (!clear && after == before)
        return Status::Ok();
    if (Status written = WriteFileAtomically(folder_ + "/" + kManifestName, EncodeManifest(after)); !written)
        return written;

    // Segments recorded before and not now go at once (a reader that mapped one keeps it);
    // others nobody records are left to their writer for a while, even when clearing: it
    // may be about to record them.
    std::unordered_set<std::string> kept;
    for (const IndexedCatalog& catalog : after)
        kept.insert(catalog.segmentFile);
    std::unordered_set<std::string> dropped;
    for (const IndexedCatalog& catalog : before)
        if (!kept.count(catalog.segmentFile))
            dropped.insert(catalog.segmentFile);
    for (const std::string& name : FolderNames(folder_ + "/" + kSegmentFolder)) {
        if (kept.count(name))
            continue;
        const std::string path = SegmentPath(name);
        if (dropped.count(name) || OlderThan(path, kLeftoverAgeNs))
            ::unlink(path.c_str());
    }
    return Status::Ok();
}

std::size_t RemoveIndexesOfMissingLibraries(const std::string& cacheFolder)
{
    std::size_t removed = 0;
    for (const std::string& name : FolderNames(cacheFolder)) {
        const std::string folder = cacheFolder + "/" + name;
        if (name.rfind(kUnfinishedPrefix, 0) == 0) {
            if (OlderThan(folder, kLeftoverAgeNs)) {
                RemoveFolderTree(folder);
                ++removed;
            }
            continue;
        }
        const std::optional<std::string> library = ReadMarker(folder);
        if (!library)
            continue;
        if (KindOfPath(*library, FollowLinks::Yes) || (errno != ENOENT && errno != ENOTDIR))
            continue;
        // An index in use by a writer is left for the next time.
        FolderLock lock(folder, false);
        if (!lock.Held())
            continue;
        RemoveFolderTree(folder);
        ++removed;
    }
    return removed;
}

}  // namespace vellumark
