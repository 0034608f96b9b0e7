#include "ui/file_list_model.h"

#include "ui/field_display.h"
#include "ui/qt_text.h"
#include "ui/ui_colors.h"

#include <QBrush>

namespace vellumark {

FileListModel::FileListModel(QObject* parent) : CatalogTreeModel(parent) {}

void FileListModel::SetColumns(std::vector<ListColumn> columns)
{
    beginResetModel();
    columns_ = std::move(columns);
    endResetModel();
}

int FileListModel::KeyOfColumn(int column) const
{
    if (column < 0 || static_cast<std::size_t>(column) >= columns_.size())
        return kFileName;
    return columns_[static_cast<std::size_t>(column)].key;
}

void FileListModel::AdoptTree(CatalogTree tree)
{
    beginResetModel();
    tree_ = std::move(tree);
    ForgetPendingSorts();
    endResetModel();
}

void FileListModel::AppendBatch(CatalogTree batch)
{
    const int count = batch.TopLevelCount();
    if (count == 0)
        return;
    // Appended entries keep the order they come in, as with a sort done before them.
    SortPendingLevels();
    const int first = tree_.TopLevelCount();
    beginInsertRows({}, first, first + count - 1);
    std::vector<std::pair<const CatalogTreeNode*, CatalogTreeNode*>> pending;
    // Iterative copy in order (the stack is filled back to front): a batch may hold entries of
    // any depth.
    for (int row = count - 1; row >= 0; --row)
        pending.emplace_back(batch.TopLevel(row), nullptr);
    while (!pending.empty()) {
        const auto [from, parent] = pending.back();
        pending.pop_back();
        CatalogTreeNode* copy = tree_.Append(parent, from->record);
        for (int row = from->ChildCount() - 1; row >= 0; --row)
            pending.emplace_back(from->Child(row), copy);
    }
    endInsertRows();
}

void FileListModel::Clear() { AdoptTree(CatalogTree()); }

void FileListModel::Sort(int key, Qt::SortOrder order) { SortTreeWhenShown(key, SortRuleOfKey(key), order); }

void FileListModel::EntryChanged(const CatalogTreeNode& node, bool withDescendants)
{
    const int last = columnCount() - 1;
    if (last < 0)
        return;
    emit dataChanged(IndexOf(&node, 0), IndexOf(&node, last));
    if (!withDescendants)
        return;
    std::vector<const CatalogTreeNode*> pending{&node};
    while (!pending.empty()) {
        const CatalogTreeNode* current = pending.back();
        pending.pop_back();
        if (!current->HasChildren())
            continue;
        SortLevelWhenPending(current);
        emit dataChanged(IndexOf(current->Child(0), 0), IndexOf(current->Child(current->ChildCount() - 1), last));
        for (int row = 0; row < current->ChildCount(); ++row)
            pending.push_back(current->Child(row));
    }
}

int FileListModel::columnCount(const QModelIndex&) const { return static_cast<int>(columns_.size()); }

QVariant FileListModel::Icon(const CatalogTreeNode& node, bool open) const
{
    if (node.record.IsDirectory())
        return open ? icons_.FolderOpen() : icons_.FolderClosed();
    return icons_.ForFileName(node.record.Field(kFileName));
}

QVariant FileListModel::data(const QModelIndex& index, int role) const
{
    const CatalogTreeNode* node = NodeAt(index);
    if (!node || index.column() >= columnCount())
        return {};
    const ListColumn& column = columns_[static_cast<std::size_t>(index.column())];
    if (column.key == kFileName && rowMarks_ && (role == Qt::DecorationRole || role == kOpenIconRole || role == Qt::ToolTipRole)) {
        if (const RowMark* mark = rowMarks_(*node)) {
            if (role == Qt::ToolTipRole && !mark->toolTip.isEmpty())
                return mark->toolTip;
            if (role != Qt::ToolTipRole && !mark->icon.isNull())
                return mark->icon;
        }
    }
    switch (role) {
    case Qt::DisplayRole:
        return FieldDisplayText(column.key, &node->record);
    case Qt::EditRole:
        return ToQString(node->record.Field(column.key));
    case Qt::ToolTipRole: {
        const QString text = FieldDisplayText(column.key, &node->record);
        if (column.key == kFileName || column.key == kDescription)
            return EditHint(text, kColumnKeys[static_cast<std::size_t>(column.key)]);
        return text;
    }
    case Qt::DecorationRole:
        return column.key == kFileName ? Icon(*node, false) : QVariant();
    case kOpenIconRole:
        return column.key == kFileName ? Icon(*node, true) : QVariant();
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(column.alignment | Qt::AlignVCenter);
    case Qt::BackgroundRole:
        return QBrush(column.readOnly ? colors::TreeBackground() : colors::EditableCell());
    case Qt::ForegroundRole:
        return QBrush(column.readOnly ? colors::TextOnLight() : colors::EditableCellText());
    default:
        return {};
    }
}

bool FileListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    CatalogTreeNode* node = NodeAt(index);
    if (!node || role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable) || !editHandler_)
        return false;
    editHandler_(*node, KeyOfColumn(index.column()), ToStdString(value.toString()));
    return true;
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const
{
    const CatalogTreeNode* node = NodeAt(index);
    if (!node || index.column() >= columnCount())
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    if (!node->HasChildren())
        result |= Qt::ItemNeverHasChildren;
    if (!columns_[static_cast<std::size_t>(index.column())].readOnly)
        result |= Qt::ItemIsEditable;
    return result;
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return {};
    const ListColumn& column = columns_[static_cast<std::size_t>(section)];
    if (role == Qt::DisplayRole)
        return ToQString(column.name);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(column.alignment | Qt::AlignVCenter);
    return {};
}

}  // namespace vellumark
