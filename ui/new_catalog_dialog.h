#pragma once

#include "scan/mount_table.h"
#include "services/prompts.h"

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

class TFrmCatTree;

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
class TFMNewCat final : public QDialog {
    Q_OBJECT

public:
    TFMNewCat(QWidget* parent, Prompts& prompts, const VolumeInfo& volumes, FolderChooser chooser);

    // The results, read after the dialog closed with OK.
    const std::string& FolderPath() const { return folderPath_; }
    const std::string& CatalogFilePath() const { return catalogFilePath_; }
    bool OnlyFolders() const { return onlyFolders_; }
    std::vector<std::string> MaskItems() const;

    // The handlers, public so that the tests drive them as the buttons do.
    void SpeedButton1Click();
    void SpeedButton4Click();
    void BtnAddClick();
    void BtnDelClick();
    void BtnOkClick();

    QLineEdit* EdFileName() const { return edFileName_; }
    QLineEdit* EdName() const { return edName_; }
    QLineEdit* EdExt() const { return edExt_; }
    QListWidget* LBExt() const { return lbExt_; }
    QRadioButton* RBFile() const { return rbFile_; }
    QRadioButton* RadioButton1() const { return radioButton1_; }
    QPushButton* BtnAdd() const { return btnAdd_; }
    QPushButton* BtnDel() const { return btnDel_; }
    QPushButton* BtnOk() const { return btnOk_; }
    QFrame* Panel2() const { return panel2_; }
    TFrmCatTree* FrmCatTree() const { return frmCatTree_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void RadioClick();
    void Refuse(const char* text);

    Prompts& prompts_;
    const VolumeInfo& volumes_;
    FolderChooser chooser_;
    std::string folderPath_;
    std::string catalogFilePath_;
    bool onlyFolders_ = false;

    QLineEdit* edFileName_;
    QLineEdit* edName_;
    QFrame* panel2_;
    TFrmCatTree* frmCatTree_;
    QRadioButton* radioButton1_;
    QRadioButton* rbFile_;
    QLabel* label1_;
    QLabel* label3_;
    QLabel* label5_;
    QLineEdit* edExt_;
    QPushButton* btnAdd_;
    QPushButton* btnDel_;
    QListWidget* lbExt_;
    QPushButton* btnOk_;
};

}  // namespace vellumark
