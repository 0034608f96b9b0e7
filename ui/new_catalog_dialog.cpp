#include "ui/new_catalog_dialog.h"

#include "library/library_names.h"
#include "scan/disk_name.h"
#include "scan/mask_list.h"
#include "services/messages.h"
#include "system/file_status.h"
#include "ui/library_tree_view.h"
#include "ui/dialog_layout.h"
#include "ui/qt_text.h"
#include "ui/ui_colors.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <filesystem>

namespace vellumark {

namespace {

// At the default font the advanced part adds under 300 pixels (the design's panel is 276).
constexpr int kGroupTreeRows = 8;
constexpr int kMaskListRows = 4;

}  // namespace

std::optional<std::string> ChooseFolderWithDialog(QWidget* owner, const std::string& current)
{
    const QString chosen = QFileDialog::getExistingDirectory(owner, QString(), ToQString(current),
                                                             QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty())
        return std::nullopt;
    return ToStdString(chosen);
}

std::string ChosenFolderPath(const std::string& chosen, const VolumeInfo& volumes)
{
    std::string path = std::filesystem::path(chosen).lexically_normal().string();
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    if (path != "/" && volumes.IsMountRoot(path))
        path += '/';
    return path;
}

NewCatalogDialog::NewCatalogDialog(QWidget* parent, Prompts& prompts, const VolumeInfo& volumes, FolderChooser chooser,
                                   std::string libraryPath)
    : QDialog(parent), prompts_(prompts), volumes_(volumes), chooser_(std::move(chooser)), libraryPath_(std::move(libraryPath))
{
    BuildControls();
    libraryTree_->FillTree(libraryPath_, true);
    addMaskButton_->setEnabled(false);
    deleteMaskButton_->setEnabled(false);
    okButton_->setEnabled(false);
    advancedPanel_->hide();
    findChild<QPushButton*>(QStringLiteral("chooseFolderButton"))->setFocus();
}

void NewCatalogDialog::BuildControls()
{
    setWindowTitle(QStringLiteral("Create a New Catalog"));
    setObjectName(QStringLiteral("newCatalogDialog"));

    folderEdit_ = new QLineEdit(this);
    folderEdit_->setObjectName(QStringLiteral("folderEdit"));
    folderEdit_->setMinimumWidth(QFontMetrics(font()).averageCharWidth() * 48);
    auto* chooseFolderButton = new QPushButton(QStringLiteral("Open &Dialog"), this);
    chooseFolderButton->setObjectName(QStringLiteral("chooseFolderButton"));
    nameEdit_ = new QLineEdit(this);
    nameEdit_->setObjectName(QStringLiteral("nameEdit"));
    auto* nameLabel = new QLabel(QStringLiteral("(Catalog Name)"), this);

    advancedPanel_ = new QFrame(this);
    advancedPanel_->setObjectName(QStringLiteral("advancedPanel"));
    advancedPanel_->setFrameShape(QFrame::StyledPanel);
    auto* groupLabel = new QLabel(QStringLiteral("Select a group  :"), advancedPanel_);
    libraryTree_ = new LibraryTreeView(advancedPanel_);
    // Picking a group needs its name: the time and size columns scroll into view.
    FitLibraryTree(*libraryTree_, {170, 100, 80}, kGroupTreeRows, 1);
    libraryTree_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Expanding);
    groupLabel->setBuddy(libraryTree_->View());
    onlyFoldersButton_ = new QRadioButton(QStringLiteral("Only Folders"), advancedPanel_);
    onlyFoldersButton_->setObjectName(QStringLiteral("onlyFoldersButton"));
    allFilesButton_ = new QRadioButton(QStringLiteral("All Files"), advancedPanel_);
    allFilesButton_->setObjectName(QStringLiteral("allFilesButton"));
    allFilesButton_->setChecked(true);
    maskLabel_ = new QLabel(QStringLiteral("Filter  Mask(s)  :"), advancedPanel_);
    extensionLabel_ = new QLabel(QStringLiteral("File Ext   =  "), advancedPanel_);
    extensionEdit_ = new QLineEdit(advancedPanel_);
    extensionEdit_->setObjectName(QStringLiteral("extensionEdit"));
    extensionLabel_->setBuddy(extensionEdit_);
    addMaskButton_ = new QPushButton(QStringLiteral("Add to list =>"), advancedPanel_);
    addMaskButton_->setObjectName(QStringLiteral("addMaskButton"));
    deleteMaskButton_ = new QPushButton(QStringLiteral("Delete from list <="), advancedPanel_);
    deleteMaskButton_->setObjectName(QStringLiteral("deleteMaskButton"));
    maskListLabel_ = new QLabel(QStringLiteral("Mask list:"), advancedPanel_);
    maskList_ = new QListWidget(advancedPanel_);
    maskList_->setObjectName(QStringLiteral("maskList"));
    maskList_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    maskList_->setFixedHeight(maskList_->fontMetrics().height() * kMaskListRows + 2 * maskList_->frameWidth() + 4);
    maskListLabel_->setBuddy(maskList_);
    auto* maskNote = new QLabel(QStringLiteral("Mask list can be \nused to filter the files \nthat to be cataloged."), advancedPanel_);
    maskNote->setObjectName(QStringLiteral("maskNote"));
    maskNote->setAlignment(Qt::AlignCenter);
    maskNote->setFrameShape(QFrame::StyledPanel);
    maskNote->setAutoFillBackground(true);
    QPalette notePalette = maskNote->palette();
    notePalette.setColor(QPalette::Window, colors::EditableCell());
    notePalette.setColor(QPalette::WindowText, colors::EditableCellText());
    maskNote->setPalette(notePalette);

