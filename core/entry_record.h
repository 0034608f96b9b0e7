#pragma once

#include "core/column_keys.h"
#include "core/shared_text.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace vellumark {

// The record of every entry of every tree: two icon indexes and the eleven text fields,
// addressed by column key index. An empty text means the field is not set.
//
// A catalog can hold millions of entries, so the record is compact: the fields that repeat
// (FileExt, FileType, DiskName) are shared texts, and the other eight are packed into one
// block (their lengths as varints, then their bytes). Bulk builders fill a record in one
// Assign; single edits repack the block.
class EntryRecord {
public:
    using Fields = std::array<std::string_view, kColumnKeyCount>;

    std::int32_t OpenImageIndex = -1;
    std::int32_t ImageIndex = -1;

    EntryRecord() = default;
    EntryRecord(const EntryRecord& other);
    EntryRecord(EntryRecord&& other) noexcept;
    EntryRecord& operator=(const EntryRecord& other);
    EntryRecord& operator=(EntryRecord&& other) noexcept;
    ~EntryRecord();

    std::string_view Field(int key) const;
    // All eleven fields at once, cheaper than eleven calls of Field.
    Fields AllFields() const;
    void SetField(int key, std::string_view text);
    bool IsEmpty(int key) const { return Field(key).empty(); }

    // Replaces all eleven fields at once. The shared fields may be given as shared texts so
    // that equal values keep pointing at one copy.
    void Assign(const Fields& fields);
    void Assign(const Fields& packedFields, SharedText fileExt, SharedText fileType, SharedText diskName);
    void SetShared(int key, SharedText text);

    bool IsDirectory() const { return Field(kFileType) == kKindDirectory; }
    bool IsFile() const { return Field(kFileType) == kKindFile; }

    // Bytes this record holds on the heap beyond its own size (for memory accounting).
    std::size_t PackedBytes() const;

private:
    static int SharedSlot(int key);
    void Pack(const Fields& fields);

    SharedText shared_[3];  // FileExt, FileType, DiskName
    char* packed_ = nullptr;
};

}  // namespace vellumark
