#include "scan/folder_walk.h"

#include "core/path_names.h"
#include "scan/disk_name.h"
#include "scan/mask_list.h"
#include "services/messages.h"
#include "services/text_format.h"
#include "system/file_status.h"
#include "system/folder_listing.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <condition_variable>
#include <cstring>
#include <iterator>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace vellumark {

namespace {

// One directory to list. Any thread may list it; the thread that builds the tree adopts the
// finished records in directory order, so the tree does not depend on who listed what.
struct DirectoryJob {
    // The parent's open folder, which this one is opened in; none for the walk's own folder.
    // The parent's handle stays open only while some of its subdirectories are still to open.
    std::shared_ptr<const FolderHandle> parentFolder;
    // The walk's own folder is opened by this path; any other by its name, the path's last
    // component, inside its parent's handle. The path is shown in the progress and may be
    // longer than the system accepts.
    std::string realPath;
    std::size_t nameOffset = 0;  // where the folder's own name begins in realPath
    std::string displayPath;
    CatalogTreeNode* node = nullptr;  // set when the parent's records join the tree
    std::vector<EntryRecord> records;
    std::vector<std::pair<std::size_t, std::unique_ptr<DirectoryJob>>> subdirectories;  // record index, job
    std::vector<std::string> unreadable;
    double bytes = 0;
    int openError = 0;
    bool done = false;
};

// A folder or entry that is gone by the time it is read was not lost by the walk.
bool IsLoss(int error) { return error != ENOENT; }

std::string_view Digits(std::uint64_t value, char (&buffer)[24])
{
    const auto result = std::to_chars(buffer, buffer + sizeof(buffer), value);
    return {buffer, static_cast<std::size_t>(result.ptr - buffer)};
}

class ParallelWalk {
public:
    ParallelWalk(CatalogTree& tree, const WalkOptions& options, Progress& progress)
        : tree_(tree), options_(options), progress_(progress)
    {
    }

    ScanOutcome Run(CatalogTreeNode* parent);

private:
    void List(DirectoryJob& job, TextPool& extensions, bool isRoot) const;
    void Finish(DirectoryJob& job);  // with the lock held
    void WorkerLoop();
    void Adopt(DirectoryJob& job);
    void Report(const DirectoryJob& job);

    CatalogTree& tree_;
    const WalkOptions& options_;
    Progress& progress_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<DirectoryJob*> pending_;
    std::size_t unfinished_ = 0;
    bool stopping_ = false;
    double bytesSoFar_ = 0;
};

void ParallelWalk::List(DirectoryJob& job, TextPool& extensions, bool isRoot) const
{
    if (progress_.Cancelled())
        return;
    // The walk's own folder may be a link the user chose; nothing below it is followed.
    FolderListing listing(isRoot ? FolderHandle::Open(job.realPath)
                                 : FolderHandle::OpenIn(job.parentFolder->Fd(), job.realPath.c_str() + job.nameOffset));
    job.parentFolder.reset();
    if (!listing.IsOpen()) {
        job.openError = listing.Error();
        if (!isRoot && IsLoss(job.openError))
            job.unreadable.push_back(job.displayPath);
        return;
    }
    std::string fullPath = job.displayPath;
    if (fullPath.empty() || fullPath.back() != '/')
        fullPath += '/';
    const std::size_t base = fullPath.size();
    const bool masked = !options_.onlyFolders && !options_.maskList.empty();
    char sizeBuffer[24], nameLengthBuffer[24], pathLengthBuffer[24];
    unsigned sinceCancelCheck = 0;
    std::shared_ptr<const FolderHandle> folder;  // shared by the subdirectories, made at the first

    while (const FolderEntry* entry = listing.Next()) {
        if (++sinceCancelCheck == 4096) {
            sinceCancelCheck = 0;
            if (progress_.Cancelled())
                break;
        }
        const std::string_view name = entry->Name();
        // The kind from the listing lets filtered files be dropped without a stat.
        const bool knownFile = entry->kind != FolderEntry::Kind::Unknown && entry->kind != FolderEntry::Kind::Directory;
        if (knownFile && (options_.onlyFolders || (masked && !MaskListAccepts(options_.maskList, name))))
            continue;
        fullPath.resize(base);
        fullPath.append(name);
        const std::optional<FileStatus> status = StatusIn(listing.Fd(), entry->name, FollowLinks::No);
        if (!status) {
            if (IsLoss(errno))
                job.unreadable.push_back(fullPath);
            continue;
        }
        const bool isDirectory = status->kind == FileKind::Directory;
        if (!isDirectory && (options_.onlyFolders || (masked && !MaskListAccepts(options_.maskList, name))))
            continue;

        const std::string fileTime = FormatFileTime(static_cast<std::time_t>(status->modified.seconds));
        const std::uint64_t size = isDirectory ? 0 : status->size;
        EntryRecord::Fields fields{};
        fields[kFileName] = name;
        fields[kFullPath] = fullPath;
        fields[kFileSize] = Digits(size, sizeBuffer);
        fields[kFileTime] = fileTime;
        fields[kFileNameLength] = Digits(name.size(), nameLengthBuffer);
        fields[kPathNameLength] = Digits(fullPath.size(), pathLengthBuffer);
        EntryRecord& record = job.records.emplace_back();
        record.Assign(fields, isDirectory ? SharedText() : extensions.Get(ExtensionOf(name)),
                      isDirectory ? SharedText::Directory() : SharedText::File(), options_.diskName);
        job.bytes += static_cast<double>(size);
        if (isDirectory) {
            if (!folder)
                folder = std::make_shared<const FolderHandle>(listing.DuplicateHandle());
            auto child = std::make_unique<DirectoryJob>();
            child->parentFolder = folder;
            child->realPath = JoinPath(job.realPath, name);
            child->nameOffset = child->realPath.size() - name.size();
            child->displayPath = fullPath;
            job.subdirectories.emplace_back(job.records.size() - 1, std::move(child));
        }
    }
    if (listing.Error() != 0 && IsLoss(listing.Error()))
        job.unreadable.push_back(job.displayPath);
}

void ParallelWalk::Finish(DirectoryJob& job)
{
    // First subdirectory on top, so that listing runs roughly in the order the tree is built.
    for (auto it = job.subdirectories.rbegin(); it != job.subdirectories.rend(); ++it)
        pending_.push_back(it->second.get());
    unfinished_ += job.subdirectories.size();
    --unfinished_;
    job.done = true;
    changed_.notify_all();
}

void ParallelWalk::WorkerLoop()
{
    TextPool extensions;
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return stopping_ || !pending_.empty() || unfinished_ == 0; });
        if (stopping_ || pending_.empty())
            return;
        DirectoryJob* job = pending_.back();
        pending_.pop_back();
        lock.unlock();
        List(*job, extensions, false);
        lock.lock();
        Finish(*job);
    }
}

