#include "scan/catalog_update.h"

#include "core/catalog_file.h"
#include "core/path_names.h"
#include "scan/folder_scanner.h"
#include "scan/size_rollup.h"
#include "services/messages.h"
#include "services/text_format.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <thread>
#include <unordered_map>
#include <unordered_set>

namespace vellumark {

namespace {

using Node = CatalogTreeNode;

enum class FolderState { Listable, Unlistable, Missing };

// Whether a folder can be listed now. The walk gives no children for a folder it cannot open,
// so a folder that held entries and comes back empty is looked at once more here. Listing it
// includes reading the details of an entry (a folder that may be read but not searched gives
// names and nothing else).
FolderState ProbeFolder(const std::string& path)
{
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return FolderState::Missing;
        // The walk reaches any depth through open folders; a path too long to name is one it listed.
        return errno == ENAMETOOLONG ? FolderState::Listable : FolderState::Unlistable;
    }
    if (!S_ISDIR(info.st_mode))
        return FolderState::Missing;
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return FolderState::Unlistable;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return FolderState::Unlistable;
    }
    FolderState state = FolderState::Listable;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (!entry) {
            if (errno != 0)
                state = FolderState::Unlistable;
            break;
        }
        const std::string_view name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        struct stat details {};
        if (::fstatat(fd, entry->d_name, &details, AT_SYMLINK_NOFOLLOW) != 0 && errno == EACCES)
            state = FolderState::Unlistable;
        break;
    }
    ::closedir(dir);
    return state;
}

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// The separator a catalog puts between the parts of its FullPaths: the one a child's path
// holds after the root's path, else "\" for a root path written with "\" and no "/" (a catalog
// written on Windows), else "/".
char SeparatorOf(const CatalogTree& catalog)
{
    const Node* root = catalog.First();
    if (!root)
        return '/';
    const std::string_view rootPath = root->record.Field(kFullPath);
    if (root->HasChildren()) {
        const std::string_view childPath = root->Child(0)->record.Field(kFullPath);
        if (!rootPath.empty() && !IsSeparator(rootPath.back()) && childPath.size() > rootPath.size()
            && childPath.substr(0, rootPath.size()) == rootPath && IsSeparator(childPath[rootPath.size()]))
            return childPath[rootPath.size()];
    }
    const bool windows = rootPath.find('\\') != std::string_view::npos && rootPath.find('/') == std::string_view::npos;
    return windows ? '\\' : '/';
}

// The child's FullPath as a rename builds it: exactly one separator after the parent's path.
void JoinDisplayPath(std::string& out, std::string_view parentPath, std::string_view name, char separator)
{
    out.assign(parentPath);
    if (!out.empty() && !IsSeparator(out.back()))
        out += separator;
    out += name;
}

bool SameTrees(const CatalogTree& a, const CatalogTree& b)
{
    if (a.NodeCount() != b.NodeCount() || a.TopLevelCount() != b.TopLevelCount())
        return false;
    // Pre-order and the number of children of each entry fix the shape.
    const std::vector<Node*> left = a.PreOrder();
    const std::vector<Node*> right = b.PreOrder();
    for (std::size_t i = 0; i < left.size(); ++i) {
        if (left[i]->ChildCount() != right[i]->ChildCount() || left[i]->record.AllFields() != right[i]->record.AllFields())
            return false;
    }
    return true;
}

// Copies everything below the source under the target, records as they are.
void CopyChildren(CatalogTree& tree, Node* target, const Node& source)
{
    std::vector<std::pair<const Node*, Node*>> pending{{&source, target}};
    while (!pending.empty()) {
        const auto [from, to] = pending.back();
        pending.pop_back();
        for (int row = 0; row < from->ChildCount(); ++row) {
            const Node* child = from->Child(row);
            pending.emplace_back(child, tree.Append(to, child->record));
        }
    }
}

