#pragma once

#include "search/index/byte_codec.h"
#include "search/index/text_scan.h"

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vellumark {

// The column encodings of a segment: one value per entry, addressed by the entry's ordinal.
// Writers collect the values in ordinal order and append the column's bytes; Clear starts a
// new column and keeps the memory, so that one writer serves catalog after catalog. The views read
// those bytes where they lie (in a mapped file) and check every step, so damaged bytes give
// `false`, never a read outside them.

// A loop over entries that lie apart in a column (candidates, results) asks ahead for their
// memory, which in a mapped segment searched once is mostly not cached: first, some entries
// ahead, for where an entry's values lie (`places`), then, a few entries ahead, when that has
// come, for the values themselves (`bytes`).
template <typename Places, typename Bytes>
void PrefetchAhead(const std::vector<std::uint32_t>& ordinals, std::size_t at, Places&& places, Bytes&& bytes)
{
    constexpr std::size_t kPlacesAhead = 16;
    constexpr std::size_t kBytesAhead = 8;
    if (at + kPlacesAhead < ordinals.size())
        places(ordinals[at + kPlacesAhead]);
    if (at + kBytesAhead < ordinals.size())
        bytes(ordinals[at + kBytesAhead]);
}

// Texts, each present or absent (absent differs from empty). Stored as one of two
// encodings: plain (every value's bytes one after another, with the start of each) for
// values that rarely repeat, or a dictionary (each distinct value once, and per entry the
// number of its value) for values that repeat or are mostly absent.
class PlainTextColumnWriter {
public:
    // The value, or nullptr when absent. A pointer to the caller's view rather than an
    // optional: the builder hands over several values per entry, and each optional, copied
    // through the stack, stalled the call that read it back.
    void Add(const std::string_view* value)
    {
        if (value)
            bytes_ += *value;
        else
            absent_.push_back(static_cast<std::uint32_t>(starts_.size() - 1));
        starts_.push_back(static_cast<std::uint32_t>(bytes_.size()));
    }
    // True when the values outgrew what the column can address (4 GiB).
    bool Overflowed() const;
    void Finish(std::string& out) const;
    void Clear();

private:
    std::string bytes_;
    std::vector<std::uint32_t> starts_{0};
    std::vector<std::uint32_t> absent_;  // the ordinals without a value
};

// Whether two texts hold the same bytes, without a library call for the short texts that
// dictionary columns compare once per entry (a kind, an extension, a percentage).
inline bool SameShortText(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    const std::size_t size = a.size();
    if (size > 16)
        return std::memcmp(a.data(), b.data(), size) == 0;
    if (size >= 8) {
        std::uint64_t a1, a2, b1, b2;  // the first and the last eight bytes, overlapping
        std::memcpy(&a1, a.data(), 8);
        std::memcpy(&a2, a.data() + size - 8, 8);
        std::memcpy(&b1, b.data(), 8);
        std::memcpy(&b2, b.data() + size - 8, 8);
        return ((a1 ^ b1) | (a2 ^ b2)) == 0;
    }
    if (size >= 4) {
        std::uint32_t a1, a2, b1, b2;
        std::memcpy(&a1, a.data(), 4);
        std::memcpy(&a2, a.data() + size - 4, 4);
        std::memcpy(&b1, b.data(), 4);
        std::memcpy(&b2, b.data() + size - 4, 4);
        return ((a1 ^ b1) | (a2 ^ b2)) == 0;
    }
    for (std::size_t i = 0; i < size; ++i)
        if (a[i] != b[i])
            return false;
    return true;
}

class DictionaryColumnWriter {
public:
    // The value, or nullptr when absent.
    void Add(const std::string_view* value)
    {
        // Neighbours share their values often (the files of one folder); that needs no lookup.
        if (!value)
            ids_.push_back(0);
        else if (lastId_ != 0 && SameShortText(*value, ValueOf(lastId_ - 1)))
            ids_.push_back(lastId_);
        else
            AddLookedUp(*value);
    }
    bool Overflowed() const;
    void Finish(std::string& out) const;
    void Clear();

private:
    void AddLookedUp(std::string_view value);
    std::string_view ValueOf(std::uint32_t number) const
    {
        return std::string_view(dictionary_.data() + starts_[number], starts_[number + 1] - starts_[number]);
    }
    void Grow();

    // The distinct values back to back, in order of first use, with the start of each (and
    // the end of the last): the column's dictionary as it is stored.
    std::string dictionary_;
    std::vector<std::uint64_t> starts_{0};
    // Open addressing over the values' hashes: 0 for a free slot, else the value's number + 1.
    std::vector<std::uint32_t> slots_;
    std::vector<std::uint32_t> ids_;  // 0 for absent, else the value's number + 1
    std::uint32_t lastId_ = 0;
};

class TextColumn {
public:
    // False when the bytes are no column of `entryCount` values.
    bool Parse(std::string_view bytes, std::uint32_t entryCount);

    bool Value(std::uint32_t ordinal, std::optional<std::string_view>& value) const;
    // Appends (ascending) the ordinals of the entries whose value is present and matches.
    bool Scan(const ValueFilter& filter, std::vector<std::uint32_t>& out) const;
    // Keeps the candidates (ascending) whose value is present and matches.
    bool Filter(const ValueFilter& filter, std::vector<std::uint32_t>& candidates) const;
    // About how many bytes a scan touches, to pick the cheapest column to scan first.
    std::uint64_t ScanBytes() const;
    // Asks ahead for what reading the entry's value will touch, in two steps some reads apart:
    // first where it lies, then (reading that, by then at hand) its bytes.
    void PrefetchPlace(std::uint32_t ordinal) const;
    void PrefetchBytes(std::uint32_t ordinal) const;

private:
    bool ParseInto(std::string_view bytes, std::uint32_t entryCount);
    bool PlainValue(std::uint32_t ordinal, std::optional<std::string_view>& value) const;
    bool DictionaryValue(std::uint32_t number, std::string_view& value) const;
    bool IdOf(std::uint32_t ordinal, std::uint32_t& id) const;
    bool AcceptedIds(const ValueFilter& filter, std::vector<bool>& accepted) const;

    bool dictionary_ = false;
    std::uint32_t count_ = 0;
    // plain
    std::string_view present_;  // bitmap, empty when every value is present
    const unsigned char* starts_ = nullptr;
    std::string_view bytes_;
    // dictionary
    std::uint32_t dictionaryCount_ = 0;
    const unsigned char* dictionaryStarts_ = nullptr;
    std::string_view dictionaryBytes_;
    const unsigned char* ids_ = nullptr;
    unsigned idWidth_ = 0;
};

// Unsigned integers as varints in blocks of 16 entries, each block found through a small
// table, so that one value costs at most 16 varints to reach. A stored 1 is an escape: the
// entry's value is the varint after it (see the size column), so the codes callers store are
// 0 and 2 and up.
inline constexpr std::uint32_t kVarintBlock = 16;
inline constexpr std::uint64_t kVarintEscape = 1;

class VarintColumnWriter {
public:
    // A code other than the escape.
    void Add(std::uint64_t value);
    void AddEscaped(std::uint64_t value);
    bool Overflowed() const;
    void Finish(std::string& out) const;
    void Clear();

private:
    void StartEntry();

    std::uint32_t count_ = 0;
    std::string table_;
    ByteStream stream_;
};

class VarintColumn {
public:
    bool Parse(std::string_view bytes, std::uint32_t entryCount);
    // The entry's value; `escaped` tells whether it was stored after an escape.
    bool Value(std::uint32_t ordinal, std::uint64_t& value, bool& escaped) const;
    // Asks ahead for where the entry's block lies, then (some reads later) for its bytes.
    void PrefetchPlace(std::uint32_t ordinal) const;
    void PrefetchBytes(std::uint32_t ordinal) const;

private:
    bool ParseInto(std::string_view bytes, std::uint32_t entryCount);

    std::uint32_t count_ = 0;
    const unsigned char* table_ = nullptr;
    std::string_view stream_;
};

}  // namespace vellumark
