#include "ui/history_commands.h"

#include "config/config.h"
#include "core/catalog_compare.h"
#include "core/catalog_file.h"
#include "core/catalog_snapshot.h"
#include "core/path_names.h"
#include "library/library_names.h"
#include "library/library_store.h"
#include "scan/catalog_update.h"
#include "scan/folder_scanner.h"
#include "scan/mask_list.h"
#include "scan/medium_folder.h"
#include "search/duplicates.h"
#include "search/index/library_index.h"
#include "services/messages.h"
#include "system/file_status.h"
#include "system/mount_table.h"
#include "ui/catalog_session.h"
#include "ui/command_guard.h"
#include "ui/compare_dialog.h"
#include "ui/duplicates_dialog.h"
#include "ui/file_list_model.h"
#include "ui/library_tree_view.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"
#include "ui/result_rows.h"
#include "ui/task_runner.h"
#include "ui/update_catalog_dialog.h"

#include <QAction>
#include <QDialog>
#include <QTreeView>

#include <optional>

namespace vellumark {

namespace {

constexpr const char* kUpdateCaption = "Update catalog";
constexpr const char* kCompareCaption = "Compare with";
constexpr const char* kDuplicatesCaption = "Find duplicates";
// Groups shown opened at once; beyond this many the list opens them one by one on request.
constexpr std::size_t kGroupsExpanded = 1000;
// Lost descriptions listed in the question; the rest are counted.
constexpr std::size_t kLostDescriptionsListed = 20;

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// Whether the folder is the root of a mounted volume with that label.
bool CarriesLabel(const VolumeInfo& volumes, const std::string& folder, const std::string& label)
{
    return !folder.empty() && volumes.IsMountRoot(folder) && volumes.LabelOf(folder) == label;
}

std::string CountsText(const UpdateCounts& counts)
{
    return "added " + std::to_string(counts.added) + ", removed " + std::to_string(counts.removed) + ", changed "
           + std::to_string(counts.changed) + ", unchanged " + std::to_string(counts.unchanged) + ", unreadable "
           + std::to_string(counts.unreadable) + ", descriptions kept " + std::to_string(counts.descriptionsKept);
}

std::string LostDescriptionsText(const std::vector<LostDescription>& lost)
{
    std::string text = "These descriptions belong to entries not found again and will be lost (a moved or renamed "
                       "entry counts as removed and added):\n";
    for (std::size_t i = 0; i < lost.size() && i < kLostDescriptionsListed; ++i)
        text += "    " + lost[i].relativePath + ": " + lost[i].description + "\n";
    if (lost.size() > kLostDescriptionsListed)
        text += "    ... and " + std::to_string(lost.size() - kLostDescriptionsListed) + " more\n";
    return text;
}

// The question before an update that would lose what the user wrote, or that looks like the
// wrong medium.
std::string LossQuestion(const CatalogUpdate& update, const std::string& folder)
{
    const UpdatePlan& plan = update.Plan();
    std::string text;
    if (plan.wrongMedium) {
        const std::size_t oldEntries = update.CatalogRead().NodeCount() - 1;
        text += "Only " + std::to_string(plan.counts.unchanged + plan.counts.changed) + " of " + std::to_string(oldEntries)
                + " entries were found again in " + folder + ": is it the right medium?\n\n";
    }
    if (!plan.lostDescriptions.empty())
        text += LostDescriptionsText(plan.lostDescriptions) + "\n";
    return text + "Update the catalog anyway?";
}

bool SameLostDescriptions(const std::vector<LostDescription>& a, const std::vector<LostDescription>& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](const LostDescription& x, const LostDescription& y) {
               return x.relativePath == y.relativePath && x.description == y.description;
           });
}

// The catalogs of the library but the one given, named by their path below the library root.
std::vector<std::pair<QString, std::string>> OtherCatalogs(const std::string& libraryPath, const std::string& except)
{
    CatalogTree library;
    LoadLibraryTree(library, libraryPath, false);
    const std::string prefix = EnsureTrailingDelimiter(libraryPath);
    std::vector<std::pair<QString, std::string>> catalogs;
    for (const CatalogTreeNode* node : library.PreOrder()) {
        const std::string path(node->record.Field(kFullPath));
        if (!node->record.IsFile() || path == except)
            continue;
        const std::string shown = path.compare(0, prefix.size(), prefix) == 0 ? path.substr(prefix.size()) : path;
        catalogs.emplace_back(ToQString(shown), path);
    }
    return catalogs;
}

