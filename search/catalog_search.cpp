#include "search/catalog_search.h"

#include "core/column_keys.h"
#include "core/path_names.h"
#include "search/entry_match.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <dirent.h>
#include <exception>
#include <mutex>
#include <sys/stat.h>
#include <thread>

namespace vellumark {

namespace {

std::string JoinPath(const std::string& folder, const std::string& name)
{
    if (!folder.empty() && folder.back() == '/')
        return folder + name;
    return folder + '/' + name;
}

std::string CannotRead(const std::string& path, const char* why)
{
    return "Cannot read \"" + path + "\": " + why;
}

struct ListedEntry {
    std::string name;
    unsigned char type;  // d_type: DT_DIR, DT_REG, DT_LNK, DT_UNKNOWN, ...
};

// What reading one catalog file gave.
struct CatalogRead {
    std::vector<EntryRecord> found;
    std::string failure;  // why the file was skipped; empty when it was not
    bool done = false;
};

// One search run. The group walk first lists the catalog files in walk order (a listing
// costs little next to reading the catalogs); the files are then read by a few threads at
// once, each file by one thread, and handed on strictly in walk order by the calling thread,
// which alone talks to the progress and the sink.
class CatalogSearch {
public:
    CatalogSearch(const SearchRequest& request, Progress& progress, SearchSink& sink)
        : request_(request), patterns_(request), progress_(progress), sink_(sink)
    {
    }

    SearchOutcome SearchCatalogs();

private:
    enum class CatalogEnd { Finished, Failed, Cancelled };

    void SearchGroupFolder(const std::string& folder);
    // Progress is null on the helper threads: they only read the cancel flag.
    void SearchCatalogFile(const std::string& path, CatalogRead& read, Progress* messages) const;
    CatalogEnd SearchChildren(XmlPullReader& reader, const SharedText& catalogName, std::vector<EntryRecord>& found,
                              Progress* messages) const;
    bool ListFolder(const std::string& folder, std::vector<ListedEntry>& entries);
    void ReadCatalogFiles();
    void Deliver(std::size_t index);
    void Skip(const std::string& path, std::string reason) { outcome_.skipped.push_back({path, std::move(reason)}); }

    const SearchRequest& request_;
    const SearchPatterns patterns_;
    Progress& progress_;
    SearchSink& sink_;
    SearchOutcome outcome_;
    bool cancelled_ = false;

