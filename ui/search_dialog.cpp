#include "ui/search_dialog.h"

#include "core/column_keys.h"
#include "services/messages.h"
#include "ui/library_tree_view.h"
#include "ui/dialog_layout.h"
#include "ui/qt_text.h"
#include "ui/ui_colors.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace vellumark {

SearchDialog::SearchDialog(QWidget* parent, Prompts& prompts, const std::string& libraryPath)
    : QDialog(parent), prompts_(prompts), libraryPath_(libraryPath)
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
    moreConditions_ = MakeMoreConditions();
    moreConditionsButton_ = new QToolButton(this);
    moreConditionsButton_->setObjectName(QStringLiteral("moreConditionsButton"));
    moreConditionsButton_->setText(QStringLiteral("More conditions"));
    moreConditionsButton_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    moreConditionsButton_->setArrowType(Qt::RightArrow);
    moreConditionsButton_->setCheckable(true);
    moreConditionsButton_->setAutoRaise(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(moreConditionsButton_);
    buttons->addStretch(1);
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(panel, 1);
    layout->addWidget(moreConditions_);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    // Closed at every start: the dialog remembers nothing between uses.
    moreConditions_->setVisible(false);

    setTabOrder(libraryTree_->View(), nameEdit_);
    setTabOrder(nameEdit_, extensionEdit_);
    setTabOrder(extensionEdit_, descriptionEdit_);
    setTabOrder(descriptionEdit_, caseSensitiveBox_);
    setTabOrder(caseSensitiveBox_, wholeValuesBox_);
    setTabOrder(wholeValuesBox_, scopeNote);
    setTabOrder(scopeNote, okButton);
    setTabOrder(okButton, cancelButton);
    setTabOrder(cancelButton, moreConditionsButton_);
    setTabOrder(moreConditionsButton_, minSizeEdit_);
    setTabOrder(minSizeEdit_, maxSizeEdit_);
    setTabOrder(maxSizeEdit_, timeFromEdit_);
    setTabOrder(timeFromEdit_, timeBeforeEdit_);
    setTabOrder(timeBeforeEdit_, kindBox_);
    setTabOrder(kindBox_, regularExpressionsBox_);

    connect(okButton, &QPushButton::clicked, this, &SearchDialog::onOkClicked);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(moreConditionsButton_, &QToolButton::toggled, this, [this](bool open) {
        moreConditionsButton_->setArrowType(open ? Qt::DownArrow : Qt::RightArrow);
        moreConditions_->setVisible(open);
    });

    libraryTree_->FillTree(libraryPath, false);
}

QWidget* SearchDialog::MakeMoreConditions()
{
    auto* section = new QFrame(this);
    section->setObjectName(QStringLiteral("moreConditions"));
    section->setFrameStyle(QFrame::Panel | QFrame::Raised);
    const auto makeEdit = [section](const char* name, const char* hint) {
        auto* edit = new QLineEdit(section);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setPlaceholderText(QString::fromLatin1(hint));
        return edit;
    };
    minSizeEdit_ = makeEdit("minSizeEdit", "bytes, or 100K, 5M, 2G");
    maxSizeEdit_ = makeEdit("maxSizeEdit", "bytes, or 100K, 5M, 2G");
    timeFromEdit_ = makeEdit("timeFromEdit", "YYYY-MM-DD [HH:MM:SS]");
    timeBeforeEdit_ = makeEdit("timeBeforeEdit", "YYYY-MM-DD [HH:MM:SS]");
    kindBox_ = new QComboBox(section);
    kindBox_->setObjectName(QStringLiteral("kindBox"));
    kindBox_->addItems({QStringLiteral("Any"), QStringLiteral("File"), QStringLiteral("Folder")});
    regularExpressionsBox_ = new QCheckBox(QStringLiteral("Regular expressions"), section);
    regularExpressionsBox_->setObjectName(QStringLiteral("regularExpressionsBox"));
    regularExpressionsBox_->setToolTip(QStringLiteral("FileName, FileExt and Description are regular expressions"));

    auto* sizes = new QFormLayout;
    sizes->addRow(QStringLiteral("Size at least:"), minSizeEdit_);
    sizes->addRow(QStringLiteral("Size at most:"), maxSizeEdit_);
    sizes->addRow(QStringLiteral("Kind:"), kindBox_);
    auto* times = new QFormLayout;
    times->addRow(QStringLiteral("Time from:"), timeFromEdit_);
    times->addRow(QStringLiteral("Time before:"), timeBeforeEdit_);
    times->addRow(QString(), regularExpressionsBox_);
    auto* layout = new QHBoxLayout(section);
    layout->addLayout(sizes);
    layout->addLayout(times);
    return section;
}

Status SearchDialog::ReadMoreConditions(SearchRequest& request) const
{
    // A closed section takes no part, whatever it holds.
    if (!moreConditionsButton_->isChecked())
        return Status::Ok();
    const std::pair<QLineEdit*, std::optional<std::uint64_t>*> sizes[] = {{minSizeEdit_, &request.minSize},
                                                                         {maxSizeEdit_, &request.maxSize}};
    for (const auto& [edit, bound] : sizes) {
        if (edit->text().isEmpty())
            continue;
        std::uint64_t bytes = 0;
        if (Status status = ParseSizeBound(ToStdString(edit->text()), bytes); !status)
            return status;
        *bound = bytes;
    }
    const std::pair<QLineEdit*, std::optional<double>*> times[] = {{timeFromEdit_, &request.timeFrom},
                                                                  {timeBeforeEdit_, &request.timeBefore}};
    for (const auto& [edit, bound] : times) {
        if (edit->text().isEmpty())
            continue;
        double seconds = 0;
        if (Status status = ParseTimeBound(ToStdString(edit->text()), seconds); !status)
            return status;
        *bound = seconds;
    }
    request.kind = kindBox_->currentIndex() == 1 ? EntryKind::File
                 : kindBox_->currentIndex() == 2 ? EntryKind::Directory
                                                 : EntryKind::Any;
    request.regularExpressions = regularExpressionsBox_->isChecked();
    return Status::Ok();
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
    request.libraryRoot = libraryPath_;
    SearchRequest further = request;
    if (ReadMoreConditions(further).ok())
        request = std::move(further);
    return request;
}

void SearchDialog::onOkClicked()
{
    // Without a scope the dialog's first check speaks; then a bound that is no bound, then
    // the remaining checks (no condition at all, an expression the library refuses).
    SearchRequest request = Request();
    Status status = request.scopePath.empty() ? CheckSearchCondition(request) : ReadMoreConditions(request);
    if (status.ok())
        status = CheckSearchCondition(request);
    if (!status) {
        prompts_.ShowMessage(messages::kWarningCaption, status.message(), MessageIcon::Warning);
        return;
    }
    accept();
}

}  // namespace vellumark
