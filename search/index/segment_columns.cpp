#include "search/index/segment_columns.h"

#include "search/index/byte_codec.h"

#include <algorithm>
#include <limits>

namespace vellumark {

namespace {

enum ColumnKind : std::uint8_t { kPlainColumn = 0, kDictionaryColumn = 1 };
constexpr std::uint8_t kHasAbsentValues = 1;

bool BitSet(std::string_view bitmap, std::uint32_t index)
{
    return (static_cast<unsigned char>(bitmap[index >> 3]) >> (index & 7)) & 1;
}

void PutStarts(std::string& out, const std::vector<std::uint32_t>& starts)
{
    for (const std::uint32_t start : starts)
        PutU32(out, start);
}

template <unsigned Width>
std::uint32_t LoadId(const unsigned char* ids, std::uint32_t ordinal)
{
    const unsigned char* at = ids + static_cast<std::size_t>(ordinal) * Width;
    if constexpr (Width == 1)
        return at[0];
    else if constexpr (Width == 2)
        return static_cast<std::uint32_t>(at[0] | (at[1] << 8));
    else
        return LoadU32(at);
}

// Runs `body` with the id loader of the column's width chosen once, outside the loop.
template <typename Body>
auto WithIdLoader(unsigned width, Body&& body)
{
    switch (width) {
    case 1:
        return body(&LoadId<1>);
    case 2:
        return body(&LoadId<2>);
    default:
        return body(&LoadId<4>);
    }
}

}  // namespace

bool PlainTextColumnWriter::Overflowed() const { return bytes_.size() > std::numeric_limits<std::uint32_t>::max(); }

void PlainTextColumnWriter::Clear()
{
    bytes_.clear();
    starts_.assign(1, 0);
    absent_.clear();
}

void PlainTextColumnWriter::Finish(std::string& out) const
{
    const auto count = static_cast<std::uint32_t>(starts_.size() - 1);
    const bool anyAbsent = !absent_.empty();
    out.reserve(out.size() + 6 + (anyAbsent ? (count + 7) / 8 : 0) + 4 * starts_.size() + bytes_.size());
    out += static_cast<char>(kPlainColumn);
    out += static_cast<char>(anyAbsent ? kHasAbsentValues : 0);
    PutU32(out, count);
    if (anyAbsent) {
        std::string bitmap((count + 7) / 8, '\xFF');
        if (count % 8 != 0)
            bitmap.back() = static_cast<char>((1u << (count % 8)) - 1);
        for (const std::uint32_t i : absent_)
            bitmap[i >> 3] = static_cast<char>(static_cast<unsigned char>(bitmap[i >> 3]) & ~(1u << (i & 7)));
        out += bitmap;
    }
    PutStarts(out, starts_);
    out += bytes_;
}

void DictionaryColumnWriter::AddLookedUp(std::string_view value)
{
    if (2 * (starts_.size() - 1) >= slots_.size())
        Grow();
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = IndexChecksum(value) & mask;; slot = (slot + 1) & mask) {
        if (slots_[slot] == 0) {
            dictionary_ += value;
            starts_.push_back(dictionary_.size());
            slots_[slot] = static_cast<std::uint32_t>(starts_.size() - 1);
            lastId_ = slots_[slot];
            break;
        }
        if (SameShortText(ValueOf(slots_[slot] - 1), value)) {
            lastId_ = slots_[slot];
            break;
        }
    }
    ids_.push_back(lastId_);
}

void DictionaryColumnWriter::Grow()
{
    const std::uint32_t distinct = static_cast<std::uint32_t>(starts_.size() - 1);
    slots_.assign(std::max<std::size_t>(64, 4 * slots_.size()), 0);
    const std::size_t mask = slots_.size() - 1;
    for (std::uint32_t number = 0; number < distinct; ++number) {
        std::size_t slot = IndexChecksum(ValueOf(number)) & mask;
        while (slots_[slot] != 0)
            slot = (slot + 1) & mask;
        slots_[slot] = number + 1;
    }
}

bool DictionaryColumnWriter::Overflowed() const { return dictionary_.size() > std::numeric_limits<std::uint32_t>::max(); }

void DictionaryColumnWriter::Clear()
{
    dictionary_.clear();
    starts_.assign(1, 0);
    slots_.clear();
    ids_.clear();
    lastId_ = 0;
}

