// The main window's catalog as the panes show it: the details, the status line, the clicks and
// the sort.
#include "ui/main_window.h"

#include "config/config.h"
#include "library/library_names.h"
#include "ui/catalog_session.h"
#include "ui/command_guard.h"
#include "ui/detail_panel_model.h"
#include "ui/field_display.h"
#include "ui/file_list_model.h"
#include "ui/library_tree_view.h"
#include "ui/qt_text.h"

#include <QHeaderView>
#include <QLabel>
#include <QTreeView>

namespace vellumark {

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
        session_->Clear();
        ShowDetails(nullptr);
        SetDetailsEditable(false);
        UpdateStatusLine();
        return;
    }
    if (node->record.IsFile()) {
        const Status opened = session_->Open(std::string(node->record.Field(kFullPath)));
        if (!opened.ok()) {
            // The list and the detail panel keep what they showed.
            SetDetailsEditable(false);
            UpdateStatusLine();
            ReportStatus(*prompts_, opened);
            return;
        }
    } else {
        session_->Clear();
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

Status MainWindow::FillLibraryTree(const std::string& libraryPath) { return libraryTree_->FillTree(libraryPath, false); }

void MainWindow::ExpandCatalogRoot()
{
    if (listModel_->rowCount() > 0)
        fileList_->expand(listModel_->index(0, 0));
}

}  // namespace vellumark
