#include "ui/library_manager_dialog.h"

#include "config/config.h"
#include "library/library_names.h"
#include "library/library_ops.h"
#include "services/messages.h"
#include "services/text_format.h"
#include "ui/catalog_tree_frame.h"
#include "ui/dialog_layout.h"
#include "ui/grid_delegate.h"
#include "ui/qt_text.h"
#include "ui/ui_colors.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPainter>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <ctime>

namespace vellumark {

namespace {

constexpr const char* kNewGroupName = "NewGroup";

// The name column of the manager's tree: the editable cells' background under the grid.
class NameColumnDelegate final : public GridDelegate {
public:
    using GridDelegate::GridDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        painter->fillRect(option.rect, colors::EditableCell());
        GridDelegate::paint(painter, option, index);
    }
};

bool IsBelow(const CatalogTreeNode* node, const CatalogTreeNode* ancestor)
{
    for (const CatalogTreeNode* up = node->Parent(); up; up = up->Parent())
        if (up == ancestor)
            return true;
    return false;
}

// After a group got a new folder path, the paths below it move onto the new prefix, so that
// opening or exporting a catalog inside it works while the dialog stays open.
void MoveDescendantPaths(CatalogTreeNode& group, const std::string& oldPath, const std::string& newPath)
{
    const std::string oldPrefix = EnsureTrailingDelimiter(oldPath);
    const std::string newPrefix = EnsureTrailingDelimiter(newPath);
    for (CatalogTreeNode* node : CatalogTree::Descendants(group)) {
        const std::string_view path = node->record.Field(kFullPath);
        if (path.substr(0, oldPrefix.size()) == oldPrefix)
            node->record.SetField(kFullPath, newPrefix + std::string(path.substr(oldPrefix.size())));
    }
}

}  // namespace

TFMCatLib::TFMCatLib(QWidget* parent, Prompts& prompts, const VolumeInfo& volumes, ExportOpener exportOpener)
    : QDialog(parent), prompts_(prompts), volumes_(volumes), exportOpener_(std::move(exportOpener))
{
    BuildControls();
    btnOpen_->setEnabled(false);
    btnExport_->setEnabled(false);
    btnDel_->setEnabled(false);
    FillTree();
}

TFMCatLib::~TFMCatLib()
{
    // An editor still open is committed while the child widgets are torn down, after this
    // object is gone: the frame's model must no longer call back into it.
    frmCatTree_->Model()->SetRenameHandler(nullptr);
    frmCatTree_->Model()->SetMoveHandler(nullptr);
    disconnect(frmCatTree_->VTLib()->itemDelegateForColumn(0), nullptr, this, nullptr);
}

