#pragma once

#include "core/catalog_tree.h"
#include "services/prompts.h"
#include "services/status.h"

#include <QMainWindow>

#include <memory>
#include <optional>
#include <string>

class QLabel;
class QSplitter;
class QTreeView;

namespace vellumark {

class DetailPanelModel;
class FileListModel;
class MainToolbar;
class TaskRunner;
class LibraryTreeView;
class WaitWindow;

// The main window: the library tree and the detail panel on the left, the file list on the
// right, the command strip on top and the status line below. It opens the catalog clicked in
// the library tree, stores every edit of a name or description and rewrites the catalog file
// at once, and keeps its layout in the configuration between runs.
class MainWindow final : public QMainWindow {
    Q_OBJECT

public:
    // Questions go to the given prompts (tests answer them); by default to Qt's dialogs.
    explicit MainWindow(Prompts* prompts = nullptr, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Start-up, run once when the window is first shown.
    void InitMainWindow();
    void ApplyWindowLayout();
    void BuildListColumns();
    void SaveWindowLayout();
    void ShowColumnsDialog();

    // The catalog the list shows; empty while it shows nothing or search results.
    const std::string& CurrentCatalogPath() const { return currentCatalogPath_; }
    void SetCurrentCatalogPath(std::string path) { currentCatalogPath_ = std::move(path); }
    int SortKey() const { return sortKey_; }
    bool DetailsEditable() const { return detailsEditable_; }

    // Loads the catalog on a worker and shows it; the same path as the current one does
    // nothing. On failure the list keeps what it held.
    Status OpenCatalog(const std::string& path);
    // Rewrites the current catalog file from the list on a worker; without a current catalog
    // the file is asked for.
    Status SaveCurrentCatalog();
    // Stores an edited value of a list entry and saves the catalog right after.
    void SetEntryField(CatalogTreeNode* node, int key, const std::string& text);

    void ShowDetails(const EntryRecord* record);
    void UpdateStatusLine();
    void onLibraryNodeClicked();
    void onListHeaderClicked(int column);
    void onListFocusChanged(const QModelIndex& current);
    // Sorts the list again by the header's sort column and direction.
    void SortList();
    // Refills the library tree from the library root.
    Status FillLibraryTree();

    // What the commands put into the list: a scanned or loaded tree, or search results.
    void AdoptListTree(CatalogTree tree);
    void AppendListBatch(CatalogTree batch);
    void ClearList();

    LibraryTreeView* LibraryTree() const { return libraryTree_; }
    QTreeView* FileList() const { return fileList_; }
    FileListModel* ListModel() const { return listModel_; }
    QTreeView* DetailPanel() const { return detailPanel_; }
    DetailPanelModel* DetailModel() const { return detailModel_; }
    MainToolbar* Toolbar() const { return toolbar_; }
    QSplitter* MainSplitter() const { return mainSplitter_; }
    QSplitter* LeftSplitter() const { return leftSplitter_; }
    QWidget* LeftPane() const { return leftPane_; }
    QWidget* DetailPane() const { return detailPane_; }
    QString StatusText() const;
    CatalogTreeNode* FocusedListNode() const;

    TaskRunner& Runner() { return *runner_; }
    WaitWindow& WaitingWindow() { return *waitWindow_; }
    Prompts& GetPrompts() { return *prompts_; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildWidgets();
    void ConnectCommands();
    void SetDetailsEditable(bool editable);
    void QueueSave();
    void Guard(const std::function<void()>& command);

    std::unique_ptr<Prompts> ownPrompts_;
    Prompts* prompts_;
    WaitWindow* waitWindow_ = nullptr;
    TaskRunner* runner_ = nullptr;

    MainToolbar* toolbar_ = nullptr;
    QSplitter* mainSplitter_ = nullptr;
    QSplitter* leftSplitter_ = nullptr;
    QWidget* leftPane_ = nullptr;
    QWidget* detailPane_ = nullptr;
    LibraryTreeView* libraryTree_ = nullptr;
    QTreeView* detailPanel_ = nullptr;
    DetailPanelModel* detailModel_ = nullptr;
    QTreeView* fileList_ = nullptr;
    FileListModel* listModel_ = nullptr;
    QLabel* statusPanel_ = nullptr;

    bool initialized_ = false;
    bool savePending_ = false;
    std::string currentCatalogPath_;
    int sortKey_ = 0;
    std::optional<int> listSortColumn_;
    Qt::SortOrder listSortOrder_ = Qt::AscendingOrder;
    bool detailsEditable_ = false;
};

}  // namespace vellumark
