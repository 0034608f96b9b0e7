#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace vellumark {

// The two integer encodings of the index files: little-endian fixed widths and LEB128 varints
// (seven bits a byte, low bits first). Every reader here stops at the end of its bytes, so a
// damaged file can give wrong numbers but never a read outside its bytes.

inline void PutU32(std::string& out, std::uint32_t value)
{
    char bytes[4];
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>(value >> (8 * i));
    out.append(bytes, 4);
}

inline void PutU64(std::string& out, std::uint64_t value)
{
    char bytes[8];
    for (int i = 0; i < 8; ++i)
        bytes[i] = static_cast<char>(value >> (8 * i));
    out.append(bytes, 8);
}

// Writes the value as a varint (seven bits a byte, the lowest first, the top bit set on all
// but the last) at `out`, which has room for kMaxVarintBytes; returns the byte after it.
inline constexpr std::size_t kMaxVarintBytes = 10;
inline unsigned char* WriteVarint(unsigned char* out, std::uint64_t value)
{
    while (value >= 0x80) {
        *out++ = static_cast<unsigned char>(value | 0x80);
        value >>= 7;
    }
    *out++ = static_cast<unsigned char>(value);
    return out;
}

// The same, appended to a string byte by byte: through WriteVarint and one append it measured
// slower. Writers of many values use a ByteStream.
inline void PutVarint(std::string& out, std::uint64_t value)
{
    while (value >= 0x80) {
        out += static_cast<char>(value | 0x80);
        value >>= 7;
    }
    out += static_cast<char>(value);
}

// Bytes appended through a pointer, with room checked once for each value written rather than
// once a byte (a string's append checks and terminates for every byte): the column writers
// put several values for every entry of a catalog. Clear keeps the memory.
class ByteStream {
public:
    // Room for `bytes` more at the returned place, which Commit then closes at the end of
    // what was written there.
    unsigned char* Reserve(std::size_t bytes)
    {
        if (capacity_ - size_ < bytes)
            Grow(bytes);
        return data_.get() + size_;
    }
    void Commit(const unsigned char* end) { size_ = static_cast<std::size_t>(end - data_.get()); }

    void PutByte(std::uint8_t byte)
    {
        *Reserve(1) = byte;
        ++size_;
    }
    void PutVarint(std::uint64_t value) { Commit(WriteVarint(Reserve(kMaxVarintBytes), value)); }
    void Append(std::string_view bytes)
    {
        if (!bytes.empty())
            std::memcpy(Reserve(bytes.size()), bytes.data(), bytes.size());
        size_ += bytes.size();
    }

    std::size_t Size() const { return size_; }
    std::string_view View() const { return {reinterpret_cast<const char*>(data_.get()), size_}; }
    void Clear() { size_ = 0; }

private:
    void Grow(std::size_t bytes)
    {
        const std::size_t capacity = std::max(size_ + bytes, std::max<std::size_t>(4096, 2 * capacity_));
        auto grown = std::make_unique_for_overwrite<unsigned char[]>(capacity);
        if (size_ != 0)
            std::memcpy(grown.get(), data_.get(), size_);
        data_ = std::move(grown);
        capacity_ = capacity;
    }

    std::unique_ptr<unsigned char[]> data_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

inline std::uint32_t LoadU32(const unsigned char* bytes)
{
    std::uint32_t value;
    std::memcpy(&value, bytes, 4);
    if constexpr (std::endian::native == std::endian::big)
        value = __builtin_bswap32(value);
    return value;
}

inline std::uint64_t LoadU64(const unsigned char* bytes)
{
    std::uint64_t value;
    std::memcpy(&value, bytes, 8);
    if constexpr (std::endian::native == std::endian::big)
        value = __builtin_bswap64(value);
    return value;
}

// Asks for the cache lines of [from, to) ahead of a read, at most `maxLines` of them. Never
// faults, whatever the addresses.
inline void PrefetchRange(const void* from, const void* to, std::size_t maxLines)
{
    const auto* at = static_cast<const char*>(from);
    const auto* end = static_cast<const char*>(to);
    for (std::size_t line = 0; line < maxLines && at < end; ++line, at += 64)
        __builtin_prefetch(at, 0, 3);
}

// Reads the varint at `at`; returns the byte after it, or nullptr when it runs past `end` or
// does not fit in 64 bits.
inline const unsigned char* ReadVarint(const unsigned char* at, const unsigned char* end, std::uint64_t& value)
{
    if (at < end && *at < 0x80) {
        value = *at;
        return at + 1;
    }
    std::uint64_t result = 0;
    for (int shift = 0; shift < 64; shift += 7) {
        if (at == end)
            return nullptr;
        const std::uint64_t byte = *at++;
        if (shift == 63 && byte > 1)
            return nullptr;
        result |= (byte & 0x7F) << shift;
        if (byte < 0x80) {
            value = result;
            return at;
        }
    }
    return nullptr;
}

// Sequential reads from a byte range; after the first read past its end every read fails.
class ByteCursor {
public:
    explicit ByteCursor(std::string_view bytes)
        : at_(reinterpret_cast<const unsigned char*>(bytes.data())), end_(at_ + bytes.size())
    {
    }

    bool U8(std::uint8_t& value)
    {
        if (!Has(1))
            return false;
        value = *at_++;
        return true;
    }
    bool U32(std::uint32_t& value)
    {
        if (!Has(4))
            return false;
        value = LoadU32(at_);
        at_ += 4;
        return true;
    }
    bool U64(std::uint64_t& value)
    {
        if (!Has(8))
            return false;
        value = LoadU64(at_);
        at_ += 8;
        return true;
    }
    bool Varint(std::uint64_t& value)
    {
        if (failed_)
            return false;
        const unsigned char* next = ReadVarint(at_, end_, value);
        if (!next)
            return failed_ = true, false;
        at_ = next;
        return true;
    }
    bool Bytes(std::uint64_t count, std::string_view& bytes)
    {
        if (!Has(count))
            return false;
        bytes = std::string_view(reinterpret_cast<const char*>(at_), count);
        at_ += count;
        return true;
    }

    std::size_t Left() const { return failed_ ? 0 : static_cast<std::size_t>(end_ - at_); }
    bool Failed() const { return failed_; }

private:
    bool Has(std::uint64_t count)
    {
        if (failed_ || count > static_cast<std::uint64_t>(end_ - at_))
            return failed_ = true, false;
        return true;
    }

    const unsigned char* at_;
    const unsigned char* end_;
    bool failed_ = false;
};

// The checksum of the index files (XXH3, 64 bits).
std::uint64_t IndexChecksum(std::string_view bytes);

}  // namespace vellumark