void DictionaryColumnWriter::Finish(std::string& out) const
{
    const auto count = static_cast<std::uint32_t>(ids_.size());
    const auto distinct = static_cast<std::uint32_t>(starts_.size() - 1);
    const unsigned width = distinct <= 0xFF ? 1 : distinct <= 0xFFFF ? 2 : 4;
    out.reserve(out.size() + 10 + 4 * (distinct + 1) + dictionary_.size() + static_cast<std::size_t>(count) * width);
    out += static_cast<char>(kDictionaryColumn);
    out += static_cast<char>(width);
    PutU32(out, count);
    PutU32(out, distinct);
    for (const std::uint64_t start : starts_)
        PutU32(out, static_cast<std::uint32_t>(start));
    out += dictionary_;
    const std::size_t idsAt = out.size();
    out.resize(idsAt + static_cast<std::size_t>(count) * width);
    char* ids = out.data() + idsAt;
    for (const std::uint32_t id : ids_)
        for (unsigned byte = 0; byte < width; ++byte)
            *ids++ = static_cast<char>(id >> (8 * byte));
}

bool TextColumn::Parse(std::string_view bytes, std::uint32_t entryCount)
{
    // A column that fails to parse is left empty, never half set.
    TextColumn parsed;
    if (!parsed.ParseInto(bytes, entryCount)) {
        *this = TextColumn();
        return false;
    }
    *this = parsed;
    return true;
}

bool TextColumn::ParseInto(std::string_view bytes, std::uint32_t entryCount)
{
    ByteCursor cursor(bytes);
    std::uint8_t kind = 0;
    std::uint8_t detail = 0;
    if (!cursor.U8(kind) || !cursor.U8(detail) || !cursor.U32(count_) || count_ != entryCount)
        return false;
    std::string_view starts;
    if (kind == kPlainColumn) {
        if ((detail & ~kHasAbsentValues) != 0)
            return false;
        if ((detail & kHasAbsentValues) && !cursor.Bytes((static_cast<std::uint64_t>(count_) + 7) / 8, present_))
            return false;
        if (!cursor.Bytes(4 * (static_cast<std::uint64_t>(count_) + 1), starts) || !cursor.Bytes(cursor.Left(), bytes_))
            return false;
        starts_ = reinterpret_cast<const unsigned char*>(starts.data());
        return LoadU32(starts_) == 0 && LoadU32(starts_ + 4 * static_cast<std::size_t>(count_)) == bytes_.size();
    }
    if (kind != kDictionaryColumn || (detail != 1 && detail != 2 && detail != 4))
        return false;
    dictionary_ = true;
    idWidth_ = detail;
    std::string_view ids;
    if (!cursor.U32(dictionaryCount_) || !cursor.Bytes(4 * (static_cast<std::uint64_t>(dictionaryCount_) + 1), starts))
        return false;
    dictionaryStarts_ = reinterpret_cast<const unsigned char*>(starts.data());
    if (LoadU32(dictionaryStarts_) != 0
        || !cursor.Bytes(LoadU32(dictionaryStarts_ + 4 * static_cast<std::size_t>(dictionaryCount_)), dictionaryBytes_)
        || !cursor.Bytes(static_cast<std::uint64_t>(count_) * idWidth_, ids) || cursor.Left() != 0)
        return false;
    ids_ = reinterpret_cast<const unsigned char*>(ids.data());
    return true;
}

bool TextColumn::PlainValue(std::uint32_t ordinal, std::optional<std::string_view>& value) const
{
    if (!present_.empty() && !BitSet(present_, ordinal)) {
        value.reset();
        return true;
    }
    const std::uint32_t start = LoadU32(starts_ + 4 * static_cast<std::size_t>(ordinal));
    const std::uint32_t end = LoadU32(starts_ + 4 * (static_cast<std::size_t>(ordinal) + 1));
    if (start > end || end > bytes_.size())
        return false;
    value = bytes_.substr(start, end - start);
    return true;
}

bool TextColumn::DictionaryValue(std::uint32_t number, std::string_view& value) const
{
    const std::uint32_t start = LoadU32(dictionaryStarts_ + 4 * static_cast<std::size_t>(number));
    const std::uint32_t end = LoadU32(dictionaryStarts_ + 4 * (static_cast<std::size_t>(number) + 1));
    if (start > end || end > dictionaryBytes_.size())
        return false;
    value = dictionaryBytes_.substr(start, end - start);
    return true;
}

bool TextColumn::IdOf(std::uint32_t ordinal, std::uint32_t& id) const
{
    id = WithIdLoader(idWidth_, [&](auto load) { return load(ids_, ordinal); });
    return id <= dictionaryCount_;
}

