#include "ui/library_tree_view.h"

#include "library/library_store.h"
#include "ui/tree_style.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QTreeView>
#include <QVBoxLayout>

namespace vellumark {

LibraryTreeView::LibraryTreeView(QWidget* parent)
    : QWidget(parent),
      view_(new QTreeView(this)),
      model_(new LibraryTreeModel(this)),
      contextMenu_(new QMenu(this)),
      updateAction_(contextMenu_->addAction(QStringLiteral("Update catalog..."))),
      compareAction_(contextMenu_->addAction(QStringLiteral("Compare with..."))),
      duplicatesAction_(contextMenu_->addAction(QStringLiteral("Find duplicates")))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);

    view_->setObjectName(QStringLiteral("libraryTree"));
    view_->setModel(model_);
    ApplyTreeStyle(*view_);
    view_->setRootIsDecorated(true);
    view_->setEditTriggers(QAbstractItemView::EditKeyPressed);
    view_->setAutoExpandDelay(700);
    view_->setDragDropMode(QAbstractItemView::InternalMove);
    view_->setDefaultDropAction(Qt::MoveAction);
    // A drop goes onto the row under the pointer, its edges included; rows never take drops
    // between them (the model refuses those).
    view_->setDragDropOverwriteMode(true);
    view_->header()->setSortIndicatorShown(true);
    view_->header()->setSortIndicator(-1, Qt::AscendingOrder);
    view_->header()->resizeSection(LibraryTreeModel::kNameColumn, 170);
    view_->header()->resizeSection(LibraryTreeModel::kTimeColumn, 100);
    view_->header()->resizeSection(LibraryTreeModel::kSizeColumn, 80);

    connect(view_->header(), &QHeaderView::sectionClicked, this, &LibraryTreeView::onHeaderClicked);
    connect(view_, &QTreeView::clicked, this, [this](const QModelIndex& index) {
        emit NodeClicked(model_->NodeAt(index));
    });
    connect(view_->selectionModel(), &QItemSelectionModel::currentChanged, this, &LibraryTreeView::FocusChanged);
    contextMenu_->setObjectName(QStringLiteral("libraryMenu"));
}

void LibraryTreeView::OfferContextMenu()
{
    if (view_->contextMenuPolicy() == Qt::CustomContextMenu)
        return;
    view_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view_, &QWidget::customContextMenuRequested, this, &LibraryTreeView::ContextMenuRequested);
    view_->installEventFilter(this);
}

bool LibraryTreeView::eventFilter(QObject* watched, QEvent* event)
{
    // The menu key opens the menu on the focused row, wherever the pointer is.
    if (watched == view_ && event->type() == QEvent::ContextMenu
        && static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard) {
        const QModelIndex current = view_->currentIndex();
        if (PrepareContextMenu(model_->NodeAt(current)))
            contextMenu_->popup(view_->viewport()->mapToGlobal(view_->visualRect(current).center()));
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

bool LibraryTreeView::PrepareContextMenu(CatalogTreeNode* node)
{
    if (!node)
        return false;
    view_->selectionModel()->setCurrentIndex(model_->IndexOf(node), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    const bool catalog = node->record.IsFile();
    updateAction_->setVisible(catalog);
    compareAction_->setVisible(catalog);
    duplicatesAction_->setVisible(!catalog);
    return true;
}

void LibraryTreeView::ContextMenuRequested(const QPoint& position)
{
    if (PrepareContextMenu(model_->NodeAt(view_->indexAt(position))))
        contextMenu_->popup(view_->viewport()->mapToGlobal(position));
}

Status LibraryTreeView::FillTree(const std::string& rootPath, bool groupsOnly)
{
    CatalogTree tree;
    const Status status = LoadLibraryTree(tree, rootPath, groupsOnly);
    model_->AdoptTree(std::move(tree));
    if (const CatalogTreeNode* first = model_->Tree().First()) {
        const QModelIndex root = model_->IndexOf(first);
        view_->setFocus();
        view_->selectionModel()->setCurrentIndex(root, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        view_->expand(root);
    }
    return status;
}

CatalogTreeNode* LibraryTreeView::FocusedNode() const { return model_->NodeAt(view_->currentIndex()); }

void LibraryTreeView::onHeaderClicked(int column)
{
    if (!sortColumn_)
        sortOrder_ = Qt::AscendingOrder;
    else
        sortOrder_ = sortOrder_ == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    sortColumn_ = column;
    view_->header()->setSortIndicator(column, sortOrder_);
    model_->Sort(column, sortOrder_);
}

void LibraryTreeView::FocusChanged(const QModelIndex& current, const QModelIndex& previous)
{
    // A focused node opens; the one left collapses again unless the focus went below it.
    if (previous.isValid()) {
        bool ancestor = false;
        for (QModelIndex up = current.parent(); up.isValid() && !ancestor; up = up.parent())
            ancestor = up.siblingAtColumn(0) == previous.siblingAtColumn(0);
        if (!ancestor)
            view_->collapse(previous.siblingAtColumn(0));
    }
    if (current.isValid())
        view_->expand(current.siblingAtColumn(0));
}

}  // namespace vellumark
