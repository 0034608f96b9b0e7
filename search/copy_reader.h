#pragma once

#include "core/entry_record.h"
#include "core/shared_text.h"
#include "search/index/catalog_identity.h"
#include "services/status.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vellumark {

// Reads the entries of one catalog file at known offsets, in ascending order, into the
// records a search gives for them. Copies of a file tend to lie close together in a
// catalog (a folder copied whole), so entries near each other are read with one system
// call: each costs more than the bytes between them.
class CopyReader {
public:
    CopyReader() = default;
    ~CopyReader();
    CopyReader(const CopyReader&) = delete;
    CopyReader& operator=(const CopyReader&) = delete;

    // Failed when the file cannot be read or is no longer the file of that identity (the
    // reads below go to the very file that was checked, whatever replaces it meanwhile).
    Status Open(const std::string& path, const CatalogIdentity& expected);

    // Appends one record per offset (each where an entry's start tag begins), with
    // `catalogName` as its DiskName. Failed when no well-formed start tag is at an offset.
    Status Read(std::span<const std::uint64_t> offsets, const SharedText& catalogName, std::vector<EntryRecord>& records);

private:
    bool Load(std::uint64_t from, std::uint64_t to);
    Status NoEntryAt(std::uint64_t offset) const;

    int fd_ = -1;
    std::string path_;
    std::uint64_t size_ = 0;
    std::string window_;
    std::uint64_t windowStart_ = 0;
};

}  // namespace vellumark
