#include "search/index/segment_reader.h"

#include "search/index/byte_codec.h"
#include "search/index/segment_format.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vellumark {

static_assert(kSegmentSectionCount <= 16);

namespace {

constexpr std::uint64_t kMaxU64 = std::numeric_limits<std::uint64_t>::max();

Status Damaged(const std::string& where, const char* what)
{
    return Status::Failed("The search index segment " + where + " is " + what);
}

bool DecodeSize(std::uint64_t code, bool escaped, ParsedSize& size)
{
    size = ParsedSize();
    if (!escaped) {
        if (code >= 2) {
            size.state = SizeState::Readable;
            size.bytes = code - 2;
        }
        return true;
    }
    if (code <= 1) {
        size.state = SizeState::Readable;
        size.bytes = kMaxU64 - 1 + code;
        return true;
    }
    if (code == 2) {
        size.state = SizeState::AboveRange;
        return true;
    }
    return false;
}

void DecodeTime(std::uint64_t code, bool escaped, ParsedTime& time)
{
    time = ParsedTime();
    if (escaped) {
        time.readable = true;
        std::memcpy(&time.seconds, &code, sizeof code);
        return;
    }
    if (code < 2)
        return;
    const std::uint64_t zigzag = code - 2;
    const auto seconds = static_cast<std::int64_t>(zigzag >> 1) ^ -static_cast<std::int64_t>(zigzag & 1);
    time.readable = true;
    time.seconds = static_cast<double>(seconds);
}

}  // namespace

SegmentReader::~SegmentReader()
{
    if (mapping_)
        ::munmap(mapping_, bytes_.size());
}

Status SegmentReader::Open(const std::string& path, std::shared_ptr<const SegmentReader>& segment)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return Status::Failed("Cannot read \"" + path + "\": " + std::strerror(errno));
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return Damaged("\"" + path + "\"", "no regular file");
    }
    if (static_cast<std::uint64_t>(status.st_size) < kSegmentHeaderBytes) {
        ::close(fd);
        return Damaged("\"" + path + "\"", "truncated");
    }
    const auto size = static_cast<std::size_t>(status.st_size);
    void* mapping = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
    const int mapError = errno;
    ::close(fd);
    if (mapping == MAP_FAILED)
        return Status::Failed("Cannot read \"" + path + "\": " + std::strerror(mapError));
    std::shared_ptr<SegmentReader> reader(new SegmentReader());
    reader->mapping_ = mapping;
    reader->bytes_ = std::string_view(static_cast<const char*>(mapping), size);
    // A search touches pages all over the result columns. Read back from the disk in small
    // pieces (after the segment was written past the page cache, or dropped from it), the
    // pages took one fault for every 64 KB each time a search mapped them; in large folios they
    // take a few per segment: rock's system time went from 60 ms to 12 ms. A hint, ignored
    // where the file system keeps no large folios.
    ::madvise(mapping, size, MADV_HUGEPAGE);
    if (Status parsed = reader->Parse("\"" + path + "\""); !parsed)
        return parsed;
    segment = std::move(reader);
    return Status::Ok();
}

Status SegmentReader::FromBytes(std::string_view bytes, std::shared_ptr<const SegmentReader>& segment)
{
    std::shared_ptr<SegmentReader> reader(new SegmentReader());
    reader->bytes_ = bytes;
    if (Status parsed = reader->Parse("in memory"); !parsed)
        return parsed;
    segment = std::move(reader);
    return Status::Ok();
}

Status SegmentReader::Parse(const std::string& where)
{
    if (bytes_.size() < kSegmentHeaderBytes || bytes_.substr(0, kSegmentMagic.size()) != kSegmentMagic)
        return Damaged(where, "no segment");
    ByteCursor header(bytes_.substr(kSegmentMagic.size(), kSegmentHeaderBytes - kSegmentMagic.size()));
    std::uint32_t version = 0, headerBytes = 0, sectionCount = 0;
    std::uint64_t fileBytes = 0, modified = 0, changed = 0, indexedAt = 0;
    header.U32(version);
    if (version != kSegmentFormatVersion)
        return Damaged(where, "of another format version");
    header.U32(headerBytes);
    header.U64(fileBytes);
    header.U64(identity_.device);
    header.U64(identity_.inode);
    header.U64(identity_.size);
    header.U64(modified);
    header.U64(changed);
    header.U64(indexedAt);
    header.U32(entryCount_);
    header.U32(sectionCount);
    if (headerBytes != kSegmentHeaderBytes || sectionCount != kSegmentSectionCount)
        return Damaged(where, "damaged");
    if (fileBytes != bytes_.size())
        return Damaged(where, fileBytes > bytes_.size() ? "truncated" : "damaged");
    const auto* raw = reinterpret_cast<const unsigned char*>(bytes_.data());
    if (LoadU64(raw + kSegmentHeaderBytes - 8) != IndexChecksum(bytes_.substr(0, kSegmentHeaderBytes - 8)))
        return Damaged(where, "damaged");
    identity_.modifiedNs = static_cast<std::int64_t>(modified);
    identity_.changedNs = static_cast<std::int64_t>(changed);
    indexedAtNs_ = static_cast<std::int64_t>(indexedAt);
    for (int section = 0; section < kSegmentSectionCount; ++section) {
        std::uint64_t offset = 0, length = 0;
        header.U64(offset);
        header.U64(length);
        header.U64(checksums_[section]);
        if (offset < kSegmentHeaderBytes || offset > bytes_.size() || length > bytes_.size() - offset)
            return Damaged(where, "damaged");
        sections_[section] = bytes_.substr(offset, length);
    }
    if (header.Failed())
        return Damaged(where, "damaged");

    key_ = sections_[kKeySection];
    failure_ = sections_[kFailureSection];
    trigramTable_ = sections_[kTrigramSection];
    postings_ = sections_[kPostingSection];
    if ((CatalogFailed() && entryCount_ != 0) || trigramTable_.size() % kTrigramRecordBytes != 0
        || !names_.Parse(sections_[kNameSection], entryCount_)
        || !extensions_.Parse(sections_[kExtensionSection], entryCount_)
        || !descriptions_.Parse(sections_[kDescriptionSection], entryCount_)
        || !types_.Parse(sections_[kTypeSection], entryCount_) || !sizes_.Parse(sections_[kSizeSection], entryCount_)
        || !times_.Parse(sections_[kTimeSection], entryCount_) || !records_.Parse(sections_[kRecordSection], entryCount_)
        || !percentages_.Parse(sections_[kPercentSection], entryCount_))
        return Damaged(where, "damaged");
    return Status::Ok();
}

