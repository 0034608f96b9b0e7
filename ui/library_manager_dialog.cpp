#include "ui/library_manager_dialog.h"

#include "library/library_names.h"
#include "library/library_ops.h"
#include "services/messages.h"
#include "services/text_format.h"
#include "ui/library_tree_view.h"
#include "ui/dialog_layout.h"
#include "ui/grid_delegate.h"
#include "ui/history_commands.h"
#include "ui/main_window.h"
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

// The name column of the manager's tree: the editable cells' background and text under the grid.
class NameColumnDelegate final : public GridDelegate {
public:
    using GridDelegate::GridDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        painter->fillRect(option.rect, colors::EditableCell());
        GridDelegate::paint(painter, option, index);
    }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        GridDelegate::initStyleOption(option, index);
        option->palette.setColor(QPalette::Text, colors::EditableCellText());
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

LibraryManagerDialog::LibraryManagerDialog(QWidget* parent, Prompts& prompts, const VolumeInfo& volumes,
                                           std::string libraryPath, ExportOpener exportOpener)
    : QDialog(parent),
      prompts_(prompts),
      volumes_(volumes),
      libraryPath_(std::move(libraryPath)),
      exportOpener_(std::move(exportOpener))
{
    BuildControls();
    openButton_->setEnabled(false);
    exportButton_->setEnabled(false);
    deleteButton_->setEnabled(false);
    FillTree();
    // Opened from the main window, the manager offers the commands whose results its list shows.
    if (auto* main = qobject_cast<MainWindow*>(parent))
        main->History().Offer(*libraryTree_, this, [this] { FillTree(); });
}

LibraryManagerDialog::~LibraryManagerDialog()
{
    // An editor still open is committed while the child widgets are torn down, after this
    // object is gone: the frame's model must no longer call back into it.
    libraryTree_->Model()->SetRenameHandler(nullptr);
    libraryTree_->Model()->SetMoveHandler(nullptr);
    disconnect(libraryTree_->View()->itemDelegateForColumn(0), nullptr, this, nullptr);
}

