#include "ui/main_commands.h"

#include "scan/folder_scanner.h"
#include "scan/mask_list.h"
#include "search/catalog_search.h"
#include "services/messages.h"
#include "ui/command_guard.h"
#include "ui/export_dialog.h"
#include "ui/file_list_model.h"
#include "ui/library_manager_dialog.h"
#include "ui/main_window.h"
#include "ui/search_dialog.h"
#include "ui/task_runner.h"

#include <filesystem>
#include <memory>
#include <system_error>

namespace vellumark {

namespace {

bool IsFolder(const std::string& path)
{
    std::error_code error;
    return std::filesystem::is_directory(path, error);
}

bool IsBlank(const std::string& text) { return text.find_first_not_of(" \t\r\n") == std::string::npos; }

void ReportUnreadableEntries(Prompts& prompts, const ScanOutcome& outcome);

// Scans the folder on a worker into a new tree; only a complete scan replaces the list and is
// written. A cancelled scan leaves the list, the current catalog and the disk as they were.
void ScanNewCatalog(MainWindow& main, const VolumeInfo& volumes, const ScanRequest& request)
{
    CatalogTree tree;
    ScanOutcome outcome;
    const Status scanned = main.Runner().Run(messages::kLoadingInfo, true, [&](Progress& progress) {
        outcome = ScanFolder(tree, request, volumes, progress);
        return outcome.status;
    });
    if (!ReportStatus(main.GetPrompts(), scanned))
        return;
    main.SetCurrentCatalogPath(request.catalogFilePath);
    main.AdoptListTree(std::move(tree));
    ReportStatus(main.GetPrompts(), main.SaveCurrentCatalog());
    ReportUnreadableEntries(main.GetPrompts(), outcome);
    ReportStatus(main.GetPrompts(), main.FillLibraryTree());
}

// Hands each catalog's matches to the GUI thread, which appends them to the list while the
// search goes on.
class ListBatchSink final : public SearchSink {
public:
    explicit ListBatchSink(MainWindow& main) : main_(main) {}

    void Add(std::vector<EntryRecord>&& batch) override
    {
        auto tree = std::make_shared<CatalogTree>();
        for (EntryRecord& record : batch)
            tree->Append(nullptr, std::move(record));
        // The batch goes to the GUI thread whole: this thread keeps no reference to it.
        main_.Runner().PostToGui([&main = main_, tree = std::move(tree)] { main.AppendListBatch(std::move(*tree)); });
    }

private:
    MainWindow& main_;
};

std::string SkippedFilesText(std::size_t count)
{
    std::string text = messages::kSearchSkippedFiles;
    text.replace(text.find("%1"), 2, std::to_string(count));
    return text;
}

void ShowExportDialog(MainWindow& main, QWidget* owner, const std::string& catalogPath)
{
    ExportServices services{main.GetPrompts(), main.Runner(), &main.ListModel()->Tree()};
    ExportDialog dialog(owner, services, catalogPath);
    dialog.exec();
}

}  // namespace

void RunNewCatalogCommand(MainWindow& main, const FolderChooser& chooser)
{
    RunCommand(main.GetPrompts(), [&] {
        const LinuxVolumeInfo volumes;
        ScanRequest request;
        bool accepted = false;
        {
            NewCatalogDialog dialog(&main, main.GetPrompts(), volumes, chooser);
            accepted = dialog.exec() == QDialog::Accepted;
            request = {dialog.FolderPath(), dialog.CatalogFilePath(), dialog.OnlyFolders(),
                       BuildMaskList(dialog.MaskItems())};
        }
        // A folder that is gone by now ends the command without a word.
        if (accepted && !IsBlank(request.folderPath) && IsFolder(request.folderPath))
            ScanNewCatalog(main, volumes, request);
        main.SortList();
    });
}

void RunLibraryCommand(MainWindow& main)
{
    RunCommand(main.GetPrompts(), [&] {
        const LinuxVolumeInfo volumes;
        std::string chosen;
        {
            LibraryManagerDialog dialog(&main, main.GetPrompts(), volumes, [&main](QWidget* owner, const std::string& path) {
                ShowExportDialog(main, owner, path);
            });
            if (dialog.exec() == QDialog::Accepted)
                chosen = dialog.CatalogPath();
        }
        // A catalog shown in the list that was renamed, moved or deleted meanwhile is no longer
        // the list's file: later edits must not write it back under its old name.
        if (!main.CurrentCatalogPath().empty() && !std::filesystem::exists(main.CurrentCatalogPath())) {
            main.ClearList();
            main.SetCurrentCatalogPath({});
        }
        if (!chosen.empty())
            ReportStatus(main.GetPrompts(), main.OpenCatalog(chosen));
        ReportStatus(main.GetPrompts(), main.FillLibraryTree());
    });
}

void RunSearchCommand(MainWindow& main)
{
    RunCommand(main.GetPrompts(), [&] {
        SearchRequest request;
        {
            SearchDialog dialog(&main, main.GetPrompts());
            if (dialog.exec() != QDialog::Accepted)
                return;
            request = dialog.Request();
        }
        main.SetCurrentCatalogPath({});
        if (request.scopePath.empty())
            return;
        main.ClearList();
        ListBatchSink sink(main);
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
    RunCommand(main.GetPrompts(), [&] { ShowExportDialog(main, &main, {}); });
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
