#include "scan/catalog_update.h"

#include "core/catalog_file.h"
#include "core/path_names.h"
#include "scan/folder_scanner.h"
#include "core/size_rollup.h"
#include "services/messages.h"
#include "services/text_format.h"
#include "system/file_lock.h"
#include "system/file_status.h"
#include "system/folder_listing.h"
#include "system/test_pause.h"

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
    const std::optional<FileStatus> folder = StatusOfPath(path, FollowLinks::No);
    if (!folder) {
        if (errno == ENOENT || errno == ENOTDIR)
            return FolderState::Missing;
        // The walk reaches any depth through open folders; a path too long to name is one it listed.
        return errno == ENAMETOOLONG ? FolderState::Listable : FolderState::Unlistable;
    }
    if (folder->kind != FileKind::Directory)
        return FolderState::Missing;
    FolderListing listing(path, FollowLinks::No);
    if (!listing.IsOpen())
        return FolderState::Unlistable;
    if (const FolderEntry* entry = listing.Next())
        return !StatusIn(listing.Fd(), entry->name, FollowLinks::No) && errno == EACCES ? FolderState::Unlistable
                                                                                         : FolderState::Listable;
    return listing.Error() != 0 ? FolderState::Unlistable : FolderState::Listable;
}

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
        if (childPath.size() > rootPath.size() && childPath.substr(0, rootPath.size()) == rootPath
            && (childPath[rootPath.size()] == '/' || childPath[rootPath.size()] == '\\'))
            return childPath[rootPath.size()];
    }
    const bool windows = rootPath.find('\\') != std::string_view::npos && rootPath.find('/') == std::string_view::npos;
    return windows ? '\\' : '/';
}

// A child's FullPath as the scan builds it: one separator after the parent's path, none after a
// path that ends with it ("/media/cd/", "D:\").
void JoinDisplayPath(std::string& out, std::string_view parentPath, std::string_view name, char separator)
{
    out.assign(parentPath);
    if (out.empty() || out.back() != separator)
        out += separator;
    out += name;
}

void RebuildFullPaths(CatalogTree& tree, char separator)
{
    std::string path;
    tree.ForEachPreOrder([&](Node& node) {
        if (const Node* parent = node.Parent()) {
            JoinDisplayPath(path, parent->record.Field(kFullPath), node.record.Field(kFileName), separator);
            node.record.SetField(kFullPath, path);
            node.record.SetField(kPathNameLength, std::to_string(path.size()));
        }
    });
}

bool SameTrees(const CatalogTree& a, const CatalogTree& b)
{
    if (a.NodeCount() != b.NodeCount() || a.TopLevelCount() != b.TopLevelCount())
        return false;
    // Walked side by side; a different number of children anywhere ends it.
    std::vector<std::pair<const Node*, const Node*>> pending;
    for (int row = 0; row < a.TopLevelCount(); ++row)
        pending.emplace_back(a.TopLevel(row), b.TopLevel(row));
    while (!pending.empty()) {
        const auto [left, right] = pending.back();
        pending.pop_back();
        if (left->ChildCount() != right->ChildCount() || left->record.AllFields() != right->record.AllFields())
            return false;
        for (int row = 0; row < left->ChildCount(); ++row)
            pending.emplace_back(left->Child(row), right->Child(row));
    }
    return true;
}

// One plan over the scan: pairs it with the catalog read, carries the descriptions over, keeps
// the entries of folders that could not be read, and counts.
class UpdatePlanner {
public:
    UpdatePlanner(const CatalogTree& old, CatalogTree& tree, const UpdateRequest& request, bool onlyFolders,
                  bool replanning, std::vector<Node*>& keptSubtrees, UpdatePlan& plan)
        : old_(old), tree_(tree), request_(request), onlyFolders_(onlyFolders), replanning_(replanning),
          keptSubtrees_(keptSubtrees), plan_(plan)
    {
    }

    void Run(bool sizesStale)
    {
        PairEntries();
        CarryDescriptionsOver();
        FindUnreadableFolders();
        if (!unreadable_.empty())
            KeepUnreadableEntries();
        if ((sizesStale || !keptSubtrees_.empty()) && !onlyFolders_ && !tree_.Empty()) {
            Node* root = tree_.First();
            root->record.SetField(kFileSize, FormatWholeNumber(RollUpSizes(*root)));
            ComputePercentages(tree_, std::thread::hardware_concurrency());
        }
        Tally();
        plan_.sameAsCatalog = SameTrees(old_, tree_);
    }

private:
    struct Pair {
        Node* newEntry;
        const Node* oldEntry;
    };

    void PairEntries();
    void CarryDescriptionsOver();
    void FindUnreadableFolders();
    void KeepUnreadableEntries();
    void Tally();

    const CatalogTree& old_;
    CatalogTree& tree_;
    const UpdateRequest& request_;
    const bool onlyFolders_;
    const bool replanning_;
    std::vector<Node*>& keptSubtrees_;
    UpdatePlan& plan_;