    auto* advancedButton = new QPushButton(QStringLiteral("&Advanced"), this);
    advancedButton->setObjectName(QStringLiteral("advancedButton"));
    okButton_ = new QPushButton(QStringLiteral("&OK"), this);
    okButton_->setObjectName(QStringLiteral("okButton"));
    okButton_->setDefault(true);
    auto* cancelButton = new QPushButton(QStringLiteral("&Cancel"), this);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));

    auto* top = new QGridLayout;
    top->addWidget(folderEdit_, 0, 0);
    top->addWidget(chooseFolderButton, 0, 1);
    top->addWidget(nameEdit_, 1, 0);
    top->addWidget(nameLabel, 1, 1);
    top->setColumnStretch(0, 1);

    // The group tree on the left, the masks on the right in pairs, so that the panel stays as
    // wide as the dialog and adds little height at the desktop's font.
    auto* groupColumn = new QVBoxLayout;
    groupColumn->addWidget(groupLabel);
    groupColumn->addWidget(libraryTree_, 1);
    auto* maskColumn = new QGridLayout;
    maskColumn->addWidget(onlyFoldersButton_, 0, 0);
    maskColumn->addWidget(allFilesButton_, 0, 1);
    maskColumn->addWidget(maskLabel_, 1, 0, 1, 2);
    maskColumn->addWidget(extensionLabel_, 2, 0);
    maskColumn->addWidget(extensionEdit_, 2, 1);
    maskColumn->addWidget(addMaskButton_, 3, 0);
    maskColumn->addWidget(deleteMaskButton_, 3, 1);
    maskColumn->addWidget(maskListLabel_, 4, 0, 1, 2);
    maskColumn->addWidget(maskList_, 5, 0, 1, 2);
    maskColumn->addWidget(maskNote, 6, 0, 1, 2);
    maskColumn->setRowStretch(5, 1);
    auto* panelLayout = new QHBoxLayout(advancedPanel_);
    const int gap = QFontMetrics(font()).height() / 3;
    panelLayout->setContentsMargins(gap, gap, gap, gap);
    maskColumn->setVerticalSpacing(gap);
    groupColumn->setSpacing(gap);
    panelLayout->addLayout(groupColumn, 1);
    panelLayout->addLayout(maskColumn);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(advancedButton);
    buttons->addStretch(1);
    buttons->addWidget(okButton_);
    buttons->addWidget(cancelButton);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(advancedPanel_, 1);
    layout->addLayout(buttons);
    // A fixed dialog border: the window always takes the size its content asks for, and it is
    // as wide with the advanced part hidden as with it shown.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addStrut(advancedPanel_->sizeHint().width());

    setTabOrder(folderEdit_, chooseFolderButton);
    setTabOrder(chooseFolderButton, nameEdit_);
    setTabOrder(nameEdit_, libraryTree_->View());
    setTabOrder(libraryTree_->View(), onlyFoldersButton_);
    setTabOrder(onlyFoldersButton_, allFilesButton_);
    setTabOrder(allFilesButton_, extensionEdit_);
    setTabOrder(extensionEdit_, addMaskButton_);
    setTabOrder(addMaskButton_, deleteMaskButton_);
    setTabOrder(deleteMaskButton_, maskList_);
    setTabOrder(maskList_, advancedButton);
    setTabOrder(advancedButton, okButton_);
    setTabOrder(okButton_, cancelButton);

    connect(chooseFolderButton, &QPushButton::clicked, this, &NewCatalogDialog::onChooseFolderClicked);
    connect(advancedButton, &QPushButton::clicked, this, &NewCatalogDialog::onAdvancedClicked);
    connect(addMaskButton_, &QPushButton::clicked, this, &NewCatalogDialog::onAddMaskClicked);
    connect(deleteMaskButton_, &QPushButton::clicked, this, &NewCatalogDialog::onDeleteMaskClicked);
    connect(okButton_, &QPushButton::clicked, this, &NewCatalogDialog::onOkClicked);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(onlyFoldersButton_, &QRadioButton::toggled, this, &NewCatalogDialog::onKindToggled);
    connect(extensionEdit_, &QLineEdit::textChanged, this, [this](const QString& text) { addMaskButton_->setEnabled(!text.isEmpty()); });
    connect(maskList_, &QListWidget::itemSelectionChanged, this,
            [this] { deleteMaskButton_->setEnabled(!maskList_->selectedItems().isEmpty()); });
    extensionEdit_->installEventFilter(this);
}

