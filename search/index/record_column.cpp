#include "search/index/record_column.h"

#include "search/index/byte_codec.h"
#include "services/text_format.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace vellumark {

namespace {

// Per entry: a byte of flags, the path's parts when it has one, then each text that does not
// follow from the other columns as its length and bytes, in the order of the flags.
enum RecordFlags : std::uint8_t {
    kPathMode = 3,           // 0 no path, 1 shared part + rest + FileName, 2 shared part + rest
    kSizeStored = 4,
    kTimeStored = 8,
    kNameLengthStored = 16,
    kPathLengthStored = 32,
    kKnownFlags = 63,
};
enum PathMode : std::uint8_t { kNoPath = 0, kPathEndsWithName = 1, kPathAsGiven = 2 };

constexpr std::uint64_t kMaxStream = std::numeric_limits<std::uint32_t>::max();

std::string_view Decimal(std::uint64_t value, char (&buffer)[24])
{
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return std::string_view(buffer, static_cast<std::size_t>(end - buffer));
}

std::string_view SizeText(const ParsedSize& size, char (&buffer)[24])
{
    return size.state == SizeState::Readable ? Decimal(size.bytes, buffer) : std::string_view();
}

// "YYYY-MM-DD HH:MM:SS" of whole seconds on the naive clock of the time column, for years of
// four digits; empty for any other time.
std::string_view TimeText(const ParsedTime& time, char (&buffer)[24])
{
    constexpr double kYear10000 = 253402300800.0;  // 10000-01-01 00:00:00
    constexpr double kYear1000 = -30610224000.0;   // 1000-01-01 00:00:00
    if (!time.readable || time.seconds < kYear1000 || time.seconds >= kYear10000 || std::trunc(time.seconds) != time.seconds)
        return {};
    char text[19];
    WriteCivilTime(CivilTimeOfSeconds(static_cast<long long>(time.seconds)), text);
    std::copy(text, text + sizeof text, buffer);
    return std::string_view(buffer, sizeof text);
}

std::string_view LengthText(std::string_view text, char (&buffer)[24])
{
    return text.empty() ? std::string_view() : Decimal(text.size(), buffer);
}

// The checks below tell, without making the text, whether a text is the one the reader makes
// from the other columns' values (the index build makes one check of each kind per entry).

// The decimal SizeText gives: 1 to 20 digits that the size column holds as a number, without
// a leading zero.
bool IsSizeText(std::string_view text, const ParsedSize& size)
{
    return size.state == SizeState::Readable && !text.empty() && (text[0] != '0' || text.size() == 1);
}

// The text TimeText gives for the seconds the time column holds: the written form of a real
// calendar day, which the time parser reads to exactly those seconds (`time` is the text's).
bool IsTimeText(const ParsedTime& time)
{
    return time.readable && time.written;
}

// The decimal LengthText gives for a text of `length` bytes (empty for none).
bool IsLengthText(std::string_view text, std::size_t length)
{
    if (length == 0 || text.empty() || text.size() > 19 || (text[0] == '0'))
        return length == 0 && text.empty();
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value == length;
}

// Eight bytes at a time: paths share some fifty bytes with the path before them, and often
// the whole of the shorter one (a folder's files after the folder).
std::size_t SharedLength(std::string_view a, std::string_view b)
{
    const std::size_t limit = std::min(a.size(), b.size());
    // The first differing byte of the eight from `at`, or 8 when they are equal.
    const auto firstDifference = [&](std::size_t at) -> std::size_t {
        std::uint64_t left, right;
        std::memcpy(&left, a.data() + at, 8);
        std::memcpy(&right, b.data() + at, 8);
        const std::uint64_t differing = left ^ right;
        if (differing == 0)
            return 8;
        const int bits = std::endian::native == std::endian::little ? std::countr_zero(differing) : std::countl_zero(differing);
        return static_cast<std::size_t>(bits / 8);
    };
    std::size_t at = 0;
    for (; at + 8 <= limit; at += 8) {
        if (const std::size_t differs = firstDifference(at); differs < 8)
            return at + differs;
    }
    if (at == limit)
        return at;
    if (limit >= 8) {
        // The last eight bytes, overlapping those already found equal.
        const std::size_t last = limit - 8;
        return last + firstDifference(last);
    }
    while (at < limit && a[at] == b[at])
        ++at;
    return at;
}

}  // namespace

