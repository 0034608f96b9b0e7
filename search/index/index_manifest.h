#pragma once

#include "search/index/catalog_identity.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vellumark {

// What the manifest of a library's index records of one catalog.
struct IndexedCatalog {
    std::string key;          // the catalog's path below the library root
    std::string segmentFile;  // its segment's name in the index's segment folder
    CatalogIdentity identity;
    std::int64_t indexedAtNs = 0;
    std::uint32_t entryCount = 0;
    std::uint64_t segmentBytes = 0;
    bool catalogFailed = false;  // no readable catalog when indexed

    bool operator==(const IndexedCatalog&) const = default;
};

// Segment files are named by the index itself; a name of any other form (a path that would
// lead elsewhere) marks a manifest as damaged.
bool IsSegmentFileName(std::string_view name);

// The manifest file: magic "VMKMANIF", format version, record count, payload length and
// checksum, then the records. Replaced whole (temporary file and rename), never edited.
std::string EncodeManifest(const std::vector<IndexedCatalog>& catalogs);
// nullopt when the bytes are no intact manifest of this format version.
std::optional<std::vector<IndexedCatalog>> DecodeManifest(std::string_view bytes);

}  // namespace vellumark
