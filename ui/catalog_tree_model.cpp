#include "ui/catalog_tree_model.h"

namespace vellumark {

CatalogTreeNode* CatalogTreeModel::NodeAt(const QModelIndex& index) const
{
    return index.isValid() ? static_cast<CatalogTreeNode*>(index.internalPointer()) : nullptr;
}

const CatalogTree& CatalogTreeModel::Tree() const
{
    SortPendingLevels();
    return tree_;
}

QModelIndex CatalogTreeModel::IndexOf(const CatalogTreeNode* node, int column) const
{
    if (!node)
        return {};
    SortLevelWhenPending(node->Parent());
    return createIndex(node->Row(), column, const_cast<CatalogTreeNode*>(node));
}

QModelIndex CatalogTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column < 0 || column >= columnCount() || row < 0 || (parent.isValid() && parent.column() != 0))
        return {};
    const CatalogTreeNode* owner = NodeAt(parent);
    if (row >= tree_.ChildCount(owner))
        return {};
    SortLevelWhenPending(owner);
    return createIndex(row, column, tree_.Child(owner, row));
}

QModelIndex CatalogTreeModel::parent(const QModelIndex& child) const
{
    const CatalogTreeNode* node = NodeAt(child);
    return node ? IndexOf(node->Parent()) : QModelIndex();
}

int CatalogTreeModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() && parent.column() != 0)
        return 0;
    return tree_.ChildCount(NodeAt(parent));
}

bool CatalogTreeModel::hasChildren(const QModelIndex& parent) const { return rowCount(parent) > 0; }

void CatalogTreeModel::Reorder(const std::function<void()>& reorder)
{
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    // The nodes stay where they are in memory; only their rows change, so each persistent
    // index is moved to its node's new row.
    const QModelIndexList before = persistentIndexList();
    std::vector<CatalogTreeNode*> nodes;
    nodes.reserve(static_cast<std::size_t>(before.size()));
    for (const QModelIndex& index : before)
        nodes.push_back(NodeAt(index));
    reorder();
    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i)
        after.push_back(IndexOf(nodes[static_cast<std::size_t>(i)], before[i].column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void CatalogTreeModel::SortTree(int key, SortRule rule, Qt::SortOrder order)
{
    Reorder([&] { SortTreeBy(tree_, key, rule, order == Qt::AscendingOrder); });
}

void CatalogTreeModel::SortTreeWhenShown(int key, SortRule rule, Qt::SortOrder order)
{
    // IndexOf then sorts the level of each node that a view holds on to.
    Reorder([&] { pendingOrders_.push_back({key, rule, order == Qt::AscendingOrder}); });
}

void CatalogTreeModel::SortLevelWhenPending(const CatalogTreeNode* parent) const
{
    if (pendingOrders_.empty())
        return;
    const auto found = ordersApplied_.find(parent);
    const std::size_t applied = found == ordersApplied_.end() ? 0 : found->second;
    if (applied == pendingOrders_.size())
        return;
    // Stable sorts one after another order the entries by the last sort's field, ties by the
    // one before, and so on; a field sorted again later decides nothing where it first came,
    // so only its last sort is done.
    CatalogTreeNode* level = const_cast<CatalogTreeNode*>(parent);
    for (std::size_t i = applied; i < pendingOrders_.size(); ++i) {
        const LevelOrder& order = pendingOrders_[i];
        bool sortedAgainLater = false;
        for (std::size_t later = i + 1; later < pendingOrders_.size(); ++later)
            sortedAgainLater = sortedAgainLater ||
                               (pendingOrders_[later].key == order.key && pendingOrders_[later].rule == order.rule);
        if (!sortedAgainLater)
            SortLevelBy(tree_, level, order.key, order.rule, order.ascending);
    }
    ordersApplied_[parent] = pendingOrders_.size();
}

void CatalogTreeModel::SortPendingLevels() const
{
    if (pendingOrders_.empty())
        return;
    std::vector<const CatalogTreeNode*> parents{nullptr};
    while (!parents.empty()) {
        const CatalogTreeNode* parent = parents.back();
        parents.pop_back();
        SortLevelWhenPending(parent);
        const int count = tree_.ChildCount(parent);
        for (int row = 0; row < count; ++row)
            if (const CatalogTreeNode* child = tree_.Child(parent, row); child->HasChildren())
                parents.push_back(child);
    }
    pendingOrders_.clear();
    ordersApplied_.clear();
}

void CatalogTreeModel::ForgetPendingSorts()
{
    pendingOrders_.clear();
    ordersApplied_.clear();
}

}  // namespace vellumark
