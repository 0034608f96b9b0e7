#include "scan/folder_walk.h"

#include "core/path_names.h"
#include "scan/disk_name.h"
#include "scan/mask_list.h"
#include "services/messages.h"
#include "services/text_format.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace vellumark {

namespace {

// One directory to list. Any thread may list it; the thread that builds the tree adopts the
// finished records in directory order, so the tree does not depend on who listed what.
struct DirectoryJob {
    std::string realPath;
    std::string displayPath;
    CatalogTreeNode* node = nullptr;  // set when the parent's records join the tree
    std::vector<EntryRecord> records;
    std::vector<std::pair<std::size_t, std::unique_ptr<DirectoryJob>>> subdirectories;  // record index, job
    double bytes = 0;
    int openError = 0;
    bool done = false;
};

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

    Status Run(CatalogTreeNode* parent);

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
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (isRoot ? 0 : O_NOFOLLOW);
    const int fd = ::open(job.realPath.c_str(), flags);
    if (fd < 0) {
        job.openError = errno;
        return;
    }
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        job.openError = errno;
        ::close(fd);
        return;
    }
    std::string fullPath = job.displayPath;
    if (fullPath.empty() || fullPath.back() != '/')
        fullPath += '/';
    const std::size_t base = fullPath.size();
    const bool masked = !options_.onlyFolders && !options_.maskList.empty();
    char sizeBuffer[24], nameLengthBuffer[24], pathLengthBuffer[24];
    unsigned sinceCancelCheck = 0;

    while (const dirent* entry = ::readdir(dir)) {
        const char* rawName = entry->d_name;
        if (rawName[0] == '.' && (rawName[1] == 0 || (rawName[1] == '.' && rawName[2] == 0)))
            continue;
        if (++sinceCancelCheck == 4096) {
            sinceCancelCheck = 0;
            if (progress_.Cancelled())
                break;
        }
        const std::string_view name(rawName);
        // The kind from the listing lets filtered files be dropped without a stat.
        const bool knownFile = entry->d_type != DT_UNKNOWN && entry->d_type != DT_DIR;
        if (knownFile && (options_.onlyFolders || (masked && !MaskListAccepts(options_.maskList, name))))
            continue;
        struct stat info;
        if (::fstatat(fd, rawName, &info, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        const bool isDirectory = S_ISDIR(info.st_mode);
        if (!isDirectory && (options_.onlyFolders || (masked && !MaskListAccepts(options_.maskList, name))))
            continue;

        fullPath.resize(base);
        fullPath.append(name);
        const std::string fileTime = FormatFileTime(info.st_mtime);
        const auto size = isDirectory ? 0 : static_cast<std::uint64_t>(info.st_size);
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
            auto child = std::make_unique<DirectoryJob>();
            child->realPath = JoinPath(job.realPath, name);
            child->displayPath = fullPath;
            job.subdirectories.emplace_back(job.records.size() - 1, std::move(child));
        }
    }
    ::closedir(dir);
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

Status ParallelWalk::Run(CatalogTreeNode* parent)
{
    DirectoryJob root;
    root.realPath = options_.realPath;
    root.displayPath = options_.displayPath;
    root.node = parent;

    TextPool extensions;
    List(root, extensions, true);
    if (root.openError != 0)
        return Status::Failed(root.realPath + ": " + std::strerror(root.openError));

    unsigned threads = options_.threads ? options_.threads : std::thread::hardware_concurrency();
    threads = std::clamp(threads, 1u, 8u);
    std::vector<std::jthread> workers;
    {
        std::lock_guard lock(mutex_);
        unfinished_ = 1;
        Finish(root);
    }
    for (unsigned i = 1; i < threads; ++i)
        workers.emplace_back([this] { WorkerLoop(); });

    // Adopt finished directories depth first; while the next one is still being listed by a
    // worker, list another pending one instead of waiting.
    std::vector<DirectoryJob*> toAdopt{&root};
    std::unique_lock lock(mutex_);
    while (!toAdopt.empty() && !progress_.Cancelled()) {
        DirectoryJob* next = toAdopt.back();
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
        toAdopt.pop_back();
        Adopt(*next);
        for (auto it = next->subdirectories.rbegin(); it != next->subdirectories.rend(); ++it)
            toAdopt.push_back(it->second.get());
        Report(*next);
        lock.lock();
    }
    stopping_ = true;
    changed_.notify_all();
    lock.unlock();
    workers.clear();
    return progress_.Cancelled() ? Status::Cancelled() : Status::Ok();
}

}  // namespace

Status WalkFolder(CatalogTree& tree, CatalogTreeNode* parent, const WalkOptions& options, Progress& progress)
{
    return ParallelWalk(tree, options, progress).Run(parent);
}

}  // namespace vellumark
