#pragma once

#include "core/catalog_tree.h"
#include "services/prompts.h"
#include "services/status.h"
#include "system/mount_table.h"

#include <QDialog>

#include <functional>
#include <string>

class QPushButton;

namespace vellumark {

class LibraryTreeView;

// The catalog library organizer: new groups, renames in place (F2), deletes, moves by drag and
// drop, and opening or exporting a catalog. Every change is made on disk first; the tree
// follows only when the disk operation succeeded, else the reason is shown.
class LibraryManagerDialog final : public QDialog {
    Q_OBJECT

public:
    // Opens the export dialog, owned by the manager, for the catalog at the path.
    using ExportOpener = std::function<void(QWidget* owner, const std::string& catalogPath)>;

    // The tree shows the library below its root folder.
    LibraryManagerDialog(QWidget* parent, Prompts& prompts, const VolumeInfo& volumes, std::string libraryPath,
                         ExportOpener exportOpener);
    ~LibraryManagerDialog() override;

    // The catalog the user chose to open, set when the dialog closed with OK.
    const std::string& CatalogPath() const { return catalogPath_; }
    bool NewGroupPending() const { return pending_ != nullptr; }

    // The buttons' handlers.
    void onNewGroupClicked();
    void onOpenClicked();
    void onDeleteClicked();
    void onExportClicked();

    // Drag and drop: whether the node may be dragged, whether the target accepts it, and the
    // drop itself (a move on disk, then the tree filled again). A refused drop changes nothing.
    bool DragAllowed(const CatalogTreeNode* node) const;
    bool DropAllowed(const CatalogTreeNode* dragged, const CatalogTreeNode* target) const;
    bool DropOnto(const CatalogTreeNode* dragged, const CatalogTreeNode* target);

    LibraryTreeView* LibraryTree() const { return libraryTree_; }
    QPushButton* NewGroupButton() const { return newGroupButton_; }
    QPushButton* OpenButton() const { return openButton_; }
    QPushButton* DeleteButton() const { return deleteButton_; }
    QPushButton* ExportButton() const { return exportButton_; }

private:
    void BuildControls();
    void FillTree();
    void onLibraryFocusChanged(const QModelIndex& current, const QModelIndex& previous);
    bool onLibraryNodeRenamed(CatalogTreeNode& node, const QString& text);
    void EditorClosed(bool cancelled);
    // Creates the pending group's folder under the path its node holds. Exists, or the
    // system's failure, when the folder cannot be made; the group stays pending then.
    Status CommitPendingGroup();
    void Warn(const std::string& text);
    // Focuses the node and opens its name editor once the current event is done.
    void ReopenEditor(CatalogTreeNode* node);
    bool MoveItem(const std::string& sourcePath, const std::string& targetPath);

    Prompts& prompts_;
    const VolumeInfo& volumes_;
    std::string libraryPath_;
    ExportOpener exportOpener_;
    std::string catalogPath_;
    CatalogTreeNode* pending_ = nullptr;
    bool reopenQueued_ = false;

    LibraryTreeView* libraryTree_;
    QPushButton* newGroupButton_;
    QPushButton* openButton_;
    QPushButton* deleteButton_;
    QPushButton* exportButton_;
};

}  // namespace vellumark