// One plan: pairs the catalog read with the scan, finds the folders that could not be read,
// builds the new catalog and counts.
class UpdatePlanner {
public:
    UpdatePlanner(const CatalogTree& old, const CatalogTree& scanned, const UpdateRequest& request, bool onlyFolders,
                  UpdatePlan& plan)
        : old_(old), scanned_(scanned), request_(request), onlyFolders_(onlyFolders), plan_(plan)
    {
    }

    void Run()
    {
        PairEntries();
        FindUnreadableFolders();
        BuildTree();
        if (!unreadable_.empty())
            KeepUnreadableEntries();
        Tally();
        plan_.sameAsCatalog = SameTrees(old_, plan_.tree);
    }

private:
    struct Candidate {
        const Node* oldEntry;
        const Node* newEntry;
    };

    void PairEntries();
    void FindUnreadableFolders();
    void BuildTree();
    void KeepUnreadableEntries();
    void Tally();

    const CatalogTree& old_;
    const CatalogTree& scanned_;
    const UpdateRequest& request_;
    const bool onlyFolders_;
    UpdatePlan& plan_;

    std::unordered_map<const Node*, const Node*> oldOfNew_;
    std::vector<Candidate> candidates_;   // folders that held entries and came back without any
    std::vector<Candidate> unreadable_;   // those of them that cannot be listed now
    std::unordered_set<const Node*> kept_;  // old entries carried over as they were
    std::size_t oldEntries_ = 0;
    std::size_t paired_ = 0;
};

void UpdatePlanner::PairEntries()
{
    oldOfNew_.reserve(scanned_.NodeCount());
    ForEachEntryPair(old_, scanned_, [&](const Node* oldEntry, const Node* newEntry, std::string_view path) {
        if (oldEntry)
            ++oldEntries_;
        if (oldEntry && newEntry) {
            oldOfNew_.emplace(newEntry, oldEntry);
            ++paired_;
            if (EntryChanged(oldEntry->record, newEntry->record, false))
                plan_.differences.push_back({EntryChange::Changed, std::string(path), oldEntry, newEntry});
        } else {
            plan_.differences.push_back(
                {oldEntry ? EntryChange::Removed : EntryChange::Added, std::string(path), oldEntry, newEntry});
        }
        if (oldEntry && oldEntry->HasChildren() && (!newEntry || (newEntry->record.IsDirectory() && !newEntry->HasChildren())))
            candidates_.push_back({oldEntry, newEntry});
    });
}

void UpdatePlanner::FindUnreadableFolders()
{
    // Candidates come in pre-order; below a folder that is gone or unreadable nothing more is
    // looked at.
    std::unordered_set<const Node*> settled;
    for (const Candidate& candidate : candidates_) {
        if (settled.count(candidate.oldEntry->Parent())) {
            settled.insert(candidate.oldEntry);
            continue;
        }
        switch (ProbeFolder(JoinPath(request_.folderPath, RelativePathOf(*candidate.oldEntry)))) {
        case FolderState::Unlistable:
            unreadable_.push_back(candidate);
            settled.insert(candidate.oldEntry);
            break;
        case FolderState::Missing:
            settled.insert(candidate.oldEntry);
            break;
        case FolderState::Listable:
            break;
        }
    }
}

