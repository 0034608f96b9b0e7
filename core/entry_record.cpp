#include "core/entry_record.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

namespace vellumark {

namespace {

// The eight packed keys, in the order their texts sit in the block.
constexpr std::array<int, 8> kPackedKeys = {kFileName,       kFullPath,       kFileSize,       kFileTime,
                                            kDescription,    kFileNameLength, kPathNameLength, kSizePercentage};
// Position of each key among the packed ones; -1 for the shared ones.
constexpr std::array<int, kColumnKeyCount> kPackedSlot = {0, 1, 2, 3, -1, -1, 4, 5, 6, 7, -1};

std::size_t VarintSize(std::size_t value)
{
    std::size_t size = 1;
    while (value >= 0x80) {
        value >>= 7;
        ++size;
    }
    return size;
}

char* PutVarint(char* out, std::size_t value)
{
    while (value >= 0x80) {
        *out++ = static_cast<char>((value & 0x7F) | 0x80);
        value >>= 7;
    }
    *out++ = static_cast<char>(value);
    return out;
}

const char* GetVarint(const char* in, std::size_t& value)
{
    value = 0;
    int shift = 0;
    for (;;) {
        const auto byte = static_cast<unsigned char>(*in++);
        value |= static_cast<std::size_t>(byte & 0x7F) << shift;
        if ((byte & 0x80) == 0)
            return in;
        shift += 7;
    }
}

}  // namespace

int EntryRecord::SharedSlot(int key)
{
    switch (key) {
    case kFileExt:
        return 0;
    case kFileType:
        return 1;
    case kDiskName:
        return 2;
    default:
        return -1;
    }
}

EntryRecord::EntryRecord(const EntryRecord& other)
    : OpenImageIndex(other.OpenImageIndex), ImageIndex(other.ImageIndex),
      shared_{other.shared_[0], other.shared_[1], other.shared_[2]}
{
    if (other.packed_) {
        const std::size_t size = other.PackedBytes();
        packed_ = static_cast<char*>(std::malloc(size));
        if (!packed_)
            throw std::bad_alloc();
        std::memcpy(packed_, other.packed_, size);
    }
}

EntryRecord::EntryRecord(EntryRecord&& other) noexcept
    : OpenImageIndex(other.OpenImageIndex), ImageIndex(other.ImageIndex),
      shared_{std::move(other.shared_[0]), std::move(other.shared_[1]), std::move(other.shared_[2])},
      packed_(std::exchange(other.packed_, nullptr))
{
}

EntryRecord& EntryRecord::operator=(const EntryRecord& other)
{
    if (this != &other) {
        EntryRecord copy(other);
        *this = std::move(copy);
    }
    return *this;
}

EntryRecord& EntryRecord::operator=(EntryRecord&& other) noexcept
{
    if (this != &other) {
        OpenImageIndex = other.OpenImageIndex;
        ImageIndex = other.ImageIndex;
        for (int slot = 0; slot < 3; ++slot)
            shared_[slot] = std::move(other.shared_[slot]);
        std::free(packed_);
        packed_ = std::exchange(other.packed_, nullptr);
    }
    return *this;
}

EntryRecord::~EntryRecord() { std::free(packed_); }

std::size_t EntryRecord::PackedBytes() const
{
    if (!packed_)
        return 0;
    const char* in = packed_;
    std::size_t total = 0;
    for (std::size_t slot = 0; slot < kPackedKeys.size(); ++slot) {
        std::size_t length = 0;
        in = GetVarint(in, length);
        total += length;
    }
    return static_cast<std::size_t>(in - packed_) + total;
}

std::string_view EntryRecord::Field(int key) const
{
    if (key < 0 || key >= kColumnKeyCount)
        return {};
    if (const int slot = SharedSlot(key); slot >= 0)
        return shared_[slot].View();
    if (!packed_)
        return {};
    const int wanted = kPackedSlot[key];
    const char* in = packed_;
    std::size_t offset = 0;
    std::size_t length = 0;
    std::size_t wantedOffset = 0;
    std::size_t wantedLength = 0;
    for (int slot = 0; slot < static_cast<int>(kPackedKeys.size()); ++slot) {
        in = GetVarint(in, length);
        if (slot == wanted) {
            wantedOffset = offset;
            wantedLength = length;
        }
        offset += length;
    }
    return {in + wantedOffset, wantedLength};
}

EntryRecord::Fields EntryRecord::AllFields() const
{
    Fields fields{};
    fields[kFileExt] = shared_[0].View();
    fields[kFileType] = shared_[1].View();
    fields[kDiskName] = shared_[2].View();
    if (!packed_)
        return fields;
    std::array<std::size_t, kPackedKeys.size()> lengths{};
    const char* in = packed_;
    for (std::size_t& length : lengths)
        in = GetVarint(in, length);
    for (std::size_t slot = 0; slot < kPackedKeys.size(); ++slot) {
        fields[kPackedKeys[slot]] = std::string_view(in, lengths[slot]);
        in += lengths[slot];
    }
    return fields;
}

void EntryRecord::Pack(const Fields& fields)
{
    std::size_t size = 0;
    bool anyText = false;
    for (int key : kPackedKeys) {
        size += VarintSize(fields[key].size()) + fields[key].size();
        anyText = anyText || !fields[key].empty();
    }
    char* block = nullptr;
    if (anyText) {
        block = static_cast<char*>(std::malloc(size));
        if (!block)
            throw std::bad_alloc();
        char* out = block;
        for (int key : kPackedKeys)
            out = PutVarint(out, fields[key].size());
        for (int key : kPackedKeys) {
            if (!fields[key].empty())
                std::memcpy(out, fields[key].data(), fields[key].size());
            out += fields[key].size();
        }
    }
    std::free(packed_);
    packed_ = block;
}

void EntryRecord::Assign(const Fields& fields)
{
    Assign(fields, SharedText(fields[kFileExt]), SharedText(fields[kFileType]), SharedText(fields[kDiskName]));
}

void EntryRecord::Assign(const Fields& packedFields, SharedText fileExt, SharedText fileType, SharedText diskName)
{
    Pack(packedFields);
    shared_[0] = std::move(fileExt);
    shared_[1] = std::move(fileType);
    shared_[2] = std::move(diskName);
}

void EntryRecord::SetShared(int key, SharedText text)
{
    if (const int slot = SharedSlot(key); slot >= 0)
        shared_[slot] = std::move(text);
    else
        SetField(key, text.View());
}

void EntryRecord::SetField(int key, std::string_view text)
{
    if (key < 0 || key >= kColumnKeyCount)
        return;
    if (const int slot = SharedSlot(key); slot >= 0) {
        if (key == kFileType && text == kKindDirectory)
            shared_[slot] = SharedText::Directory();
        else if (key == kFileType && text == kKindFile)
            shared_[slot] = SharedText::File();
        else
            shared_[slot] = SharedText(text);
        return;
    }
    // The text may point into our own block: Pack copies every field into the new block
    // before it frees the old one.
    Fields fields = AllFields();
    fields[key] = text;
    Pack(fields);
}

}  // namespace vellumark