// The entry at the relative path below the catalog's top-level entry; the first of several.
CatalogTreeNode* FindByRelativePath(const CatalogTree& tree, const std::string& relativePath)
{
    CatalogTreeNode* node = tree.First();
    std::size_t start = 0;
    while (node && start < relativePath.size()) {
        const std::size_t end = std::min(relativePath.find('/', start), relativePath.size());
        const std::string_view name(relativePath.data() + start, end - start);
        CatalogTreeNode* parent = node;
        node = nullptr;
        for (int row = 0; row < parent->ChildCount() && !node; ++row)
            if (parent->Child(row)->record.Field(kFileName) == name)
                node = parent->Child(row);
        start = end + 1;
    }
    return node;
}

// The first entry whose record is the one found (a search result's DiskName is its catalog's
// name, not the entry's: it is not compared).
CatalogTreeNode* FindByRecord(const CatalogTree& tree, const EntryRecord& record)
{
    for (CatalogTreeNode* node : tree.PreOrder()) {
        bool same = true;
        for (const int key : {kFullPath, kFileName, kFileSize, kFileTime, kFileType})
            same = same && node->record.Field(key) == record.Field(key);
        if (same)
            return node;
    }
    return nullptr;
}

}  // namespace

HistoryCommands::HistoryCommands(MainWindow& main)
    : QObject(&main), main_(main), results_(new ResultRows(*main.Session().Model(), this))
{
}

HistoryCommands::~HistoryCommands() = default;

void HistoryCommands::Offer(LibraryTreeView& tree, QDialog* host, std::function<void()> refillTree)
{
    tree.OfferContextMenu();
    QWidget* owner = host ? static_cast<QWidget*>(host) : &main_;
    Prompts& prompts = main_.GetPrompts();
    connect(tree.UpdateAction(), &QAction::triggered, this, [this, &tree, owner, &prompts, refillTree] {
        RunCommand(prompts, [&] {
            if (const CatalogTreeNode* node = tree.FocusedNode(); node && node->record.IsFile())
                RunUpdate(std::string(node->record.Field(kFullPath)), owner, refillTree);
        });
    });
    connect(tree.CompareAction(), &QAction::triggered, this, [this, &tree, host, owner, &prompts] {
        RunCommand(prompts, [&] {
            const CatalogTreeNode* node = tree.FocusedNode();
            if (node && node->record.IsFile() && RunCompare(std::string(node->record.Field(kFullPath)), owner) && host)
                host->reject();
        });
    });
    connect(tree.DuplicatesAction(), &QAction::triggered, this, [this, &tree, host, owner, &prompts] {
        RunCommand(prompts, [&] {
            const CatalogTreeNode* node = tree.FocusedNode();
            if (node && RunFindDuplicates(*node, owner) && host)
                host->reject();
        });
    });
}