std::vector<std::string> NewCatalogDialog::MaskItems() const
{
    std::vector<std::string> items;
    for (int row = 0; row < maskList_->count(); ++row)
        items.push_back(ToStdString(maskList_->item(row)->text()));
    return items;
}

bool NewCatalogDialog::eventFilter(QObject* watched, QEvent* event)
{
    // Enter in the extension box adds the mask, even while "Add to list =>" is disabled, and
    // never reaches the dialog's OK.
    if (watched == extensionEdit_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            onAddMaskClicked();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void NewCatalogDialog::onChooseFolderClicked()
{
    if (!IsFolder(folderPath_))
        folderPath_.clear();
    if (const std::optional<std::string> chosen = chooser_(this, folderPath_))
        folderPath_ = ChosenFolderPath(*chosen, volumes_);
    folderEdit_->setText(ToQString(folderPath_));
    nameEdit_->setText(ToQString(folderPath_.empty() ? std::string() : DiskNameFromPath(folderPath_, volumes_)));
    okButton_->setEnabled(true);
}

void NewCatalogDialog::onAdvancedClicked()
{
    if (advancedPanel_->isVisible()) {
        // Back to exactly where and how large it was: the way up may have been cut short at
        // the top of the screen, so retracing it by the panel's height would creep downward.
        advancedPanel_->hide();
        layout()->activate();
        move(collapsedPosition_);
        return;
    }
    // The window grows upward: its bottom edge stays where it was, unless that would push its
    // top off the screen.
    collapsedPosition_ = pos();
    const int bottom = geometry().bottom();
    advancedPanel_->show();
    layout()->activate();
    int top = y() + bottom - geometry().bottom();
    if (const QScreen* shown = screen())
        top = std::max(top, shown->availableGeometry().top());
    move(x(), top);
}

void NewCatalogDialog::onKindToggled()
{
    const bool masks = allFilesButton_->isChecked();
    for (QWidget* control : std::initializer_list<QWidget*>{maskLabel_, extensionLabel_, extensionEdit_, addMaskButton_, deleteMaskButton_, maskListLabel_, maskList_})
        control->setEnabled(masks);
}

void NewCatalogDialog::onAddMaskClicked()
{
    std::vector<std::string> items = MaskItems();
    if (AddMaskItem(items, ToStdString(extensionEdit_->text())))
        maskList_->addItem(ToQString(items.back()));
}

void NewCatalogDialog::onDeleteMaskClicked()
{
    for (QListWidgetItem* item : maskList_->selectedItems())
        delete item;
    deleteMaskButton_->setEnabled(false);
}

void NewCatalogDialog::Refuse(const char* text)
{
    prompts_.ShowMessage(messages::kWarningCaption, text, MessageIcon::Warning);
    nameEdit_->setFocus();
}

void NewCatalogDialog::onOkClicked()
{
    if (folderEdit_->text().isEmpty())
        return Refuse(messages::kSelectFolderFirst);
    const std::string name = ToStdString(nameEdit_->text());
    if (name.empty())
        return Refuse(messages::kInputCatalogName);
    // A name that would put the file outside its group is refused before any path is formed.
    if (const Status status = CheckItemName(name); !status)
        return Refuse(status.message().c_str());

    const CatalogTreeNode* group = libraryTree_->FocusedNode();
    const std::string groupPath =
        group && group->record.IsDirectory() ? std::string(group->record.Field(kFullPath)) : libraryPath_;
    const std::string path = NewCatalogPath(groupPath, name);
    const bool taken = ExistsWithoutFollowing(path);
    if (taken && !prompts_.AskYesNo(messages::kWarningCaption, messages::kOverwriteCatalog, MessageIcon::Warning))
        return;
    replaceAgreed_ = taken;
    catalogFilePath_ = path;
    onlyFolders_ = onlyFoldersButton_->isChecked();
    accept();
}

}  // namespace vellumark
