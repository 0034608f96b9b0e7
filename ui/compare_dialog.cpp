#include "ui/compare_dialog.h"

#include "ui/dialog_layout.h"
#include "ui/qt_text.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace vellumark {

CompareDialog::CompareDialog(QWidget* parent, const std::string& catalogName,
                             std::vector<std::pair<QString, std::string>> catalogs, FolderChooser chooser)
    : QDialog(parent),
      catalogs_(std::move(catalogs)),
      chooser_(std::move(chooser)),
      catalogButton_(new QRadioButton(QStringLiteral("Another &catalog:"), this)),
      folderButton_(new QRadioButton(QStringLiteral("The &folder as it is now:"), this)),
      catalogBox_(new QComboBox(this)),
      folderEdit_(new QLineEdit(this)),
      browseButton_(new QPushButton(QStringLiteral("&Browse..."), this)),
      ignoreTimesBox_(new QCheckBox(QStringLiteral("&Ignore times"), this))
{
    setObjectName(QStringLiteral("compareDialog"));
    setWindowTitle(QStringLiteral("Compare ") + ToQString(catalogName));
    catalogButton_->setObjectName(QStringLiteral("catalogButton"));
    folderButton_->setObjectName(QStringLiteral("folderButton"));
    catalogBox_->setObjectName(QStringLiteral("catalogBox"));
    folderEdit_->setObjectName(QStringLiteral("folderEdit"));
    ignoreTimesBox_->setObjectName(QStringLiteral("ignoreTimesBox"));
    for (const auto& [name, path] : catalogs_)
        catalogBox_->addItem(name);
    const int width = fontMetrics().horizontalAdvance(QLatin1Char('x')) * 44;
    catalogBox_->setMinimumWidth(width);
    folderEdit_->setMinimumWidth(width);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Compare \"%1\" with").arg(ToQString(catalogName)), this), 0, 0, 1, 3);
    grid->addWidget(catalogButton_, 1, 0);
    grid->addWidget(catalogBox_, 1, 1, 1, 2);
    grid->addWidget(folderButton_, 2, 0);
    grid->addWidget(folderEdit_, 2, 1);
    grid->addWidget(browseButton_, 2, 2);
    grid->addWidget(ignoreTimesBox_, 3, 1, 1, 2);

    connect(catalogButton_, &QRadioButton::toggled, this, &CompareDialog::ChoiceChanged);
    connect(browseButton_, &QPushButton::clicked, this, &CompareDialog::onChooseFolderClicked);
    QDialogButtonBox* buttons = OkCancelButtons(*this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);

    (catalogs_.empty() ? folderButton_ : catalogButton_)->setChecked(true);
    catalogButton_->setEnabled(!catalogs_.empty());
    ChoiceChanged();
}

void CompareDialog::ChoiceChanged()
{
    const bool folder = WithFolder();
    catalogBox_->setEnabled(!folder);
    folderEdit_->setEnabled(folder);
    browseButton_->setEnabled(folder);
}

bool CompareDialog::WithFolder() const { return folderButton_->isChecked(); }

std::string CompareDialog::OtherCatalogPath() const
{
    const int chosen = catalogBox_->currentIndex();
    return chosen < 0 ? std::string() : catalogs_[static_cast<std::size_t>(chosen)].second;
}

std::string CompareDialog::FolderPath() const { return ToStdString(folderEdit_->text().trimmed()); }

bool CompareDialog::IgnoreTimes() const { return ignoreTimesBox_->isChecked(); }

void CompareDialog::onChooseFolderClicked()
{
    if (const std::optional<std::string> chosen = chooser_(this, FolderPath())) {
        folderButton_->setChecked(true);
        folderEdit_->setText(ToQString(*chosen));
    }
}

}  // namespace vellumark
