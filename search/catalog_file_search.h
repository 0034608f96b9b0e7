#pragma once

#include "core/entry_record.h"
#include "search/entry_match.h"
#include "services/progress.h"
#include "services/status.h"
#include "system/file_status.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vellumark {

class SegmentBuilder;
class SharedText;
class TextPool;

// A search's results written as lines of text by the threads that find them, for a sink that
// shows them so: no record is made of a result that is only written out. Called on several
// threads at once.
class ResultLineFormat {
public:
    virtual ~ResultLineFormat() = default;
    // Appends the result's line; its DiskName is the catalog's name.
    virtual void Append(std::string& lines, const EntryRecord::Fields& fields) const = 0;
};

// What searching one catalog file gave.
struct CatalogRead {
    // The matches: records, or with a line format, their lines.
    std::vector<EntryRecord> found;
    const ResultLineFormat* lineFormat = nullptr;
    std::string foundLines;
    std::size_t foundLineCount = 0;
    std::string failure;  // why the file was skipped; empty when it was not
    std::size_t entries = 0;  // entries read
    bool interrupted = false;  // the user cancelled while the file was read
    bool done = false;

    // Keeps one match (DiskName not looked at: the catalog's name is given).
    void Keep(const EntryRecord::Fields& fields, const SharedText& catalogName, TextPool& extensions);
    std::size_t FoundCount() const { return lineFormat ? foundLineCount : found.size(); }
    void DropFound();
    // Starts the file again from nothing, in the same form (keeping the line buffer's memory).
    void Restart();
};

// The file's status as the search sees it before reading: a catalog to read (true), or
// nothing to read, with the reason in `failure` when the file counts as skipped (a file that
// is not there is no fault). `status` is what one stat of the path gave, with `error` its errno
// when it gave nothing.
bool CatalogFileReadable(const std::string& path, const std::optional<FileStatus>& status, int error, std::string& failure);

// The failure a segment recorded for the catalog at `path` (the reader's message without the
// path), worded as reading the file words it.
std::string RecordedFailure(const std::string& path, std::string_view stored);

// Reads one catalog file to its end and keeps the entries that match the conditions (none
// without conditions): a file that is no readable catalog gives its failure (the reader's
// Failed status) and no results. With a builder, every entry also goes to it. Stops early
// once `cancel` is cancelled (Cancelled, no failure). `messages` (may be null) shows entry
// names now and then.
Status ReadCatalogFile(const std::string& path, const SearchConditions* conditions, const Progress& cancel,
                       Progress* messages, CatalogRead& read, SegmentBuilder* builder = nullptr);

}  // namespace vellumark