void RecordColumnWriter::AddLiteral(std::string_view text)
{
    stream_.PutVarint(text.size());
    stream_.Append(text);
}

void RecordColumnWriter::Add(std::string_view fileName, const RecordTexts& texts, const ParsedSize& size,
                             const ParsedTime& time)
{
    if (count_++ % kRecordBlock == 0) {
        PutU32(table_, static_cast<std::uint32_t>(std::min<std::uint64_t>(stream_.Size(), kMaxStream)));
        previousPath_.clear();
    }
    const std::string_view path = texts.fullPath;
    const std::string_view name = fileName;
    std::uint8_t flags = kNoPath;
    std::string_view head = path;
    if (!path.empty()) {
        const bool endsWithName = !name.empty() && path.size() >= name.size()
                               && path.compare(path.size() - name.size(), name.size(), name) == 0;
        if (endsWithName)
            head.remove_suffix(name.size());
        flags = endsWithName ? kPathEndsWithName : kPathAsGiven;
    }
    if (!(texts.fileSize.empty() ? size.state != SizeState::Readable : IsSizeText(texts.fileSize, size)))
        flags |= kSizeStored;
    if (!(texts.fileTime.empty() ? TimeText(time, timeBuffer_).empty() : IsTimeText(time)))
        flags |= kTimeStored;
    if (!IsLengthText(texts.fileNameLength, name.size()))
        flags |= kNameLengthStored;
    if (!IsLengthText(texts.pathNameLength, path.size()))
        flags |= kPathLengthStored;

    stream_.PutByte(flags);
    if (!path.empty()) {
        const std::size_t shared = SharedLength(previousPath_, head);
        stream_.PutVarint(shared);
        AddLiteral(head.substr(shared));
    }
    if (flags & kSizeStored)
        AddLiteral(texts.fileSize);
    if (flags & kTimeStored)
        AddLiteral(texts.fileTime);
    if (flags & kNameLengthStored)
        AddLiteral(texts.fileNameLength);
    if (flags & kPathLengthStored)
        AddLiteral(texts.pathNameLength);
    previousPath_.assign(path);
}

bool RecordColumnWriter::Overflowed() const { return stream_.Size() > kMaxStream; }

void RecordColumnWriter::Finish(std::string& out) const
{
    out.reserve(out.size() + table_.size() + stream_.Size());
    out += table_;
    out += stream_.View();
}

void RecordColumnWriter::Clear()
{
    count_ = 0;
    previousPath_.clear();
    table_.clear();
    stream_.Clear();
}

bool RecordColumn::Parse(std::string_view bytes, std::uint32_t entryCount)
{
    count_ = entryCount;
    blocks_ = static_cast<std::uint32_t>((std::uint64_t{entryCount} + kRecordBlock - 1) / kRecordBlock);
    const std::uint64_t tableBytes = std::uint64_t{blocks_} * 4;
    if (bytes.size() < tableBytes)
        return false;
    table_ = reinterpret_cast<const unsigned char*>(bytes.data());
    stream_ = bytes.substr(static_cast<std::size_t>(tableBytes));
    std::size_t previous = 0;
    for (std::uint32_t block = 0; block < blocks_; ++block) {
        const std::size_t start = BlockStart(block);
        if ((block == 0 && start != 0) || start < previous || start > stream_.size())
            return false;
        previous = start;
    }
    return true;
}

std::size_t RecordColumn::BlockStart(std::uint32_t block) const
{
    return block < blocks_ ? LoadU32(table_ + std::size_t{block} * 4) : stream_.size();
}

void RecordColumn::PrefetchPlace(std::uint32_t ordinal) const
{
    if (ordinal < count_)
        __builtin_prefetch(table_ + std::size_t{ordinal / kRecordBlock} * 4, 0, 3);
}

