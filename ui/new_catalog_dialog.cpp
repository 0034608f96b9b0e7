#include "ui/new_catalog_dialog.h"

#include "config/config.h"
#include "library/library_names.h"
#include "scan/disk_name.h"
#include "scan/mask_list.h"
#include "services/messages.h"
#include "ui/catalog_tree_frame.h"
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
#include <system_error>

namespace vellumark {

namespace {

bool IsFolder(const std::string& path)
{
    std::error_code error;
    return !path.empty() && std::filesystem::is_directory(path, error);
}

bool PathTaken(const std::string& path)
{
    std::error_code error;
    return std::filesystem::exists(std::filesystem::symlink_status(path, error));
}

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

TFMNewCat::TFMNewCat(QWidget* parent, Prompts& prompts, const VolumeInfo& volumes, FolderChooser chooser)
    : QDialog(parent), prompts_(prompts), volumes_(volumes), chooser_(std::move(chooser))
{
    BuildControls();
    frmCatTree_->FillTree(ConfigInstance().GetLibraryPath(), true);
    btnAdd_->setEnabled(false);
    btnDel_->setEnabled(false);
    btnOk_->setEnabled(false);
    panel2_->hide();
    findChild<QPushButton*>(QStringLiteral("SpeedButton1"))->setFocus();
}

void TFMNewCat::BuildControls()
{
    setWindowTitle(QStringLiteral("Create a New Catalog"));
    setObjectName(QStringLiteral("FMNewCat"));

    edFileName_ = new QLineEdit(this);
    edFileName_->setObjectName(QStringLiteral("EdFileName"));
    edFileName_->setMinimumWidth(QFontMetrics(font()).averageCharWidth() * 48);
    auto* speedButton1 = new QPushButton(QStringLiteral("Open &Dialog"), this);
    speedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    edName_ = new QLineEdit(this);
    edName_->setObjectName(QStringLiteral("EdName"));
    auto* nameLabel = new QLabel(QStringLiteral("(Catalog Name)"), this);

    panel2_ = new QFrame(this);
    panel2_->setObjectName(QStringLiteral("Panel2"));
    panel2_->setFrameShape(QFrame::StyledPanel);
    auto* label2 = new QLabel(QStringLiteral("Select a group  :"), panel2_);
    frmCatTree_ = new TFrmCatTree(panel2_);
    FitLibraryTree(*frmCatTree_, {170, 100, 80}, 14);
    label2->setBuddy(frmCatTree_->VTLib());
    radioButton1_ = new QRadioButton(QStringLiteral("Only Folders"), panel2_);
    radioButton1_->setObjectName(QStringLiteral("RadioButton1"));
    rbFile_ = new QRadioButton(QStringLiteral("All Files"), panel2_);
    rbFile_->setObjectName(QStringLiteral("RBFile"));
    rbFile_->setChecked(true);
    label1_ = new QLabel(QStringLiteral("Filter  Mask(s)  :"), panel2_);
    label3_ = new QLabel(QStringLiteral("File Ext   =  "), panel2_);
    edExt_ = new QLineEdit(panel2_);
    edExt_->setObjectName(QStringLiteral("EdExt"));
    label3_->setBuddy(edExt_);
    btnAdd_ = new QPushButton(QStringLiteral("Add to list =>"), panel2_);
    btnAdd_->setObjectName(QStringLiteral("BtnAdd"));
    btnDel_ = new QPushButton(QStringLiteral("Delete from list <="), panel2_);
    btnDel_->setObjectName(QStringLiteral("BtnDel"));
    label5_ = new QLabel(QStringLiteral("Mask list:"), panel2_);
    lbExt_ = new QListWidget(panel2_);
    lbExt_->setObjectName(QStringLiteral("LBExt"));
    lbExt_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    label5_->setBuddy(lbExt_);
    auto* memo1 = new QLabel(QStringLiteral("Mask list can be \nused to filter the files \nthat to be cataloged."), panel2_);
    memo1->setObjectName(QStringLiteral("Memo1"));
    memo1->setAlignment(Qt::AlignCenter);
    memo1->setFrameShape(QFrame::StyledPanel);
    memo1->setAutoFillBackground(true);
    QPalette notePalette = memo1->palette();
    notePalette.setColor(QPalette::Window, colors::EditableCell());
    memo1->setPalette(notePalette);

    auto* speedButton4 = new QPushButton(QStringLiteral("&Advanced"), this);
    speedButton4->setObjectName(QStringLiteral("SpeedButton4"));
    btnOk_ = new QPushButton(QStringLiteral("&OK"), this);
    btnOk_->setObjectName(QStringLiteral("BtnOk"));
    btnOk_->setDefault(true);
    auto* speedButton3 = new QPushButton(QStringLiteral("&Cancel"), this);
    speedButton3->setObjectName(QStringLiteral("SpeedButton3"));

    auto* top = new QGridLayout;
    top->addWidget(edFileName_, 0, 0);
    top->addWidget(speedButton1, 0, 1);
    top->addWidget(edName_, 1, 0);
    top->addWidget(nameLabel, 1, 1);
    top->setColumnStretch(0, 1);

    auto* groupColumn = new QVBoxLayout;
    groupColumn->addWidget(label2);
    groupColumn->addWidget(frmCatTree_, 1);
    auto* maskColumn = new QVBoxLayout;
    maskColumn->addWidget(radioButton1_);
    maskColumn->addWidget(rbFile_);
    maskColumn->addWidget(label1_);
    maskColumn->addWidget(label3_);
    maskColumn->addWidget(edExt_);
    maskColumn->addWidget(btnAdd_);
    maskColumn->addWidget(btnDel_);
    maskColumn->addWidget(label5_);
    maskColumn->addWidget(lbExt_, 1);
    maskColumn->addWidget(memo1);
    auto* panelLayout = new QHBoxLayout(panel2_);
    panelLayout->addLayout(groupColumn, 3);
    panelLayout->addLayout(maskColumn, 2);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(speedButton4);
    buttons->addStretch(1);
    buttons->addWidget(btnOk_);
    buttons->addWidget(speedButton3);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(panel2_, 1);
    layout->addLayout(buttons);
    // A fixed dialog border: the window always takes the size its content asks for.
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(edFileName_, speedButton1);
    setTabOrder(speedButton1, edName_);
    setTabOrder(edName_, frmCatTree_->VTLib());
    setTabOrder(frmCatTree_->VTLib(), radioButton1_);
    setTabOrder(radioButton1_, rbFile_);
    setTabOrder(rbFile_, edExt_);
    setTabOrder(edExt_, btnAdd_);
    setTabOrder(btnAdd_, btnDel_);
    setTabOrder(btnDel_, lbExt_);
    setTabOrder(lbExt_, speedButton4);
    setTabOrder(speedButton4, btnOk_);
    setTabOrder(btnOk_, speedButton3);

    connect(speedButton1, &QPushButton::clicked, this, &TFMNewCat::SpeedButton1Click);
    connect(speedButton4, &QPushButton::clicked, this, &TFMNewCat::SpeedButton4Click);
    connect(btnAdd_, &QPushButton::clicked, this, &TFMNewCat::BtnAddClick);
    connect(btnDel_, &QPushButton::clicked, this, &TFMNewCat::BtnDelClick);
    connect(btnOk_, &QPushButton::clicked, this, &TFMNewCat::BtnOkClick);
    connect(speedButton3, &QPushButton::clicked, this, &QDialog::reject);
    connect(radioButton1_, &QRadioButton::toggled, this, &TFMNewCat::RadioClick);
    connect(edExt_, &QLineEdit::textChanged, this, [this](const QString& text) { btnAdd_->setEnabled(!text.isEmpty()); });
    connect(lbExt_, &QListWidget::itemSelectionChanged, this,
            [this] { btnDel_->setEnabled(!lbExt_->selectedItems().isEmpty()); });
    edExt_->installEventFilter(this);
}

std::vector<std::string> TFMNewCat::MaskItems() const
{
    std::vector<std::string> items;
    for (int row = 0; row < lbExt_->count(); ++row)
        items.push_back(ToStdString(lbExt_->item(row)->text()));
    return items;
}

bool TFMNewCat::eventFilter(QObject* watched, QEvent* event)
{
    // Enter in the extension box adds the mask, even while "Add to list =>" is disabled, and
    // never reaches the dialog's OK.
    if (watched == edExt_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            BtnAddClick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFMNewCat::SpeedButton1Click()
{
    if (!IsFolder(folderPath_))
        folderPath_.clear();
    if (const std::optional<std::string> chosen = chooser_(this, folderPath_))
        folderPath_ = ChosenFolderPath(*chosen, volumes_);
    edFileName_->setText(ToQString(folderPath_));
    edName_->setText(ToQString(folderPath_.empty() ? std::string() : DiskNameFromPath(folderPath_, volumes_)));
    btnOk_->setEnabled(true);
}

void TFMNewCat::SpeedButton4Click()
{
    // The window grows upward and shrinks downward: its bottom edge stays where it was, unless
    // that would push its top off the screen.
    const int bottom = geometry().bottom();
    panel2_->setVisible(panel2_->isHidden());
    layout()->activate();
    int top = y() + bottom - geometry().bottom();
    if (const QScreen* shown = screen())
        top = std::max(top, shown->availableGeometry().top());
    move(x(), top);
}

void TFMNewCat::RadioClick()
{
    const bool masks = rbFile_->isChecked();
    for (QWidget* control : std::initializer_list<QWidget*>{label1_, label3_, edExt_, btnAdd_, btnDel_, label5_, lbExt_})
        control->setEnabled(masks);
}

void TFMNewCat::BtnAddClick()
{
    std::vector<std::string> items = MaskItems();
    if (AddMaskItem(items, ToStdString(edExt_->text())))
        lbExt_->addItem(ToQString(items.back()));
}

void TFMNewCat::BtnDelClick()
{
    for (QListWidgetItem* item : lbExt_->selectedItems())
        delete item;
    btnDel_->setEnabled(false);
}

void TFMNewCat::Refuse(const char* text)
{
    prompts_.ShowMessage(messages::kWarningCaption, text, MessageIcon::Warning);
    edName_->setFocus();
}

void TFMNewCat::BtnOkClick()
{
    if (edFileName_->text().isEmpty())
        return Refuse(messages::kSelectFolderFirst);
    const std::string name = ToStdString(edName_->text());
    if (name.empty())
        return Refuse(messages::kInputCatalogName);
    // A name that would put the file outside its group is refused before any path is formed.
    if (const Status status = CheckItemName(name); !status)
        return Refuse(status.message().c_str());

    const CatalogTreeNode* group = frmCatTree_->FocusedNode();
    const std::string groupPath =
        group && group->record.IsDirectory() ? std::string(group->record.Field(kFullPath)) : ConfigInstance().GetLibraryPath();
    const std::string path = NewCatalogPath(groupPath, name);
    if (PathTaken(path) && !prompts_.AskYesNo(messages::kWarningCaption, messages::kOverwriteCatalog, MessageIcon::Warning))
        return;
    catalogFilePath_ = path;
    onlyFolders_ = radioButton1_->isChecked();
    accept();
}

}  // namespace vellumark
