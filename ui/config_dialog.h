#pragma once

#include <QDialog>

class QListWidget;

namespace vellumark {

// The visible-columns dialog: one line per configured column, in the configuration's order,
// ticked when the column is shown. OK writes the ticks into the configuration and saves it.
class TFMConfig final : public QDialog {
    Q_OBJECT

public:
    explicit TFMConfig(QWidget* parent = nullptr);

    QListWidget* CLBList() const { return list_; }

    void FormShow();
    void BitBtn1Click();

private:
    QListWidget* list_;
};

}  // namespace vellumark
