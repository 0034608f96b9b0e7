#include "search/index/index_manifest.h"

#include "search/index/byte_codec.h"

namespace vellumark {

namespace {

constexpr std::string_view kManifestMagic = "VMKMANIF";
constexpr std::uint32_t kManifestFormatVersion = 1;
constexpr std::size_t kManifestHeaderBytes = 8 + 4 + 4 + 8 + 8;

void PutText(std::string& out, std::string_view text)
{
    PutVarint(out, text.size());
    out += text;
}

bool ReadText(ByteCursor& cursor, std::string& text)
{
    std::uint64_t length = 0;
    std::string_view bytes;
    if (!cursor.Varint(length) || !cursor.Bytes(length, bytes))
        return false;
    text.assign(bytes);
    return true;
}

}  // namespace

bool IsSegmentFileName(std::string_view name)
{
    constexpr std::string_view kSuffix = ".seg";
    if (name.size() <= kSuffix.size() || name.size() > 64 || name.substr(name.size() - kSuffix.size()) != kSuffix)
        return false;
    for (const char c : name.substr(0, name.size() - kSuffix.size()))
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || c == '-'))
            return false;
    return true;
}

std::string EncodeManifest(const std::vector<IndexedCatalog>& catalogs)
{
    std::string payload;
    for (const IndexedCatalog& catalog : catalogs) {
        PutText(payload, catalog.key);
        PutText(payload, catalog.segmentFile);
        PutU64(payload, catalog.identity.device);
        PutU64(payload, catalog.identity.inode);
        PutU64(payload, catalog.identity.size);
        PutU64(payload, static_cast<std::uint64_t>(catalog.identity.modifiedNs));
        PutU64(payload, static_cast<std::uint64_t>(catalog.identity.changedNs));
        PutU64(payload, static_cast<std::uint64_t>(catalog.indexedAtNs));
        PutU32(payload, catalog.entryCount);
        PutU64(payload, catalog.segmentBytes);
        payload += static_cast<char>(catalog.catalogFailed ? 1 : 0);
    }
    std::string out(kManifestMagic);
    PutU32(out, kManifestFormatVersion);
    PutU32(out, static_cast<std::uint32_t>(catalogs.size()));
    PutU64(out, payload.size());
    PutU64(out, IndexChecksum(payload));
    return out + payload;
}

std::optional<std::vector<IndexedCatalog>> DecodeManifest(std::string_view bytes)
{
    if (bytes.size() < kManifestHeaderBytes || bytes.substr(0, kManifestMagic.size()) != kManifestMagic)
        return std::nullopt;
    ByteCursor header(bytes.substr(kManifestMagic.size(), kManifestHeaderBytes - kManifestMagic.size()));
    std::uint32_t version = 0, count = 0;
    std::uint64_t payloadBytes = 0, checksum = 0;
    header.U32(version);
    header.U32(count);
    header.U64(payloadBytes);
    header.U64(checksum);
    const std::string_view payload = bytes.substr(kManifestHeaderBytes);
    if (header.Failed() || version != kManifestFormatVersion || payloadBytes != payload.size()
        || checksum != IndexChecksum(payload))
        return std::nullopt;
    ByteCursor cursor(payload);
    std::vector<IndexedCatalog> catalogs;
    for (std::uint32_t i = 0; i < count; ++i) {
        IndexedCatalog catalog;
        std::uint64_t modified = 0, changed = 0, indexedAt = 0;
        std::uint8_t failed = 0;
        if (!ReadText(cursor, catalog.key) || !ReadText(cursor, catalog.segmentFile) || !cursor.U64(catalog.identity.device)
            || !cursor.U64(catalog.identity.inode) || !cursor.U64(catalog.identity.size) || !cursor.U64(modified)
            || !cursor.U64(changed) || !cursor.U64(indexedAt) || !cursor.U32(catalog.entryCount)
            || !cursor.U64(catalog.segmentBytes) || !cursor.U8(failed) || failed > 1
            || !IsSegmentFileName(catalog.segmentFile))
            return std::nullopt;
        catalog.identity.modifiedNs = static_cast<std::int64_t>(modified);
        catalog.identity.changedNs = static_cast<std::int64_t>(changed);
        catalog.indexedAtNs = static_cast<std::int64_t>(indexedAt);
        catalog.catalogFailed = failed == 1;
        catalogs.push_back(std::move(catalog));
    }
    if (cursor.Left() != 0)
        return std::nullopt;
    return catalogs;
}

}  // namespace vellumark
