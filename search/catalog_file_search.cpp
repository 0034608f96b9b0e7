#include "search/catalog_file_search.h"

#include "core/catalog_reader.h"
#include "core/path_names.h"
#include "search/catalog_search.h"
#include "search/index/segment_builder.h"

#include <array>
#include <cerrno>
#include <cstring>

namespace vellumark {

namespace {

std::string CannotRead(const std::string& path, const char* why) { return "Cannot read \"" + path + "\": " + why; }

std::optional<std::string_view> ValueIfPresent(const CatalogEntry& entry, int key)
{
    return entry.Has(key) ? std::optional(entry.Value(key)) : std::nullopt;
}

}  // namespace

bool CatalogFileReadable(const std::string& path, const std::optional<FileStatus>& status, int error, std::string& failure)
{
    if (!status) {
        if (error != ENOENT && error != ENOTDIR)
            failure = CannotRead(path, std::strerror(error));
        return false;
    }
    // Opening a pipe or a device would block or read without end; only plain files can be catalogs.
    if (status->kind != FileKind::RegularFile) {
        failure = CannotRead(path, "not a regular file");
        return false;
    }
    return true;
}

void CatalogRead::Keep(const EntryRecord::Fields& fields, const SharedText& catalogName, TextPool& extensions)
{
    if (!lineFormat) {
        AddSearchResult(fields, catalogName, found, &extensions);
        return;
    }
    EntryRecord::Fields line = fields;
    line[kDiskName] = catalogName.View();
    lineFormat->Append(foundLines, line);
    ++foundLineCount;
}

void CatalogRead::DropFound()
{
    found.clear();
    foundLines.clear();
    foundLineCount = 0;
}

void CatalogRead::Restart()
{
    CatalogRead again;
    again.lineFormat = lineFormat;
    again.foundLines = std::move(foundLines);
    again.foundLines.clear();
    *this = std::move(again);
}

std::string RecordedFailure(const std::string& path, std::string_view stored)
{
    return "Cannot read \"" + path + "\"" + std::string(stored);
}

Status ReadCatalogFile(const std::string& path, const SearchConditions* conditions, const Progress& cancel,
                       Progress* messages, CatalogRead& read, SegmentBuilder* builder)
{
    // Made at the first match, after the reader has its window: a small block taken before it
    // would sit in the space the previous file's window left, and each reading thread would
    // hold one window more at its peak.
    SharedText catalogName;
    TextPool extensions;
    EntryValues values;
    std::array<std::string_view, kColumnKeyCount> all;
    const Status status = ReadCatalogEntries(path, [&](const CatalogEntry& entry) {
        if (cancel.Cancelled())
            return false;
        ++read.entries;
        if (messages && messages->Due())
            messages->SetMessage(entry.Value(kFileName));
        if (builder) {
            // The index keeps every value: each key is found in one pass over the attributes and
            // each value decoded once, for the index and the conditions alike.
            const std::uint32_t present = entry.AllValues(all);
            builder->Add(all, present);
            if (conditions)
                for (const int key : {kFileName, kFileExt, kDescription, kFileSize, kFileTime, kFileType})
                    values.fields[key] = (present & (1u << key)) ? std::optional(all[key]) : std::nullopt;
        } else if (conditions) {
            // Only the fields the conditions look at are decoded.
            for (const int key : conditions->Fields())
                values.fields[key] = ValueIfPresent(entry, key);
        }
        if (conditions && EntryMatches(*conditions, values)) {
            if (catalogName.Empty())
                catalogName = SharedText(CatalogNameOfFile(path));
            if (!builder)
                entry.AllValues(all);  // with a builder they are taken already
            read.Keep(all, catalogName, extensions);
        }
        return true;
    });
    read.interrupted = status.code() == Status::Code::Cancelled;
    if (status.code() == Status::Code::Failed) {
        // Matches taken before the fault are dropped with the file: a catalog counts whole
        // or not at all.
        read.failure = status.message();
        read.DropFound();
    }
    return status;
}

}  // namespace vellumark
