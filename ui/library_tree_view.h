#pragma once

#include "core/catalog_tree.h"
#include "services/status.h"
#include "ui/library_tree_model.h"

#include <QWidget>

#include <optional>
#include <string>

class QAction;
class QMenu;
class QTreeView;

namespace vellumark {

// The catalog library as a tree of groups and catalogs, embedded by the main window and the
// dialogs. The view shows, sorts and answers hints; it refuses edits. A host adds its own
// reactions through View() (clicks, texts, widths) and through the model's rename and move
// handlers (editing, drag and drop).
class LibraryTreeView final : public QWidget {
    Q_OBJECT

public:
    explicit LibraryTreeView(QWidget* parent = nullptr);

    QTreeView* View() const { return view_; }
    LibraryTreeModel* Model() const { return model_; }

    // Loads the library below rootPath (the library root), groups only when asked, then
    // focuses, selects and expands the root.
    Status FillTree(const std::string& rootPath, bool groupsOnly);

    // The record of the focused node, or nullptr.
    CatalogTreeNode* FocusedNode() const;

    // The context menu's commands on the library, offered once a host has asked for the menu
    // and connected the actions to its reactions (they act on FocusedNode()).
    void OfferContextMenu();
    QMenu* ContextMenu() const { return contextMenu_; }
    QAction* UpdateAction() const { return updateAction_; }
    QAction* CompareAction() const { return compareAction_; }
    QAction* DuplicatesAction() const { return duplicatesAction_; }
    // Focuses the node and shows the commands that apply to it: the catalog commands on a
    // catalog, "Find duplicates" on a group or the root. Returns whether any is offered.
    bool PrepareContextMenu(CatalogTreeNode* node);

    // The header-click rule: the first click sorts ascending, every later one flips the
    // direction, also when another column is clicked.
    void onHeaderClicked(int column);
    std::optional<int> SortColumn() const { return sortColumn_; }
    Qt::SortOrder SortOrder() const { return sortOrder_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    // A node was clicked with the mouse (the main window opens catalogs from here).
    void NodeClicked(vellumark::CatalogTreeNode* node);

private:
    void FocusChanged(const QModelIndex& current, const QModelIndex& previous);
    void ContextMenuRequested(const QPoint& position);

    QTreeView* view_;
    LibraryTreeModel* model_;
    QMenu* contextMenu_;
    QAction* updateAction_;
    QAction* compareAction_;
    QAction* duplicatesAction_;
    std::optional<int> sortColumn_;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
};

}  // namespace vellumark