bool HistoryCommands::RunUpdate(const std::string& catalogPath, QWidget* owner, const std::function<void()>& refillTree)
{
    Prompts& prompts = main_.GetPrompts();
    std::optional<LinuxVolumeInfo> systemVolumes;
    const VolumeInfo& volumes = volumes_ ? *volumes_ : systemVolumes.emplace();
    const std::string catalogName = CatalogNameOfFile(catalogPath);

    std::optional<EntryRecord> root;
    if (!ReportStatus(prompts, ReadFirstCatalogEntry(catalogPath, root)))
        return false;
    std::string folder;
    // Without a folder the root tells of, the user chooses one.
    if (!FindMediumFolder(root, volumes, folder).ok())
        folder.clear();
    const std::optional<LabelledRootName> labelled =
        root ? ParseLabelledRootName(root->Field(kFileName)) : std::nullopt;
    QString note;
    if (labelled && !CarriesLabel(volumes, folder, labelled->label))
        note = QStringLiteral("No medium labelled \"%1\" is mounted now: choose the folder to scan.").arg(ToQString(labelled->label));

    UpdateRequest request;
    {
        UpdateCatalogDialog dialog(owner, catalogName, folder, root && root->IsEmpty(kFileSize), note, chooser_);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        request = {catalogPath, FolderAsChosen(dialog.FolderPath(), volumes), BuildMaskList(dialog.MaskItems()),
                   dialog.OnlyFolders()};
        if (dialog.FolderPath().empty())
            request.folderPath.clear();
    }
    if (!IsFolder(request.folderPath)) {
        prompts.ShowMessage(messages::kWarningCaption, "No folder " + Quoted(request.folderPath), MessageIcon::Warning);
        return false;
    }
    if (labelled && !CarriesLabel(volumes, request.folderPath, labelled->label)
        && !prompts.AskYesNo(kUpdateCaption,
                             "The folder " + request.folderPath + " is not the medium labelled " + Quoted(labelled->label)
                                 + ". Update the catalog " + Quoted(catalogName) + " from it anyway?",
                             MessageIcon::Question))
        return false;

    CatalogUpdate update(request);
    const Status prepared =
        main_.Runner().Run(messages::kLoadingInfo, true, [&](Progress& progress) { return update.Prepare(volumes, progress); });
    if (!ReportStatus(prompts, prepared))
        return false;
    const std::vector<LostDescription> shownLost = update.Plan().lostDescriptions;
    const bool acceptWrongMedium = update.Plan().wrongMedium;
    if ((acceptWrongMedium || !shownLost.empty())
        && !prompts.AskYesNo(kUpdateCaption, LossQuestion(update, request.folderPath), MessageIcon::Question))
        return false;

    UpdateOutcome outcome = UpdateOutcome::Written;
    const Status committed = main_.Runner().Run(messages::kSavingInfo, false, [&](Progress& progress) {
        return update.Commit(acceptWrongMedium, progress, outcome);
    });
    if (!ReportStatus(prompts, committed))
        return false;
    const UpdatePlan& plan = update.Plan();
    if (outcome == UpdateOutcome::RefusedWrongMedium) {
        prompts.ShowMessage(messages::kWarningCaption,
                            "The catalog " + Quoted(catalogName) + " changed meanwhile, and almost nothing of it was found again in "
                                + request.folderPath + ": it was not updated.",
                            MessageIcon::Warning);
        return false;
    }
    std::string summary = outcome == UpdateOutcome::AlreadyUpToDate
                              ? "The catalog " + Quoted(catalogName) + " is up to date: "
                              : "The catalog " + Quoted(catalogName) + " is updated: ";
    summary += CountsText(plan.counts) + ".";
    // The catalog changed during the scan and was planned anew: descriptions lost now that
    // were not asked about are at least told.
    if (!SameLostDescriptions(plan.lostDescriptions, shownLost) && !plan.lostDescriptions.empty())
        summary += "\n\n" + LostDescriptionsText(plan.lostDescriptions);
    prompts.ShowMessage(kUpdateCaption, summary, MessageIcon::Information);
    if (outcome != UpdateOutcome::Written)
        return true;

    CatalogSession& session = main_.Session();
    if (session.CatalogPath() == catalogPath) {
        // The list shows the catalog as it was: it is read again, so no later edit writes the old content back.
        session.Clear();
        ReportStatus(prompts, session.Open(catalogPath));
        main_.SortList();
    }
    if (refillTree)
        refillTree();
    return true;
}

bool HistoryCommands::RunCompare(const std::string& catalogPath, QWidget* owner)
{
    Prompts& prompts = main_.GetPrompts();
    std::optional<LinuxVolumeInfo> systemVolumes;
    const VolumeInfo& volumes = volumes_ ? *volumes_ : systemVolumes.emplace();
    const std::string catalogName = CatalogNameOfFile(catalogPath);

    bool withFolder = false;
    std::string otherPath;
    bool ignoreTimes = false;
    {
        CompareDialog dialog(owner, catalogName, OtherCatalogs(ConfigInstance().GetLibraryPath(), catalogPath), chooser_);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        withFolder = dialog.WithFolder();
        otherPath = withFolder ? dialog.FolderPath() : dialog.OtherCatalogPath();
        ignoreTimes = dialog.IgnoreTimes();
    }
    if (withFolder) {
        otherPath = otherPath.empty() ? otherPath : FolderAsChosen(otherPath, volumes);
        if (!IsFolder(otherPath)) {
            prompts.ShowMessage(messages::kWarningCaption, "No folder " + Quoted(otherPath), MessageIcon::Warning);
            return false;
        }
    } else if (otherPath.empty()) {
        return false;
    }

    // A catalog of folders only is compared with the folders of the folder.
    std::optional<EntryRecord> root;
    if (withFolder && !ReportStatus(prompts, ReadFirstCatalogEntry(catalogPath, root)))
        return false;
    CatalogSnapshot oldCatalog;
    CatalogTree newCatalog;
    ScanOutcome scanned;
    const Status read = main_.Runner().Run(messages::kLoadingInfo, true, [&](Progress& progress) {
        return ReadCatalogBeside(catalogPath, oldCatalog, [&] {
            if (!withFolder)
                return ReadCatalogFile(otherPath, newCatalog, progress);
            scanned = ScanFolder(newCatalog, {otherPath, catalogPath, root && root->IsEmpty(kFileSize), ""}, volumes, progress);
            return scanned.status;
        });
    });
    if (!ReportStatus(prompts, read))
        return false;
    const std::string otherName = withFolder ? otherPath : CatalogNameOfFile(otherPath);
    if (!ReportStatus(prompts, CheckComparable(oldCatalog.tree, catalogName))
        || !ReportStatus(prompts, CheckComparable(newCatalog, otherName)))
        return false;
    if (!scanned.unreadable.empty())
        prompts.ShowMessage(messages::kWarningCaption, UnreadableEntriesText(scanned.unreadable.size()), MessageIcon::Warning);

    const std::vector<EntryDifference> differences = CompareCatalogs(oldCatalog.tree, newCatalog, ignoreTimes);
    results_->ShowComparison(main_.Session(), differences, catalogPath, withFolder ? std::string() : otherPath, otherName);
    main_.UpdateStatusLine();
    if (differences.empty())
        prompts.ShowMessage(kCompareCaption, Quoted(catalogName) + " and " + Quoted(otherName) + " hold the same entries.",
                            MessageIcon::Information);
    return true;
}

