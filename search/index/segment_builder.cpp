#include "search/index/segment_builder.h"

#include "search/index/byte_codec.h"
#include "search/index/new_file_write.h"
#include "search/index/record_column.h"
#include "search/index/segment_columns.h"
#include "search/index/segment_format.h"
#include "search/index/trigram_collector.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>

namespace vellumark {

namespace {

constexpr std::uint64_t kMaxU64 = std::numeric_limits<std::uint64_t>::max();
constexpr std::uint32_t kMaxEntries = std::numeric_limits<std::uint32_t>::max() - 1;

void AddSize(VarintColumnWriter& column, const ParsedSize& size)
{
    // Codes: 0 unreadable, value + 2; the two largest values and sizes above 64 bits after
    // an escape (0 and 1 for those values, 2 for above).
    switch (size.state) {
    case SizeState::Unreadable:
        column.Add(0);
        break;
    case SizeState::AboveRange:
        column.AddEscaped(2);
        break;
    case SizeState::Readable:
        if (size.bytes <= kMaxU64 - 2)
            column.Add(size.bytes + 2);
        else
            column.AddEscaped(size.bytes - (kMaxU64 - 1));
        break;
    }
}

void AddTime(VarintColumnWriter& column, const ParsedTime& time)
{
    // Codes: 0 unreadable, zigzag(whole seconds) + 2; any other number after an escape as
    // its bits.
    if (!time.readable) {
        column.Add(0);
        return;
    }
    constexpr double kLimit = 4611686018427387904.0;  // 2^62
    if (std::trunc(time.seconds) == time.seconds && std::fabs(time.seconds) < kLimit) {
        const auto seconds = static_cast<std::int64_t>(time.seconds);
        const auto zigzag = (static_cast<std::uint64_t>(seconds) << 1) ^ static_cast<std::uint64_t>(seconds >> 63);
        column.Add(zigzag + 2);
        return;
    }
    std::uint64_t bits;
    std::memcpy(&bits, &time.seconds, sizeof bits);
    column.AddEscaped(bits);
}

}  // namespace

struct SegmentBuilder::Columns {
    PlainTextColumnWriter names;
    DictionaryColumnWriter extensions;
    DictionaryColumnWriter descriptions;
    DictionaryColumnWriter types;
    VarintColumnWriter sizes;
    VarintColumnWriter times;
    RecordColumnWriter records;
    DictionaryColumnWriter percentages;
    TrigramCollector trigrams;
    std::array<std::string, kSegmentSectionCount> sections;
    DirectWriteBuffer file;  // the segment file's bytes, gathered
    std::shared_future<Status> fileWrite;  // of `file`, the last segment's

    ~Columns() { AwaitFileWrite(); }

    void AwaitFileWrite()
    {
        if (fileWrite.valid())
            fileWrite.wait();
    }