void TFMCatLib::BuildControls()
{
    setWindowTitle(QStringLiteral("Catalog Library "));
    setObjectName(QStringLiteral("FMCatLib"));

    auto* panel = new QFrame(this);
    panel->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    frmCatTree_ = new TFrmCatTree(panel);
    auto* panelLayout = new QVBoxLayout(panel);
    panelLayout->setContentsMargins(1, 1, 1, 1);
    panelLayout->addWidget(frmCatTree_);
    const QFontMetrics metrics(font());

    QTreeView* tree = frmCatTree_->VTLib();
    tree->setToolTip(QStringLiteral("the information of the catalog(Press F2 to edit name)"));
    frmCatTree_->Model()->SetHeaderTexts(
        {QStringLiteral("Name  (Press F2 to edit)"), QStringLiteral("Create Time"), QStringLiteral("Size")});
    FitLibraryTree(*frmCatTree_, {170, 110, 95}, 16);
    auto* nameDelegate = new NameColumnDelegate(tree);
    tree->setItemDelegateForColumn(0, nameDelegate);
    tree->setDragDropMode(QAbstractItemView::InternalMove);

    const auto makeButton = [this](const char* caption, const char* hint, const char* name) {
        auto* button = new QPushButton(QString::fromLatin1(caption), this);
        button->setToolTip(QString::fromLatin1(hint));
        button->setObjectName(QString::fromLatin1(name));
        return button;
    };
    btnNewCat_ = makeButton("&New Group", "Create a new group", "BtnNewCat");
    btnOpen_ = makeButton("&Open Catalog", "Open a catalog", "BtnOpen");
    btnDel_ = makeButton("&Delete Item", "delete a group or catalog", "BtnDel");
    btnExport_ = makeButton("&Export Catalog", "Export a catalog", "BtnExport");
    QPushButton* btnClose = makeButton("&Close", "Close the window", "BtnClose");
    btnOpen_->setDefault(true);

    auto* buttons = new QVBoxLayout;
    buttons->addSpacing(metrics.height());
    for (QPushButton* button : {btnNewCat_, btnOpen_, btnDel_, btnExport_, btnClose}) {
        buttons->addWidget(button);
        buttons->addSpacing(metrics.height() / 2);
    }
    buttons->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(panel, 1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(btnNewCat_, &QPushButton::clicked, this, &TFMCatLib::BtnNewCatClick);
    connect(btnOpen_, &QPushButton::clicked, this, &TFMCatLib::BtnOpenClick);
    connect(btnDel_, &QPushButton::clicked, this, &TFMCatLib::BtnDelClick);
    connect(btnExport_, &QPushButton::clicked, this, &TFMCatLib::BtnExportClick);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(tree, &QTreeView::doubleClicked, this, &TFMCatLib::BtnOpenClick);
    connect(tree->selectionModel(), &QItemSelectionModel::currentChanged, this, &TFMCatLib::FrmCatTreeVTLibChange);
    connect(nameDelegate, &QAbstractItemDelegate::closeEditor, this,
            [this](QWidget*, QAbstractItemDelegate::EndEditHint hint) {
                EditorClosed(hint == QAbstractItemDelegate::RevertModelCache);
            });

    frmCatTree_->Model()->SetRenameHandler(
        [this](CatalogTreeNode& node, const QString& text) { return FrmCatTreeVTLibNewText(node, text); });
    frmCatTree_->Model()->SetMoveHandler([this](CatalogTreeNode& source, CatalogTreeNode& target) {
        if (!DropAllowed(&source, &target))
            return;
        // The move reloads the tree; that waits until the view has finished with the drop.
        QMetaObject::invokeMethod(
            this,
            [this, sourcePath = std::string(source.record.Field(kFullPath)),
             targetPath = std::string(target.record.Field(kFullPath))] { MoveItem(sourcePath, targetPath); },
            Qt::QueuedConnection);
    });
}

void TFMCatLib::FillTree()
{
    pending_ = nullptr;
    if (const Status status = frmCatTree_->FillTree(ConfigInstance().GetLibraryPath(), false); !status)
        Warn(status.message());
}

void TFMCatLib::Warn(const std::string& text)
{
    prompts_.ShowMessage(messages::kWarningCaption, text, MessageIcon::Warning);
}

void TFMCatLib::FrmCatTreeVTLibChange(const QModelIndex& current, const QModelIndex& previous)
{
    const CatalogTreeNode* node = frmCatTree_->Model()->NodeAt(current);
    btnDel_->setEnabled(node && node->Level() >= 1);
    btnOpen_->setEnabled(node && node->record.IsFile());
    btnExport_->setEnabled(node && node->record.IsFile());

    // Leaving a pending group for another node or another column creates its folder first;
    // when that is refused the focus goes back to the group and its editor.
    const CatalogTreeNode* left = frmCatTree_->Model()->NodeAt(previous);
    if (!pending_ || left != pending_ || (node == pending_ && current.column() == 0))
        return;
    if (const Status status = CommitPendingGroup(); !status) {
        Warn(status.message());
        ReopenEditor(pending_);
    }
}

Status TFMCatLib::CommitPendingGroup()
{
    const Status status = CreateGroup(std::string(pending_->record.Field(kFullPath)));
    if (status)
        pending_ = nullptr;
    return status;
}

void TFMCatLib::ReopenEditor(CatalogTreeNode* node)
{
    if (reopenQueued_)
        return;
    reopenQueued_ = true;
    QMetaObject::invokeMethod(
        this,
        [this, node] {
            reopenQueued_ = false;
            // The node may have gone meanwhile (a reload); then there is nothing to reopen.
            const std::vector<CatalogTreeNode*> nodes = frmCatTree_->Model()->Tree().PreOrder();
            if (std::find(nodes.begin(), nodes.end(), node) == nodes.end())
                return;
            QTreeView* tree = frmCatTree_->VTLib();
            const QModelIndex index = frmCatTree_->Model()->IndexOf(node);
            tree->setFocus();
            tree->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            tree->edit(index);
        },
        Qt::QueuedConnection);
}

bool TFMCatLib::FrmCatTreeVTLibNewText(CatalogTreeNode& node, const QString& text)
{
    const std::string name = ToStdString(text);
    if (name == node.record.Field(kFileName))
        return false;
    const bool isPending = &node == pending_;
    const std::string oldPath(node.record.Field(kFullPath));
    const std::string newPath = RenamedItemPath(oldPath, name, !isPending && node.record.IsFile());
    Status status = CheckItemName(name);
    if (status)
        status = isPending ? CreateGroup(newPath) : RenameLibraryItem(oldPath, newPath);
    if (!status) {
        Warn(status.message());
        ReopenEditor(&node);
        return false;
    }
    if (isPending)
        pending_ = nullptr;
    else if (node.record.IsDirectory())
        MoveDescendantPaths(node, oldPath, newPath);
    node.record.SetField(kFileName, name);
    node.record.SetField(kFullPath, newPath);
    return true;
}

void TFMCatLib::EditorClosed(bool cancelled)
{
    if (!pending_)
        return;
    if (cancelled) {
        CatalogTreeNode* node = pending_;
        pending_ = nullptr;
        frmCatTree_->Model()->RemoveNode(node);
        return;
    }
    // A refused name keeps the group pending with its editor reopening; the default name is
    // tried only when the edit ended without one.
    if (reopenQueued_)
        return;
    const Status status = CommitPendingGroup();
    if (status)
        return;
    if (status.code() != Status::Code::Exists)
        Warn(status.message());
    ReopenEditor(pending_);
}

void TFMCatLib::BtnNewCatClick()
{
    CatalogTreeNode* root = frmCatTree_->Model()->Tree().First();
    if (!root)
        return;
    // A group left pending is created (or kept editing) before another one is started.
    if (pending_) {
        if (const Status status = CommitPendingGroup(); !status) {
            Warn(status.message());
            ReopenEditor(pending_);
            return;
        }
    }
    TCatalogNode record;
    record.SetField(kFileName, kNewGroupName);
    record.SetField(kFileType, kKindDirectory);
    record.SetField(kFullPath, NewGroupPath(root->record.Field(kFullPath), kNewGroupName));
    record.SetField(kFileTime, FormatFileTime(std::time(nullptr)));
    CatalogTreeNode* node = frmCatTree_->Model()->AppendNode(root, std::move(record));

    QTreeView* tree = frmCatTree_->VTLib();
    const QModelIndex index = frmCatTree_->Model()->IndexOf(node);
    tree->setFocus();
    tree->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    pending_ = node;
    tree->edit(index);
}

void TFMCatLib::BtnOpenClick()
{
    const CatalogTreeNode* node = frmCatTree_->FocusedNode();
    if (!node || !node->record.IsFile())
        return;
    catalogPath_ = std::string(node->record.Field(kFullPath));
    accept();
}

void TFMCatLib::BtnExportClick()
{
    const CatalogTreeNode* node = frmCatTree_->FocusedNode();
    if (node && node->record.IsFile() && exportOpener_)
        exportOpener_(this, std::string(node->record.Field(kFullPath)));
}

void TFMCatLib::BtnDelClick()
{
    CatalogTreeNode* node = frmCatTree_->FocusedNode();
    if (!node || node->Level() < 1)
        return;
    if (!prompts_.AskYesNo(messages::kWarningCaption, messages::kConfirmDelete, MessageIcon::Question))
        return;
    const std::string path(node->record.Field(kFullPath));
    // A pending group has no folder yet: there is nothing on disk to delete.
    Status status;
    if (node != pending_)
        status = node->record.IsFile() ? DeleteCatalogFile(path) : DeleteFolderTree(path, volumes_);
    if (!status)
        return Warn(status.message());
    if (node == pending_)
        pending_ = nullptr;
    frmCatTree_->Model()->RemoveNode(node);
}

bool TFMCatLib::DragAllowed(const CatalogTreeNode* node) const { return !pending_ && node && node->Level() >= 1; }

bool TFMCatLib::DropAllowed(const CatalogTreeNode* dragged, const CatalogTreeNode* target) const
{
    return DragAllowed(dragged) && target && target != dragged && !IsBelow(target, dragged)
        && target->record.IsDirectory();
}

bool TFMCatLib::DropOnto(const CatalogTreeNode* dragged, const CatalogTreeNode* target)
{
    if (!DropAllowed(dragged, target))
        return false;
    return MoveItem(std::string(dragged->record.Field(kFullPath)), std::string(target->record.Field(kFullPath)));
}

bool TFMCatLib::MoveItem(const std::string& sourcePath, const std::string& targetPath)
{
    if (const Status status = MoveLibraryItem(sourcePath, targetPath); !status) {
        Warn(status.message());
        return false;
    }
    FillTree();
    return true;
}

}  // namespace vellumark