void UpdatePlanner::BuildTree()
{
    CatalogTree& tree = plan_.tree;
    const Node* oldRoot = old_.First();
    const char separator = SeparatorOf(old_);
    std::vector<std::pair<Node*, std::string>> parents;  // merged entry and its FullPath, per depth
    std::string fullPath;

    const auto addRoot = [&](EntryRecord record) {
        if (oldRoot) {
            const EntryRecord& kept = oldRoot->record;
            record.SetField(kFileName, kept.Field(kFileName));
            record.SetField(kDescription, kept.Field(kDescription));
            record.SetField(kFileNameLength, kept.IsEmpty(kFileNameLength) ? "" : std::to_string(kept.Field(kFileName).size()));
            record.SetField(kPathNameLength, kept.IsEmpty(kPathNameLength) ? "" : std::to_string(kept.Field(kFileName).size()));
        }
        record.SetField(kFullPath, record.Field(kFileName));
        Node* root = tree.Append(nullptr, std::move(record));
        parents.emplace_back(root, std::string(root->record.Field(kFullPath)));
    };

    scanned_.Walk(
        [&](const Node& node) {
            if (!node.Parent()) {
                addRoot(node.record);
                return;
            }
            EntryRecord record = node.record;
            const auto old = oldOfNew_.find(&node);
            if (old != oldOfNew_.end() && !old->second->record.IsEmpty(kDescription))
                record.SetField(kDescription, old->second->record.Field(kDescription));
            JoinDisplayPath(fullPath, parents.back().second, record.Field(kFileName), separator);
            if (record.Field(kFullPath) != fullPath) {
                record.SetField(kFullPath, fullPath);
                record.SetField(kPathNameLength, std::to_string(fullPath.size()));
            }
            Node* added = tree.Append(parents.back().first, std::move(record));
            parents.emplace_back(added, fullPath);
        },
        [&](const Node&) { parents.pop_back(); });

    if (tree.Empty() && oldRoot) {
        // Masks that match no file leave no scan at all; the medium still has its root.
        EntryRecord record;
        record.SetField(kFileType, kKindDirectory);
        record.SetField(kDiskName, oldRoot->record.Field(kDiskName));
        if (!onlyFolders_) {
            record.SetField(kFileSize, "0");
            record.SetField(kSizePercentage, "100");
        }
        addRoot(std::move(record));
    }
}

void UpdatePlanner::KeepUnreadableEntries()
{
    CatalogTree& tree = plan_.tree;
    // Entries of the new catalog in the scan's pre-order, before anything is added.
    std::unordered_map<const Node*, Node*> mergedOfScanned;
    {
        const std::vector<Node*> scanned = scanned_.PreOrder();
        const std::vector<Node*> merged = tree.PreOrder();
        for (std::size_t i = 0; i < scanned.size(); ++i)
            mergedOfScanned.emplace(scanned[i], merged[i]);
    }
    std::unordered_map<const Node*, const Node*> newOfOld;
    for (const auto& [newEntry, oldEntry] : oldOfNew_)
        newOfOld.emplace(oldEntry, newEntry);

    // The new catalog's entry for an old one: its pair, or (for a folder the masks pruned away
    // with its unreadable contents) a copy of the old entry, made along with its missing parents.
    std::unordered_map<const Node*, Node*> mergedOfOld;
    const auto mergedFor = [&](const Node* oldEntry) {
        std::vector<const Node*> missing;
        Node* anchor = nullptr;
        for (const Node* current = oldEntry;; current = current->Parent()) {
            if (!current->Parent()) {
                anchor = tree.First();
                break;
            }
            if (const auto made = mergedOfOld.find(current); made != mergedOfOld.end()) {
                anchor = made->second;
                break;
            }
            if (const auto pair = newOfOld.find(current); pair != newOfOld.end()) {
                anchor = mergedOfScanned.at(pair->second);
                break;
            }
            missing.push_back(current);
            kept_.insert(current);
        }
        for (auto entry = missing.rbegin(); entry != missing.rend(); ++entry) {
            anchor = tree.Append(anchor, (*entry)->record);
            mergedOfOld.emplace(*entry, anchor);
        }
        return anchor;
    };

    for (const Candidate& folder : unreadable_) {
        CopyChildren(tree, mergedFor(folder.oldEntry), *folder.oldEntry);
        for (const Node* below : CatalogTree::Descendants(*folder.oldEntry))
            kept_.insert(below);
    }

    if (!onlyFolders_) {
        Node* root = tree.First();
        root->record.SetField(kFileSize, FormatWholeNumber(RollUpSizes(*root)));
        ComputePercentages(tree, std::thread::hardware_concurrency());
    }
}

