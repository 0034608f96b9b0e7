#include "ui/catalog_tree_frame.h"

#include "config/config.h"
#include "library/library_store.h"
#include "ui/tree_style.h"

#include <QHeaderView>
#include <QTreeView>
#include <QVBoxLayout>

namespace vellumark {

TFrmCatTree::TFrmCatTree(QWidget* parent)
    : QWidget(parent), vtLib_(new QTreeView(this)), model_(new LibraryTreeModel(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(vtLib_);

    vtLib_->setObjectName(QStringLiteral("VTLib"));
    vtLib_->setModel(model_);
    ApplyTreeStyle(*vtLib_);
    vtLib_->setRootIsDecorated(true);
    vtLib_->setEditTriggers(QAbstractItemView::EditKeyPressed);
    vtLib_->setAutoExpandDelay(700);
    vtLib_->setDragDropMode(QAbstractItemView::InternalMove);
    vtLib_->setDefaultDropAction(Qt::MoveAction);
    vtLib_->header()->setSortIndicatorShown(true);
    vtLib_->header()->setSortIndicator(-1, Qt::AscendingOrder);
    vtLib_->header()->resizeSection(LibraryTreeModel::kNameColumn, 170);
    vtLib_->header()->resizeSection(LibraryTreeModel::kTimeColumn, 100);
    vtLib_->header()->resizeSection(LibraryTreeModel::kSizeColumn, 80);

    connect(vtLib_->header(), &QHeaderView::sectionClicked, this, &TFrmCatTree::VTLibHeaderClick);
    connect(vtLib_, &QTreeView::clicked, this, [this](const QModelIndex& index) {
        emit NodeClicked(model_->NodeAt(index));
    });
    connect(vtLib_->selectionModel(), &QItemSelectionModel::currentChanged, this, &TFrmCatTree::FocusChanged);
}

Status TFrmCatTree::FillTree(const std::string& rootPath, bool groupsOnly)
{
    CatalogTree tree;
    const Status status =
        LoadLibraryTree(tree, rootPath.empty() ? ConfigInstance().GetLibraryPath() : rootPath, groupsOnly);
    model_->AdoptTree(std::move(tree));
    if (const CatalogTreeNode* first = model_->Tree().First()) {
        const QModelIndex root = model_->IndexOf(first);
        vtLib_->setFocus();
        vtLib_->selectionModel()->setCurrentIndex(root, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        vtLib_->expand(root);
    }
    return status;
}

CatalogTreeNode* TFrmCatTree::FocusedNode() const { return model_->NodeAt(vtLib_->currentIndex()); }

void TFrmCatTree::VTLibHeaderClick(int column)
{
    if (!sortColumn_)
        sortOrder_ = Qt::AscendingOrder;
    else
        sortOrder_ = sortOrder_ == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    sortColumn_ = column;
    vtLib_->header()->setSortIndicator(column, sortOrder_);
    model_->Sort(column, sortOrder_);
}

void TFrmCatTree::FocusChanged(const QModelIndex& current, const QModelIndex& previous)
{
    // A focused node opens; the one left collapses again unless the focus went below it.
    if (previous.isValid()) {
        bool ancestor = false;
        for (QModelIndex up = current.parent(); up.isValid() && !ancestor; up = up.parent())
            ancestor = up.siblingAtColumn(0) == previous.siblingAtColumn(0);
        if (!ancestor)
            vtLib_->collapse(previous.siblingAtColumn(0));
    }
    if (current.isValid())
        vtLib_->expand(current.siblingAtColumn(0));
}

}  // namespace vellumark
