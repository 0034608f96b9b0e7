#pragma once

#include "core/catalog_tree.h"
#include "services/prompts.h"
#include "services/status.h"

#include <QMainWindow>

#include <memory>
#include <optional>
#include <string>

class QAction;
class QLabel;
class QMenu;
class QSplitter;
class QTreeView;

namespace vellumark {

class CatalogSession;
class DetailPanelModel;
class FileListModel;
class HistoryCommands;
class MainToolbar;
class SizeMapWindow;
class TaskRunner;
class LibraryTreeView;
class WaitWindow;

// The main window: the library tree and the detail panel on the left, the file list on the
// right, the command strip on top and the status line below. It opens the catalog clicked in
// the library tree, hands every edit of a name or description to its catalog session (which
// rewrites the catalog file at once), and keeps its layout in the configuration between runs.
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

    // What the list shows: the catalog, its file, opening, saving and editing.
    CatalogSession& Session() const { return *session_; }
    int SortKey() const { return sortKey_; }
    bool DetailsEditable() const { return detailsEditable_; }

    void ShowDetails(const EntryRecord* record);
    void UpdateStatusLine();
    void onLibraryNodeClicked();
    void onListHeaderClicked(int column);
    void onListFocusChanged(const QModelIndex& current);
    // Sorts the list again by the header's sort column and direction.
    void SortList();
    // Refills the library tree from the library's root folder.
    Status FillLibraryTree(const std::string& libraryPath);
    // The size map of the focused folder (of the whole list when nothing is focused), linked
    // both ways with the list's focus.
    SizeMapWindow* ShowListSizeMap();

    LibraryTreeView* LibraryTree() const { return libraryTree_; }
    QTreeView* FileList() const { return fileList_; }
    // The file list's context menu and its size map entry.
    QMenu* ListMenu() const { return listMenu_; }
    QAction* SizeMapAction() const { return sizeMapAction_; }
    // "Open in catalog" on a row of a comparison or of duplicates.
    QAction* OpenInCatalogAction() const { return openInCatalogAction_; }
    // The library tree's commands on catalogs over time, and their result rows.
    HistoryCommands& History() const { return *history_; }
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
    void BuildListMenu();
    void ConnectCommands();
    void SetDetailsEditable(bool editable);
    void ExpandCatalogRoot();
    void Guard(const std::function<void()>& command);

    std::unique_ptr<Prompts> ownPrompts_;
    Prompts* prompts_;
    WaitWindow* waitWindow_ = nullptr;
    TaskRunner* runner_ = nullptr;
    CatalogSession* session_ = nullptr;

    MainToolbar* toolbar_ = nullptr;
    QSplitter* mainSplitter_ = nullptr;
    QSplitter* leftSplitter_ = nullptr;
    QWidget* leftPane_ = nullptr;
    QWidget* detailPane_ = nullptr;
    LibraryTreeView* libraryTree_ = nullptr;
    QTreeView* detailPanel_ = nullptr;
    DetailPanelModel* detailModel_ = nullptr;
    QTreeView* fileList_ = nullptr;
    FileListModel* listModel_ = nullptr;  // the session's, as the list's columns and sort see it
    QMenu* listMenu_ = nullptr;
    QAction* sizeMapAction_ = nullptr;
    QAction* openInCatalogAction_ = nullptr;
    HistoryCommands* history_ = nullptr;
    QLabel* statusPanel_ = nullptr;

    bool initialized_ = false;
    int sortKey_ = 0;
    std::optional<int> listSortColumn_;
    Qt::SortOrder listSortOrder_ = Qt::AscendingOrder;
    bool detailsEditable_ = false;
};

}  // namespace vellumark