    std::vector<std::string> files_;
    std::vector<CatalogRead> reads_;
    std::mutex mutex_;
    std::condition_variable readDone_;
};

SearchOutcome CatalogSearch::SearchCatalogs()
{
    if (request_.scopePath.empty())
        return outcome_;
    WaitScope wait(progress_, request_.scopePath, true);
    if (request_.scopeIsGroup)
        SearchGroupFolder(request_.scopePath);
    else
        files_.push_back(request_.scopePath);
    if (!cancelled_)
        ReadCatalogFiles();
    if (cancelled_)
        outcome_.status = Status::Cancelled();
    return std::move(outcome_);
}

void CatalogSearch::ReadCatalogFiles()
{
    if (files_.empty())
        return;
    reads_.resize(files_.size());
    std::atomic<std::size_t> next{0};
    std::size_t delivered = 0;
    const auto deliverReady = [&] {
        std::unique_lock lock(mutex_);
        while (delivered < reads_.size() && reads_[delivered].done) {
            lock.unlock();
            Deliver(delivered++);
            lock.lock();
        }
    };
    const auto readFiles = [&](Progress* messages) {
        for (std::size_t index = next++; index < files_.size() && !progress_.Cancelled(); index = next++) {
            CatalogRead read;
            SearchCatalogFile(files_[index], read, messages);
            {
                std::lock_guard lock(mutex_);
                reads_[index] = std::move(read);
                reads_[index].done = true;
            }
            readDone_.notify_all();
            if (messages)
                deliverReady();
        }
    };

    const std::size_t threads = std::min<std::size_t>({std::max(1u, std::thread::hardware_concurrency()), 4, files_.size()});
    std::vector<std::exception_ptr> failures(threads);
    std::vector<std::thread> helpers;
    for (std::size_t helper = 1; helper < threads; ++helper)
        helpers.emplace_back([&, helper] {
            try {
                readFiles(nullptr);
            } catch (...) {
                failures[helper] = std::current_exception();
                progress_.Cancel();  // the calling thread stops waiting and rethrows
            }
        });
    try {
        readFiles(&progress_);
        std::unique_lock lock(mutex_);
        while (delivered < reads_.size() && !progress_.Cancelled()) {
            // The cancel flag is set without a notification; look at it now and then.
            readDone_.wait_for(lock, std::chrono::milliseconds(100), [&] { return reads_[delivered].done; });
            lock.unlock();
            deliverReady();
            lock.lock();
        }
    } catch (...) {
        failures[0] = std::current_exception();
        progress_.Cancel();
    }
    for (std::thread& helper : helpers)
        helper.join();
    for (const std::exception_ptr& failure : failures)
        if (failure)
            std::rethrow_exception(failure);
    if (delivered < reads_.size())
        cancelled_ = true;
}

// Hands one file's outcome on, in walk order. Once the user has cancelled, nothing more is
// handed on, even from files another thread has already read.
void CatalogSearch::Deliver(std::size_t index)
{
    if (cancelled_ || progress_.Cancelled()) {
        cancelled_ = true;
        return;
    }
    CatalogRead& read = reads_[index];
    if (!read.failure.empty())
        Skip(files_[index], std::move(read.failure));
    if (!read.found.empty()) {
        outcome_.resultCount += read.found.size();
        sink_.Add(std::move(read.found));
    }
    read = CatalogRead{};
    read.done = true;
}

// The folder is listed whole and closed before anything in it is searched, so a deep group
// tree holds one open folder at a time, not one per level.
bool CatalogSearch::ListFolder(const std::string& folder, std::vector<ListedEntry>& entries)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) {
        // A folder that vanished is as good as an empty one; one that cannot be read leaves
        // its catalogs unsearched, which the outcome must tell.
        if (errno != ENOENT)
            Skip(folder, CannotRead(folder, std::strerror(errno)));
        return false;
    }
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..")
            entries.push_back({std::string(name), entry->d_type});
        errno = 0;
    }
    const int readError = errno;
    ::closedir(dir);
    if (readError != 0) {
        Skip(folder, CannotRead(folder, std::strerror(readError)));
        entries.clear();
        return false;
    }
    return true;
}

void CatalogSearch::SearchGroupFolder(const std::string& folder)
{
    std::vector<ListedEntry> entries;
    if (!ListFolder(folder, entries))
        return;
    for (const ListedEntry& entry : entries) {
        std::string path = JoinPath(folder, entry.name);
        progress_.SetMessage(path);
        if (progress_.Cancelled()) {
            cancelled_ = true;
            return;
        }
        unsigned char type = entry.type;
        if (type == DT_UNKNOWN) {
            struct stat status {};
            if (::lstat(path.c_str(), &status) != 0)
                continue;  // gone since the listing
            type = S_ISDIR(status.st_mode) ? DT_DIR : S_ISLNK(status.st_mode) ? DT_LNK : DT_REG;
        }
        if (type == DT_DIR) {
            SearchGroupFolder(path);
            if (cancelled_)
                return;
            continue;
        }
        if (type == DT_LNK) {
            // A link to a folder is never entered: link cycles would make the walk endless
            // and linked folders would be searched twice. A link to a file is read as the file.
            struct stat target {};
            if (::stat(path.c_str(), &target) == 0 && S_ISDIR(target.st_mode))
                continue;
        }
        files_.push_back(std::move(path));
    }
}

