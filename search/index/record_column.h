#pragma once

#include "search/entry_numbers.h"
#include "search/index/segment_columns.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vellumark {

// The texts of an entry that a result shows and no other column holds, as a result record
// takes them (a missing attribute reads as empty).
struct RecordTexts {
    std::string_view fullPath;
    std::string_view fileSize;
    std::string_view fileTime;
    std::string_view fileNameLength;
    std::string_view pathNameLength;
};

// The record column keeps those texts small. Most of them follow from values other columns
// hold: a FileSize is the decimal of the size column's number, a FileTime the written form
// of the time column's seconds, a length the byte count of the name or path. Such a text is
// stored as one bit; any other as its bytes, so every text reads back exactly as it was.
// A FullPath is stored against the path of the entry before it (document order puts
// siblings and parents next to each other): the length they share, then the rest, where
// the rest usually ends with the entry's own FileName and gives only what lies before it.
// Entries come in blocks of 16, found through a table; each block starts afresh, so one
// entry costs at most a block's decoding to reach.
inline constexpr std::uint32_t kRecordBlock = 16;

class RecordColumnWriter {
public:
    // `fileName` is empty when the entry has none.
    void Add(std::string_view fileName, const RecordTexts& texts, const ParsedSize& size, const ParsedTime& time);
    bool Overflowed() const;
    // Appends the column's bytes.
    void Finish(std::string& out) const;
    // Starts a new column, keeping the memory.
    void Clear();

private:
    void AddLiteral(std::string_view text);

    std::uint32_t count_ = 0;
    std::string previousPath_;
    char timeBuffer_[24] = {};
    std::string table_;
    ByteStream stream_;
};

// Where a reading stands: the block decoded last and its path so far, and the texts made
// for the entry read last (valid until the next read).
class RecordCursor {
    friend class RecordColumn;
    static constexpr std::uint32_t kNoNameToAppend = ~std::uint32_t{0};
    std::uint32_t block_ = ~std::uint32_t{0};
    std::uint32_t next_ = 0;  // the ordinal the position below belongs to
    std::size_t position_ = 0;
    std::string path_;
    // The entry whose FileName completes path_, when it is not appended yet.
    std::uint32_t nameToAppend_ = kNoNameToAppend;
    char size_[24] = {};
    char time_[24] = {};
    char nameLength_[24] = {};
    char pathLength_[24] = {};
};

class RecordColumn {
public:
    bool Parse(std::string_view bytes, std::uint32_t entryCount);
    // The entry's texts, from the other columns' values of it where they follow from them (its
    // FileName, empty when it has none, its size and time; the names of the entries before it
    // in its block are taken from `names`). Reading ordinals in ascending order decodes each
    // block once.
    bool Read(std::uint32_t ordinal, std::string_view fileName, const ParsedSize& size, const ParsedTime& time,
              const TextColumn& names, RecordCursor& cursor, RecordTexts& texts) const;
    // Asks ahead for where the entry's block lies, then (some reads later) for its bytes.
    void PrefetchPlace(std::uint32_t ordinal) const;
    void PrefetchBytes(std::uint32_t ordinal) const;

private:
    // Where the block's entries start in the stream; the stream's end for the block after the last.
    std::size_t BlockStart(std::uint32_t block) const;

    std::uint32_t count_ = 0;
    std::uint32_t blocks_ = 0;
    const unsigned char* table_ = nullptr;
    std::string_view stream_;
};

}  // namespace vellumark
