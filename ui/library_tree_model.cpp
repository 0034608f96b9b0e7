#include "ui/library_tree_model.h"

#include "ui/field_display.h"
#include "ui/qt_text.h"
#include "ui/tree_sort.h"

#include <QApplication>
#include <QMimeData>
#include <QStyle>

namespace vellumark {

namespace {

constexpr const char* kNodeMimeType = "application/x-vellumark-library-item";

}  // namespace

LibraryTreeModel::LibraryTreeModel(QObject* parent)
    : CatalogTreeModel(parent),
      headers_{QStringLiteral("CatalogName"), QStringLiteral("Create Time"), QStringLiteral("Size")}
{
}

void LibraryTreeModel::AdoptTree(CatalogTree tree)
{
    beginResetModel();
    tree_ = std::move(tree);
    ++generation_;
    endResetModel();
}

CatalogTreeNode* LibraryTreeModel::AppendNode(CatalogTreeNode* parent, EntryRecord record)
{
    const int row = tree_.ChildCount(parent);
    beginInsertRows(IndexOf(parent), row, row);
    CatalogTreeNode* node = tree_.Append(parent, std::move(record));
    endInsertRows();
    return node;
}

void LibraryTreeModel::RemoveNode(CatalogTreeNode* node)
{
    beginRemoveRows(IndexOf(node->Parent()), node->Row(), node->Row());
    tree_.Remove(node);
    endRemoveRows();
}

void LibraryTreeModel::Sort(int column, Qt::SortOrder order)
{
    static constexpr int kKeys[kColumnCount] = {kFileName, kFileTime, kFileSize};
    static constexpr SortRule kRules[kColumnCount] = {SortRule::Text, SortRule::Date, SortRule::Number};
    if (column < 0 || column >= kColumnCount)
        column = kNameColumn;
    SortTree(kKeys[column], kRules[column], order);
}

void LibraryTreeModel::SetHeaderTexts(const QStringList& texts)
{
    for (qsizetype i = 0; i < texts.size() && i < headers_.size(); ++i)
        headers_[i] = texts[i];
    emit headerDataChanged(Qt::Horizontal, 0, kColumnCount - 1);
}

QIcon LibraryTreeModel::ImageIcon(Image image)
{
    QStyle* style = QApplication::style();
    if (image == kCatalogImage)
        return QIcon::fromTheme(QStringLiteral("media-optical"), style->standardIcon(QStyle::SP_DriveCDIcon));
    return QIcon::fromTheme(QStringLiteral("folder"), style->standardIcon(QStyle::SP_DirIcon));
}

QString LibraryTreeModel::CellText(const EntryRecord& record, int column)
{
    switch (column) {
    case kNameColumn:
        return ToQString(record.Field(kFileName));
    case kTimeColumn:
        return ToQString(record.Field(kFileTime));
    case kSizeColumn:
        return record.Field(kFileType) == kKindFile ? KilobytesText(record.Field(kFileSize)) : QString();
    default:
        return {};
    }
}

int LibraryTreeModel::columnCount(const QModelIndex&) const { return kColumnCount; }

QVariant LibraryTreeModel::data(const QModelIndex& index, int role) const
{
    const CatalogTreeNode* node = NodeAt(index);
    if (!node)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return CellText(node->record, index.column());
    case Qt::EditRole:
        return ToQString(node->record.Field(kFileName));
    case Qt::DecorationRole:
        if (index.column() != kNameColumn)
            return {};
        return ImageIcon(node->record.Field(kFileType) == kKindFile ? kCatalogImage : kGroupImage);
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::AlignVCenter
                                   | (index.column() == kNameColumn ? Qt::AlignLeft : Qt::AlignRight));
    default:
        return {};
    }
}

bool LibraryTreeModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    CatalogTreeNode* node = NodeAt(index);
    if (!node || role != Qt::EditRole || index.column() != kNameColumn || !renameHandler_)
        return false;
    if (!renameHandler_(*node, value.toString()))
        return false;
    emit dataChanged(this->index(index.row(), 0, index.parent()),
                     this->index(index.row(), kColumnCount - 1, index.parent()));
    return true;
}

Qt::ItemFlags LibraryTreeModel::flags(const QModelIndex& index) const
{
    const CatalogTreeNode* node = NodeAt(index);
    if (!node)
        return moveHandler_ ? Qt::ItemIsDropEnabled : Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    if (!node->HasChildren())
        result |= Qt::ItemNeverHasChildren;
    const bool isRoot = node->Parent() == nullptr;
    if (renameHandler_ && index.column() == kNameColumn && !isRoot)
        result |= Qt::ItemIsEditable;
    if (moveHandler_) {
        if (!isRoot)
            result |= Qt::ItemIsDragEnabled;
        if (node->record.Field(kFileType) != kKindFile)
            result |= Qt::ItemIsDropEnabled;
    }
    return result;
}

QVariant LibraryTreeModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount)
        return {};
    if (role == Qt::DisplayRole)
        return headers_[section];
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignVCenter | (section == kNameColumn ? Qt::AlignLeft : Qt::AlignRight));
    return {};
}

QStringList LibraryTreeModel::mimeTypes() const { return {QString::fromLatin1(kNodeMimeType)}; }

QMimeData* LibraryTreeModel::mimeData(const QModelIndexList& indexes) const
{
    if (indexes.isEmpty() || !NodeAt(indexes.first()))
        return nullptr;
    auto* data = new QMimeData;
    // The drag stays inside this model: the tree's generation and the node's address identify
    // it, and DraggedNode checks both before anything trusts the address.
    const quintptr address = reinterpret_cast<quintptr>(NodeAt(indexes.first()));
    data->setData(QString::fromLatin1(kNodeMimeType),
                  QByteArray::number(generation_) + ':' + QByteArray::number(address));
    return data;
}

CatalogTreeNode* LibraryTreeModel::DraggedNode(const QMimeData* data) const
{
    if (!data || !data->hasFormat(QString::fromLatin1(kNodeMimeType)))
        return nullptr;
    const QList<QByteArray> parts = data->data(QString::fromLatin1(kNodeMimeType)).split(':');
    bool generationOk = false, addressOk = false;
    if (parts.size() != 2 || parts[0].toULongLong(&generationOk) != generation_ || !generationOk)
        return nullptr;
    const quintptr address = parts[1].toULongLong(&addressOk);
    if (!addressOk)
        return nullptr;
    for (CatalogTreeNode* node : tree_.PreOrder())
        if (reinterpret_cast<quintptr>(node) == address)
            return node;
    return nullptr;
}

bool LibraryTreeModel::canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int,
                                       const QModelIndex& parent) const
{
    // Only a drop onto a group's row moves: a drop between rows is what the view makes of a drop
    // onto a catalog, which refuses it, and would otherwise land in the catalog's group.
    if (row != -1)
        return false;
    const CatalogTreeNode* target = NodeAt(parent);
    return moveHandler_ && action == Qt::MoveAction && target && target->record.Field(kFileType) != kKindFile
        && DraggedNode(data) != nullptr;
}

bool LibraryTreeModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                                    const QModelIndex& parent)
{
    if (!canDropMimeData(data, action, row, column, parent))
        return false;
    moveHandler_(*DraggedNode(data), *NodeAt(parent));
    // The host reloads the tree after a move; the view must not remove the dragged row itself.
    return false;
}

}  // namespace vellumark
