#pragma once

#include "core/catalog_tree.h"
#include "ui/tree_sort.h"

#include <QAbstractItemModel>

#include <cstddef>
#include <functional>
#include <unordered_map>
#include <vector>

namespace vellumark {

// The part every item model over a CatalogTree shares: the index's internal pointer is the
// node, and each node knows its row, so parent() needs no search.
class CatalogTreeModel : public QAbstractItemModel {
    Q_OBJECT

public:
    using QAbstractItemModel::QAbstractItemModel;

    // The whole tree in the order the views show, every level sorted. Call it on the GUI thread
    // and hand the reference to a worker: the levels still owing a sort are sorted here.
    const CatalogTree& Tree() const;
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
    // The same order, but each level is sorted only when it is first read through the model
    // (index, IndexOf, Tree), so a sort costs the levels that are shown. No index ever points
    // into a level that is still to be sorted.
    void SortTreeWhenShown(int key, SortRule rule, Qt::SortOrder order);
    // Sorts the children of the parent (nullptr: the top level) by the orders still pending for
    // them; every level, for the one that follows.
    void SortLevelWhenPending(const CatalogTreeNode* parent) const;
    void SortPendingLevels() const;
    // The tree was replaced: none of its levels owes a sort.
    void ForgetPendingSorts();
    // Runs the reordering of rows between the layout signals, each persistent index following its node.
    void Reorder(const std::function<void()>& reorder);

    // Mutable because a level is put into its order when it is first read.
    mutable CatalogTree tree_;

private:
    struct LevelOrder {
        int key;
        SortRule rule;
        bool ascending;
    };
    // Every order asked for since the tree was last sorted whole, and for each level that was
    // sorted since, how many of them it has had (a level not listed has had none).
    mutable std::vector<LevelOrder> pendingOrders_;
    mutable std::unordered_map<const CatalogTreeNode*, std::size_t> ordersApplied_;
};

}  // namespace vellumark
