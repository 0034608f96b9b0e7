#pragma once

#include "core/catalog_tree.h"
#include "ui/tree_sort.h"

#include <QAbstractItemModel>

namespace vellumark {

// The part every item model over a CatalogTree shares: the index's internal pointer is the
// node, and each node knows its row, so parent() needs no search.
class CatalogTreeModel : public QAbstractItemModel {
    Q_OBJECT

public:
    using QAbstractItemModel::QAbstractItemModel;

    const CatalogTree& Tree() const { return tree_; }
    CatalogTreeNode* NodeAt(const QModelIndex& index) const;
    QModelIndex IndexOf(const CatalogTreeNode* node, int column = 0) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;

protected:
    // Sorts every level of the tree (SortTreeBy) as one layout change: the views' persistent
    // indexes (the focus, the selection, the expanded rows) stay on their entries.
    void SortTree(int key, SortRule rule, Qt::SortOrder order);

    CatalogTree tree_;
};

}  // namespace vellumark