bool TextColumn::Value(std::uint32_t ordinal, std::optional<std::string_view>& value) const
{
    if (ordinal >= count_)
        return false;
    if (!dictionary_)
        return PlainValue(ordinal, value);
    std::uint32_t id = 0;
    if (!IdOf(ordinal, id))
        return false;
    if (id == 0) {
        value.reset();
        return true;
    }
    std::string_view text;
    if (!DictionaryValue(id - 1, text))
        return false;
    value = text;
    return true;
}

void TextColumn::PrefetchPlace(std::uint32_t ordinal) const
{
    if (ordinal >= count_)
        return;
    if (dictionary_) {
        __builtin_prefetch(ids_ + std::size_t{ordinal} * idWidth_, 0, 3);
        return;
    }
    // The value's start and end, which may lie on two lines.
    PrefetchRange(starts_ + 4 * std::size_t{ordinal}, starts_ + 4 * (std::size_t{ordinal} + 2), 2);
}

void TextColumn::PrefetchBytes(std::uint32_t ordinal) const
{
    // A dictionary's values are few and read again and again: they stay cached.
    if (dictionary_ || ordinal >= count_)
        return;
    const std::uint32_t start = LoadU32(starts_ + 4 * std::size_t{ordinal});
    const std::uint32_t end = LoadU32(starts_ + 4 * (std::size_t{ordinal} + 1));
    if (start <= end && end <= bytes_.size())
        PrefetchRange(bytes_.data() + start, bytes_.data() + end, 8);
}

bool TextColumn::AcceptedIds(const ValueFilter& filter, std::vector<bool>& accepted) const
{
    accepted.assign(static_cast<std::size_t>(dictionaryCount_) + 1, false);
    for (std::uint32_t number = 0; number < dictionaryCount_; ++number) {
        std::string_view text;
        if (!DictionaryValue(number, text))
            return false;
        accepted[number + 1] = filter.Matches(text);
    }
    return true;
}

bool TextColumn::Scan(const ValueFilter& filter, std::vector<std::uint32_t>& out) const
{
    if (dictionary_) {
        std::vector<bool> accepted;
        if (!AcceptedIds(filter, accepted))
            return false;
        if (std::find(accepted.begin(), accepted.end(), true) == accepted.end())
            return true;
        return WithIdLoader(idWidth_, [&](auto load) {
            for (std::uint32_t ordinal = 0; ordinal < count_; ++ordinal) {
                const std::uint32_t id = load(ids_, ordinal);
                if (id > dictionaryCount_)
                    return false;
                if (accepted[id])
                    out.push_back(ordinal);
            }
            return true;
        });
    }
    if (filter.WholeValue()) {
        std::optional<std::string_view> value;
        for (std::uint32_t ordinal = 0; ordinal < count_; ++ordinal) {
            if (!PlainValue(ordinal, value))
                return false;
            if (value && filter.Matches(*value))
                out.push_back(ordinal);
        }
        return true;
    }
    // Finds the pattern in all values at once and maps each place to the value holding it;
    // a place that runs into the next value is no match.
    if (count_ == 0)
        return true;
    const std::size_t length = filter.Pattern().size();
    std::uint32_t ordinal = 0;
    std::uint32_t start = 0;
    std::uint32_t end = LoadU32(starts_ + 4);
    if (end > bytes_.size())
        return false;
    for (std::size_t from = 0;;) {
        const std::size_t place = filter.Find(bytes_, from);
        if (place == std::string_view::npos)
            return true;
        while (end <= place) {
            if (++ordinal >= count_)
                return false;
            start = end;
            end = LoadU32(starts_ + 4 * (static_cast<std::size_t>(ordinal) + 1));
            if (end < start || end > bytes_.size())
                return false;
        }
        if (place + length <= end && (present_.empty() || BitSet(present_, ordinal))) {
            out.push_back(ordinal);
            from = end;
        } else {
            from = place + 1;
        }
    }
}

