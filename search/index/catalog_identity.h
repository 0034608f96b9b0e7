#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vellumark {

struct FileStatus;

// What tells whether a catalog file is still the one that was indexed: one stat answers it.
// Times are in nanoseconds since the epoch.
struct CatalogIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;
    std::int64_t changedNs = 0;

    bool operator==(const CatalogIdentity&) const = default;
};

CatalogIdentity IdentityOfStatus(const FileStatus& status);
// The identity of the file the path leads to (links followed, as reading it does); nullopt
// with errno set when it cannot be had.
std::optional<CatalogIdentity> IdentityOfFile(const std::string& path);

// The wall clock in nanoseconds since the epoch: when a catalog was indexed.
std::int64_t WallClockNs();

// A segment stays good for a catalog while the file keeps its identity, and only when it was
// indexed at least this long after the file's last modification: file systems with coarse
// times (and an inode reused by an atomic save) can hide a change made within the same tick.
inline constexpr std::int64_t kSettleTimeNs = 2'000'000'000;

// Whether a file last modified as the identity tells was read late enough, from `indexedAtNs`
// on, for its segment to count as current while the identity stays.
bool SettledBefore(const CatalogIdentity& identity, std::int64_t indexedAtNs);

bool SegmentIsCurrent(const CatalogIdentity& indexed, std::int64_t indexedAtNs, const CatalogIdentity& now);

}  // namespace vellumark
