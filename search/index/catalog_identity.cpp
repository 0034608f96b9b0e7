#include "search/index/catalog_identity.h"

#include <cstdint>
#include <sys/stat.h>
#include <time.h>

namespace vellumark {

namespace {

std::int64_t Nanoseconds(const struct timespec& time)
{
    return static_cast<std::int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

}  // namespace

CatalogIdentity IdentityOfStatus(const struct stat& status)
{
    CatalogIdentity identity;
    identity.device = static_cast<std::uint64_t>(status.st_dev);
    identity.inode = static_cast<std::uint64_t>(status.st_ino);
    identity.size = static_cast<std::uint64_t>(status.st_size);
    identity.modifiedNs = Nanoseconds(status.st_mtim);
    identity.changedNs = Nanoseconds(status.st_ctim);
    return identity;
}

std::optional<CatalogIdentity> IdentityOfFile(const std::string& path)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0)
        return std::nullopt;
    return IdentityOfStatus(status);
}

std::int64_t WallClockNs()
{
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return Nanoseconds(now);
}

bool SegmentIsCurrent(const CatalogIdentity& indexed, std::int64_t indexedAtNs, const CatalogIdentity& now)
{
    // Writing a file moves its modification time past the moment of indexing by more than
    // any coarse tick when it lay this far before; the change time in the identity catches
    // what sets the modification time back (copies that keep times, renames, chmod).
    return indexed == now && indexedAtNs >= INT64_MIN + kSettleTimeNs && indexedAtNs - kSettleTimeNs >= indexed.modifiedNs;
}

}  // namespace vellumark