Status SegmentReader::VerifyContent() const
{
    for (int section = 0; section < kSegmentSectionCount; ++section)
        if (IndexChecksum(sections_[section]) != checksums_[section])
            return Damaged("of \"" + key_ + "\"", "damaged");
    return Status::Ok();
}

bool SegmentReader::Values(std::uint32_t ordinal, IndexedEntryValues& values, unsigned which) const
{
    if (ordinal >= entryCount_)
        return false;
    if ((which & kNameValue) && !names_.Value(ordinal, values.fileName))
        return false;
    if ((which & kExtensionValue) && !extensions_.Value(ordinal, values.fileExt))
        return false;
    if ((which & kDescriptionValue) && !descriptions_.Value(ordinal, values.description))
        return false;
    if ((which & kTypeValue) && !types_.Value(ordinal, values.fileType))
        return false;
    std::uint64_t code = 0;
    bool escaped = false;
    if ((which & kSizeValue) && (!sizes_.Value(ordinal, code, escaped) || !DecodeSize(code, escaped, values.size)))
        return false;
    if (which & kTimeValue) {
        if (!times_.Value(ordinal, code, escaped))
            return false;
        DecodeTime(code, escaped, values.time);
    }
    return true;
}

bool SegmentReader::ResultFields(std::uint32_t ordinal, RecordCursor& cursor, ResultTexts& fields) const
{
    IndexedEntryValues values;
    std::optional<std::string_view> percentage;
    RecordTexts texts;
    if (!Values(ordinal, values) || !percentages_.Value(ordinal, percentage)
        || !records_.Read(ordinal, values.fileName.value_or(std::string_view()), values.size, values.time, names_, cursor, texts))
        return false;
    const std::string_view none;
    fields = {};
    fields[kFileName] = values.fileName.value_or(none);
    fields[kFullPath] = texts.fullPath;
    fields[kFileSize] = texts.fileSize;
    fields[kFileTime] = texts.fileTime;
    fields[kFileExt] = values.fileExt.value_or(none);
    fields[kFileType] = values.fileType.value_or(none);
    fields[kDescription] = values.description.value_or(none);
    fields[kFileNameLength] = texts.fileNameLength;
    fields[kPathNameLength] = texts.pathNameLength;
    fields[kSizePercentage] = percentage.value_or(none);
    return true;
}

void SegmentReader::PrefetchResult(std::uint32_t ordinal, bool near) const
{
    if (!near) {
        names_.PrefetchPlace(ordinal);
        for (const TextColumn* column : {&extensions_, &descriptions_, &types_, &percentages_})
            column->PrefetchPlace(ordinal);
        sizes_.PrefetchPlace(ordinal);
        times_.PrefetchPlace(ordinal);
        records_.PrefetchPlace(ordinal);
        return;
    }
    names_.PrefetchBytes(ordinal);
    sizes_.PrefetchBytes(ordinal);
    times_.PrefetchBytes(ordinal);
    records_.PrefetchBytes(ordinal);
}

SegmentReader::Lookup SegmentReader::FindPostings(Trigram trigram, PostingList& list) const
{
    const auto* table = reinterpret_cast<const unsigned char*>(trigramTable_.data());
    std::size_t low = 0;
    std::size_t high = trigramTable_.size() / kTrigramRecordBytes;
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        const unsigned char* record = table + middle * kTrigramRecordBytes;
        const std::uint32_t key = LoadU32(record);
        const Trigram found = key & 0xFFFFFF;
        if (found < trigram) {
            low = middle + 1;
        } else if (found > trigram) {
            high = middle;
        } else {
            const std::uint32_t offset = LoadU32(record + 8);
            const std::uint32_t length = LoadU32(record + 12);
            const std::uint32_t encoding = key >> 24;
            if (offset > postings_.size() || length > postings_.size() - offset || encoding > 1)
                return Lookup::Damaged;
            list.bytes = postings_.substr(offset, length);
            list.encoding = static_cast<PostingEncoding>(encoding);
            list.count = LoadU32(record + 4);
            return Lookup::Found;
        }
    }
    return Lookup::Missing;
}

}  // namespace vellumark