void UpdatePlanner::Tally()
{
    UpdateCounts& counts = plan_.counts;
    std::vector<EntryDifference> differences;
    differences.reserve(plan_.differences.size());
    for (EntryDifference& difference : plan_.differences) {
        const Node* oldEntry = difference.oldEntry;
        const bool described = oldEntry && !oldEntry->record.IsEmpty(kDescription);
        if (difference.change == EntryChange::Removed && kept_.count(oldEntry)) {
            ++counts.unreadable;
            counts.descriptionsKept += described ? 1 : 0;
            continue;
        }
        switch (difference.change) {
        case EntryChange::Added:
            ++counts.added;
            break;
        case EntryChange::Removed:
            ++counts.removed;
            if (described)
                plan_.lostDescriptions.push_back({difference.relativePath, std::string(oldEntry->record.Field(kDescription))});
            break;
        case EntryChange::Changed:
            ++counts.changed;
            break;
        }
        differences.push_back(std::move(difference));
    }
    plan_.differences = std::move(differences);
    counts.unchanged = paired_ - counts.changed;
    for (const auto& [newEntry, oldEntry] : oldOfNew_)
        counts.descriptionsKept += oldEntry->record.IsEmpty(kDescription) ? 0 : 1;
    if (const Node* oldRoot = old_.First(); oldRoot && !oldRoot->record.IsEmpty(kDescription))
        ++counts.descriptionsKept;

    // The wrong medium: fewer than one in ten of the old entries found again (or kept because
    // their folder could not be read), and at least one description would be lost. A medium
    // whose contents mostly changed but that loses no description is updated without asking.
    const std::size_t accountedFor = paired_ + counts.unreadable;
    plan_.wrongMedium = oldEntries_ > 0 && accountedFor * 10 < oldEntries_ && !plan_.lostDescriptions.empty();
}

}  // namespace

Status CatalogUpdate::MakePlan()
{
    if (Status status = CheckComparable(snapshot_.tree, request_.catalogPath); !status)
        return status;
    plan_ = UpdatePlan{};
    UpdatePlanner(snapshot_.tree, scanned_, request_, onlyFolders_, plan_).Run();
    return Status::Ok();
}

Status CatalogUpdate::Prepare(const VolumeInfo& volumes, Progress& progress)
{
    WaitScope wait(progress, messages::kLoadingInfo, true);
    std::optional<EntryRecord> root;
    if (Status status = ReadFirstCatalogEntry(request_.catalogPath, root); !status)
        return status;
    // A catalog made folders-only has no sizes, the root's included.
    onlyFolders_ = request_.onlyFolders || (root && root->IsEmpty(kFileSize));
    const ScanRequest scan{request_.folderPath, request_.catalogPath, onlyFolders_, request_.maskList};
    const Status status = ReadCatalogBeside(request_.catalogPath, snapshot_,
                                            [&] { return ScanFolder(scanned_, scan, volumes, progress); });
    if (progress.Cancelled())
        return Status::Cancelled();
    if (!status)
        return status;
    return MakePlan();
}

Status CatalogUpdate::Commit(bool acceptWrongMedium, Progress& progress, UpdateOutcome& outcome)
{
    WaitScope wait(progress, messages::kSavingInfo, true);
    if (progress.Cancelled())
        return Status::Cancelled();
    const std::optional<FileIdentity> identity = IdentityOfFile(request_.catalogPath);
    if (!identity)
        return Status::Failed("The catalog " + request_.catalogPath + " is gone");
    if (identity != snapshot_.identity) {
        if (Status status = ReadCatalogSnapshot(request_.catalogPath, snapshot_, progress); !status)
            return status;
        if (Status status = MakePlan(); !status)
            return status;
    }
    if (plan_.wrongMedium && !acceptWrongMedium) {
        outcome = UpdateOutcome::RefusedWrongMedium;
        return Status::Ok();
    }
    if (plan_.sameAsCatalog) {
        outcome = UpdateOutcome::AlreadyUpToDate;
        return Status::Ok();
    }
    if (Status status = WriteCatalogFile(plan_.tree, request_.catalogPath, progress); !status)
        return status;
    outcome = UpdateOutcome::Written;
    return Status::Ok();
}

}  // namespace vellumark