void RecordColumn::PrefetchBytes(std::uint32_t ordinal) const
{
    if (ordinal >= count_)
        return;
    const std::uint32_t block = ordinal / kRecordBlock;
    const std::size_t start = BlockStart(block);
    const std::size_t end = BlockStart(block + 1);
    if (start <= end && end <= stream_.size())
        PrefetchRange(stream_.data() + start, stream_.data() + end, 8);
}

bool RecordColumn::Read(std::uint32_t ordinal, std::string_view fileName, const ParsedSize& size, const ParsedTime& time,
                        const TextColumn& names, RecordCursor& cursor, RecordTexts& texts) const
{
    if (ordinal >= count_)
        return false;
    const std::uint32_t block = ordinal / kRecordBlock;
    if (cursor.block_ != block || cursor.next_ > ordinal) {
        cursor.block_ = block;
        cursor.next_ = block * kRecordBlock;
        cursor.position_ = BlockStart(block);
        cursor.path_.clear();
        cursor.nameToAppend_ = RecordCursor::kNoNameToAppend;
    }
    const std::size_t end = BlockStart(block + 1);
    if (cursor.position_ > end)
        return false;
    // The path of an entry before the wanted one is only kept as far as the next entry shares it:
    // its FileName, which a path often ends with, is looked up only when the next path shares
    // part of it (a folder's first file after the folder), not for the files of one folder.
    const auto appendName = [&](std::uint32_t at, std::string_view name) {
        std::optional<std::string_view> value = name;
        if ((at != ordinal && !names.Value(at, value)) || !value || value->empty())
            return false;
        cursor.path_ += *value;
        return true;
    };
    ByteCursor in(stream_.substr(cursor.position_, end - cursor.position_));
    std::string_view stored[4];
    for (;;) {
        const std::uint32_t at = cursor.next_;
        std::uint8_t flags = 0;
        if (!in.U8(flags) || (flags & ~kKnownFlags) != 0 || (flags & kPathMode) == 3)
            return false;
        if ((flags & kPathMode) == kNoPath) {
            cursor.path_.clear();
            cursor.nameToAppend_ = RecordCursor::kNoNameToAppend;
        } else {
            std::uint64_t shared = 0, length = 0;
            std::string_view rest;
            if (!in.Varint(shared) || !in.Varint(length) || !in.Bytes(length, rest))
                return false;
            if (shared > cursor.path_.size() && cursor.nameToAppend_ != RecordCursor::kNoNameToAppend
                && !appendName(cursor.nameToAppend_, {}))
                return false;
            if (shared > cursor.path_.size())
                return false;
            cursor.nameToAppend_ = RecordCursor::kNoNameToAppend;
            cursor.path_.resize(static_cast<std::size_t>(shared));
            cursor.path_ += rest;
            if ((flags & kPathMode) == kPathEndsWithName) {
                if (at != ordinal)
                    cursor.nameToAppend_ = at;
                else if (!appendName(at, fileName))
                    return false;
            }
        }
        for (int text = 0; text < 4; ++text) {
            if (!(flags & (kSizeStored << text)))
                continue;
            std::uint64_t length = 0;
            if (!in.Varint(length) || !in.Bytes(length, stored[text]))
                return false;
        }
        cursor.next_ = at + 1;
        cursor.position_ = end - in.Left();
        if (at == ordinal) {
            texts.fullPath = cursor.path_;
            texts.fileSize = (flags & kSizeStored) ? stored[0] : SizeText(size, cursor.size_);
            texts.fileTime = (flags & kTimeStored) ? stored[1] : TimeText(time, cursor.time_);
            texts.fileNameLength = (flags & kNameLengthStored) ? stored[2] : LengthText(fileName, cursor.nameLength_);
            texts.pathNameLength = (flags & kPathLengthStored) ? stored[3] : LengthText(cursor.path_, cursor.pathLength_);
            return true;
        }
    }
}

}  // namespace vellumark