void LibraryManagerDialog::BuildControls()
{
    setWindowTitle(QStringLiteral("Catalog Library "));
    setObjectName(QStringLiteral("libraryManagerDialog"));

    auto* panel = new QFrame(this);
    panel->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    libraryTree_ = new LibraryTreeView(panel);
    auto* panelLayout = new QVBoxLayout(panel);
    panelLayout->setContentsMargins(1, 1, 1, 1);
    panelLayout->addWidget(libraryTree_);
    const QFontMetrics metrics(font());

    QTreeView* tree = libraryTree_->View();
    tree->setToolTip(QStringLiteral("the information of the catalog(Press F2 to edit name)"));
    libraryTree_->Model()->SetHeaderTexts(
        {QStringLiteral("Name  (Press F2 to edit)"), QStringLiteral("Create Time"), QStringLiteral("Size")});
    FitLibraryTree(*libraryTree_, {170, 110, 95}, 16);
    auto* nameDelegate = new NameColumnDelegate(tree);
    tree->setItemDelegateForColumn(0, nameDelegate);
    tree->setDragDropMode(QAbstractItemView::InternalMove);

    const auto makeButton = [this](const char* caption, const char* hint, const char* name) {
        auto* button = new QPushButton(QString::fromLatin1(caption), this);
        button->setToolTip(QString::fromLatin1(hint));
        button->setObjectName(QString::fromLatin1(name));
        return button;
    };
    newGroupButton_ = makeButton("&New Group", "Create a new group", "newGroupButton");
    openButton_ = makeButton("&Open Catalog", "Open a catalog", "openButton");
    deleteButton_ = makeButton("&Delete Item", "delete a group or catalog", "deleteButton");
    exportButton_ = makeButton("&Export Catalog", "Export a catalog", "exportButton");
    QPushButton* closeButton = makeButton("&Close", "Close the window", "closeButton");
    openButton_->setDefault(true);

    auto* buttons = new QVBoxLayout;
    buttons->addSpacing(metrics.height());
    for (QPushButton* button : {newGroupButton_, openButton_, deleteButton_, exportButton_, closeButton}) {
        buttons->addWidget(button);
        buttons->addSpacing(metrics.height() / 2);
    }
    buttons->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(panel, 1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(newGroupButton_, &QPushButton::clicked, this, &LibraryManagerDialog::onNewGroupClicked);
    connect(openButton_, &QPushButton::clicked, this, &LibraryManagerDialog::onOpenClicked);
    connect(deleteButton_, &QPushButton::clicked, this, &LibraryManagerDialog::onDeleteClicked);
    connect(exportButton_, &QPushButton::clicked, this, &LibraryManagerDialog::onExportClicked);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(tree, &QTreeView::doubleClicked, this, &LibraryManagerDialog::onOpenClicked);
    connect(tree->selectionModel(), &QItemSelectionModel::currentChanged, this, &LibraryManagerDialog::onLibraryFocusChanged);
    connect(nameDelegate, &QAbstractItemDelegate::closeEditor, this,
            [this](QWidget*, QAbstractItemDelegate::EndEditHint hint) {
                EditorClosed(hint == QAbstractItemDelegate::RevertModelCache);
            });

    libraryTree_->Model()->SetRenameHandler(
        [this](CatalogTreeNode& node, const QString& text) { return onLibraryNodeRenamed(node, text); });
    libraryTree_->Model()->SetMoveHandler([this](CatalogTreeNode& source, CatalogTreeNode& target) {
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

void LibraryManagerDialog::FillTree()
{
    pending_ = nullptr;
    if (const Status status = libraryTree_->FillTree(libraryPath_, false); !status)
        Warn(status.message());
}

void LibraryManagerDialog::Warn(const std::string& text)
{
    prompts_.ShowMessage(messages::kWarningCaption, text, MessageIcon::Warning);
}

void LibraryManagerDialog::onLibraryFocusChanged(const QModelIndex& current, const QModelIndex& previous)
{
    const CatalogTreeNode* node = libraryTree_->Model()->NodeAt(current);
    deleteButton_->setEnabled(node && node->Level() >= 1);
    openButton_->setEnabled(node && node->record.IsFile());
    exportButton_->setEnabled(node && node->record.IsFile());

    // Leaving a pending group for another node or another column creates its folder first;
    // when that is refused the focus goes back to the group and its editor.
    const CatalogTreeNode* left = libraryTree_->Model()->NodeAt(previous);
    if (!pending_ || left != pending_ || (node == pending_ && current.column() == 0))
        return;
    if (const Status status = CommitPendingGroup(); !status) {
        Warn(status.message());
        ReopenEditor(pending_);
    }
}

Status LibraryManagerDialog::CommitPendingGroup()
{
    const Status status = CreateGroup(std::string(pending_->record.Field(kFullPath)));
    if (status)
        pending_ = nullptr;
    return status;
}

void LibraryManagerDialog::ReopenEditor(CatalogTreeNode* node)
{
    if (reopenQueued_)
        return;
    reopenQueued_ = true;
    QMetaObject::invokeMethod(
        this,
        [this, node] {
            reopenQueued_ = false;
            // The node may have gone meanwhile (a reload); then there is nothing to reopen.
            const std::vector<CatalogTreeNode*> nodes = libraryTree_->Model()->Tree().PreOrder();
            if (std::find(nodes.begin(), nodes.end(), node) == nodes.end())
                return;
            QTreeView* tree = libraryTree_->View();
            const QModelIndex index = libraryTree_->Model()->IndexOf(node);
            tree->setFocus();
            tree->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            tree->edit(index);
        },
        Qt::QueuedConnection);
}

bool LibraryManagerDialog::onLibraryNodeRenamed(CatalogTreeNode& node, const QString& text)
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

void LibraryManagerDialog::EditorClosed(bool cancelled)
{
    if (!pending_)
        return;
    if (cancelled) {
        CatalogTreeNode* node = pending_;
        pending_ = nullptr;
        libraryTree_->Model()->RemoveNode(node);
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

void LibraryManagerDialog::onNewGroupClicked()
{
    CatalogTreeNode* root = libraryTree_->Model()->Tree().First();
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
    EntryRecord record;
    record.SetField(kFileName, kNewGroupName);
    record.SetField(kFileType, kKindDirectory);
    record.SetField(kFullPath, NewGroupPath(root->record.Field(kFullPath), kNewGroupName));
    record.SetField(kFileTime, FormatFileTime(std::time(nullptr)));
    CatalogTreeNode* node = libraryTree_->Model()->AppendNode(root, std::move(record));

    QTreeView* tree = libraryTree_->View();
    const QModelIndex index = libraryTree_->Model()->IndexOf(node);
    tree->setFocus();
    tree->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    pending_ = node;
    tree->edit(index);
}

void LibraryManagerDialog::onOpenClicked()
{
    const CatalogTreeNode* node = libraryTree_->FocusedNode();
    if (!node || !node->record.IsFile())
        return;
    catalogPath_ = std::string(node->record.Field(kFullPath));
    accept();
}

void LibraryManagerDialog::onExportClicked()
{
    const CatalogTreeNode* node = libraryTree_->FocusedNode();
    if (node && node->record.IsFile() && exportOpener_)
        exportOpener_(this, std::string(node->record.Field(kFullPath)));
}

void LibraryManagerDialog::onDeleteClicked()
{
    CatalogTreeNode* node = libraryTree_->FocusedNode();
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
    libraryTree_->Model()->RemoveNode(node);
}

bool LibraryManagerDialog::DragAllowed(const CatalogTreeNode* node) const { return !pending_ && node && node->Level() >= 1; }

bool LibraryManagerDialog::DropAllowed(const CatalogTreeNode* dragged, const CatalogTreeNode* target) const
{
    return DragAllowed(dragged) && target && target != dragged && !IsBelow(target, dragged)
        && target->record.IsDirectory();
}

bool LibraryManagerDialog::DropOnto(const CatalogTreeNode* dragged, const CatalogTreeNode* target)
{
    if (!DropAllowed(dragged, target))
        return false;
    return MoveItem(std::string(dragged->record.Field(kFullPath)), std::string(target->record.Field(kFullPath)));
}

bool LibraryManagerDialog::MoveItem(const std::string& sourcePath, const std::string& targetPath)
{
    if (const Status status = MoveLibraryItem(sourcePath, targetPath); !status) {
        Warn(status.message());
        return false;
    }
    FillTree();
    return true;
}

}  // namespace vellumark
