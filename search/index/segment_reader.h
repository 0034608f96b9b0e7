#pragma once

#include "core/column_keys.h"
#include "search/index/catalog_identity.h"
#include "search/index/entry_values.h"
#include "search/index/posting_list.h"
#include "search/index/record_column.h"
#include "search/index/segment_columns.h"
#include "search/index/text_scan.h"
#include "services/status.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace vellumark {

// One catalog's segment, read where it lies: the file is mapped, not loaded, so a search
// over millions of entries holds little memory of its own. Opening checks the header (magic,
// format version, lengths, checksum); every later read checks its bounds, and a read that
// finds the bytes inconsistent returns false: the segment is damaged and must be rebuilt.
// Immutable once opened; safe to read from several threads.
class SegmentReader {
public:
    // Failed when the file is missing, of another format or version, truncated or damaged.
    static Status Open(const std::string& path, std::shared_ptr<const SegmentReader>& segment);
    // A segment held in memory; the bytes must outlive the reader.
    static Status FromBytes(std::string_view bytes, std::shared_ptr<const SegmentReader>& segment);

    SegmentReader(const SegmentReader&) = delete;
    SegmentReader& operator=(const SegmentReader&) = delete;
    ~SegmentReader();

    const std::string& Key() const { return key_; }
    const CatalogIdentity& Identity() const { return identity_; }
    std::int64_t IndexedAtNs() const { return indexedAtNs_; }
    // The catalog was no readable catalog when indexed; it has no entries.
    bool CatalogFailed() const { return !failure_.empty(); }
    std::string_view FailureMessage() const { return failure_; }
    std::uint32_t EntryCount() const { return entryCount_; }
    std::uint64_t FileBytes() const { return bytes_.size(); }

    // Checks every section against its checksum (reads the whole file).
    Status VerifyContent() const;

    bool Values(std::uint32_t ordinal, IndexedEntryValues& values, unsigned which = kAllValues) const;
    // The entry's fields as a result shows them, every one as the catalog's reader gives it
    // (a missing attribute empty), except DiskName, left empty: a result names its catalog.
    // The texts stay valid while the segment and the cursor do, until the cursor's next read;
    // ascending ordinals read through one cursor cost least.
    using ResultTexts = std::array<std::string_view, kColumnKeyCount>;
    bool ResultFields(std::uint32_t ordinal, RecordCursor& cursor, ResultTexts& fields) const;
    // Asks ahead for the memory ResultFields(ordinal) will read: where its values lie (`near`
    // false), then the values (`near` true), as PrefetchAhead calls for them.
    void PrefetchResult(std::uint32_t ordinal, bool near) const;

    const TextColumn& Names() const { return names_; }
    const TextColumn& Extensions() const { return extensions_; }
    const TextColumn& Descriptions() const { return descriptions_; }
    // The posting list of the FileNames holding the trigram.
    enum class Lookup { Found, Missing, Damaged };
    Lookup FindPostings(Trigram trigram, PostingList& list) const;

private:
    SegmentReader() = default;
    Status Parse(const std::string& where);

    void* mapping_ = nullptr;
    std::string_view bytes_;
    std::array<std::string_view, 16> sections_{};
    std::array<std::uint64_t, 16> checksums_{};
    std::string key_;
    std::string failure_;
    CatalogIdentity identity_;
    std::int64_t indexedAtNs_ = 0;
    std::uint32_t entryCount_ = 0;
    TextColumn names_;
    TextColumn extensions_;
    TextColumn descriptions_;
    TextColumn types_;
    VarintColumn sizes_;
    VarintColumn times_;
    RecordColumn records_;
    TextColumn percentages_;
    std::string_view trigramTable_;
    std::string_view postings_;
};

}  // namespace vellumark
