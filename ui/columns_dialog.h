#pragma once

#include <QDialog>

class QListWidget;

namespace vellumark {

// The visible-columns dialog: one line per configured column, in the configuration's order,
// ticked when the column is shown. OK writes the ticks into the configuration and saves it.
class ColumnsDialog final : public QDialog {
    Q_OBJECT

public:
    explicit ColumnsDialog(QWidget* parent = nullptr);

    QListWidget* ColumnList() const { return list_; }

    void LoadColumns();
    void onOkClicked();

private:
    QListWidget* list_;
};

}  // namespace vellumark