bool HistoryCommands::RunFindDuplicates(const CatalogTreeNode& scope, QWidget* owner)
{
    Prompts& prompts = main_.GetPrompts();
    DuplicatesRequest request;
    request.scopePath = std::string(scope.record.Field(kFullPath));
    request.scopeIsGroup = !scope.record.IsFile();
    request.libraryRoot = ConfigInstance().GetLibraryPath();
    request.indexCacheFolder = DefaultIndexCacheFolder();
    {
        DuplicatesDialog dialog(owner, std::string(scope.record.Field(kFileName)));
        if (dialog.exec() != QDialog::Accepted)
            return false;
        request.key = dialog.Key();
    }
    DuplicatesOutcome outcome;
    const Status status = main_.Runner().Run(messages::kLoadingInfo, true, [&](Progress& progress) {
        outcome = FindDuplicates(request, progress);
        return outcome.status;
    });
    if (!ReportStatus(prompts, status))
        return false;
    results_->ShowDuplicates(main_.Session(), outcome);
    main_.UpdateStatusLine();
    if (outcome.groups.size() <= kGroupsExpanded)
        main_.FileList()->expandAll();
    if (!outcome.skipped.empty()) {
        std::string text = messages::kSearchSkippedFiles;
        text.replace(text.find("%1"), 2, std::to_string(outcome.skipped.size()));
        prompts.ShowMessage(messages::kWarningCaption, text, MessageIcon::Warning);
    }
    if (outcome.groups.empty())
        prompts.ShowMessage(kDuplicatesCaption, "No duplicates in " + Quoted(std::string(scope.record.Field(kFileName))) + ".",
                            MessageIcon::Information);
    return true;
}

bool HistoryCommands::CanOpenInCatalog(const CatalogTreeNode* row) const { return results_->OriginOf(row).has_value(); }

void HistoryCommands::OpenInCatalog(const CatalogTreeNode* row)
{
    // Taken whole: opening the catalog replaces the rows, their origins with them.
    const std::optional<RowOrigin> found = results_->OriginOf(row);
    if (!found)
        return;
    const RowOrigin& origin = *found;
    CatalogSession& session = main_.Session();
    if (!ReportStatus(main_.GetPrompts(), session.Open(origin.catalogPath)))
        return;
    const CatalogTree& tree = session.Tree();
    CatalogTreeNode* entry = origin.relativePath ? FindByRelativePath(tree, *origin.relativePath)
                             : origin.record    ? FindByRecord(tree, *origin.record)
                                                : nullptr;
    main_.SortList();

    LibraryTreeView& library = *main_.LibraryTree();
    for (const CatalogTreeNode* node : library.Model()->Tree().PreOrder()) {
        if (node->record.IsFile() && node->record.Field(kFullPath) == origin.catalogPath) {
            library.View()->setCurrentIndex(library.Model()->IndexOf(node));
            break;
        }
    }
    if (!entry) {
        main_.UpdateStatusLine();
        return;
    }
    QTreeView& list = *main_.FileList();
    const QModelIndex index = session.Model()->IndexOf(entry);
    for (QModelIndex up = index.parent(); up.isValid(); up = up.parent())
        list.expand(up);
    list.setCurrentIndex(index);
    list.scrollTo(index);
}

}  // namespace vellumark
