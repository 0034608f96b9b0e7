#pragma once

#include "search/duplicates.h"

#include <QDialog>

#include <string>

class QRadioButton;

namespace vellumark {

// "Find duplicates": what makes two files copies, for the group's catalogs.
class DuplicatesDialog final : public QDialog {
    Q_OBJECT

public:
    DuplicatesDialog(QWidget* parent, const std::string& scopeName);

    DuplicateKey Key() const;

    QRadioButton* NameAndSizeButton() const { return nameAndSizeButton_; }
    QRadioButton* SizeButton() const { return sizeButton_; }
    QRadioButton* NameButton() const { return nameButton_; }

private:
    QRadioButton* nameAndSizeButton_;
    QRadioButton* sizeButton_;
    QRadioButton* nameButton_;
};

}  // namespace vellumark
