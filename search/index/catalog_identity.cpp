#include "search/index/catalog_identity.h"

#include "system/file_status.h"

#include <climits>
#include <cstdint>
#include <time.h>

namespace vellumark {

namespace {

std::int64_t Nanoseconds(const Timestamp& time) { return time.seconds * 1'000'000'000 + time.nanoseconds; }

}  // namespace

CatalogIdentity IdentityOfStatus(const FileStatus& status)
{
    CatalogIdentity identity;
    identity.device = status.device;
    identity.inode = status.inode;
    identity.size = status.size;
    identity.modifiedNs = Nanoseconds(status.modified);
    identity.changedNs = Nanoseconds(status.changed);
    return identity;
}

std::optional<CatalogIdentity> IdentityOfFile(const std::string& path)
{
    const std::optional<FileStatus> status = StatusOfPath(path, FollowLinks::Yes);
    if (!status)
        return std::nullopt;
    return IdentityOfStatus(*status);
}

std::int64_t WallClockNs()
{
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

bool SettledBefore(const CatalogIdentity& identity, std::int64_t indexedAtNs)
{
    return indexedAtNs >= INT64_MIN + kSettleTimeNs && indexedAtNs - kSettleTimeNs >= identity.modifiedNs;
}

bool SegmentIsCurrent(const CatalogIdentity& indexed, std::int64_t indexedAtNs, const CatalogIdentity& now)
{
    // Writing a file moves its modification time past the moment of indexing by more than
    // any coarse tick when it lay this far before; the change time in the identity catches
    // what sets the modification time back (copies that keep times, renames, chmod).
    return indexed == now && SettledBefore(indexed, indexedAtNs);
}

}  // namespace vellumark
