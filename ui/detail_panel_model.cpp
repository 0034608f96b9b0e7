#include "ui/detail_panel_model.h"

#include "ui/field_display.h"
#include "ui/qt_text.h"
#include "ui/ui_colors.h"

#include <QBrush>

namespace vellumark {

namespace {

const QString kEditableKeys = QStringLiteral("FileName;Description");

}  // namespace

DetailPanelModel::DetailPanelModel(QObject* parent) : QAbstractTableModel(parent) {}

void DetailPanelModel::SetRows(std::vector<Row> rows)
{
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

void DetailPanelModel::SetEditable(bool editable)
{
    if (editable_ == editable)
        return;
    editable_ = editable;
    if (!rows_.empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, 1));
}

bool DetailPanelModel::IsEditableCell(int row, int column) const
{
    return editable_ && column == 1 && row >= 0 && row < rowCount()
        && kEditableKeys.contains(rows_[static_cast<std::size_t>(row)].key);
}

int DetailPanelModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int DetailPanelModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 2; }

QVariant DetailPanelModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const Row& row = rows_[static_cast<std::size_t>(index.row())];
    const bool editable = IsEditableCell(index.row(), index.column());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return index.column() == 0 ? row.key : row.value;
    case Qt::ToolTipRole:
        if (index.column() != 1)
            return row.key;
        return editable ? EditHint(row.value, ToStdString(row.key)) : row.value;
    case Qt::BackgroundRole:
        return editable ? QBrush(colors::EditableCell()) : QVariant();
    case Qt::ForegroundRole:
        return editable ? QBrush(colors::EditableCellText()) : QVariant();
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::AlignVCenter | (index.column() == 0 ? Qt::AlignLeft : Qt::AlignRight));
    default:
        return {};
    }
}

bool DetailPanelModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !checkIndex(index, CheckIndexOption::IndexIsValid)
        || !IsEditableCell(index.row(), index.column()))
        return false;
    const int row = index.row();
    const QString key = rows_[static_cast<std::size_t>(row)].key;
    const QString text = value.toString();
    if (editHandler_)
        editHandler_(key, text);
    // The handler may have refilled the panel; the typed text goes to the row only if it is
    // still the one that was edited.
    if (row < rowCount() && rows_[static_cast<std::size_t>(row)].key == key) {
        rows_[static_cast<std::size_t>(row)].value = text;
        emit dataChanged(this->index(row, 1), this->index(row, 1));
    }
    return true;
}

Qt::ItemFlags DetailPanelModel::flags(const QModelIndex& index) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
    if (IsEditableCell(index.row(), index.column()))
        result |= Qt::ItemIsEditable;
    return result;
}

QVariant DetailPanelModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section > 1)
        return {};
    return section == 0 ? QStringLiteral("Key") : QStringLiteral("Value");
}

}  // namespace vellumark
