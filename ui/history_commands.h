#pragma once

#include "core/catalog_tree.h"
#include "services/status.h"
#include "ui/new_catalog_dialog.h"

#include <QObject>

#include <functional>
#include <string>

class QDialog;

namespace vellumark {

class LibraryTreeView;
class MainWindow;
class ResultRows;
class VolumeInfo;

// The library tree's commands on catalogs over time: "Update catalog..." (scan the medium
// again, keeping descriptions), "Compare with..." and "Find duplicates", whose results fill the
// main window's file list, and "Open in catalog" on such a result row. Long work runs in the
// wait window with Cancel; failures are shown, none escapes.
class HistoryCommands final : public QObject {
public:
    explicit HistoryCommands(MainWindow& main);
    ~HistoryCommands() override;

    // Connects the tree's context menu to the commands. A host dialog closes once a result
    // fills the list, so that the list can be seen; the refill shows the library again after
    // an update changed a catalog.
    void Offer(LibraryTreeView& tree, QDialog* host, std::function<void()> refillTree);

    // Each returns whether the list now shows what it did.
    bool RunUpdate(const std::string& catalogPath, QWidget* owner, const std::function<void()>& refillTree);
    bool RunCompare(const std::string& catalogPath, QWidget* owner);
    bool RunFindDuplicates(const CatalogTreeNode& scope, QWidget* owner);

    // Whether the list's row came from a catalog that "Open in catalog" can show.
    bool CanOpenInCatalog(const CatalogTreeNode* row) const;
    // Opens the row's catalog in the list with its entry focused, expanded to and scrolled to.
    void OpenInCatalog(const CatalogTreeNode* row);

    ResultRows& Results() const { return *results_; }
    // The seams of the tests: the mounted volumes (by default the system's mount table as it
    // is when a command starts) and the folder chooser.
    void SetVolumes(const VolumeInfo* volumes) { volumes_ = volumes; }
    void SetFolderChooser(FolderChooser chooser) { chooser_ = std::move(chooser); }

private:
    MainWindow& main_;
    ResultRows* results_;
    const VolumeInfo* volumes_ = nullptr;
    FolderChooser chooser_ = ChooseFolderWithDialog;
};

}  // namespace vellumark
