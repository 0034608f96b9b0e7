#pragma once

#include "core/catalog_tree.h"
#include "core/xml_document.h"
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
class TFrmCatTree;
class TWaitForm;

// The main window: the library tree and the detail panel on the left, the file list on the
// right, the command strip on top and the status line below. It opens the catalog clicked in
// the library tree, stores every edit of a name or description and rewrites the catalog file
// at once, and keeps its layout in the configuration between runs.
class TFMMain final : public QMainWindow {
    Q_OBJECT

public:
    // Questions go to the given prompts (tests answer them); by default to Qt's dialogs.
    explicit TFMMain(Prompts* prompts = nullptr, QWidget* parent = nullptr);
    ~TFMMain() override;

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

    void ShowDetails(const TCatalogNode* record);
    void UpdateStatusLine();
    void FrmCatTreeVTLibClick();
    void VTHeaderClick(int column);
    void VTChange(const QModelIndex& current);
    // Sorts the list again by the header's sort column and direction.
    void SortList();
    // Refills the library tree from the library root.
    Status FillLibraryTree();

    // What the commands put into the list: a scanned or loaded tree, or search results.
    void AdoptListTree(CatalogTree tree);
    void AppendListBatch(CatalogTree batch);
    void ClearList();

    TFrmCatTree* FrmCatTree() const { return frmCatTree_; }
    QTreeView* VT() const { return vt_; }
    FileListModel* ListModel() const { return listModel_; }
    QTreeView* VLE() const { return vle_; }
    DetailPanelModel* DetailModel() const { return detailModel_; }
    MainToolbar* Toolbar() const { return toolbar_; }
    QSplitter* SlLeft() const { return slLeft_; }
    QSplitter* SlHint() const { return slHint_; }
    QWidget* PlLeft() const { return plLeft_; }
    QWidget* PlHint() const { return plHint_; }
    QString StatusText() const;
    CatalogTreeNode* FocusedListNode() const;

    TaskRunner& Runner() { return *runner_; }
    TWaitForm& WaitForm() { return *waitForm_; }
    Prompts& GetPrompts() { return *prompts_; }
    XmlDocument& XMLDoc() { return xmlDoc_; }

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
    XmlDocument xmlDoc_;
    TWaitForm* waitForm_ = nullptr;
    TaskRunner* runner_ = nullptr;

    MainToolbar* toolbar_ = nullptr;
    QSplitter* slLeft_ = nullptr;
    QSplitter* slHint_ = nullptr;
    QWidget* plLeft_ = nullptr;
    QWidget* plHint_ = nullptr;
    TFrmCatTree* frmCatTree_ = nullptr;
    QTreeView* vle_ = nullptr;
    DetailPanelModel* detailModel_ = nullptr;
    QTreeView* vt_ = nullptr;
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