    std::vector<Pair> newEntries_;          // every entry of the scan with its pair, in pre-order
    std::vector<Pair> candidates_;          // folders that held entries and came back without any
    std::vector<Pair> unreadable_;          // those of them that cannot be listed now
    std::unordered_set<const Node*> kept_;  // old entries carried over as they were
    std::size_t oldEntries_ = 0;
    std::size_t paired_ = 0;
};

void UpdatePlanner::PairEntries()
{
    newEntries_.reserve(tree_.NodeCount());
    ForEachEntryPair(old_, tree_, [&](const Node* oldEntry, const Node* newEntry, std::string_view path) {
        // The walk hands out the entries of the tree this planner owns and changes.
        Node* entry = const_cast<Node*>(newEntry);
        if (oldEntry)
            ++oldEntries_;
        if (entry)
            newEntries_.push_back({entry, oldEntry});
        if (oldEntry && entry) {
            ++paired_;
            if (EntryChanged(oldEntry->record, entry->record, false))
                plan_.differences.push_back({EntryChange::Changed, std::string(path), oldEntry, entry});
        } else {
            plan_.differences.push_back({oldEntry ? EntryChange::Removed : EntryChange::Added, std::string(path), oldEntry, entry});
        }
        if (oldEntry && oldEntry->HasChildren() && (!entry || (entry->record.IsDirectory() && !entry->HasChildren())))
            candidates_.push_back({entry, oldEntry});
    });
}

void UpdatePlanner::CarryDescriptionsOver()
{
    for (const auto& [entry, oldEntry] : newEntries_) {
        const std::string_view description = oldEntry ? oldEntry->record.Field(kDescription) : std::string_view();
        if (!description.empty())
            ++plan_.counts.descriptionsKept;
        // A scan holds no descriptions; only planning again finds some to replace.
        if ((!description.empty() || replanning_) && entry->record.Field(kDescription) != description)
            entry->record.SetField(kDescription, description);
    }
}

