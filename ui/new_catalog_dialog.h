#pragma once

#include "services/prompts.h"
#include "system/mount_table.h"

#include <QDialog>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace vellumark {

class LibraryTreeView;

// Asks for a folder to catalog, opening at the current one; nothing when cancelled. The
// prompts have no folder question, so the dialog takes this seam (the tests answer it).
using FolderChooser = std::function<std::optional<std::string>(QWidget* owner, const std::string& current)>;

// The platform's folder chooser (directories only).
std::optional<std::string> ChooseFolderWithDialog(QWidget* owner, const std::string& current);

// The chosen folder as the scan takes it: a mount root keeps one trailing "/", any other
// folder has none.
std::string ChosenFolderPath(const std::string& chosen, const VolumeInfo& volumes);

// The dialog that collects what a new catalog needs: the folder, the name, the target group,
// all files or folders only, and the extension masks. It checks the choices and works out the
// catalog file path; the scan and the save are the caller's.
class NewCatalogDialog final : public QDialog {
    Q_OBJECT

public:
    // The group tree shows the groups below the library's root folder.
    NewCatalogDialog(QWidget* parent, Prompts& prompts, const VolumeInfo& volumes, FolderChooser chooser,
                     std::string libraryPath);

    // The results, read after the dialog closed with OK.
    const std::string& FolderPath() const { return folderPath_; }
    const std::string& CatalogFilePath() const { return catalogFilePath_; }
    bool OnlyFolders() const { return onlyFolders_; }
    // A catalog of that name was there and the user agreed to replace it.
    bool ReplaceAgreed() const { return replaceAgreed_; }
    std::vector<std::string> MaskItems() const;

    // The handlers, public so that the tests drive them as the buttons do.
    void onChooseFolderClicked();
    void onAdvancedClicked();
    void onAddMaskClicked();
    void onDeleteMaskClicked();
    void onOkClicked();

    QLineEdit* FolderEdit() const { return folderEdit_; }
    QLineEdit* NameEdit() const { return nameEdit_; }
    QLineEdit* ExtensionEdit() const { return extensionEdit_; }
    QListWidget* MaskList() const { return maskList_; }
    QRadioButton* AllFilesButton() const { return allFilesButton_; }
    QRadioButton* OnlyFoldersButton() const { return onlyFoldersButton_; }
    QPushButton* AddMaskButton() const { return addMaskButton_; }
    QPushButton* DeleteMaskButton() const { return deleteMaskButton_; }
    QPushButton* OkButton() const { return okButton_; }
    QFrame* AdvancedPanel() const { return advancedPanel_; }
    LibraryTreeView* LibraryTree() const { return libraryTree_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void onKindToggled();
    void Refuse(const char* text);

    Prompts& prompts_;
    const VolumeInfo& volumes_;
    FolderChooser chooser_;
    std::string libraryPath_;
    std::string folderPath_;
    std::string catalogFilePath_;
    bool replaceAgreed_ = false;
    bool onlyFolders_ = false;
    QPoint collapsedPosition_;

    QLineEdit* folderEdit_;
    QLineEdit* nameEdit_;
    QFrame* advancedPanel_;
    LibraryTreeView* libraryTree_;
    QRadioButton* onlyFoldersButton_;
    QRadioButton* allFilesButton_;
    QLabel* maskLabel_;
    QLabel* extensionLabel_;
    QLabel* maskListLabel_;
    QLineEdit* extensionEdit_;
    QPushButton* addMaskButton_;
    QPushButton* deleteMaskButton_;
    QListWidget* maskList_;
    QPushButton* okButton_;
};

}  // namespace vellumark
