#include "ui/search_dialog.h"

#include "core/column_keys.h"
#include "services/messages.h"
#include "ui/library_tree_view.h"
#include "ui/dialog_layout.h"
#include "ui/qt_text.h"
#include "ui/ui_colors.h"

#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace vellumark {

SearchDialog::SearchDialog(QWidget* parent, Prompts& prompts, const std::string& libraryPath)
    : QDialog(parent), prompts_(prompts)
{
    setWindowTitle(QStringLiteral("File Search"));
    setObjectName(QStringLiteral("searchDialog"));

    auto* panel = new QFrame(this);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    libraryTree_ = new LibraryTreeView(panel);
    libraryTree_->View()->setToolTip(QStringLiteral("Select to search"));
    FitLibraryTree(*libraryTree_, {170, 100, 80}, 14);

    const auto makeEdit = [panel](const char* name) {
        auto* edit = new QLineEdit(panel);
        edit->setObjectName(QString::fromLatin1(name));
        return edit;
    };
    nameEdit_ = makeEdit("nameEdit");
    extensionEdit_ = makeEdit("extensionEdit");
    descriptionEdit_ = makeEdit("descriptionEdit");
    auto* nameLabel = new QLabel(QStringLiteral("FileName : "), panel);
    auto* extensionLabel = new QLabel(QStringLiteral("FileExt : "), panel);
    auto* descriptionLabel = new QLabel(QStringLiteral("Description: "), panel);
    nameLabel->setBuddy(nameEdit_);
    extensionLabel->setBuddy(extensionEdit_);
    descriptionLabel->setBuddy(descriptionEdit_);
    caseSensitiveBox_ = new QCheckBox(QStringLiteral("Case censitive"), panel);
    caseSensitiveBox_->setObjectName(QStringLiteral("caseSensitiveBox"));
    wholeValuesBox_ = new QCheckBox(QStringLiteral("Whole words"), panel);
    wholeValuesBox_->setObjectName(QStringLiteral("wholeValuesBox"));
    auto* scopeNote = new QLabel(QStringLiteral("Select a group or catalog on the left to \ndefine the scope of search"), panel);
    scopeNote->setObjectName(QStringLiteral("scopeNote"));
    scopeNote->setAlignment(Qt::AlignCenter);
    scopeNote->setFrameShape(QFrame::StyledPanel);
    scopeNote->setAutoFillBackground(true);
    scopeNote->setFocusPolicy(Qt::TabFocus);
    QPalette notePalette = scopeNote->palette();
    notePalette.setColor(QPalette::Window, colors::EditableCell());
    notePalette.setColor(QPalette::WindowText, colors::EditableCellText());
    scopeNote->setPalette(notePalette);

    auto* fields = new QGridLayout;
    fields->addWidget(nameLabel, 0, 0);
    fields->addWidget(nameEdit_, 0, 1);
    fields->addWidget(extensionLabel, 1, 0);
    fields->addWidget(extensionEdit_, 1, 1);
    fields->addWidget(descriptionLabel, 2, 0);
    fields->addWidget(descriptionEdit_, 2, 1);
    fields->addWidget(caseSensitiveBox_, 3, 1);
    fields->addWidget(wholeValuesBox_, 4, 1);
    fields->setRowStretch(5, 1);
    fields->addWidget(scopeNote, 6, 0, 1, 2);
    auto* panelLayout = new QHBoxLayout(panel);
    panelLayout->addWidget(libraryTree_, 1);
    panelLayout->addLayout(fields);

    auto* okButton = new QPushButton(QStringLiteral("&OK"), this);
    okButton->setObjectName(QStringLiteral("okButton"));
    okButton->setDefault(true);
    auto* cancelButton = new QPushButton(QStringLiteral("&Cancel"), this);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(panel, 1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(libraryTree_->View(), nameEdit_);
    setTabOrder(nameEdit_, extensionEdit_);
    setTabOrder(extensionEdit_, descriptionEdit_);
    setTabOrder(descriptionEdit_, caseSensitiveBox_);
    setTabOrder(caseSensitiveBox_, wholeValuesBox_);
    setTabOrder(wholeValuesBox_, scopeNote);
    setTabOrder(scopeNote, okButton);
    setTabOrder(okButton, cancelButton);

    connect(okButton, &QPushButton::clicked, this, &SearchDialog::onOkClicked);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);

    libraryTree_->FillTree(libraryPath, false);
}

SearchRequest SearchDialog::Request() const
{
    SearchRequest request;
    if (const CatalogTreeNode* scope = libraryTree_->FocusedNode()) {
        request.scopePath = std::string(scope->record.Field(kFullPath));
        request.scopeIsGroup = scope->record.IsDirectory();
    }
    request.namePattern = ToStdString(nameEdit_->text());
    request.extensionPattern = ToStdString(extensionEdit_->text());
    request.descriptionPattern = ToStdString(descriptionEdit_->text());
    request.caseSensitive = caseSensitiveBox_->isChecked();
    request.wholeValues = wholeValuesBox_->isChecked();
    return request;
}

void SearchDialog::onOkClicked()
{
    if (const Status status = CheckSearchCondition(Request()); !status) {
        prompts_.ShowMessage(messages::kWarningCaption, status.message(), MessageIcon::Warning);
        return;
    }
    accept();
}

}  // namespace vellumark
