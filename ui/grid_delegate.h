#pragma once

#include <QStyledItemDelegate>

namespace vellumark {

// Draws the horizontal and vertical grid lines of the program's tree lists around each cell.
class GridDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

}  // namespace vellumark
