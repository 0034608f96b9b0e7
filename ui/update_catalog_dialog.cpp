#include "ui/update_catalog_dialog.h"

#include "scan/mask_list.h"
#include "ui/dialog_layout.h"
#include "ui/qt_text.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

namespace vellumark {

UpdateCatalogDialog::UpdateCatalogDialog(QWidget* parent, const std::string& catalogName, const std::string& folder,
                                         bool onlyFolders, const QString& note, FolderChooser chooser)
    : QDialog(parent),
      chooser_(std::move(chooser)),
      folderEdit_(new QLineEdit(ToQString(folder), this)),
      extensionsEdit_(new QLineEdit(this)),
      onlyFoldersBox_(new QCheckBox(QStringLiteral("&Only folders"), this))
{
    setObjectName(QStringLiteral("updateCatalogDialog"));
    setWindowTitle(QStringLiteral("Update catalog ") + ToQString(catalogName));
    folderEdit_->setObjectName(QStringLiteral("folderEdit"));
    folderEdit_->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('x')) * 48);
    extensionsEdit_->setObjectName(QStringLiteral("extensionsEdit"));
    extensionsEdit_->setPlaceholderText(QStringLiteral("every file"));
    extensionsEdit_->setToolTip(QStringLiteral("Extensions separated by spaces, e.g. mp3 avi"));
    onlyFoldersBox_->setObjectName(QStringLiteral("onlyFoldersBox"));
    onlyFoldersBox_->setChecked(onlyFolders);

    auto* browse = new QPushButton(QStringLiteral("&Browse..."), this);
    browse->setObjectName(QStringLiteral("browseButton"));
    connect(browse, &QPushButton::clicked, this, &UpdateCatalogDialog::onChooseFolderClicked);
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(folderEdit_, 1);
    folderRow->addWidget(browse);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Scan the &folder:"), folderRow);
    form->addRow(QStringLiteral("Only the &extensions:"), extensionsEdit_);
    form->addRow(QString(), onlyFoldersBox_);
    static_cast<QLabel*>(form->labelForField(folderRow))->setBuddy(folderEdit_);

    auto* explanation = new QLabel(QStringLiteral("Entries found again keep their descriptions; the root keeps its name."), this);
    explanation->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(explanation);
    if (!note.isEmpty()) {
        auto* noteLabel = new QLabel(note, this);
        noteLabel->setObjectName(QStringLiteral("noteLabel"));
        noteLabel->setWordWrap(true);
        layout->addWidget(noteLabel);
    }
    layout->addLayout(form);
    QDialogButtonBox* buttons = OkCancelButtons(*this);
    layout->addWidget(buttons);
    folderEdit_->setFocus();
}

std::string UpdateCatalogDialog::FolderPath() const { return ToStdString(folderEdit_->text().trimmed()); }

std::vector<std::string> UpdateCatalogDialog::MaskItems() const
{
    std::vector<std::string> items;
    for (QString typed : extensionsEdit_->text().split(QRegularExpression(QStringLiteral("[\\s,;]+")), Qt::SkipEmptyParts)) {
        while (typed.startsWith(QLatin1Char('*')) || typed.startsWith(QLatin1Char('.')))
            typed.remove(0, 1);
        if (!typed.isEmpty())
            AddMaskItem(items, ToStdString(typed));
    }
    return items;
}

bool UpdateCatalogDialog::OnlyFolders() const { return onlyFoldersBox_->isChecked(); }

void UpdateCatalogDialog::onChooseFolderClicked()
{
    if (const std::optional<std::string> chosen = chooser_(this, FolderPath()))
        folderEdit_->setText(ToQString(*chosen));
}

}  // namespace vellumark
