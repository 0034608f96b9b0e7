#pragma once

#include "ui/column_description.h"

#include <QDialog>

#include <vector>

class QListWidget;

namespace vellumark {

// The visible-columns dialog: one line per configured column, in the configuration's order,
// ticked when the column is shown. OK hands the ticks to the store (the configuration, saved).
class ColumnsDialog final : public QDialog {
    Q_OBJECT

public:
    ColumnsDialog(QWidget* parent, const std::vector<ColumnDescription>& columns, ColumnFlagsStore storeVisible);

    QListWidget* ColumnList() const { return list_; }

    void onOkClicked();

private:
    void LoadColumns(const std::vector<ColumnDescription>& columns);

    QListWidget* list_;
    ColumnFlagsStore storeVisible_;
};

}  // namespace vellumark
