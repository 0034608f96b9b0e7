#include "ui/duplicates_dialog.h"

#include "ui/dialog_layout.h"
#include "ui/qt_text.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>

namespace vellumark {

DuplicatesDialog::DuplicatesDialog(QWidget* parent, const std::string& scopeName)
    : QDialog(parent),
      nameAndSizeButton_(new QRadioButton(QStringLiteral("Same &name and size"))),
      sizeButton_(new QRadioButton(QStringLiteral("Same &size"))),
      nameButton_(new QRadioButton(QStringLiteral("Same n&ame")))
{
    setObjectName(QStringLiteral("duplicatesDialog"));
    setWindowTitle(QStringLiteral("Find duplicates"));
    auto* box = new QGroupBox(QStringLiteral("Files in \"%1\" are copies with the").arg(ToQString(scopeName)), this);
    auto* boxLayout = new QVBoxLayout(box);
    for (QRadioButton* button : {nameAndSizeButton_, sizeButton_, nameButton_})
        boxLayout->addWidget(button);
    nameAndSizeButton_->setChecked(true);
    nameButton_->setToolTip(QStringLiteral("Names compare with the case of a to z ignored"));

    QDialogButtonBox* buttons = OkCancelButtons(*this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(box);
    layout->addWidget(buttons);
    setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('x')) * 40);
}

DuplicateKey DuplicatesDialog::Key() const
{
    if (sizeButton_->isChecked())
        return DuplicateKey::Size;
    if (nameButton_->isChecked())
        return DuplicateKey::Name;
    return DuplicateKey::NameAndSize;
}

}  // namespace vellumark
