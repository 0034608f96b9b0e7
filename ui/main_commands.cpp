#include "ui/main_commands.h"

#include "config/config.h"
#include "scan/folder_scanner.h"
#include "scan/mask_list.h"
#include "search/catalog_search.h"
#include "services/messages.h"
#include "system/file_status.h"
#include "ui/catalog_session.h"
#include "ui/column_description.h"
#include "ui/command_guard.h"
#include "ui/export_dialog.h"
#include "ui/history_commands.h"
#include "ui/library_manager_dialog.h"
#include "ui/main_window.h"
#include "ui/result_rows.h"
#include "ui/search_dialog.h"
#include "ui/task_runner.h"

#include <filesystem>
#include <memory>

namespace vellumark {

namespace {

bool IsBlank(const std::string& text) { return text.find_first_not_of(" \t\r\n") == std::string::npos; }

void ReportUnreadableEntries(Prompts& prompts, const ScanOutcome& outcome);

// Scans the folder on a worker into a new tree; only a complete scan replaces the list and is
// written. A cancelled scan leaves the list, the current catalog and the disk as they were.
void ScanNewCatalog(MainWindow& main, const VolumeInfo& volumes, const ScanRequest& request, bool replaceAgreed,
                    const std::string& libraryPath)
{
    CatalogTree tree;
    ScanOutcome outcome;
    const Status scanned = main.Runner().Run(messages::kLoadingInfo, true, [&](Progress& progress) {
        outcome = ScanFolder(tree, request, volumes, progress);
        return outcome.status;
    });
    if (!ReportStatus(main.GetPrompts(), scanned))
        return;
    CatalogSession& session = main.Session();
    session.Adopt(std::move(tree), request.catalogFilePath);
    ReportStatus(main.GetPrompts(), session.SaveNewCatalog(replaceAgreed));
    ReportUnreadableEntries(main.GetPrompts(), outcome);
    ReportStatus(main.GetPrompts(), main.FillLibraryTree(libraryPath));
}

// Hands each catalog's matches to the GUI thread, which appends them to the list while the
// search goes on.
class ListBatchSink final : public SearchSink {
public:
    ListBatchSink(TaskRunner& runner, CatalogSession& session, ResultRows& results)
        : runner_(runner), session_(session), results_(results)
    {
    }

    void Add(std::vector<EntryRecord>&& batch) override { AddFrom({}, std::move(batch)); }

    // The rows keep their catalog, for "Open in catalog".
    void AddFrom(const std::string& catalogPath, std::vector<EntryRecord>&& batch) override
    {
        auto tree = std::make_shared<CatalogTree>();
        for (EntryRecord& record : batch)
            tree->Append(nullptr, std::move(record));
        // The batch goes to the GUI thread whole: this thread keeps no reference to it.
        runner_.PostToGui([&session = session_, &results = results_, catalogPath, tree = std::move(tree)] {
            results.AppendSearchResults(session, catalogPath, std::move(*tree));
        });
    }

private:
    TaskRunner& runner_;
    CatalogSession& session_;
    ResultRows& results_;
};

std::string SkippedFilesText(std::size_t count)
{
    std::string text = messages::kSearchSkippedFiles;
    text.replace(text.find("%1"), 2, std::to_string(count));
    return text;
}

void ShowExportDialog(MainWindow& main, QWidget* owner, const DialogSettings& settings, const std::string& catalogPath)
{
    ExportServices services{main.GetPrompts(), main.Runner(), &main.Session().Tree(), StoreDefaultExportColumns};
    ExportDialog dialog(owner, std::move(services), settings, catalogPath);
    dialog.exec();
}

}  // namespace

void RunNewCatalogCommand(MainWindow& main, const FolderChooser& chooser)
{
    RunCommand(main.GetPrompts(), [&] {
        const std::string libraryPath = ConfigInstance().GetLibraryPath();
        const LinuxVolumeInfo volumes;
        ScanRequest request;
        bool accepted = false;
        bool replaceAgreed = false;
        {
            NewCatalogDialog dialog(&main, main.GetPrompts(), volumes, chooser, libraryPath);
            accepted = dialog.exec() == QDialog::Accepted;
            request = {dialog.FolderPath(), dialog.CatalogFilePath(), dialog.OnlyFolders(),
                       BuildMaskList(dialog.MaskItems())};
            replaceAgreed = dialog.ReplaceAgreed();
        }
        // A folder that is gone by now ends the command without a word.
        if (accepted && !IsBlank(request.folderPath) && IsFolder(request.folderPath))
            ScanNewCatalog(main, volumes, request, replaceAgreed, libraryPath);
        main.SortList();
    });
}

void RunLibraryCommand(MainWindow& main)
{
    RunCommand(main.GetPrompts(), [&] {
        const DialogSettings settings = ReadDialogSettings(ConfigInstance());
        const LinuxVolumeInfo volumes;
        std::string chosen;
        {
            LibraryManagerDialog dialog(&main, main.GetPrompts(), volumes, settings.libraryPath,
                                        [&main, &settings](QWidget* owner, const std::string& path) {
                                            ShowExportDialog(main, owner, settings, path);
                                        });
            if (dialog.exec() == QDialog::Accepted)
                chosen = dialog.CatalogPath();
        }
        // A catalog shown in the list that was renamed, moved or deleted meanwhile is no longer
        // the list's file: later edits must not write it back under its old name.
        CatalogSession& session = main.Session();
        if (!session.CatalogPath().empty() && !std::filesystem::exists(session.CatalogPath()))
            session.Clear();
        if (!chosen.empty())
            ReportStatus(main.GetPrompts(), session.Open(chosen));
        ReportStatus(main.GetPrompts(), main.FillLibraryTree(settings.libraryPath));
    });
}

void RunSearchCommand(MainWindow& main)
{
    RunCommand(main.GetPrompts(), [&] {
        const std::string libraryPath = ConfigInstance().GetLibraryPath();
        SearchRequest request;
        {
            SearchDialog dialog(&main, main.GetPrompts(), libraryPath);
            if (dialog.exec() != QDialog::Accepted)
                return;
            request = dialog.Request();
        }
        CatalogSession& session = main.Session();
        session.Detach();
        if (request.scopePath.empty())
            return;
        session.Clear();
        ListBatchSink sink(main.Runner(), session, main.History().Results());
        SearchOutcome outcome;
        const Status status = main.Runner().Run({}, true, [&](Progress& progress) {
            outcome = SearchCatalogs(request, progress, sink);
            return outcome.status;
        });
        ReportStatus(main.GetPrompts(), status);
        if (!outcome.skipped.empty())
            main.GetPrompts().ShowMessage(messages::kWarningCaption, SkippedFilesText(outcome.skipped.size()),
                                          MessageIcon::Warning);
        // What was found before the cancel stays in the list, and is never taken for all there is.
        if (status.code() == Status::Code::Cancelled)
            main.GetPrompts().ShowMessage(messages::kWarningCaption, messages::kSearchCancelled, MessageIcon::Warning);
    });
}

void RunExportCommand(MainWindow& main)
{
    RunCommand(main.GetPrompts(), [&] { ShowExportDialog(main, &main, ReadDialogSettings(ConfigInstance()), {}); });
}

namespace {

// The catalog is written without what the scan could not read; the user is told how much that is.
void ReportUnreadableEntries(Prompts& prompts, const ScanOutcome& outcome)
{
    if (!outcome.unreadable.empty())
        prompts.ShowMessage(messages::kWarningCaption, UnreadableEntriesText(outcome.unreadable.size()),
                            MessageIcon::Warning);
}

}  // namespace

}  // namespace vellumark
