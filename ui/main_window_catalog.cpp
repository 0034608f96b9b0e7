// The main window's catalog: opening, saving, editing, sorting and what the panes show of it.
#include "ui/main_window.h"

#include "config/config.h"
#include "core/catalog_file.h"
#include "library/library_names.h"
#include "services/messages.h"
#include "ui/library_tree_view.h"
#include "ui/command_guard.h"
#include "ui/detail_panel_model.h"
#include "core/entry_edit.h"
#include "ui/field_display.h"
#include "ui/file_list_model.h"
#include "ui/qt_text.h"
#include "ui/task_runner.h"

#include <QHeaderView>
#include <QLabel>
#include <QTreeView>

namespace vellumark {

Status MainWindow::OpenCatalog(const std::string& path)
{
    if (path == currentCatalogPath_)
        return Status::Ok();
    CatalogTree tree;
    const Status loaded = runner_->Run(messages::kLoadingInfo, false,
                                       [&](Progress& progress) { return ReadCatalogFile(path, tree, progress); });
    if (!loaded.ok())
        return loaded;
    AdoptListTree(std::move(tree));
    currentCatalogPath_ = path;
    if (listModel_->rowCount() > 0)
        fileList_->expand(listModel_->index(0, 0));
    return Status::Ok();
}

Status MainWindow::SaveCurrentCatalog()
{
    std::string path = currentCatalogPath_;
    // Asked here rather than on the worker, so the dialog is not hidden behind the wait window.
    if (path.empty())
        path = AskSaveFile(*prompts_, {std::string(kCatalogExtension), std::string(kCatalogFilter), ""});
    if (path.empty())
        return Status::Cancelled();
    return runner_->Run(messages::kSavingInfo, false,
                        [&](Progress& progress) { return WriteCatalogFile(listModel_->Tree(), path, progress); });
}

void MainWindow::SetEntryField(CatalogTreeNode* node, int key, const std::string& text)
{
    if (!node)
        return;
    ApplyEntryEdit(*node, key, text);
    listModel_->EntryChanged(*node, key == kFileName);
    QueueSave();
}

void MainWindow::QueueSave()
{
    // The save runs right after the edit has finished, outside the editor's own call, so the
    // wait window's event loop never runs inside a model's setData. Edits in quick succession
    // share one save.
    if (savePending_)
        return;
    savePending_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            savePending_ = false;
            Guard([this] { ReportStatus(*prompts_, SaveCurrentCatalog()); });
        },
        Qt::QueuedConnection);
}

void MainWindow::ShowDetails(const EntryRecord* record)
{
    std::vector<DetailPanelModel::Row> rows;
    if (record) {
        const ColumnSettings columns = ConfigInstance().Root().Columns();
        try {
            for (std::size_t i = 0; i < columns.Count(); ++i) {
                const std::string name = columns.Column(i).Name();
                rows.push_back({ToQString(name), FieldDisplayText(ColumnKeyIndex(name), record)});
            }
        } catch (...) {
            detailModel_->SetRows(std::move(rows));
            throw;
        }
    }
    detailModel_->SetRows(std::move(rows));
    detailModel_->SetEditable(detailsEditable_);
}

void MainWindow::SetDetailsEditable(bool editable)
{
    detailsEditable_ = editable;
    detailModel_->SetEditable(editable);
}

CatalogTreeNode* MainWindow::FocusedListNode() const { return listModel_->NodeAt(fileList_->currentIndex()); }

void MainWindow::UpdateStatusLine()
{
    std::string text = "Current Catalog: ==> ";
    if (const CatalogTreeNode* library = libraryTree_->FocusedNode()) {
        text += CatalogNameFromPath(library->record.Field(kFullPath));
        if (const CatalogTreeNode* entry = FocusedListNode())
            text += " ==> " + CatalogNameFromPath(entry->record.Field(kFileName));
    }
    statusPanel_->setText(ToQString(text));
}

void MainWindow::onLibraryNodeClicked()
{
    const CatalogTreeNode* node = libraryTree_->FocusedNode();
    if (!node) {
        ClearList();
        ShowDetails(nullptr);
        currentCatalogPath_.clear();
        SetDetailsEditable(false);
        UpdateStatusLine();
        return;
    }
    if (node->record.IsFile()) {
        const Status opened = OpenCatalog(std::string(node->record.Field(kFullPath)));
        if (!opened.ok()) {
            // The list and the detail panel keep what they showed.
            SetDetailsEditable(false);
            UpdateStatusLine();
            ReportStatus(*prompts_, opened);
            return;
        }
    } else {
        ClearList();
        currentCatalogPath_.clear();
    }
    SetDetailsEditable(false);
    ShowDetails(&node->record);
    UpdateStatusLine();
    SortList();
}

void MainWindow::onListHeaderClicked(int column)
{
    if (!listSortColumn_)
        listSortOrder_ = Qt::AscendingOrder;
    else
        listSortOrder_ = listSortOrder_ == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    listSortColumn_ = column;
    sortKey_ = listModel_->KeyOfColumn(column);
    fileList_->header()->setSortIndicator(column, listSortOrder_);
    SortList();
}

void MainWindow::SortList() { listModel_->Sort(sortKey_, listSortOrder_); }

void MainWindow::onListFocusChanged(const QModelIndex& current)
{
    if (const CatalogTreeNode* node = listModel_->NodeAt(current)) {
        SetDetailsEditable(true);
        ShowDetails(&node->record);
    } else {
        ShowDetails(nullptr);
    }
    UpdateStatusLine();
}

Status MainWindow::FillLibraryTree() { return libraryTree_->FillTree("", false); }

void MainWindow::AdoptListTree(CatalogTree tree) { listModel_->AdoptTree(std::move(tree)); }

void MainWindow::AppendListBatch(CatalogTree batch) { listModel_->AppendBatch(std::move(batch)); }

void MainWindow::ClearList() { listModel_->Clear(); }

}  // namespace vellumark