bool TextColumn::Filter(const ValueFilter& filter, std::vector<std::uint32_t>& candidates) const
{
    std::size_t kept = 0;
    if (dictionary_) {
        std::vector<bool> accepted;
        if (!AcceptedIds(filter, accepted))
            return false;
        for (const std::uint32_t ordinal : candidates) {
            std::uint32_t id = 0;
            if (ordinal >= count_ || !IdOf(ordinal, id))
                return false;
            if (accepted[id])
                candidates[kept++] = ordinal;
        }
    } else {
        std::optional<std::string_view> value;
        for (std::size_t at = 0; at < candidates.size(); ++at) {
            PrefetchAhead(
                candidates, at, [&](std::uint32_t ahead) { PrefetchPlace(ahead); },
                [&](std::uint32_t ahead) { PrefetchBytes(ahead); });
            const std::uint32_t ordinal = candidates[at];
            if (ordinal >= count_ || !PlainValue(ordinal, value))
                return false;
            if (value && filter.Matches(*value))
                candidates[kept++] = ordinal;
        }
    }
    candidates.resize(kept);
    return true;
}

std::uint64_t TextColumn::ScanBytes() const
{
    if (dictionary_)
        return static_cast<std::uint64_t>(count_) * idWidth_ + dictionaryBytes_.size();
    return bytes_.size() + 4 * static_cast<std::uint64_t>(count_);
}

void VarintColumnWriter::StartEntry()
{
    if (count_ % kVarintBlock == 0)
        PutU32(table_, static_cast<std::uint32_t>(stream_.Size()));
    ++count_;
}

void VarintColumnWriter::Add(std::uint64_t value)
{
    StartEntry();
    stream_.PutVarint(value);
}

void VarintColumnWriter::AddEscaped(std::uint64_t value)
{
    StartEntry();
    stream_.PutVarint(kVarintEscape);
    stream_.PutVarint(value);
}

bool VarintColumnWriter::Overflowed() const { return stream_.Size() > std::numeric_limits<std::uint32_t>::max(); }

void VarintColumnWriter::Clear()
{
    count_ = 0;
    table_.clear();
    stream_.Clear();
}

void VarintColumnWriter::Finish(std::string& out) const
{
    out.reserve(out.size() + 8 + table_.size() + stream_.Size());
    PutU32(out, count_);
    PutU32(out, (count_ + kVarintBlock - 1) / kVarintBlock);
    out += table_;
    out += stream_.View();
}

bool VarintColumn::Parse(std::string_view bytes, std::uint32_t entryCount)
{
    VarintColumn parsed;
    if (!parsed.ParseInto(bytes, entryCount)) {
        *this = VarintColumn();
        return false;
    }
    *this = parsed;
    return true;
}

bool VarintColumn::ParseInto(std::string_view bytes, std::uint32_t entryCount)
{
    ByteCursor cursor(bytes);
    std::uint32_t blocks = 0;
    std::string_view table;
    if (!cursor.U32(count_) || count_ != entryCount || !cursor.U32(blocks)
        || blocks != (static_cast<std::uint64_t>(count_) + kVarintBlock - 1) / kVarintBlock)
        return false;
    if (!cursor.Bytes(static_cast<std::uint64_t>(blocks) * 4, table) || !cursor.Bytes(cursor.Left(), stream_))
        return false;
    table_ = reinterpret_cast<const unsigned char*>(table.data());
    return true;
}

void VarintColumn::PrefetchPlace(std::uint32_t ordinal) const
{
    if (ordinal < count_)
        __builtin_prefetch(table_ + std::size_t{ordinal / kVarintBlock} * 4, 0, 3);
}

void VarintColumn::PrefetchBytes(std::uint32_t ordinal) const
{
    if (ordinal >= count_)
        return;
    const std::uint32_t position = LoadU32(table_ + std::size_t{ordinal / kVarintBlock} * 4);
    // A block's sixteen varints take two lines at most, mostly.
    if (position < stream_.size())
        PrefetchRange(stream_.data() + position, stream_.data() + stream_.size(), 2);
}

bool VarintColumn::Value(std::uint32_t ordinal, std::uint64_t& value, bool& escaped) const
{
    if (ordinal >= count_)
        return false;
    const std::uint32_t position = LoadU32(table_ + std::size_t{ordinal / kVarintBlock} * 4);
    if (position > stream_.size())
        return false;
    const auto* at = reinterpret_cast<const unsigned char*>(stream_.data()) + position;
    const auto* end = reinterpret_cast<const unsigned char*>(stream_.data()) + stream_.size();
    for (std::uint32_t step = 0; step <= ordinal % kVarintBlock; ++step) {
        if (!(at = ReadVarint(at, end, value)))
            return false;
        escaped = value == kVarintEscape;
        if (escaped && !(at = ReadVarint(at, end, value)))
            return false;
    }
    return true;
}

}  // namespace vellumark
