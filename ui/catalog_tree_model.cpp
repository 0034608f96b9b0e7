#include "ui/catalog_tree_model.h"

namespace vellumark {

CatalogTreeNode* CatalogTreeModel::NodeAt(const QModelIndex& index) const
{
    return index.isValid() ? static_cast<CatalogTreeNode*>(index.internalPointer()) : nullptr;
}

QModelIndex CatalogTreeModel::IndexOf(const CatalogTreeNode* node, int column) const
{
    if (!node)
        return {};
    return createIndex(node->Row(), column, const_cast<CatalogTreeNode*>(node));
}

QModelIndex CatalogTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column < 0 || column >= columnCount() || row < 0 || (parent.isValid() && parent.column() != 0))
        return {};
    const CatalogTreeNode* owner = NodeAt(parent);
    if (row >= tree_.ChildCount(owner))
        return {};
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

void CatalogTreeModel::SortTree(int key, SortRule rule, Qt::SortOrder order)
{
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    // The nodes stay where they are in memory; only their rows change, so each persistent
    // index is moved to its node's new row.
    const QModelIndexList before = persistentIndexList();
    std::vector<CatalogTreeNode*> nodes;
    nodes.reserve(static_cast<std::size_t>(before.size()));
    for (const QModelIndex& index : before)
        nodes.push_back(NodeAt(index));
    SortTreeBy(tree_, key, rule, order == Qt::AscendingOrder);
    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i)
        after.push_back(IndexOf(nodes[static_cast<std::size_t>(i)], before[i].column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

}  // namespace vellumark
