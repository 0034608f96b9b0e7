#pragma once

#include "core/catalog_tree.h"
#include "ui/catalog_tree_model.h"

#include <QIcon>
#include <QStringList>

#include <functional>

namespace vellumark {

// The catalog library as an item model: the root, the groups and the catalogs of a CatalogTree
// of library records, in three columns (name, time, size). The model only shows and sorts;
// renaming in place and drag-and-drop moves are offered only when a host installs handlers.
class LibraryTreeModel final : public CatalogTreeModel {
    Q_OBJECT

public:
    enum Column { kNameColumn = 0, kTimeColumn = 1, kSizeColumn = 2, kColumnCount = 3 };
    // The image of a group (the root included) and of a catalog.
    enum Image { kGroupImage = 0, kCatalogImage = 1 };

    explicit LibraryTreeModel(QObject* parent = nullptr);

    // Replaces the content with a tree built elsewhere (a worker, the library store).
    void AdoptTree(CatalogTree tree);

    // Sorts every level by the column; groups stay above catalogs in both directions.
    void Sort(int column, Qt::SortOrder order);

    void SetHeaderTexts(const QStringList& texts);
    static QIcon ImageIcon(Image image);
    // The text of a cell, also its hint.
    static QString CellText(const EntryRecord& record, int column);

    // Hosts that rename in place: the handler renames on disk and returns the outcome; column 0
    // becomes editable while one is installed.
    using RenameHandler = std::function<bool(CatalogTreeNode& node, const QString& newName)>;
    void SetRenameHandler(RenameHandler handler) { renameHandler_ = std::move(handler); }
    // Hosts that move by drag and drop: items other than the root can be dragged, onto groups.
    using MoveHandler = std::function<void(CatalogTreeNode& source, CatalogTreeNode& targetGroup)>;
    void SetMoveHandler(MoveHandler handler) { moveHandler_ = std::move(handler); }
    // Hosts that change the tree node by node (the library manager): a node appended below the
    // parent (nullptr: the top level), and a node removed with everything below it.
    CatalogTreeNode* AppendNode(CatalogTreeNode* parent, EntryRecord record);
    void RemoveNode(CatalogTreeNode* node);

    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;
    Qt::DropActions supportedDropActions() const override { return Qt::MoveAction; }
    Qt::DropActions supportedDragActions() const override { return Qt::MoveAction; }

private:
    CatalogTreeNode* DraggedNode(const QMimeData* data) const;

    quint64 generation_ = 0;  // counts adopted trees, so a drag from an older tree is refused
    QStringList headers_;
    RenameHandler renameHandler_;
    MoveHandler moveHandler_;
};

}  // namespace vellumark