void CatalogSearch::SearchCatalogFile(const std::string& path, CatalogRead& read, Progress* messages) const
{
    if (messages)
        messages->SetMessage(path);
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        if (errno != ENOENT && errno != ENOTDIR)
            read.failure = CannotRead(path, std::strerror(errno));
        return;
    }
    // Opening a pipe or a device would block or read without end; only plain files can be catalogs.
    if (!S_ISREG(status.st_mode)) {
        read.failure = CannotRead(path, "not a regular file");
        return;
    }
    XmlPullReader reader;
    if (Status opened = reader.Open(path); !opened) {
        read.failure = opened.message();
        return;
    }
    const SharedText catalogName(CatalogNameOfFile(path));
    if (SearchChildren(reader, catalogName, read.found, messages) == CatalogEnd::Failed) {
        // Matches taken before the fault are dropped with the file: a catalog counts whole
        // or not at all.
        read.failure = reader.Error().message();
        read.found.clear();
    }
}

// Walks every element below the document element in document order, each before its
// descendants, without recursion: a file may nest as deep as it likes.
CatalogSearch::CatalogEnd CatalogSearch::SearchChildren(XmlPullReader& reader, const SharedText& catalogName,
                                                       std::vector<EntryRecord>& found, Progress* messages) const
{
    for (;;) {
        switch (reader.Next()) {
        case XmlPullReader::Event::Failed:
            return CatalogEnd::Failed;
        case XmlPullReader::Event::Finished:
            return CatalogEnd::Finished;
        case XmlPullReader::Event::EndElement:
            break;
        case XmlPullReader::Event::StartElement: {
            if (reader.Depth() == 0)
                break;  // the document element is no entry
            if (progress_.Cancelled())
                return CatalogEnd::Cancelled;
            const SearchedEntry entry = ReadSearchedEntry(reader);
            if (messages)
                messages->SetMessage(entry.fileName);
            if (EntryMatches(patterns_, reader, entry))
                AddSearchResult(reader, catalogName, found);
            break;
        }
        }
    }
}

}  // namespace

void CatalogTreeSink::Add(std::vector<EntryRecord>&& batch)
{
    for (EntryRecord& record : batch)
        tree_.Append(nullptr, std::move(record));
    batch.clear();
}

SearchOutcome SearchCatalogs(const SearchRequest& request, Progress& progress, SearchSink& sink)
{
    return CatalogSearch(request, progress, sink).SearchCatalogs();
}

SearchOutcome SearchCatalogs(const SearchRequest& request, Progress& progress, CatalogTree& results)
{
    CatalogTreeSink sink(results);
    return SearchCatalogs(request, progress, sink);
}

void AddSearchResult(XmlPullReader& reader, const SharedText& catalogName, std::vector<EntryRecord>& results)
{
    // Decoded values are copied out one by one: a view the reader hands out may not outlive
    // its next decoding.
    std::string values;
    std::array<std::size_t, kColumnKeyCount> offsets{};
    std::array<std::size_t, kColumnKeyCount> sizes{};
    std::array<bool, kColumnKeyCount> present{};
    for (const XmlPullReader::Attribute& attribute : reader.Attributes()) {
        const int key = FindColumnKey(attribute.name);
        if (key < 0 || present[key])
            continue;
        present[key] = true;
        const std::string_view value = reader.Value(attribute);
        offsets[key] = values.size();
        sizes[key] = value.size();
        values += value;
    }
    EntryRecord::Fields fields{};
    for (int key = 0; key < kColumnKeyCount; ++key)
        fields[key] = std::string_view(values).substr(offsets[key], sizes[key]);
    const std::string_view kind = fields[kFileType];
    SharedText kindText = kind == kKindDirectory ? SharedText::Directory()
                        : kind == kKindFile      ? SharedText::File()
                        : kind.empty()           ? SharedText()
                                                 : SharedText(kind);
    SharedText extension = fields[kFileExt].empty() ? SharedText() : SharedText(fields[kFileExt]);
    results.emplace_back().Assign(fields, std::move(extension), std::move(kindText), catalogName);
}

}  // namespace vellumark