void ParallelWalk::Adopt(DirectoryJob& job)
{
    auto subdirectory = job.subdirectories.begin();
    for (std::size_t index = 0; index < job.records.size(); ++index) {
        CatalogTreeNode* node = tree_.Append(job.node, std::move(job.records[index]));
        if (subdirectory != job.subdirectories.end() && subdirectory->first == index) {
            subdirectory->second->node = node;
            ++subdirectory;
        }
    }
    std::vector<EntryRecord>().swap(job.records);
    bytesSoFar_ += job.bytes;
}

void ParallelWalk::Report(const DirectoryJob& job)
{
    if (!progress_.Due())
        return;
    std::string text = messages::kScanProgress;
    const auto replace = [&](std::string_view marker, const std::string& value) {
        if (const auto at = text.find(marker); at != std::string::npos)
            text.replace(at, marker.size(), value);
    };
    replace("%1", std::to_string(tree_.NodeCount()));
    replace("%2", FormatKilobytesText(FormatWholeNumber(bytesSoFar_)));
    replace("%3", job.realPath);
    progress_.SetMessage(text);
}

ScanOutcome ParallelWalk::Run(CatalogTreeNode* parent)
{
    auto root = std::make_unique<DirectoryJob>();
    root->realPath = options_.realPath;
    root->displayPath = options_.displayPath;
    root->node = parent;

    TextPool extensions;
    List(*root, extensions, true);
    if (root->openError != 0)
        return {Status::Failed(root->realPath + ": " + std::strerror(root->openError)), {}};

    unsigned threads = options_.threads ? options_.threads : std::thread::hardware_concurrency();
    threads = std::clamp(threads, 1u, 8u);
    std::vector<std::jthread> workers;
    {
        std::lock_guard lock(mutex_);
        unfinished_ = 1;
        Finish(*root);
    }
    for (unsigned i = 1; i < threads; ++i)
        workers.emplace_back([this] { WorkerLoop(); });

    // Adopt finished directories depth first; while the next one is still being listed by a
    // worker, list another pending one instead of waiting. An adopted job hands its
    // subdirectories over and goes, so no job outlives its adoption and none is freed by a
    // chain of destructors as deep as the tree.
    ScanOutcome outcome;
    std::vector<std::unique_ptr<DirectoryJob>> toAdopt;
    toAdopt.push_back(std::move(root));
    std::unique_lock lock(mutex_);
    while (!toAdopt.empty() && !progress_.Cancelled()) {
        DirectoryJob* next = toAdopt.back().get();
        if (!next->done) {
            if (!pending_.empty()) {
                DirectoryJob* job = pending_.back();
                pending_.pop_back();
                lock.unlock();
                List(*job, extensions, false);
                lock.lock();
                Finish(*job);
            } else {
                changed_.wait(lock, [&] { return next->done || !pending_.empty(); });
            }
            continue;
        }
        lock.unlock();
        {
            const std::unique_ptr<DirectoryJob> job = std::move(toAdopt.back());
            toAdopt.pop_back();
            Adopt(*job);
            std::move(job->unreadable.begin(), job->unreadable.end(), std::back_inserter(outcome.unreadable));
            for (auto it = job->subdirectories.rbegin(); it != job->subdirectories.rend(); ++it)
                toAdopt.push_back(std::move(it->second));
            Report(*job);
        }
        lock.lock();
    }
    stopping_ = true;
    changed_.notify_all();
    lock.unlock();
    workers.clear();
    // What a cancel left unadopted goes the same way, one job at a time.
    while (!toAdopt.empty()) {
        const std::unique_ptr<DirectoryJob> job = std::move(toAdopt.back());
        toAdopt.pop_back();
        for (auto& subdirectory : job->subdirectories)
            toAdopt.push_back(std::move(subdirectory.second));
    }
    outcome.status = progress_.Cancelled() ? Status::Cancelled() : Status::Ok();
    return outcome;
}

}  // namespace

ScanOutcome WalkFolder(CatalogTree& tree, CatalogTreeNode* parent, const WalkOptions& options, Progress& progress)
{
    return ParallelWalk(tree, options, progress).Run(parent);
}

}  // namespace vellumark