void UpdatePlanner::FindUnreadableFolders()
{
    // Candidates come in pre-order; below a folder that is gone or unreadable nothing more is
    // looked at.
    std::unordered_set<const Node*> settled;
    for (const Pair& candidate : candidates_) {
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

void UpdatePlanner::KeepUnreadableEntries()
{
    std::unordered_map<const Node*, Node*> newOfOld;
    for (const auto& [entry, oldEntry] : newEntries_)
        if (oldEntry)
            newOfOld.emplace(oldEntry, entry);

    // The new catalog's entry for an old one: its pair, or (for a folder the masks pruned away
    // with its unreadable contents) a copy of the old entry, made along with its missing parents.
    std::unordered_map<const Node*, Node*> made;
    std::unordered_set<const Node*> madeHere;
    const auto entryFor = [&](const Node* oldEntry) {
        std::vector<const Node*> missing;
        Node* anchor = nullptr;
        for (const Node* current = oldEntry;; current = current->Parent()) {
            if (!current->Parent()) {
                anchor = tree_.First();
                break;
            }
            if (const auto copy = made.find(current); copy != made.end()) {
                anchor = copy->second;
                break;
            }
            if (const auto pair = newOfOld.find(current); pair != newOfOld.end()) {
                anchor = pair->second;
                break;
            }
            missing.push_back(current);
            kept_.insert(current);
        }
        for (auto entry = missing.rbegin(); entry != missing.rend(); ++entry) {
            Node* copy = tree_.Append(anchor, (*entry)->record);
            if (!madeHere.count(anchor))
                keptSubtrees_.push_back(copy);
            made.emplace(*entry, copy);
            madeHere.insert(copy);
            anchor = copy;
        }
        return anchor;
    };

    for (const Pair& folder : unreadable_) {
        Node* target = entryFor(folder.oldEntry);
        std::vector<std::pair<const Node*, Node*>> pending{{folder.oldEntry, target}};
        while (!pending.empty()) {
            const auto [from, to] = pending.back();
            pending.pop_back();
            for (int row = 0; row < from->ChildCount(); ++row) {
                const Node* child = from->Child(row);
                Node* copy = tree_.Append(to, child->record);
                if (to == target && !madeHere.count(target))
                    keptSubtrees_.push_back(copy);
                kept_.insert(child);
                pending.emplace_back(child, copy);
            }
        }
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
    if (const Node* oldRoot = old_.First(); oldRoot && !oldRoot->record.IsEmpty(kDescription))
        ++counts.descriptionsKept;

    // The wrong medium: fewer than one in ten of the old entries found again (or kept because
    // their folder could not be read), and at least one description would be lost. A medium
    // whose contents mostly changed but that loses no description is updated without asking;
    // one where nothing at all is found (a mount point without its disc) is not, since the
    // update would leave the catalog empty.
    const std::size_t accountedFor = paired_ + counts.unreadable;
    const bool nothingFound = newEntries_.empty() && counts.unreadable == 0;
    plan_.wrongMedium = oldEntries_ > 0
                        && ((accountedFor * 10 < oldEntries_ && !plan_.lostDescriptions.empty()) || nothingFound);
}

}  // namespace

Status CatalogUpdate::MakePlan()
{
    if (Status status = CheckComparable(snapshot_.tree, request_.catalogPath); !status)
        return status;
    CatalogTree& tree = plan_.tree;
    // Back to the scan as it came, before anything of an earlier plan.
    const bool sizesStale = !keptSubtrees_.empty();
    for (auto subtree = keptSubtrees_.rbegin(); subtree != keptSubtrees_.rend(); ++subtree)
        tree.Remove(*subtree);
    keptSubtrees_.clear();
    plan_.differences.clear();
    plan_.counts = {};
    plan_.lostDescriptions.clear();
    plan_.wrongMedium = false;
    plan_.sameAsCatalog = false;

    // The root keeps its name, its description and, when a rename set them, its length fields.
    const Node* oldRoot = snapshot_.tree.First();
    if (scanEmpty_) {
        // Masks that match no file leave no scan at all; the medium still has its root.
        tree.Clear();
        if (oldRoot) {
            EntryRecord record;
            record.SetField(kFileType, kKindDirectory);
            record.SetField(kDiskName, oldRoot->record.Field(kDiskName));
            record.SetField(kFileSize, onlyFolders_ ? "" : "0");
            record.SetField(kSizePercentage, onlyFolders_ ? "" : "100");
            tree.Append(nullptr, std::move(record));
            pathRoot_.clear();
        }
    }
    if (Node* root = tree.First()) {
        const std::string name = oldRoot ? std::string(oldRoot->record.Field(kFileName)) : scanRootName_;
        const bool lengths = oldRoot && !oldRoot->record.IsEmpty(kFileNameLength);
        const bool pathLength = oldRoot && !oldRoot->record.IsEmpty(kPathNameLength);
        root->record.SetField(kFileName, name);
        root->record.SetField(kFullPath, name);
        root->record.SetField(kDescription, oldRoot ? oldRoot->record.Field(kDescription) : std::string_view());
        root->record.SetField(kFileNameLength, lengths ? std::to_string(name.size()) : std::string());
        root->record.SetField(kPathNameLength, pathLength ? std::to_string(name.size()) : std::string());
        const char separator = SeparatorOf(snapshot_.tree);
        if (name != pathRoot_ || separator != pathSeparator_) {
            RebuildFullPaths(tree, separator);
            pathRoot_ = name;
            pathSeparator_ = separator;
        }
    }
    UpdatePlanner(snapshot_.tree, tree, request_, onlyFolders_, planned_, keptSubtrees_, plan_).Run(sizesStale);
    planned_ = true;
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
                                            [&] { return ScanFolder(plan_.tree, scan, volumes, progress).status; });
    if (progress.Cancelled())
        return Status::Cancelled();
    if (!status)
        return status;
    scanEmpty_ = plan_.tree.Empty();
    scanRootName_ = scanEmpty_ ? std::string() : std::string(plan_.tree.First()->record.Field(kFileName));
    pathRoot_ = scanRootName_;
    pathSeparator_ = '/';
    return MakePlan();
}

Status CatalogUpdate::Commit(bool acceptWrongMedium, Progress& progress, UpdateOutcome& outcome)
{
    WaitScope wait(progress, messages::kSavingInfo, true);
    if (progress.Cancelled())
        return Status::Cancelled();
    // Held until the new catalog is in place: an edit saved meanwhile waits, or is planned in.
    const FileLock lock = FileLock::OnPath(request_.catalogPath);
    const std::optional<FileStatus> identity =
        lock.IsHeld() ? lock.Identity() : StatusOfPath(request_.catalogPath, FollowLinks::Yes);
    if (!identity)
        return Status::Failed("The catalog " + request_.catalogPath + " is gone");
    if (identity != snapshot_.identity) {
        if (Status status = ReadCatalogSnapshot(request_.catalogPath, snapshot_, progress); !status)
            return status;
        if (Status status = MakePlan(); !status)
            return status;
    }
    PauseForTest("catalog-read");
    if (plan_.wrongMedium && !acceptWrongMedium) {
        outcome = UpdateOutcome::RefusedWrongMedium;
        return Status::Ok();
    }
    if (plan_.sameAsCatalog) {
        outcome = UpdateOutcome::AlreadyUpToDate;
        return Status::Ok();
    }
    if (progress.Cancelled())
        return Status::Cancelled();
    if (Status status = WriteCatalogFile(plan_.tree, request_.catalogPath, progress); !status)
        return status;
    outcome = UpdateOutcome::Written;
    return Status::Ok();
}

}  // namespace vellumark