    void ClearWriters()
    {
        names.Clear();
        extensions.Clear();
        descriptions.Clear();
        types.Clear();
        sizes.Clear();
        times.Clear();
        records.Clear();
        percentages.Clear();
        trigrams.Clear();
    }
};

std::unique_ptr<SegmentBuilder::Columns>& SegmentBuilder::ThreadColumns()
{
    thread_local std::unique_ptr<Columns> columns;
    return columns;
}

void SegmentBuilder::ReleaseThreadBuffers() { ThreadColumns().reset(); }

SegmentBuilder::SegmentBuilder(std::string key, const CatalogIdentity& identity, std::int64_t indexedAtNs)
    : key_(std::move(key)), identity_(identity), indexedAtNs_(indexedAtNs), columns_(std::move(ThreadColumns()))
{
    if (columns_)
        columns_->ClearWriters();
    else
        columns_ = std::make_unique<Columns>();
}

SegmentBuilder::~SegmentBuilder()
{
    if (!ThreadColumns())
        ThreadColumns() = std::move(columns_);
}

void SegmentBuilder::Add(const EntryTexts& entry)
{
    std::array<std::string_view, kColumnKeyCount> values{};
    std::uint32_t present = 0;
    const auto put = [&](int key, std::optional<std::string_view> value) {
        if (value) {
            values[key] = *value;
            present |= 1u << key;
        }
    };
    put(kFileName, entry.fileName);
    put(kFileExt, entry.fileExt);
    put(kDescription, entry.description);
    put(kFileSize, entry.fileSize);
    put(kFileTime, entry.fileTime);
    put(kFileType, entry.fileType);
    put(kFullPath, entry.fullPath);
    put(kFileNameLength, entry.fileNameLength);
    put(kPathNameLength, entry.pathNameLength);
    put(kSizePercentage, entry.sizePercentage);
    Add(values, present);
}

void SegmentBuilder::Add(const std::array<std::string_view, kColumnKeyCount>& values, std::uint32_t present)
{
    if (failed_ || tooLarge_)
        return;
    if (count_ == kMaxEntries) {
        tooLarge_ = true;
        return;
    }
    const auto value = [&](int key) {
        return (present & (1u << key)) ? &values[key] : nullptr;
    };
    const std::uint32_t ordinal = count_++;
    Columns& columns = *columns_;
    const std::string_view* const fileName = value(kFileName);
    columns.names.Add(fileName);
    columns.extensions.Add(value(kFileExt));
    columns.descriptions.Add(value(kDescription));
    columns.types.Add(value(kFileType));
    const ParsedSize size = ParseSizeText(values[kFileSize]);
    const ParsedTime time = ParseTimeText(values[kFileTime]);
    AddSize(columns.sizes, size);
    AddTime(columns.times, time);
    // A missing text reads as empty: the reader's values are empty for missing keys.
    columns.records.Add(values[kFileName],
                        {values[kFullPath], values[kFileSize], values[kFileTime], values[kFileNameLength], values[kPathNameLength]},
                        size, time);
    columns.percentages.Add(value(kSizePercentage));
    if (fileName)
        columns.trigrams.Add(*fileName, ordinal);
}

void SegmentBuilder::Fail(std::string message)
{
    failed_ = true;
    failure_ = std::move(message);
}

Status SegmentBuilder::Gather()
{
    columns_->AwaitFileWrite();
    std::string header;
    if (Status composed = Compose(header); !composed)
        return composed;
    std::vector<std::string_view> parts{header};
    for (const std::string& section : columns_->sections)
        parts.push_back(section);
    columns_->file.Assign(parts);
    return Status::Ok();
}

Status SegmentBuilder::Finish(std::string& bytes)
{
    if (Status gathered = Gather(); !gathered)
        return gathered;
    bytes.assign(columns_->file.View());
    return Status::Ok();
}

Status SegmentBuilder::WriteNew(const std::string& path, std::string_view& written, std::shared_future<Status>& done)
{
    if (Status gathered = Gather(); !gathered)
        return gathered;
    // Later searches read the segment, most of it never: the page cache would take fresh
    // memory for all of it now.
    columns_->fileWrite = done = StartWritingNewFile(path, columns_->file, WriteRoute::Direct);
    written = columns_->file.View();
    return Status::Ok();
}

Status SegmentBuilder::Compose(std::string& header)
{
    Columns& columns = *columns_;
    if (tooLarge_ || columns.names.Overflowed() || columns.extensions.Overflowed() || columns.descriptions.Overflowed()
        || columns.types.Overflowed() || columns.sizes.Overflowed() || columns.times.Overflowed()
        || columns.records.Overflowed() || columns.percentages.Overflowed())
        return Status::Failed("The catalog \"" + key_ + "\" is too large for the search index");

    std::array<std::string, kSegmentSectionCount>& sections = columns.sections;
    for (std::string& section : sections)
        section.clear();
    sections[kKeySection] = key_;
    sections[kFailureSection] = failure_;
    const std::uint32_t entryCount = failed_ ? 0 : count_;
    // A catalog that failed gives no results at all: its entries are left out.
    if (failed_)
        columns.ClearWriters();
    columns.names.Finish(sections[kNameSection]);
    columns.extensions.Finish(sections[kExtensionSection]);
    columns.descriptions.Finish(sections[kDescriptionSection]);
    columns.types.Finish(sections[kTypeSection]);
    columns.sizes.Finish(sections[kSizeSection]);
    columns.times.Finish(sections[kTimeSection]);
    columns.records.Finish(sections[kRecordSection]);
    columns.percentages.Finish(sections[kPercentSection]);
    if (!failed_ && !columns.trigrams.Finish(entryCount, sections[kTrigramSection], sections[kPostingSection]))
        return Status::Failed("The catalog \"" + key_ + "\" is too large for the search index");

    std::uint64_t fileBytes = kSegmentHeaderBytes;
    for (const std::string& section : sections)
        fileBytes += section.size();
    header.clear();
    header.reserve(kSegmentHeaderBytes);
    header.append(kSegmentMagic);
    PutU32(header, kSegmentFormatVersion);
    PutU32(header, static_cast<std::uint32_t>(kSegmentHeaderBytes));
    PutU64(header, fileBytes);
    PutU64(header, identity_.device);
    PutU64(header, identity_.inode);
    PutU64(header, identity_.size);
    PutU64(header, static_cast<std::uint64_t>(identity_.modifiedNs));
    PutU64(header, static_cast<std::uint64_t>(identity_.changedNs));
    PutU64(header, static_cast<std::uint64_t>(indexedAtNs_));
    PutU32(header, entryCount);
    PutU32(header, kSegmentSectionCount);
    std::uint64_t offset = kSegmentHeaderBytes;
    for (const std::string& section : sections) {
        PutU64(header, offset);
        PutU64(header, section.size());
        PutU64(header, IndexChecksum(section));
        offset += section.size();
    }
    PutU64(header, IndexChecksum(header));
    return Status::Ok();
}

}  // namespace vellumark
